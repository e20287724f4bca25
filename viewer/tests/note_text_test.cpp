// The viewer's text work without a window: tag removal, and a note's bytes written back.
#include "note_text.h"

#include "codec.h"

#include <gtest/gtest.h>
#include <vector>

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

TEST(NoteForm, TheNotesBytesComeBackFromTheEditorsText) {
    using E = TLineEnds;
    const std::string kanji = S("ソ表能ポ");
    struct Case {
        std::string file, editor; // the note, and the editor's text of it
        E ends;
        int crlf, lf, cr;
        std::string tail;
    } cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n", E::CrLf, 2, 0, 0, ""},
        {"a\nb\n", "a\r\nb\r\n", E::Lf, 0, 2, 0, ""},
        {"a\rb", "a\r\nb", E::Cr, 0, 0, 1, ""},
        {"one line", "one line", E::CrLf, 0, 0, 0, ""},
        {"", "", E::CrLf, 0, 0, 0, ""},
        {kanji + "\n" + kanji, kanji + "\r\n" + kanji, E::Lf, 0, 1, 0, ""},
        {std::string("a\0b\n\0", 6), std::string("a\0b\r\n\0", 7), E::Lf, 0, 1, 0, ""},
        // The old end-of-file mark, alone or with bytes after it, is kept after the text.
        {"a\r\nb\x1A", "a\r\nb", E::CrLf, 1, 0, 0, "\x1A"},
        {"a\nb\n\x1A\r\nrest", "a\r\nb\r\n", E::Lf, 0, 2, 0, "\x1A\r\nrest"},
        {"\x1A", "", E::CrLf, 0, 0, 0, "\x1A"},
        // Mixed: the most frequent line end; a tie goes to CR LF, then LF.
        {"a\nb\nc\r\nd", "a\r\nb\r\nc\r\nd", E::Lf, 1, 2, 0, ""},
        {"a\nb\r\n", "a\r\nb\r\n", E::CrLf, 1, 1, 0, ""},
        {"a\rb\nc\r", "a\r\nb\r\nc\r\n", E::Cr, 0, 1, 2, ""},
        {"a\r\r\n", "a\r\n\r\n", E::CrLf, 1, 0, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::optional<TNoteForm> form = NoteFormOf(c.file, c.editor);
        ASSERT_TRUE(form.has_value());
        EXPECT_EQ(form->count[0], c.crlf);
        EXPECT_EQ(form->count[1], c.lf);
        EXPECT_EQ(form->count[2], c.cr);
        EXPECT_EQ(form->tail, c.tail);
        EXPECT_EQ(form->Mixed(), (c.crlf > 0) + (c.lf > 0) + (c.cr > 0) > 1);
        if (!form->Mixed()) {
            EXPECT_EQ(form->ends, c.ends);
            EXPECT_EQ(ToNoteBytes(c.editor, *form), c.file);
        } else {
            // Written back with one line end everywhere, and nothing else changed.
            const TNoteForm one = form->Uniform();
            EXPECT_FALSE(one.Mixed());
            EXPECT_EQ(one.ends, c.ends);
            const std::string bytes = ToNoteBytes(c.editor, one);
            EXPECT_EQ(NoteFormOf(bytes, c.editor)->ends, c.ends);
            EXPECT_EQ(ToNoteBytes(c.editor, *NoteFormOf(bytes, c.editor)), bytes);
        }
    }
    // An editor's text that lost or changed something is no form of the note.
    const std::vector<std::pair<std::string, std::string>> lost = {{std::string("a\0b", 3), "a"},
                                                                   {"a\nb", "a\r\nc"},
                                                                   {"ab", "a"},
                                                                   {"a\n", "a"},
                                                                   {"a\nb", "a\rb"},
                                                                   {"a\nb", "a\r\n\nb"}};
    for (const auto& [file, editor] : lost)
        EXPECT_EQ(NoteFormOf(file, editor), std::nullopt) << file;

    // The editor's text handed over in pieces, cut anywhere (inside a CR LF too), gives what the
    // whole text gives.
    auto same = [](const std::optional<TNoteForm>& a, const std::optional<TNoteForm>& b) {
        if (!a || !b) return !a && !b;
        return a->ends == b->ends && a->count[0] == b->count[0] && a->count[1] == b->count[1] &&
               a->count[2] == b->count[2] && a->tail == b->tail;
    };
    std::vector<std::pair<std::string, std::string>> all = lost;
    for (const Case& c : cases)
        all.emplace_back(c.file, c.editor);
    for (const auto& [file, editor] : all) {
        const std::optional<TNoteForm> whole = NoteFormOf(file, editor);
        for (size_t cut = 0; cut <= editor.size(); ++cut) {
            TNoteFormCheck check(file);
            check.Feed(std::string_view(editor).substr(0, cut));
            check.Feed("");
            check.Feed(std::string_view(editor).substr(cut));
            EXPECT_TRUE(same(check.Result(), whole)) << file << " cut at " << cut;
        }
    }
}

TEST(NoteForm, TheQuestionsNameTheFileAndWhatHappens) {
    TNoteForm mixed = *NoteFormOf("a\nb\nc\r\n", "a\r\nb\r\nc\r\n");
    const std::string q = MixedLineEndsQuestion(S("/メモ/表.txt"), mixed);
    EXPECT_EQ(q, S("「/メモ/表.txt」では改行コードが混在しています（CR+LFが1個、LFが2個）。\r\n"
                   "保存すると、すべての改行をいちばん多い LF にそろえます。保存しますか？"));
    EXPECT_NE(ChangedOnDiskQuestion(S("/メモ/表.txt"), false).text.find(S("「/メモ/表.txt」")),
              std::string::npos);
    EXPECT_NE(ChangedOnDiskQuestion("a", true).text, ChangedOnDiskQuestion("a", false).text);
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
