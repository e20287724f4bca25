// The vector kernels of the fast search: where the starts of attempts, a literal's pairs of
// bytes and line feeds lie, 32 bytes at a time with AVX2 or 16 with SSE2.
#include "fast_search.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace engine {

std::atomic<int> gVectorLevelLimit{2};

namespace fastgrep {

#if defined(__x86_64__)
namespace {

int BestVectorLevel() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? 2 : 1;
}

// The block where a spelling starts (`mask` has a bit for every position of it where one
// does), or where the loop stopped (`mask` 0).
__attribute__((target("avx2"))) std::size_t FindStartMaskAvx2(const TStartSpellings& s,
                                                              const unsigned char* d,
                                                              std::size_t from, std::size_t end,
                                                              std::uint32_t& mask) {
    __m256i p0[kMaxStartSpellings], p1[kMaxStartSpellings], one[kMaxStartSpellings];
    const std::size_t np = s.pairs.size(), ns = s.singles.size();
    for (std::size_t k = 0; k < np; ++k) {
        p0[k] = _mm256_set1_epi8(static_cast<char>(s.pairs[k][0]));
        p1[k] = _mm256_set1_epi8(static_cast<char>(s.pairs[k][1]));
    }
    for (std::size_t k = 0; k < ns; ++k)
        one[k] = _mm256_set1_epi8(static_cast<char>(s.singles[k]));
    std::size_t i = from;
    for (; i + 32 <= end; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + 1));
        __m256i m = _mm256_setzero_si256();
        for (std::size_t k = 0; k < np; ++k)
            m = _mm256_or_si256(
                m, _mm256_and_si256(_mm256_cmpeq_epi8(a, p0[k]), _mm256_cmpeq_epi8(b, p1[k])));
        for (std::size_t k = 0; k < ns; ++k)
            m = _mm256_or_si256(m, _mm256_cmpeq_epi8(a, one[k]));
        mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(m));
        if (mask) return i;
    }
    mask = 0;
    return i;
}

std::size_t FindStartMaskSse2(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                              std::size_t end, std::uint32_t& mask) {
    __m128i p0[kMaxStartSpellings], p1[kMaxStartSpellings], one[kMaxStartSpellings];
    const std::size_t np = s.pairs.size(), ns = s.singles.size();
    for (std::size_t k = 0; k < np; ++k) {
        p0[k] = _mm_set1_epi8(static_cast<char>(s.pairs[k][0]));
        p1[k] = _mm_set1_epi8(static_cast<char>(s.pairs[k][1]));
    }
    for (std::size_t k = 0; k < ns; ++k)
        one[k] = _mm_set1_epi8(static_cast<char>(s.singles[k]));
    std::size_t i = from;
    for (; i + 16 <= end; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 1));
        __m128i m = _mm_setzero_si128();
        for (std::size_t k = 0; k < np; ++k)
            m = _mm_or_si128(m, _mm_and_si128(_mm_cmpeq_epi8(a, p0[k]), _mm_cmpeq_epi8(b, p1[k])));
        for (std::size_t k = 0; k < ns; ++k)
            m = _mm_or_si128(m, _mm_cmpeq_epi8(a, one[k]));
        mask = static_cast<std::uint32_t>(_mm_movemask_epi8(m));
        if (mask) return i;
    }
    mask = 0;
    return i;
}

__attribute__((target("avx2"))) std::size_t
FindStartAvx2(const TStartSpellings& s, const unsigned char* d, std::size_t from, std::size_t end) {
    std::uint32_t mask = 0;
    const std::size_t i = FindStartMaskAvx2(s, d, from, end, mask);
    return mask ? i + static_cast<std::size_t>(__builtin_ctz(mask)) : i;
}

std::size_t FindStartSse2(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                          std::size_t end) {
    std::uint32_t mask = 0;
    const std::size_t i = FindStartMaskSse2(s, d, from, end, mask);
    return mask ? i + static_cast<std::size_t>(__builtin_ctz(mask)) : i;
}

// The first position in [from, end) where the pair k[0] k[1] starts and the pair k[2] k[3]
// starts `gap` bytes later, or where the vector loop stopped (the last few positions are left
// to the caller). Reads nothing at or past `end`.
__attribute__((target("avx2"))) std::size_t FindTwoPairsAvx2(const unsigned char* d,
                                                             std::size_t from, std::size_t end,
                                                             const unsigned char* k,
                                                             std::size_t gap) {
    const __m256i a0 = _mm256_set1_epi8(static_cast<char>(k[0])),
                  a1 = _mm256_set1_epi8(static_cast<char>(k[1])),
                  b0 = _mm256_set1_epi8(static_cast<char>(k[2])),
                  b1 = _mm256_set1_epi8(static_cast<char>(k[3]));
    std::size_t i = from;
    for (; i + gap + 33 <= end; i += 32) {
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + 1));
        const __m256i y0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + gap));
        const __m256i y1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + gap + 1));
        const __m256i m = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(x0, a0), _mm256_cmpeq_epi8(x1, a1)),
            _mm256_and_si256(_mm256_cmpeq_epi8(y0, b0), _mm256_cmpeq_epi8(y1, b1)));
        const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(m));
        if (mask) return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return i;
}

std::size_t FindTwoPairsSse2(const unsigned char* d, std::size_t from, std::size_t end,
                             const unsigned char* k, std::size_t gap) {
    const __m128i a0 = _mm_set1_epi8(static_cast<char>(k[0])),
                  a1 = _mm_set1_epi8(static_cast<char>(k[1])),
                  b0 = _mm_set1_epi8(static_cast<char>(k[2])),
                  b1 = _mm_set1_epi8(static_cast<char>(k[3]));
    std::size_t i = from;
    for (; i + gap + 17 <= end; i += 16) {
        const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 1));
        const __m128i y0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + gap));
        const __m128i y1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + gap + 1));
        const __m128i m =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(x0, a0), _mm_cmpeq_epi8(x1, a1)),
                          _mm_and_si128(_mm_cmpeq_epi8(y0, b0), _mm_cmpeq_epi8(y1, b1)));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask) return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return i;
}

// Line feeds in [from, to): 32 bytes at a time, summed in byte counters.
__attribute__((target("avx2"))) std::size_t CountLineFeedsAvx2(const unsigned char* from,
                                                               const unsigned char* to) {
    std::size_t total = 0;
    const __m256i lf = _mm256_set1_epi8('\n');
    while (to - from >= 32) {
        __m256i acc = _mm256_setzero_si256();
        // (At most 255 rounds before the byte counters are summed.)
        for (int round = 0; round < 255 && to - from >= 32; ++round, from += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
            acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(v, lf));
        }
        const __m256i sums = _mm256_sad_epu8(acc, _mm256_setzero_si256());
        total +=
            static_cast<std::size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                                     _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
    }
    return total + static_cast<std::size_t>(std::count(from, to, '\n'));
}

} // namespace

const int kBestVectorLevel = BestVectorLevel();

std::size_t FindStartVector(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                            std::size_t end) {
    return VectorLevel() >= 2 ? FindStartAvx2(s, d, from, end) : FindStartSse2(s, d, from, end);
}

std::size_t FindStartMask(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                          std::size_t end, std::uint32_t& mask) {
    return VectorLevel() >= 2 ? FindStartMaskAvx2(s, d, from, end, mask)
                              : FindStartMaskSse2(s, d, from, end, mask);
}

std::size_t FindTwoPairs(const unsigned char* d, std::size_t from, std::size_t end,
                         const unsigned char* k, std::size_t gap) {
    return VectorLevel() >= 2 ? FindTwoPairsAvx2(d, from, end, k, gap)
                              : FindTwoPairsSse2(d, from, end, k, gap);
}

std::size_t CountLineFeeds(const unsigned char* from, const unsigned char* to) {
    return VectorLevel() >= 2 ? CountLineFeedsAvx2(from, to)
                              : static_cast<std::size_t>(std::count(from, to, '\n'));
}
#else
std::size_t FindStartVector(const TStartSpellings&, const unsigned char*, std::size_t from,
                            std::size_t) {
    return from;
}
std::size_t FindStartMask(const TStartSpellings&, const unsigned char*, std::size_t from,
                          std::size_t, std::uint32_t& mask) {
    mask = 0;
    return from;
}
std::size_t FindTwoPairs(const unsigned char*, std::size_t from, std::size_t, const unsigned char*,
                         std::size_t) {
    return from;
}
std::size_t CountLineFeeds(const unsigned char* from, const unsigned char* to) {
    return static_cast<std::size_t>(std::count(from, to, '\n'));
}
#endif

} // namespace fastgrep
} // namespace engine
