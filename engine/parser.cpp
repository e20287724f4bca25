#include "parser.h"

#include "codec.h"
#include "errors.h"

#include <algorithm>

namespace engine {

// ---- parse tree -------------------------------------------------------------------------

void TREParseTree::Clear() {
    nodes_.clear();
    leaves_.clear();
    Root = nullptr;
}

void TREParseTree::CheckSize() const {
    if (nodes_.size() + leaves_.size() >= kMaxTreeNodes) throw ETooComplex();
}

TRENode* TREParseTree::NewNode(TRENodeKind kind, TRENode* left, TRENode* right) {
    CheckSize();
    auto n = std::make_unique<TRENode>();
    n->Kind = kind;
    n->Left = left;
    n->Right = right;
    nodes_.push_back(std::move(n));
    return nodes_.back().get();
}

TRENode* TREParseTree::CharRange(TCharCode lo, TCharCode hi) {
    for (const auto& leaf : leaves_)
        if (leaf->Lo == lo && leaf->Hi == hi) return leaf.get();
    CheckSize();
    auto n = std::make_unique<TRENode>();
    n->Kind = rekCharRange;
    n->Lo = lo;
    n->Hi = hi;
    leaves_.push_back(std::move(n));
    return leaves_.back().get();
}

TRENode* TREParseTree::RangeIfValid(long lo, long hi) {
    if (hi < lo || lo < 0 || hi > 0xFFFF) return nullptr;
    return CharRange(static_cast<TCharCode>(lo), static_cast<TCharCode>(hi));
}

TRENode* TREParseTree::HeadNode(TCharCode code) {
    TRENode* n = NewNode(rekLHead, nullptr, nullptr);
    n->Lo = n->Hi = code;
    return n;
}

TRENode* TREParseTree::TailNode(TCharCode code) {
    TRENode* n = NewNode(rekLTail, nullptr, nullptr);
    n->Lo = n->Hi = code;
    return n;
}

TRENode* TREParseTree::AnyChar() {
    TRENode* a = CharRange(0x01, 0x09);
    TRENode* b = CharRange(0x0B, 0x0C);
    TRENode* c = CharRange(0x0E, kLastDataCode);
    return NewNode(rekUnion, NewNode(rekUnion, a, b), c);
}

void TREParseTree::ConvertToUnion(TRENode* leaf, TRENode* left, TRENode* right) {
    if (!left || !right) throw Exception(cp932::FromUtf8("TREParseTree : 致命的エラー"));
    auto it = std::find_if(leaves_.begin(), leaves_.end(),
                           [leaf](const auto& p) { return p.get() == leaf; });
    if (it == leaves_.end()) throw Exception(cp932::FromUtf8("TREParseTree : 致命的エラー"));
    leaf->Kind = rekUnion;
    leaf->Left = left;
    leaf->Right = right;
    leaf->Lo = leaf->Hi = 0;
    nodes_.push_back(std::move(*it));
    leaves_.erase(it);
}

void TREParseTree::RemoveLeafAt(std::size_t i) {
    leaves_.erase(leaves_.begin() + static_cast<std::ptrdiff_t>(i));
}

bool TREParseTree::SplitPair(TRENode* a, TRENode* b) {
    TRENode* x = (a->Lo <= b->Lo) ? a : b;
    TRENode* y = (x == a) ? b : a;
    if (y->Lo > x->Hi || (x->Lo == y->Lo && x->Hi == y->Hi)) return false;
    const long m = std::min(x->Hi, y->Hi);
    const long big = std::max(x->Hi, y->Hi);
    const bool xIsMax = x->Hi == big;
    const long xLo = x->Lo, yLo = y->Lo;
    TRENode* before = RangeIfValid(xLo, yLo - 1);
    TRENode* common = RangeIfValid(yLo, m);
    TRENode* after = RangeIfValid(m + 1, big);
    if (!before) {
        if (xIsMax)
            ConvertToUnion(x, common, after); // common is y
        else
            ConvertToUnion(y, common, after); // common is x
    } else if (!after) {
        ConvertToUnion(x, before, common); // same hi; common is y
    } else if (xIsMax) {
        ConvertToUnion(x, NewNode(rekUnion, before, common), after); // x contains y
    } else {
        ConvertToUnion(x, before, common); // partial overlap
        ConvertToUnion(y, common, after);
    }
    return true;
}

void TREParseTree::MakeLeavesDisjoint() {
    std::uint64_t work = 0;
    std::size_t i = 0;
    while (i < leaves_.size()) {
        bool split = false;
        for (std::size_t j = i + 1; j < leaves_.size(); ++j) {
            if (++work > kMaxSplitWork) throw ETooComplex();
            if (SplitPair(leaves_[j].get(), leaves_[i].get())) {
                split = true;
                break;
            }
        }
        if (!split) ++i;
    }
}

// ---- parser -----------------------------------------------------------------------------

void TREParser::Fail(const char* utf8Message) const {
    throw ERegExpParser(cp932::FromUtf8(utf8Message), scanner_.Position());
}

void TREParser::Run() {
    try {
        tree_.Clear();
        scanner_.GetToken();
        tree_.Root = Regex();
        if (scanner_.Token() != retEnd) Fail("正規表現に余分な文字があります");
        tree_.MakeLeavesDisjoint();
    } catch (const ETooComplex&) {
        Fail("正規表現が複雑すぎます");
    }
}

TRENode* TREParser::Regex() {
    TRENode* node = Term();
    while (scanner_.Token() == retUnion) {
        scanner_.GetToken();
        node = tree_.NewNode(rekUnion, node, Term());
    }
    return node;
}

TRENode* TREParser::Term() {
    auto ends = [](TREToken t) { return t == retUnion || t == retRPar || t == retEnd; };
    if (ends(scanner_.Token())) return tree_.NewNode(rekEmpty, nullptr, nullptr);
    TRENode* node = Factor();
    while (!ends(scanner_.Token()))
        node = tree_.NewNode(rekConcat, node, Factor());
    return node;
}

TRENode* TREParser::Factor() {
    TRENode* p = Primary();
    switch (scanner_.Token()) {
    case retStar:
        scanner_.GetToken();
        return tree_.NewNode(rekStar, p, nullptr);
    case retPlus:
        scanner_.GetToken();
        return tree_.NewNode(rekConcat, p, tree_.NewNode(rekStar, p, nullptr));
    case retQMark:
        scanner_.GetToken();
        return tree_.NewNode(rekUnion, p, tree_.NewNode(rekEmpty, nullptr, nullptr));
    default:
        return p;
    }
}

TRENode* TREParser::Primary() {
    TRENode* node = nullptr;
    switch (scanner_.Token()) {
    case retChar:
        node = tree_.CharRange(scanner_.Symbol(), scanner_.Symbol());
        scanner_.GetToken();
        return node;
    case retLPar:
        // Deep nesting would exhaust the stack of this recursive descent.
        if (++depth_ > kMaxGroupDepth) throw ETooComplex();
        scanner_.GetToken();
        node = Regex();
        if (scanner_.Token() != retRPar) Fail("右(閉じ)括弧が必要です");
        --depth_;
        scanner_.GetToken();
        return node;
    case retLBra:
    case retNegLBra:
        node = scanner_.Token() == retLBra ? CharClass(tree_) : NegativeCharClass();
        if (scanner_.Token() != retRBra) Fail("右ブラケット\"]\"が必要です");
        scanner_.GetToken();
        return node;
    case retDot:
        node = tree_.AnyChar();
        scanner_.GetToken();
        return node;
    case retLHead:
        node = tree_.HeadNode(scanner_.Symbol());
        scanner_.GetToken();
        return node;
    case retLTail:
        node = tree_.TailNode(scanner_.Symbol());
        scanner_.GetToken();
        return node;
    default:
        Fail("普通の文字、または左括弧\"(\"が必要です");
    }
}

TRENode* TREParser::CharClass(TREParseTree& tree) {
    if (scanner_.GetToken() == retRBra) Fail("不正なキャラクタクラス指定です。");
    TRENode* node = nullptr;
    while (scanner_.Token() == retChar || scanner_.Token() == retCharRange) {
        const TCharCode hi =
            scanner_.Token() == retChar ? scanner_.Symbol() : scanner_.HighSymbol();
        TRENode* item = tree.CharRange(scanner_.Symbol(), hi);
        node = node ? tree.NewNode(rekUnion, node, item) : item;
        scanner_.GetToken();
    }
    return node;
}

TRENode* TREParser::NegativeCharClass() {
    TREParseTree t, s;
    CharClass(t);
    t.MakeLeavesDisjoint();
    s.AnyChar();
    for (const auto& l : t.Leaves()) {
        const long lLo = l->Lo, lHi = l->Hi;
        std::size_t i = 0;
        while (i < s.Leaves().size()) {
            const long pLo = s.Leaves()[i]->Lo, pHi = s.Leaves()[i]->Hi;
            if (lHi < pLo || lLo > pHi) {
                ++i;
                continue;
            }
            s.RangeIfValid(pLo, lLo - 1);
            s.RangeIfValid(lHi + 1, pHi);
            s.RemoveLeafAt(i);
        }
    }
    // A class that excludes every character would match nothing at all: reject it like an
    // empty class, so that the user learns about it instead of getting a silent empty result.
    if (s.Leaves().empty()) Fail("不正なキャラクタクラス指定です。");
    TRENode* node = nullptr;
    for (const auto& leaf : s.Leaves()) {
        TRENode* item = tree_.CharRange(leaf->Lo, leaf->Hi);
        node = node ? tree_.NewNode(rekUnion, node, item) : item;
    }
    return node;
}

} // namespace engine
