// The fast search's stages, one a file, and what they share: the vector kernels
// (fast_vector.cpp), the automaton's search tables (fast_tables.cpp), the candidate loop
// (fast_candidates.cpp), the choice of the strings every match holds (fast_required.cpp), the
// one-pass walk (fast_walk.cpp), the reading of a file (fast_read.cpp) and the driver
// (fast_grep.cpp). For the engine's own files only; the search is used through fast_grep.h.
#pragma once

#include "automaton.h"
#include "codec.h"
#include "errors.h"
#include "fast_grep.h"
#include "txtfile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace engine {
namespace fastgrep {

// The state `code` leads to from `s`; single bytes through a table of the state's, made the
// first time it is needed.
const std::array<const TRE_DFAState*, 256>* MakeByteTable(const TRE_DFAState* s);
inline const TRE_DFAState* Next(const TRE_DFAState* s, TCharCode code) {
    if (code >= 256) return TRE_DFA::NextState(s, code);
    const std::array<const TRE_DFAState*, 256>* bytes =
        s->ByteTable.load(std::memory_order_acquire);
    if (!bytes) bytes = MakeByteTable(s);
    return (*bytes)[code];
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
extern const int kBestVectorLevel;
inline int VectorLevel() {
    return std::min(kBestVectorLevel, gVectorLevelLimit.load(std::memory_order_relaxed));
}
#else
constexpr bool kVectorStarts = false;
inline int VectorLevel() {
    return 0;
}
#endif

// The first position in [from, end) where a spelling of `s` starts, or where the vector loop
// stopped (the last few bytes are left to the caller). d[end] must be readable.
std::size_t FindStartVector(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                            std::size_t end);
// As FindStartVector, but returns the whole block's matches: the block where one starts (`mask`
// has a bit for every position of it where one does), or where the loop stopped (`mask` 0).
std::size_t FindStartMask(const TStartSpellings& s, const unsigned char* d, std::size_t from,
                          std::size_t end, std::uint32_t& mask);
// The first position in [from, end) where the pair k[0] k[1] starts and the pair k[2] k[3]
// starts `gap` bytes later, or where the vector loop stopped (the last few positions are left
// to the caller). Reads nothing at or past `end`.
std::size_t FindTwoPairs(const unsigned char* d, std::size_t from, std::size_t end,
                         const unsigned char* k, std::size_t gap);
// Line feeds in [from, to).
std::size_t CountLineFeeds(const unsigned char* from, const unsigned char* to);

// A set of strings that every match holds one of (see ChooseRequired), with where one of them
// occurs next. A line that lacks every string of a set holds no match.
struct Required {
    std::vector<std::string> strings;
    // One string: its byte that memchr looks for, at `rare`, or the pair of its bytes at
    // `rare` looked for with vectors (`pair`).
    std::size_t rare = 0;
    TStartSpellings pair;
    // Several: how their bytes from `skip` on begin (looked for with vectors when usable),
    // and which bytes begin them there. A skip helps where the strings' first bytes are common
    // ones: in UTF-8 every kana and most kanji begin with one of a few bytes.
    TStartSpellings firsts;
    std::array<bool, 256> first{};
    std::size_t skip = 0;
    // With a skip: the strings as a tree of their bytes, walked from where one would begin.
    struct TrieNode {
        std::uint32_t firstEdge = 0;
        std::uint16_t edges = 0;
        bool ends = false; // a string ends here
    };
    struct TrieEdge {
        unsigned char byte;
        std::uint32_t to;
    };
    std::vector<TrieNode> trie;
    std::vector<TrieEdge> trieEdges;
    // Whether a string of the tree begins at d[p] and ends before d[n].
    bool StringAt(const unsigned char* d, std::size_t p, std::size_t n) const;
    std::size_t at = 0;
    bool atValid = false;
};

// At most this many sets of strings are looked for.
constexpr std::size_t kMaxRequired = 6;

// Sets up the search for one set of strings (sorted); `count` holds the bytes of the first data,
// `pairCount` tells how often a pair of bytes (first * 256 + second) occurs there. Several
// strings are looked for by their bytes from `skip` on (every string is longer than that).
Required MakeRequired(std::vector<std::string> strings, const std::size_t (&count)[256],
                      const std::function<std::size_t(unsigned)>& pairCount, std::size_t skip = 0);
// Where a string of `r` occurs next in d[from, n) (n: nowhere); counts in `stops` the places
// where the search stopped to compare. d[n] and d[n + 1] must be readable.
std::size_t FindRequired(const Required& r, const unsigned char* d, std::size_t n, std::size_t from,
                         std::size_t* stops = nullptr);
// The sets of strings worth looking for, judged on the first `sample` bytes at `d`: those whose
// search stops there at most `stopLimit` times (half that for a set of several strings) and that
// let little through, the cheapest first, none that one before it implies, kMaxRequired at most.
// A set of several strings is tried with each skip up to `maxSkip` (see Required).
std::vector<Required> ChooseSets(std::vector<std::vector<std::string>> sets, const unsigned char* d,
                                 std::size_t sample, std::size_t stopLimit,
                                 std::size_t maxSkip = 0);
// Every set of strings that every match of `dfa` holds one of: its required sets, then each
// code every match reads (see TRE_DFA::SearchRequiredCodes).
std::vector<std::vector<std::string>> RequiredSetsOf(const TRE_DFA& dfa);

} // namespace fastgrep

// See TFastBuffer.
struct TSearchMemo {
    std::uint64_t dfaSerial = 0;
    // The sets of strings a small file chose to look for (see ChooseRequired).
    bool chosen = false;
    std::vector<fastgrep::Required> required;
    // The one-pass walk's sets of states and the steps between them (see Walk).
    std::vector<std::vector<const TRE_DFAState*>> sets; // set 0 is the empty one
    std::unordered_map<std::string, int> setIndex;
    std::vector<std::uint32_t> steps; // set * classes + class -> packed step, kUnknown
    // For UTF-8 and UTF-16 notes (see fast_unicode.cpp), of the automaton numbered
    // `unicodeSerial`: the UTF-8 spellings of its sets of strings (`unicodeNever`: a set none of
    // whose strings any text can have), and the sets a small note chose to look for.
    std::uint64_t unicodeSerial = 0;
    std::vector<std::vector<std::string>> unicodeSets;
    bool unicodeNever = false;
    bool unicodeChosen = false;
    std::vector<fastgrep::Required> unicodeRequired;
};

// What the search of an automaton's candidates and its walk look up, worked out from the
// automaton alone (fast_tables.cpp).
struct TDFASearchTables {
    int firstCount = 0;          // bytes that can start an attempt
    unsigned char firstByte = 0; // the one, when there is one
    // Whether a byte and the one after it can start an attempt, as bits (the first character
    // as the line cursor would read it from there).
    std::vector<std::uint64_t> pairStarts;
    std::vector<bool> firstCodes;     // the codes the first step of an attempt can take
    fastgrep::TStartSpellings starts; // the same starts spelled as bytes, when they are few
    // Classes of codes: codes that every state treats alike.
    std::vector<std::uint32_t> classOf;
    std::size_t classes = 0;
    // Whether an attempt, once started, can read on over any text (keywords in any order,
    // ".*" between them): each start then costs the rest of its line.
    bool longAttempts = false;
};

namespace fastgrep {

// The search of one file with one automaton; each stage's member functions are defined in that
// stage's file.
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
    // The literal's byte to look for, as chosen on an earlier file (see TFastBuffer).
    void TakeRareChoice(const TFastBuffer& b) {
        if (useLiteral_ && b.rareAt != -2 && b.rareFor == literal_) rareAt_ = b.rareAt;
    }
    void KeepRareChoice(TFastBuffer& b) const {
        if (!useLiteral_ || rareAt_ == -2 || !rarePair_.pairs.empty() || twoPairs_) return;
        b.rareFor = literal_;
        b.rareAt = rareAt_;
    }
    // Whether the file can be searched a piece of whole lines at a time: no attempt reads past
    // the line break that ends its line (a literal never does, nor an automaton whose every
    // attempt ends at a line feed), so every attempt is over within its piece.
    bool StreamsLines() const { return useLiteral_ || dfa_.SearchEndsAtLineFeed; }
    // The data holds only lines that hold a string of every set already: none is looked for.
    void LookForNoRequiredSets() {
        requiredChosen_ = true;
        required_.clear();
    }
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
    // Runs every attempt that starts from the boundary `p` on in one pass; returns
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
    std::vector<Required> required_;
    bool requiredChosen_ = false;
    // Bytes of the current piece passed over by the sets, the size of the last piece, and
    // when the sets may be chosen again (see Scan).
    std::size_t passedOver_ = 0, lastPiece_ = 0;
    std::size_t rechooseAfter_ = 1, piecesToWait_ = 0;
    std::size_t lineEnd_ = 0;
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

// Searches a UTF-8 or UTF-16 note (fast_unicode.cpp) whose first `head` bytes have been read
// from `fd` (`expect`: the file's size): its Shift-JIS form is searched, and lines are reported
// with both forms. Returns false, having reported nothing, when the note is too large to hold.
bool FastGrepUnicode(const TRE_DFA& dfa, int fd, std::uint64_t expect, cp932::NoteKind kind,
                     std::string head, TFastBuffer& buffer, const bool& cancel,
                     const std::function<void()>& pump,
                     const std::function<void(RE_LineInfo_t&)>& report);

// Reads up to `want` bytes; a zero byte reads as a space. `left` is what the file's size says
// is left to read (0: unknown): a short read that brings exactly that is the end, without one
// more read to learn it.
std::size_t ReadInto(int fd, unsigned char* at, std::size_t want, std::size_t left);
// The same without the spaces: the bytes as they are.
std::size_t ReadRaw(int fd, unsigned char* at, std::size_t want, std::size_t left);
void ZerosToSpaces(unsigned char* at, std::size_t n);
// The last line always ends with a line feed; two zero bytes of padding follow.
std::size_t EndData(unsigned char* data, std::size_t size);

} // namespace fastgrep
} // namespace engine
