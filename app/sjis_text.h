// Rules of Shift-JIS text that more than one part of the program needs, written once: letter case
// that walks characters, and lines. (The lead byte is in codec.h.)
//
// The second byte of a two-byte character may be 0x40-0x7E and so look like an ASCII letter
// (テ is 0x83 0x65, "e"; ウ is 0x83 0x45, "E"): these routines walk the characters and fold
// single-byte letters only, so that no two different characters ever compare equal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cp932 {

// Compares without regard to the case of single-byte letters a-z: -1, 0 or 1. A two-byte
// character compares by its two bytes, after every single-byte character (half-width kana
// included); a lead byte at the very end is a single byte.
int CompareNoCase(std::string_view a, std::string_view b);

// CompareNoCase(a, b) == 0.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Whether `s` starts with `prefix`, letter case of single-byte letters aside.
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

// What a CR that no LF follows is. (CR and LF are never the second byte of a two-byte character.)
enum class LoneCr {
    EndsLine, // CR LF, a lone CR and a lone LF each end a line: notes, the editor, the pane
    IsText,   // only LF and CR LF end a line, and a CR at the very end of the text: profile files
};

// What the line end at the very end of the text does.
enum class FinalLineEnd {
    EndsLastLine,    // "a\n" is one line, "" none: lists of lines
    StartsEmptyLine, // "a\n" is "a" and "", "" one empty line: text whose caret may stand after it
};

// The lines of `text` without their line ends.
std::vector<std::string> SplitLines(std::string_view text, LoneCr loneCr, FinalLineEnd finalEnd);
// The same lines as views into `text`, for callers that copy them on anyway.
std::vector<std::string_view> SplitLineViews(std::string_view text, LoneCr loneCr,
                                             FinalLineEnd finalEnd);

} // namespace cp932
