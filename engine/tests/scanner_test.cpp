#include "preprocessor.h"
#include "scanner.h"

#include "codec.h"
#include "errors.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace engine;

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

// Tokens as text: kind names, with the symbol in hex for characters and ranges.
std::string Tokens(const std::string& pattern) {
    static const char* names[] = {"Char", "Range", "|", "(", ")", "*", "+",  "?",
                                  "[",    "[^",    "]", ".", "^", "$", "End"};
    TREScanner sc(pattern);
    std::ostringstream out;
    for (;;) {
        const TREToken t = sc.GetToken();
        out << names[t];
        if (t == retChar) out << ':' << std::hex << sc.Symbol();
        if (t == retCharRange) out << ':' << std::hex << sc.Symbol() << '-' << sc.HighSymbol();
        if (t == retEnd) break;
        out << ' ';
    }
    return out.str();
}

TEST(Scanner, PatternsToTokens) {
    struct Case {
        std::string pattern;
        const char* tokens;
    } cases[] = {
        {"a|(b)*+?.^$", "Char:61 | ( Char:62 ) * + ? . ^ $ End"},
        {"]", "] End"},
        {"[a-]", "[ Char:61 Char:2d ] End"},
        {"[-a]", "[ Char:2d Char:61 ] End"},
        {"[a\\]]", "[ Char:61 Char:5d ] End"},
        {"[^a-z]", "[^ Range:61-7a ] End"},
        {"[a^.*($]", "[ Char:61 Char:5e Char:2e Char:2a Char:28 Char:24 ] End"},
        {"[\\x41-\\x5a]", "[ Range:41-5a ] End"},
        {"\\.\\\\\\|", "Char:2e Char:5c Char:7c End"},
        {"\\b\\r\\n\\t\\q", "Char:8 Char:d Char:a Char:9 Char:71 End"},
        {"\\x41", "Char:41 End"},
        {"\\x414", "Char:414 End"},
        {"\\x41G", "Char:41 Char:47 End"},
        {"\\x41424", "Char:4142 Char:34 End"},
        {"\\101", "Char:41 End"},
        {"\\177777", "Char:ffff End"},
        {"\\1011", "Char:209 End"},
        {"\\0", "Char:0 End"},
        {"\\1777777", "Char:ffff Char:37 End"}, // at most six digits
        {S("\\あ"), "Char:82a0 End"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tokens(c.pattern), c.tokens) << c.pattern;
}

TEST(Scanner, LexicalErrorsWithTheirPositions) {
    struct Case {
        std::string pattern;
        const char* message;
        int position;
    } cases[] = {
        {"[", "右ブラケット\"]\"が必要です", 2},
        {"[^", "右ブラケット\"]\"が必要です", 3},
        {"[a", "右ブラケット\"]\"が必要です", 3},
        {"[ab", "右ブラケット\"]\"が必要です", 4},
        {"[a-", "右ブラケット\"]\"が必要です", 4},
        {"[z-a]", "不正なキャラクタ範囲です", 5},
        {"a\\", "\"\\\"の次には文字が必要です。", 3},
        {"\\xg", "不正な１６進数コード表記です。", 4},
        {"\\x", "不正な１６進数コード表記です。", 3},
        {"\\777777", "不正な８進数コード表記です。", 8},
        {"a\x82", "不正な２バイト文字コードです。", 2},
        {"[a\x82]", "右ブラケット\"]\"が必要です", 5}, // 0x82 0x5D is one character
    };
    for (const auto& c : cases) {
        try {
            Tokens(c.pattern);
            ADD_FAILURE() << "no error for " << c.pattern;
        } catch (const ERegExpParser& e) {
            EXPECT_EQ(e.Message(), S(c.message)) << c.pattern;
            EXPECT_EQ(e.Position(), c.position) << c.pattern;
        }
    }
}

TEST(Scanner, SetSourceStartsOutsideAClass) {
    TREScanner sc("[ab");
    EXPECT_THROW(
        {
            while (sc.GetToken() != retEnd) {
            }
        },
        ERegExpParser);
    sc.SetSource("a]");
    EXPECT_EQ(sc.GetToken(), retChar);
    EXPECT_EQ(sc.GetToken(), retRBra);
}

// ---- preprocessor -----------------------------------------------------------------------

std::string Widen(const std::string& pattern, bool fuzzy, bool synonym = false,
                  const TCharDictionary* synonyms = nullptr) {
    TREPreProcessor pre("");
    pre.FuzzyCharDictList().push_back(&EquivalenceDictionary());
    if (synonyms) pre.SynonymDictList().push_back(synonyms);
    pre.UseFuzzyCharDic = fuzzy;
    pre.UseSynonymDic = synonym;
    pre.SetSource(pattern);
    pre.Run();
    return pre.TargetRegExpStr();
}

TEST(PreProcessor, WidensRunsOfOrdinaryCharacters) {
    struct Case {
        const char* pattern;
        const char* output;
    } cases[] = {
        {"ab*", "(Ａ|ａ|A|a)(Ｂ|ｂ|B|b)*"},
        {"[あ]い", "[あ](い|イ|ｲ|ぃ|ィ|ｨ)"},
        {"[^あ]", "[^あ]"},
        {"漢", "漢"},
        {"か゛", "(が|ガ|ｶﾞ|か゛|カ゛)"},
        {"\\.x", "(｡|\\.|。|．)(Ｘ|ｘ|X|x)"},
        {"\\x41", "(Ａ|ａ|A|a)"}, // an escape is widened by its character
        {"\\q", "(Ｑ|ｑ|Q|q)"},
        {"\\xFFFF", "\\xFFFF"}, // not in any row: kept as written
        {"(1|２)", "((1|１|一|①|Ⅰ|壱)|(2|２|二|②|Ⅱ|弐))"},
        {"^$.", "^$."},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Widen(S(c.pattern), true), S(c.output)) << c.pattern;
}

TEST(PreProcessor, WithoutFlagsThePatternPassesUnchecked) {
    EXPECT_EQ(Widen("ab[", false), "ab[");
    EXPECT_EQ(Widen("a\x82", false), "a\x82");
    EXPECT_THROW(Widen("ab[", true), ERegExpParser);
}

TEST(PreProcessor, SynonymsRunFirstAndFeedTheCharacterPass) {
    TCharDictionary syn;
    syn.Rows.push_back({S("車"), "car"});
    EXPECT_EQ(Widen(S("車"), false, true, &syn), S("(車|car)"));
    EXPECT_EQ(Widen(S("車"), true, true, &syn), S("(車|(Ｃ|ｃ|C|c)(Ａ|ａ|A|a)(Ｒ|ｒ|R|r))"));
    EXPECT_EQ(Widen(S("車"), false, true, nullptr), S("車")); // no synonym dictionary: nothing
}

} // namespace
