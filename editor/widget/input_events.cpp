// Keyboard, mouse and input method on screen: Qt's events translated into the model's
// operations (input.h), the cursor shapes, and the composition shown at the caret.
#include "codec.h"
#include "editor.h"
#include "popup_menu.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace editor {

namespace {
TEditorKey KeyOf(int Key) {
    switch (Key) {
    case Qt::Key_PageUp:
        return ekPageUp;
    case Qt::Key_PageDown:
        return ekPageDown;
    case Qt::Key_End:
        return ekEnd;
    case Qt::Key_Home:
        return ekHome;
    case Qt::Key_Left:
        return ekLeft;
    case Qt::Key_Up:
        return ekUp;
    case Qt::Key_Right:
        return ekRight;
    case Qt::Key_Down:
        return ekDown;
    case Qt::Key_Delete:
        return ekDelete;
    case Qt::Key_Escape:
        return ekEscape;
    case Qt::Key_Control:
        return ekControl;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return ekTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ekReturn;
    default:
        return ekOther;
    }
}

// An arrow pointing up and to the right, for the left margin (rows are selected there).
QCursor RightArrowCursor() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPolygonF arrow({{15, 0}, {15, 13}, {11, 9}, {8, 15}, {6, 14}, {9, 8}, {3, 8}});
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::black);
    p.drawPolygon(arrow);
    return QCursor(pm, 15, 0);
}

QCursor QtCursor(TCursor C) {
    if (C == crIBeam) return Qt::IBeamCursor;
    if (C == crDrag) return Qt::DragMoveCursor;
    if (C == crDragSelCopy()) return Qt::DragCopyCursor;
    if (C == crRightArrow()) return RightArrowCursor();
    return Qt::ArrowCursor;
}

// Text a key typed: printable characters only (control characters belong to shortcuts).
bool Printable(const QString& T) {
    if (T.isEmpty()) return false;
    for (QChar c : T)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
    return true;
}
} // namespace

bool TEditor::LeftButtonDown() const {
    return QApplication::mouseButtons() & Qt::LeftButton;
}

void TEditor::InitInput() {
    SetClipboard(&FClipboard);
    FInput.OnCursor = [this](TCursor C) { viewport()->setCursor(QtCursor(C)); };
    // The cursor follows the zone under the pointer with no button held too.
    viewport()->setMouseTracking(true);
    FPopupMenu = new TEditorPopupMenu(this);
}

bool TEditor::SelDragging() const {
    return FInput.DragState() != dsNone;
}

bool TEditor::event(QEvent* E) {
    switch (E->type()) {
    case QEvent::KeyPress: {
        // Before the focus chain takes Tab.
        auto* k = static_cast<QKeyEvent*>(E);
        if (KeyPress(k)) {
            k->accept();
            return true;
        }
        // Return not wanted goes to the parent (a dialog's default button) untouched.
        if (KeyOf(k->key()) == ekReturn) {
            k->ignore();
            return false;
        }
        break;
    }
    case QEvent::KeyRelease:
        if (KeyRelease(static_cast<QKeyEvent*>(E))) return true;
        break;
    case QEvent::ShortcutOverride:
        // The menu's shortcuts (all with Ctrl) act on the state of now, not of the last time it
        // popped up.
        if (static_cast<QKeyEvent*>(E)->modifiers() & Qt::ControlModifier) FPopupMenu->Upkeep();
        break;
    default:
        break;
    }
    return QAbstractScrollArea::event(E);
}

bool TEditor::viewportEvent(QEvent* E) {
    switch (E->type()) {
    case QEvent::MouseButtonPress:
        if (MousePress(static_cast<QMouseEvent*>(E))) return true;
        break;
    case QEvent::MouseMove:
        if (MouseMove(static_cast<QMouseEvent*>(E))) return true;
        break;
    case QEvent::MouseButtonRelease:
        if (MouseRelease(static_cast<QMouseEvent*>(E))) return true;
        break;
    case QEvent::MouseButtonDblClick:
        // A second press while the first is being handled is swallowed; else it is a press.
        if (FInput.Capturing()) return true;
        if (MousePress(static_cast<QMouseEvent*>(E))) return true;
        break;
    case QEvent::Wheel:
        if (FInput.Capturing()) return true;
        break;
    case QEvent::ContextMenu: {
        // Not while the left button selects or drags: the menu would take its release.
        if (FInput.Capturing()) return true;
        auto* c = static_cast<QContextMenuEvent*>(E);
        FPopupMenu->Upkeep();
        FPopupMenu->popup(c->globalPos());
        return true;
    }
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(E);
}

// Keys.

void TEditor::MoveDeferredComposition() {
    if (!FInput.ImeMoveDeferred()) return;
    FInput.ClearImeMoveDeferred();
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

bool TEditor::KeyPress(QKeyEvent* E) {
    const TEditorKey k = KeyOf(E->key());
    const bool shift = E->modifiers() & Qt::ShiftModifier;
    const bool ctrl = E->modifiers() & Qt::ControlModifier;
    const bool alt = E->modifiers() & Qt::AltModifier;
    if (FInput.FilterKeyDown(k)) return true;
    if (k >= ekPageUp && k <= ekDelete) {
        FInput.KeyDown(k, shift, ctrl, E->isAutoRepeat());
        return true;
    }
    if (k == ekTab || k == ekReturn) {
        if (!FInput.WantsKey(k)) return false;
        if (k == ekTab)
            TabKey(shift || E->key() == Qt::Key_Backtab, ctrl);
        else
            ReturnKey(shift);
        return true;
    }
    // The popup menu's shortcuts are its own: one whose item is disabled does nothing.
    if (ctrl && !alt && FPopupMenu->HasShortcut(QKeySequence(E->keyCombination()))) return true;
    if (E->key() == Qt::Key_Backspace) {
        BackSpace();
        return true;
    }
    if (!ctrl && !alt && Printable(E->text())) {
        MoveDeferredComposition();
        // Character by character, each as typed.
        const std::string sjis = cp932::FromUtf16Lossy(E->text().toStdU16String());
        for (size_t i = 0; i < sjis.size();) {
            const size_t n =
                cp932::IsLeadByte(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size() ? 2
                                                                                              : 1;
            TypeChar(std::string_view(sjis).substr(i, n));
            i += n;
        }
        return true;
    }
    return false;
}

bool TEditor::KeyRelease(QKeyEvent* E) {
    if (FInput.FilterKeyUp(KeyOf(E->key()))) return true;
    if (E->isAutoRepeat()) return false;
    FInput.KeyUp();
    MoveDeferredComposition();
    return false;
}

// Mouse.

bool TEditor::MousePress(QMouseEvent* E) {
    // While the left button selects or drags, the other buttons do nothing.
    if (E->button() != Qt::LeftButton && FInput.Capturing()) return true;
    // Any button gives the focus.
    setFocus(Qt::MouseFocusReason);
    if (E->button() != Qt::LeftButton) return false;
    const QPoint p = E->position().toPoint();
    HideCaret();
    FInput.MouseDown(p.x(), p.y(), E->modifiers() & Qt::ShiftModifier);
    ShowCaret();
    return true;
}

bool TEditor::MouseMove(QMouseEvent* E) {
    // The left button went up where the editor did not hear of it (another window took the
    // release): the press is over, a drag cancelled.
    if (FInput.Capturing() && !(E->buttons() & Qt::LeftButton)) FInput.ReleaseLost();
    const QPoint p = E->position().toPoint();
    FInput.MouseMove(p.x(), p.y(), E->modifiers() & Qt::ControlModifier);
    return true;
}

bool TEditor::MouseRelease(QMouseEvent* E) {
    if (E->button() != Qt::LeftButton) return FInput.Capturing();
    const QPoint p = E->position().toPoint();
    FInput.MouseUp(p.x(), p.y(), E->modifiers() & Qt::ControlModifier,
                   viewport()->rect().contains(p));
    return true;
}

// Input method.

void TEditor::inputMethodEvent(QInputMethodEvent* E) {
    if (!E->commitString().isEmpty())
        FInput.ImeCommit(cp932::FromUtf16Lossy(E->commitString().toStdU16String()));
    // The composition is drawn at the caret, the caret hidden meanwhile; a read-only editor
    // takes no result, so it shows none.
    const std::string pre =
        ReadOnly() ? std::string() : cp932::FromUtf16Lossy(E->preeditString().toStdU16String());
    SetPreedit(pre);
    if (!pre.empty() && !FComposing) HideCaret();
    if (pre.empty() && FComposing) ShowCaret();
    FComposing = !pre.empty();
    E->accept();
}

void TEditor::SetPreedit(const std::string& Sjis) {
    if (Sjis == FPreedit) return;
    viewport()->update(PreeditRect());
    FPreedit = Sjis;
    viewport()->update(PreeditRect());
}

} // namespace editor
