#include "reference_search.h"

#include <vector>

namespace textsearch_reference {

using namespace textsearch;

namespace {

bool Lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// A character reduced to what the comparison sees: a single byte as itself, a two-byte
// character (or a full-width form) as 0x10000 + its code.
struct Unit {
    int key;
    int bytes;
};

} // namespace

bool Find(std::string_view buffer, std::int32_t& start, std::int32_t& length,
          std::string_view pattern, TSearchOptions options) {
    const std::string_view pat = pattern.substr(0, pattern.find('\0'));
    if (pat.empty() || buffer.empty()) return false;
    const bool matchCase = options & soMatchCase, zen = options & soNoMatchZenkaku,
               ww = options & soWholeWord, crlf = options & soIgnoreLineEnds,
               blanks = options & soIgnoreSpaces;
    const long L = static_cast<long>(buffer.size());
    const long S = start, N = length;
    if (S < 0 || S > L || N < 0) return false;
    auto b = [&](long i) { return static_cast<unsigned char>(buffer[static_cast<size_t>(i)]); };

    // The pattern as units.
    std::string p(pat);
    std::vector<Unit> q;
    for (size_t k = 0; k < p.size(); ++k) {
        const auto c = static_cast<unsigned char>(p[k]);
        if (Lead(c) && k + 1 < p.size()) {
            int code = c << 8 | static_cast<unsigned char>(p[k + 1]);
            if (!matchCase) code = UpperCaseCode(static_cast<std::uint16_t>(code));
            p[k] = static_cast<char>(code >> 8);
            p[k + 1] = static_cast<char>(code & 0xFF);
            ++k;
        } else if (!matchCase && c >= 'a' && c <= 'z') {
            p[k] = static_cast<char>(c - 32);
        }
    }
    if (zen) p = ToFullWidth(p);
    for (size_t k = 0; k < p.size(); ++k) {
        const auto c = static_cast<unsigned char>(p[k]);
        if (Lead(c) && k + 1 < p.size()) {
            q.push_back({0x10000 + (c << 8 | static_cast<unsigned char>(p[k + 1])), 2});
            ++k;
        } else {
            q.push_back({c, 1});
        }
    }
    const long M = static_cast<long>(p.size()), K = static_cast<long>(q.size());

    // 1 at a trail byte.
    std::vector<char> trail(static_cast<size_t>(L) + 1, 0);
    for (long i = 0; i < L; ++i)
        if (Lead(b(i)) && i + 1 < L) trail[static_cast<size_t>(++i)] = 1;
    auto isTrail = [&](long i) { return trail[static_cast<size_t>(i)] != 0; };
    auto doubleAt = [&](long i) { return Lead(b(i)) && i + 1 < L; };

    auto textUnit = [&](long t) -> Unit {
        if (doubleAt(t)) {
            int code = b(t) << 8 | b(t + 1);
            if (!matchCase && CapitalOf(static_cast<std::uint16_t>(code)))
                code = CapitalOf(static_cast<std::uint16_t>(code));
            return {0x10000 + code, 2};
        }
        if (!zen) return {matchCase ? b(t) : UpperCaseByte(b(t)), 1};
        std::uint16_t w = 0;
        int bytes = 1;
        if (t + 1 < L && KanaPair(b(t), b(t + 1), w))
            bytes = 2;
        else
            w = FullWidthOf(b(t));
        if (w == 0) return {b(t), 1};
        if (!matchCase && w >= 0x8281 && w <= 0x829A) w -= 0x21;
        return {0x10000 + w, bytes};
    };
    auto matchAt = [&](long pos) -> long {
        long t = pos, matched = 0;
        for (size_t j = 0; j < q.size();) {
            if (t >= L) return -1;
            const Unit u = textUnit(t);
            if (u.key == q[j].key) {
                t += u.bytes;
                ++j;
                ++matched;
                continue;
            }
            if (matched == 0) return -1;
            if (crlf && (b(t) == 13 || b(t) == 10))
                t += 1;
            else if (blanks && (b(t) == 9 || b(t) == 32))
                t += 1;
            else if (blanks && doubleAt(t) && b(t) == 0x81 && b(t + 1) == 0x40)
                t += 2;
            else
                return -1;
        }
        return t - pos;
    };
    // Words are separated by delimiter bytes and by the full-width space.
    auto fullWidthSpace = [&](long i) { return b(i) == 0x81 && b(i + 1) == 0x40; };
    auto wordChar = [&](long i) { return doubleAt(i) ? !fullWidthSpace(i) : !IsDelimiter(b(i)); };
    auto wordStart = [&](long i) {
        if (!wordChar(i)) return false;
        if (i == 0) return true;
        return isTrail(i - 1) ? fullWidthSpace(i - 2) : IsDelimiter(b(i - 1));
    };
    auto tryAt = [&](long cur) -> bool {
        if (cur >= L || isTrail(cur)) return false;
        if (ww && !wordStart(cur)) return false;
        const long n = matchAt(cur);
        if (n < 0) return false;
        if (ww && cur + n < L && wordChar(cur + n)) return false;
        start = static_cast<std::int32_t>(cur);
        length = static_cast<std::int32_t>(n);
        return true;
    };

    if (options & soDown) {
        long from = S + N;
        if (from > L) return false;
        if (isTrail(from)) ++from;
        for (long cur = from; cur <= L - (zen ? K : M); ++cur)
            if (tryAt(cur)) return true;
        return false;
    }
    long from = S - M;
    if (zen) {
        from = S;
        for (long k = 0; k < K; ++k) {
            --from;
            std::uint16_t w;
            if (from > 0 &&
                (isTrail(from) || (!isTrail(from - 1) && KanaPair(b(from - 1), b(from), w))))
                --from;
        }
    }
    if (from >= 0 && isTrail(from)) --from;
    if (from < 0 || from > L) return false;
    for (long cur = from; cur >= 0; --cur)
        if (tryAt(cur)) return true;
    return false;
}

} // namespace textsearch_reference
