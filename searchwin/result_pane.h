// The result pane: a rich-text control over Qt's text document, driven through positions that
// count bytes of the Shift-JIS text (0-based, a line break counting two, as CR LF).
#pragma once

#include "rtf.h"

#include <QElapsedTimer>
#include <QRect>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <cstddef>
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
    void AppendLine(std::string text);
    std::int64_t TextLength() const; // bytes, line breaks counting two

    // A run of many appends (a search): the lines wait as Shift-JIS text, outside any document,
    // and go into a document that no view lays out line by line. While the run lasts, the pane
    // shows a copy of the last lines now and then (PublishIfDue). When it ends, a short run is
    // shown whole; a long one shows its first lines at once and the rest goes into the document
    // in the background, a slice at a time, which then takes their place. Touching the pane
    // (a key, the mouse, the scroll bar, a command) finishes that first. Line, LineCount,
    // ReplaceLine and AppendLine work on the whole text meanwhile.
    void BeginBulkAppend();
    void PublishIfDue();
    // Tests: how often (1000 ms) and how many of the last lines (2000) a run shows.
    void SetPublishInterval(int ms) { publishIntervalMs_ = ms; }
    void SetPublishTail(int lines) { publishTail_ = lines; }
    // Tests: a run of more than `afterLines` lines (4000) is finished in the background after
    // showing its first `headLines` (200, a screenful or more), in slices of `sliceMs` (20 ms),
    // `sliceLines` (1024) lines at a time.
    void SetBackgroundFinish(int afterLines, int headLines, int sliceMs, int sliceLines) {
        finishAfter_ = afterLines;
        headLines_ = headLines;
        sliceMs_ = sliceMs;
        sliceLines_ = sliceLines;
    }

    void EndBulkAppend();
    bool InBulkAppend() const { return running_ && building_ != nullptr; }
    // Whether the whole text is in the shown document (nothing still going in after a run).
    bool IsWhole() const { return !building_ || running_; }
    // Ends the run's separate document before the shown copy is changed (a command, typing):
    // the document being built is shown in its place with the same selection, and the lines
    // still to come go straight into it, so that the change is not lost at the next showing.
    // After a run, finishes the lines still waiting first.
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
    void mousePressEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;

  private slots:
    void ContentsChange(int position, int charsRemoved, int charsAdded);

  private:
    void RebuildIndex() const;
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
    // The whole text of a run: building_'s lines, then the lines of store_ from storeFrom_ on,
    // each in the format of storeFormats_ it names.
    QTextDocument* building_ = nullptr;
    bool running_ = false;
    struct StoredLine {
        std::string text;
        int format;
    };
    mutable std::vector<StoredLine> store_;
    mutable std::size_t storeFrom_ = 0;
    std::vector<QTextCharFormat> storeFormats_;
    int Waiting() const { return static_cast<int>(store_.size() - storeFrom_); }
    // Moves waiting lines (up to `count`) into building_.
    void FlushStore(std::size_t count = SIZE_MAX) const;
    // Lines [from, to) of the whole text at the end of `doc`, in their formats.
    void CopyLines(QTextDocument* doc, int from, int to) const;
    qint64 lastPublishMs_ = 0;
    int publishIntervalMs_ = 1000;
    int publishTail_ = 2000;
    // A copy of lines of the whole text is shown (the last ones while a run lasts, the first
    // ones while it finishes); it begins at line shownFromLine_ and, for the first lines, ends
    // at byte headBytes_ of the whole text.
    bool copyShown_ = false;
    int shownFromLine_ = 0;
    int headLineCount_ = 0;
    std::int64_t headBytes_ = 0;
    bool HeadHolds(std::int64_t bytePos) const {
        return copyShown_ && !running_ && bytePos <= headBytes_;
    }
    // Positions and text are those of the whole document: a shown copy gives way to it first,
    // unless it is a finishing run's first lines and the position lies within them.
    void EnsureWhole(std::int64_t upTo = INT64_MAX) const;
    int finishAfter_ = 4000;
    int headLines_ = 200;
    int sliceMs_ = 20;
    int sliceLines_ = 1024;
    QTimer* finishTimer_ = nullptr;
    void FinishSlice();
    bool eventFilter(QObject* watched, QEvent* event) override;
};
