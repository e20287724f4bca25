// The pattern preprocessor: before a pattern is compiled, runs of ordinary characters are
// widened into alternations of their dictionary rows (synonyms first, then characters), each
// only when its flag is set. Characters inside bracket classes are never widened.
#pragma once

#include "dictionary.h"
#include "scanner.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// A widened pattern longer than this cannot become an automaton (every few bytes of it make a
// node of the parse tree, which holds at most 200000): widening stops there, before the text
// and the work grow any further.
constexpr std::size_t kMaxWidenedBytes = 1'600'000;

class TREPreProcessor {
  public:
    struct TokenRecord {
        TREToken Kind = retEnd;
        TCharCode Symbol = 0;
        TCharCode HighSymbol = 0;
        int StartPos = 0; // the token's text is the source bytes [StartPos, EndPos)
        int EndPos = 0;
    };

    explicit TREPreProcessor(const std::string& pattern) : scanner_(pattern) {}

    void SetSource(const std::string& pattern) { scanner_.SetSource(pattern); }
    // Computes the output text; lexical errors are raised only by a pass that runs, and
    // ERegExpParser ("too complex") when the widened text would exceed kMaxWidenedBytes.
    void Run();

    const std::string& TargetRegExpStr() const { return output_; }
    std::vector<const TCharDictionary*>& SynonymDictList() { return synonymDics_; }
    std::vector<const TCharDictionary*>& FuzzyCharDictList() { return fuzzyDics_; }
    const std::vector<TokenRecord>& Tokens() const { return tokens_; }

    bool UseFuzzyCharDic = false;
    bool UseSynonymDic = false;

  private:
    void MakeTokenList();
    void Widen(const std::vector<const TCharDictionary*>& dictionaries);
    std::string TokenText(const TokenRecord& t) const;

    TREScanner scanner_;
    std::string output_;
    std::vector<const TCharDictionary*> synonymDics_; // shared, not owned
    std::vector<const TCharDictionary*> fuzzyDics_;   // shared, not owned
    std::vector<TokenRecord> tokens_;
    std::string replacement_;
};

} // namespace engine
