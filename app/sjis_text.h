// Rules of Shift-JIS text that more than one part of the program needs, written once: letter case
// that walks characters. (The lead byte is in codec.h.)
//
// The second byte of a two-byte character may be 0x40-0x7E and so look like an ASCII letter
// (テ is 0x83 0x65, "e"; ウ is 0x83 0x45, "E"): these routines walk the characters and fold
// single-byte letters only, so that no two different characters ever compare equal.
#pragma once

#include <string_view>

namespace cp932 {

// Compares without regard to the case of single-byte letters a-z: -1, 0 or 1. A two-byte
// character compares by its two bytes, after every single-byte character (half-width kana
// included); a lead byte at the very end is a single byte.
int CompareNoCase(std::string_view a, std::string_view b);

// CompareNoCase(a, b) == 0.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Whether `s` starts with `prefix`, letter case of single-byte letters aside.
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

} // namespace cp932
