// Character codes of the pattern engine: every character of a pattern and of a searched file is
// one unsigned 16-bit code (a single byte is its value, a double-byte character is lead byte *
// 256 + second byte), and the helpers that read, write and quote such characters in a pattern.
#pragma once

#include "codec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

using TCharCode = std::uint16_t;

constexpr TCharCode kEndOfPattern = 0;
constexpr TCharCode kLineFeed = 10;
constexpr TCharCode kCarriageReturn = 13;
constexpr TCharCode kEmptyTransition = 0xFFFF;
constexpr TCharCode kLastDataCode = 0xFCFC; // the any-character item ends here

// Code page 932 lead bytes, under the name the engine's code reads best with.
constexpr bool IsDBCSLeadByte(unsigned char b) {
    return cp932::IsLeadByte(b);
}

// Reads the character at the 1-based byte `position` and advances past it. 0 at the end
// (position unchanged). ERegExpParser when the pattern ends in the middle of a character.
TCharCode GetChar(const std::string& pattern, int& position);
// Steps `position` back over the character read last (never over the first one).
void UngetChar(const std::string& pattern, int& position);
// The one or two bytes of a code; a code whose high byte is no lead byte keeps its low byte.
std::string CodeToStr(TCharCode code);
// `s` with a backslash before every metacharacter of the pattern language.
std::string QuoteMeta(const std::string& s);
// The codes of `s` up to its end or a zero byte, followed by a 0 code.
std::vector<TCharCode> StrToCodes(const std::string& s);

} // namespace engine
