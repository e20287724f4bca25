// The viewer's text work without a window: tag removal and line ends.
#include "note_text.h"

#include "codec.h"

#include <gtest/gtest.h>

using namespace viewer;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

TEST(RemoveTags, KeepsTheTextBetweenTags) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"A<b>B</b>D>", "AB"},  // what follows the last tag is dropped
        {"x>y<b>z>", "x>yy"},   // a ">" before the "<" ends the tag
        {"<p>x</p>\r\n>", "x"}, // as the viewer calls it, with a ">" appended
        {"no tags at all", ""},
        {"a<b", "a"},
        {"", ""},
        // Two-byte characters, some with a second byte in the ASCII range, pass whole.
        {S("<p>表ソ能ポ</p><br>ｶﾅ<i>漢字</i>>"), S("表ソ能ポｶﾅ漢字")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RemoveTags(c.in), c.out) << c.in;
}

TEST(CollapseBlankLines, OnePassAtATime) {
    auto ends = [](int n) {
        std::string s = "a";
        for (int k = 0; k < n; ++k)
            s += "\r\n";
        return s + "b";
    };
    EXPECT_EQ(CollapseBlankLines(ends(7)), ends(3));
    EXPECT_EQ(CollapseBlankLines(CollapseBlankLines(ends(7))), ends(1));
    EXPECT_EQ(CollapseBlankLines(ends(4)), ends(2));
    EXPECT_EQ(CollapseBlankLines(ends(2)), ends(2));
    EXPECT_EQ(CollapseBlankLines(S("表\r\n\r\n\r\nソ")), S("表\r\nソ"));
}

TEST(FaithfulLineEnds, FindsTheOneKindOfLineEndOrNone) {
    struct Case {
        std::string file, editor;
        std::optional<TLineEnds> want;
    } cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n", TLineEnds::CrLf},
        {"a\nb\n", "a\r\nb\r\n", TLineEnds::Lf},
        {"a\rb", "a\r\nb", TLineEnds::Cr},
        {"one line", "one line", TLineEnds::CrLf},
        {"", "", TLineEnds::CrLf},
        {"a\nb\r\n", "a\r\nb\r\n", std::nullopt},    // mixed
        {"a\r\nb\x1A tail", "a\r\nb", std::nullopt}, // cut at a Ctrl-Z
        {std::string("a\0b", 3), "a", std::nullopt}, // an editor that dropped a NUL
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FaithfulLineEnds(c.file, c.editor), c.want) << c.file;
        if (c.want) {
            EXPECT_EQ(ToNoteBytes(c.editor, *c.want), c.file);
        }
    }
}

TEST(ExcerptHeightAndRecentring, FollowTheirRules) {
    EXPECT_EQ(ExcerptHeight(400, 3), 74);
    EXPECT_EQ(ExcerptHeight(400, 100), 320);
    // 20 visible rows: rows 4..16 below the top stay, others put the row a third down.
    struct Case {
        int row, top;
        std::optional<int> want;
    } cases[] = {
        {110, 100, std::nullopt},
        {104, 100, std::nullopt},
        {116, 100, std::nullopt},
        {117, 100, 111},
        {119, 100, 113},
        {103, 100, 97},
        {5, 0, std::nullopt},
        // Rows in the first third of the text go as far down as the top of the text allows.
        {3, 200, 0},
        {5, 200, 0},
        {6, 200, 0},
        {7, 200, 1},
        {2, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecentredTopRow(c.row, c.top, 20), c.want) << c.row << " " << c.top;
}

} // namespace
