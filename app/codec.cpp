#include "codec.h"
#include "note_encoding.h"
#include "utf8_bytes.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <map>
#include <vector>

namespace cp932 {
namespace {

// One iconv conversion descriptor for the length of a call.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw CodecError(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much of [in, in+left) as it can, appending to out. Returns errno of the stop
    // (0 when all input was converted); in/left then point at the offending input.
    // Back to the initial shift state, so that one descriptor serves many calls.
    void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

    int Run(const char*& in, size_t& left, std::string& out) {
        char buf[4096];
        while (left > 0) {
            char* src = const_cast<char*>(in);
            char* dst = buf;
            size_t room = sizeof buf;
            size_t r = iconv(cd_, &src, &left, &dst, &room);
            int err = (r == static_cast<size_t>(-1)) ? errno : 0;
            in = src;
            out.append(buf, dst - buf);
            if (err == E2BIG) continue;
            if (err != 0) return err;
        }
        return 0;
    }

  private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence that starts with b (1 for a stray byte).
size_t Utf8Length(unsigned char b) {
    if (b >= 0xF0) return 4;
    if (b >= 0xE0) return 3;
    if (b >= 0xC0) return 2;
    return 1;
}

// Converts UTF-8; on a character without a Shift-JIS form either fails or substitutes.
// Opening a descriptor costs more than converting a line, so each thread keeps one per direction.
Converter& Utf8ToSjis() {
    thread_local Converter cv("CP932", "UTF-8");
    cv.Reset();
    return cv;
}
Converter& SjisToUtf8() {
    thread_local Converter cv("UTF-8", "CP932");
    cv.Reset();
    return cv;
}

std::optional<std::string> Encode(std::string_view utf8, const std::string_view* replacement) {
    Converter& cv = Utf8ToSjis();
    std::string out;
    out.reserve(utf8.size());
    const char* in = utf8.data();
    size_t left = utf8.size();
    while (left > 0) {
        if (cv.Run(in, left, out) == 0) break;
        if (!replacement) return std::nullopt;
        out.append(*replacement);
        size_t skip = std::min(left, Utf8Length(static_cast<unsigned char>(*in)));
        in += skip;
        left -= skip;
    }
    return out;
}

} // namespace

std::string FromUtf8(std::string_view utf8) {
    auto r = Encode(utf8, nullptr);
    if (!r) throw CodecError("text has a character that code page 932 cannot represent");
    return *r;
}

std::optional<std::string> TryFromUtf8(std::string_view utf8) {
    return Encode(utf8, nullptr);
}

std::string FromUtf8Lossy(std::string_view utf8, std::string_view replacement) {
    return *Encode(utf8, &replacement);
}

std::string ToUtf8(std::string_view sjis) {
    Converter& cv = SjisToUtf8();
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    const char* in = sjis.data();
    size_t left = sjis.size();
    while (left > 0) {
        if (cv.Run(in, left, out) == 0) break;
        out.append("\xEF\xBF\xBD"); // U+FFFD
        // A lead byte with a trail byte after it is one (unmapped) character; anything else,
        // a lead byte before a line feed included, is one byte.
        size_t skip = (IsLeadByte(static_cast<unsigned char>(in[0])) && left >= 2 &&
                       IsTrailByte(static_cast<unsigned char>(in[1])))
                          ? 2
                          : 1;
        in += skip;
        left -= skip;
    }
    return out;
}

namespace {

// The code page 932 form of every UTF-16 code unit (see UnitCodeTable). Every unit outside
// ASCII and the surrogates goes through one descriptor in one pass, each followed by a line
// feed, unconvertible ones skipped: what stands between two line feeds is one unit's form.
// (A descriptor call per unit costs twice as long, and a program searching Unicode notes waits
// for this table.)
const std::vector<std::uint16_t>& UnitTable() {
    static const std::vector<std::uint16_t> table = [] {
        std::vector<std::uint16_t> t(0x10000, 0);
        for (unsigned u = 0; u < 0x80; ++u)
            t[u] = static_cast<std::uint16_t>(u);
        std::u16string in;
        in.reserve(2 * 0x10000);
        for (unsigned u = 0x80; u < 0x10000; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF) continue;
            in += static_cast<char16_t>(u);
            in += u'\n';
        }
        std::string bytes(in.size() * sizeof(char16_t), '\0');
        for (std::size_t i = 0; i < in.size(); ++i) {
            bytes[2 * i] = static_cast<char>(in[i] & 0xFF);
            bytes[2 * i + 1] = static_cast<char>(in[i] >> 8);
        }
        std::string out;
        {
            Converter cv("CP932//IGNORE", "UTF-16LE");
            const char* src = bytes.data();
            size_t left = bytes.size();
            // (Each call stops where it skipped something; the next goes on from there.)
            while (left > 0) {
                const size_t before = left;
                if (cv.Run(src, left, out) != EILSEQ || left == before) break;
            }
        }
        std::size_t at = 0;
        for (unsigned u = 0x80; u < 0x10000; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF) continue;
            const std::size_t end = out.find('\n', at);
            if (end == std::string::npos) break;
            const std::string_view form(out.data() + at, end - at);
            at = end + 1;
            if (form.size() == 1) t[u] = static_cast<unsigned char>(form[0]);
            if (form.size() == 2)
                t[u] = static_cast<std::uint16_t>(static_cast<unsigned char>(form[0]) << 8 |
                                                  static_cast<unsigned char>(form[1]));
        }
        return t;
    }();
    return table;
}

} // namespace

std::string FromUtf16Lossy(std::u16string_view utf16, std::string_view replacement) {
    const std::vector<std::uint16_t>& table = UnitTable();
    std::string out;
    out.reserve(utf16.size() * 2);
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t u = utf16[i];
        if (u < 0x80) {
            out += static_cast<char>(u);
            continue;
        }
        if (u >= 0xD800 && u <= 0xDFFF) {
            // No character outside the basic plane has a code page 932 form; a pair is one.
            if (u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
                utf16[i + 1] <= 0xDFFF)
                ++i;
            out.append(replacement);
            continue;
        }
        const std::uint16_t code = table[u];
        if (code == 0) {
            out.append(replacement);
        } else if (code < 0x100) {
            out += static_cast<char>(code);
        } else {
            out += static_cast<char>(code >> 8);
            out += static_cast<char>(code & 0xFF);
        }
    }
    return out;
}

const std::uint16_t* UnitCodeTable() {
    return UnitTable().data();
}

const char16_t* CodeCharTable() {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(0x10000, 0);
        Converter cv("UTF-16LE", "CP932");
        auto one = [&](const char* bytes, size_t n) -> char16_t {
            cv.Reset();
            const char* in = bytes;
            size_t left = n;
            std::string out;
            if (cv.Run(in, left, out) != 0 || out.size() != 2) return 0;
            return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                         static_cast<unsigned char>(out[1]) << 8);
        };
        for (unsigned b = 1; b < 0x100; ++b)
            if (!IsLeadByte(static_cast<unsigned char>(b))) {
                const char c = static_cast<char>(b);
                t[b] = one(&c, 1);
            }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
                if (IsTrailByte(static_cast<unsigned char>(trail))) {
                    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                    t[lead << 8 | trail] = one(pair, 2);
                }
        }
        return t;
    }();
    return table.data();
}

char16_t SingleByteCodePageChar(int codePage, unsigned char byte) {
    if (codePage != 874 && (codePage < 1250 || codePage > 1258)) return 0;
    // One table per code page, made through iconv at its first use.
    thread_local std::map<int, std::array<char16_t, 256>> tables;
    auto it = tables.find(codePage);
    if (it == tables.end()) {
        std::array<char16_t, 256> table{};
        try {
            const std::string name = "CP" + std::to_string(codePage);
            Converter cv("UTF-16LE", name.c_str());
            for (int b = 0; b < 256; ++b) {
                cv.Reset();
                const char in[1] = {static_cast<char>(b)};
                const char* src = in;
                size_t left = 1;
                std::string out;
                if (cv.Run(src, left, out) == 0 && out.size() == 2)
                    table[b] = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                     (static_cast<unsigned char>(out[1]) << 8));
            }
        } catch (const CodecError&) {
            // The C library lacks the code page: every byte undefined.
        }
        it = tables.emplace(codePage, table).first;
    }
    return it->second[byte];
}

int Utf16UnitWidth(char16_t unit) {
    if (unit < 0x80) return 1;
    if (unit >= 0xD800 && unit <= 0xDBFF) return 1;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return 0;
    return UnitTable()[unit] >= 0x100 ? 2 : 1;
}

// File names that code page 932 cannot spell.
//
// A name on disk may hold characters without a code page 932 form, characters that code page 932
// only approximates (U+301C becomes the code of U+FF5E, so the way back gives another name), or
// bytes that are no UTF-8 at all. Each such character or byte becomes an escape of three
// characters from the user-defined area (lead bytes F0-F9): the marker F040 and two base-1880
// digits of a value (the code point, or 0x110000 + byte - 0x80 for a stray byte). These are valid
// Shift-JIS, so the name survives a trip through Unicode (they map to private-use characters)
// and back; names with private-use characters of that area are escaped too, so the user-defined
// area of a converted name holds escapes only and the way back is exact.
namespace {

constexpr unsigned kGaijiDigits = 10 * 188; // lead bytes F0-F9, 188 trail bytes each
constexpr char32_t kRawByteBase = 0x110000;

bool IsGaijiLead(unsigned char b) {
    return b >= 0xF0 && b <= 0xF9;
}

void AppendGaiji(std::string& out, unsigned digit) {
    const unsigned t = digit % 188;
    out += static_cast<char>(0xF0 + digit / 188);
    out += static_cast<char>(t < 63 ? 0x40 + t : 0x80 + (t - 63));
}

// The digit of the user-defined character at s[i], or -1.
int GaijiDigit(std::string_view s, size_t i) {
    if (i + 1 >= s.size()) return -1;
    const auto lead = static_cast<unsigned char>(s[i]),
               trail = static_cast<unsigned char>(s[i + 1]);
    if (!IsGaijiLead(lead) || !IsTrailByte(trail) || trail == 0x7F) return -1;
    const int t = trail < 0x80 ? trail - 0x40 : trail - 0x80 + 63;
    return (lead - 0xF0) * 188 + t;
}

void AppendEscape(std::string& out, char32_t value) {
    AppendGaiji(out, 0); // the marker, F040
    AppendGaiji(out, static_cast<unsigned>(value / kGaijiDigits));
    AppendGaiji(out, static_cast<unsigned>(value % kGaijiDigits));
}

// Length of the well-formed UTF-8 sequence at s[i] (its code point in cp), or 0.
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp) {
    const Utf8Char c =
        cp932::DecodeUtf8(reinterpret_cast<const unsigned char*>(s.data()) + i, s.size() - i);
    if (c.code == kIllFormed) return 0;
    cp = c.code;
    return c.length;
}

bool HasGaiji(std::string_view sjis) {
    for (size_t i = 0; i < sjis.size(); ++i) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        if (IsGaijiLead(b)) return true;
        if (IsLeadByte(b)) ++i;
    }
    return false;
}

// The Shift-JIS form of one character that comes back as the same character, or nullopt.
std::optional<std::string> ExactForm(std::string_view utf8) {
    auto s = TryFromUtf8(utf8);
    if (!s || s->empty() || HasGaiji(*s) || ToUtf8(*s) != utf8) return std::nullopt;
    return s;
}

} // namespace

std::string PathFromNative(std::string_view native) {
    if (auto whole = TryFromUtf8(native); whole && !HasGaiji(*whole) && ToUtf8(*whole) == native)
        return *whole;
    std::string out;
    for (size_t i = 0; i < native.size();) {
        char32_t cp = 0;
        const size_t n = DecodeUtf8(native, i, cp);
        if (n == 0) {
            AppendEscape(out, kRawByteBase + static_cast<unsigned char>(native[i]) - 0x80);
            ++i;
            continue;
        }
        if (auto form = ExactForm(native.substr(i, n)))
            out += *form;
        else
            AppendEscape(out, cp);
        i += n;
    }
    return out;
}

std::string PathToNative(std::string_view sjis) {
    if (!HasGaiji(sjis)) return ToUtf8(sjis);
    std::string out;
    size_t plain = 0; // start of the text not yet converted
    for (size_t i = 0; i < sjis.size();) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        if (GaijiDigit(sjis, i) == 0) {
            const int hi = GaijiDigit(sjis, i + 2), lo = GaijiDigit(sjis, i + 4);
            const char32_t v = hi < 0 || lo < 0 ? 0 : static_cast<char32_t>(hi) * kGaijiDigits + lo;
            // Only values an escape is made of; anything else stays text, and no escape can
            // make an ASCII byte such as "/" or NUL.
            const bool character = v >= 0x80 && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF);
            const bool rawByte = v >= kRawByteBase && v < kRawByteBase + 0x80;
            if (character || rawByte) {
                out += ToUtf8(sjis.substr(plain, i - plain));
                if (character)
                    AppendUtf8(out, v);
                else
                    out += static_cast<char>(0x80 + (v - kRawByteBase));
                i += 6;
                plain = i;
                continue;
            }
        }
        i += (IsLeadByte(b) && i + 1 < sjis.size()) ? 2 : 1;
    }
    out += ToUtf8(sjis.substr(plain));
    return out;
}

} // namespace cp932
