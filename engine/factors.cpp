#include "factors.h"

#include <algorithm>
#include <unordered_map>

namespace engine {
namespace {

// Strings longer than this are not built: a few characters are as rare as many.
constexpr std::size_t kMaxFactorBytes = 24;
// Sets kept per node, the longest strings first.
constexpr std::size_t kMaxSets = 12;

// A code that the reader yields from the same bytes on either cursor (see the fast search).
bool PlainCode(TCharCode c) {
    if (c <= 0xFF)
        return c != 0 && c != '\n' && c != '\r' && !IsDBCSLeadByte(static_cast<unsigned char>(c));
    const unsigned lo = c & 0xFF;
    return IsDBCSLeadByte(static_cast<unsigned char>(c >> 8)) && lo != 0 && lo != '\n' &&
           lo != '\r';
}

using Set = std::vector<std::string>; // sorted, distinct

struct Info {
    // `strings` is every string the node matches (else the node may match anything).
    bool exact = false;
    Set strings;
    // Sets every match of the node holds one string of.
    std::vector<Set> required;
};

void Normalize(Set& s) {
    std::sort(s.begin(), s.end());
    s.erase(std::unique(s.begin(), s.end()), s.end());
}

// Whether a set tells anything: a match could hold its empty string anywhere.
bool Useful(const Set& s) {
    return !s.empty() && !s.front().empty(); // (sorted: an empty string comes first)
}

std::size_t MinLength(const Set& s) {
    std::size_t m = kMaxFactorBytes + 1;
    for (const std::string& x : s)
        m = std::min(m, x.size());
    return m;
}

// The better sets first: longer shortest strings (rarer), then fewer strings.
void KeepBest(std::vector<Set>& sets) {
    std::vector<Set> unique;
    for (Set& s : sets)
        if (Useful(s) && std::find(unique.begin(), unique.end(), s) == unique.end())
            unique.push_back(std::move(s));
    std::stable_sort(unique.begin(), unique.end(), [](const Set& a, const Set& b) {
        const std::size_t la = MinLength(a), lb = MinLength(b);
        if (la != lb) return la > lb;
        return a.size() < b.size();
    });
    if (unique.size() > kMaxSets) unique.resize(kMaxSets);
    sets = std::move(unique);
}

// The sets a node's every match holds, its exact strings included.
std::vector<Set> Held(const Info& i) {
    std::vector<Set> sets = i.required;
    if (i.exact && Useful(i.strings)) sets.push_back(i.strings);
    return sets;
}

Info Leaf(const TRENode* n) {
    Info r;
    if (static_cast<unsigned>(n->Hi) - n->Lo + 1 > kMaxFactorStrings) return r;
    for (unsigned c = n->Lo; c <= n->Hi; ++c) {
        if (!PlainCode(static_cast<TCharCode>(c))) return Info{};
        r.strings.push_back(CodeToStr(static_cast<TCharCode>(c)));
    }
    r.exact = true;
    Normalize(r.strings);
    return r;
}

Info Concat(const Info& a, const Info& b) {
    Info r;
    // What either side holds is held; the parts stay besides their product, since a part
    // may be rarer to look for than the whole (a character of few spellings).
    r.required = Held(a);
    for (Set& s : Held(b))
        r.required.push_back(std::move(s));
    KeepBest(r.required);
    if (a.exact && b.exact && a.strings.size() * b.strings.size() <= kMaxFactorStrings) {
        bool fits = true;
        for (const std::string& x : a.strings)
            for (const std::string& y : b.strings) {
                if (x.size() + y.size() > kMaxFactorBytes) fits = false;
                r.strings.push_back(x + y);
            }
        if (fits) {
            r.exact = true;
            Normalize(r.strings);
        } else {
            r.strings.clear();
        }
    }
    return r;
}

Info Union(const Info& a, const Info& b) {
    Info r;
    if (a.exact && b.exact && a.strings.size() + b.strings.size() <= 2 * kMaxFactorStrings) {
        r.strings = a.strings;
        r.strings.insert(r.strings.end(), b.strings.begin(), b.strings.end());
        Normalize(r.strings);
        if (r.strings.size() <= kMaxFactorStrings) {
            r.exact = true;
            return r;
        }
        r.strings.clear();
    }
    // A set held by both sides is held by either; else the best of each side together.
    std::vector<Set> sa = Held(a), sb = Held(b);
    KeepBest(sa);
    KeepBest(sb);
    for (const Set& s : sa)
        if (std::find(sb.begin(), sb.end(), s) != sb.end()) r.required.push_back(s);
    if (r.required.empty() && !sa.empty() && !sb.empty()) {
        Set both = sa.front();
        both.insert(both.end(), sb.front().begin(), sb.front().end());
        Normalize(both);
        if (both.size() <= kMaxFactorStrings) r.required.push_back(std::move(both));
    }
    return r;
}

} // namespace

std::vector<std::vector<std::string>> RequiredStrings(const TRENode* root) {
    if (!root) return {};
    // Children before parents, without recursion (a long pattern makes a deep tree); a
    // node's result is dropped once its last parent has used it (children are shared).
    std::unordered_map<const TRENode*, int> parents;
    std::vector<const TRENode*> order;
    {
        std::vector<std::pair<const TRENode*, bool>> todo = {{root, false}};
        std::unordered_map<const TRENode*, bool> seen;
        while (!todo.empty()) {
            auto [n, expanded] = todo.back();
            todo.pop_back();
            if (expanded) {
                order.push_back(n);
                continue;
            }
            if (seen[n]) continue;
            seen[n] = true;
            todo.push_back({n, true});
            if (n->Kind == rekConcat || n->Kind == rekUnion || n->Kind == rekStar) {
                for (const TRENode* c : {n->Left, n->Right})
                    if (c) {
                        ++parents[c];
                        todo.push_back({c, false});
                    }
            }
        }
    }
    std::unordered_map<const TRENode*, Info> info;
    auto take = [&](const TRENode* c) -> const Info& { return info[c]; };
    auto release = [&](const TRENode* c) {
        if (c && --parents[c] == 0) info.erase(c);
    };
    for (const TRENode* n : order) {
        Info r;
        switch (n->Kind) {
        case rekCharRange:
            r = Leaf(n);
            break;
        case rekEmpty:
            r.exact = true;
            r.strings = {std::string()};
            break;
        case rekConcat:
            if (n->Left && n->Right) r = Concat(take(n->Left), take(n->Right));
            break;
        case rekUnion:
            if (n->Left && n->Right) r = Union(take(n->Left), take(n->Right));
            break;
        default:
            // A repetition may match nothing, an anchor is a line end: nothing is held.
            break;
        }
        if (n->Kind == rekConcat || n->Kind == rekUnion || n->Kind == rekStar) {
            release(n->Left);
            release(n->Right);
        }
        info[n] = std::move(r);
    }
    std::vector<Set> sets = Held(info[root]);
    KeepBest(sets);
    return sets;
}

} // namespace engine
