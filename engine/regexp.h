// TRegularExpression: everything between a pattern string and a ready deterministic automaton:
// the preprocessor with its dictionary lists, the compilation, and a cache of 30 compiled
// automata keyed by the preprocessed text. TGrep derives from it.
#pragma once

#include "automaton.h"
#include "preprocessor.h"

#include <memory>
#include <string>
#include <vector>

namespace engine {

class TRegularExpression {
  public:
    static constexpr std::size_t kCacheCapacity = 30;

    TRegularExpression();
    virtual ~TRegularExpression() = default;
    TRegularExpression(const TRegularExpression&) = delete;
    TRegularExpression& operator=(const TRegularExpression&) = delete;

    // Makes `pattern` current: preprocessed, then found in the cache or compiled.
    // ERegExpParser for a malformed pattern: a preprocessing error leaves everything as it
    // was; a compilation error leaves the empty pattern current and RegExp() empty.
    virtual void SetRegExp(const std::string& pattern);
    const std::string& RegExp() const { return regExp_; }

    // The codes that the line anchors "^" and "$" become.
    virtual TCharCode HeadCode() const { return 0xFFFD; }
    virtual TCharCode TailCode() const { return 0xFFFE; }

    // The current pattern as compiled: preprocessed (widened by the dictionaries).
    const std::string& CompiledText() const { return cache_[current_].key; }
    const TRE_DFA& CurrentAutomaton() const { return *cache_[current_].dfa; }
    bool IsLiteral() const { return CurrentAutomaton().IsLiteral; }
    const std::string& LiteralText() const { return CurrentAutomaton().LiteralText; }
    static const TRE_DFAState* NextState(const TRE_DFAState* state, TCharCode code) {
        return TRE_DFA::NextState(state, code);
    }
    std::vector<const TCharDictionary*>& FuzzyCharDics() { return pre_.FuzzyCharDictList(); }

    // Makes the other component's current pattern current here too, with its dictionary
    // flags, sharing its compiled automaton instead of compiling it again (a worker thread's
    // grep takes the pattern its caller compiled). The automaton is only read by searches.
    virtual void ShareCurrentOf(const TRegularExpression& other);

    // For tests and diagnostics: the cache's keys, entry 0 first, and the current index.
    std::vector<std::string> CacheKeys() const;
    std::size_t CurrentIndex() const { return current_; }
    int CompileCount() const { return compileCount_; }

  protected:
    virtual void Compile(const std::string& key);
    TREPreProcessor& PreProcessor() { return pre_; }
    const TREPreProcessor& PreProcessor() const { return pre_; }

  private:
    struct Entry {
        std::string key;
        std::shared_ptr<const TRE_DFA> dfa;
    };

    TCharCode lineHeadCode_ = 0;
    TCharCode lineTailCode_ = 0;
    std::string regExp_;
    std::vector<Entry> cache_;
    std::size_t current_ = 0;
    TREPreProcessor pre_{""};
    int compileCount_ = 0;
};

} // namespace engine
