#include "textsearch.h"

#include "codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

// Two-byte upper-casing of a pattern, when case is folded: every two-byte lower-case letter the
// comparison folds (full-width a-z, Greek, Cyrillic, small Roman numerals in both of their code
// positions) is raised to its capital, so that a lower-case pattern finds both cases just as a
// single-byte one does. The text side folds exactly the same letters (CapitalOf), so a pattern
// always finds its own text. The second byte of a two-byte character is never folded as ASCII.

namespace textsearch {

namespace {

constexpr unsigned char kVoicedMark = 0xDE;       // ﾞ
constexpr unsigned char kSemiVoicedMark = 0xDF;   // ﾟ
constexpr std::uint16_t kFullWidthSpace = 0x8140; // 　

struct Tables {
    std::array<unsigned char, 256> upper{};
    std::array<std::uint16_t, 256> fullWidth{};
    std::array<bool, 256> delimiter{};

    Tables() {
        for (int b = 0; b < 256; ++b)
            upper[b] = static_cast<unsigned char>(b >= 'a' && b <= 'z' ? b - 0x20 : b);

        static constexpr std::uint16_t kPunct1[] = {// 0x20-0x2F
                                                    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193,
                                                    0x8195, 0x8166, 0x8169, 0x816A, 0x8196, 0x817B,
                                                    0x8143, 0x817C, 0x8144, 0x815E};
        static constexpr std::uint16_t kPunct2[] = {// 0x3A-0x40
                                                    0x8146, 0x8147, 0x8183, 0x8181,
                                                    0x8184, 0x8148, 0x8197};
        static constexpr std::uint16_t kPunct3[] = {// 0x5B-0x60
                                                    0x816D, 0x818F, 0x816E, 0x814F, 0x8151, 0x814D};
        static constexpr std::uint16_t kPunct4[] = {0x816F, 0x8162, 0x8170, 0x8150}; // 0x7B-0x7E
        // 0xA1-0xDF: ｡ to ﾟ.
        static constexpr std::uint16_t kKana[] = {0x8142, 0x8175, 0x8176, 0x8141, 0x8144, // ｡｢｣､･
                                                  0x8392, 0x8340, 0x8342, 0x8344, 0x8346,
                                                  0x8348, 0x8383, 0x8385, // ｦｧｨｩｪｫｬｭ
                                                  0x8387, 0x8362, 0x815B, // ｮｯｰ
                                                  0x8341, 0x8343, 0x8345, 0x8347, 0x8349, // ｱ-ｵ
                                                  0x834A, 0x834C, 0x834E, 0x8350, 0x8352, // ｶ-ｺ
                                                  0x8354, 0x8356, 0x8358, 0x835A, 0x835C, // ｻ-ｿ
                                                  0x835E, 0x8360, 0x8363, 0x8365, 0x8367, // ﾀ-ﾄ
                                                  0x8369, 0x836A, 0x836B, 0x836C, 0x836D, // ﾅ-ﾉ
                                                  0x836E, 0x8371, 0x8374, 0x8377, 0x837A, // ﾊ-ﾎ
                                                  0x837D, 0x837E, 0x8380, 0x8381, 0x8382, // ﾏ-ﾓ
                                                  0x8384, 0x8386, 0x8388, // ﾔﾕﾖ
                                                  0x8389, 0x838A, 0x838B, 0x838C, 0x838D, // ﾗ-ﾛ
                                                  0x838F, 0x8393,                         // ﾜﾝ
                                                  0x814A, 0x814B};                        // ﾞﾟ
        for (int i = 0; i < 16; ++i)
            fullWidth[0x20 + i] = kPunct1[i];
        for (int i = 0; i < 10; ++i)
            fullWidth[0x30 + i] = static_cast<std::uint16_t>(0x824F + i);
        for (int i = 0; i < 7; ++i)
            fullWidth[0x3A + i] = kPunct2[i];
        for (int i = 0; i < 26; ++i)
            fullWidth[0x41 + i] = static_cast<std::uint16_t>(0x8260 + i);
        for (int i = 0; i < 6; ++i)
            fullWidth[0x5B + i] = kPunct3[i];
        for (int i = 0; i < 26; ++i)
            fullWidth[0x61 + i] = static_cast<std::uint16_t>(0x8281 + i);
        for (int i = 0; i < 4; ++i)
            fullWidth[0x7B + i] = kPunct4[i];
        static_assert(sizeof(kKana) / sizeof(kKana[0]) == 0xDF - 0xA1 + 1);
        for (int i = 0; i <= 0xDF - 0xA1; ++i)
            fullWidth[0xA1 + i] = kKana[i];

        auto delimiters = [&](int lo, int hi) {
            for (int b = lo; b <= hi; ++b)
                delimiter[b] = true;
        };
        delimiters(0x00, 0x2F);
        delimiters(0x3A, 0x40);
        delimiters(0x5B, 0x60);
        delimiters(0x7B, 0x80);
        delimiters(0xA0, 0xA5);
        delimiters(0xFD, 0xFF);
    }
};

const Tables& T() {
    static const Tables tables;
    return tables;
}

// Which bytes of the buffer begin a character. A byte that is no lead byte always ends one, so
// the answer for a position needs only the run of lead-valued bytes before it; a map of the
// whole buffer is built only when such a run is very long. A lead byte in the last position
// has no second byte and is a character by itself.
class CharStarts {
  public:
    CharStarts(const unsigned char* b, std::int32_t size) : b_(b), size_(size) {}

    bool IsStart(std::int32_t pos) {
        if (pos <= 0 || pos >= size_) return true;
        if (!cp932::IsLeadByte(b_[pos - 1])) return true;
        if (!map_.empty()) return map_[pos] != 0;
        std::int32_t q = pos - 1;
        const std::int32_t limit = pos - 1 - kLocalRun;
        while (q >= 0 && cp932::IsLeadByte(b_[q])) {
            if (q == limit) {
                BuildMap();
                return map_[pos] != 0;
            }
            --q;
        }
        return ((pos - 1 - q) & 1) == 0;
    }
    bool IsTrail(std::int32_t pos) { return !IsStart(pos); }
    // At a character start: whether it is a two-byte character.
    bool IsDouble(std::int32_t pos) const { return pos + 1 < size_ && cp932::IsLeadByte(b_[pos]); }

  private:
    static constexpr std::int32_t kLocalRun = 256;
    void BuildMap() {
        map_.assign(static_cast<std::size_t>(size_) + 1, 1);
        for (std::int32_t i = 0; i < size_; ++i)
            if (cp932::IsLeadByte(b_[i]) && i + 1 < size_) map_[++i] = 0;
    }
    const unsigned char* b_;
    std::int32_t size_;
    std::vector<unsigned char> map_; // 1 at a character start
};

std::uint16_t Code(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

// The pattern prepared once per call.
struct Pattern {
    std::string bytes;
    std::int32_t chars = 0;
};

class Searcher {
  public:
    Searcher(std::string_view buffer, const Pattern& p, TSearchOptions options)
        : b_(reinterpret_cast<const unsigned char*>(buffer.data())),
          size_(static_cast<std::int32_t>(buffer.size())), starts_(b_, size_),
          p_(reinterpret_cast<const unsigned char*>(p.bytes.data())),
          m_(static_cast<std::int32_t>(p.bytes.size())), matchCase_(options & soMatchCase),
          zenkaku_(options & soNoMatchZenkaku), lineEnds_(options & soIgnoreLineEnds),
          spaces_(options & soIgnoreSpaces), wholeWord_(options & soWholeWord) {
        BuildFirstBytes();
    }

    CharStarts& Starts() { return starts_; }

    // Whether the character at `pos` (a character start) is a word character: a byte outside
    // the delimiter set, or a two-byte character other than the full-width space, which
    // separates words in Japanese text as a blank does.
    bool IsWordChar(std::int32_t pos) {
        if (starts_.IsDouble(pos)) return Code(b_ + pos) != kFullWidthSpace;
        return !T().delimiter[b_[pos]];
    }
    bool IsWordStart(std::int32_t pos) {
        if (pos >= size_ || !starts_.IsStart(pos) || !IsWordChar(pos)) return false;
        if (pos == 0) return true;
        // The character before: a single byte, or the two bytes ending at a trail byte.
        if (starts_.IsStart(pos - 1)) return T().delimiter[b_[pos - 1]];
        return Code(b_ + pos - 2) == kFullWidthSpace;
    }
    bool IsWordEnd(std::int32_t pos) { return pos >= size_ || !IsWordChar(pos); }

    // The length of the text that matches the pattern at `pos`, or -1.
    std::int32_t MatchAt(std::int32_t pos) const {
        std::int32_t i = 0, s = 0, j = 0;
        for (;;) {
            const std::int32_t t = pos + i + s;
            if (t >= size_) return -1;
            const unsigned char t0 = b_[t];
            const bool tDouble = t + 1 < size_ && cp932::IsLeadByte(t0);
            const unsigned char q0 = p_[j];
            const bool qDouble = j + 1 < m_ && cp932::IsLeadByte(q0);
            int used = 0; // text bytes taken by a match
            if (tDouble) {
                if (qDouble) {
                    if (q0 == t0 && p_[j + 1] == b_[t + 1])
                        used = 2;
                    else if (!matchCase_ && CapitalOf(Code(b_ + t)) == Code(p_ + j))
                        used = 2;
                }
            } else if (!zenkaku_) {
                if (!qDouble && q0 == (matchCase_ ? t0 : T().upper[t0])) used = 1;
            } else {
                std::uint16_t w = 0;
                int width = 1;
                if (t + 1 < size_ && KanaPair(t0, b_[t + 1], w))
                    width = 2;
                else
                    w = T().fullWidth[t0];
                if (w == 0) {
                    if (!qDouble && q0 == t0) used = 1;
                } else {
                    if (!matchCase_ && w >= 0x8281 && w <= 0x829A) w -= 0x21;
                    if (qDouble && Code(p_ + j) == w) used = width;
                }
            }
            if (used) {
                i += used;
                j += qDouble ? 2 : 1;
                if (j >= m_) return i + s;
                continue;
            }
            if (i == 0) return -1;
            if (lineEnds_ && (t0 == '\r' || t0 == '\n')) {
                s += 1;
            } else if (spaces_ && (t0 == '\t' || t0 == ' ')) {
                s += 1;
            } else if (spaces_ && tDouble && t0 == 0x81 && b_[t + 1] == 0x40) {
                s += 2;
            } else {
                return -1;
            }
        }
    }

    // Tries the candidate at `pos`; the match length or -1.
    // The first candidate at or after `from` (forward) or at or before it (backward) within
    // [lo, hi] whose first byte passes the filter; outside the range when there is none.
    std::int32_t NextForward(std::int32_t from, std::int32_t hi) const {
        if (from > hi) return hi + 1;
        if (onlyFirst_ >= 0) {
            const void* r =
                std::memchr(b_ + from, onlyFirst_, static_cast<std::size_t>(hi - from + 1));
            return r ? static_cast<std::int32_t>(static_cast<const unsigned char*>(r) - b_)
                     : hi + 1;
        }
        const unsigned char* p = b_ + from;
        const unsigned char* const end = b_ + hi + 1;
        while (p < end && !first_[*p])
            ++p;
        return static_cast<std::int32_t>(p - b_);
    }
    std::int32_t NextBackward(std::int32_t from, std::int32_t lo) const {
        if (from < lo) return lo - 1;
        if (onlyFirst_ >= 0) {
            const void* r = memrchr(b_ + lo, onlyFirst_, static_cast<std::size_t>(from - lo + 1));
            return r ? static_cast<std::int32_t>(static_cast<const unsigned char*>(r) - b_)
                     : lo - 1;
        }
        const unsigned char* p = b_ + from;
        const unsigned char* const begin = b_ + lo;
        while (p >= begin && !first_[*p])
            --p;
        return static_cast<std::int32_t>(p - b_);
    }

    std::int32_t Try(std::int32_t pos) {
        if (pos >= size_ || !first_[b_[pos]]) return -1;
        if (pos + 1 < size_ && cp932::IsLeadByte(b_[pos])) {
            // A two-byte first character must be one of the few the pattern's first equals.
            const std::uint16_t c = Code(b_ + pos);
            if (c != firstCodes_[0] && c != firstCodes_[1] && c != firstCodes_[2]) return -1;
        }
        if (!starts_.IsStart(pos)) return -1;
        if (wholeWord_ && !IsWordStart(pos)) return -1;
        const std::int32_t n = MatchAt(pos);
        if (n < 0 || (wholeWord_ && !IsWordEnd(pos + n))) return -1;
        return n;
    }

    const unsigned char* Bytes() const { return b_; }

  private:
    // Which text bytes may begin a match of the pattern's first character: a cheap filter in
    // front of the full comparison, computed by that comparison itself on one-character texts.
    void BuildFirstBytes() {
        const bool qDouble = m_ > 1 && cp932::IsLeadByte(p_[0]);
        const Pattern one{std::string(reinterpret_cast<const char*>(p_), qDouble ? 2 : 1), 1};
        for (int v = 0; v < 256; ++v) {
            const auto b = static_cast<unsigned char>(v);
            bool may = false;
            if (cp932::IsLeadByte(b)) {
                // A two-byte text character: the same lead, or a lower-case letter whose capital
                // has another lead (the small Roman numerals). A lone lead at the end of the
                // buffer is a single byte.
                may = (qDouble && (b == p_[0] ||
                                   (!matchCase_ && p_[0] == 0x87 && (b == 0xEE || b == 0xFA)))) ||
                      (!qDouble && b == p_[0]);
            } else {
                for (unsigned char next :
                     {static_cast<unsigned char>(0), kVoicedMark, kSemiVoicedMark}) {
                    const unsigned char text[2] = {b, next};
                    const Searcher probe(std::string_view(reinterpret_cast<const char*>(text), 2),
                                         one, Options(), NoFilter{});
                    if (probe.MatchAt(0) >= 0) may = true;
                }
            }
            first_[v] = may;
        }
        int count = 0;
        for (int v = 0; v < 256; ++v)
            if (first_[v]) {
                ++count;
                onlyFirst_ = v;
            }
        if (count != 1) onlyFirst_ = -1;
        // The two-byte text characters that equal a two-byte first pattern character: itself
        // and, with case folded, the lower-case letters whose capital it is.
        if (qDouble) {
            const std::uint16_t q = Code(p_);
            firstCodes_[0] = q;
            if (!matchCase_) {
                if (q >= 0x8260 && q <= 0x8279)
                    firstCodes_[1] = static_cast<std::uint16_t>(q + 0x21);
                if (q >= 0x839F && q <= 0x83B6)
                    firstCodes_[1] = static_cast<std::uint16_t>(q + 0x20);
                if (q >= 0x8440 && q <= 0x844E)
                    firstCodes_[1] = static_cast<std::uint16_t>(q + 0x30);
                if (q >= 0x844F && q <= 0x8460)
                    firstCodes_[1] = static_cast<std::uint16_t>(q + 0x31);
                if (q >= 0x8754 && q <= 0x875D) {
                    firstCodes_[1] = static_cast<std::uint16_t>(0xEEEF + (q - 0x8754));
                    firstCodes_[2] = static_cast<std::uint16_t>(0xFA40 + (q - 0x8754));
                }
            }
        }
    }
    // A searcher for the probe: no filter of its own.
    struct NoFilter {};
    Searcher(std::string_view buffer, const Pattern& p, TSearchOptions options, NoFilter)
        : b_(reinterpret_cast<const unsigned char*>(buffer.data())),
          size_(static_cast<std::int32_t>(buffer.size())), starts_(b_, size_),
          p_(reinterpret_cast<const unsigned char*>(p.bytes.data())),
          m_(static_cast<std::int32_t>(p.bytes.size())), matchCase_(options & soMatchCase),
          zenkaku_(options & soNoMatchZenkaku), lineEnds_(false), spaces_(false),
          wholeWord_(false) {}
    TSearchOptions Options() const {
        return static_cast<TSearchOptions>((matchCase_ ? soMatchCase : 0) |
                                           (zenkaku_ ? soNoMatchZenkaku : 0));
    }

    const unsigned char* b_;
    std::int32_t size_;
    CharStarts starts_;
    const unsigned char* p_;
    std::int32_t m_;
    bool matchCase_, zenkaku_, lineEnds_, spaces_, wholeWord_;
    std::array<bool, 256> first_{};
    int onlyFirst_ = -1; // the one byte that passes the filter, if there is only one
    std::uint16_t firstCodes_[3] = {0, 0, 0}; // 0: none (no two-byte code is 0)
};

Pattern Prepare(std::string_view pattern, TSearchOptions options) {
    Pattern p;
    p.bytes.assign(pattern.substr(0, pattern.find('\0')));
    if (!(options & soMatchCase)) {
        auto* s = reinterpret_cast<unsigned char*>(p.bytes.data());
        const std::size_t n = p.bytes.size();
        for (std::size_t k = 0; k < n; ++k) {
            if (cp932::IsLeadByte(s[k]) && k + 1 < n) {
                const std::uint16_t up = UpperCaseCode(Code(s + k));
                s[k] = static_cast<unsigned char>(up >> 8);
                s[k + 1] = static_cast<unsigned char>(up & 0xFF);
                ++k;
            } else {
                s[k] = UpperCaseByte(s[k]);
            }
        }
    }
    if (options & soNoMatchZenkaku) p.bytes = ToFullWidth(p.bytes);
    const auto* s = reinterpret_cast<const unsigned char*>(p.bytes.data());
    const std::size_t n = p.bytes.size();
    for (std::size_t k = 0; k < n; ++k, ++p.chars)
        if (cp932::IsLeadByte(s[k]) && k + 1 < n) ++k;
    return p;
}

} // namespace

unsigned char UpperCaseByte(unsigned char b) {
    return T().upper[b];
}

std::uint16_t CapitalOf(std::uint16_t c) {
    if (c >= 0x8281 && c <= 0x829A) return static_cast<std::uint16_t>(c - 0x21); // ａ-ｚ
    if (c >= 0x83BF && c <= 0x83D6) return static_cast<std::uint16_t>(c - 0x20); // α-ω
    if (c >= 0x8470 && c <= 0x847E) return static_cast<std::uint16_t>(c - 0x30); // а-н
    if (c >= 0x8480 && c <= 0x8491) return static_cast<std::uint16_t>(c - 0x31); // о-я
    if (c >= 0xEEEF && c <= 0xEEF8) return static_cast<std::uint16_t>(0x8754 + (c - 0xEEEF));
    if (c >= 0xFA40 && c <= 0xFA49) return static_cast<std::uint16_t>(0x8754 + (c - 0xFA40));
    return 0;
}

std::uint16_t UpperCaseCode(std::uint16_t code) {
    const std::uint16_t capital = CapitalOf(code);
    return capital ? capital : code;
}

std::uint16_t FullWidthOf(unsigned char b) {
    return T().fullWidth[b];
}

bool IsDelimiter(unsigned char b) {
    return T().delimiter[b];
}

bool KanaPair(unsigned char b, unsigned char mark, std::uint16_t& code) {
    const bool voiceable = (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE);
    if (mark == kVoicedMark) {
        if (b == 0xB3) { // ｳﾞ
            code = 0x8394;
            return true;
        }
        if (!voiceable) return false;
        code = static_cast<std::uint16_t>(T().fullWidth[b] + 1);
        return true;
    }
    if (mark == kSemiVoicedMark && b >= 0xCA && b <= 0xCE) {
        code = static_cast<std::uint16_t>(T().fullWidth[b] + 2);
        return true;
    }
    return false;
}

std::string ToFullWidth(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    auto put = [&](std::uint16_t c) {
        out.push_back(static_cast<char>(c >> 8));
        out.push_back(static_cast<char>(c & 0xFF));
    };
    for (std::size_t k = 0; k < s.size(); ++k) {
        const auto b = static_cast<unsigned char>(s[k]);
        std::uint16_t code = 0;
        if (cp932::IsLeadByte(b)) {
            out.push_back(s[k]);
            if (k + 1 < s.size()) out.push_back(s[++k]);
        } else if (k + 1 < s.size() && KanaPair(b, static_cast<unsigned char>(s[k + 1]), code)) {
            put(code);
            ++k;
        } else if (const std::uint16_t w = T().fullWidth[b]) {
            put(w);
        } else {
            out.push_back(s[k]);
        }
    }
    return out;
}

bool SameCharIgnoreCase(const char* pattern, const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    const auto* t = reinterpret_cast<const unsigned char*>(text);
    if (p[0] == t[0] && p[1] == t[1]) return true;
    const std::uint16_t capital = CapitalOf(Code(t));
    return capital != 0 && capital == Code(p);
}

bool SkipToWordStart(std::string_view buffer, std::int32_t& position, std::int32_t& remaining,
                     int direction) {
    Pattern none{" ", 1};
    Searcher s(buffer, none, soWholeWord);
    const std::int32_t size = static_cast<std::int32_t>(buffer.size());
    for (;;) {
        if (position >= 0 && position < size && s.IsWordStart(position)) return true;
        if (remaining <= 0) return false;
        position += direction < 0 ? -1 : 1;
        --remaining;
    }
}

bool FindInBuffer(std::string_view buffer, std::int32_t& selStart, std::int32_t& selLength,
                  std::string_view pattern, TSearchOptions options) {
    if (pattern.empty() || pattern[0] == '\0' || buffer.empty()) return false;
    if (buffer.size() > static_cast<std::size_t>(INT32_MAX - 2)) return false;
    const std::int32_t size = static_cast<std::int32_t>(buffer.size());
    const std::int64_t start0 = selStart, length0 = selLength;
    if (start0 < 0 || start0 > size || length0 < 0) return false;

    const Pattern p = Prepare(pattern, options);
    const std::int32_t m = static_cast<std::int32_t>(p.bytes.size());
    Searcher searcher(buffer, p, options);
    CharStarts& starts = searcher.Starts();
    const bool zenkaku = options & soNoMatchZenkaku;

    if (options & soDown) {
        std::int64_t start = start0 + length0;
        if (start > size) return false;
        if (starts.IsTrail(static_cast<std::int32_t>(start))) ++start;
        // A match takes at least a byte per pattern character (width option) or per byte.
        const std::int64_t last = size - (zenkaku ? p.chars : m);
        if (last < start) return false;
        const auto hi = static_cast<std::int32_t>(last);
        for (auto cur = static_cast<std::int32_t>(start); cur <= hi; ++cur) {
            cur = searcher.NextForward(cur, hi);
            if (cur > hi) break;
            const std::int32_t n = searcher.Try(cur);
            if (n >= 0) {
                selStart = cur;
                selLength = n;
                return true;
            }
        }
        return false;
    }

    std::int64_t start;
    if (!zenkaku) {
        start = start0 - m;
    } else {
        // Back over as many characters as the pattern has, a kana with its sound mark being one.
        const unsigned char* b = searcher.Bytes();
        std::int64_t pos = start0;
        for (std::int32_t k = 0; k < p.chars; ++k) {
            --pos;
            if (pos <= 0) continue;
            const auto at = static_cast<std::int32_t>(pos);
            std::uint16_t code;
            if (starts.IsTrail(at) || (starts.IsStart(at - 1) && KanaPair(b[at - 1], b[at], code)))
                --pos;
        }
        start = pos;
    }
    if (start >= 0 && starts.IsTrail(static_cast<std::int32_t>(start))) --start;
    if (start < 0 || start > size) return false;
    start = std::min<std::int64_t>(start, size - 1);
    for (auto cur = static_cast<std::int32_t>(start); cur >= 0; --cur) {
        cur = searcher.NextBackward(cur, 0);
        if (cur < 0) break;
        const std::int32_t n = searcher.Try(cur);
        if (n >= 0) {
            selStart = cur;
            selLength = n;
            return true;
        }
    }
    return false;
}

} // namespace textsearch
