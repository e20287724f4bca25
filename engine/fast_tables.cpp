// What the fast search looks up in an automaton, worked out once per automaton and shared by
// every search of it: the transitions of single bytes, whether every attempt ends at a line
// feed and which codes every match reads, the bytes that can start an attempt and the classes
// of codes that every state treats alike.
#include "fast_search.h"

#include <mutex>
#include <optional>

namespace engine {
namespace fastgrep {

const std::array<const TRE_DFAState*, 256>* MakeByteTable(const TRE_DFAState* s) {
    auto table = std::make_unique<std::array<const TRE_DFAState*, 256>>();
    for (unsigned c = 0; c < 256; ++c)
        (*table)[c] = TRE_DFA::NextState(s, static_cast<TCharCode>(c));
    // Another thread may have been quicker: its table (the same) is kept then.
    const std::array<const TRE_DFAState*, 256>* expected = nullptr;
    if (s->ByteTable.compare_exchange_strong(expected, table.get(), std::memory_order_acq_rel))
        return table.release();
    return expected;
}

namespace {

// A code that the reader yields from the same bytes on either of its cursors, so that a match
// of it is always a match of its bytes.
bool PlainCode(TCharCode c) {
    if (c <= 0xFF)
        return c != 0 && c != '\n' && c != '\r' &&
               !cp932::IsLeadByte(static_cast<unsigned char>(c));
    const unsigned lo = c & 0xFF;
    return cp932::IsLeadByte(static_cast<unsigned char>(c >> 8)) && lo != 0 && lo != '\n' &&
           lo != '\r';
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
            } else if (cp932::IsLeadByte(static_cast<unsigned char>(c >> 8))) {
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
            if (cp932::IsLeadByte(static_cast<unsigned char>(h))) first[h] = true;
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
            else if (cp932::IsLeadByte(static_cast<unsigned char>(b0)) && b1 != '\n' && b1 != '\r')
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
                if (cp932::IsLeadByte(static_cast<unsigned char>(c))) {
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
                if (!cp932::IsLeadByte(static_cast<unsigned char>(hi)) || lo == '\n' ||
                    lo == '\r' || lo == 0)
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

} // namespace

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

} // namespace fastgrep
} // namespace engine
