#include "charcode.h"

#include "codec.h"
#include "errors.h"

namespace engine {

TCharCode GetChar(const std::string& pattern, int& position) {
    if (position < 1 || position > static_cast<int>(pattern.size())) return kEndOfPattern;
    const auto b = static_cast<unsigned char>(pattern[position - 1]);
    if (IsDBCSLeadByte(b)) {
        if (position == static_cast<int>(pattern.size()))
            throw ERegExpParser(cp932::FromUtf8("不正な２バイト文字コードです。"), position);
        const auto low = static_cast<unsigned char>(pattern[position]);
        position += 2;
        return static_cast<TCharCode>(b << 8 | low);
    }
    position += 1;
    return b;
}

void UngetChar(const std::string& pattern, int& position) {
    if (position <= 1) return;
    if (position == 2) {
        position = 1;
        return;
    }
    // The byte just before `position` is a second byte when an odd run of lead-byte values
    // precedes it; the first byte of the pattern is a character boundary.
    int run = 0;
    for (int p = position - 2; p >= 2; --p) {
        if (!IsDBCSLeadByte(static_cast<unsigned char>(pattern[p - 1]))) break;
        ++run;
    }
    position -= (run % 2 == 1) ? 2 : 1;
}

std::string CodeToStr(TCharCode code) {
    const auto high = static_cast<unsigned char>(code >> 8);
    const auto low = static_cast<char>(code & 0xFF);
    if (IsDBCSLeadByte(high)) return std::string{static_cast<char>(high), low};
    return std::string(1, low);
}

std::string QuoteMeta(const std::string& s) {
    std::string out;
    int pos = 1;
    for (;;) {
        const TCharCode c = GetChar(s, pos);
        if (c == kEndOfPattern) break;
        switch (c) {
        case '^':
        case '(':
        case '|':
        case ')':
        case '+':
        case '*':
        case '?':
        case '.':
        case '[':
        case ']':
        case '$':
        case '\\':
            out += '\\';
            break;
        default:
            break;
        }
        out += CodeToStr(c);
    }
    return out;
}

std::vector<TCharCode> StrToCodes(const std::string& s) {
    std::vector<TCharCode> codes;
    codes.reserve(s.size() + 1);
    int pos = 1;
    for (TCharCode c; (c = GetChar(s, pos)) != kEndOfPattern;)
        codes.push_back(c);
    codes.push_back(kEndOfPattern);
    return codes;
}

} // namespace engine
