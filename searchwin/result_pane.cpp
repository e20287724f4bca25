#include "result_pane.h"

#include "codec.h"
#include "fonts.h"
#include "platform.h"
#include "qtext.h"
#include "sjis_text.h"

#include <QAbstractTextDocumentLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cctype>
#include <memory>
#include <utility>

namespace {

// The mark of a document layout whose document is no longer shown.
constexpr char kRetired[] = "quelvraRetired";
constexpr int kFirstSliceDelayMs = 15;

// Bytes a character of the document takes in the pane's Shift-JIS text.
int SjisWidth(QChar c) {
    return cp932::Utf16UnitWidth(c.unicode());
}

using app::FromQColor;
using app::ToQColor;

// The pane's blocks for a text: every line end starts one, as in the document.
std::vector<std::string> SplitLines(const std::string& text) {
    return cp932::SplitLines(text, cp932::LoneCr::EndsLine, cp932::FinalLineEnd::StartsEmptyLine);
}

} // namespace

QTextDocument* TResultPane::Model() const {
    if (!building_) return document();
    if (running_) {
        FlushStore();
        return building_;
    }
    const_cast<TResultPane*>(this)->AdoptBulkDocument();
    return document();
}

namespace {

// Lines of a run as they go into a document: one insertion for each stretch of lines of one
// format (a document takes a run of lines far faster than the same lines one by one). Every
// line but a document's first starts a new block.
template <class Line, class Format>
void InsertLines(QTextCursor& c, std::size_t from, std::size_t to, bool breakFirst, Line line,
                 Format format) {
    QString text;
    for (std::size_t k = from; k < to;) {
        const int f = line(k).format;
        text.clear();
        std::size_t end = k;
        for (; end < to && line(end).format == f; ++end) {
            if (end > from || breakFirst) text += QLatin1Char('\n');
            text += app::ToQ(line(end).text);
        }
        c.insertText(text, format(f));
        k = end;
    }
}

} // namespace

void TResultPane::FlushStore(std::size_t count) const {
    const std::size_t to = store_.size() - storeFrom_ <= count ? store_.size() : storeFrom_ + count;
    if (to == storeFrom_) return;
    QTextCursor c(building_);
    c.movePosition(QTextCursor::End);
    InsertLines(
        c, storeFrom_, to, true, [this](std::size_t k) -> const StoredLine& { return store_[k]; },
        [this](int f) { return storeFormats_[f]; });
    storeFrom_ = to;
    if (storeFrom_ == store_.size()) {
        store_.clear();
        storeFrom_ = 0;
    }
}

void TResultPane::CopyLines(QTextDocument* doc, int from, int to) const {
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    const int built = building_->blockCount();
    bool breakFirst = !doc->isEmpty();
    if (from < built) {
        QTextCursor part(building_);
        part.setPosition(building_->findBlockByNumber(from).position());
        const QTextBlock last = building_->findBlockByNumber(std::min(to, built) - 1);
        part.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
        c.insertFragment(QTextDocumentFragment(part));
        breakFirst = true;
    }
    if (to > built)
        InsertLines(
            c, storeFrom_ + (std::max(from, built) - built), storeFrom_ + (to - built), breakFirst,
            [this](std::size_t k) -> const StoredLine& { return store_[k]; },
            [this](int f) { return storeFormats_[f]; });
}

void TResultPane::ShowDocument(QTextDocument* doc) {
    QTextDocument* old = document();
    doc->setUndoRedoEnabled(false);
    if (doc != old) {
        // The control deletes a document it created itself; the ones made here are ours to free.
        const bool ours = old && old->parent() == this && old != building_;
        setDocument(doc);
        if (ours) {
            // Freed when the program is idle; until then its layout, which goes on laying the
            // text out a step at a time, must not take the time of what comes now (a search
            // pumps events).
            if (auto* layout = old->findChild<QAbstractTextDocumentLayout*>()) {
                layout->setProperty(kRetired, true);
                layout->installEventFilter(this);
            }
            old->deleteLater();
        }
    }
    connect(doc, &QTextDocument::contentsChange, this, &TResultPane::ContentsChange,
            Qt::UniqueConnection);
    indexDirty_ = true;
}

void TResultPane::ContentsChange(int position, int charsRemoved, int charsAdded) {
    if (indexDirty_) return;
    if (charsRemoved != charsAdded ||
        document()->blockCount() != static_cast<int>(lineStart_.size())) {
        indexDirty_ = true;
        return;
    }
    // Colouring a word reports its range as removed and added again. Keeping the index then
    // matters: painting every occurrence of a keyword would otherwise rebuild it per word.
    // The text of the touched lines tells a format change from typing over a selection.
    const QTextBlock last = document()->findBlock(position + charsAdded);
    for (QTextBlock b = document()->findBlock(position); b.isValid(); b = b.next()) {
        const std::size_t n = static_cast<std::size_t>(b.blockNumber());
        const std::int64_t start = lineStart_[n];
        const std::int64_t end = n + 1 < lineStart_.size()
                                     ? lineStart_[n + 1] - 2
                                     : static_cast<std::int64_t>(text_.size());
        if (text_.compare(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start),
                          app::FromQ(b.text())) != 0) {
            indexDirty_ = true;
            return;
        }
        if (b == last) break;
    }
}

void TResultPane::BeginBulkAppend() {
    if (running_ && building_) return;
    AdoptBulkDocument(); // the last run's lines still going in
    building_ = document()->clone(this);
    building_->setDefaultFont(document()->defaultFont());
    building_->setUndoRedoEnabled(false);
    running_ = true;
    copyShown_ = false;
    shownFromLine_ = 0;
    bulkClock_.start();
    lastPublishMs_ = 0;
}

void TResultPane::PublishIfDue() {
    // Once a second keeps a long run visibly going. What is shown is a copy of the last lines
    // only, the view scrolled to its end: a view follows the end of a growing run all the same,
    // and a copy of the whole document (or lines added to a shown one, which the view lays out
    // at once) would cost the lines so far at every showing, the square of the hits in all.
    if (!building_ || !running_) return;
    if (bulkClock_.elapsed() - lastPublishMs_ < publishIntervalMs_) return;
    const int total = LineCount();
    const int first = std::max(0, total - publishTail_);
    auto* copy = new QTextDocument(this);
    copy->setDefaultFont(building_->defaultFont());
    copy->setUndoRedoEnabled(false);
    CopyLines(copy, first, total);
    ShowDocument(copy);
    copyShown_ = true;
    shownFromLine_ = first;
    moveCursor(QTextCursor::End);
    lastPublishMs_ = bulkClock_.elapsed();
}

void TResultPane::EnsureWhole(std::int64_t upTo) const {
    if (!building_ || !copyShown_ || HeadHolds(upTo)) return;
    const_cast<TResultPane*>(this)->AdoptBulkDocument();
}

void TResultPane::EndBulkAppend() {
    if (!running_) return;
    running_ = false;
    if (!building_) return;
    const int total = LineCount();
    if (Waiting() <= finishAfter_ || total <= headLines_) {
        FlushStore();
        QTextDocument* done = building_;
        building_ = nullptr;
        copyShown_ = false;
        ShowDocument(done);
        return;
    }
    // A long run: its first lines now, the rest a slice at a time (FinishSlice).
    auto* head = new QTextDocument(this);
    head->setDefaultFont(building_->defaultFont());
    head->setUndoRedoEnabled(false);
    headLineCount_ = headLines_;
    CopyLines(head, 0, headLineCount_);
    headBytes_ = 0;
    const int built = building_->blockCount();
    for (int i = 0; i < headLineCount_; ++i)
        headBytes_ += static_cast<std::int64_t>(
                          i < built ? app::FromQ(building_->findBlockByNumber(i).text()).size()
                                    : store_[storeFrom_ + (i - built)].text.size()) +
                      (i > 0 ? 2 : 0);
    blockSignals_ = true;
    ShowDocument(head);
    setTextCursor(QTextCursor(head));
    setCurrentCharFormat(insertion_);
    blockSignals_ = false;
    copyShown_ = true;
    shownFromLine_ = 0;
    // The first slice after the first lines are on the screen.
    finishTimer_->start(kFirstSliceDelayMs);
}

void TResultPane::FinishSlice() {
    if (!building_ || running_) return;
    // Slices of a few milliseconds: between them the window answers the user and lays out
    // what it shows.
    QElapsedTimer slice;
    slice.start();
    do
        FlushStore(static_cast<std::size_t>(std::max(1, sliceLines_)));
    while (Waiting() > 0 && slice.elapsed() < sliceMs_);
    if (Waiting() > 0)
        finishTimer_->start(0);
    else
        AdoptBulkDocument();
}

void TResultPane::AdoptBulkDocument() {
    if (!building_) return;
    FlushStore();
    if (!running_) finishTimer_->stop();
    // The shown copy holds lines of the whole text from shownFromLine_ on, as they were when it
    // was made; only lines at the end came since. The selection keeps its lines and columns.
    const QTextCursor old = textCursor();
    auto map = [this](QTextDocument* from, QTextDocument* to, int pos) {
        const QTextBlock b = from->findBlock(pos);
        const QTextBlock t = to->findBlockByNumber(shownFromLine_ + std::max(0, b.blockNumber()));
        if (!t.isValid()) return std::max(0, to->characterCount() - 1);
        return t.position() + std::min(pos - b.position(), t.length() - 1);
    };
    QTextDocument* doc = building_;
    const int anchor = map(document(), doc, old.anchor());
    const int position = map(document(), doc, old.position());
    // The line at the top of the view, and how far it is scrolled past.
    const QTextBlock top = cursorForPosition(QPoint(0, 0)).block();
    const int pastTop =
        verticalScrollBar()->value() -
        static_cast<int>(document()->documentLayout()->blockBoundingRect(top).top());
    building_ = nullptr;
    copyShown_ = false;
    blockSignals_ = true;
    ShowDocument(doc);
    QTextCursor c(doc);
    c.setPosition(anchor);
    c.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(c);
    // The first lines keep their place on the screen (a place far down a run's text would
    // need the text above it laid out: the caret shows the place then).
    const QTextBlock same = doc->findBlockByNumber(top.blockNumber());
    if (shownFromLine_ == 0 && same.isValid())
        verticalScrollBar()->setValue(
            static_cast<int>(doc->documentLayout()->blockBoundingRect(same).top()) + pastTop);
    // With a selection the control would give the selected text that format.
    if (!c.hasSelection()) setCurrentCharFormat(insertion_);
    blockSignals_ = false;
}

void TResultPane::keyPressEvent(QKeyEvent* e) {
    AdoptBulkDocument();
    QTextEdit::keyPressEvent(e);
}

void TResultPane::mousePressEvent(QMouseEvent* e) {
    // A click after a run works on the whole text (a drag may move it); while a run lasts,
    // selecting in the shown copy is fine: a command adopts the run's document first.
    if (!running_) AdoptBulkDocument();
    QTextEdit::mousePressEvent(e);
}

void TResultPane::wheelEvent(QWheelEvent* e) {
    if (!running_) AdoptBulkDocument();
    QTextEdit::wheelEvent(e);
}

bool TResultPane::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Timer && watched->property(kRetired).toBool()) return true;
    // Scrolling through the bar reaches the lines still going in at once.
    if (watched == verticalScrollBar() && !running_ &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel))
        AdoptBulkDocument();
    return QTextEdit::eventFilter(watched, event);
}

void TResultPane::inputMethodEvent(QInputMethodEvent* e) {
    AdoptBulkDocument();
    QTextEdit::inputMethodEvent(e);
}

void TResultPane::insertFromMimeData(const QMimeData* source) {
    AdoptBulkDocument();
    QTextEdit::insertFromMimeData(source);
}

TResultPane::TResultPane(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ShowDocument(document());
    finishTimer_ = new QTimer(this);
    finishTimer_->setSingleShot(true);
    connect(finishTimer_, &QTimer::timeout, this, &TResultPane::FinishSlice);
    verticalScrollBar()->installEventFilter(this);
    connect(this, &QTextEdit::selectionChanged, this, [this] {
        if (!blockSignals_) ReportSelection();
    });
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] {
        if (!blockSignals_ && !textCursor().hasSelection()) ReportSelection();
    });
    insertion_ = currentCharFormat();
}

void TResultPane::ReportSelection() {
    // The control also reports a format change of the selection as a selection change; a
    // marker that paints every new selection would then paint what it just painted.
    const QTextCursor c = textCursor();
    if (c.anchor() == reportedAnchor_ && c.position() == reportedPosition_) return;
    reportedAnchor_ = c.anchor();
    reportedPosition_ = c.position();
    emit SelectionChanged();
}

void TResultPane::Clear() {
    if (building_ && !running_) {
        // A finishing run is dropped with its lines.
        finishTimer_->stop();
        building_->deleteLater();
        building_ = nullptr;
    }
    if (document()->blockCount() > 1000) {
        // A large text goes away when the program is idle: the next search need not wait for it.
        auto* fresh = new QTextDocument(this);
        fresh->setDefaultFont(document()->defaultFont());
        ShowDocument(fresh);
    } else {
        clear();
    }
    if (building_) building_->clear();
    copyShown_ = false;
    shownFromLine_ = 0;
    store_.clear();
    storeFrom_ = 0;
    storeFormats_.clear();
    insertion_ = QTextCharFormat();
    setCurrentCharFormat(insertion_);
    bytes_ = 0;
    hasLines_ = false;
    indexDirty_ = true;
}

std::string TResultPane::Text() const {
    EnsureWhole();
    RebuildIndex();
    return text_;
}

int TResultPane::LineCount() const {
    if (!building_) return document()->blockCount();
    return building_->blockCount() + Waiting();
}

std::string TResultPane::Line(int i) const {
    if (building_) {
        const int built = building_->blockCount();
        if (i >= built) return i - built < Waiting() ? store_[storeFrom_ + (i - built)].text : "";
        const QTextBlock b = building_->findBlockByNumber(i);
        return b.isValid() ? app::FromQ(b.text()) : std::string();
    }
    const QTextBlock b = document()->findBlockByNumber(i);
    return b.isValid() ? app::FromQ(b.text()) : std::string();
}

QTextCharFormat TResultPane::InsertionFormat() const {
    return insertion_;
}

void TResultPane::ReplaceLine(int i, const std::string& text) {
    if (building_ && !running_) AdoptBulkDocument();
    // While a run lasts, the line goes into the run's document (the summary replaces its first
    // line): only lines up to it need to be there.
    if (building_ && i >= building_->blockCount()) FlushStore();
    QTextDocument* doc = building_ ? building_ : document();
    const QTextBlock b = doc->findBlockByNumber(i);
    if (!b.isValid()) return;
    const int before = doc->blockCount();
    const std::vector<std::string> lines = SplitLines(text);
    QTextCursor c(b);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    const QTextCharFormat fmt = c.charFormat();
    c.removeSelectedText();
    for (size_t k = 0; k < lines.size(); ++k) {
        if (k > 0) c.insertBlock();
        c.insertText(app::ToQ(lines[k]), fmt);
    }
    if (building_ && copyShown_ && i < shownFromLine_) shownFromLine_ += doc->blockCount() - before;
    indexDirty_ = true;
}

void TResultPane::AppendLine(std::string text) {
    if (building_ && !running_) AdoptBulkDocument();
    const std::int64_t add = static_cast<std::int64_t>(text.size()) + 2;
    if (building_ && (hasLines_ || !building_->isEmpty())) {
        // A line of a run waits, as it is, for its way into a document.
        if (LineCount() >= maxLines_ || bytes_ + add > maxBytes_)
            throw EPaneFull("the result pane is full");
        if (storeFormats_.empty() || !(storeFormats_.back() == insertion_))
            storeFormats_.push_back(insertion_);
        store_.push_back({std::move(text), static_cast<int>(storeFormats_.size()) - 1});
        bytes_ += add;
        return;
    }
    QTextDocument* doc = building_ ? building_ : document();
    if (doc->blockCount() >= maxLines_ || bytes_ + add > maxBytes_)
        throw EPaneFull("the result pane is full");
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    const bool first = !hasLines_ && doc->isEmpty();
    hasLines_ = true;
    if (!first) c.insertBlock(QTextBlockFormat(), InsertionFormat());
    c.insertText(app::ToQ(text), InsertionFormat());
    bytes_ += first ? static_cast<std::int64_t>(text.size()) : add;
}

std::int64_t TResultPane::TextLength() const {
    EnsureWhole();
    RebuildIndex();
    return static_cast<std::int64_t>(text_.size());
}

void TResultPane::RebuildIndex() const {
    if (!indexDirty_) return;
    lineStart_.clear();
    lineStart_.reserve(document()->blockCount());
    text_.clear();
    std::int64_t pos = 0;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (pos > 0) text_ += "\r\n";
        lineStart_.push_back(pos);
        const std::string line = app::FromQ(b.text());
        text_ += line;
        pos += static_cast<std::int64_t>(line.size()) + 2;
    }
    if (!copyShown_) const_cast<TResultPane*>(this)->bytes_ = pos > 0 ? pos - 2 : 0;
    indexDirty_ = false;
}

int TResultPane::DocPosition(std::int64_t bytePos) const {
    EnsureWhole(bytePos);
    if (bytePos <= 0) return 0;
    RebuildIndex();
    if (lineStart_.empty()) return 0;
    auto it = std::upper_bound(lineStart_.begin(), lineStart_.end(), bytePos);
    const int line = static_cast<int>(it - lineStart_.begin()) - 1;
    const QTextBlock b = document()->findBlockByNumber(line);
    const QString t = b.text();
    std::int64_t rest = bytePos - lineStart_[line];
    int k = 0;
    while (k < t.size() && rest > 0) {
        rest -= SjisWidth(t[k]);
        ++k;
    }
    return b.position() + k; // past the line's end: the line break (or the document's end)
}

std::int64_t TResultPane::BytePosition(int docPos) const {
    EnsureWhole(0);
    RebuildIndex();
    const QTextBlock b = document()->findBlock(docPos);
    if (!b.isValid()) return TextLength();
    const QString t = b.text();
    std::int64_t pos = lineStart_[b.blockNumber()];
    const int inBlock = std::min<int>(docPos - b.position(), t.size());
    for (int k = 0; k < inBlock; ++k)
        pos += SjisWidth(t[k]);
    return pos;
}

std::int64_t TResultPane::SelStart() const {
    EnsureWhole(0);
    return BytePosition(textCursor().selectionStart());
}

std::int64_t TResultPane::SelLength() const {
    EnsureWhole(0);
    const QTextCursor c = textCursor();
    return BytePosition(c.selectionEnd()) - BytePosition(c.selectionStart());
}

void TResultPane::SetSelStart(std::int64_t pos) {
    Select(pos, 0);
}

void TResultPane::SetSelLength(std::int64_t len) {
    Select(SelStart(), len);
}

void TResultPane::Select(std::int64_t start, std::int64_t length) {
    EnsureWhole(start + std::max<std::int64_t>(length, 0));
    QTextCursor c = textCursor();
    const int a = DocPosition(start);
    c.setPosition(a);
    if (length > 0) c.setPosition(DocPosition(start + length), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void TResultPane::SelectAllText() {
    EnsureWhole();
    selectAll();
}

std::string TResultPane::SelText() const {
    EnsureWhole(0);
    QString s = textCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return app::FromQ(s);
}

int TResultPane::LineOfPosition(std::int64_t pos) const {
    EnsureWhole(pos);
    return document()->findBlock(DocPosition(pos)).blockNumber();
}

std::int64_t TResultPane::PositionOfLine(int line) const {
    EnsureWhole(copyShown_ && !running_ && line < headLineCount_ ? 0 : INT64_MAX);
    RebuildIndex();
    if (line < 0 || line >= static_cast<int>(lineStart_.size())) return -1;
    return lineStart_[line];
}

namespace {

// Applies a format change to the selection, or to the insertion attributes when it is empty.
template <class F> void ApplyFormat(TResultPane* edit, QTextCharFormat& insertion, F change) {
    if (edit->textCursor().hasSelection()) edit->AdoptBulkDocument();
    QTextCursor c = edit->textCursor();
    if (c.hasSelection()) {
        QTextCharFormat f;
        change(f);
        c.mergeCharFormat(f);
    } else {
        change(insertion);
        edit->setCurrentCharFormat(insertion);
    }
}

} // namespace

void TResultPane::SetDefaultColor(std::uint32_t color) {
    QPalette p = palette();
    p.setColor(QPalette::Text, ToQColor(color));
    setPalette(p);
}

void TResultPane::SetSelColor(std::uint32_t color) {
    ApplyFormat(this, insertion_, [&](QTextCharFormat& f) { f.setForeground(ToQColor(color)); });
}

void TResultPane::SetSelPointSize(int points) {
    ApplyFormat(this, insertion_, [&](QTextCharFormat& f) { f.setFontPointSize(points); });
}

void TResultPane::SetSelBold(bool bold) {
    ApplyFormat(this, insertion_,
                [&](QTextCharFormat& f) { f.setFontWeight(bold ? QFont::Bold : QFont::Normal); });
}

void TResultPane::SetSelUnderline(bool underline) {
    ApplyFormat(this, insertion_, [&](QTextCharFormat& f) { f.setFontUnderline(underline); });
}

void TResultPane::SetSelStyleExactly(bool bold, bool underline) {
    ApplyFormat(this, insertion_, [&](QTextCharFormat& f) {
        f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        f.setFontUnderline(underline);
        f.setFontItalic(false);
        f.setFontStrikeOut(false);
    });
}

void TResultPane::SetInsertColor(std::uint32_t color) {
    insertion_.setForeground(ToQColor(color));
}
void TResultPane::SetInsertPointSize(int points) {
    insertion_.setFontPointSize(points);
}
void TResultPane::SetInsertBold(bool bold) {
    insertion_.setFontWeight(bold ? QFont::Bold : QFont::Normal);
}

std::uint32_t TResultPane::SelColor() const {
    const QTextCharFormat f = textCursor().hasSelection() ? textCursor().charFormat() : insertion_;
    return f.hasProperty(QTextFormat::ForegroundBrush)
               ? FromQColor(f.foreground().color())
               : FromQColor(palette().color(QPalette::Text));
}

bool TResultPane::SelBold() const {
    const QTextCharFormat f = textCursor().hasSelection() ? textCursor().charFormat() : insertion_;
    return f.fontWeight() >= QFont::Bold;
}

int TResultPane::FontPointSize() const {
    const int pt = font().pointSize();
    return pt > 0 ? pt : qRound(font().pixelSize() * 72.0 / logicalDpiY());
}

void TResultPane::SetFontPointSize(int points) {
    QFont f = font();
    f.setPointSize(points);
    setFont(f);
    document()->setDefaultFont(f);
    if (building_) building_->setDefaultFont(f);
}

namespace {

bool IsWordByte(unsigned char c) {
    return std::isalnum(c) || c == '_' || c >= 0x80;
}

// Whether `text` lies at `at` of `hay`; without `matchCase`, single-byte letters fold (never
// the second byte of a two-byte character).
bool MatchesAt(const std::string& hay, std::int64_t at, const std::string& text, bool matchCase) {
    const auto there = std::string_view(hay).substr(static_cast<std::size_t>(at), text.size());
    return matchCase ? there == text : cp932::EqualsNoCase(there, text);
}

} // namespace

std::int64_t TResultPane::FindText(const std::string& text, std::int64_t from, std::int64_t to,
                                   bool wholeWord, bool matchCase) const {
    EnsureWhole();
    RebuildIndex();
    const std::string& hay = text_;
    const std::int64_t n = static_cast<std::int64_t>(hay.size());
    const std::int64_t m = static_cast<std::int64_t>(text.size());
    if (m == 0) return -1;
    if (to < 0 || to > n) to = n;
    from = std::max<std::int64_t>(from, 0);
    // Start at the beginning of from's line so that every candidate lies on a character boundary.
    std::int64_t i = 0;
    if (!lineStart_.empty()) {
        auto it = std::upper_bound(lineStart_.begin(), lineStart_.end(), from);
        i = *(it - 1);
    }
    std::int64_t prev = -1; // the character before i, for whole words
    while (i + m <= to) {
        const unsigned char c = hay[i];
        const int width = (cp932::IsLeadByte(c) && i + 1 < n) ? 2 : 1;
        if (i >= from && MatchesAt(hay, i, text, matchCase)) {
            const auto end = i + m;
            if (!wholeWord ||
                ((prev < 0 || !IsWordByte(hay[prev])) && (end >= n || !IsWordByte(hay[end]))))
                return i;
        }
        prev = i;
        i += width;
    }
    return -1;
}

void TResultPane::ScrollCaretIntoView() {
    ensureCursorVisible();
}

// ---- Updates ----

void TResultPane::PaintRange(std::int64_t start, std::int64_t length, std::uint32_t color,
                             bool bold, bool underline) {
    if (length <= 0) return;
    AdoptBulkDocument();
    QTextCursor c(document());
    c.setPosition(DocPosition(start));
    c.setPosition(DocPosition(start + length), QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setForeground(ToQColor(color));
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontUnderline(underline);
    f.setFontItalic(false);
    f.setFontStrikeOut(false);
    c.mergeCharFormat(f);
}

void TResultPane::BeginUpdate() {
    if (updateDepth_++ > 0) return;
    updateCursor_ = QTextCursor(document());
    updateCursor_.beginEditBlock();
}

void TResultPane::EndUpdate() {
    if (updateDepth_ == 0 || --updateDepth_ > 0) return;
    updateCursor_.endEditBlock();
    updateCursor_ = QTextCursor();
}

// ---- Clipboard ----

void TResultPane::CopyToClipboard() {
    const QTextCursor c = textCursor();
    if (!c.hasSelection()) return;
    const QTextDocumentFragment fragment(c);
    app::platform().SetClipboardRich(SelText(), fragment.toHtml().toStdString());
}

void TResultPane::CutToClipboard() {
    if (!textCursor().hasSelection()) return;
    AdoptBulkDocument();
    QTextCursor c = textCursor();
    CopyToClipboard();
    c.removeSelectedText();
    setTextCursor(c);
}

void TResultPane::PasteFromClipboard() {
    AdoptBulkDocument();
    const std::string html = app::platform().ClipboardRich();
    QTextCursor c = textCursor();
    if (!html.empty()) {
        c.insertFragment(QTextDocumentFragment::fromHtml(QString::fromStdString(html), document()));
    } else {
        QString text = app::ToQ(app::platform().ClipboardText());
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        c.insertText(text);
    }
    setTextCursor(c);
}

void TResultPane::SetPlainText(const std::string& text) {
    AdoptBulkDocument();
    QTextCursor c(document());
    c.movePosition(QTextCursor::NextCharacter); // the format of the first character
    const QTextCharFormat fmt = c.charFormat();
    c.select(QTextCursor::Document);
    c.removeSelectedText();
    const std::vector<std::string> lines = SplitLines(text);
    for (size_t k = 0; k < lines.size(); ++k) {
        if (k > 0) c.insertBlock();
        c.insertText(app::ToQ(lines[k]), fmt);
    }
    setTextCursor(c);
    indexDirty_ = true;
}

// ---- Runs (result files) ----

std::vector<TResultPane::PaneRun> TResultPane::Runs() const {
    std::vector<PaneRun> runs;
    const QTextDocument* doc = Model();
    auto add = [&runs](PaneRun r) {
        if (!runs.empty() && runs.back().SameFormat(r))
            runs.back().text += r.text;
        else
            runs.push_back(std::move(r));
    };
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin()) {
            // The break takes the format of the text before it.
            if (runs.empty()) runs.emplace_back();
            runs.back().text += "\r\n";
        }
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid()) continue;
            const QTextCharFormat f = frag.charFormat();
            PaneRun r;
            r.text = app::FromQ(frag.text());
            if (f.hasProperty(QTextFormat::ForegroundBrush) &&
                f.foreground().style() != Qt::NoBrush)
                r.color = FromQColor(f.foreground().color());
            if (f.hasProperty(QTextFormat::FontPointSize)) r.points = f.fontPointSize();
            r.bold = f.fontWeight() >= QFont::Bold;
            r.underline = f.fontUnderline();
            add(std::move(r));
        }
    }
    return rtf::Merge(std::move(runs));
}

void TResultPane::SetRuns(const std::vector<PaneRun>& runs) {
    QTextDocument* doc = Model();
    const bool shown = doc == document();
    if (shown) {
        // Filled where no view lays it out piece by piece, then shown: for a large file this
        // is several times faster than filling the shown document.
        blockSignals_ = true;
        document()->clear();
        doc = document()->clone(this);
    } else {
        doc->clear();
        shownFromLine_ = 0;
    }
    QTextCursor c(doc);
    c.beginEditBlock();
    std::int64_t bytes = 0;
    for (const PaneRun& r : runs) {
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
        bytes += static_cast<std::int64_t>(r.text.size());
    }
    c.endEditBlock();
    hasLines_ = !doc->isEmpty();
    bytes_ = bytes;
    indexDirty_ = true;
    if (shown) {
        ShowDocument(doc);
        QTextCursor start(doc);
        setTextCursor(start);
        blockSignals_ = false;
        ReportSelection();
    }
}

// ---- Printing ----

int TResultPane::Print(QPrinter& printer, const std::string& title) {
    printer.setDocName(app::ToQ(title));
    std::unique_ptr<QTextDocument> doc(Model()->clone());
    // A size in pixels is meant for the screen; on paper it becomes the same size in points.
    QFont base = Model()->defaultFont();
    if (base.pixelSize() > 0) base.setPointSizeF(base.pixelSize() * 72.0 / logicalDpiY());
    doc->setDefaultFont(base);
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
