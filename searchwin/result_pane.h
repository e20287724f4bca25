// The result pane: a rich-text control over Qt's text document, driven through positions that
// count bytes of the Shift-JIS text (0-based, a line break counting two, as CR LF).
#pragma once

#include "rtf.h"

#include <QElapsedTimer>
#include <QRect>
#include <QTextCursor>
#include <QTextEdit>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class QPrinter;

// Raised when the pane refuses more text (its size cap).
struct EPaneFull : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TResultPane : public QTextEdit {
    Q_OBJECT
  public:
    // The cap: the pane takes at most this many lines and this many bytes of text, so a search
    // with a huge number of hits ends with a message instead of exhausting memory.
    static constexpr int kMaxLines = 200000;
    static constexpr std::int64_t kMaxBytes = 64LL * 1024 * 1024;
    void SetCap(int maxLines, std::int64_t maxBytes) {
        maxLines_ = maxLines;
        maxBytes_ = maxBytes;
    }

    explicit TResultPane(QWidget* parent = nullptr);

    // Content.
    void Clear();
    std::string Text() const; // lines joined by CR LF
    int LineCount() const;
    std::string Line(int i) const; // "" for a line that does not exist
    // Replaces line i's text; `text` may hold line breaks (CR LF, CR or LF) and becomes lines.
    void ReplaceLine(int i, const std::string& text);
    // Appends a line with the insertion attributes; throws EPaneFull past the cap.
    void AppendLine(const std::string& text);
    std::int64_t TextLength() const; // bytes, line breaks counting two

    // A run of many appends (a search): the lines go into a document that no view lays out
    // line by line, which the pane shows when the run ends, and a copy of its last lines now
    // and then while it lasts (PublishIfDue), so that the pane's cost per hit stays small. Line,
    // LineCount, ReplaceLine and AppendLine work on that document meanwhile.
    void BeginBulkAppend();
    void PublishIfDue();
    // Tests: how often (1000 ms) and how many of the last lines (2000) a run shows.
    void SetPublishInterval(int ms) { publishIntervalMs_ = ms; }
    void SetPublishTail(int lines) { publishTail_ = lines; }

    void EndBulkAppend();
    bool InBulkAppend() const { return building_ != nullptr; }
    // Ends the run's separate document before the shown copy is changed (a command, typing):
    // the document being built is shown in its place with the same selection, and the lines
    // still to come go straight into it, so that the change is not lost at the next showing.
    void AdoptBulkDocument();

    // Attributes. Colours are 0x00BBGGRR.
    void SetDefaultColor(std::uint32_t color);
    void SetSelColor(std::uint32_t color);
    void SetSelPointSize(int points);
    void SetSelBold(bool bold);
    void SetSelUnderline(bool underline);
    // Style: exactly bold / exactly underline (every other style removed).
    void SetSelStyleExactly(bool bold, bool underline);
    // The attributes of appended lines alone, whatever the selection.
    void SetInsertColor(std::uint32_t color);
    void SetInsertPointSize(int points);
    void SetInsertBold(bool bold);
    std::uint32_t SelColor() const;
    bool SelBold() const;
    int FontPointSize() const;         // the whole control's
    void SetFontPointSize(int points); // text without a size of its own follows it

    // Selection.
    std::int64_t SelStart() const;
    std::int64_t SelLength() const;
    void SetSelStart(std::int64_t pos); // length 0: moves the caret
    void SetSelLength(std::int64_t len);
    void Select(std::int64_t start, std::int64_t length);
    void SelectAllText();
    std::string SelText() const;
    int LineOfPosition(std::int64_t pos) const;
    std::int64_t PositionOfLine(int line) const;

    // First occurrence of text at or after `from` and before `to` (-1: the end), or -1.
    std::int64_t FindText(const std::string& text, std::int64_t from, std::int64_t to = -1,
                          bool wholeWord = false, bool matchCase = false) const;

    void ScrollCaretIntoView();

    // Colour and exactly this style (bold, underline) for a range, the selection left alone.
    void PaintRange(std::int64_t start, std::int64_t length, std::uint32_t color, bool bold,
                    bool underline);

    // Changes between these two are laid out once, at EndUpdate (pairs may nest).
    void BeginUpdate();
    void EndUpdate();

    // Clipboard (the platform's), as rich text: colours and styles travel with the text.
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard(); // replaces the selection; plain text when the clipboard has no other
    // Replaces the whole text by `text` (CR LF, CR or LF start lines) in the first character's
    // format.
    void SetPlainText(const std::string& text);

    // The content as runs of one format (line breaks CR LF inside the runs): what a result file
    // keeps. Colour kAutoColor and size 0 stand for text without a colour or size of its own.
    using PaneRun = rtf::Run;
    std::vector<PaneRun> Runs() const;
    // Replaces the whole content by the runs, caret at 0. The caller keeps them within the cap.
    void SetRuns(const std::vector<PaneRun>& runs);
    int MaxLines() const { return maxLines_; }
    std::int64_t MaxBytes() const { return maxBytes_; }

    // Printing: the whole content into PageRect (printer pixels, relative to the printable
    // area; empty: all of it), page after page, under the document title. Returns the pages
    // printed, 0 when the printer could not be opened.
    QRect PageRect;
    int Print(QPrinter& printer, const std::string& title);

    // Byte offset <-> document position.
    int DocPosition(std::int64_t bytePos) const;
    std::int64_t BytePosition(int docPos) const;

  signals:
    void SelectionChanged();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;

  private slots:
    void ContentsChange(int position, int charsRemoved, int charsAdded);

  private:
    void RebuildIndex() const;
    void EnsureWhole() const;
    // SelectionChanged when the selection is not the one reported last.
    void ReportSelection();
    int reportedAnchor_ = -1, reportedPosition_ = -1;
    QTextCursor updateCursor_; // holds the edit block of BeginUpdate
    int updateDepth_ = 0;
    // The document that content operations work on: the one being built, or the shown one.
    QTextDocument* Model() const;
    void ShowDocument(QTextDocument* doc);
    QTextCharFormat InsertionFormat() const;

    // Per line: its byte length without the line break, and the prefix sums, rebuilt lazily.
    mutable std::vector<std::int64_t> lineStart_;
    mutable std::string text_; // the Shift-JIS text, rebuilt with the index
    mutable bool indexDirty_ = true;
    std::int64_t bytes_ = 0; // kept for the cap
    int maxLines_ = kMaxLines;
    std::int64_t maxBytes_ = kMaxBytes;
    QTextCharFormat insertion_;
    bool blockSignals_ = false;
    QElapsedTimer bulkClock_;
    bool hasLines_ = false; // AppendLine wrote the first line since the last Clear
    QTextDocument* building_ = nullptr;
    qint64 lastPublishMs_ = 0;
    int publishIntervalMs_ = 1000;
    // While a run lasts, the shown document is a copy of the built one's last publishTail_
    // lines, which begin at position shownFrom_ of the built one.
    int shownFrom_ = 0;
    int publishTail_ = 2000;
    // During a bulk append, lines of one format wait here and go in with one insertion: a
    // document takes a run of lines far faster than the same lines one by one.
    void FlushPending() const;
    mutable QString pending_;
    mutable QTextCharFormat pendingFormat_;
    mutable int pendingLines_ = 0;
};
