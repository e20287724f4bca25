#include "dictionary.h"

#include "codec.h"

#include <gtest/gtest.h>

namespace {

using namespace engine;

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

std::vector<std::string> Row(std::initializer_list<const char*> utf8) {
    std::vector<std::string> r;
    for (const char* e : utf8)
        r.push_back(S(e));
    return r;
}

TEST(Dictionary, SplitsRowTexts) {
    struct Case {
        std::string text;
        std::vector<std::string> entries;
    } cases[] = {
        {"a,b,c", {"a", "b", "c"}},
        {"  a, b", {"a", "b"}},
        {"a,", {"a", ""}},
        {"\"\"\"\",x", {"\"", "x"}},
        {"\",\",y", {",", "y"}},
        {"\" \",z", {" ", "z"}},
        {"a b", {"a", "b"}}, // a blank ends an unquoted entry
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitRowText(c.text), c.entries) << c.text;
}

TEST(Dictionary, HasTheRowsInOrderByteForByte) {
    const auto& rows = EquivalenceDictionary().Rows;
    ASSERT_EQ(rows.size(), 145u);
    EXPECT_EQ(rows[0], Row({"Ａ", "ａ", "A", "a"}));
    EXPECT_EQ(rows[25], Row({"Ｚ", "ｚ", "Z", "z"}));
    EXPECT_EQ(rows[27], Row({"1", "１", "一", "①", "Ⅰ", "壱"}));
    EXPECT_EQ(rows[36], (std::vector<std::string>{"\x81\x40", " "}));
    EXPECT_EQ(rows[38], (std::vector<std::string>{"\"", "\x81\x68"}));
    EXPECT_EQ(rows[48], (std::vector<std::string>{"\x81\x5B", "\x81\x60", "\xB0", ""}));
    EXPECT_EQ(rows[49],
              (std::vector<std::string>{"-", "\x81\x5B", "\x81\x7C", "\x81\x60", "\xB0"}));
    EXPECT_EQ(rows[58], (std::vector<std::string>{"@", "\x81\x97"}));
    EXPECT_EQ(rows[60], (std::vector<std::string>{"\\", "\x81\x8F"}));
    EXPECT_EQ(rows[67], (std::vector<std::string>{"~", "\x81\x50"}));
    EXPECT_EQ(rows[68], (std::vector<std::string>{",", "\xA4", "\x81\x41", "\x81\x43"}));
    EXPECT_EQ(rows[86], Row({"ば", "バ", "ﾊﾞ", "は゛", "ハ゛", "ヴァ", "う゛ぁ", "ウ゛ァ", "ｳﾞｧ"}));
    EXPECT_EQ(rows[139], Row({"わ", "ワ", "ﾜ", "うぁ", "ウァ", "ｳｧ"}));
    EXPECT_EQ(rows[144], (std::vector<std::string>{"\xDF", "\x81\x4B"}));
    std::size_t entries = 0;
    for (const auto& r : rows)
        entries += r.size();
    EXPECT_EQ(entries, 571u);
}

TEST(Dictionary, LooksUpTheFirstMatchingEntry) {
    auto codes = [](const std::string& s) {
        auto c = StrToCodes(s);
        c.pop_back(); // without the terminating 0
        return c;
    };
    struct Case {
        const char* run;
        std::size_t start;
        std::size_t consumed;
        const char* replacement; // nullptr: no match
    } cases[] = {
        {"ー", 0, 1, "(ー|～|ｰ|)"},
        {"-", 0, 1, "(-|ー|－|～|ｰ)"},
        {"が", 0, 1, "(が|ガ|ｶﾞ|か゛|カ゛)"},
        {"か゛", 0, 2, "(が|ガ|ｶﾞ|か゛|カ゛)"},
        {"かa", 0, 1, "(か|カ|ｶ)"},
        {"xか", 1, 1, "(か|カ|ｶ)"},
        {"か", 0, 1, "(か|カ|ｶ)"}, // the voiced form would reach past the run
        {" ", 0, 1, "(　| )"},
        {"|", 0, 1, "(\\||｜)"},
        {".", 0, 1, "(｡|\\.|。|．)"},
        {"うぁ", 0, 1, "(う|ウ|ｳ|ぅ|ゥ|ｩ)"}, // row 99 takes "う" before row 140
        {"ば", 0, 1, "(ば|バ|ﾊﾞ|は゛|ハ゛|ヴァ|う゛ぁ|ウ゛ァ|ｳﾞｧ)"},
        {"１", 0, 1, "(1|１|一|①|Ⅰ|壱)"},
        {"漢", 0, 0, nullptr},
        {"一", 0, 1, "(1|１|一|①|Ⅰ|壱)"},
    };
    for (const auto& c : cases) {
        const auto m = MatchDictionary(EquivalenceDictionary(), codes(S(c.run)), c.start);
        if (!c.replacement) {
            EXPECT_FALSE(m) << c.run;
            continue;
        }
        ASSERT_TRUE(m) << c.run;
        EXPECT_EQ(m->Consumed, c.consumed) << c.run;
        EXPECT_EQ(m->Replacement, S(c.replacement)) << c.run;
    }
}

} // namespace
