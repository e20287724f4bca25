// The strings every match holds: which sets of them the fast search looks for (the cheapest in
// the first data), where one of them occurs next, the lines that lack one, and a literal's
// rarest byte or pair of bytes.
#include "fast_search.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace engine {
namespace fastgrep {

namespace {

// The strings of `r` as a tree of bytes: each node's edges in one run, sorted by byte.
void BuildTrie(Required& r) {
    // (The strings are sorted: a node's children come in the order of their bytes, and every
    // string shares its path with the one before it as far as they agree.)
    struct Building {
        std::vector<std::pair<unsigned char, std::size_t>> children;
        bool ends = false;
    };
    std::vector<Building> nodes(1);
    for (const std::string& s : r.strings) {
        std::size_t node = 0;
        for (const char c : s) {
            const auto b = static_cast<unsigned char>(c);
            auto& children = nodes[node].children;
            if (!children.empty() && children.back().first == b) {
                node = children.back().second;
            } else {
                children.emplace_back(b, nodes.size());
                node = nodes.size();
                nodes.emplace_back();
            }
        }
        nodes[node].ends = true;
    }
    r.trie.resize(nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        r.trie[k].firstEdge = static_cast<std::uint32_t>(r.trieEdges.size());
        r.trie[k].edges = static_cast<std::uint16_t>(nodes[k].children.size());
        r.trie[k].ends = nodes[k].ends;
        for (const auto& [b, to] : nodes[k].children)
            r.trieEdges.push_back({b, static_cast<std::uint32_t>(to)});
    }
}

} // namespace

bool Required::StringAt(const unsigned char* d, std::size_t p, std::size_t n) const {
    std::uint32_t node = 0;
    for (std::size_t q = p;; ++q) {
        const TrieNode& t = trie[node];
        if (t.ends) return true;
        if (q >= n) return false;
        const TrieEdge* e = trieEdges.data() + t.firstEdge;
        const TrieEdge* end = e + t.edges;
        while (e < end && e->byte != d[q])
            ++e;
        if (e == end) return false;
        node = e->to;
    }
}

// Sets up the search for one set of strings; the byte counts are those of the first data.
Required MakeRequired(std::vector<std::string> strings, const std::size_t (&count)[256],
                      const std::function<std::size_t(unsigned)>& pairCount, std::size_t skip) {
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
    r.skip = skip;
    for (const std::string& b : r.strings) {
        const unsigned char x = static_cast<unsigned char>(b[skip]);
        r.first[x] = true;
        if (b.size() == skip + 1) {
            if (std::find(sp.singles.begin(), sp.singles.end(), x) == sp.singles.end())
                sp.singles.push_back(x);
        } else {
            const std::array<unsigned char, 2> xy = {x, static_cast<unsigned char>(b[skip + 1])};
            if (std::find(sp.pairs.begin(), sp.pairs.end(), xy) == sp.pairs.end())
                sp.pairs.push_back(xy);
        }
    }
    if (skip > 0) BuildTrie(r);
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
    std::vector<std::vector<std::string>> sets = RequiredSetsOf(dfa_);
    if (sets.empty()) return;
    // What looking for a set costs in the sample: every place its search stops to compare (a
    // string found there lets a line through, which costs more). A set is worth it when its
    // search stops at most half as often as the search for the starts of attempts, which runs
    // anyway and whose every stop costs more (a keyword found on most lines, or whose
    // spellings begin with common kana, is found as fast by its starts alone); at most twice
    // as often when a start costs the rest of its line.
    const std::size_t sample = std::min<std::size_t>(n_, 16384);
    const std::size_t whole = n_;
    n_ = sample;
    std::size_t starts = 0;
    for (std::size_t p = NextCandidate(0); p < n_ && starts < sample / 4; p = NextCandidate(p + 1))
        ++starts;
    n_ = whole;
    required_ = ChooseSets(std::move(sets), d_, sample, longAttempts_ ? 2 * starts : starts / 2);
}

std::vector<std::vector<std::string>> RequiredSetsOf(const TRE_DFA& dfa) {
    // Every set the pattern is known to need, then every code.
    std::vector<std::vector<std::string>> sets = dfa.RequiredSets;
    for (TCharCode c : dfa.SearchRequiredCodes) {
        std::vector<std::string> one = {CodeToStr(c)};
        if (std::find(sets.begin(), sets.end(), one) == sets.end()) sets.push_back(one);
    }
    return sets;
}

std::vector<Required> ChooseSets(std::vector<std::vector<std::string>> sets, const unsigned char* d,
                                 std::size_t sample, std::size_t stopLimit, std::size_t maxSkip) {
    std::size_t count[256] = {};
    for (std::size_t i = 0; i < sample; ++i)
        ++count[d[i]];
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
            const unsigned key = static_cast<unsigned>(d[i]) << 8 | d[i + 1];
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
        std::size_t shortest = static_cast<std::size_t>(-1);
        for (const std::string& x : set)
            shortest = std::min(shortest, x.size());
        std::optional<std::pair<std::size_t, Required>> best;
        for (std::size_t skip = 0; skip <= maxSkip && (skip == 0 || set.size() > 1); ++skip) {
            if (skip >= shortest) break;
            Required r = MakeRequired(set, count, pairCount, skip);
            if (r.strings.size() > 1 && !(r.firsts.usable && VectorLevel() > 0)) continue;
            std::size_t stops = 0, found = 0;
            // (Several strings cost more at every stop: a quarter of the starts at most.)
            const std::size_t most = r.strings.size() > 1 ? stopLimit / 2 : stopLimit;
            const auto worth = [&] { return stops <= most && stops + 4 * found <= scoreLimit; };
            for (std::size_t p = FindRequired(r, d, sample, 0, &stops); p < sample && worth();
                 p = FindRequired(r, d, sample, p + 1, &stops))
                ++found;
            if (worth() && (!best || stops + 4 * found < best->first))
                best.emplace(stops + 4 * found, std::move(r));
        }
        if (best) scored.push_back(std::move(*best));
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
    std::vector<Required> chosen;
    for (auto& scoredSet : scored) {
        Required& r = scoredSet.second;
        if (chosen.size() >= kMaxRequired) break;
        if (std::none_of(chosen.begin(), chosen.end(),
                         [&](const Required& t) { return implies(t, r); }))
            chosen.push_back(std::move(r));
    }
    return chosen;
}

std::size_t FindRequired(const Required& req, const unsigned char* d, std::size_t n,
                         std::size_t from, std::size_t* stops) {
    if (req.strings.size() > 1) {
        const bool vectors = req.firsts.usable && VectorLevel() > 0;
        for (std::size_t i = from + req.skip; i < n; ++i) {
            if (vectors) {
                i = FindStartVector(req.firsts, d, i, n);
                if (i >= n) break;
            }
            if (!req.first[d[i]]) continue;
            if (stops) ++*stops;
            const char* at = reinterpret_cast<const char*>(d + i);
            if (req.skip > 0) {
                if (req.StringAt(d, i - req.skip, n)) return i - req.skip;
                continue;
            }
            // The strings that begin with this byte, or with this byte and the next (sorted).
            const std::string_view one(at, 1), two(at, 2);
            if (std::binary_search(req.strings.begin(), req.strings.end(), one)) return i;
            for (auto s = std::lower_bound(req.strings.begin(), req.strings.end(), two);
                 s != req.strings.end() && s->compare(0, 2, two) == 0; ++s)
                if (i + s->size() <= n && std::memcmp(at, s->data(), s->size()) == 0) return i;
        }
        return n;
    }
    const std::string& bytes = req.strings.front();
    const std::size_t len = bytes.size();
    const std::size_t k = req.rare;
    if (!req.pair.pairs.empty()) {
        const unsigned char a = req.pair.pairs[0][0], b = req.pair.pairs[0][1];
        for (std::size_t r = from + k; r < n;) {
            std::size_t i = FindStartVector(req.pair, d, r, n);
            while (i < n && !(d[i] == a && d[i + 1] == b))
                ++i;
            if (i >= n) return n;
            if (stops) ++*stops;
            const std::size_t p = i - k;
            if (p + len <= n && std::memcmp(d + p, bytes.data(), len) == 0) return p;
            r = i + 1;
        }
        return n;
    }
    const unsigned char rare = static_cast<unsigned char>(bytes[k]);
    for (std::size_t r = from + k; r < n; ++r) {
        const void* hit = std::memchr(d + r, rare, n - r);
        if (!hit) return n;
        if (stops) ++*stops;
        r = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d);
        const std::size_t p = r - k;
        if (p + len <= n && std::memcmp(d + p, bytes.data(), len) == 0) return p;
    }
    return n;
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
            r.at = FindRequired(r, d_, n_, p);
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

} // namespace fastgrep
} // namespace engine
