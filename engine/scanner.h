// The pattern scanner: turns a pattern into tokens, with one mode outside bracket classes and
// one inside them. Every lexical error of a pattern is raised here as ERegExpParser.
#pragma once

#include "charcode.h"

#include <cstdint>
#include <string>

namespace engine {

enum TREToken : std::uint8_t {
    retChar = 0,      // an ordinary character or an escape
    retCharRange = 1, // inside a class: Symbol .. HighSymbol
    retUnion = 2,
    retLPar = 3,
    retRPar = 4,
    retStar = 5,
    retPlus = 6,
    retQMark = 7,
    retLBra = 8,
    retNegLBra = 9,
    retRBra = 10,
    retDot = 11,
    retLHead = 12,
    retLTail = 13,
    retEnd = 14,
};

class TREScanner {
  public:
    explicit TREScanner(const std::string& pattern) { SetSource(pattern); }
    virtual ~TREScanner() = default;

    // Starts over at the first byte, outside any class.
    void SetSource(const std::string& pattern);
    TREToken GetToken();

    TREToken Token() const { return token_; }
    TCharCode Symbol() const { return symbol_; }
    TCharCode HighSymbol() const { return highSymbol_; }
    int Position() const { return position_; }
    const std::string& Source() const { return pattern_; }

  protected:
    virtual TREToken GetTokenStd();
    virtual TREToken GetTokenInClass();

  private:
    TCharCode ParseEscape();
    TCharCode ParseHex();
    TCharCode ParseOctal();
    [[noreturn]] void Fail(const char* utf8Message) const;

    std::string pattern_;
    int position_ = 1;
    TREToken token_ = retEnd;
    TCharCode symbol_ = 0;
    TCharCode highSymbol_ = 0;
    bool inClass_ = false;
};

} // namespace engine
