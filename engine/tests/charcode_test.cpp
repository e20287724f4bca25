#include "charcode.h"

#include "codec.h"
#include "errors.h"

#include <gtest/gtest.h>

namespace {

using namespace engine;

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

TEST(CharCode, GetCharReadsOneCharacterAndAdvances) {
    const std::string p = "a\x82\xA0"; // a, hiragana a
    int pos = 1;
    EXPECT_EQ(GetChar(p, pos), 0x61);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(GetChar(p, pos), 0x82A0);
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(GetChar(p, pos), 0);
    EXPECT_EQ(pos, 4);
    pos = 0;
    EXPECT_EQ(GetChar(p, pos), 0); // below 1
    EXPECT_EQ(pos, 0);
    const std::string withZero("a\0b", 3);
    pos = 2;
    EXPECT_EQ(GetChar(withZero, pos), 0); // a zero byte ends the pattern
}

TEST(CharCode, GetCharRejectsALeadByteAtTheEnd) {
    for (auto [pattern, at] : {std::pair<std::string, int>{"\x82", 1}, {"ab\xE0", 3}}) {
        int pos = at;
        try {
            GetChar(pattern, pos);
            FAIL() << "no exception";
        } catch (const ERegExpParser& e) {
            EXPECT_EQ(e.Message(), S("不正な２バイト文字コードです。"));
            EXPECT_EQ(e.Position(), at);
        }
    }
}

TEST(CharCode, UngetCharStepsBackOverTheLastCharacter) {
    const std::string kanji = S("亜"); // 0x88 0x9F: its second byte is a lead-byte value
    struct Case {
        std::string pattern;
        int from, to;
    } cases[] = {
        {"abc", 1, 1},
        {"abc", 2, 1},
        {"abc", 3, 2},
        {"[" + kanji, 4, 2},
        {"[" + kanji + kanji, 6, 4},
        {"[" + kanji + "x", 5, 4},
        {"[a" + S("あ"), 5, 3},
    };
    for (const auto& c : cases) {
        int pos = c.from;
        UngetChar(c.pattern, pos);
        EXPECT_EQ(pos, c.to) << c.pattern << " from " << c.from;
    }
}

TEST(CharCode, CodeToStrAndStrToCodes) {
    EXPECT_EQ(CodeToStr(0x61), "a");
    EXPECT_EQ(CodeToStr(0x82A0), S("あ"));
    EXPECT_EQ(CodeToStr(0x4142), "B"); // no lead byte above: the low byte alone
    EXPECT_EQ(StrToCodes("a" + S("あ")), (std::vector<TCharCode>{0x61, 0x82A0, 0}));
    EXPECT_EQ(StrToCodes(std::string("ab\0c", 4)), (std::vector<TCharCode>{0x61, 0x62, 0}));
}

TEST(CharCode, QuoteMetaEscapesTheTwelveMetacharacters) {
    EXPECT_EQ(QuoteMeta("x.y(z)"), "x\\.y\\(z\\)");
    EXPECT_EQ(QuoteMeta("^(|)+*?.[]$\\"), "\\^\\(\\|\\)\\+\\*\\?\\.\\[\\]\\$\\\\");
    EXPECT_EQ(QuoteMeta("a-{}" + S("表")), "a-{}" + S("表")); // 表 ends in 0x5C
}

} // namespace
