#include "codec.h"
#include "sjis_text.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string Sjis(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// Second bytes that look like ASCII: テ 83 65 ("e"), ウ 83 45 ("E"), ヂ 83 61, ア 83 41,
// ソ 83 5C ("\"), ポ 83 7C ("|"), 表 95 5C, 能 94 5C. A comparison that folds bytes instead of
// characters takes テ for ウ, and ソ for ポ when it folds with | 0x20.
TEST(SjisText, CompareNoCaseWalksCharacters) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"abc", "ABC", 0},
        {"a@[", "A@[", 0},
        {"@", "`", -1},
        {"[", "{", -1},
        {"テ", "ウ", 1},
        {"ヂ", "ア", 1},
        {"ポ", "ソ", 1},
        {"能", "表", -1},
        {"ソa", "ソA", 0},
        {"表x能", "表X能", 0},
        {"ポz", "ポZ", 0},
        {"aテ", "Aウ", 1},
        {"a", "ア", -1},
        {"ｱ", "ア", -1},
        {"ﾟ", "ー", -1}, // two-byte after every single
                         // byte
        {"ab", "abc", -1},
        {"", "", 0},
        {"表", "", 1},
    };
    for (const auto& c : cases) {
        const std::string a = Sjis(c.a), b = Sjis(c.b);
        EXPECT_EQ(Sign(cp932::CompareNoCase(a, b)), c.sign) << c.a << " " << c.b;
        EXPECT_EQ(Sign(cp932::CompareNoCase(b, a)), -c.sign) << c.b << " " << c.a;
        EXPECT_EQ(cp932::EqualsNoCase(a, b), c.sign == 0) << c.a << " " << c.b;
    }
    // A lead byte at the very end is a byte of its own.
    EXPECT_EQ(cp932::CompareNoCase("a\x83", "A\x83"), 0);
    EXPECT_NE(cp932::CompareNoCase("a\x83", "a\x84"), 0);
}

TEST(SjisText, StartsWithNoCase) {
    struct Case {
        const char* s;
        const char* prefix;
        bool starts;
    } cases[] = {
        {"ソフト/a.txt", "ソフト/", true},
        {"Notes/表.txt", "notes/", true},
        {"テスト/a", "ウスト/", false},
        {"ポ/a", "ソ/", false},
        {"表能", "表能", true},
        {"ab", "abc", false},
        {"x", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cp932::StartsWithNoCase(Sjis(c.s), Sjis(c.prefix)), c.starts)
            << c.s << " " << c.prefix;
}

// Each rule of the callers: the editor and the keyword list (lone CR ends a line, a final line
// end adds none), the result pane (every line end starts a line), profile files (only LF and
// CR LF end a line inside the text).
TEST(SjisText, SplitLinesByRule) {
    using cp932::FinalLineEnd;
    using cp932::LoneCr;
    using Lines = std::vector<std::string>;
    struct Case {
        const char* text;
        LoneCr cr;
        FinalLineEnd end;
        Lines lines;
    } cases[] = {
        {"", LoneCr::EndsLine, FinalLineEnd::EndsLastLine, {}},
        {"", LoneCr::EndsLine, FinalLineEnd::StartsEmptyLine, {""}},
        {"ソ\r\n表\r能\nポ",
         LoneCr::EndsLine,
         FinalLineEnd::EndsLastLine,
         {"ソ", "表", "能", "ポ"}},
        {"ソ\r\n", LoneCr::EndsLine, FinalLineEnd::EndsLastLine, {"ソ"}},
        {"ソ\r\n", LoneCr::EndsLine, FinalLineEnd::StartsEmptyLine, {"ソ", ""}},
        {"表\n\r\n", LoneCr::EndsLine, FinalLineEnd::EndsLastLine, {"表", ""}},
        {"表\n\r", LoneCr::EndsLine, FinalLineEnd::StartsEmptyLine, {"表", "", ""}},
        {"\n", LoneCr::EndsLine, FinalLineEnd::EndsLastLine, {""}},
        {"a\rb\r\nc", LoneCr::IsText, FinalLineEnd::EndsLastLine, {"a\rb", "c"}},
        {"ポ=1\r", LoneCr::IsText, FinalLineEnd::EndsLastLine, {"ポ=1"}},
        {"ポ=1\r\r", LoneCr::IsText, FinalLineEnd::EndsLastLine, {"ポ=1\r"}},
        {"[能]\n\nk=v\n", LoneCr::IsText, FinalLineEnd::EndsLastLine, {"[能]", "", "k=v"}},
    };
    for (const auto& c : cases) {
        Lines expected;
        for (const std::string& line : c.lines)
            expected.push_back(Sjis(line.c_str()));
        EXPECT_EQ(cp932::SplitLines(Sjis(c.text), c.cr, c.end), expected) << c.text;
    }
}

} // namespace
