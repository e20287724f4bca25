#include "scanner.h"

#include "codec.h"
#include "errors.h"

namespace engine {
namespace {

constexpr const char* kNeedRBra = "右ブラケット\"]\"が必要です";

int HexDigit(TCharCode c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

void TREScanner::Fail(const char* utf8Message) const {
    throw ERegExpParser(cp932::FromUtf8(utf8Message), position_);
}

void TREScanner::SetSource(const std::string& pattern) {
    pattern_ = pattern;
    position_ = 1;
    inClass_ = false;
}

TREToken TREScanner::GetToken() {
    if (inClass_) {
        token_ = GetTokenInClass();
        if (token_ == retRBra) inClass_ = false;
    } else {
        token_ = GetTokenStd();
        if (token_ == retLBra || token_ == retNegLBra) inClass_ = true;
    }
    return token_;
}

TREToken TREScanner::GetTokenStd() {
    const TCharCode c = GetChar(pattern_, position_);
    symbol_ = c;
    switch (c) {
    case kEndOfPattern:
        return retEnd;
    case '$':
        return retLTail;
    case '(':
        return retLPar;
    case ')':
        return retRPar;
    case '*':
        return retStar;
    case '+':
        return retPlus;
    case '?':
        return retQMark;
    case '.':
        return retDot;
    case '|':
        return retUnion;
    case ']':
        return retRBra;
    case '[': {
        const TCharCode next = GetChar(pattern_, position_);
        if (next == kEndOfPattern) Fail(kNeedRBra);
        if (next == '^') return retNegLBra;
        UngetChar(pattern_, position_);
        return retLBra;
    }
    case '\\':
        symbol_ = ParseEscape();
        return retChar;
    case '^':
        return retLHead;
    default:
        return retChar;
    }
}

TREToken TREScanner::GetTokenInClass() {
    TCharCode f = GetChar(pattern_, position_);
    if (f == kEndOfPattern) Fail(kNeedRBra);
    symbol_ = f;
    if (f == ']') return retRBra;
    if (f == '\\') f = ParseEscape();
    const TCharCode g = GetChar(pattern_, position_);
    if (g == '-') {
        TCharCode u = GetChar(pattern_, position_);
        if (u == kEndOfPattern) Fail(kNeedRBra);
        if (u == ']') {
            // A dash just before the closing bracket is an ordinary member.
            UngetChar(pattern_, position_);
            UngetChar(pattern_, position_);
            symbol_ = f;
            return retChar;
        }
        if (u == '\\') u = ParseEscape();
        if (u < f) Fail("不正なキャラクタ範囲です");
        symbol_ = f;
        highSymbol_ = u;
        return retCharRange;
    }
    if (g == kEndOfPattern) Fail(kNeedRBra);
    UngetChar(pattern_, position_);
    symbol_ = f;
    return retChar;
}

TCharCode TREScanner::ParseEscape() {
    const TCharCode c = GetChar(pattern_, position_);
    switch (c) {
    case kEndOfPattern:
        Fail("\"\\\"の次には文字が必要です。");
    case 'b':
        return 8;
    case 'r':
        return 13;
    case 'n':
        return 10;
    case 't':
        return 9;
    case 'x':
        return ParseHex();
    default:
        if (c >= '0' && c <= '7') {
            UngetChar(pattern_, position_);
            return ParseOctal();
        }
        return c;
    }
}

TCharCode TREScanner::ParseHex() {
    // At most four digits; the character after the last digit read is stepped back over.
    unsigned value = 0;
    int digits = 0;
    TCharCode c = GetChar(pattern_, position_);
    while (HexDigit(c) >= 0 && digits < 4) {
        value = value * 16 + static_cast<unsigned>(HexDigit(c));
        ++digits;
        c = GetChar(pattern_, position_);
    }
    if (digits == 0) Fail("不正な１６進数コード表記です。");
    if (c != kEndOfPattern) UngetChar(pattern_, position_);
    return static_cast<TCharCode>(value);
}

TCharCode TREScanner::ParseOctal() {
    // At most six digits, and never a value above 0xFFFF.
    unsigned value = 0;
    int digits = 0;
    TCharCode c = GetChar(pattern_, position_);
    while (c >= '0' && c <= '7' && digits < 6) {
        const unsigned next = value * 8 + (c - '0');
        if (next > 0xFFFF) Fail("不正な８進数コード表記です。");
        value = next;
        ++digits;
        c = GetChar(pattern_, position_);
    }
    if (c != kEndOfPattern) UngetChar(pattern_, position_);
    return static_cast<TCharCode>(value);
}

} // namespace engine
