#include "automaton.h"

#include "codec.h"
#include "errors.h"

#include <algorithm>
#include <atomic>
#include <variant>

namespace engine {

// ---- NFA --------------------------------------------------------------------------------

int TRE_NFA::NewState() {
    if (StateList.size() >= kMaxNFAStates) throw ETooComplex();
    StateList.emplace_back();
    return static_cast<int>(StateList.size() - 1);
}

void TRE_NFA::AddTransition(int from, int to, TCharCode lo, TCharCode hi) {
    auto& list = StateList[static_cast<std::size_t>(from)];
    list.insert(list.begin(), TRE_NFATransition{lo, hi, to});
}

void TRE_NFA::Build() {
    StateList.clear();
    LineHeadFlag = LineTailFlag = false;
    EntryState = NewState();
    ExitState = NewState();
    GenerateStateList(parser_.ParseTree().Root, EntryState, ExitState);
}

// The classic construction, node by node. Written with an explicit stack of pending steps
// instead of recursion (a long pattern makes a deep tree); the steps run in the same order as
// the recursive form, so states are numbered and transitions listed the same way.
void TRE_NFA::GenerateStateList(TRENode* root, int entry, int exit) {
    struct Gen {
        TRENode* node;
        int from, to;
    };
    struct Empty {
        int from, to;
    };
    std::vector<std::variant<Gen, Empty>> todo;
    todo.push_back(Gen{root, entry, exit});
    while (!todo.empty()) {
        const auto step = todo.back();
        todo.pop_back();
        if (const auto* e = std::get_if<Empty>(&step)) {
            AddTransition(e->from, e->to, kEmptyTransition, kEmptyTransition);
            continue;
        }
        const Gen g = std::get<Gen>(step);
        TRENode* n = g.node;
        if (!n) throw Exception("This cannot happen in TRE_NFA.GenerateStateList");
        switch (n->Kind) {
        case rekCharRange:
            AddTransition(g.from, g.to, n->Lo, n->Hi);
            break;
        case rekLHead:
            if (g.from == EntryState) {
                LineHeadFlag = true;
                AddTransition(g.from, g.to, headCode_, headCode_);
            } else {
                AddTransition(g.from, g.to, n->Lo, n->Lo);
            }
            break;
        case rekLTail:
            if (g.to == ExitState) {
                LineTailFlag = true;
                AddTransition(g.from, g.to, tailCode_, tailCode_);
            } else {
                AddTransition(g.from, g.to, n->Lo, n->Lo);
            }
            break;
        case rekConcat: {
            const int m = NewState();
            todo.push_back(Gen{n->Right, m, g.to});
            todo.push_back(Gen{n->Left, g.from, m});
            break;
        }
        case rekUnion:
            todo.push_back(Gen{n->Right, g.from, g.to});
            todo.push_back(Gen{n->Left, g.from, g.to});
            break;
        case rekStar: {
            const int s = NewState();
            const int e = NewState();
            todo.push_back(Empty{s, g.to});
            todo.push_back(Empty{e, s});
            todo.push_back(Gen{n->Left, s, e});
            todo.push_back(Empty{g.from, s});
            break;
        }
        case rekEmpty:
            AddTransition(g.from, g.to, kEmptyTransition, kEmptyTransition);
            break;
        default:
            throw Exception("This cannot happen in TRE_NFA.GenerateStateList");
        }
    }
}

// ---- DFA --------------------------------------------------------------------------------

std::uint64_t TRE_DFA::NextSerial() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

void TRE_DFA::Closure(TRE_NFAStateSet& set) {
    const std::size_t count = nfa_->StateList.size();
    // The walk over the set's bytes costs as much as its transitions for a large automaton.
    work_ += set.Bytes() / kSetBytesPerWork + 1;
    std::vector<int> stack;
    for (std::size_t n = set.NextMember(0, count); n < count; n = set.NextMember(n + 1, count)) {
        stack.push_back(static_cast<int>(n));
        while (!stack.empty()) {
            const int s = stack.back();
            stack.pop_back();
            set.Include(static_cast<std::size_t>(s));
            for (const TRE_NFATransition& t : nfa_->StateList[static_cast<std::size_t>(s)]) {
                if (++work_ > kMaxDFAWork) throw ETooComplex();
                if (t.Lo == kEmptyTransition && !set.Has(static_cast<std::size_t>(t.Target))) {
                    set.Include(static_cast<std::size_t>(t.Target));
                    stack.push_back(t.Target);
                }
            }
        }
    }
}

TRE_DFAState* TRE_DFA::FindOrAddState(TRE_NFAStateSet set) {
    work_ += set.Bytes() / kSetBytesPerWork + 1;
    if (auto it = index_.find(set.Data()); it != index_.end()) return it->second;
    if (work_ > kMaxDFAWork) throw ETooComplex();
    if (StateList.size() >= kMaxDFAStates) throw ETooComplex();
    setBytes_ += set.Bytes();
    if (setBytes_ > kMaxDFASetBytes) throw ETooComplex();
    const bool accepting = set.Has(static_cast<std::size_t>(nfa_->ExitState));
    StateList.push_back(std::make_unique<TRE_DFAState>(std::move(set)));
    TRE_DFAState* state = StateList.back().get();
    state->Accepting = accepting;
    index_.emplace(state->StateSet.Data(), state); // the set's bytes live as long as the state
    return state;
}

void TRE_DFA::Build() {
    LineHeadFlag = nfa_->LineHeadFlag;
    LineTailFlag = nfa_->LineTailFlag;
    const std::size_t count = nfa_->StateList.size();

    TRE_NFAStateSet start(count);
    start.Include(static_cast<std::size_t>(nfa_->EntryState));
    Closure(start);
    InitialState = FindOrAddState(std::move(start));

    struct Group {
        TCharCode lo, hi;
        TRE_NFAStateSet set;
    };
    // States are appended as they are found, so an index walk visits them in creation order.
    for (std::size_t k = 0; k < StateList.size(); ++k) {
        TRE_DFAState* state = StateList[k].get();
        state->Visited = true;
        work_ += state->StateSet.Bytes() / kSetBytesPerWork + 1;
        std::vector<Group> groups; // the group created last is the front (the back here)
        for (std::size_t n = state->StateSet.NextMember(0, count); n < count;
             n = state->StateSet.NextMember(n + 1, count)) {
            for (const TRE_NFATransition& t : nfa_->StateList[n]) {
                if (t.Lo == kEmptyTransition) continue;
                auto g = std::find_if(groups.rbegin(), groups.rend(),
                                      [&](const Group& x) { return x.lo == t.Lo && x.hi == t.Hi; });
                work_ += static_cast<std::uint64_t>(groups.size()) + 1;
                if (g != groups.rend()) {
                    g->set.Include(static_cast<std::size_t>(t.Target));
                } else {
                    work_ += (count / 8) / kSetBytesPerWork + 1;
                    groups.push_back(Group{t.Lo, t.Hi, TRE_NFAStateSet(count)});
                    groups.back().set.Include(static_cast<std::size_t>(t.Target));
                }
            }
        }
        if (work_ > kMaxDFAWork) throw ETooComplex();
        // From the front of the group list; each new transition goes to the front of the
        // state's list.
        std::vector<TRE_DFATransition> transitions;
        for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
            Closure(g->set);
            TRE_DFAState* target = FindOrAddState(std::move(g->set));
            transitions.insert(transitions.begin(), TRE_DFATransition{g->lo, g->hi, target});
        }
        std::stable_sort(
            transitions.begin(), transitions.end(),
            [](const TRE_DFATransition& a, const TRE_DFATransition& b) { return a.Lo < b.Lo; });
        state->Transitions = std::move(transitions);
    }
    DetectLiteral();
}

void TRE_DFA::DetectLiteral() {
    IsLiteral = false;
    LiteralText.clear();
    LiteralCodes.clear();
    const TRE_DFAState* s = InitialState;
    // A chain is at most as long as there are states; anything longer is a cycle.
    for (std::size_t steps = 0; steps <= StateList.size(); ++steps) {
        if (s->Transitions.empty()) {
            IsLiteral = true;
            return;
        }
        const TRE_DFATransition& t = s->Transitions.front();
        if (s->Transitions.size() > 1 || t.Lo != t.Hi || s->Accepting) break;
        LiteralText += CodeToStr(t.Lo);
        LiteralCodes.push_back(t.Lo);
        s = t.Target;
    }
    LiteralText.clear();
    LiteralCodes.clear();
}

} // namespace engine
