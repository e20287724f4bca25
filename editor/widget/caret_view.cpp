// The caret, the scroll bars and the view's scrolling on screen: the caret's shapes and
// blinking, its rectangle for the input method, focus, and pixels moved rather than redrawn.
#include "editor.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethod>
#include <QScrollBar>
#include <QTimerEvent>

namespace editor {

namespace {
constexpr int kBlinkMs = 530;
} // namespace

void TEditor::UpdateCaretView() {
    const TEditorMetrics& m = Metrics();
    const QRect old = FCaretRect;
    const int x = ColX(Col()), y = RowY(Row());
    QRect r;
    if (FCaretWidthOverride > 0) {
        r = QRect(x, y, FCaretWidthOverride, m.FontHeight);
    } else if (Caret().Style() == csBrief) {
        const std::string map = ColumnMap(Row() < RowCount() ? List().Text(Row()) : "");
        const int cell = m.ColWidth - Margin().Character();
        const bool lead = Col() < static_cast<int>(map.size()) && map[Col()] == kcLead;
        r = QRect(x, y + m.FontHeight - 2, lead ? 2 * cell : cell, 2);
    } else {
        r = QRect(x, y, 2, m.FontHeight);
    }
    const bool inView = Row() >= TopRow() && Row() <= TopRow() + VisibleRowCount() &&
                        Col() >= TopCol() && Col() <= TopCol() + VisibleColCount();
    const bool shown = FCaretHideCount == 0 && hasFocus() && inView;
    if (r != old || shown != FCaretShown) {
        if (FCaretShown) viewport()->update(old);
        FCaretRect = r;
        FCaretShown = shown;
        FCaretBlinkOn = true;
        if (shown) {
            viewport()->update(r);
            FBlink.start(kBlinkMs, this);
        } else {
            FBlink.stop();
        }
    }
    // The composition window follows the caret, but not while a key repeats: it is moved once
    // the key is released.
    if (hasFocus() && !FInput.AutoRepeat())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImFont);
}

void TEditor::CaretPlacedView() {
    // The ruler marks the caret's column.
    if (Ruler().Visible() && FRulerMarkCol != Col()) {
        const int cw = Metrics().ColWidth;
        if (FRulerMarkCol >= 0) viewport()->update(QRect(ColX(FRulerMarkCol), 0, cw, FRulerHeight));
        viewport()->update(QRect(ColX(Col()), 0, cw, FRulerHeight));
        FRulerMarkCol = Col();
    }
    UpdateCaretView();
    AccessibleCheckLater();
}

void TEditor::HideCaret() {
    if (FCaretHideCount++ == 0) UpdateCaretView();
}

void TEditor::ShowCaret() {
    if (FCaretHideCount > 0 && --FCaretHideCount == 0) UpdateCaretView();
}

void TEditor::HitCaretView(int Columns) {
    FCaretWidthOverride = hasFocus() ? std::max(2, Metrics().ColWidth * Columns) : 0;
    UpdateCaretView();
}

void TEditor::RestoreCaretShapeView() {
    FCaretWidthOverride = 0;
    UpdateCaretView();
}

void TEditor::timerEvent(QTimerEvent* E) {
    if (E->timerId() != FBlink.timerId()) {
        QAbstractScrollArea::timerEvent(E);
        return;
    }
    FCaretBlinkOn = !FCaretBlinkOn;
    if (FCaretShown) viewport()->update(FCaretRect);
}

void TEditor::focusInEvent(QFocusEvent* E) {
    QAbstractScrollArea::focusInEvent(E);
    UpdateCaret();
    UpdateCaretView();
}

void TEditor::focusOutEvent(QFocusEvent* E) {
    QAbstractScrollArea::focusOutEvent(E);
    FCaretWidthOverride = 0;
    UpdateCaretView();
}

QVariant TEditor::inputMethodQuery(Qt::InputMethodQuery Query) const {
    switch (Query) {
    case Qt::ImCursorRectangle:
        return QRect(FCaretRect.left(), RowY(Row()), std::max(2, FCaretRect.width()),
                     Metrics().FontHeight)
            .translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    default:
        return QAbstractScrollArea::inputMethodQuery(Query);
    }
}

// Scrolling.

void TEditor::TopRowChangedView(int OldTopRow) {
    const TEditorMetrics& m = Metrics();
    const int d = TopRow() - OldTopRow;
    const int w = viewport()->width(), h = viewport()->height();
    if (std::abs(d) <= VisibleRowCount() + 1) {
        // The rows already drawn move; only the uncovered strip is painted.
        viewport()->scroll(0, -d * m.RowHeight, QRect(0, m.TopMargin, w, h - m.TopMargin));
        if (FCaretShown) viewport()->update(FCaretRect.translated(0, -d * m.RowHeight));
    } else {
        viewport()->update(QRect(0, m.TopMargin, w, h - m.TopMargin));
    }
    SetVerticalBar();
    UpdateCaretView();
}

void TEditor::TopColChangedView(int OldTopCol) {
    const TEditorMetrics& m = Metrics();
    const int d = TopCol() - OldTopCol;
    const int w = viewport()->width(), h = viewport()->height();
    if (std::abs(d) * m.ColWidth < w) {
        viewport()->scroll(-d * m.ColWidth, 0, QRect(m.LeftMargin, 0, w - m.LeftMargin, h));
        if (FCaretShown) viewport()->update(FCaretRect.translated(-d * m.ColWidth, 0));
    } else {
        viewport()->update(QRect(m.LeftMargin, 0, w - m.LeftMargin, h));
    }
    SetHorizontalBar();
    UpdateCaretView();
}

void TEditor::SetVerticalBar() {
    QScrollBar* b = verticalScrollBar();
    const QSignalBlocker block(b);
    const int page = VisibleRowCount();
    // The Windows range 0..max(page, greatest top row) with a page: positions up to max - page + 1.
    b->setRange(0, std::max(0, std::max(page, GreatestTopRow()) - page + 1));
    b->setPageStep(page);
    b->setSingleStep(1);
    b->setValue(TopRow());
}

void TEditor::SetHorizontalBar() {
    QScrollBar* b = horizontalScrollBar();
    const QSignalBlocker block(b);
    b->setRange(0, GreatestTopCol());
    b->setPageStep(VisibleColCount());
    b->setSingleStep(1);
    b->setValue(TopCol());
}

void TEditor::UpdateScrollBars() {
    ClampTopToScrollRange();
    SetVerticalBar();
    SetHorizontalBar();
}

void TEditor::SetScrollBars(TScrollStyle V) {
    FScrollBars = V;
    setVerticalScrollBarPolicy(V == ssVertical || V == ssBoth ? Qt::ScrollBarAlwaysOn
                                                              : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(V == ssHorizontal || V == ssBoth ? Qt::ScrollBarAlwaysOn
                                                                  : Qt::ScrollBarAlwaysOff);
    RecalcMetrics();
    UpdateScrollBars();
}

void TEditor::scrollContentsBy(int, int) {
    // The user moved a scroll bar: line, page, thumb and track all end here.
    const int top = verticalScrollBar()->value();
    if (top != TopRow()) {
        const int old = TopRow();
        SetTopRow(top);
        if (Caret().LockScroll()) SetRow(Row() + TopRow() - old);
    }
    const int left = horizontalScrollBar()->value();
    if (left != TopCol()) SetTopCol(left);
}

} // namespace editor
