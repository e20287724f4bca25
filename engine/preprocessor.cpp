#include "preprocessor.h"

#include "codec.h"
#include "errors.h"

namespace engine {

void TREPreProcessor::Run() {
    output_ = scanner_.Source();
    if (UseSynonymDic) {
        Widen(synonymDics_);
        scanner_.SetSource(output_);
    }
    if (UseFuzzyCharDic) Widen(fuzzyDics_);
}

void TREPreProcessor::MakeTokenList() {
    tokens_.clear();
    for (;;) {
        const int start = scanner_.Position();
        const TREToken kind = scanner_.GetToken();
        if (kind == retEnd) break;
        tokens_.push_back(
            {kind, scanner_.Symbol(), scanner_.HighSymbol(), start, scanner_.Position()});
    }
    tokens_.push_back({});
}

std::string TREPreProcessor::TokenText(const TokenRecord& t) const {
    return scanner_.Source().substr(static_cast<std::size_t>(t.StartPos - 1),
                                    static_cast<std::size_t>(t.EndPos - t.StartPos));
}

void TREPreProcessor::Widen(const std::vector<const TCharDictionary*>& dictionaries) {
    std::string out;
    MakeTokenList();
    bool inClass = false;
    std::size_t i = 0;
    while (i < tokens_.size()) {
        const TokenRecord& t = tokens_[i];
        if (t.Kind == retLBra || t.Kind == retNegLBra) inClass = true;
        if (t.Kind == retRBra) inClass = false;
        if (t.Kind != retChar || inClass) {
            if (t.Kind != retEnd) out += TokenText(t);
            ++i;
            continue;
        }
        // A run of ordinary characters, looked up from each of its characters in turn.
        std::size_t j = i;
        std::vector<TCharCode> run;
        while (tokens_[j].Kind == retChar) {
            run.push_back(tokens_[j].Symbol);
            ++j;
        }
        const std::size_t runStart = i;
        while (i < j) {
            std::optional<TDictMatch> match;
            for (const TCharDictionary* d : dictionaries) {
                match = MatchDictionary(*d, run, i - runStart);
                if (match) break;
            }
            if (match) {
                replacement_ = match->Replacement;
                out += replacement_;
                i += match->Consumed;
            } else {
                out += TokenText(tokens_[i]);
                ++i;
            }
            if (out.size() > kMaxWidenedBytes)
                throw ERegExpParser(cp932::FromUtf8("正規表現が複雑すぎます"), t.StartPos);
        }
    }
    output_ = std::move(out);
}

} // namespace engine
