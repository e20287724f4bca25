// The keyboard and the mouse on the editor: navigation keys forwarded to the model with Shift,
// Ctrl and the repeat bit; the mouse places the caret, selects by dragging and extends the
// selection with Shift.
#include "editor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace editor {

bool TEditor::LeftButtonDown() const {
    return QApplication::mouseButtons() & Qt::LeftButton;
}

void TEditor::keyPressEvent(QKeyEvent* E) {
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
    default:
        QAbstractScrollArea::keyPressEvent(E);
        return;
    }
    const Qt::KeyboardModifiers mods = E->modifiers();
    NavigateKey(key, mods & Qt::ShiftModifier, mods & Qt::ControlModifier, E->isAutoRepeat());
    E->accept();
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
    HideCaret();
    CleanSelection();
    SetRowCol(rc.Row, rc.Col);
    StartSelection();
    ShowCaret();
    FMouseSelecting = true;
}

void TEditor::mouseMoveEvent(QMouseEvent* E) {
    if (!FMouseSelecting) return;
    const QPoint p = E->position().toPoint();
    auto rc = PosToRowCol(p.x(), p.y(), true);
    // Above the text the row is one less, so that dragging there scrolls up.
    if (p.y() < Metrics().TopMargin) rc.Row = std::max(0, rc.Row - 1);
    const int half = Metrics().ColWidth / 2;
    if (SelectionState() == sstAnchored && std::abs(p.x() - FPressPoint.x()) < half &&
        std::abs(p.y() - FPressPoint.y()) < half)
        return;
    SetRowCol(rc.Row, rc.Col);
    UpdateSelection();
}

void TEditor::mouseReleaseEvent(QMouseEvent* E) {
    FMouseSelecting = false;
    QAbstractScrollArea::mouseReleaseEvent(E);
}

} // namespace editor
