#include "fast_grep.h"

#include "codec.h"
#include "errors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace engine {

std::atomic<int> gVectorLevelLimit{2};

namespace {

bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

const TRE_DFAState* Next(const TRE_DFAState* s, TCharCode code) {
    if (code >= 256) return TRE_DFA::NextState(s, code);
    const std::array<const TRE_DFAState*, 256>* bytes =
        s->ByteTable.load(std::memory_order_acquire);
    if (!bytes) {
        auto table = std::make_unique<std::array<const TRE_DFAState*, 256>>();
        for (unsigned c = 0; c < 256; ++c)
            (*table)[c] = TRE_DFA::NextState(s, static_cast<TCharCode>(c));
        // Another thread may have been quicker: its table (the same) is kept then.
        const std::array<const TRE_DFAState*, 256>* expected = nullptr;
        if (s->ByteTable.compare_exchange_strong(expected, table.get(), std::memory_order_acq_rel))
            bytes = table.release();
        else
            bytes = expected;
    }
    return (*bytes)[code];
}

// A code that the reader yields from the same bytes on either of its cursors, so that a match
// of it is always a match of its bytes.
bool PlainCode(TCharCode c) {
    if (c <= 0xFF)
        return c != 0 && c != '\n' && c != '\r' && !IsLead(static_cast<unsigned char>(c));
    const unsigned lo = c & 0xFF;
    return IsLead(static_cast<unsigned char>(c >> 8)) && lo != 0 && lo != '\n' && lo != '\r';
}

// Whether every attempt ends at a line feed, and the codes every match reads: a code is read by
// every match when no accepting state can be reached without a transition on it alone.
void StudyAutomaton(const TRE_DFA& dfa) {
    bool initialIsTarget = false;
    for (const auto& state : dfa.StateList)
        for (const TRE_DFATransition& t : state->Transitions)
            if (t.Target == dfa.InitialState) initialIsTarget = true;
    bool endsAtLF = true;
    std::vector<TCharCode> singles;
    for (const auto& state : dfa.StateList)
        for (const TRE_DFATransition& t : state->Transitions) {
            // (The initial state's steps are start characters, which belong to the line after
            // a line feed.)
            if (t.Lo <= '\n' && '\n' <= t.Hi &&
                (state.get() != dfa.InitialState || initialIsTarget) && !t.Target->Accepting &&
                !t.Target->Transitions.empty())
                endsAtLF = false;
            if (t.Lo == t.Hi && PlainCode(t.Lo)) singles.push_back(t.Lo);
        }
    dfa.SearchEndsAtLineFeed = endsAtLF;
    if (!endsAtLF) return;
    std::sort(singles.begin(), singles.end());
    singles.erase(std::unique(singles.begin(), singles.end()), singles.end());
    // Double-byte codes (kanji above all) first: they are the rarer in Japanese text.
    std::reverse(singles.begin(), singles.end());
    if (singles.size() > 16) singles.resize(16);
    std::unordered_map<const TRE_DFAState*, bool> seen;
    for (TCharCode c : singles) {
        seen.clear();
        std::vector<const TRE_DFAState*> todo = {dfa.InitialState};
        seen[dfa.InitialState] = true;
        bool accepts = false;
        while (!todo.empty() && !accepts) {
            const TRE_DFAState* s = todo.back();
            todo.pop_back();
            for (const TRE_DFATransition& t : s->Transitions) {
                if (t.Lo == c && t.Hi == c) continue;
                if (t.Target->Accepting) {
                    accepts = true;
                    break;
                }
                if (!seen[t.Target]) {
                    seen[t.Target] = true;
                    todo.push_back(t.Target);
                }
            }
        }
        if (!accepts) dfa.SearchRequiredCodes.push_back(c);
    }
}

// The byte pairs and single bytes that spell every possible start of an attempt, when they are
// few: a byte pair (a double-byte character, or a lead byte before a line end) or a byte alone.
struct TStartSpellings {
    bool usable = false;
    std::vector<std::array<unsigned char, 2>> pairs;
    std::vector<unsigned char> singles;
};
constexpr std::size_t kMaxStartSpellings = 16;

#if defined(__x86_64__)
constexpr bool kVectorStarts = true;

// The vector instructions in use: the machine's best, or fewer for a test.
// (Worked out once at start: it is asked at every candidate.)
int BestVectorLevel() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? 2 : 1;
}
const int kBestVectorLevel = BestVectorLevel();
inline int VectorLevel() {
    return std::min(kBestVectorLevel, gVectorLevelLimit.load(std::memory_order_relaxed));
}
// The first position in [from, end) where a spelling starts, or where the vector loop stopped
// (the last few bytes are left to the caller). d[end] must be readable.
__attribute__((target("avx2"))) std::size_t FindStartMaskAvx2(const TStartSpellings& s,
                                                              const unsigned char* d,
                                                              std::size_t from, std::size_t end,
                                                              std::uint32_t& mask);
__attribute__((target("avx2"))) std::size_t
FindStartAvx2(const TStartSpellings& s, const unsigned char* d, std::size_t from, std::size_t end) {
    std::uint32_t mask = 0;
    const std::size_t i = FindStartMaskAvx2(s, d, from, end, mask);
    return mask ? i + static_cast<std::size_t>(__builtin_ctz(mask)) : i;
}

std::size_t FindStartMaskSse2(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                              std::size_t end, std::uint32_t& mask);
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

std::size_t FindTwoPairs(const unsigned char* d, std::size_t from, std::size_t end,
                         const unsigned char* k, std::size_t gap) {
    return VectorLevel() >= 2 ? FindTwoPairsAvx2(d, from, end, k, gap)
                              : FindTwoPairsSse2(d, from, end, k, gap);
}

// As FindStart*, but returns the whole block's matches: the block where one starts (`mask`
// has a bit for every position of it where one does), or where the loop stopped (`mask` 0).
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

std::size_t FindStartMask(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                          std::size_t end, std::uint32_t& mask) {
    return VectorLevel() >= 2 ? FindStartMaskAvx2(s, d, from, end, mask)
                              : FindStartMaskSse2(s, d, from, end, mask);
}

std::size_t FindStartVector(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                            std::size_t end) {
    return VectorLevel() >= 2 ? FindStartAvx2(s, d, from, end) : FindStartSse2(s, d, from, end);
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

std::size_t CountLineFeeds(const unsigned char* from, const unsigned char* to) {
    return VectorLevel() >= 2 ? CountLineFeedsAvx2(from, to)
                              : static_cast<std::size_t>(std::count(from, to, '\n'));
}
#else
constexpr bool kVectorStarts = false;
int VectorLevel() {
    return 0;
}
std::size_t CountLineFeeds(const unsigned char* from, const unsigned char* to) {
    return static_cast<std::size_t>(std::count(from, to, '\n'));
}
std::size_t FindStartVector(const TStartSpellings&, const unsigned char*, std::size_t from,
                            std::size_t) {
    return from;
}
std::size_t FindTwoPairs(const unsigned char*, std::size_t from, std::size_t, const unsigned char*,
                         std::size_t) {
    return from;
}
#endif

// A set of strings that every match holds one of (see ChooseRequired), with where one of them
// occurs next. A line that lacks every string of a set holds no match.
struct Required {
    std::vector<std::string> strings;
    // One string: its byte that memchr looks for, at `rare`, or the pair of its bytes at
    // `rare` looked for with vectors (`pair`).
    std::size_t rare = 0;
    TStartSpellings pair;
    // Several: how their first bytes are spelled (looked for with vectors when usable),
    // and which bytes start one.
    TStartSpellings firsts;
    std::array<bool, 256> first{};
    std::size_t at = 0;
    bool atValid = false;
};

} // namespace

// See TFastBuffer.
struct TSearchMemo {
    std::uint64_t dfaSerial = 0;
    // The sets of strings a small file chose to look for (see ChooseRequired).
    bool chosen = false;
    std::vector<Required> required;
    // The one-pass walk's sets of states and the steps between them (see Walk).
    std::vector<std::vector<const TRE_DFAState*>> sets; // set 0 is the empty one
    std::unordered_map<std::string, int> setIndex;
    std::vector<std::uint32_t> steps; // set * classes + class -> packed step, kUnknown
};

namespace {

class Search {
  public:
    Search(const TRE_DFA& dfa, TSearchMemo& memo, const bool& cancel,
           const std::function<void()>& pump, const std::function<void(RE_LineInfo_t&)>& report)
        : dfa_(dfa), cancel_(cancel), pump_(pump), report_(report), memo_(memo), sets_(memo.sets),
          setIndex_(memo.setIndex), steps_(memo.steps) {}

    // Sets up the candidate search; false when nothing can match.
    bool Prepare();
    // Searches `size` bytes at `base` in the file: the whole data, or a piece of whole lines
    // (ending with a LF) when the pattern is a plain literal, which never reads past a line.
    void Scan(const unsigned char* data, std::size_t size, std::size_t base);
    // Runs the events still due for a file of `fileSize` bytes.
    void Finish(std::size_t fileSize) {
        base_ = 0;
        Tick(fileSize - 1);
    }
    // Whether the file can be searched a piece of whole lines at a time: no attempt reads past
    // the line break that ends its line (a literal never does, nor an automaton whose every
    // attempt ends at a line feed), so every attempt is over within its piece.
    // The literal's byte to look for, as chosen on an earlier file (see TFastBuffer).
    void TakeRareChoice(const TFastBuffer& b) {
        if (useLiteral_ && b.rareAt != -2 && b.rareFor == literal_) rareAt_ = b.rareAt;
    }
    void KeepRareChoice(TFastBuffer& b) const {
        if (!useLiteral_ || rareAt_ == -2 || !rarePair_.pairs.empty() || twoPairs_) return;
        b.rareFor = literal_;
        b.rareAt = rareAt_;
    }
    bool StreamsLines() const { return useLiteral_ || dfa_.SearchEndsAtLineFeed; }
    // Runs the events due for `size` bytes at `base` that are not searched (nothing can match).
    void Pass(std::size_t size, std::size_t base) {
        base_ = base;
        if (size > 0) Tick(size - 1);
    }

  private:
    bool IsBoundary(std::size_t p);
    bool IsStart(std::size_t p) {
        if (d_[p] == '\r' && p + 1 < n_ && d_[p + 1] == '\n') return false; // its LF starts
        return IsBoundary(p);
    }
    // Runs the attempt that starts with `code`, the match cursor at `q`; true when it accepts.
    bool Attempt(TCharCode code, std::size_t q) const;
    // Reports the line the line cursor is in at `e`; returns where that line ends.
    std::size_t Report(std::size_t e);
    bool IsBreak(std::size_t i) const {
        return d_[i] == '\n' || (d_[i] == '\r' && d_[i + 1] != '\n');
    }
    std::size_t NextCandidate(std::size_t from) const;
    void ChooseRareByte();
    // Runs every attempt that starts from the boundary `p` on in one pass (below); returns
    // where the candidate search goes on, its alignment noted.
    std::size_t Walk(std::size_t p);
    // The attempts' states after one character: `old` read `oldCodes` (one, or two for a lead
    // byte followed by CR LF), a new attempt started with `startCode` unless `inject` is false.
    std::uint32_t Step(const std::vector<const TRE_DFAState*>& old, const TCharCode* oldCodes,
                       int oldCount, TCharCode startCode, bool inject);
    int Intern(std::vector<const TRE_DFAState*>& set);
    void ResetSets();
    std::size_t Resume(std::size_t pos) {
        memoPos_ = pos;
        memoStart_ = true;
        return pos;
    }
    // The host's events run, and cancel is tested, once for every block the scan enters, as
    // the block reader does when it reads that block.
    void Tick(std::size_t pos) {
        pos += base_;
        while (nextTick_ <= pos) {
            nextTick_ += TTxtFile::BlockSize;
            if (pump_) pump_();
            if (cancel_) throw EGrepCancel();
        }
    }

    const TRE_DFA& dfa_;
    const unsigned char* d_ = nullptr;
    std::size_t n_ = 0;
    std::size_t base_ = 0;
    const bool& cancel_;
    const std::function<void()>& pump_;
    const std::function<void(RE_LineInfo_t&)>& report_;
    bool hasCR_ = false;
    // The last position whose alignment is known: every byte from it to a later candidate
    // that is a possible lead byte pairs up from there.
    std::size_t memoPos_ = static_cast<std::size_t>(-1);
    bool memoStart_ = false;
    // Line numbering: breaks counted in [0, counted_).
    std::size_t counted_ = 0;
    std::int32_t breaks_ = 0;
    std::size_t lastLineStart_ = 0;
    std::size_t nextTick_ = 0;
    // Candidate search.
    bool useLiteral_ = false;
    std::string literal_;
    int firstCount_ = 0;                        // bytes that can start an attempt
    unsigned char firstByte_ = 0;               // the one, when there is one
    const std::uint64_t* pairStarts_ = nullptr; // see TDFASearchTables
    const TStartSpellings* starts_ = nullptr;   // see TDFASearchTables
    // A few sets of strings that every match holds one string of (the cheapest to look for in
    // the first data; none: empty), and where the line of the last candidate ends (valid when
    // the flags say so).
    static constexpr std::size_t kMaxRequired = 6;
    std::vector<Required> required_;
    bool requiredChosen_ = false;
    // Bytes of the current piece passed over by the sets, the size of the last piece, and
    // when the sets may be chosen again (see Scan).
    std::size_t passedOver_ = 0, lastPiece_ = 0;
    std::size_t rechooseAfter_ = 1, piecesToWait_ = 0;
    std::size_t lineEnd_ = 0;
    // Where a string of `r` occurs next from `from` on (n_: nowhere); counts in `stops` the
    // places where the search stopped to compare.
    std::size_t FindRequired(const Required& r, std::size_t from,
                             std::size_t* stops = nullptr) const;
    // `count`: bytes in the first data; `pairCount`: pairs of bytes there.
    Required MakeRequired(std::vector<std::string> strings, const std::size_t (&count)[256],
                          const std::function<std::size_t(unsigned)>& pairCount) const;
    bool lineEndValid_ = false;
    void ChooseRequired();
    // True when no attempt from `p` to the end of its line can accept (the line lacks the
    // required code); `end` is then where the line ends.
    bool LineCannotMatch(std::size_t p, std::size_t& end);
    // The literal's byte that is rarest in the first data seen, searched with memchr; -1 to use
    // memmem (no byte rare enough).
    int rareAt_ = -2; // -2: not chosen yet
    // Without a rare byte: the literal's pair of bytes that is rarest in the first data, at
    // rarePairAt_, searched for with vectors (none: memmem).
    TStartSpellings rarePair_;
    std::size_t rarePairAt_ = 0;
    // With vectors, a literal of three bytes or more: its first pair of bytes and its last
    // together (no choice to make, nothing to count).
    bool twoPairs_ = false;
    unsigned char twoPairsKey_[4] = {};
    const std::vector<bool>* firstCodes_ = nullptr; // see TDFASearchTables
    bool longAttempts_ = false;                     // see TDFASearchTables
    // The block of data whose starts were last compared, and its matches as bits.
    mutable std::size_t maskAt_ = static_cast<std::size_t>(-1);
    mutable std::uint32_t mask_ = 0;

    // The one-pass walk. Attempts that have read the same characters in the same state will
    // read the rest alike, so the walk keeps only the set of states the running attempts are
    // in; sets are numbered as they appear, and the step from a set on a class of codes (codes
    // that every state treats alike) is kept once computed.
    const std::uint32_t* classOf_ = nullptr; // code -> class, see TDFASearchTables
    std::size_t classes_ = 0;
    TSearchMemo& memo_;
    std::vector<std::vector<const TRE_DFAState*>>& sets_;
    std::unordered_map<std::string, int>& setIndex_;
    std::vector<std::uint32_t>& steps_;
    // Candidates before this position are tried one attempt at a time (after a walk found an
    // attempt running on past a line break, where the lines it reports depend on the order of
    // the attempts).
    std::size_t exactUntil_ = 0;
};

// A packed step: the set reached, and what happened on the way.
constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
constexpr std::uint32_t kOldAccepts = 1u << 31; // an attempt already running accepted
constexpr std::uint32_t kNewAccepts = 1u << 30; // only the attempt started here accepted
constexpr std::uint32_t kOldLives = 1u << 29;   // an attempt already running goes on
constexpr std::uint32_t kSetMask = (1u << 29) - 1;
constexpr std::size_t kMaxStepEntries = std::size_t(1) << 22;

// Whether the line cursor, walking characters from the start of the data, stops at `p`.
// A byte that cannot lead ends a character, so only the run of possible lead bytes right
// before `p` decides: `p` starts a character when that run has even length.
bool Search::IsBoundary(std::size_t p) {
    bool result;
    if (p == memoPos_) return memoStart_;
    if (d_[p] == '\n' || d_[p] == '\r') {
        // A line break is never the second byte of a character.
        result = true;
    } else {
        std::size_t i = p;
        for (;;) {
            if (i == memoPos_) {
                result = memoStart_ == ((p - i) % 2 == 0);
                break;
            }
            if (i == 0 || !IsLead(d_[i - 1])) {
                result = (p - i) % 2 == 0;
                break;
            }
            --i;
        }
    }
    memoPos_ = p;
    memoStart_ = result;
    return result;
}

bool Search::Attempt(TCharCode code, std::size_t q) const {
    const TRE_DFAState* state = Next(dfa_.InitialState, code);
    while (state) {
        if (state->Accepting) return true;
        if (q >= n_) return false;
        const unsigned char b = d_[q];
        TCharCode c;
        if (b == '\r') {
            c = '\n';
            q += d_[q + 1] == '\n' ? 2 : 1;
        } else if (IsLead(b) && d_[q + 1] != '\n' && d_[q + 1] != '\r') {
            c = static_cast<TCharCode>(b << 8 | d_[q + 1]);
            q += 2;
        } else {
            c = b;
            ++q;
        }
        state = Next(state, c);
    }
    return false;
}

std::size_t Search::Report(std::size_t e) {
    if (pump_) pump_();
    if (cancel_) throw EGrepCancel();
    // Count the breaks up to the line cursor.
    if (!hasCR_) {
        const std::int32_t more = static_cast<std::int32_t>(CountLineFeeds(d_ + counted_, d_ + e));
        if (more > 0) {
            breaks_ += more;
            const void* lf = memrchr(d_ + counted_, '\n', e - counted_);
            lastLineStart_ =
                static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - d_) + 1;
        }
    } else {
        for (std::size_t i = counted_; i < e; ++i)
            if (IsBreak(i)) {
                ++breaks_;
                lastLineStart_ = i + 1;
            }
    }
    counted_ = e;
    // The line ends at the first break at or after the cursor.
    std::size_t end;
    if (!hasCR_) {
        const void* lf = std::memchr(d_ + e, '\n', n_ - e);
        end = lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - d_) : n_;
    } else {
        end = e;
        while (end < n_ && !IsBreak(end))
            ++end;
    }
    std::size_t textEnd = end;
    while (textEnd > lastLineStart_ && (d_[textEnd - 1] == '\r' || d_[textEnd - 1] == '\n'))
        --textEnd;
    RE_LineInfo_t info;
    info.Line.assign(reinterpret_cast<const char*>(d_) + lastLineStart_, textEnd - lastLineStart_);
    info.LineNo = breaks_ + 1;
    report_(info);
    return end;
}

std::size_t Search::NextCandidate(std::size_t from) const {
    if (from >= n_) return n_;
    if (useLiteral_) {
        const std::size_t len = literal_.size();
        if (twoPairs_) {
            // Its first two bytes and its last two together, 32 or 16 positions at a time:
            // hardly anything else has both, however common each byte is.
            const unsigned char* key = twoPairsKey_;
            const std::size_t gap = len - 2;
            for (std::size_t i = from; i < n_; ++i) {
                i = FindTwoPairs(d_, i, n_, key, gap);
                if (i >= n_) break;
                if (i + len <= n_ && std::memcmp(d_ + i, literal_.data(), len) == 0) return i;
            }
            return n_;
        }
        if (rareAt_ == -1 && !rarePair_.pairs.empty()) {
            // The literal's rarest pair of bytes, 32 or 16 positions at a time, then the whole.
            const std::size_t k = rarePairAt_;
            for (std::size_t r = from + k; r < n_;) {
                std::size_t i = FindStartVector(rarePair_, d_, r, n_);
                const unsigned char a = rarePair_.pairs[0][0], b = rarePair_.pairs[0][1];
                while (i < n_ && !(d_[i] == a && d_[i + 1] == b))
                    ++i;
                if (i >= n_) return n_;
                const std::size_t p = i - k;
                if (p + len <= n_ && std::memcmp(d_ + p, literal_.data(), len) == 0) return p;
                r = i + 1;
            }
            return n_;
        }
        if (rareAt_ < 0) {
            const void* hit = memmem(d_ + from, n_ - from, literal_.data(), len);
            return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d_) : n_;
        }
        // The rare byte first, then the whole literal around it.
        const std::size_t k = static_cast<std::size_t>(rareAt_);
        const unsigned char rare = static_cast<unsigned char>(literal_[k]);
        for (std::size_t r = from + k; r < n_; ++r) {
            const void* hit = std::memchr(d_ + r, rare, n_ - r);
            if (!hit) return n_;
            r = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d_);
            const std::size_t p = r - k;
            if (p + len <= n_ && std::memcmp(d_ + p, literal_.data(), len) == 0) return p;
        }
        return n_;
    }
    if (firstCount_ == 0) return n_;
    if (firstCount_ == 1) {
        const void* hit = std::memchr(d_ + from, firstByte_, n_ - from);
        return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d_) : n_;
    }
    std::size_t i = from;
    if (starts_->usable && VectorLevel() > 0) {
        // The few ways a start can be spelled, compared 16 or 32 bytes at a time; the block
        // last compared serves the calls that follow within it.
        if (from >= maskAt_ && from - maskAt_ < 32) {
            const std::uint32_t m = mask_ & (~std::uint32_t(0) << (from - maskAt_));
            if (m) return maskAt_ + static_cast<std::size_t>(__builtin_ctz(m));
            i = maskAt_ + (VectorLevel() >= 2 ? 32 : 16);
            if (i < from) i = from;
        }
        std::uint32_t m = 0;
        i = FindStartMask(*starts_, d_, i, n_, m);
        if (m) {
            maskAt_ = i;
            mask_ = m;
            return i + static_cast<std::size_t>(__builtin_ctz(m));
        }
    }
    const std::uint64_t* bits = pairStarts_;
    for (; i < n_; ++i) {
        const unsigned key = static_cast<unsigned>(d_[i]) << 8 | d_[i + 1];
        if (bits[key >> 6] >> (key & 63) & 1) return i;
    }
    return n_;
}

// Sets up the search for one set of strings; the byte counts are those of the first data.
Required Search::MakeRequired(std::vector<std::string> strings, const std::size_t (&count)[256],
                              const std::function<std::size_t(unsigned)>& pairCount) const {
    Required r;
    r.strings = std::move(strings);
    if (r.strings.size() == 1) {
        const std::string& b = r.strings.front();
        std::size_t score = static_cast<std::size_t>(-1);
        for (std::size_t k = 0; k < b.size(); ++k)
            if (count[static_cast<unsigned char>(b[k])] < score) {
                score = count[static_cast<unsigned char>(b[k])];
                r.rare = k;
            }
        if (b.size() >= 2 && VectorLevel() > 0) {
            // A pair of its bytes side by side is rarer than any byte in dense text.
            for (std::size_t k = 0; k + 1 < b.size() && k < 8; ++k) {
                const unsigned char x = static_cast<unsigned char>(b[k]),
                                    y = static_cast<unsigned char>(b[k + 1]);
                const std::size_t pairs = pairCount(static_cast<unsigned>(x) << 8 | y);
                // (memchr is the faster while its byte is as rare as the pair.)
                if (pairs < score) {
                    score = pairs;
                    r.rare = k;
                    r.pair.pairs = {{x, y}};
                }
            }
        }
        return r;
    }
    TStartSpellings& sp = r.firsts;
    sp.usable = kVectorStarts;
    for (const std::string& b : r.strings) {
        const unsigned char x = static_cast<unsigned char>(b[0]);
        r.first[x] = true;
        if (b.size() == 1) {
            if (std::find(sp.singles.begin(), sp.singles.end(), x) == sp.singles.end())
                sp.singles.push_back(x);
        } else {
            const std::array<unsigned char, 2> xy = {x, static_cast<unsigned char>(b[1])};
            if (std::find(sp.pairs.begin(), sp.pairs.end(), xy) == sp.pairs.end())
                sp.pairs.push_back(xy);
        }
    }
    // (A pair is as good as its first byte alone when that byte also spells a string.)
    std::erase_if(sp.pairs, [&](const std::array<unsigned char, 2>& xy) {
        return std::find(sp.singles.begin(), sp.singles.end(), xy[0]) != sp.singles.end();
    });
    if (sp.pairs.size() + sp.singles.size() > kMaxStartSpellings) sp.usable = false;
    return r;
}

void Search::ChooseRequired() {
    required_.clear();
    if (useLiteral_ || !dfa_.SearchEndsAtLineFeed) return;
    // A small note takes what an earlier one chose: trying every set would cost it more than
    // its search (a folder of many notes), and any choice finds the same lines.
    const bool small = base_ == 0 && n_ < 16384;
    if (small && memo_.chosen) {
        required_ = memo_.required;
        return;
    }
    struct Keep {
        Search& s;
        bool small;
        ~Keep() {
            if (!small) return;
            s.memo_.required = s.required_;
            s.memo_.chosen = true;
        }
    } keep{*this, small};
    // Every set the pattern is known to need, then every code; how often each occurs in the
    // first data decides which few are looked for.
    std::vector<std::vector<std::string>> sets = dfa_.RequiredSets;
    for (TCharCode c : dfa_.SearchRequiredCodes) {
        std::vector<std::string> one = {CodeToStr(c)};
        if (std::find(sets.begin(), sets.end(), one) == sets.end()) sets.push_back(one);
    }
    if (sets.empty()) return;
    std::size_t count[256] = {};
    const std::size_t sample = std::min<std::size_t>(n_, 16384);
    for (std::size_t i = 0; i < sample; ++i)
        ++count[d_[i]];
    // What looking for a set costs in the sample: every place its search stops to compare (a
    // string found there lets a line through, which costs more). A set is worth it when its
    // search stops at most half as often as the search for the starts of attempts, which runs
    // anyway and whose every stop costs more (a keyword found on most lines, or whose
    // spellings begin with common kana, is found as fast by its starts alone); at most twice
    // as often when a start costs the rest of its line.
    const std::size_t whole = n_;
    n_ = sample;
    std::size_t starts = 0;
    for (std::size_t p = NextCandidate(0); p < n_ && starts < sample / 4; p = NextCandidate(p + 1))
        ++starts;
    n_ = whole;
    const std::size_t stopLimit = longAttempts_ ? 2 * starts : starts / 2;
    const std::size_t scoreLimit = sample / 8 + 16;
    std::vector<std::pair<std::size_t, Required>> scored;
    // The pairs of bytes a single string may be looked for by, counted in one pass.
    std::vector<std::uint16_t> keys;
    for (const std::vector<std::string>& set : sets)
        if (set.size() == 1)
            for (std::size_t k = 0; k + 1 < set[0].size() && k < 8; ++k)
                keys.push_back(
                    static_cast<std::uint16_t>(static_cast<unsigned char>(set[0][k]) << 8 |
                                               static_cast<unsigned char>(set[0][k + 1])));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::vector<std::size_t> keyCount(keys.size(), 0);
    if (!keys.empty()) {
        std::vector<std::uint64_t> wanted(65536 / 64, 0);
        for (std::uint16_t key : keys)
            wanted[key >> 6] |= std::uint64_t(1) << (key & 63);
        for (std::size_t i = 0; i + 1 < sample; ++i) {
            const unsigned key = static_cast<unsigned>(d_[i]) << 8 | d_[i + 1];
            if (wanted[key >> 6] >> (key & 63) & 1)
                ++keyCount[static_cast<std::size_t>(
                    std::lower_bound(keys.begin(), keys.end(), key) - keys.begin())];
        }
    }
    const auto pairCount = [&](unsigned key) {
        return keyCount[static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), key) -
                                                 keys.begin())];
    };
    for (std::vector<std::string>& set : sets) {
        Required r = MakeRequired(std::move(set), count, pairCount);
        if (r.strings.size() > 1 && !(r.firsts.usable && VectorLevel() > 0)) continue;
        n_ = sample;
        std::size_t stops = 0, found = 0;
        // (Several strings cost more at every stop: a quarter of the starts at most.)
        const std::size_t most = r.strings.size() > 1 ? stopLimit / 2 : stopLimit;
        const auto worth = [&] { return stops <= most && stops + 4 * found <= scoreLimit; };
        for (std::size_t p = FindRequired(r, 0, &stops); p < n_ && worth();
             p = FindRequired(r, p + 1, &stops))
            ++found;
        n_ = whole;
        if (worth()) scored.emplace_back(stops + 4 * found, std::move(r));
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    // All that are cheap enough, the cheapest first: a set that is rare at the start of a file
    // may be common later, where another one is rare, and each set's search goes over the
    // file at most once (each looks on from where it last found a string).
    // (A set that one already taken implies adds nothing: 指 beside 指定.)
    auto implies = [](const Required& t, const Required& s) {
        for (const std::string& x : t.strings)
            if (std::none_of(s.strings.begin(), s.strings.end(),
                             [&](const std::string& y) { return x.find(y) != std::string::npos; }))
                return false;
        return true;
    };
    for (auto& [score, r] : scored) {
        if (required_.size() >= kMaxRequired) break;
        if (std::none_of(required_.begin(), required_.end(),
                         [&](const Required& t) { return implies(t, r); }))
            required_.push_back(std::move(r));
    }
}

std::size_t Search::FindRequired(const Required& req, std::size_t from, std::size_t* stops) const {
    if (req.strings.size() > 1) {
        const bool vectors = req.firsts.usable && VectorLevel() > 0;
        for (std::size_t i = from; i < n_; ++i) {
            if (vectors) {
                i = FindStartVector(req.firsts, d_, i, n_);
                if (i >= n_) break;
            }
            if (!req.first[d_[i]]) continue;
            if (stops) ++*stops;
            // The strings that begin with this byte, or with this byte and the next (sorted).
            const char* at = reinterpret_cast<const char*>(d_ + i);
            const std::string_view one(at, 1), two(at, 2);
            if (std::binary_search(req.strings.begin(), req.strings.end(), one)) return i;
            for (auto s = std::lower_bound(req.strings.begin(), req.strings.end(), two);
                 s != req.strings.end() && s->compare(0, 2, two) == 0; ++s)
                if (i + s->size() <= n_ && std::memcmp(at, s->data(), s->size()) == 0) return i;
        }
        return n_;
    }
    const std::string& bytes = req.strings.front();
    const std::size_t len = bytes.size();
    const std::size_t k = req.rare;
    if (!req.pair.pairs.empty()) {
        const unsigned char a = req.pair.pairs[0][0], b = req.pair.pairs[0][1];
        for (std::size_t r = from + k; r < n_;) {
            std::size_t i = FindStartVector(req.pair, d_, r, n_);
            while (i < n_ && !(d_[i] == a && d_[i + 1] == b))
                ++i;
            if (i >= n_) return n_;
            if (stops) ++*stops;
            const std::size_t p = i - k;
            if (p + len <= n_ && std::memcmp(d_ + p, bytes.data(), len) == 0) return p;
            r = i + 1;
        }
        return n_;
    }
    const unsigned char rare = static_cast<unsigned char>(bytes[k]);
    for (std::size_t r = from + k; r < n_; ++r) {
        const void* hit = std::memchr(d_ + r, rare, n_ - r);
        if (!hit) return n_;
        if (stops) ++*stops;
        r = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d_);
        const std::size_t p = r - k;
        if (p + len <= n_ && std::memcmp(d_ + p, bytes.data(), len) == 0) return p;
    }
    return n_;
}

bool Search::LineCannotMatch(std::size_t p, std::size_t& end) {
    if (!lineEndValid_ || lineEnd_ < p) {
        std::size_t e = p;
        if (!hasCR_) {
            const void* lf = std::memchr(d_ + p, '\n', n_ - p);
            e = lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - d_) : n_;
        } else {
            while (e < n_ && d_[e] != '\n' && d_[e] != '\r')
                ++e;
        }
        lineEnd_ = e;
        lineEndValid_ = true;
    }
    end = lineEnd_;
    // Every attempt of the line ends at its line break.
    if (end <= p || end >= n_) return false;
    for (Required& r : required_) {
        if (!r.atValid || r.at < p) {
            r.at = FindRequired(r, p);
            r.atValid = true;
        }
        if (r.at >= end) {
            // The lines up to the one that holds its bytes next lack them too: all passed over
            // at once, to the line break before that line.
            const std::size_t far = std::min(r.at, n_);
            std::size_t last = end;
            if (const void* lf = memrchr(d_ + end, '\n', far - end))
                last = static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - d_);
            if (hasCR_)
                if (const void* cr = memrchr(d_ + end, '\r', far - end))
                    last = std::max(
                        last, static_cast<std::size_t>(static_cast<const unsigned char*>(cr) - d_));
            end = last;
            return true;
        }
    }
    return false;
}

void Search::ChooseRareByte() {
    if (kVectorStarts && VectorLevel() > 0 && literal_.size() >= 3) {
        const std::size_t len = literal_.size();
        twoPairs_ = true;
        rareAt_ = -1;
        for (std::size_t k = 0; k < 2; ++k) {
            twoPairsKey_[k] = static_cast<unsigned char>(literal_[k]);
            twoPairsKey_[2 + k] = static_cast<unsigned char>(literal_[len - 2 + k]);
        }
        return;
    }
    // Byte counts of the first data: a byte of the literal that is rare there is rare in the
    // rest of the file too, as a rule, and memchr finds it faster than memmem finds the whole.
    std::size_t count[256] = {};
    const std::size_t sample = std::min<std::size_t>(n_, 16384);
    for (std::size_t i = 0; i < sample; ++i)
        ++count[d_[i]];
    rareAt_ = -1;
    std::size_t best = sample / 512 + 1; // rarer than this, or memmem stays
    for (std::size_t k = 0; k < literal_.size(); ++k) {
        const std::size_t c = count[static_cast<unsigned char>(literal_[k])];
        if (c < best) {
            best = c;
            rareAt_ = static_cast<int>(k);
        }
    }
    // (A small file is searched before the pairs would be counted.)
    if (rareAt_ >= 0 || VectorLevel() == 0 || literal_.size() < 2 || sample < 16384) return;
    // Dense text has no rare byte, but a character's two bytes side by side are rarer.
    std::size_t bestPair = static_cast<std::size_t>(-1);
    const std::size_t pairs = std::min<std::size_t>(literal_.size() - 1, 8);
    for (std::size_t k = 0; k < pairs; ++k) {
        const unsigned char a = static_cast<unsigned char>(literal_[k]),
                            b = static_cast<unsigned char>(literal_[k + 1]);
        std::size_t c = 0;
        for (std::size_t i = 0; i + 1 < sample; ++i)
            c += d_[i] == a && d_[i + 1] == b;
        if (c < bestPair) {
            bestPair = c;
            rarePairAt_ = k;
            rarePair_.pairs = {{a, b}};
        }
    }
}

} // namespace

// What the search of an automaton's candidates and its walk look up, worked out from the
// automaton alone.
struct TDFASearchTables {
    int firstCount = 0;          // bytes that can start an attempt
    unsigned char firstByte = 0; // the one, when there is one
    // Whether a byte and the one after it can start an attempt, as bits (the first character
    // as the line cursor would read it from there).
    std::vector<std::uint64_t> pairStarts;
    std::vector<bool> firstCodes; // the codes the first step of an attempt can take
    TStartSpellings starts;       // the same starts spelled as bytes, when they are few
    // Classes of codes: codes that every state treats alike.
    std::vector<std::uint32_t> classOf;
    std::size_t classes = 0;
    // Whether an attempt, once started, can read on over any text (keywords in any order,
    // ".*" between them): each start then costs the rest of its line.
    bool longAttempts = false;
};

namespace {

// The first bytes of every character an attempt that starts with `code` can read next, when
// they are few and the attempt cannot accept on `code` alone; nothing otherwise.
std::optional<std::vector<unsigned char>> FollowBytes(const TRE_DFA& dfa, TCharCode code) {
    const TRE_DFAState* s = TRE_DFA::NextState(dfa.InitialState, code);
    if (!s || s->Accepting) return std::nullopt;
    std::array<bool, 256> follow{};
    for (const TRE_DFATransition& t : s->Transitions) {
        if (t.Hi - t.Lo > 512) return std::nullopt;
        for (unsigned c = t.Lo; c <= t.Hi; ++c) {
            if (c == '\n') {
                follow['\n'] = follow['\r'] = true;
            } else if (c < 256) {
                if (c != '\r') follow[c] = true; // (a CR is read as a LF)
            } else if (IsLead(static_cast<unsigned char>(c >> 8))) {
                follow[c >> 8] = true;
            }
        }
    }
    std::vector<unsigned char> bytes;
    for (unsigned b = 0; b < 256; ++b)
        if (follow[b]) bytes.push_back(static_cast<unsigned char>(b));
    if (bytes.size() > 4) return std::nullopt;
    return bytes;
}

std::shared_ptr<const TDFASearchTables> MakeSearchTables(const TRE_DFA& dfa) {
    auto tables = std::make_shared<TDFASearchTables>();
    TDFASearchTables& r = *tables;
    const TRE_DFAState* initial = dfa.InitialState;
    bool first[256] = {};
    for (const TRE_DFATransition& t : initial->Transitions) {
        for (unsigned c = t.Lo; c <= t.Hi && c <= 0xFF; ++c) {
            first[c] = true;
            if (c == '\n') first[static_cast<unsigned char>('\r')] = true;
        }
        const unsigned hiLo = std::max<unsigned>(t.Lo >> 8, 1), hiHi = t.Hi >> 8;
        for (unsigned h = hiLo; h <= hiHi && h <= 0xFF; ++h)
            if (IsLead(static_cast<unsigned char>(h))) first[h] = true;
    }
    r.firstCodes.assign(65536, false);
    for (const TRE_DFATransition& t : initial->Transitions)
        for (unsigned c = t.Lo; c <= t.Hi; ++c)
            r.firstCodes[c] = true;
    r.pairStarts.assign(65536 / 64, 0);
    for (unsigned b0 = 0; b0 < 256; ++b0) {
        if (!first[b0]) continue;
        for (unsigned b1 = 0; b1 < 256; ++b1) {
            unsigned code = b0;
            if (b0 == '\n' || b0 == '\r')
                code = '\n';
            else if (IsLead(static_cast<unsigned char>(b0)) && b1 != '\n' && b1 != '\r')
                code = b0 << 8 | b1;
            if (r.firstCodes[code]) {
                const unsigned key = b0 << 8 | b1;
                r.pairStarts[key >> 6] |= std::uint64_t(1) << (key & 63);
            }
        }
    }
    // The same as spellings: a start reads its first character as the line cursor does. A
    // one-byte start is often also a common second byte (ﾌ is the second byte of many kanji):
    // spelled with the bytes that can follow it, it stops less, as long as the spellings stay
    // few.
    const auto spell = [&](bool follow) {
        TStartSpellings sp;
        sp.usable = kVectorStarts;
        auto pair = [&sp](unsigned a, unsigned b) {
            sp.pairs.push_back({static_cast<unsigned char>(a), static_cast<unsigned char>(b)});
        };
        for (unsigned c = 1; c < 65536 && sp.usable; ++c) {
            if (!r.firstCodes[c]) continue;
            if (c == '\n') {
                sp.singles.push_back('\n');
                sp.singles.push_back('\r');
            } else if (c < 256) {
                if (c == '\r') continue; // never read: a CR reads as a LF
                std::optional<std::vector<unsigned char>> next;
                if (IsLead(static_cast<unsigned char>(c))) {
                    pair(c, '\n');
                    pair(c, '\r');
                } else if (follow && (next = FollowBytes(dfa, static_cast<TCharCode>(c)))) {
                    for (unsigned char b : *next)
                        pair(c, b);
                } else {
                    sp.singles.push_back(static_cast<unsigned char>(c));
                }
            } else {
                const unsigned hi = c >> 8, lo = c & 0xFF;
                // (Only a lead byte before anything but a line end or a zero byte makes one.)
                if (!IsLead(static_cast<unsigned char>(hi)) || lo == '\n' || lo == '\r' || lo == 0)
                    continue;
                pair(hi, lo);
            }
            if (sp.pairs.size() + sp.singles.size() > kMaxStartSpellings) sp.usable = false;
        }
        if (!sp.usable) {
            sp.pairs.clear();
            sp.singles.clear();
        }
        return sp;
    };
    r.starts = spell(true);
    if (!r.starts.usable) r.starts = spell(false);
    for (unsigned c = 0; c < 256; ++c)
        if (first[c]) {
            ++r.firstCount;
            r.firstByte = static_cast<unsigned char>(c);
        }
    // Every range of every state starts a class and ends one.
    std::vector<bool> cut(65537, false);
    for (const auto& state : dfa.StateList)
        for (const TRE_DFATransition& t : state->Transitions) {
            cut[t.Lo] = true;
            cut[static_cast<std::size_t>(t.Hi) + 1] = true;
        }
    r.classOf.resize(65536);
    std::uint32_t cls = 0;
    for (std::size_t c = 0; c < 65536; ++c) {
        if (cut[c] && c > 0) ++cls;
        r.classOf[c] = cls;
    }
    r.classes = cls + 1;
    for (const auto& state : dfa.StateList)
        if (state.get() != initial)
            for (const TRE_DFATransition& t : state->Transitions)
                if (t.Hi - t.Lo >= 256) r.longAttempts = true;
    return tables;
}

bool Search::Prepare() {
    const TRE_DFAState* initial = dfa_.InitialState;
    if (!initial) return false;
    Tick(0);
    if (dfa_.IsLiteral) {
        useLiteral_ = !dfa_.LiteralCodes.empty();
        for (TCharCode c : dfa_.LiteralCodes) {
            if (!PlainCode(c)) useLiteral_ = false;
            // No data character has code 0: such a literal matches nothing.
            if (c == 0) return false;
        }
        if (dfa_.LiteralCodes.empty()) return false;
        if (useLiteral_) literal_ = dfa_.LiteralText;
    }
    if (!useLiteral_) {
        std::call_once(dfa_.SearchOnce, [this] {
            StudyAutomaton(dfa_);
            dfa_.SearchTables = MakeSearchTables(dfa_);
        });
        const TDFASearchTables& t = *dfa_.SearchTables;
        firstCount_ = t.firstCount;
        firstByte_ = t.firstByte;
        pairStarts_ = t.pairStarts.data();
        starts_ = &t.starts;
        firstCodes_ = &t.firstCodes;
        classOf_ = t.classOf.data();
        classes_ = t.classes;
        longAttempts_ = t.longAttempts;
        // (What the last file of this automaton left is kept.)
        if (memo_.dfaSerial != dfa_.Serial || sets_.empty()) {
            memo_.dfaSerial = dfa_.Serial;
            memo_.chosen = false;
            memo_.required.clear();
            ResetSets();
        }
    }
    return true;
}

int Search::Intern(std::vector<const TRE_DFAState*>& set) {
    std::sort(set.begin(), set.end());
    set.erase(std::unique(set.begin(), set.end()), set.end());
    std::string key(reinterpret_cast<const char*>(set.data()), set.size() * sizeof(set[0]));
    const auto [it, added] = setIndex_.emplace(std::move(key), static_cast<int>(sets_.size()));
    if (added) {
        sets_.push_back(set);
        steps_.resize(steps_.size() + classes_, kUnknown);
    }
    return it->second;
}

void Search::ResetSets() {
    sets_.clear();
    setIndex_.clear();
    steps_.clear();
    std::vector<const TRE_DFAState*> empty;
    Intern(empty);
}

std::uint32_t Search::Step(const std::vector<const TRE_DFAState*>& old, const TCharCode* oldCodes,
                           int oldCount, TCharCode startCode, bool inject) {
    std::vector<const TRE_DFAState*> next(old); // (`old` may move when a set is added)
    for (int i = 0; i < oldCount; ++i) {
        std::size_t k = 0;
        for (const TRE_DFAState* s : next) {
            const TRE_DFAState* t = Next(s, oldCodes[i]);
            if (!t) continue;
            if (t->Accepting) return kOldAccepts;
            next[k++] = t;
        }
        next.resize(k);
    }
    const std::uint32_t flags = next.empty() ? 0 : kOldLives;
    if (inject) {
        if (const TRE_DFAState* t = Next(dfa_.InitialState, startCode)) {
            if (t->Accepting) return flags | kNewAccepts;
            next.push_back(t);
        }
    }
    return flags | static_cast<std::uint32_t>(Intern(next));
}

// The attempts that start at `p` and at every character after it, run side by side until none
// is left. Every character the walk reads is one the line cursor stops at, and the attempts
// read the same characters from there on, so one pass replaces them all as long as they stay
// in one line: the first acceptance reports that line (the one every running attempt belongs
// to) and the search goes on at its end, as the reader does. When an attempt goes on past a
// line break without having accepted, the lines it may report depend on the order in which
// the reader would run the attempts; those candidates are then tried one at a time.
__attribute__((noinline)) std::size_t Search::Walk(std::size_t p) {
    std::uint32_t set = 0;
    std::size_t q = p;
    std::size_t lineRestart = p; // the first start of the current line in this walk
    const std::uint32_t* const classOf = classOf_;
    const unsigned char* const d = d_;
    const std::size_t n = n_;
    const std::size_t classes = classes_;
    for (;;) {
        if (q >= n) return Resume(n);
        if (q + base_ >= nextTick_) Tick(q);
        // The common case first: a character of one byte or two that is no line break.
        {
            const unsigned char b0 = d[q];
            std::size_t adv0 = 0;
            TCharCode c0 = b0;
            if (b0 >= 0x20 && b0 != 0x7F && !IsLead(b0)) {
                adv0 = 1;
            } else if (IsLead(b0) && d[q + 1] != '\n' && d[q + 1] != '\r') {
                c0 = static_cast<TCharCode>(b0 << 8 | d[q + 1]);
                adv0 = 2;
            }
            if (adv0 != 0 && q + adv0 < n) {
                const std::uint32_t s0 = steps_[set * classes + classOf[c0]];
                if (s0 != kUnknown && !(s0 & (kOldAccepts | kNewAccepts))) {
                    set = s0 & kSetMask;
                    q += adv0;
                    if (set == 0) return Resume(q);
                    continue;
                }
            }
        }
        const unsigned char b = d_[q];
        TCharCode code = b;
        std::size_t adv = 1;
        bool brk = false;
        if (b == '\n') {
            brk = true;
        } else if (b == '\r') {
            code = '\n';
            brk = true;
            if (d_[q + 1] == '\n') adv = 2;
        } else if (IsLead(b) && d_[q + 1] != '\n' && d_[q + 1] != '\r') {
            code = static_cast<TCharCode>(b << 8 | d_[q + 1]);
            adv = 2;
        }
        std::uint32_t step;
        if (q + adv >= n_) {
            // No attempt starts with the character that ends the data.
            step = Step(sets_[set], &code, 1, code, false);
        } else {
            std::size_t at = set * classes + classOf[code];
            step = steps_[at];
            if (step == kUnknown) {
                if (steps_.size() > kMaxStepEntries) {
                    // Too many sets kept: start afresh from the current one.
                    std::vector<const TRE_DFAState*> current = sets_[set];
                    ResetSets();
                    set = static_cast<std::uint32_t>(Intern(current));
                    at = set * classes_ + classOf_[code];
                }
                step = Step(sets_[set], &code, 1, code, true);
                steps_[at] = step;
            }
        }
        if (step & (kOldAccepts | kNewAccepts | kOldLives)) {
            if (step & kOldAccepts) return Resume(Report(q));
            if (brk && (step & kOldLives)) {
                exactUntil_ = q + adv;
                return Resume(lineRestart);
            }
            if (step & kNewAccepts) return Resume(Report(q + adv));
        }
        if (brk) lineRestart = q;
        set = step & kSetMask;
        q += adv;
        if (set == 0) return Resume(q);
    }
}

void Search::Scan(const unsigned char* data, std::size_t size, std::size_t base) {
    d_ = data;
    n_ = size;
    base_ = base;
    maskAt_ = static_cast<std::size_t>(-1);
    hasCR_ = std::memchr(d_, '\r', n_) != nullptr;
    // (The literal's byte chosen once, on the first data of the file.)
    if (useLiteral_ && rareAt_ == -2) ChooseRareByte();
    // The sets to look for are chosen on the first data, and again on a later piece when the
    // ones chosen passed over less than half of the last piece: text changes along a file (a
    // word list sorted by kind of word), and a set absent from the first data may be common
    // further on.
    // Each choice that did not help waits twice as long for the next.
    if (!requiredChosen_ ||
        (!required_.empty() && piecesToWait_ == 0 && passedOver_ * 2 < lastPiece_)) {
        const bool again = requiredChosen_;
        ChooseRequired();
        requiredChosen_ = true;
        if (again) {
            rechooseAfter_ *= 2;
            piecesToWait_ = rechooseAfter_;
        }
    } else if (piecesToWait_ > 0) {
        --piecesToWait_;
    }
    if (lastPiece_ > 0 && passedOver_ * 2 >= lastPiece_) rechooseAfter_ = 1;
    passedOver_ = 0;
    lastPiece_ = n_;
    lineEndValid_ = false;
    for (Required& r : required_)
        r.atValid = false;
    // A piece starts after a LF, a byte that ends a character.
    memoPos_ = static_cast<std::size_t>(-1);
    exactUntil_ = 0;
    counted_ = 0;
    lastLineStart_ = 0;

    // The line feed before the piece starts its first attempt: the one put before the data, or
    // the one that ended the last piece (which no attempt there started from).
    std::size_t pos = 0;
    if (Attempt('\n', 0)) {
        pos = Report(0);
        memoPos_ = pos;
        memoStart_ = true;
    }
    for (;;) {
        if (!required_.empty()) {
            // Whole lines without the required code are passed over.
            bool skipped = false;
            for (std::size_t end; pos < n_;) {
                const unsigned char b = d_[pos];
                if (b == '\n' || b == '\r') {
                    // The line break starts an attempt of the next line.
                    const unsigned key = static_cast<unsigned>(b) << 8 | d_[pos + 1];
                    if (pairStarts_[key >> 6] >> (key & 63) & 1) break;
                    pos += b == '\r' && d_[pos + 1] == '\n' ? 2 : 1;
                } else if (LineCannotMatch(pos, end)) {
                    passedOver_ += end - pos;
                    pos = end;
                } else {
                    break;
                }
                skipped = true;
            }
            if (skipped) Resume(pos);
        }
        const std::size_t p = NextCandidate(pos);
        if (p >= n_) break;
        std::size_t lineEnd;
        if (!required_.empty() && LineCannotMatch(p, lineEnd)) {
            passedOver_ += lineEnd - p;
            pos = Resume(lineEnd); // a line break that is no second byte starts a character
            continue;
        }
        Tick(p);
        pos = p + 1;
        // The start character as the line cursor reads it: it turns a lone CR into a LF and
        // steps over the CR of a CR LF, a trail byte included.
        const unsigned char b = d_[p];
        TCharCode code;
        std::size_t e;
        if (b == '\n' || b == '\r') {
            code = '\n';
            e = p + 1;
        } else if (IsLead(b) && d_[p + 1] != '\n' && d_[p + 1] != '\r') {
            code = static_cast<TCharCode>(b << 8 | d_[p + 1]);
            e = p + 2;
        } else {
            code = b;
            e = p + 1;
        }
        // Most candidates fail on their first character, whatever their alignment.
        if (!useLiteral_ && !(*firstCodes_)[code]) continue;
        if (!IsStart(p)) continue;
        // The reader ends the file when its line cursor steps past the last byte, before an
        // attempt could start from the character that ends there.
        if (e >= n_) break;
        if (!useLiteral_ && p >= exactUntil_) {
            pos = Walk(p);
            continue;
        }
        if (!Attempt(code, e)) continue;
        pos = Report(e);
        // The line cursor rests on the line's end, which starts the next attempt whatever
        // came before it.
        memoPos_ = pos;
        memoStart_ = true;
    }
    // The host's events due for the blocks of this piece, also when it held no candidate (a
    // long search of a large file stays cancellable while it runs).
    if (n_ > 0) Tick(n_ - 1);
    // The breaks after the last reported line, for the next piece's line numbers.
    if (!hasCR_) {
        breaks_ += static_cast<std::int32_t>(CountLineFeeds(d_ + counted_, d_ + n_));
    } else {
        for (std::size_t i = counted_; i < n_; ++i)
            if (IsBreak(i)) ++breaks_;
    }
}

} // namespace

unsigned char* TFastBuffer::Reserve(std::size_t bytes, std::size_t keep) {
    if (bytes > capacity_) {
        const std::size_t grown = std::max(bytes, capacity_ + capacity_ / 2);
        std::unique_ptr<unsigned char[]> fresh(new unsigned char[grown]);
        if (keep > 0) std::memcpy(fresh.get(), data_.get(), keep);
        data_ = std::move(fresh);
        capacity_ = grown;
    }
    return data_.get();
}

namespace {

// Reads up to `want` bytes; a zero byte reads as a space. `left` is what the file's size says
// is left to read (0: unknown): a short read that brings exactly that is the end, without one
// more read to learn it.
std::size_t ReadInto(int fd, unsigned char* at, std::size_t want, std::size_t left) {
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, at + got, want - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EInOutError(cp932::FromUtf8("ファイルの読み込みに失敗しました"));
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        if (left > 0 && got == left && got < want) break;
    }
    for (unsigned char* p = at; (p = static_cast<unsigned char*>(
                                     std::memchr(p, 0, got - static_cast<std::size_t>(p - at))));)
        *p = ' ';
    return got;
}

// The last line always ends with a line feed; two zero bytes of padding follow.
std::size_t EndData(unsigned char* data, std::size_t size) {
    if (data[size - 1] != '\n') data[size++] = '\n';
    data[size] = 0;
    data[size + 1] = 0;
    return size;
}

} // namespace

bool FastGrep(const TRE_DFA& dfa, const std::string& fileName, TFastBuffer& buffer,
              const bool& cancel, const std::function<void()>& pump,
              const std::function<void(RE_LineInfo_t&)>& report) {
    std::uint64_t fileBytes = 0;
    const int file = TTxtFile::OpenDescriptor(fileName, &fileBytes);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{file};
    if (!buffer.memo) buffer.memo = std::make_shared<TSearchMemo>();
    Search search(dfa, *buffer.memo, cancel, pump, report);
    const bool canMatch = search.Prepare();
    constexpr std::size_t kPad = 3; // a line feed and two zero bytes after the data

    const std::size_t expect =
        static_cast<std::size_t>(std::min<std::uint64_t>(fileBytes, std::uint64_t(1) << 62));
    // A small note looks for what the notes before it looked for: counting its few bytes would
    // cost more than the search.
    if (expect < 16384) search.TakeRareChoice(buffer);
    struct Keeper {
        const Search& s;
        TFastBuffer& b;
        ~Keeper() { s.KeepRareChoice(b); }
    } keeper{search, buffer};

    if (!canMatch || search.StreamsLines()) {
        // Whole lines at a time through a buffer that is reused, grown only for a longer line.
        constexpr std::size_t kChunk = TTxtFile::BlockSize;
        std::size_t base = 0, have = 0, noLFBefore = 0;
        unsigned char* buf = buffer.Reserve(2 * kChunk + kPad, 0);
        for (;;) {
            std::size_t want = kChunk;
            // A line longer than a piece: the rest of the file at once (and one byte more,
            // which tells that the file has not grown), as far as memory allows.
            if (noLFBefore > 0 && expect > base + have &&
                expect - (base + have) < kFastGrepMaxBytes)
                want = std::max(kChunk, expect - (base + have) + 1);
            buf = buffer.Reserve(have + want + kPad, have);
            const std::size_t got =
                ReadInto(file, buf + have, want, expect > base + have ? expect - (base + have) : 0);
            have += got;
            if (got < want) {
                if (base + have == 0) return true;
                const std::size_t fileSize = base + have;
                // (Nothing left when the file ended with the last piece's LF.)
                if (have > 0) {
                    if (canMatch)
                        search.Scan(buf, EndData(buf, have), base);
                    else
                        search.Pass(have, base);
                }
                search.Finish(fileSize);
                return true;
            }
            const void* lf = memrchr(buf + noLFBefore, '\n', have - noLFBefore);
            const std::size_t cut =
                lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - buf) + 1
                   : noLFBefore;
            if (cut == noLFBefore) {
                noLFBefore = have; // one line goes on: read more of it
                continue;
            }
            if (canMatch)
                search.Scan(buf, cut, base);
            else
                search.Pass(cut, base);
            std::memmove(buf, buf + cut, have - cut);
            base += cut;
            have -= cut;
            noLFBefore = 0;
        }
    }

    if (expect > kFastGrepMaxBytes) return false;
    // One more byte asked for than expected tells that the file has not grown.
    std::size_t size = 0;
    std::size_t room = expect + 1;
    unsigned char* data = buffer.Reserve(room + kPad, 0);
    for (;;) {
        size += ReadInto(file, data + size, room - size, expect > size ? expect - size : 0);
        if (size < room) break;
        // The file grew while it was read: read on, in blocks.
        if (room + TTxtFile::BlockSize > kFastGrepMaxBytes) return false;
        room += TTxtFile::BlockSize;
        data = buffer.Reserve(room + kPad, size);
    }
    if (size == 0) return true;
    const std::size_t fileSize = size;
    if (canMatch) search.Scan(data, EndData(data, size), 0);
    search.Finish(fileSize);
    return true;
}

} // namespace engine
