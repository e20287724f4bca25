// The keyboard and the mouse on the editor: navigation keys forwarded to the model with Shift,
// Ctrl and the repeat bit; the mouse places the caret, selects by dragging and extends the
// selection with Shift.
#include "editor.h"

#include "platform.h"
#include "qtext.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace editor {

bool TEditor::LeftButtonDown() const {
    return QApplication::mouseButtons() & Qt::LeftButton;
}

void TEditor::keyPressEvent(QKeyEvent* E) {
    const Qt::KeyboardModifiers mods = E->modifiers();
    const bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier;
    TEditorNavKey key;
    switch (E->key()) {
    case Qt::Key_PageUp:
        key = nkPageUp;
        break;
    case Qt::Key_PageDown:
        key = nkPageDown;
        break;
    case Qt::Key_End:
        key = nkEnd;
        break;
    case Qt::Key_Home:
        key = nkHome;
        break;
    case Qt::Key_Left:
        key = nkLeft;
        break;
    case Qt::Key_Up:
        key = nkUp;
        break;
    case Qt::Key_Right:
        key = nkRight;
        break;
    case Qt::Key_Down:
        key = nkDown;
        break;
    default: {
        if (FDrag == dsDragging && E->key() == Qt::Key_Escape) {
            CancelDrag();
            E->accept();
            return;
        }
        // Editing keys and typed characters go to the editing commands.
        if (E->key() == Qt::Key_Delete) {
            DeleteKey();
        } else if (E->key() == Qt::Key_Backspace) {
            KeyChar(8);
        } else if (E->key() == Qt::Key_Tab || E->key() == Qt::Key_Backtab) {
            KeyChar(9, shift || E->key() == Qt::Key_Backtab, ctrl);
        } else if (E->key() == Qt::Key_Return || E->key() == Qt::Key_Enter) {
            KeyChar(13, shift);
        } else if (ctrl && E->key() == Qt::Key_Z) {
            Undo();
        } else if (ctrl && E->key() == Qt::Key_Y) {
            Redo();
        } else if (ctrl && (E->key() == Qt::Key_C || E->key() == Qt::Key_X)) {
            if (Selected()) {
                app::platform().SetClipboardText(SelText());
                if (E->key() == Qt::Key_X) DeleteSelection();
            }
        } else if (ctrl && E->key() == Qt::Key_V) {
            const std::string text = app::platform().ClipboardText();
            if (!text.empty()) InsertString(text);
        } else if (!E->text().isEmpty() && !ctrl && !(mods & Qt::AltModifier) &&
                   E->text().at(0).isPrint()) {
            for (char c : app::FromQ(E->text()))
                KeyChar(static_cast<unsigned char>(c));
        } else {
            QAbstractScrollArea::keyPressEvent(E);
            return;
        }
        E->accept();
        return;
    }
    }
    NavigateKey(key, shift, ctrl, E->isAutoRepeat());
    E->accept();
}

bool TEditor::focusNextPrevChild(bool Next) {
    // Tab stays in the editor while it wants tabs.
    return WantTabs() ? false : QAbstractScrollArea::focusNextPrevChild(Next);
}

void TEditor::inputMethodEvent(QInputMethodEvent* E) {
    // The input method's result goes in once, as one edit.
    const QString commit = E->commitString();
    if (!commit.isEmpty() && !ReadOnly()) InsertString(app::FromQ(commit));
    // The composition is shown at the caret, over the text, until it is committed.
    const std::string preedit = ReadOnly() ? std::string() : app::FromQ(E->preeditString());
    if (preedit != FPreedit) {
        viewport()->update(PreeditRect());
        FPreedit = preedit;
        viewport()->update(PreeditRect());
    }
    E->accept();
}

bool TEditor::InSelection(int ARow, int ACol) const {
    if (!Selected() || SelectionMode()) return false;
    const TSelectionExtent& e = SelectionExtent();
    if (ARow < e.TopRow || ARow > e.BottomRow || ARow >= RowCount()) return false;
    const int b = ByteOfCol(ARow, ACol);
    if (ARow == e.TopRow && b < e.StartByte) return false;
    if (ARow == e.BottomRow && b > e.EndByte) return false;
    return true;
}

void TEditor::CancelDrag() {
    FDrag = dsNone;
    viewport()->setCursor(Qt::IBeamCursor);
    CleanSelection();
}

void TEditor::mousePressEvent(QMouseEvent* E) {
    setFocus(Qt::MouseFocusReason);
    if (E->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(E);
        return;
    }
    const QPoint p = E->position().toPoint();
    const auto rc = PosToRowCol(p.x(), p.y(), true);
    if (E->modifiers() & Qt::ShiftModifier) {
        // Extends (or starts) the selection to the point.
        if (SelectionState() != sstSelected) StartSelection();
        SetRowCol(rc.Row, rc.Col);
        UpdateSelection();
        FMouseSelecting = true;
        return;
    }
    FPressPoint = p;
    // A press inside a selection that may be dragged: the drag waits for the pointer to move.
    const auto exact = PosToRowCol(p.x(), p.y(), false);
    if (!ReadOnly() && Caret().SelMove() && p.x() >= Metrics().LeftMargin &&
        InSelection(exact.Row, exact.Col)) {
        SetRowCol(exact.Row, exact.Col);
        FDrag = dsPending;
        return;
    }
    if (p.x() < Metrics().LeftMargin && Caret().RowSelect()) {
        StartRowSelection(rc.Row);
        return;
    }
    HideCaret();
    CleanSelection();
    SetRowCol(rc.Row, rc.Col);
    StartSelection();
    ShowCaret();
    FMouseSelecting = true;
}

void TEditor::mouseMoveEvent(QMouseEvent* E) {
    const QPoint p = E->position().toPoint();
    auto rc = PosToRowCol(p.x(), p.y(), true);
    // Above the text the row is one less, so that dragging there scrolls up.
    if (p.y() < Metrics().TopMargin) rc.Row = std::max(0, rc.Row - 1);
    if (RowSelecting()) {
        ExtendRowSelection(rc.Row);
        return;
    }
    const int half = Metrics().ColWidth / 2;
    const bool far =
        std::abs(p.x() - FPressPoint.x()) >= half || std::abs(p.y() - FPressPoint.y()) >= half;
    if (FDrag == dsPending && far) FDrag = dsDragging;
    if (FDrag == dsDragging) {
        // The caret shows the drop point.
        auto at = PosToRowCol(p.x(), p.y(), false);
        if (p.y() < Metrics().TopMargin) at.Row = std::max(0, at.Row - 1);
        viewport()->setCursor(E->modifiers() & Qt::ControlModifier ? Qt::DragCopyCursor
                                                                   : Qt::DragMoveCursor);
        SetRowCol(at.Row, at.Col);
        return;
    }
    if (!FMouseSelecting) return;
    if (SelectionState() == sstAnchored && std::abs(p.x() - FPressPoint.x()) < half &&
        std::abs(p.y() - FPressPoint.y()) < half)
        return;
    SetRowCol(rc.Row, rc.Col);
    UpdateSelection();
}

void TEditor::mouseReleaseEvent(QMouseEvent* E) {
    FMouseSelecting = false;
    EndRowSelection();
    if (FDrag == dsDragging) {
        // Dropped: moved (or with Ctrl copied) to the caret; outside the view nothing happens.
        FDrag = dsNone;
        viewport()->setCursor(Qt::IBeamCursor);
        if (viewport()->rect().contains(E->position().toPoint()))
            MoveSelection(Row(), Col(), E->modifiers() & Qt::ControlModifier);
        else
            CleanSelection();
    } else if (FDrag == dsPending) {
        CancelDrag();
    }
    QAbstractScrollArea::mouseReleaseEvent(E);
}

} // namespace editor
