#include "query.h"

#include "codec.h"

#include <gtest/gtest.h>

namespace {

using engine::ComposePattern;

TEST(Query, ComposesEveryCombinationOfFields) {
    struct Case {
        std::vector<std::string> fields;
        std::string pattern;
    } cases[] = {
        {{"", "", ""}, ""},
        {{"A", "", ""}, "A"},
        {{"", "", "C"}, "C"},
        {{"A", "B", ""}, "((A).*(B))|((B).*(A))"},
        {{"A", "", "C"}, "((A).*(C))|((C).*(A))"},
        {{"", "B", "C"}, "((B).*(C))|((C).*(B))"},
        {{"A", "B", "C"},
         "((A).*(B).*(C))|((A).*(C).*(B))|((B).*(A).*(C))|((B).*(C).*(A))|"
         "((C).*(A).*(B))|((C).*(B).*(A))"},
        {{"a|b", "[^x]", ""}, "((a|b).*([^x]))|(([^x]).*(a|b))"}, // operators kept as typed
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComposePattern(c.fields), c.pattern);
}

TEST(Query, JapaneseKeywordsInFieldsOneAndThree) {
    const std::string tokyo = cp932::FromUtf8("東京"), osaka = cp932::FromUtf8("大阪");
    EXPECT_EQ(ComposePattern({tokyo, "", osaka}),
              "((" + tokyo + ").*(" + osaka + "))|((" + osaka + ").*(" + tokyo + "))");
}

TEST(Query, FullWidthSpacesAndTrimming) {
    const std::string s1 = cp932::FromUtf8("　");
    EXPECT_EQ(engine::ClearFullWidthSpaces(s1), "");
    EXPECT_EQ(engine::ClearFullWidthSpaces(s1 + s1 + s1), "");
    EXPECT_EQ(engine::ClearFullWidthSpaces(s1 + s1 + s1 + s1), s1 + s1 + s1 + s1);
    EXPECT_EQ(engine::ClearFullWidthSpaces(s1 + "a"), s1 + "a");
    EXPECT_EQ(engine::TrimKeyword(" \tabc \r\n"), "abc");
    EXPECT_EQ(engine::TrimKeyword(s1 + "abc" + s1), s1 + "abc" + s1); // full-width kept
    EXPECT_EQ(engine::TrimKeyword("   "), "");
}

} // namespace
