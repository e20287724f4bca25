#include "codec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

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

int Utf16UnitWidth(char16_t unit) {
    if (unit < 0x80) return 1;
    if (unit >= 0xD800 && unit <= 0xDBFF) return 1;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return 0;
    // Every other code unit is converted once, with one descriptor, into a table of widths.
    static const std::string table = [] {
        std::string t(0x10000, '\1');
        Converter cv("CP932", "UTF-16LE");
        for (unsigned u = 0x80; u < 0x10000; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF) continue;
            const char in16[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
            const char* in = in16;
            size_t left = 2;
            std::string out;
            if (cv.Run(in, left, out) == 0 && out.size() == 2) t[u] = '\2';
        }
        return t;
    }();
    return table[unit];
}

std::string PathFromNative(std::string_view native) {
    return FromUtf8Lossy(native);
}
std::string PathToNative(std::string_view sjis) {
    return ToUtf8(sjis);
}

} // namespace cp932
