// Code page 932 (Shift-JIS, Microsoft mapping) services that need no GUI.
//
// Text is Shift-JIS bytes everywhere inside the program; this is the one place that knows how to
// turn it into Unicode and back. Source files are UTF-8, so Shift-JIS constants are produced
// from readable UTF-8 here: `static const std::string kCaption = cp932::FromUtf8("検索");`.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cp932 {

// A byte that starts a two-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// A byte that may follow a lead byte: 0x40-0x7E and 0x80-0xFC.
constexpr bool IsTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Bytes of the character at byte i of s (i < s.size()), as the converters split text: 2 for a
// lead byte followed by a byte that may follow it, else 1. The position after a byte that is no
// lead byte always ends a character.
constexpr std::size_t CharLength(std::string_view s, std::size_t i) {
    return IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
                   IsTrailByte(static_cast<unsigned char>(s[i + 1]))
               ? 2
               : 1;
}

struct CodecError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// UTF-8 to Shift-JIS. Throws CodecError when a character has no code page 932 form.
std::string FromUtf8(std::string_view utf8);
// As FromUtf8, but nullopt instead of the exception.
std::optional<std::string> TryFromUtf8(std::string_view utf8);
// As FromUtf8, but a character without a code page 932 form becomes `replacement` (Shift-JIS).
std::string FromUtf8Lossy(std::string_view utf8, std::string_view replacement = "?");

// As FromUtf8Lossy, from UTF-16 (a surrogate pair is one character). Through a table built once,
// so it is much faster than the way through UTF-8 for many short texts.
std::string FromUtf16Lossy(std::u16string_view utf16, std::string_view replacement = "?");

// Shift-JIS to UTF-8. Bytes that are not valid Shift-JIS become U+FFFD; never throws.
std::string ToUtf8(std::string_view sjis);

// The character a byte stands for in one of the single-byte Windows code pages (874, 1250 to
// 1258), as UTF-16; 0 for a byte the code page leaves undefined and for any other code page.
// Word processors write text of other scripts as such bytes under a font's character set.
char16_t SingleByteCodePageChar(int codePage, unsigned char byte);

// The code page 932 form of every UTF-16 code unit, as the converter gives it: a single byte
// below 0x100 (ASCII is itself), a two-byte character as lead * 256 + trail, 0 for none (and for
// the surrogates). Made once, at the first call.
const std::uint16_t* UnitCodeTable();
// The other way: the UTF-16 character of every Shift-JIS code (a single byte by its value, a
// two-byte character as lead * 256 + trail), 0 for a code without one. Made once.
const char16_t* CodeCharTable();

// Bytes that one UTF-16 code unit becomes in FromUtf8Lossy: 1 or 2 for a character code page 932
// has, 1 for one it lacks ("?"), 1 for a high and 0 for a low surrogate (a pair becomes "?").
int Utf16UnitWidth(char16_t unit);

// File names: UTF-8 on disk, Shift-JIS inside. The way there and back is exact for every name:
// a character that code page 932 cannot spell exactly, and a byte that is no UTF-8, becomes an
// escape of three user-defined (F040-F9FC) characters, which PathToNative turns back into it.
// Such names show private-use characters through ToUtf8; PathToNative gives their real form.
std::string PathFromNative(std::string_view native);
std::string PathToNative(std::string_view sjis);

} // namespace cp932
