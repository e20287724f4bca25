// Bracket removal: balanced, nested, mixed-width and unbalanced texts, character by character.
#include "brackets.h"

#include "codec.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

struct StripCase {
    const char* name;
    std::string input; // Shift-JIS
    std::string expected;
    TBracketFault fault;
};

class StripBracketsTable : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripBracketsTable, GivesTheTextOutsideTheOutermostGroups) {
    const StripCase& c = GetParam();
    const TStripResult r = StripBracketsChecked(c.input);
    EXPECT_EQ(cp932::ToUtf8(r.text), cp932::ToUtf8(c.expected));
    EXPECT_EQ(r.fault, c.fault);
    switch (c.fault) {
    case TBracketFault::bfNone:
        EXPECT_EQ(r.message, "");
        break;
    case TBracketFault::bfMissingOpen:
        EXPECT_EQ(r.message, MissingOpenBracketMessage());
        break;
    case TBracketFault::bfMissingClose:
        EXPECT_EQ(r.message, MissingCloseBracketMessage());
        break;
    }
}

const TBracketFault kNone = TBracketFault::bfNone;
const TBracketFault kOpen = TBracketFault::bfMissingOpen;
const TBracketFault kClose = TBracketFault::bfMissingClose;

INSTANTIATE_TEST_SUITE_P(
    Texts, StripBracketsTable,
    ::testing::Values(
        StripCase{"Empty", "", "", kNone},
        StripCase{"NoBrackets", S("本文だけ"), S("本文だけ"), kNone},
        StripCase{"TwoFullWidthGroups", S("本文（注１）続き（注２）"), S("本文続き"), kNone},
        StripCase{"NestedVanishWithOuter", S("甲（乙（丙）丁）戊"), S("甲戊"), kNone},
        StripCase{"AsciiNested", "a(b(c)d)e", "ae", kNone},
        StripCase{"Ascii", "a(b)c", "ac", kNone},
        // Any opening bracket pairs with any closing one.
        StripCase{"MixedWidths", S("a(b)d（e(f)g）h"), "adh", kNone},
        StripCase{"AsciiOpensFullWidthCloses", S("x(y）z"), "xz", kNone},
        StripCase{"WholeTextInBrackets", S("（全部）"), "", kNone},
        StripCase{"GroupAtStart", "(a)b", "b", kNone},
        StripCase{"LineBreaksInsideAGroup", "a(b\r\nc)d\r\ne", "ad\r\ne", kNone},
        // A closing bracket too many: kept, the rest dropped.
        StripCase{"ClosingWithoutOpening", "a)b", "a)", kOpen},
        StripCase{"ClosingWithoutOpeningBeforeAGroup", "a)b(d)", "a)", kOpen},
        StripCase{"ClosingTooManyAfterAGroup", S("a（b）c）d（e）"), S("ac）"), kOpen},
        // An opening bracket never closed: dropped from there on.
        StripCase{"OpeningNeverClosed", "a(b", "a", kClose},
        StripCase{"UnclosedAfterAGroup", "a(b)c(d", "ac", kClose},
        StripCase{"UnclosedOuterWithClosedInner", S("前（外（内）まだ"), S("前"), kClose},
        // A trail byte that looks like a bracket belongs to its character: 0x81 0x69 inside
        // "\x88\x81" + "i" is no （, and "ａ" (0x82 0x81) followed by "i" neither.
        StripCase{"TrailBytesAreNotBrackets", std::string("\x88\x81") + "i" + S("ａ") + "j",
                  std::string("\x88\x81") + "i" + S("ａ") + "j", kNone},
        StripCase{"LoneLeadByteAtTheEnd", std::string("(a)b\x81"), std::string("b\x81"), kNone}),
    [](const ::testing::TestParamInfo<StripCase>& info) { return std::string(info.param.name); });

TEST(StripBrackets, ReportsTheFaultsMessageOnceThroughTheCallback) {
    std::vector<std::string> shown;
    auto show = [&](const std::string& m) { shown.push_back(m); };
    EXPECT_EQ(StripBrackets("a(b)c", show), "ac");
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(StripBrackets("a)b)c", show), "a)");
    EXPECT_EQ(StripBrackets("a((b", show), "a");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(cp932::ToUtf8(shown[0]), "カッコが閉じていません-- ( が足りません");
    EXPECT_EQ(cp932::ToUtf8(shown[1]), "カッコが閉じていません--  ) が足りません");
    // Without a callback the result is the same and nothing is reported.
    EXPECT_EQ(StripBrackets("a(b"), "a");
}

} // namespace
