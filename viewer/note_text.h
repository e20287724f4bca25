// The viewer's work on a note's text that needs no window: tag removal, the line-end clean-up
// after it, how a corrected note is written back byte for byte, the questions asked before it
// is, and the sizes and scrolling rules. Standard library only.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace viewer {

// Removes tags: keeps the text before each "<" and resumes after the first ">" of what is left
// (even one before that "<"); what follows the last "<" ... ">" is dropped. Byte search is exact
// here: "<" and ">" are below 0x40 and never the second byte of a character.
std::string RemoveTags(const std::string& text);

// One pass that turns every CR LF CR LF CR LF into one CR LF.
std::string CollapseBlankLines(const std::string& text);

// The kinds of line end a note may use.
enum class TLineEnds { CrLf, Lf, Cr };

// How a note's bytes went into the editor, and so how the editor's text (lines joined by CR LF)
// becomes the note's bytes again. The editor reads up to the first Ctrl-Z (the old end-of-file
// mark); that byte and whatever follows it are written back after the text unchanged.
struct TNoteForm {
    TLineEnds ends = TLineEnds::CrLf; // the note's line end; its most frequent one where it mixes
    int count[3] = {0, 0, 0};         // line ends of each kind, by TLineEnds
    std::string tail;                 // from the first Ctrl-Z on; empty without one

    // More than one kind of line end: the note cannot be written back with each kept.
    bool Mixed() const;
    // The form once every line end is `ends`.
    TNoteForm Uniform() const;
};

// The form of `fileBytes` as the editor shows them in `editorText`; nullopt when the editor's
// text is not the note's (loading lost something), so that it must never be written back.
std::optional<TNoteForm> NoteFormOf(std::string_view fileBytes, std::string_view editorText);

// NoteFormOf with the editor's text handed over in pieces, in order (a big note's rows), so that
// it is never held whole beside the note's bytes. `fileBytes` must outlive the check.
class TNoteFormCheck {
  public:
    explicit TNoteFormCheck(std::string_view fileBytes);
    void Feed(std::string_view piece);
    // What NoteFormOf gives for the pieces fed, joined.
    std::optional<TNoteForm> Result() const;

  private:
    std::string_view body_; // up to the first Ctrl-Z
    TNoteForm form_;
    size_t at_ = 0;      // in body_
    bool lfDue_ = false; // a line end's CR matched, its LF expected next
    bool same_ = true;
};
// The note's bytes for the editor's text: its CR LF turned into the form's line end, and the
// tail after it. Exact for an unmixed form: the text as loaded gives back the note's bytes.
std::string ToNoteBytes(std::string_view editorText, const TNoteForm& form);

// Shift-JIS names for the line ends, as the user is told about them ("CR+LF", "LF", "CR").
std::string LineEndName(TLineEnds ends);

// The question asked before a mixed note is written with one kind of line end, naming the file
// and what changes. Shift-JIS.
std::string MixedLineEndsQuestion(const std::string& path, const TNoteForm& form);

// What a window asks before it writes over a file that another program changed, replaced or
// removed since it was read: the text naming the file, and the caption of the button that
// writes. Shift-JIS.
struct TChangedOnDisk {
    std::string text, write;
};
TChangedOnDisk ChangedOnDiskQuestion(const std::string& path, bool removed);

// The excerpt editor's height for a document editor `editorHeight` high and `rows` rows.
inline int ExcerptHeight(int editorHeight, int rows) {
    const int wanted = rows * 18 + 20;
    return editorHeight - 80 < wanted ? editorHeight - 80 : wanted;
}

// The top row that brings a found row a third of the way down the view (or as near as the text's
// start allows), or nullopt when it is well inside the view: between one fifth and four fifths
// of the visible rows.
inline std::optional<int> RecentredTopRow(int row, int topRow, int visibleRows) {
    const int d = row - topRow;
    if (d > visibleRows * 4 / 5 || d < visibleRows / 5) return std::max(0, row - visibleRows / 3);
    return std::nullopt;
}

} // namespace viewer
