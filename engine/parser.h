// The parse tree and the recursive-descent parser. Leaves are character ranges, one record per
// distinct range; after parsing they are split until no two overlap, every split leaf becoming
// (in place) a union of its pieces, so that the automaton builder can group transitions by
// exact range equality.
#pragma once

#include "charcode.h"
#include "scanner.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace engine {

enum TRENodeKind : std::uint8_t {
    rekCharRange = 0, // a leaf: one character in Lo..Hi
    rekLHead = 1,     // "^": an anchor at the start of the pattern, else a literal "^"
    rekLTail = 2,     // "$": an anchor at the end of the pattern, else a literal "$"
    rekConcat = 3,
    rekUnion = 4,
    rekStar = 5,
    rekEmpty = 6,
};

struct TRENode {
    TRENodeKind Kind = rekEmpty;
    TRENode* Left = nullptr;
    TRENode* Right = nullptr;
    TCharCode Lo = 0;
    TCharCode Hi = 0;
};

// Raised when a pattern would need more than the engine allows (tree, automaton or work);
// the regular-expression component turns it into ERegExpParser.
struct ETooComplex : std::runtime_error {
    ETooComplex() : std::runtime_error("pattern too complex") {}
};

// Limits that keep a contrived pattern from hanging the program or exhausting memory.
constexpr std::size_t kMaxTreeNodes = 200000;
constexpr int kMaxGroupDepth = 500;
constexpr std::uint64_t kMaxSplitWork = 50'000'000;

class TREParseTree {
  public:
    TREParseTree() = default;
    virtual ~TREParseTree() = default;
    TREParseTree(const TREParseTree&) = delete;
    TREParseTree& operator=(const TREParseTree&) = delete;

    void Clear();
    TRENode* NewNode(TRENodeKind kind, TRENode* left, TRENode* right);
    // The leaf with exactly this range, created when there is none yet.
    TRENode* CharRange(TCharCode lo, TCharCode hi);
    // Nothing (nullptr) for an empty range, including one outside 0..0xFFFF.
    TRENode* RangeIfValid(long lo, long hi);
    TRENode* HeadNode(TCharCode code);
    TRENode* TailNode(TCharCode code);
    // Every code but 0, LF, CR and those above 0xFCFC.
    virtual TRENode* AnyChar();
    void ConvertToUnion(TRENode* leaf, TRENode* left, TRENode* right);
    void MakeLeavesDisjoint();
    void RemoveLeafAt(std::size_t i);

    TRENode* Root = nullptr;
    const std::vector<std::unique_ptr<TRENode>>& Leaves() const { return leaves_; }
    const std::vector<std::unique_ptr<TRENode>>& Nodes() const { return nodes_; }

  private:
    bool SplitPair(TRENode* a, TRENode* b);
    void CheckSize() const;

    std::vector<std::unique_ptr<TRENode>> nodes_;
    std::vector<std::unique_ptr<TRENode>> leaves_;
};

class TREParser {
  public:
    explicit TREParser(const std::string& pattern) : scanner_(pattern) {}

    // Parses the whole pattern; ERegExpParser when it is malformed.
    void Run();
    TREParseTree& ParseTree() { return tree_; }

  private:
    TRENode* Regex();
    TRENode* Term();
    TRENode* Factor();
    TRENode* Primary();
    TRENode* CharClass(TREParseTree& tree);
    TRENode* NegativeCharClass();
    [[noreturn]] void Fail(const char* utf8Message) const;

    TREParseTree tree_;
    TREScanner scanner_;
    int depth_ = 0;
};

} // namespace engine
