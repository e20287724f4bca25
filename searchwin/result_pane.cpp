// The result pane's content, attributes, selection, clipboard, result-file runs and printing.
// The view (layout, painting, scrolling, keys and mouse) is in result_pane_view.cpp, what a
// screen reader is told in result_pane_access.cpp.
#include "result_pane.h"

#include "codec.h"
#include "platform.h"
#include "qtext.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <utility>

namespace {

using app::FromQColor;
using app::ToQColor;

TPaneFormat FormatOfRun(const rtf::Run& r) {
    return {r.color, r.points, r.bold, r.underline};
}

// A document holding the runs, for what Qt does with documents: HTML for the clipboard, pages
// for the printer.
std::unique_ptr<QTextDocument> DocumentOf(const std::vector<rtf::Run>& runs, const QFont& font) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->setDefaultFont(font);
    QTextCursor c(doc.get());
    c.beginEditBlock();
    for (const rtf::Run& r : runs) {
        if (r.text.empty()) continue;
        QTextCharFormat f;
        if (r.color != rtf::kAutoColor) f.setForeground(ToQColor(r.color));
        if (r.points > 0) f.setFontPointSize(r.points);
        f.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
        f.setFontUnderline(r.underline);
        QString t = app::ToQ(r.text);
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        c.insertText(t, f); // each "\n" starts a block
    }
    c.endEditBlock();
    return doc;
}

// The runs of a document (another program's rich text, or our own coming back).
std::vector<rtf::Run> RunsOf(const QTextDocument& doc) {
    std::vector<rtf::Run> runs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b != doc.begin()) {
            // The break takes the format of the text before it.
            if (runs.empty()) runs.emplace_back();
            runs.back().text += "\r\n";
        }
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid()) continue;
            const QTextCharFormat f = frag.charFormat();
            rtf::Run r;
            QString text = frag.text();
            // Line separators of the HTML (<br>) break lines as well.
            text.replace(QChar::LineSeparator, QLatin1Char('\n'));
            text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
            r.text = app::FromQ(text);
            if (f.hasProperty(QTextFormat::ForegroundBrush) &&
                f.foreground().style() != Qt::NoBrush)
                r.color = FromQColor(f.foreground().color());
            if (f.hasProperty(QTextFormat::FontPointSize)) r.points = f.fontPointSize();
            r.bold = f.fontWeight() >= QFont::Bold;
            r.underline = f.fontUnderline();
            runs.push_back(std::move(r));
        }
    }
    return rtf::Merge(std::move(runs));
}

} // namespace

// ---- Content ----

void TResultPane::Clear() {
    const std::string removed = QAccessible::isActive() ? text_.Text() : std::string();
    text_.Clear();
    charStartsValid_ = 0;
    insertion_ = TPaneFormat{};
    insertionIndex_ = -1;
    typingFormat_ = -1;
    toldLines_ = 1;
    top_ = 0;
    topOffset_ = 0;
    Damaged(0, INT_MAX, 0);
    anchor_ = caret_ = 0;
    preedit_.clear();
    if (!removed.empty()) TellTextChanged(0, removed, 0);
    ReportSelection();
}

std::string TResultPane::Text() const {
    return text_.Text();
}

std::string TResultPane::Line(int i) const {
    return i >= 0 && i < LineCount() ? text_.Line(i) : std::string();
}

std::int64_t TResultPane::PositionOfLine(int line) const {
    if (line < 0 || line >= LineCount()) return -1;
    return text_.LineStart(line);
}

int TResultPane::InsertionIndex() {
    if (insertionIndex_ < 0) insertionIndex_ = text_.Intern(insertion_);
    return insertionIndex_;
}

void TResultPane::AppendLine(std::string text) {
    const bool intoFirst = LineCount() == 1 && text_.Length() == 0;
    const std::int64_t add = static_cast<std::int64_t>(text.size()) + 2;
    if ((!intoFirst && LineCount() >= maxLines_) || text_.Length() + add > maxBytes_)
        throw EPaneFull("the result pane is full");
    const int before = LineCount();
    text_.AppendLine(std::move(text), InsertionIndex());
    if (before == LineCount()) { // the first line, filled: laid out and told again
        layouts_.erase(0);
        toldLines_ = 0;
    }
    if (bulk_) return; // shown at the next publishing, if it comes into view
    const int line = LineCount() - 1;
    Damaged(line, line, 0);
    toldLines_ = std::min(toldLines_, line);
    Publish();
}

void TResultPane::ReplaceLine(int i, const std::string& text) {
    if (i < 0 || i >= LineCount()) return;
    const std::string& line = text_.Line(i);
    const std::int64_t start = text_.LineStart(i);
    const int format = line.empty() ? text_.BreakFormat(i) : text_.FormatAt(i, line.size() - 1);
    ReplaceRange(start, start + static_cast<std::int64_t>(line.size()), {{text, format}}, false);
}

void TResultPane::SetPlainText(const std::string& text) {
    const int format = text_.FormatForTyping(0);
    ReplaceRange(0, text_.Length(), {{text, format}}, true);
}

// ---- A run of appends ----

void TResultPane::BeginBulkAppend() {
    bulk_ = true;
    publishedLines_ = LineCount();
    publishedAtMs_ = app::CoarseClockMs();
}

void TResultPane::PublishIfDue() {
    // A search calls this for every hit: the clock it reads is the cheap one.
    if (bulk_ && app::CoarseClockMs() - publishedAtMs_ >= publishIntervalMs_) Publish();
}

void TResultPane::EndBulkAppend() {
    if (!bulk_) return;
    bulk_ = false;
    Publish();
}

void TResultPane::Publish() {
    publishedAtMs_ = app::CoarseClockMs();
    rangeDirty_ = true;
    // Lines that came into the part on the screen: shown now. (The last line before them may
    // be the first line of an empty pane, now filled.)
    if (!bulk_ || publishedLines_ - 1 <= LastShownLine()) Repaint();
    publishedLines_ = LineCount();
    if (!rangeTimer_->isActive()) rangeTimer_->start();
    if (toldLines_ < LineCount()) {
        // The lines that came since the last time, at the end of the text.
        if (QAccessible::isActive()) {
            const std::int64_t from = toldLines_ == 0 ? 0 : text_.LineEnd(toldLines_ - 1);
            TellTextChanged(from, {}, text_.Length());
        }
        toldLines_ = LineCount();
    }
}

// ---- Edits ----

void TResultPane::ReplaceRange(std::int64_t from, std::int64_t to,
                               const std::vector<TPaneText::Piece>& pieces, bool caretToEnd) {
    from = text_.Snap(from);
    to = text_.Snap(to);
    if (to < from) std::swap(from, to);
    const int first = text_.LineOf(from);
    const int lines = LineCount();
    const int last = text_.LineOf(to);
    const std::string removed = QAccessible::isActive() ? text_.Slice(from, to) : std::string();
    const std::int64_t end = text_.Replace(from, to, pieces);
    const std::int64_t delta = end - to;
    auto keep = [&](std::int64_t p) {
        if (p >= to) return p + delta;
        return p > from ? end : p;
    };
    Damaged(first, last, LineCount() - lines);
    if (toldLines_ > first) toldLines_ = std::max(first, toldLines_ + LineCount() - lines);
    charStartsValid_ = std::min(charStartsValid_, first + 1);
    TellTextChanged(from, removed, end);
    if (caretToEnd)
        SetSelection(end, end);
    else
        SetSelection(keep(anchor_), keep(caret_));
}

void TResultPane::ChangeFormat(std::int64_t from, std::int64_t to, const TFormatChange& change) {
    if (to < from) std::swap(from, to);
    text_.ChangeFormat(from, to, change);
    Damaged(text_.LineOf(from), text_.LineOf(to), 0);
}

void TResultPane::ReplaceSelection(const std::string& text) {
    const int format = typingFormat_ >= 0 ? typingFormat_ : text_.FormatForTyping(SelStart());
    ReplaceRange(SelStart(), SelStart() + SelLength(), {{text, format}}, true);
    typingFormat_ = format; // typing on keeps the look
}

void TResultPane::InsertTyped(const QString& text) {
    ReplaceSelection(app::FromQ(text));
    ScrollCaretIntoView();
}

// ---- Attributes ----

void TResultPane::ApplyToSelection(const TFormatChange& change) {
    if (SelLength() > 0) {
        ChangeFormat(SelStart(), SelStart() + SelLength(), change);
        return;
    }
    // An empty selection: the attributes of what is typed or appended next.
    insertion_ = change.Applied(insertion_);
    insertionIndex_ = -1;
    typingFormat_ = InsertionIndex();
}

void TResultPane::SetDefaultColor(std::uint32_t color) {
    QPalette p = palette();
    p.setColor(QPalette::Text, ToQColor(color));
    setPalette(p);
}

void TResultPane::SetSelColor(std::uint32_t color) {
    TFormatChange c;
    c.color = color;
    ApplyToSelection(c);
}

void TResultPane::SetSelPointSize(int points) {
    TFormatChange c;
    c.points = points;
    ApplyToSelection(c);
}

void TResultPane::SetSelBold(bool bold) {
    TFormatChange c;
    c.bold = bold;
    ApplyToSelection(c);
}

void TResultPane::SetSelUnderline(bool underline) {
    TFormatChange c;
    c.underline = underline;
    ApplyToSelection(c);
}

void TResultPane::SetSelStyleExactly(bool bold, bool underline) {
    TFormatChange c;
    c.bold = bold;
    c.underline = underline;
    ApplyToSelection(c);
}

void TResultPane::SetInsertColor(std::uint32_t color) {
    insertion_.color = color;
    insertionIndex_ = -1;
}
void TResultPane::SetInsertPointSize(int points) {
    insertion_.points = points;
    insertionIndex_ = -1;
}
void TResultPane::SetInsertBold(bool bold) {
    insertion_.bold = bold;
    insertionIndex_ = -1;
}

std::uint32_t TResultPane::DefaultColor() const {
    return FromQColor(palette().color(QPalette::Text));
}

const TPaneFormat& TResultPane::SelFormat() const {
    if (SelLength() == 0) return insertion_;
    const int line = text_.LineOf(SelStart());
    return text_.Format(
        text_.FormatAt(line, static_cast<std::size_t>(SelStart() - text_.LineStart(line))));
}

std::uint32_t TResultPane::SelColor() const {
    const std::uint32_t c = SelFormat().color;
    return c == rtf::kAutoColor ? DefaultColor() : c;
}

bool TResultPane::SelBold() const {
    return SelFormat().bold;
}

int TResultPane::FontPointSize() const {
    const int pt = font().pointSize();
    return pt > 0 ? pt : qRound(font().pixelSize() * 72.0 / logicalDpiY());
}

void TResultPane::SetFontPointSize(int points) {
    QFont f = font();
    f.setPointSize(points);
    setFont(f); // the view lays its lines out again (changeEvent)
}

QTextCharFormat TResultPane::CharFormat(int format) const {
    const TPaneFormat& f = text_.Format(format);
    QTextCharFormat out;
    if (f.color != rtf::kAutoColor) out.setForeground(ToQColor(f.color));
    if (f.points > 0) out.setFontPointSize(f.points);
    out.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    out.setFontUnderline(f.underline);
    return out;
}

QFont TResultPane::FontOf(int format) const {
    const TPaneFormat& f = text_.Format(format);
    QFont out = font();
    if (f.points > 0) out.setPointSizeF(f.points);
    out.setBold(f.bold);
    out.setUnderline(f.underline);
    return out;
}

void TResultPane::PaintRange(std::int64_t start, std::int64_t length, std::uint32_t color,
                             bool bold, bool underline) {
    if (length <= 0) return;
    TFormatChange c;
    c.color = color;
    c.bold = bold;
    c.underline = underline;
    ChangeFormat(start, start + length, c);
}

void TResultPane::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0) return;
    if (updatePending_) Repaint();
}

// ---- Selection ----

void TResultPane::SetSelStart(std::int64_t pos) {
    Select(pos, 0);
}

void TResultPane::SetSelLength(std::int64_t len) {
    Select(SelStart(), len);
}

void TResultPane::Select(std::int64_t start, std::int64_t length) {
    const std::int64_t a = text_.Snap(start);
    SetSelection(a, length > 0 ? text_.Snap(start + length) : a);
}

void TResultPane::SelectAllText() {
    SetSelection(0, text_.Length());
}

std::string TResultPane::SelText() const {
    return text_.Slice(SelStart(), SelStart() + SelLength());
}

// ---- Clipboard ----

void TResultPane::CopyToClipboard() {
    if (SelLength() <= 0) return;
    const auto doc = DocumentOf(text_.Runs(SelStart(), SelStart() + SelLength()), font());
    app::platform().SetClipboardRich(SelText(), doc->toHtml().toStdString());
}

void TResultPane::CutToClipboard() {
    if (SelLength() <= 0) return;
    CopyToClipboard();
    ReplaceRange(SelStart(), SelStart() + SelLength(), {}, true);
}

void TResultPane::PasteFromClipboard() {
    std::vector<TPaneText::Piece> pieces;
    const std::string html = app::platform().ClipboardRich();
    if (!html.empty()) {
        QTextDocument doc;
        doc.setHtml(QString::fromStdString(html));
        for (const rtf::Run& r : RunsOf(doc))
            pieces.push_back({r.text, text_.Intern(FormatOfRun(r))});
    } else {
        const int format = typingFormat_ >= 0 ? typingFormat_ : text_.FormatForTyping(SelStart());
        pieces.push_back({app::platform().ClipboardText(), format});
    }
    ReplaceRange(SelStart(), SelStart() + SelLength(), pieces, true);
}

// ---- Runs (result files) ----

std::vector<TResultPane::PaneRun> TResultPane::LineRuns(int line) const {
    if (line < 0 || line >= LineCount()) return {};
    return text_.Runs(text_.LineStart(line), text_.LineEnd(line));
}

void TResultPane::SetRuns(const std::vector<PaneRun>& runs) {
    std::vector<TPaneText::Piece> pieces;
    pieces.reserve(runs.size());
    for (const PaneRun& r : runs)
        if (!r.text.empty()) pieces.push_back({r.text, text_.Intern(FormatOfRun(r))});
    ReplaceRange(0, text_.Length(), pieces, false);
    SetSelection(0, 0);
    ScrollTo({0, 0});
}

// ---- Printing ----

int TResultPane::Print(QPrinter& printer, const std::string& title) {
    printer.setDocName(app::ToQ(title));
    // A size in pixels is meant for the screen; on paper it becomes the same size in points.
    QFont base = font();
    if (base.pixelSize() > 0) base.setPointSizeF(base.pixelSize() * 72.0 / logicalDpiY());
    const auto doc = DocumentOf(Runs(), base);
    doc->setDocumentMargin(0);
    doc->documentLayout()->setPaintDevice(&printer);

    QRect area = PageRect;
    const QRect printable = printer.pageLayout().paintRectPixels(printer.resolution());
    if (area.width() <= 0 || area.height() <= 0)
        area = QRect(0, 0, printable.width(), printable.height());
    doc->setPageSize(QSizeF(area.width(), area.height()));

    QPainter painter;
    if (!painter.begin(&printer)) return 0;
    const int pages = doc->pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0) printer.newPage();
        const QRectF part(0, static_cast<qreal>(i) * area.height(), area.width(), area.height());
        painter.save();
        painter.translate(area.left(), area.top() - part.top());
        doc->drawContents(&painter, part);
        painter.restore();
    }
    painter.end();
    return pages;
}
