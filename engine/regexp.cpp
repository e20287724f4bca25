#include "regexp.h"

#include "codec.h"
#include "errors.h"
#include "factors.h"

namespace engine {

TRegularExpression::TRegularExpression() {
    cache_.push_back(Entry{"", nullptr});
    current_ = 0;
    Compile("");
}

std::vector<std::string> TRegularExpression::CacheKeys() const {
    std::vector<std::string> keys;
    for (const Entry& e : cache_)
        keys.push_back(e.key);
    return keys;
}

void TRegularExpression::SetRegExp(const std::string& pattern) {
    const std::string remembered = pattern;
    pre_.SetSource(pattern);
    pre_.Run(); // an error here leaves everything as it was
    const std::string key = pre_.TargetRegExpStr();
    try {
        for (std::size_t i = 0; i < cache_.size(); ++i) {
            if (cache_[i].key == key) {
                current_ = i; // a hit keeps its place: eviction takes the oldest compilation
                regExp_ = remembered;
                return;
            }
        }
        if (cache_.size() >= kCacheCapacity) cache_.pop_back();
        cache_.insert(cache_.begin() + 1, Entry{key, nullptr});
        current_ = 1;
        Compile(key);
        regExp_ = remembered;
    } catch (...) {
        current_ = 0;
        regExp_.clear();
        throw;
    }
}

void TRegularExpression::ShareCurrentOf(const TRegularExpression& other) {
    if (&other == this) return;
    pre_.UseFuzzyCharDic = other.pre_.UseFuzzyCharDic;
    pre_.UseSynonymDic = other.pre_.UseSynonymDic;
    if (other.HeadCode() != HeadCode() || other.TailCode() != TailCode()) {
        // Its anchors are other codes: the same text makes another automaton here.
        SetRegExp(other.regExp_);
        return;
    }
    const Entry& shared = other.cache_[other.current_];
    std::size_t at = cache_.size();
    for (std::size_t i = 0; i < cache_.size(); ++i)
        if (cache_[i].key == shared.key) at = i;
    if (at == cache_.size()) {
        if (cache_.size() >= kCacheCapacity) cache_.pop_back();
        cache_.insert(cache_.begin() + 1, Entry{shared.key, shared.dfa});
        at = 1;
    } else {
        cache_[at].dfa = shared.dfa;
    }
    current_ = at;
    regExp_ = other.regExp_;
}

void TRegularExpression::Compile(const std::string& key) {
    ++compileCount_;
    try {
        TREParser parser(key);
        parser.Run();
        TRE_NFA nfa(parser, HeadCode(), TailCode());
        lineHeadCode_ = HeadCode();
        lineTailCode_ = TailCode();
        try {
            nfa.Build();
            auto dfa = std::make_unique<TRE_DFA>(nfa);
            dfa->Build();
            dfa->RequiredSets = RequiredStrings(parser.ParseTree().Root);
            cache_[current_].dfa = std::move(dfa);
        } catch (const ETooComplex&) {
            throw ERegExpParser(cp932::FromUtf8("正規表現が複雑すぎます"),
                                static_cast<int>(key.size()) + 1);
        }
    } catch (...) {
        // Entry 0 (the empty pattern) is compiled with the component and never fails.
        if (current_ != 0) cache_.erase(cache_.begin() + static_cast<std::ptrdiff_t>(current_));
        current_ = 0;
        throw;
    }
}

} // namespace engine
