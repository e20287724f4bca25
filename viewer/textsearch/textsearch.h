// Finding a search text in a Shift-JIS buffer, forward or backward from a selection, with the
// search dialog's options: case folding, whole words, half-width equal to full-width, and line
// ends and blanks skipped inside the found text. Standard library only: the viewer runs it on a
// whole note, the editor on chunks of its rows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace textsearch {

using TSearchOptions = std::uint16_t;

constexpr TSearchOptions soDown = 0x0001;           // toward the end; clear: toward the start
constexpr TSearchOptions soMatchCase = 0x0002;      // clear: case folded
constexpr TSearchOptions soWholeWord = 0x0004;      // the found text is a whole word
constexpr TSearchOptions soNoMatchZenkaku = 0x0008; // a half-width form equals its full width
constexpr TSearchOptions soIgnoreLineEnds = 0x0080; // CR and LF inside the found text skipped
constexpr TSearchOptions soIgnoreSpaces = 0x0100;   // tab, space, full-width space skipped

// Looks for `pattern` in `buffer`, forward from selStart + selLength or backward from selStart.
// On success the pair holds the found text's byte offset and byte length and the result is
// true; on failure the pair may have been changed (callers keep a copy). An empty pattern or
// buffer is never found and leaves the pair alone. The buffer is searched to its size; a NUL
// byte is an ordinary byte that no pattern character equals. The pattern ends at its first NUL.
bool FindInBuffer(std::string_view buffer, std::int32_t& selStart, std::int32_t& selLength,
                  std::string_view pattern, TSearchOptions options);

// The full-width form of a Shift-JIS string: two-byte characters are kept, half-width kana with
// a sound mark become the one voiced or semi-voiced katakana (ｶﾞ ガ, ﾊﾟ パ, ｳﾞ ヴ), every other
// byte with a full-width form becomes it, and the rest are kept.
std::string ToFullWidth(std::string_view s);

// Whether the two-byte text character at `text` equals the (upper-cased) two-byte pattern
// character at `pattern`: the same bytes, or the text is a lower-case letter whose capital is
// the pattern character.
bool SameCharIgnoreCase(const char* pattern, const char* text);

// Moves `position` to the nearest word start at or after it (direction +1) or at or before it
// (-1), one byte at a time while `remaining` > 0, taking one from `remaining` per byte. Returns
// whether the position reached is a word start. A word start is a word character (a two-byte
// character other than the full-width space, or a byte outside the delimiter set) that begins
// the buffer or follows a delimiter byte or a full-width space.
bool SkipToWordStart(std::string_view buffer, std::int32_t& position, std::int32_t& remaining,
                     int direction);

// The fixed tables.
// The single-byte upper-case map: "a"-"z" raised, every other byte kept.
unsigned char UpperCaseByte(unsigned char b);
// Two-byte upper-casing of a pattern (see textsearch.cpp): the capital of a two-byte lower-case
// letter, or the code itself.
std::uint16_t UpperCaseCode(std::uint16_t code);
// The full-width code (lead * 256 + trail) of a single byte; 0 when it has none.
std::uint16_t FullWidthOf(unsigned char b);
// Whether half-width kana `b` followed by `mark` (ﾞ 0xDE or ﾟ 0xDF) is one voiced or semi-voiced
// katakana; sets `code` to it. ﾞ joins ｳ, ｶ-ﾄ and ﾊ-ﾎ; ﾟ joins ﾊ-ﾎ only.
bool KanaPair(unsigned char b, unsigned char mark, std::uint16_t& code);
// The capital of a two-byte lower-case letter for the comparison of text with pattern; 0 when
// the code is not such a letter.
std::uint16_t CapitalOf(std::uint16_t code);
// The delimiter bytes of whole words.
bool IsDelimiter(unsigned char b);

} // namespace textsearch
