// The viewer's work on a note's text that needs no window: tag removal, the line-end clean-up
// after it, how a corrected note is written back, and the sizes and scrolling rules. Standard
// library only.
#pragma once

#include <algorithm>
#include <optional>
#include <string>

namespace viewer {

// Removes tags: keeps the text before each "<" and resumes after the first ">" of what is left
// (even one before that "<"); what follows the last "<" ... ">" is dropped. Byte search is exact
// here: "<" and ">" are below 0x40 and never the second byte of a character.
std::string RemoveTags(const std::string& text);

// One pass that turns every CR LF CR LF CR LF into one CR LF.
std::string CollapseBlankLines(const std::string& text);

// How the editor's text (lines joined by CR LF) becomes the note's bytes again: the line end the
// note uses throughout.
enum class TLineEnds { CrLf, Lf, Cr };

// The line ends that give back `fileBytes` from the editor's text of it, or nullopt when no
// single kind does (mixed line ends, a Ctrl-Z and what followed it, and so on): such a note
// cannot be written back without changing bytes the user never touched.
std::optional<TLineEnds> FaithfulLineEnds(const std::string& fileBytes,
                                          const std::string& editorText);
// The editor's text with its CR LF turned into `ends`.
std::string ToNoteBytes(const std::string& editorText, TLineEnds ends);

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
