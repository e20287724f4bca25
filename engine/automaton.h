// The automata: a parse tree becomes a nondeterministic automaton with empty transitions, and
// that becomes, completely and at compile time, a deterministic one by subset construction.
// A deterministic automaton that spells a single string is marked as a plain literal.
#pragma once

#include "charcode.h"
#include "parser.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace engine {

struct TRE_NFATransition {
    TCharCode Lo = 0;
    TCharCode Hi = 0; // Lo == 0xFFFF: an empty transition
    int Target = 0;
};

// Limits of the automata (see also the parse tree's).
constexpr std::size_t kMaxNFAStates = 200000;
constexpr std::size_t kMaxDFAStates = 20000;
constexpr std::uint64_t kMaxDFASetBytes = 64ull << 20;
constexpr std::uint64_t kMaxDFAWork = 100'000'000;
// Bytes of a state set that count as one unit of work when a set is made, walked or looked up.
constexpr std::uint64_t kSetBytesPerWork = 8;

class TRE_NFA {
  public:
    TRE_NFA(TREParser& parser, TCharCode lineHeadCode, TCharCode lineTailCode)
        : parser_(parser), headCode_(lineHeadCode), tailCode_(lineTailCode) {}

    void Build();

    // Per state, its transitions in list order (the one added last comes first).
    std::vector<std::vector<TRE_NFATransition>> StateList;
    int EntryState = 0;
    int ExitState = 1;
    bool LineHeadFlag = false;
    bool LineTailFlag = false;

  private:
    int NewState();
    void AddTransition(int from, int to, TCharCode lo, TCharCode hi);
    void GenerateStateList(TRENode* root, int entry, int exit);

    TREParser& parser_;
    TCharCode headCode_;
    TCharCode tailCode_;
};

// A set of NFA state numbers as bits, compared byte by byte.
class TRE_NFAStateSet {
  public:
    explicit TRE_NFAStateSet(std::size_t stateCount) : bits_(stateCount / 8 + 1, 0) {}
    void Include(std::size_t n) { bits_[n / 8] |= static_cast<std::uint8_t>(1u << (n % 8)); }
    bool Has(std::size_t n) const { return (bits_[n / 8] >> (n % 8)) & 1u; }
    bool SameSet(const TRE_NFAStateSet& other) const { return bits_ == other.bits_; }
    // The first member at or after `from`, or `end` when there is none; whole empty bytes are
    // passed over at once (the sets of a large automaton are sparse).
    std::size_t NextMember(std::size_t from, std::size_t end) const {
        while (from < end) {
            const std::uint8_t byte = bits_[from / 8];
            if (byte == 0) {
                from = (from / 8 + 1) * 8;
                continue;
            }
            if ((byte >> (from % 8)) & 1u) return from;
            ++from;
        }
        return end;
    }
    std::size_t Bytes() const { return bits_.size(); }
    std::string_view Data() const {
        return {reinterpret_cast<const char*>(bits_.data()), bits_.size()};
    }

  private:
    std::vector<std::uint8_t> bits_;
};

struct TRE_DFAState;
struct TDFASearchTables;

struct TRE_DFATransition {
    TCharCode Lo = 0;
    TCharCode Hi = 0;
    TRE_DFAState* Target = nullptr;
};

struct TRE_DFAState {
    explicit TRE_DFAState(TRE_NFAStateSet set) : StateSet(std::move(set)) {}
    TRE_NFAStateSet StateSet;
    bool Visited = false;
    bool Accepting = false;
    std::vector<TRE_DFATransition> Transitions; // sorted by Lo after Build
    ~TRE_DFAState() { delete ByteTable.load(); }
    TRE_DFAState(const TRE_DFAState&) = delete;
    TRE_DFAState& operator=(const TRE_DFAState&) = delete;
    // The fast search's lookup for codes below 256, filled on the state's first use there
    // (by whichever search gets there first: one compiled automaton serves several threads).
    mutable std::atomic<const std::array<const TRE_DFAState*, 256>*> ByteTable{nullptr};
};

class TRE_DFA {
  public:
    explicit TRE_DFA(const TRE_NFA& nfa) : nfa_(&nfa) {}

    void Build();

    // The state reached from `state` on `code`, or nullptr.
    static const TRE_DFAState* NextState(const TRE_DFAState* state, TCharCode code) {
        for (const TRE_DFATransition& t : state->Transitions) {
            if (code < t.Lo) return nullptr;
            if (code <= t.Hi) return t.Target;
        }
        return nullptr;
    }

    std::vector<std::unique_ptr<TRE_DFAState>> StateList;
    TRE_DFAState* InitialState = nullptr;
    // The work counted so far (see kMaxDFAWork).
    std::uint64_t Work() const { return work_; }
    bool IsLiteral = false;
    std::string LiteralText;
    // The same chain as codes: the literal routine compares these, so that it finds exactly
    // what the automaton would even for codes that have no byte form of their own.
    std::vector<TCharCode> LiteralCodes;
    bool LineHeadFlag = false;
    bool LineTailFlag = false;

    // What the fast search works out about the automaton on its first search: whether every
    // attempt ends at a line feed (accepting there or not going on), and codes that every
    // match reads (a line without one of them holds no match then).
    // Made once, under SearchOnce, before the first search reads them.
    mutable std::once_flag SearchOnce;
    mutable bool SearchEndsAtLineFeed = false;
    mutable std::vector<TCharCode> SearchRequiredCodes;
    // Sets of byte strings every match holds one string of (see factors.h), found from the
    // parse tree when the pattern is compiled.
    std::vector<std::vector<std::string>> RequiredSets;
    // The fast search's tables (start bytes and pairs, classes of codes), made on the first
    // search and kept, so that a folder of many small files does not build them for each.
    mutable std::shared_ptr<const TDFASearchTables> SearchTables;
    // A number no other automaton of the process has: what a search keeps from file to file
    // (see TFastBuffer) is known to belong to this one, even where another takes its address.
    const std::uint64_t Serial = NextSerial();

  private:
    static std::uint64_t NextSerial();
    void Closure(TRE_NFAStateSet& set);
    TRE_DFAState* FindOrAddState(TRE_NFAStateSet set);
    void DetectLiteral();

    const TRE_NFA* nfa_;
    // Every state by its set, so that finding a state costs the same as scanning the list for
    // an equal set but does not grow with the number of states.
    std::unordered_map<std::string_view, TRE_DFAState*> index_;
    std::uint64_t work_ = 0;
    std::uint64_t setBytes_ = 0;
};

} // namespace engine
