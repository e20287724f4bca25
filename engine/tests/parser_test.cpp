#include "parser.h"

#include "codec.h"
#include "errors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

namespace {

using namespace engine;

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

std::string Hex(TCharCode c) {
    char b[8];
    std::snprintf(b, sizeof b, "%X", c);
    return b;
}

// A tree as text: leaves as hex ranges, (L R) concatenation, (L|R) union, L* star, () empty.
std::string Dump(const TRENode* n) {
    switch (n->Kind) {
    case rekCharRange:
        return n->Lo == n->Hi ? Hex(n->Lo) : Hex(n->Lo) + "-" + Hex(n->Hi);
    case rekLHead:
        return "^";
    case rekLTail:
        return "$";
    case rekConcat:
        return "(" + Dump(n->Left) + " " + Dump(n->Right) + ")";
    case rekUnion:
        return "(" + Dump(n->Left) + "|" + Dump(n->Right) + ")";
    case rekStar:
        return Dump(n->Left) + "*";
    case rekEmpty:
        return "()";
    }
    return "?";
}

std::string Leaves(const TREParseTree& t) {
    std::string s;
    for (const auto& l : t.Leaves())
        s += (s.empty() ? "" : " ") + Dump(l.get());
    return s;
}

struct Parsed {
    std::string tree, leaves;
};

Parsed Parse(const std::string& pattern) {
    TREParser p(pattern);
    p.Run();
    return {Dump(p.ParseTree().Root), Leaves(p.ParseTree())};
}

TEST(Parser, PatternsToTrees) {
    struct Case {
        std::string pattern;
        const char* tree;
        const char* leaves;
    } cases[] = {
        {"", "()", ""},
        {"()", "()", ""},
        {"|", "(()|())", ""},
        {"ab|c", "((61 62)|63)", "61 62 63"},
        {"a+", "(61 61*)", "61"},
        {"a?", "(61|())", "61"},
        {"aa", "(61 61)", "61"},
        {"^a$", "((^ 61) $)", "61"},
        {"[abc]", "((61|62)|63)", "61 62 63"},
        {"[a-z].", "(61-7A ((1-9|B-C)|((E-60|61-7A)|7B-FCFC)))", "61-7A 1-9 B-C E-60 7B-FCFC"},
        {"[^a]", "(((1-9|B-C)|E-60)|62-FCFC)", "1-9 B-C E-60 62-FCFC"},
        {"[^\\x01-\\x09]", "(B-C|E-FCFC)", "B-C E-FCFC"},
        {"[^\\n]", "((1-9|B-C)|E-FCFC)", "1-9 B-C E-FCFC"},
        {"[^a-c][b-d]", "", "1-9 B-C E-60 62-63 64 65-FCFC"},
        {"[a-f][d-k]", "", "61-63 64-66 67-6B"},
        {"[a-z][a-f]", "((61-66|67-7A) 61-66)", "61-66 67-7A"},
        {"[a-f][a-z]", "(61-66 (61-66|67-7A))", "61-66 67-7A"},
        {"[a-z][m-z]", "((61-6C|6D-7A) 6D-7A)", "6D-7A 61-6C"},
        {S("あ"), "82A0", "82A0"},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(c.pattern);
        if (*c.tree) {
            EXPECT_EQ(p.tree, c.tree) << c.pattern;
        }
        EXPECT_EQ(p.leaves, c.leaves) << c.pattern;
    }
}

// After parsing, no two leaves overlap and every range named by the pattern is covered.
TEST(Parser, LeavesAreDisjoint) {
    for (const char* pattern : {"[a-f][d-k]", "[a-z][a-f]x.", "[^a-c][b-d]\\xFFFF", "[a-z][m-z]",
                                "[\\x00-\\xFFFF]a", ".[^z]*[y-~]"}) {
        TREParser p(pattern);
        p.Run();
        const auto& leaves = p.ParseTree().Leaves();
        for (std::size_t i = 0; i < leaves.size(); ++i)
            for (std::size_t j = i + 1; j < leaves.size(); ++j)
                EXPECT_TRUE(leaves[i]->Hi < leaves[j]->Lo || leaves[j]->Hi < leaves[i]->Lo)
                    << pattern << ": " << Dump(leaves[i].get()) << " " << Dump(leaves[j].get());
    }
}

TEST(Parser, SyntaxErrorsWithTheirPositions) {
    const char* const kPrimary = "普通の文字、または左括弧\"(\"が必要です";
    struct Case {
        std::string pattern;
        const char* message;
        int position;
    } cases[] = {
        {"*", kPrimary, 2},
        {"a**", kPrimary, 4},
        {"a+?", kPrimary, 4},
        {"a]", kPrimary, 3},
        {"(*)", kPrimary, 3},
        {"a)", "正規表現に余分な文字があります", 3},
        {"(a))b", "正規表現に余分な文字があります", 5},
        {"(a", "右(閉じ)括弧が必要です", 3},
        {"((a)", "右(閉じ)括弧が必要です", 5},
        {"[]", "不正なキャラクタクラス指定です。", 3},
        {"[^]", "不正なキャラクタクラス指定です。", 4},
        {"a[", "右ブラケット\"]\"が必要です", 3},
        {"[^\\x01-\\xFFFF]", "不正なキャラクタクラス指定です。", 15}, // excludes everything
        {"[^\\x01-\\x09\\x0B\\x0C\\x0E-\\xFCFC]", "不正なキャラクタクラス指定です。", 32},
    };
    for (const auto& c : cases) {
        try {
            Parse(c.pattern);
            ADD_FAILURE() << "no error for " << c.pattern;
        } catch (const ERegExpParser& e) {
            EXPECT_EQ(e.Message(), S(c.message)) << c.pattern;
            EXPECT_EQ(e.Position(), c.position) << c.pattern;
        }
    }
}

TEST(Parser, DeepNestingIsRefusedNotAStackOverflow) {
    const std::string deep = std::string(100000, '(') + std::string(100000, ')');
    try {
        Parse(deep);
        FAIL() << "no error";
    } catch (const ERegExpParser& e) {
        EXPECT_EQ(e.Message(), S("正規表現が複雑すぎます"));
    }
    // Nesting within the limit parses.
    EXPECT_EQ(Parse(std::string(100, '(') + "a" + std::string(100, ')')).tree, "61");
}

} // namespace
