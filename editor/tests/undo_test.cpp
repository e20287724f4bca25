#include "screen_rows.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

struct Ed : TEditorClient {
    TEditorFountain fountain;
    int row = 0, col = 0;
    bool focused = false;
    int CaretRow() const override { return row; }
    int CaretCol() const override { return col; }
    void SetCaretPos(int r, int c) override {
        row = r;
        col = c;
    }
    bool Focused() const override { return focused; }
    int ScreenHeight() const override { return 150; }
    int RowHeight() const override { return 15; }
    TFountain* ActiveFountain() override { return &fountain; }
};

struct Row {
    std::string text;
    int attr;
    int marks;
    friend bool operator==(const Row&, const Row&) = default;
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << cp932::ToUtf8(r.text) << ", " << r.attr << ", " << r.marks << "}";
}
std::vector<Row> Rows(const TEditorScreenStrings& l) {
    std::vector<Row> r;
    for (int i = 0; i < l.Count(); ++i)
        r.push_back({l.Text(i), l.RowAttr(i), l.RowMarks(i)});
    return r;
}

struct Fixture {
    TEditorScreenStrings list;
    Ed ed;
    explicit Fixture(bool wrap = true, int wrapByte = 20) {
        list.AddEditor(&ed);
        list.WrapOption().SetWrapByte(wrapByte);
        list.SetWordWrap(wrap);
    }
    TEditorUndoObj& undo() { return list.UndoObj(); }
};

constexpr int LE = LineEnd, EOT = EndOfText;

TEST(Undo, TheLimitKeepsTheNewestStepsAndAnEditAfterUndoEndsRedo) {
    Fixture f(false);
    f.list.LoadText("");
    for (int i = 0; i < 70; ++i) {
        f.ed.col = i;
        std::string t = f.list.Count() ? f.list.Text(0) : std::string();
        if (f.list.Count())
            f.list.ReplaceRows(0, 1, t + Sjis("あ"));
        else
            f.list.ReplaceRows(0, 0, Sjis("あ"));
    }
    EXPECT_EQ(f.undo().UndoList().Count(), 64);
    int undone = 0;
    while (f.undo().CanUndo()) {
        f.list.Undo();
        ++undone;
    }
    EXPECT_EQ(undone, 64);
    EXPECT_EQ(f.list.Text(), Sjis("ああああああ")) << "the six oldest steps are gone";
    EXPECT_EQ(f.ed.col, 6) << "the caret of the oldest step kept";
    EXPECT_EQ(f.undo().RedoList().Count(), 64);
    f.list.Redo();
    f.list.Redo();
    EXPECT_EQ(f.list.Text(), Sjis("ああああああああ"));
    EXPECT_TRUE(f.undo().CanUndo());
    EXPECT_TRUE(f.undo().CanRedo());
    f.list.ReplaceRows(0, 1, "x");
    EXPECT_FALSE(f.undo().CanRedo()) << "typing after an undo";
    f.list.Redo(); // nothing to redo: nothing happens
    EXPECT_EQ(f.list.Text(), "x");
    // A larger limit holds more; a smaller one is taken as 64.
    f.undo().SetListMax(100);
    EXPECT_EQ(f.undo().ListMax(), 100);
    f.undo().SetListMax(3);
    EXPECT_EQ(f.undo().ListMax(), 64);
}

TEST(Undo, APasteIntoAWrappedLineComesBackOutWithItsWrapAndCaret) {
    Fixture f;
    const std::string line = Sjis("表示能力ソポ") + std::string(20, 'a') + Sjis("漢字かな");
    f.list.LoadText("top\r\n" + line + "\r\nend");
    const auto before = Rows(f.list);
    ASSERT_GT(f.list.LineEndRow(1), 2) << "the line is wrapped";
    // Three lines pasted into the middle of the second row of the line.
    f.ed.row = 2;
    f.ed.col = 4;
    std::string r2 = f.list.Text(2);
    f.list.ReplaceRows(2, 1,
                       r2.substr(0, 4) + "one\r\n" + Sjis("二つ") + "\r\nthree" + r2.substr(4));
    const auto after = Rows(f.list);
    const std::string afterText = f.list.Text();
    EXPECT_NE(afterText, f.list.Text(0));
    f.ed.row = 5;
    f.ed.col = 5;
    f.list.Undo();
    EXPECT_EQ(Rows(f.list), before);
    EXPECT_EQ(f.ed.row, 2);
    EXPECT_EQ(f.ed.col, 4) << "the caret where it stood before the paste";
    f.list.Redo();
    EXPECT_EQ(Rows(f.list), after);
    EXPECT_EQ(f.list.Text(), afterText);
    EXPECT_EQ(f.ed.row, 5);
    EXPECT_EQ(f.ed.col, 5) << "the caret where it stood after the paste";
    f.list.Undo();
    EXPECT_EQ(Rows(f.list), before);
}

TEST(Undo, AWholeLineDeletionAndItsMarks) {
    Fixture f(false);
    f.list.LoadText("a\r\nb\r\nc\r\nd");
    f.list.SetRowMarks(1, 1 << 3);
    f.list.SetRowMarks(2, 1 << 11);
    f.list.SetRowMarks(3, 1 << 0);
    f.list.AddMarks((1 << 3) | (1 << 11) | 1);
    const auto before = Rows(f.list);
    f.list.ReplaceRows(1, 2, "");
    const auto deleted = Rows(f.list);
    EXPECT_EQ(deleted, (std::vector<Row>{{"a", LE, 0}, {"d", EOT, (1 << 3) | (1 << 11) | 1}}));
    f.list.Undo();
    EXPECT_EQ(Rows(f.list), before) << "the marks back on their rows";
    f.list.Redo();
    EXPECT_EQ(Rows(f.list), deleted) << "and again on the row standing at the start row";
    // Deleting the last lines, and the only line.
    f.list.ReplaceRows(0, 2, "");
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_EQ(f.list.UsedMarks(), 0);
    f.list.Undo();
    EXPECT_EQ(Rows(f.list), deleted);
    EXPECT_EQ(f.list.UsedMarks(), (1 << 3) | (1 << 11) | 1);
}

TEST(Undo, InsertionsAfterTheTextAndIntoAnEmptyList) {
    Fixture f(false);
    f.list.LoadText("x\r\n");
    f.list.ReplaceRows(1, 0, Sjis("ソ表\r\n能"));
    EXPECT_EQ(f.list.Text(), Sjis("x\r\nソ表\r\n能"));
    f.list.Undo();
    EXPECT_EQ(Rows(f.list), (std::vector<Row>{{"x", LE, 0}}));
    f.list.Redo();
    EXPECT_EQ(f.list.Text(), Sjis("x\r\nソ表\r\n能"));
    f.list.LoadText("");
    EXPECT_FALSE(f.undo().CanUndo()) << "loading a text empties the lists";
    f.list.ReplaceRows(0, 0, "ab");
    f.list.Undo();
    EXPECT_EQ(f.list.Count(), 0);
    f.list.Redo();
    EXPECT_EQ(Rows(f.list), (std::vector<Row>{{"ab", EOT, 0}}));
}

TEST(Undo, EditorsSharingTheListShareTheHistoryAndTheFocusedOneGetsTheCaret) {
    Fixture f(false);
    Ed other;
    f.list.AddEditor(&other);
    f.list.LoadText("abc");
    other.focused = true;
    other.row = 0;
    other.col = 2;
    f.list.ReplaceRows(0, 1, "abXc");
    other.col = 3;
    f.list.Undo();
    EXPECT_EQ(f.list.Text(), "abc");
    EXPECT_EQ(other.col, 2);
    EXPECT_EQ(f.ed.col, 0) << "the owner's caret is not the active one";
    EXPECT_EQ(f.undo().RedoList().back().CaretCol, 3);
    f.list.RemoveEditor(&other);
}

TEST(Undo, TheListsAreEmptiedByClearAndRewrapAndARecordThatNoLongerFits) {
    Fixture f;
    f.list.LoadText(std::string(30, 'a'));
    f.list.ReplaceRows(0, 1, "b");
    ASSERT_TRUE(f.undo().CanUndo());
    f.list.WrapOption().SetWrapByte(24);
    EXPECT_FALSE(f.undo().CanUndo()) << "wrap options";
    f.list.ReplaceRows(0, 1, "c");
    f.list.SetWordWrap(false);
    EXPECT_FALSE(f.undo().CanUndo()) << "word wrap";
    f.list.ReplaceRows(0, 1, "d");
    f.list.Undo();
    ASSERT_TRUE(f.undo().CanRedo());
    f.list.Clear();
    EXPECT_FALSE(f.undo().CanRedo()) << "clear";
    // Rows changed behind the history's back: the undo ends the history, it does not guess.
    f.list.LoadText("one\r\ntwo\r\nthree");
    f.list.ReplaceRows(2, 1, "3");
    f.list.Delete(2);
    f.list.Delete(1);
    f.list.Undo();
    EXPECT_EQ(f.list.Text(), "one\r\n");
    EXPECT_FALSE(f.undo().CanUndo());
}

TEST(Undo, AnEditInAVeryLongWrappedLineKeepsLittleAndUndoesExactly) {
    Fixture f(true, 40);
    std::string line;
    while (line.size() < 200000)
        line += Sjis("あいうえおソ表能ポ") + "abc ";
    f.list.LoadText("top\r\n" + line + "\r\nend");
    const auto before = Rows(f.list);
    const int row = 3;
    std::string t = f.list.Text(row);
    f.list.ReplaceRows(row, 1, Sjis("字") + t);
    const auto after = Rows(f.list);
    const TUndoData& u = f.undo().UndoList().back();
    EXPECT_LT(u.Text.size(), 5000u) << "the shared rest of the line is not copied";
    EXPECT_GT(u.Tail, 190000u);
    f.list.Undo();
    EXPECT_EQ(Rows(f.list), before);
    EXPECT_LT(f.undo().RedoList().back().Text.size(), 5000u);
    f.list.Redo();
    EXPECT_EQ(Rows(f.list), after);
    f.list.Undo();
    EXPECT_EQ(Rows(f.list), before);
}

// Random edits on random Shift-JIS text, wrapped and not: undoing every step gives back the
// first rows with their marks; redoing every step gives the edited rows again.
TEST(Undo, RandomEditsUndoAndRedoExactly) {
    const std::vector<std::string> pool = {
        "a",       " ",        "\t",   Sjis("ソ"), Sjis("表"), Sjis("能"), Sjis("ポ"),
        Sjis("ｱ"), Sjis("　"), "\r\n", "\\",       "|",        "xyz"};
    for (bool wrap : {false, true}) {
        for (unsigned seed = 1; seed <= 30; ++seed) {
            SCOPED_TRACE(testing::Message() << "wrap " << wrap << " seed " << seed);
            std::mt19937 rng(seed);
            auto piece = [&](int n) {
                std::string s;
                for (int i = 0; i < n; ++i)
                    s += pool[rng() % pool.size()];
                return s;
            };
            Fixture f(wrap, 12);
            f.list.LoadText(piece(static_cast<int>(rng() % 60)));
            for (int i = 0; i < f.list.Count(); ++i)
                if (rng() % 3 == 0) {
                    int m = 1 << (rng() % 16);
                    f.list.SetRowMarks(i, f.list.RowMarks(i) | m);
                    f.list.AddMarks(m);
                }
            const auto first = Rows(f.list);
            const std::string firstText = f.list.Text();
            int steps = 0;
            for (int k = 0; k < 40; ++k) {
                const int n = f.list.Count();
                int index = n ? static_cast<int>(rng() % (n + 1)) : 0;
                int count = index < n ? static_cast<int>(rng() % std::min(3, n - index + 1)) : 0;
                std::string text;
                switch (rng() % 4) {
                case 0: // the rows edited at a character boundary
                    for (int i = index; i < index + count; ++i) {
                        std::string r = f.list.Text(i);
                        text += r;
                        if (f.list.RowAttr(i) == LE) text += "\r\n";
                    }
                    {
                        size_t at = 0, stop = text.empty() ? 0 : rng() % text.size();
                        while (at < stop)
                            at += cp932::IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
                        text.insert(std::min(at, text.size()), piece(1));
                    }
                    break;
                case 1:
                    text = "";
                    break;
                default:
                    text = piece(static_cast<int>(rng() % 6));
                }
                f.ed.row = index;
                f.ed.col = static_cast<int>(rng() % 5);
                int before = f.undo().UndoList().Count();
                f.list.ReplaceRows(index, count, text);
                steps += f.undo().UndoList().Count() - before;
            }
            const auto edited = Rows(f.list);
            int undone = 0;
            while (f.undo().CanUndo()) {
                f.list.Undo();
                ++undone;
            }
            EXPECT_EQ(undone, steps);
            EXPECT_EQ(f.list.Text(), firstText);
            EXPECT_EQ(Rows(f.list), first);
            while (f.undo().CanRedo())
                f.list.Redo();
            EXPECT_EQ(Rows(f.list), edited);
        }
    }
}

} // namespace
} // namespace editor
