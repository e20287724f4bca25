// The result pane's view: lines laid out when they come into sight, painting, scrolling, the
// caret and the selection, keys, the mouse and the input method.
#include "result_pane.h"

#include "codec.h"
#include "qtext.h"

#include <QAccessible>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

constexpr int kMargin = 4;                // around the text, as a document's margin
constexpr qreal kTabStop = 80;            // pixels between tab stops
constexpr std::size_t kKeptLayouts = 600; // far more lines than a screen shows
constexpr qreal kNoWrapWidth = 1e7;

// What a double click selects and Ctrl+Left/Right steps over: a run of characters of one kind.
int KindOf(const std::string& s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (cp932::CharLength(s, i) == 1) {
        if (std::isalnum(b) || b == '_') return 1;
        if (b == ' ' || b == '\t') return 2;
        if (b >= 0xA6 && b <= 0xDF) return 3; // half-width katakana
        return 4;
    }
    const int code = b * 256 + static_cast<unsigned char>(s[i + 1]);
    if (code == 0x8140) return 2;                                       // full-width space
    if (code >= 0x829F && code <= 0x82F1) return 5;                     // hiragana
    if ((code >= 0x8340 && code <= 0x8396) || code == 0x815B) return 6; // katakana, ー
    if (code >= 0x824F && code <= 0x829A) return 7;                     // full-width letters
    if (code >= 0x889F) return 8;                                       // kanji and beyond
    return 9;
}

} // namespace

TResultPane::TResultPane(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    // Always there, as the pane's scroll bar always was: a search that fills the pane does not
    // narrow it (and lay out every line shown again).
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(20);
    rangeTimer_ = new QTimer(this);
    rangeTimer_->setSingleShot(true);
    rangeTimer_->setInterval(0);
    connect(rangeTimer_, &QTimer::timeout, this, &TResultPane::UpdateScrollRange);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (settingBar_) return;
        ScrollTo(value >= verticalScrollBar()->maximum() ? BottomPos() : ViewPos{value, 0});
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { Repaint(); });
    UpdateScrollRange();
}

TResultPane::~TResultPane() = default;

// ---- Layout ----

int TResultPane::CharIndexIn(int line, std::size_t col) const {
    const std::string& s = text_.Line(line);
    col = std::min(col, s.size());
    int index = 0;
    for (std::size_t k = 0; k < col; k += cp932::CharLength(s, k))
        ++index;
    return index;
}

std::size_t TResultPane::ColOfCharIndex(int line, int index) const {
    const std::string& s = text_.Line(line);
    std::size_t k = 0;
    for (int i = 0; i < index && k < s.size(); ++i)
        k += cp932::CharLength(s, k);
    return k;
}

QTextLayout* TResultPane::LayoutOf(int line) const {
    const int width = wrap_ ? std::max(1, viewport()->width() - 2 * kMargin) : 0;
    if (width != layoutWidth_) {
        layouts_.clear();
        layoutWidth_ = width;
    }
    if (const auto it = layouts_.find(line); it != layouts_.end()) return it->second.layout.get();
    if (layouts_.size() >= kKeptLayouts) layouts_.clear();

    const std::string& s = text_.Line(line);
    // An empty line is as high as its own look makes it.
    auto layout = std::make_unique<QTextLayout>(
        app::ToQ(s), s.empty() ? FontOf(text_.BreakFormat(line)) : font());
    QTextOption option;
    option.setWrapMode(wrap_ ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setTabStopDistance(kTabStop);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    QList<QTextLayout::FormatRange> ranges;
    std::size_t k = 0;
    int index = 0;
    for (const TPaneText::Span& span : text_.Spans(line)) {
        const int start = index;
        for (; k < span.end; k += cp932::CharLength(s, k))
            ++index;
        if (index > start) ranges.push_back({start, index - start, CharFormat(span.format)});
    }
    layout->setFormats(ranges);
    layout->beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine row = layout->createLine();
        if (!row.isValid()) break;
        row.setLineWidth(wrap_ ? width : kNoWrapWidth);
        row.setPosition(QPointF(0, y));
        y += row.height();
    }
    layout->endLayout();
    QTextLayout* out = layout.get();
    layouts_.emplace(line, Laid{std::move(layout), std::max(1, static_cast<int>(std::ceil(y)))});
    return out;
}

int TResultPane::HeightOf(int line) const {
    LayoutOf(line);
    return layouts_.find(line)->second.height;
}

int TResultPane::ContentHeight() const {
    return std::max(1, viewport()->height() - 2 * kMargin);
}

int TResultPane::LastShownLine() const {
    int y = kMargin - topOffset_;
    int line = top_;
    const int h = viewport()->height();
    for (; line < LineCount() - 1; ++line) {
        y += HeightOf(line);
        if (y >= h) break;
    }
    return line;
}

bool TResultPane::IsShown(int line) const {
    return line >= top_ && line <= LastShownLine();
}

QPointF TResultPane::LineOrigin(int line) const {
    int y = kMargin - topOffset_;
    for (int k = top_; k < line; ++k)
        y += HeightOf(k);
    const int x = kMargin - (wrap_ ? 0 : horizontalScrollBar()->value());
    return QPointF(x, y);
}

void TResultPane::Damaged(int first, int last, int shift) {
    // The layouts of the lines changed go; those of the lines after them follow their lines.
    std::vector<std::pair<int, Laid>> moved;
    for (auto it = layouts_.begin(); it != layouts_.end();) {
        if (it->first < first) {
            ++it;
        } else if (it->first <= last) {
            it = layouts_.erase(it);
        } else if (shift != 0) {
            moved.emplace_back(it->first + shift, std::move(it->second));
            it = layouts_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& [line, laid] : moved)
        layouts_.emplace(line, std::move(laid));
    // The lines on the screen stay there when lines come or go above them.
    if (shift != 0 && last < top_) top_ = std::max(0, top_ + shift);
    if (top_ >= LineCount()) {
        top_ = std::max(0, LineCount() - 1);
        topOffset_ = 0;
    }
    if (first <= LastShownLine() && (shift != 0 || last >= top_)) Repaint();
    rangeDirty_ = true;
    if (!rangeTimer_->isActive()) rangeTimer_->start();
}

void TResultPane::Repaint() {
    if (updateDepth_ > 0) {
        updatePending_ = true;
        return;
    }
    updatePending_ = false;
    viewport()->update();
}

// ---- Painting ----

void TResultPane::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().brush(QPalette::Base));
    p.setPen(palette().color(QPalette::Text));
    const std::int64_t s0 = SelStart(), s1 = SelStart() + SelLength();
    const int caretLine = text_.LineOf(caret_);
    const int h = viewport()->height();
    const QBrush highlight = palette().brush(QPalette::Active, QPalette::Highlight);
    QTextCharFormat selected;
    selected.setBackground(highlight);
    selected.setForeground(palette().brush(QPalette::Active, QPalette::HighlightedText));
    QPointF origin = LineOrigin(top_);
    for (int line = top_; line < LineCount() && origin.y() < h; ++line) {
        QTextLayout* layout = LayoutOf(line);
        const int height = HeightOf(line);
        const std::int64_t ls = text_.LineStart(line), le = text_.LineEnd(line);
        QList<QTextLayout::FormatRange> selections;
        if (s1 > s0 && s1 > ls && s0 < le) {
            const int a = CharIndexIn(line, static_cast<std::size_t>(std::max(s0, ls) - ls));
            const int b = CharIndexIn(line, static_cast<std::size_t>(std::min(s1, le) - ls));
            selections.push_back({a, b - a, selected});
        }
        std::unique_ptr<QTextLayout> composing;
        int caretIndex =
            line == caretLine ? CharIndexIn(line, static_cast<std::size_t>(caret_ - ls)) : -1;
        if (caretIndex >= 0 && !preedit_.isEmpty()) {
            // What the input method composes, underlined at the caret.
            composing = std::make_unique<QTextLayout>(layout->text(), layout->font());
            composing->setTextOption(layout->textOption());
            QList<QTextLayout::FormatRange> formats = layout->formats();
            for (auto& f : formats)
                if (f.start >= caretIndex) f.start += static_cast<int>(preedit_.size());
            QTextCharFormat under;
            under.setFontUnderline(true);
            formats.push_back({caretIndex, static_cast<int>(preedit_.size()), under});
            composing->setPreeditArea(caretIndex, preedit_);
            composing->setFormats(formats);
            composing->beginLayout();
            qreal y = 0;
            for (QTextLine row = composing->createLine(); row.isValid();
                 row = composing->createLine()) {
                row.setLineWidth(wrap_ ? layoutWidth_ : kNoWrapWidth);
                row.setPosition(QPointF(0, y));
                y += row.height();
            }
            composing->endLayout();
            layout = composing.get();
            caretIndex += static_cast<int>(preedit_.size());
        }
        if (origin.y() + height > 0) {
            layout->draw(&p, origin, selections);
            // A selected line break shows as a little more highlight after the line.
            if (s0 <= le && s1 > le && line + 1 < LineCount() && layout->lineCount() > 0) {
                const QTextLine last = layout->lineAt(layout->lineCount() - 1);
                p.fillRect(QRectF(origin.x() + last.naturalTextWidth(), origin.y() + last.y(),
                                  fontMetrics().horizontalAdvance(QLatin1Char(' ')), last.height()),
                           highlight);
            }
            if (caretIndex >= 0 && caretOn_ && hasFocus())
                layout->drawCursor(&p, origin, caretIndex, 1);
        }
        origin.ry() += height;
    }
}

// ---- Scrolling ----

TResultPane::ViewPos TResultPane::BottomPos() const {
    int rest = ContentHeight();
    for (int line = LineCount() - 1; line >= 0; --line) {
        const int h = HeightOf(line);
        if (h >= rest) return {line, h - rest};
        rest -= h;
    }
    return {0, 0};
}

bool TResultPane::NearEnd(int line) const {
    // No line is lower than half the font's height: no more than this many lines fit.
    const int fit = ContentHeight() / std::max(4, fontMetrics().height() / 2) + 1;
    return line >= LineCount() - 2 * fit;
}

void TResultPane::ScrollTo(ViewPos p) {
    if (NearEnd(p.line)) {
        const ViewPos bottom = BottomPos();
        if (p.line > bottom.line || (p.line == bottom.line && p.offset > bottom.offset)) p = bottom;
    }
    p.line = std::clamp(p.line, 0, LineCount() - 1);
    p.offset = std::clamp(p.offset, 0, HeightOf(p.line) - 1);
    if (p.line != top_ || p.offset != topOffset_) {
        top_ = p.line;
        topOffset_ = p.offset;
        Repaint();
    }
    if (verticalScrollBar()->value() != top_) {
        settingBar_ = true;
        verticalScrollBar()->setValue(top_);
        settingBar_ = false;
    }
}

void TResultPane::ScrollPixels(int dy) {
    int line = top_, offset = topOffset_ + dy;
    while (offset < 0 && line > 0)
        offset += HeightOf(--line);
    offset = std::max(offset, 0);
    while (line < LineCount() - 1 && offset >= HeightOf(line))
        offset -= HeightOf(line++);
    ScrollTo({line, offset});
}

void TResultPane::UpdateScrollRange() {
    rangeDirty_ = false;
    // The lines at the end are laid out only when the view is near them: until then the range
    // counts as many of them as the screen shows now. (While a run appends, they change at
    // every showing.)
    const ViewPos bottom =
        !bulk_ && NearEnd(top_)
            ? BottomPos()
            : ViewPos{std::max(0, LineCount() - (LastShownLine() - top_ + 1)), 0};
    settingBar_ = true;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, bottom.line + (bottom.offset > 0 ? 1 : 0));
    bar->setPageStep(std::max(1, LastShownLine() - top_));
    bar->setValue(top_);
    settingBar_ = false;
    if (top_ > bottom.line || (top_ == bottom.line && topOffset_ > bottom.offset)) ScrollTo(bottom);
    if (!wrap_) {
        // As wide as the widest line shown.
        qreal widest = 0;
        for (int line = top_; line <= LastShownLine(); ++line) {
            const QTextLayout* l = LayoutOf(line);
            for (int r = 0; r < l->lineCount(); ++r)
                widest = std::max(widest, l->lineAt(r).naturalTextWidth());
        }
        horizontalScrollBar()->setRange(
            0, std::max(0, static_cast<int>(widest) + 2 * kMargin - viewport()->width()));
        horizontalScrollBar()->setPageStep(viewport()->width());
    } else {
        horizontalScrollBar()->setRange(0, 0);
    }
}

void TResultPane::scrollContentsBy(int, int) {
    // The bars' moves are followed through their values (ScrollTo, Repaint).
}

void TResultPane::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    UpdateScrollRange();
    Repaint();
}

void TResultPane::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) {
        layouts_.clear();
        UpdateScrollRange();
        Repaint();
    } else if (e->type() == QEvent::PaletteChange) {
        Repaint();
    }
}

void TResultPane::SetWrap(bool wrap) {
    if (wrap == wrap_) return;
    wrap_ = wrap;
    layouts_.clear();
    horizontalScrollBar()->setValue(0);
    UpdateScrollRange();
    Repaint();
}

void TResultPane::ScrollCaretIntoView() {
    if (rangeDirty_) UpdateScrollRange();
    const int line = text_.LineOf(caret_);
    const QTextLayout* layout = LayoutOf(line);
    const int index = CharIndexIn(line, static_cast<std::size_t>(caret_ - text_.LineStart(line)));
    const QTextLine row = layout->lineForTextPosition(index);
    const int rowTop = row.isValid() ? static_cast<int>(row.y()) : 0;
    const int rowBottom =
        row.isValid() ? static_cast<int>(std::ceil(row.y() + row.height())) : HeightOf(line);
    if (line < top_ || (line == top_ && rowTop < topOffset_)) {
        ScrollTo({line, rowTop});
    } else {
        // Below the view: the caret's row becomes the lowest one shown.
        int y = -topOffset_;
        for (int k = top_; k < line && y <= ContentHeight(); ++k)
            y += HeightOf(k);
        if (y + rowBottom > ContentHeight()) {
            // The place from which the text down to the row's bottom fills the view.
            int need = ContentHeight() - rowBottom;
            ViewPos p{line, 0};
            if (need <= 0) {
                p.offset = std::min(rowTop, -need);
            } else {
                p = {0, 0};
                for (int k = line - 1; k >= 0; --k) {
                    const int h = HeightOf(k);
                    if (h >= need) {
                        p = {k, h - need};
                        break;
                    }
                    need -= h;
                }
            }
            ScrollTo(p);
        }
    }
    if (!wrap_ && row.isValid()) {
        const int x = static_cast<int>(row.cursorToX(index));
        QScrollBar* bar = horizontalScrollBar();
        const int width = viewport()->width() - 2 * kMargin;
        if (x < bar->value())
            bar->setValue(x);
        else if (x > bar->value() + width) {
            bar->setMaximum(std::max(bar->maximum(), x - width));
            bar->setValue(x - width);
        }
    }
}

void TResultPane::wheelEvent(QWheelEvent* e) {
    int dy = -e->pixelDelta().y();
    if (dy == 0) {
        // A notch (120 eighths of a degree) scrolls as many lines as the desktop says.
        wheelRest_ += e->angleDelta().y();
        const int lines = QApplication::wheelScrollLines();
        const int step = fontMetrics().lineSpacing();
        dy = -wheelRest_ * lines * step / 120;
        wheelRest_ -= -dy * 120 / std::max(1, lines * step);
    }
    ScrollPixels(dy);
    e->accept();
}

// ---- Caret and selection ----

void TResultPane::SetSelection(std::int64_t anchor, std::int64_t caret) {
    anchor = std::clamp<std::int64_t>(anchor, 0, text_.Length());
    caret = std::clamp<std::int64_t>(caret, 0, text_.Length());
    if (anchor == anchor_ && caret == caret_) {
        ReportSelection();
        return;
    }
    const bool caretMoved = caret != caret_;
    anchor_ = anchor;
    caret_ = caret;
    typingFormat_ = -1;
    desiredX_ = -1;
    caretOn_ = true;
    if (blink_.isActive()) blink_.start(QApplication::cursorFlashTime() / 2, this);
    Repaint();
    if (QAccessible::isActive()) {
        if (caretMoved) {
            QAccessibleTextCursorEvent moved(this, static_cast<int>(CharacterOf(caret_)));
            QAccessible::updateAccessibility(&moved);
        }
        QAccessibleTextSelectionEvent selection(
            this, static_cast<int>(CharacterOf(SelStart())),
            static_cast<int>(CharacterOf(SelStart() + SelLength())));
        QAccessible::updateAccessibility(&selection);
    }
    ReportSelection();
}

void TResultPane::SetCaret(std::int64_t pos, bool keepAnchor) {
    pos = text_.Snap(pos);
    SetSelection(keepAnchor ? anchor_ : pos, pos);
}

void TResultPane::ReportSelection() {
    // Reported once per change, so that a marker painting every new selection paints it once.
    if (anchor_ == reportedAnchor_ && caret_ == reportedCaret_) return;
    reportedAnchor_ = anchor_;
    reportedCaret_ = caret_;
    emit SelectionChanged();
}

QRect TResultPane::PositionRect(std::int64_t pos) const {
    pos = text_.Snap(pos);
    const int line = text_.LineOf(pos);
    if (!IsShown(line)) return {};
    const QTextLayout* layout = LayoutOf(line);
    const int index = CharIndexIn(line, static_cast<std::size_t>(pos - text_.LineStart(line)));
    const QTextLine row = layout->lineForTextPosition(index);
    if (!row.isValid()) return {};
    const QPointF origin = LineOrigin(line);
    return QRect(static_cast<int>(origin.x() + row.cursorToX(index)),
                 static_cast<int>(origin.y() + row.y()), 1, static_cast<int>(row.height()));
}

std::int64_t TResultPane::PositionAt(QPoint point) const {
    int y = kMargin - topOffset_;
    int line = top_;
    for (; line < LineCount() - 1; ++line) {
        const int h = HeightOf(line);
        if (point.y() < y + h) break;
        y += h;
    }
    const QTextLayout* layout = LayoutOf(line);
    const qreal x = point.x() - kMargin + (wrap_ ? 0 : horizontalScrollBar()->value());
    int index = 0;
    for (int r = 0; r < layout->lineCount(); ++r) {
        const QTextLine row = layout->lineAt(r);
        if (point.y() - y < row.y() + row.height() || r + 1 == layout->lineCount()) {
            index = row.xToCursor(x);
            break;
        }
    }
    return text_.LineStart(line) + static_cast<std::int64_t>(ColOfCharIndex(line, index));
}

void TResultPane::MoveVertically(int rows, bool keepAnchor) {
    int line = text_.LineOf(caret_);
    const QTextLayout* layout = LayoutOf(line);
    int index = CharIndexIn(line, static_cast<std::size_t>(caret_ - text_.LineStart(line)));
    QTextLine row = layout->lineForTextPosition(index);
    const int x = desiredX_ >= 0 ? desiredX_ : static_cast<int>(row.cursorToX(index));
    int target = row.lineNumber() + rows;
    std::int64_t pos;
    if (target < 0 && line == 0) {
        pos = 0;
    } else if (target >= layout->lineCount() && line == LineCount() - 1) {
        pos = text_.Length();
    } else {
        if (target < 0) {
            layout = LayoutOf(--line);
            target = layout->lineCount() - 1;
        } else if (target >= layout->lineCount()) {
            layout = LayoutOf(++line);
            target = 0;
        }
        index = layout->lineAt(target).xToCursor(x);
        pos = text_.LineStart(line) + static_cast<std::int64_t>(ColOfCharIndex(line, index));
    }
    SetCaret(pos, keepAnchor);
    desiredX_ = x;
    ScrollCaretIntoView();
}

void TResultPane::MovePage(int direction, bool keepAnchor) {
    ScrollCaretIntoView();
    const QRect at = PositionRect(caret_);
    const int x = desiredX_ >= 0 ? desiredX_ : at.x();
    const int before = top_, beforeOffset = topOffset_;
    ScrollPixels(direction * std::max(1, ContentHeight() - fontMetrics().lineSpacing()));
    std::int64_t pos;
    if (before == top_ && beforeOffset == topOffset_)
        pos = direction > 0 ? text_.Length() : 0; // the view cannot move: to the text's end
    else
        pos = PositionAt(QPoint(x, at.center().y()));
    SetCaret(pos, keepAnchor);
    desiredX_ = x;
    ScrollCaretIntoView();
}

std::int64_t TResultPane::WordStart(std::int64_t pos) const {
    const int line = text_.LineOf(pos);
    const std::string& s = text_.Line(line);
    const std::int64_t ls = text_.LineStart(line);
    pos = text_.Snap(pos);
    if (pos >= text_.LineEnd(line)) {
        if (pos == ls) return pos;
        pos = text_.PrevChar(pos);
    }
    const int kind = KindOf(s, static_cast<std::size_t>(pos - ls));
    while (pos > ls) {
        const std::int64_t prev = text_.PrevChar(pos);
        if (KindOf(s, static_cast<std::size_t>(prev - ls)) != kind) break;
        pos = prev;
    }
    return pos;
}

std::int64_t TResultPane::WordEnd(std::int64_t pos) const {
    const int line = text_.LineOf(pos);
    const std::string& s = text_.Line(line);
    const std::int64_t ls = text_.LineStart(line), le = text_.LineEnd(line);
    pos = text_.Snap(pos);
    if (pos >= le) return pos;
    const int kind = KindOf(s, static_cast<std::size_t>(pos - ls));
    while (pos < le && KindOf(s, static_cast<std::size_t>(pos - ls)) == kind)
        pos = text_.NextChar(pos);
    return pos;
}

// ---- Keys ----

bool TResultPane::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // Keys that edit or move in the pane are the pane's, not a window shortcut's.
        auto* k = static_cast<QKeyEvent*>(e);
        const bool ctrl = k->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        if (k == QKeySequence::Copy || k == QKeySequence::Cut || k == QKeySequence::Paste ||
            k == QKeySequence::SelectAll || (!ctrl && !k->text().isEmpty())) {
            e->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void TResultPane::keyPressEvent(QKeyEvent* e) {
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    auto move = [&](std::int64_t pos) {
        SetCaret(pos, shift);
        ScrollCaretIntoView();
    };
    auto line = [&] { return text_.LineOf(caret_); };
    // The start or end of the caret's row on the screen.
    auto rowEdge = [&](bool end) {
        const int l = line();
        const QTextLayout* layout = LayoutOf(l);
        const int index = CharIndexIn(l, static_cast<std::size_t>(caret_ - text_.LineStart(l)));
        const QTextLine row = layout->lineForTextPosition(index);
        int to = end ? row.textStart() + row.textLength() : row.textStart();
        // A wrapped row ends before the first character of the next one.
        if (end && row.lineNumber() + 1 < layout->lineCount() && to > row.textStart()) --to;
        return text_.LineStart(l) + static_cast<std::int64_t>(ColOfCharIndex(l, to));
    };
    const bool hasSelection = SelLength() > 0;
    if (e == QKeySequence::SelectAll) {
        SelectAllText();
    } else if (e == QKeySequence::Copy) {
        CopyToClipboard();
    } else if (e == QKeySequence::Cut) {
        CutToClipboard();
        ScrollCaretIntoView();
    } else if (e == QKeySequence::Paste) {
        PasteFromClipboard();
        ScrollCaretIntoView();
    } else if (e == QKeySequence::MoveToNextChar || e == QKeySequence::SelectNextChar) {
        move(hasSelection && !shift ? SelStart() + SelLength() : text_.NextChar(caret_));
    } else if (e == QKeySequence::MoveToPreviousChar || e == QKeySequence::SelectPreviousChar) {
        move(hasSelection && !shift ? SelStart() : text_.PrevChar(caret_));
    } else if (e == QKeySequence::MoveToNextWord || e == QKeySequence::SelectNextWord) {
        const std::int64_t end = WordEnd(caret_);
        move(end > caret_ ? end : text_.NextChar(caret_));
    } else if (e == QKeySequence::MoveToPreviousWord || e == QKeySequence::SelectPreviousWord) {
        move(caret_ > 0 ? WordStart(text_.PrevChar(caret_)) : 0);
    } else if (e == QKeySequence::MoveToNextLine || e == QKeySequence::SelectNextLine) {
        MoveVertically(1, shift);
    } else if (e == QKeySequence::MoveToPreviousLine || e == QKeySequence::SelectPreviousLine) {
        MoveVertically(-1, shift);
    } else if (e == QKeySequence::MoveToNextPage || e == QKeySequence::SelectNextPage) {
        MovePage(1, shift);
    } else if (e == QKeySequence::MoveToPreviousPage || e == QKeySequence::SelectPreviousPage) {
        MovePage(-1, shift);
    } else if (e == QKeySequence::MoveToStartOfLine || e == QKeySequence::SelectStartOfLine) {
        move(rowEdge(false));
    } else if (e == QKeySequence::MoveToEndOfLine || e == QKeySequence::SelectEndOfLine) {
        move(rowEdge(true));
    } else if (e == QKeySequence::MoveToStartOfDocument ||
               e == QKeySequence::SelectStartOfDocument) {
        move(0);
    } else if (e == QKeySequence::MoveToEndOfDocument || e == QKeySequence::SelectEndOfDocument) {
        move(text_.Length());
    } else if ((e->key() == Qt::Key_Backspace && !(e->modifiers() & ~Qt::ShiftModifier)) ||
               e == QKeySequence::Delete) {
        if (hasSelection) {
            InsertTyped({});
        } else {
            const bool back = e->key() == Qt::Key_Backspace;
            const std::int64_t other = back ? text_.PrevChar(caret_) : text_.NextChar(caret_);
            ReplaceRange(std::min(caret_, other), std::max(caret_, other), {}, true);
            ScrollCaretIntoView();
        }
    } else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        InsertTyped(QStringLiteral("\n"));
    } else if (e->key() == Qt::Key_Tab && !(e->modifiers() & Qt::ControlModifier)) {
        InsertTyped(QStringLiteral("\t"));
    } else if (!(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
               !e->text().isEmpty() && e->text().at(0).isPrint()) {
        InsertTyped(e->text());
    } else {
        e->ignore();
        return;
    }
    e->accept();
}

bool TResultPane::focusNextPrevChild(bool next) {
    // Tab is typed into the text, as in any document; the focus moves on with Ctrl+Tab.
    (void)next;
    return false;
}

// ---- The mouse ----

void TResultPane::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(e);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    SetCaret(PositionAt(e->position().toPoint()), e->modifiers() & Qt::ShiftModifier);
    dragging_ = true;
    e->accept();
}

void TResultPane::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return;
    const QPoint p = e->position().toPoint();
    // Dragging past the top or the bottom scrolls.
    if (p.y() < 0) ScrollPixels(-fontMetrics().lineSpacing());
    if (p.y() > viewport()->height()) ScrollPixels(fontMetrics().lineSpacing());
    SetCaret(PositionAt(p), true);
    e->accept();
}

void TResultPane::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dragging_ = false;
    e->accept();
}

void TResultPane::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const std::int64_t at = PositionAt(e->position().toPoint());
    SetSelection(WordStart(at), WordEnd(at));
    e->accept();
}

// ---- Focus and the caret's blinking ----

void TResultPane::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    caretOn_ = true;
    if (QApplication::cursorFlashTime() > 0)
        blink_.start(QApplication::cursorFlashTime() / 2, this);
    Repaint();
}

void TResultPane::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    blink_.stop();
    Repaint();
}

void TResultPane::timerEvent(QTimerEvent* e) {
    if (e->timerId() != blink_.timerId()) {
        QAbstractScrollArea::timerEvent(e);
        return;
    }
    caretOn_ = !caretOn_;
    const QRect r = PositionRect(caret_);
    if (!r.isEmpty()) viewport()->update(r.adjusted(-2, 0, 2, 0));
}

// ---- The input method ----

void TResultPane::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty()) InsertTyped(e->commitString());
    preedit_ = e->preeditString();
    Repaint();
    e->accept();
}

QVariant TResultPane::inputMethodQuery(Qt::InputMethodQuery query) const {
    const int line = text_.LineOf(caret_);
    const auto col = static_cast<std::size_t>(caret_ - text_.LineStart(line));
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return PositionRect(caret_);
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return CharIndexIn(line, col);
    case Qt::ImAnchorPosition: {
        const int anchorLine = text_.LineOf(anchor_);
        return anchorLine == line
                   ? CharIndexIn(line, static_cast<std::size_t>(anchor_ - text_.LineStart(line)))
                   : CharIndexIn(line, col);
    }
    case Qt::ImSurroundingText:
        return app::ToQ(text_.Line(line));
    case Qt::ImCurrentSelection:
        return app::ToQ(SelText());
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
