// The result pane: a rich-text control of the program's own over TPaneText, driven through
// positions that count bytes of the Shift-JIS text (0-based, a line break counting two, as
// CR LF). It lays out only the lines it shows, so a line is in the pane, ready to be scrolled to,
// found, painted or edited, as soon as it is appended: a search's hit lines cost the pane a few
// tens of nanoseconds each, whatever their number.
#pragma once

#include "pane_text.h"
#include "rtf.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QFont>
#include <QRect>
#include <QTextCharFormat>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class QPrinter;
class QTextLayout;

// Raised when the pane refuses more text (its size cap).
struct EPaneFull : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TResultPane : public QAbstractScrollArea {
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
    int MaxLines() const { return maxLines_; }
    std::int64_t MaxBytes() const { return maxBytes_; }

    explicit TResultPane(QWidget* parent = nullptr);
    ~TResultPane() override;

    // Content.
    void Clear();
    std::string Text() const; // lines joined by CR LF
    int LineCount() const { return text_.LineCount(); }
    std::string Line(int i) const; // "" for a line that does not exist
    // Replaces line i's text; `text` may hold line breaks (CR LF, CR or LF) and becomes lines.
    void ReplaceLine(int i, const std::string& text);
    // Appends a line with the insertion attributes; throws EPaneFull past the cap.
    void AppendLine(std::string text);
    std::int64_t TextLength() const { return text_.Length(); } // bytes, line breaks counting two

    // A run of many appends (a search). The view stays where the user has it, and shows the
    // lines that come into it at most every publish interval (100 ms), when PublishIfDue is
    // called; the scroll bar follows the growing text then. Every command works on the whole
    // text meanwhile.
    void BeginBulkAppend();
    void PublishIfDue();
    void EndBulkAppend();
    bool InBulkAppend() const { return bulk_; }
    void SetPublishInterval(int ms) { publishIntervalMs_ = ms; } // tests

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
    // Lines wrap at the control's width (the default), or not at all.
    void SetWrap(bool wrap);

    // Selection.
    std::int64_t SelStart() const { return std::min(anchor_, caret_); }
    std::int64_t SelLength() const { return std::max(anchor_, caret_) - SelStart(); }
    std::int64_t Caret() const { return caret_; }
    void SetSelStart(std::int64_t pos); // length 0: moves the caret
    void SetSelLength(std::int64_t len);
    void Select(std::int64_t start, std::int64_t length);
    void SelectAllText();
    std::string SelText() const;
    int LineOfPosition(std::int64_t pos) const { return text_.LineOf(pos); }
    std::int64_t PositionOfLine(int line) const;

    // First occurrence of text at or after `from` and before `to` (-1: the end), or -1.
    std::int64_t FindText(const std::string& text, std::int64_t from, std::int64_t to = -1,
                          bool wholeWord = false, bool matchCase = false) const {
        return text_.Find(text, from, to, wholeWord, matchCase);
    }

    void ScrollCaretIntoView();

    // Colour and exactly this style (bold, underline) for a range, the selection left alone.
    void PaintRange(std::int64_t start, std::int64_t length, std::uint32_t color, bool bold,
                    bool underline);

    // Changes between these two are shown once, at EndUpdate (pairs may nest).
    void BeginUpdate() { ++updateDepth_; }
    void EndUpdate();

    // Clipboard (the platform's), as rich text: colours and styles travel with the text.
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard(); // replaces the selection; plain text when the clipboard has no other
    // Replaces the selection by `text`, as typing does: in the look of the text before it.
    void ReplaceSelection(const std::string& text);
    // Replaces the whole text by `text` (CR LF, CR or LF start lines) in the first character's
    // format.
    void SetPlainText(const std::string& text);

    // The content as runs of one format (line breaks CR LF inside the runs): what a result file
    // keeps. Colour kAutoColor and size 0 stand for text without a colour or size of its own.
    using PaneRun = rtf::Run;
    std::vector<PaneRun> Runs() const { return text_.Runs(0, text_.Length()); }
    std::vector<PaneRun> LineRuns(int line) const; // one line's, without its break
    // Replaces the whole content by the runs, caret at 0. The caller keeps them within the cap.
    void SetRuns(const std::vector<PaneRun>& runs);

    // Printing: the whole content into PageRect (printer pixels, relative to the printable
    // area; empty: all of it), page after page, under the document title. Returns the pages
    // printed, 0 when the printer could not be opened.
    QRect PageRect;
    int Print(QPrinter& printer, const std::string& title);

    // Where the caret stands for a position (viewport coordinates; empty when the position is
    // not on the screen), and the position nearest a point of the viewport.
    QRect PositionRect(std::int64_t pos) const;
    std::int64_t PositionAt(QPoint viewportPoint) const;
    int TopLine() const { return top_; }

    // For a screen reader: the text counts characters (a line break one), as a QString does.
    std::int64_t CharacterCount() const;
    std::int64_t CharacterOf(std::int64_t pos) const;
    std::int64_t PositionOfCharacter(std::int64_t character) const;
    QString CharactersText(std::int64_t from, std::int64_t to) const;

  signals:
    void SelectionChanged();

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

  public:
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  private:
    TPaneText text_;
    int maxLines_ = kMaxLines;
    std::int64_t maxBytes_ = kMaxBytes;

    // Formats: what appended lines take, what typing takes until the caret moves.
    TPaneFormat insertion_;
    int insertionIndex_ = -1; // insertion_ in text_, -1 until asked for
    int InsertionIndex();
    int typingFormat_ = -1;
    QTextCharFormat CharFormat(int format) const;
    QFont FontOf(int format) const;
    std::uint32_t DefaultColor() const;
    // The selection's first character's format, or the insertion format without a selection.
    const TPaneFormat& SelFormat() const;

    // Edits, with everything that follows from them: caret and selection kept in place, the
    // lines touched laid out again, the screen reader told.
    void ReplaceRange(std::int64_t from, std::int64_t to,
                      const std::vector<TPaneText::Piece>& pieces, bool caretToEnd);
    void ChangeFormat(std::int64_t from, std::int64_t to, const TFormatChange& change);
    void ApplyToSelection(const TFormatChange& change);
    void InsertTyped(const QString& text);
    // Lines [first, last] changed, and the lines after them moved by `shift` lines.
    void Damaged(int first, int last, int shift);

    // Caret and selection.
    std::int64_t anchor_ = 0, caret_ = 0;
    int desiredX_ = -1; // the column kept by up and down
    void SetCaret(std::int64_t pos, bool keepAnchor);
    void SetSelection(std::int64_t anchor, std::int64_t caret);
    void ReportSelection();
    std::int64_t reportedAnchor_ = -1, reportedCaret_ = -1;
    bool selectionSignals_ = true;

    // The view: line top_ at the top, topOffset_ pixels of it scrolled past. Layouts of the lines
    // shown are kept, by line.
    int top_ = 0;
    int topOffset_ = 0;
    bool wrap_ = true;
    struct Laid {
        std::unique_ptr<QTextLayout> layout;
        int height;
    };
    mutable std::unordered_map<int, Laid> layouts_;
    mutable int layoutWidth_ = -1;
    QTextLayout* LayoutOf(int line) const;
    int HeightOf(int line) const;
    int ContentHeight() const; // the viewport's height for text
    struct ViewPos {
        int line, offset;
    };
    // The lowest place the view scrolls to: the end of the text at the bottom of the view.
    ViewPos BottomPos() const;
    // Whether the end of the text may be on the screen when this line is at its top.
    bool NearEnd(int line) const;
    void ScrollTo(ViewPos p);
    void ScrollPixels(int dy);
    bool settingBar_ = false;
    void UpdateScrollRange();
    bool rangeDirty_ = true;
    QTimer* rangeTimer_ = nullptr;
    int LastShownLine() const;
    // The caret's line and character within it, and the point of a character.
    int CharIndexIn(int line, std::size_t col) const;
    std::size_t ColOfCharIndex(int line, int index) const;
    QPointF LineOrigin(int line) const; // where a shown line is drawn (viewport coordinates)
    bool IsShown(int line) const;
    void MoveVertically(int rows, bool keepAnchor);
    void MovePage(int direction, bool keepAnchor);
    std::int64_t WordStart(std::int64_t pos) const;
    std::int64_t WordEnd(std::int64_t pos) const;
    int wheelRest_ = 0; // eighths of a degree not yet scrolled
    int updateDepth_ = 0;
    bool updatePending_ = false;
    void Repaint();

    // A run of appends.
    bool bulk_ = false;
    int publishedLines_ = 0; // lines when the run was last shown
    std::int64_t publishedAtMs_ = 0;
    int publishIntervalMs_ = 100;
    int toldLines_ = 0; // lines the screen reader has been told of
    void Publish();

    // Caret blinking; typing being composed by the input method.
    QBasicTimer blink_;
    bool caretOn_ = true;
    QString preedit_;
    bool dragging_ = false;

    // Character offsets for the screen reader: characters before each line, rebuilt on demand.
    mutable std::vector<std::int64_t> charStarts_;
    mutable int charStartsValid_ = 0; // lines whose entry is right
    void TellTextChanged(std::int64_t from, const std::string& removed, std::int64_t insertedEnd);
    static void InstallAccessibility();
};
