#include "keyword_spans.h"

#include "charcode.h"
#include "codec.h"

#include <algorithm>

namespace engine {

TKeywordSpans::TKeywordSpans(const std::vector<std::string>& keywords, bool fuzzy) {
    for (std::size_t k = 0; k < keywords.size(); ++k) {
        if (keywords[k].empty()) continue;
        auto grep = std::make_unique<TGrep>();
        try {
            grep->SetUseFuzzyCharDic(fuzzy);
            grep->SetRegExp(keywords[k]);
        } catch (const Exception&) {
            continue;
        }
        patterns_.push_back(std::move(grep));
        index_.push_back(k);
    }
}

std::vector<TKeywordSpans::TSpan> TKeywordSpans::Find(std::string_view line) const {
    // The line as the grep reads it: a line feed before and after, characters decoded as the
    // reader decodes them (a lead byte before the end stands alone).
    std::vector<TCharCode> codes;
    std::vector<std::size_t> at; // the byte where each code starts, in the line
    codes.push_back(kLineFeed);
    at.push_back(0);
    for (std::size_t i = 0; i < line.size();) {
        const unsigned char b = static_cast<unsigned char>(line[i]);
        at.push_back(i);
        if (cp932::IsLeadByte(b) && i + 1 < line.size()) {
            codes.push_back(
                static_cast<TCharCode>(b << 8 | static_cast<unsigned char>(line[i + 1])));
            i += 2;
        } else {
            codes.push_back(b);
            i += 1;
        }
    }
    codes.push_back(kLineFeed);
    at.push_back(line.size());
    at.push_back(line.size());

    std::vector<TSpan> spans;
    for (std::size_t p = 0; p < patterns_.size(); ++p) {
        const TRE_DFA& dfa = patterns_[p]->CurrentAutomaton();
        if (!dfa.InitialState) continue;
        for (std::size_t s = 0; s < codes.size();) {
            std::size_t longest = s;
            const TRE_DFAState* state = dfa.InitialState;
            for (std::size_t e = s; e < codes.size() && state; ++e) {
                state = TRE_DFA::NextState(state, codes[e]);
                if (state && state->Accepting) longest = e + 1;
            }
            // (The line feeds around the line take no bytes: a match of them alone is no span.)
            const std::size_t from = at[s], to = at[longest];
            if (longest > s && to > from) {
                spans.push_back({from, to, index_[p]});
                s = longest;
            } else {
                ++s;
            }
        }
    }
    std::sort(spans.begin(), spans.end(), [](const TSpan& a, const TSpan& b) {
        return a.start != b.start ? a.start < b.start : a.keyword < b.keyword;
    });
    return spans;
}

std::vector<TKeywordSpans::TSpan> TKeywordSpans::Merged(std::vector<TSpan> spans) {
    std::sort(spans.begin(), spans.end(),
              [](const TSpan& a, const TSpan& b) { return a.start < b.start; });
    std::vector<TSpan> out;
    for (const TSpan& s : spans) {
        if (!out.empty() && s.start <= out.back().end)
            out.back().end = std::max(out.back().end, s.end);
        else
            out.push_back(s);
    }
    return out;
}

} // namespace engine
