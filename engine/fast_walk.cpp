// The fast search's one-pass walk: the attempts that start at every character of a stretch
// run side by side as one set of states, with the steps between sets kept for the next files of
// the automaton.
#include "fast_search.h"

namespace engine {
namespace fastgrep {
namespace {

// A packed step: the set reached, and what happened on the way.
constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
constexpr std::uint32_t kOldAccepts = 1u << 31; // an attempt already running accepted
constexpr std::uint32_t kNewAccepts = 1u << 30; // only the attempt started here accepted
constexpr std::uint32_t kOldLives = 1u << 29;   // an attempt already running goes on
constexpr std::uint32_t kSetMask = (1u << 29) - 1;
constexpr std::size_t kMaxStepEntries = std::size_t(1) << 22;

} // namespace

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
            if (b0 >= 0x20 && b0 != 0x7F && !cp932::IsLeadByte(b0)) {
                adv0 = 1;
            } else if (cp932::IsLeadByte(b0) && d[q + 1] != '\n' && d[q + 1] != '\r') {
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
        } else if (cp932::IsLeadByte(b) && d_[q + 1] != '\n' && d_[q + 1] != '\r') {
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

} // namespace fastgrep
} // namespace engine
