#include "screen_rows.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

// An editor as the row list sees it: a caret, a top row, a screen, a view fountain, and a log of
// what it was told.
struct FakeEditor : TEditorClient {
    TEditorFountain fountain;
    int caretRow = 0, caretCol = 0, topRow = 0;
    int screenRows = 10;
    bool focused = false;
    bool initFull = false;
    std::vector<TChangeRecord> changes;
    std::vector<int> repainted;
    int rewrapped = 0, dropped = 0;

    void ListChanged(TEditorScreenStrings& l) override { changes.push_back(l.ChangeRecord()); }
    void RepaintRow(int r) override { repainted.push_back(r); }
    void DropSelection() override { ++dropped; }
    void Rewrapped() override { ++rewrapped; }
    int CaretRow() const override { return caretRow; }
    int CaretCol() const override { return caretCol; }
    void SetCaretPos(int r, int c) override {
        caretRow = r;
        caretCol = c;
    }
    int TopRow() const override { return topRow; }
    void SetTopRow(int r) override { topRow = r; }
    bool Focused() const override { return focused; }
    int ScreenHeight() const override { return screenRows * 15; }
    int RowHeight() const override { return 15; }
    bool InitBracketsFull() const override { return initFull; }
    TFountain* ActiveFountain() override { return &fountain; }
};

struct Row {
    std::string text;
    int attr;
    friend bool operator==(const Row&, const Row&) = default;
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << cp932::ToUtf8(r.text) << ", " << r.attr << "}";
}

std::vector<Row> Rows(const TEditorScreenStrings& l) {
    std::vector<Row> r;
    for (int i = 0; i < l.Count(); ++i)
        r.push_back({l.Text(i), l.RowAttr(i)});
    return r;
}

struct Fixture {
    TEditorScreenStrings list;
    FakeEditor ed;
    explicit Fixture(int wrapByte = 20, bool wrap = true) {
        list.AddEditor(&ed);
        list.WrapOption().SetWrapByte(wrapByte);
        list.SetWordWrap(wrap);
    }
    // Parentheses as the tokenizer's one bracket; `full`: rows parsed from the text's start.
    auto* UseParentheses(bool full) {
        auto* b = ed.fountain.Brackets().Add();
        b->LeftBracket = "(";
        b->RightBracket = ")";
        ed.initFull = full;
        return b;
    }
};

constexpr int LE = LineEnd, WR = Wrapped, EOT = EndOfText;

TEST(ScreenRows, LoadingTextGivesRowsAttributesAndTheTextBack) {
    Fixture f;
    const std::string text = std::string(25, 'a') + "\r\nbb\r\n\r\n" + Sjis("漢字");
    f.list.LoadText(text);
    EXPECT_EQ(
        Rows(f.list),
        (std::vector<Row>{
            {std::string(20, 'a'), WR}, {"aaaaa", LE}, {"bb", LE}, {"", LE}, {Sjis("漢字"), EOT}}));
    EXPECT_EQ(f.list.Text(), text);
    f.list.LoadText("x\r\n");
    EXPECT_EQ(Rows(f.list), (std::vector<Row>{{"x", LE}}));
    EXPECT_EQ(f.list.Text(), "x\r\n");
    f.list.LoadText("");
    EXPECT_EQ(f.list.Count(), 0);
    // Typing into the empty list, then after a final line end.
    f.list.ReplaceRows(0, 0, "ab");
    EXPECT_EQ(Rows(f.list), (std::vector<Row>{{"ab", EOT}}));
    f.list.LoadText("x\r\n");
    f.list.ReplaceRows(1, 0, "y");
    EXPECT_EQ(f.list.Text(), "x\r\ny");
    EXPECT_EQ(f.list.LineStartRow(1), 1);
}

TEST(ScreenRows, RowsTextAndLineBounds) {
    Fixture f;
    f.list.LoadText(std::string(45, 'a') + "\r\nb\r\nc");
    // rows: a20 W, a20 W, a5 LE, b LE, c EOT
    EXPECT_EQ(f.list.LineStartRow(2), 0);
    EXPECT_EQ(f.list.LineEndRow(0), 2);
    EXPECT_EQ(f.list.LineEndRow(3), 3);
    auto t = f.list.RowsText(1, -1);
    EXPECT_EQ(t.Text, std::string(25, 'a') + "\r\n");
    EXPECT_EQ(t.LastAttr, LE);
    EXPECT_EQ(t.RowCount, 2);
    t = f.list.RowsText(3, 5);
    EXPECT_EQ(t.Text, "b\r\nc");
    EXPECT_EQ(t.LastAttr, EOT);
    EXPECT_EQ(t.RowCount, 2);
    for (int bad : {-1, 5}) {
        t = f.list.RowsText(bad, 1);
        EXPECT_EQ(t.Text, "");
        EXPECT_EQ(t.LastAttr, NoRowAttr);
        EXPECT_EQ(t.RowCount, 0);
    }
}

TEST(ScreenRows, AnEditRecutsOnlyItsLineAndReportsOnce) {
    Fixture f;
    f.list.LoadText("top\r\n" + std::string(45, 'a') + "\r\nnext\r\nlast");
    // rows: top LE, a20 W, a20 W, a5 LE, next LE, last EOT
    f.ed.changes.clear();
    // Typing one character into the middle row of the wrapped line.
    f.list.ReplaceRows(2, 1, std::string(10, 'a') + "X" + std::string(10, 'a'));
    ASSERT_EQ(f.ed.changes.size(), 1u);
    EXPECT_EQ(f.ed.changes[0].Start, 1) << "re-cut starts one row above the edit";
    EXPECT_EQ(f.ed.changes[0].Removed, 3);
    EXPECT_EQ(f.ed.changes[0].Inserted, 3);
    EXPECT_TRUE(f.ed.changes[0].TextChanged);
    EXPECT_EQ(f.list.ChangeRecord().Start, -1) << "cleared when the bracket closes";
    EXPECT_EQ(Rows(f.list)[2], (Row{std::string(10, 'a') + "X" + std::string(9, 'a'), WR}));
    EXPECT_EQ(Rows(f.list)[3], (Row{"aaaaaa", LE}));
    EXPECT_EQ(f.list.Text(),
              "top\r\n" + std::string(30, 'a') + "X" + std::string(15, 'a') + "\r\nnext\r\nlast");

    // Deleting a line end joins the line with the next one and re-cuts both.
    f.ed.changes.clear();
    f.list.ReplaceRows(3, 1, "aaaaaa");
    ASSERT_EQ(f.ed.changes.size(), 1u);
    EXPECT_EQ(f.ed.changes[0].Start, 2);
    EXPECT_EQ(f.ed.changes[0].Removed, 3) << "rows 2, 3 and the next line";
    EXPECT_EQ(f.list.Text(),
              "top\r\n" + std::string(30, 'a') + "X" + std::string(15, 'a') + "next\r\nlast");
    auto undo = f.list.UndoObj().UndoList().back();
    EXPECT_EQ(undo.StartRow, 2);
    EXPECT_EQ(undo.RowCount, 2) << "the rows put in place of the three";
    EXPECT_EQ(undo.Text, std::string(10, 'a') + "X" + std::string(9, 'a') + "aaaaaa\r\nnext\r\n");
    // Invalid requests change nothing.
    std::string before = f.list.Text();
    f.list.ReplaceRows(-1, 1, "x");
    f.list.ReplaceRows(2, 99, "x");
    f.list.ReplaceRows(1, 0, "");
    EXPECT_EQ(f.list.Text(), before);
}

// A last line that fills its rows exactly ends in an empty EndOfText row; a line end typed
// before that row must stay in the text.
TEST(ScreenRows, AnEditInALongWrappedLineRecutsOnlyUntilTheRowsFallInStep) {
    for (bool wordBreak : {true, false}) {
        SCOPED_TRACE(wordBreak);
        Fixture f;
        f.list.WrapOption().SetWordBreak(wordBreak);
        std::string line;
        for (int i = 0; i < 60; ++i)
            line += (i % 3 ? "word " : Sjis("表示 ")) + std::to_string(i) + " ";
        f.list.LoadText("top\r\n" + line + "\r\nend");
        const int rows = f.list.Count();
        ASSERT_GT(rows, 20);
        f.ed.changes.clear();
        std::string r2 = f.list.Text(2);
        f.list.ReplaceRows(2, 1, r2.substr(0, 3) + "X" + r2.substr(3));
        Fixture fresh;
        fresh.list.WrapOption().SetWordBreak(wordBreak);
        fresh.list.LoadText(f.list.Text());
        EXPECT_EQ(Rows(f.list), Rows(fresh.list));
        ASSERT_EQ(f.ed.changes.size(), 1u);
        if (wordBreak) {
            // The cut falls in step again at a word within a few rows.
            EXPECT_LT(f.ed.changes[0].Removed, 6) << "of " << rows;
            EXPECT_EQ(f.ed.changes[0].Removed, f.ed.changes[0].Inserted);
        }
        f.list.Undo();
        Fixture g;
        g.list.WrapOption().SetWordBreak(wordBreak);
        g.list.LoadText("top\r\n" + line + "\r\nend");
        EXPECT_EQ(Rows(f.list), Rows(g.list));
    }
}

// Edits in lines longer than the window the re-cut first tries: the rows are those of a whole
// re-wrap, whether the cut falls into step inside the window, beyond it or never.
TEST(ScreenRows, EditsInVeryLongLinesGiveTheRowsOfAWholeRewrap) {
    std::mt19937 rng(21);
    const std::vector<std::string> pieces = {"a",          "bc ",      " ",        "\t",
                                             Sjis("漢字"), Sjis("か"), Sjis("、"), Sjis("。"),
                                             "word ",      Sjis("ｱ"),  "(",        ")"};
    for (int round = 0; round < 9; ++round) {
        SCOPED_TRACE(round);
        Fixture f(20 + static_cast<int>(rng() % 30));
        TEditorWrapOption& o = f.list.WrapOption();
        o.SetWordBreak(rng() % 2);
        o.SetLeading(rng() % 2);
        o.SetFollowPunctuation(rng() % 2);
        std::string line;
        const int kind = round % 3; // mixed pieces, one letter, one kanji
        while (line.size() < 24000)
            line += kind == 0 ? pieces[rng() % pieces.size()] : kind == 1 ? "a" : Sjis("表");
        f.list.LoadText("top\r\n" + line + "\r\n" + line.substr(0, 3000));
        for (int step = 0; step < 6; ++step) {
            const int row = 1 + static_cast<int>(rng() % (f.list.Count() - 1));
            std::string t = f.list.Text(row);
            size_t at = 0, stop = t.empty() ? 0 : rng() % t.size();
            while (at < stop)
                at += cp932::IsLeadByte(static_cast<unsigned char>(t[at])) ? 2 : 1;
            at = std::min(at, t.size());
            const std::string ins = step % 2 ? Sjis("表") : "x";
            if (step == 5)
                t.erase(0, std::min<size_t>(t.size(), 5)); // a deletion
            else
                t.insert(at, ins);
            if (f.list.RowAttr(row) == LE) t += "\r\n";
            f.list.ReplaceRows(row, 1, t);
            Fixture fresh(o.WrapByte());
            fresh.list.WrapOption().Assign(o);
            fresh.list.LoadText(f.list.Text());
            ASSERT_EQ(Rows(f.list), Rows(fresh.list)) << "step " << step << " row " << row;
        }
        const std::string edited = f.list.Text();
        while (f.list.UndoObj().CanUndo())
            f.list.Undo();
        EXPECT_EQ(f.list.Text(), "top\r\n" + line + "\r\n" + line.substr(0, 3000));
        while (f.list.UndoObj().CanRedo())
            f.list.Redo();
        EXPECT_EQ(f.list.Text(), edited);
    }
}

TEST(ScreenRows, ALineEndBeforeTheEmptyLastRowIsKept) {
    const std::string a20(20, 'a');
    struct Case {
        const char* name;
        int index, count;
        std::string text, expect;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"typed before the empty row", 1, 0, "x\r\n", a20 + "x\r\n", {{a20, WR}, {"x", LE}}},
        {"a lone LF", 1, 0, "\n", a20 + "\r\n", {{a20, WR}, {"", LE}}},
        {"the full row replaced", 0, 1, "b\r", "b\r\n", {{"b", LE}}},
        {"no line end typed", 1, 0, "x", a20 + "x", {{a20, WR}, {"x", EOT}}},
        // Emptying the full row leaves nothing of the line: it goes whole, and no empty row
        // follows the line end above it.
        {"the full row emptied", 1, 1, "", "b\r\n", {{"b", LE}}},
    };
    for (const Case& c : cases) {
        Fixture f(20, true);
        f.list.LoadText(c.count == 1 && c.text.empty() ? "b\r\n" + a20 : a20);
        const int at = f.list.Count() - 2;
        ASSERT_EQ(f.list.Text(at), a20);
        ASSERT_EQ(Rows(f.list).back(), (Row{"", EOT}));
        f.list.SetRowMarks(at, 1 << 5);
        f.list.ReplaceRows(c.index, c.count, c.text);
        EXPECT_EQ(f.list.Text(), c.expect) << c.name;
        EXPECT_EQ(Rows(f.list), c.rows) << c.name;
        int marks = 0;
        for (int i = 0; i < f.list.Count(); ++i)
            marks |= f.list.RowMarks(i);
        EXPECT_EQ(marks, 1 << 5) << c.name << ": the mark stays";
    }
    // The whole text emptied that way leaves no rows.
    Fixture f(20, true);
    f.list.LoadText(a20);
    f.list.ReplaceRows(0, 1, "");
    EXPECT_EQ(f.list.Count(), 0);
}

TEST(ScreenRows, DeletingWholeLinesMovesTheirMarksDown) {
    Fixture f(20, false);
    f.list.LoadText("a\r\nb\r\nc\r\nd");
    f.list.SetRowMarks(1, 1 << 3);
    f.list.SetRowMarks(2, 1 << 11);
    f.list.SetRowMarks(3, 1 << 0);
    f.list.AddMarks((1 << 3) | (1 << 11) | 1);
    f.list.ReplaceRows(1, 2, "");
    EXPECT_EQ(Rows(f.list), (std::vector<Row>{{"a", LE}, {"d", EOT}}));
    EXPECT_EQ(f.list.RowMarks(1), (1 << 3) | (1 << 11) | 1);
    EXPECT_EQ(f.list.UndoObj().UndoList().back().Text, "b\r\nc\r\n");
    // Deleting everything drops the marks from the used set.
    f.list.ReplaceRows(0, 2, "");
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_EQ(f.list.UsedMarks(), 0);
}

TEST(ScreenRows, MarksOnAWrappedLineStayWithTheirRowsWhenItIsRecut) {
    Fixture f(20, true);
    f.list.LoadText("top\r\n" + std::string(50, 'a') + "\r\nend");
    // rows: top LE, a20 W, a20 W, a10 LE, end EOT
    f.list.SetRowMarks(2, 1 << 2);
    f.list.SetRowMarks(3, 1 << 13);
    f.list.ReplaceRows(2, 1, "X" + std::string(20, 'a')); // one character typed into row 2
    EXPECT_EQ(f.list.Count(), 5);
    EXPECT_EQ(f.list.RowMarks(2), 1 << 2);
    EXPECT_EQ(f.list.RowMarks(3), 1 << 13);
    // A line that grows by a row (a20 b45 a11: four rows): the marks stay aligned with the end
    // of the line.
    f.list.ReplaceRows(2, 1, std::string(45, 'b'));
    EXPECT_EQ(f.list.Count(), 6);
    EXPECT_EQ(f.list.RowMarks(2), 0);
    EXPECT_EQ(f.list.RowMarks(3), 1 << 2);
    EXPECT_EQ(f.list.RowMarks(4), 1 << 13);
    EXPECT_EQ(f.list.RowMarks(5), 0);
    // Joining it with the next line by deleting its line end keeps every mark.
    f.list.ReplaceRows(4, 1, f.list.Text(4));
    int all = 0;
    for (int i = 0; i < f.list.Count(); ++i)
        all |= f.list.RowMarks(i);
    EXPECT_EQ(all, (1 << 2) | (1 << 13));
    EXPECT_EQ(f.list.LineEndRow(1), f.list.Count() - 1);
}

TEST(ScreenRows, PutRowsCarriesMarks) {
    struct Case {
        const char* name;
        int oldCount;
        std::vector<const char*> rows;
        int caretCol;
        std::vector<int> marks; // of the rows from Index after the put
    };
    // Rows r0..r3 carry the marks 1, 2, 4, 8; the put starts at row 1.
    const Case cases[] = {
        {"same count", 2, {"x", "y"}, 0, {2, 4, 8}},
        {"fewer rows", 2, {"x"}, 0, {2 | 4, 8}},
        {"no rows", 2, {}, 0, {8}},
        {"line break at the row start", 1, {"", "x"}, 0, {0, 2, 4, 8}},
        {"line break inside the row", 1, {"x", "y"}, 3, {2, 0, 4, 8}},
        {"more rows keep the end aligned", 2, {"x", "y", "z"}, 3, {2, 0, 4, 8}},
    };
    for (const Case& c : cases) {
        Fixture f(20, false);
        f.list.LoadText("r0\r\nr1\r\nr2\r\nr3");
        for (int i = 0; i < 4; ++i)
            f.list.SetRowMarks(i, 1 << i);
        f.ed.caretCol = c.caretCol;
        TRowAttributeStringList rows;
        for (const char* t : c.rows)
            rows.Add(t);
        f.list.PutRows(1, c.oldCount, rows);
        std::vector<int> got;
        for (int i = 1; i < f.list.Count(); ++i)
            got.push_back(f.list.RowMarks(i));
        EXPECT_EQ(got, c.marks) << c.name;
        EXPECT_EQ(f.list.RowMarks(0), 1) << c.name;
    }
}

TEST(ScreenRows, SwitchingWrapKeepsTextAndMarksAndEmptiesUndo) {
    Fixture f(20, true);
    const std::string text =
        std::string(45, 'a') + "\r\n" + Sjis("漢字") + "\r\n" + std::string(30, 'b');
    f.list.LoadText(text);
    f.list.SetRowMarks(1, 1 << 4);
    f.list.SetRowMarks(2, 1 << 12);
    f.list.ReplaceRows(3, 1, Sjis("漢字\r\n"));
    EXPECT_FALSE(f.list.UndoObj().UndoList().empty());
    f.ed.caretRow = 4;
    f.ed.caretCol = 7;
    f.ed.rewrapped = 0;
    f.list.SetWordWrap(false);
    EXPECT_TRUE(f.list.UndoObj().UndoList().empty());
    EXPECT_EQ(f.list.Count(), 3);
    EXPECT_EQ(f.list.RowMarks(0), (1 << 4) | (1 << 12));
    EXPECT_EQ(f.list.Text(), text);
    EXPECT_EQ(f.list.RowAttr(2), EOT);
    EXPECT_EQ(f.ed.caretRow, 2) << "caret brought back into range";
    EXPECT_EQ(f.ed.caretCol, 0);
    EXPECT_EQ(f.ed.rewrapped, 1);
    f.list.SetWordWrap(true);
    EXPECT_EQ(f.list.Count(), 6);
    f.list.WrapAll();
    EXPECT_EQ(f.list.UnparsedFrom(), 0) << "rows cut anew are not parsed";
    f.list.ReparseAll();
    EXPECT_EQ(f.list.Text(), text);
    EXPECT_EQ(f.list.RowMarks(0), (1 << 4) | (1 << 12)) << "the first row takes the line's marks";
    // A change of the wrap options re-wraps; the same value again does not.
    f.list.WrapOption().SetWrapByte(40);
    EXPECT_EQ(f.ed.rewrapped, 3);
    EXPECT_EQ(f.list.Count(), 4);
    f.list.WrapOption().SetWrapByte(40);
    EXPECT_EQ(f.ed.rewrapped, 3);
    EXPECT_EQ(f.list.Text(), text);
}

TEST(ScreenRows, ReparseStopsWhereTheStateConvergesAndWithinTwoScreens) {
    Fixture f(20, false);
    f.UseParentheses(true);
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "row " + std::to_string(i) + "\r\n";
    f.list.LoadText(text);
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(f.list.Parsed(i));
    // A plain edit far down: only the re-cut rows (the edited line and the one after it, which
    // the edit could have joined) are stored again.
    f.ed.repainted.clear();
    f.list.ReplaceRows(150, 1, "edited\r\n");
    EXPECT_EQ(f.ed.repainted, (std::vector<int>{150, 151}));
    // An opening bracket changes the state of every row below; the walk stops two screens on
    // (screen of 10 rows) and forgets the rest.
    f.ed.repainted.clear();
    f.list.ReplaceRows(100, 1, "(open\r\n");
    EXPECT_EQ(f.ed.repainted.size(), 21u);
    EXPECT_EQ(f.ed.repainted.back(), 120);
    EXPECT_EQ(f.list.Bracket(120), 0);
    EXPECT_FALSE(f.list.Parsed(121));
    EXPECT_FALSE(f.list.Parsed(199));
    EXPECT_TRUE(f.list.Parsed(99));
    // Drawing further down parses from the last known state.
    f.list.ReparseFrom(180, false);
    EXPECT_EQ(f.list.Bracket(180), 0);
    f.list.ReplaceRows(100, 1, "closed\r\n");
    f.list.ReparseFrom(199, false);
    EXPECT_EQ(f.list.Bracket(199), -1);

    // Without InitBracketsFull only about two screens below the top row are parsed.
    f.ed.initFull = false;
    f.ed.topRow = 30;
    f.list.ReparseAll();
    EXPECT_TRUE(f.list.Parsed(50));
    EXPECT_FALSE(f.list.Parsed(51));
}

// The states below an edit that did not converge are forgotten at once; the forgotten rows
// must stay forgotten however later edits move them (their words still hold the old states).
TEST(ScreenRows, ForgottenStatesStayForgottenWhenRowsMove) {
    Fixture f(20, false);
    f.UseParentheses(true);
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "r" + std::to_string(i) + "\r\n";
    f.list.LoadText(text);
    ASSERT_EQ(f.list.UnparsedFrom(), 100);
    f.list.ReplaceRows(10, 1, "(r10\r\n"); // walks rows 10 to 30, two screens of 10
    EXPECT_EQ(f.list.UnparsedFrom(), 31);
    EXPECT_TRUE(f.list.Parsed(30));
    EXPECT_FALSE(f.list.Parsed(31));
    EXPECT_FALSE(f.list.Parsed(99));
    // Deleting lines above pulls the forgotten rows up with them.
    f.list.ReplaceRows(0, 5, "");
    EXPECT_EQ(f.list.UnparsedFrom(), 26);
    EXPECT_TRUE(f.list.Parsed(25));
    EXPECT_FALSE(f.list.Parsed(26));
    // Drawing a forgotten row parses it from the last known state: inside the bracket.
    auto tokens = f.list.RowTokens(28, f.list.Text(28));
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].Kind, kdBracket);
    EXPECT_EQ(f.list.Bracket(28), 0);
    // Lines put in above push the tail down with them.
    int from = f.list.UnparsedFrom();
    f.list.ReplaceRows(0, 0, "a\r\nb\r\n");
    EXPECT_EQ(f.list.UnparsedFrom(), from + 2);
    EXPECT_TRUE(f.list.Parsed(from + 1));
    // A forgotten row exchanged into the parsed rows takes the tail's start with it.
    f.list.Exchange(3, 90);
    EXPECT_FALSE(f.list.Parsed(3));
    EXPECT_TRUE(f.list.Parsed(2));
    f.list.Clear();
    EXPECT_EQ(f.list.UnparsedFrom(), 0);
}

TEST(ScreenRows, ClearAndCaretsIntoRange) {
    Fixture f(20, false);
    FakeEditor second;
    f.list.AddEditor(&second);
    f.list.LoadText("a\r\nb\r\nc\r\nd");
    second.caretRow = 3;
    second.topRow = 3;
    f.list.ReplaceRows(2, 2, "");
    EXPECT_EQ(f.list.Text(), "a\r\nb\r\n");
    EXPECT_EQ(second.caretRow, 2) << "the virtual row after a final line end";
    EXPECT_EQ(second.topRow, 2);
    EXPECT_EQ(second.changes.size(), f.ed.changes.size()) << "every sharing editor is told";
    f.list.ReplaceRows(1, 1, "b");
    EXPECT_EQ(f.list.Text(), "a\r\nb");
    EXPECT_EQ(second.caretRow, 1) << "onto the last row when it ends the text";
    second.caretCol = 5;
    f.list.AddMarks(3);
    f.list.Clear();
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_EQ(second.caretRow, 0);
    EXPECT_EQ(second.caretCol, 0);
    EXPECT_EQ(f.list.UsedMarks(), 0);
    EXPECT_TRUE(f.list.UndoObj().UndoList().empty());
    EXPECT_GE(second.dropped, 1);
    f.list.RemoveEditor(&second);
    EXPECT_EQ(f.list.EditorCount(), 1);
}

TEST(ScreenRows, RowTokensParseOnDemandAndSeeAcrossTheWrap) {
    Fixture f(20, true);
    f.ed.screenRows = 1; // the initial parse covers two rows only
    f.ed.fountain.ReserveWordList().Add(Sjis("消費税"));
    auto* b = f.UseParentheses(false);
    TEditorColors& c = f.ed.fountain.Colors();
    // Row 3 cuts the reserve word after two bytes; a bracket opened on row 0 stays open.
    f.list.LoadText("(a\r\nb\r\nc\r\n" + std::string(18, 'x') + Sjis("消費税") + " d)");
    ASSERT_EQ(f.list.Text(3), std::string(18, 'x') + Sjis("消"));
    ASSERT_FALSE(f.list.Parsed(3));
    using V = std::vector<TRowToken>;
    EXPECT_EQ(f.list.RowTokens(3, f.list.Text(3)), (V{{0, 20, kdBracket, &b->ItemColor()}}));
    EXPECT_TRUE(f.list.Parsed(3));
    EXPECT_EQ(f.list.RowTokens(4, f.list.Text(4)), (V{{0, 7, kdBracket, &b->ItemColor()}}));
    // Without the bracket the cut word keeps the reserve colour on both rows.
    f.list.ReplaceRows(0, 1, "a\r\n");
    EXPECT_EQ(f.list.RowTokens(3, f.list.Text(3)),
              (V{{0, 18, kdWord, &c.Ank()}, {18, 2, kdKanji, &c.Reserve()}}));
    EXPECT_EQ(f.list.RowTokens(4, f.list.Text(4)), (V{{0, 4, kdReserve, &c.Reserve()},
                                                      {5, 1, kdWord, &c.Ank()},
                                                      {6, 1, kdSymbol, &c.Symbol()}}));
    EXPECT_TRUE(f.list.RowTokens(99, "x").empty());
}

// Without brackets no state runs on past a line end, so a row far below what is parsed takes its
// tokens from its own line: the same as a parse from the text's start gives, row for row, with
// comments, quotations, reserve words and addresses cut by the wrap.
TEST(ScreenRows, RowTokensFarBelowTheParsedRowsMatchAFullParse) {
    std::mt19937 rng(3);
    const std::vector<std::string> pieces = {
        "a",          "bc",           " ",          "//",
        "'",          "\r\n",         "9",          "1.5e3",
        Sjis("漢字"), Sjis("ソ表"),   Sjis("能ポ"), Sjis("、"),
        "begin",      Sjis("消費税"), Sjis("ｱｲ"),   "http://example.jp/a?b=1",
        "x@y.jp",
    };
    for (int round = 0; round < 60; ++round) {
        std::string text;
        for (int i = 0, n = 40 + static_cast<int>(rng() % 200); i < n; ++i)
            text += pieces[rng() % pieces.size()];
        std::vector<std::vector<TRowToken>> want, got;
        FakeEditor ed; // one fountain for both, so that the colours compare
        ed.screenRows = 1;
        ed.fountain.SetCommenter("//");
        ed.fountain.SetQuotation("'");
        ed.fountain.ReserveWordList().Add("begin");
        ed.fountain.ReserveWordList().Add(Sjis("消費税"));
        const int wrapByte = 20 + static_cast<int>(rng() % 10);
        for (const bool full : {true, false}) {
            TEditorScreenStrings list;
            list.AddEditor(&ed);
            list.WrapOption().SetWrapByte(wrapByte);
            list.SetWordWrap(true);
            ed.initFull = full;
            list.LoadText(text);
            auto& out = full ? want : got;
            // From the bottom up, so that no row asked for has been parsed by an earlier one.
            out.assign(static_cast<size_t>(list.Count()), {});
            for (int r = list.Count() - 1; r >= 0; --r)
                out[static_cast<size_t>(r)] = list.RowTokens(r, list.Text(r));
            if (!full) {
                EXPECT_FALSE(list.Parsed(list.Count() - 1));
            }
        }
        ASSERT_EQ(got.size(), want.size());
        for (size_t r = 0; r < want.size(); ++r)
            ASSERT_EQ(got[r], want[r]) << "round " << round << ", row " << r << " of\n"
                                       << cp932::ToUtf8(text);
    }
}

// Line ends as the rows give them back: CR LF, a lone CR and a lone LF each become CR LF.
std::string Normalized(std::string_view t) {
    std::string r;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' || t[i] == '\n') {
            if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
            r += "\r\n";
        } else {
            r += t[i];
        }
    }
    return r;
}

// What is wrong with the rows of l, if anything: the row model (no line end inside a row,
// Wrapped rows only with wrapping on, the last row LineEnd or EndOfText) and the wrap widths (a
// line narrower than the wrap width is one row; every row of a cut line holds whole characters,
// is at most the width, or three columns more with hanging punctuation, and every row but the
// line's last is wider than a third of it).
std::string RowRuleBroken(const TEditorScreenStrings& l) {
    const int n = l.Count();
    const TWrapContext ctx = l.WrapContext();
    const TColumnMetrics m = ctx.Metrics();
    const TEditorWrapOption& o = *ctx.Option;
    const int W = o.WrapByte();
    const int widest = W + (o.FollowPunctuation() ? 3 : 0);
    for (int i = 0; i < n; ++i) {
        const std::string& t = l.Text(i);
        const std::string at = "row " + std::to_string(i) + " " + cp932::ToUtf8(t) + ": ";
        if (t.find_first_of("\r\n") != std::string::npos) return at + "line end inside";
        int a = l.RowAttr(i);
        if (i + 1 < n ? a == EndOfText : a == Wrapped) return at + "attribute " + std::to_string(a);
        if (!l.WordWrap() && a == Wrapped) return at + "wrapped without wrapping";
    }
    if (!l.WordWrap()) return "";
    for (int s = 0; s < n;) {
        const int e = l.LineEndRow(s);
        std::string line;
        for (int i = s; i <= e; ++i)
            line += l.Text(i);
        const std::string at = "line at row " + std::to_string(s) + ": ";
        const int width = StrWidth(line, m);
        if (width < W && e != s) return at + "narrower than the width but cut";
        if (e == s && width >= W && !o.FollowRetMark()) return at + "as wide as the width, one row";
        for (int i = s; i <= e && e > s; ++i) {
            const std::string& t = l.Text(i);
            const int w = StrWidth(t, m);
            const std::string row = "row " + std::to_string(i) + " " + cp932::ToUtf8(t) + " ";
            if (w > widest) return at + row + "too wide: " + std::to_string(w);
            if (i < e && w <= W / 3) return at + row + "too narrow: " + std::to_string(w);
            if (!t.empty() && IsLeadByteAt(t, static_cast<int>(t.size())))
                return at + row + "ends inside a character";
        }
        s = e + 1;
    }
    return "";
}

// Random Shift-JIS texts and random edits: the rows always join back to the old text with the
// replaced rows' text spliced out; they keep the row model and the wrap widths and are exactly
// what cutting the text afresh gives; no row mark is lost; and every parsed row holds the state
// a full parse gives.
TEST(ScreenRows, RandomEditsKeepTextRowsAndStatesRight) {
    std::mt19937 rng(11);
    const std::vector<std::string> pieces = {
        "a",        "bc",           " ",        "\t",       "(",          ")",        "//",
        "x",        "\r\n",         "\r",       "\n",       Sjis("漢字"), Sjis("か"), Sjis("カタ"),
        Sjis("、"), Sjis("。"),     Sjis("「"), Sjis("」"), "word",       "9",        Sjis("ｱ"),
        "begin",    Sjis("消費税"), ",",
    };
    auto randomText = [&](int maxPieces) {
        std::string t;
        int n = static_cast<int>(rng() % (maxPieces + 1));
        for (int i = 0; i < n; ++i)
            t += pieces[rng() % pieces.size()];
        return t;
    };
    for (int round = 0; round < 40; ++round) {
        Fixture f(20 + static_cast<int>(rng() % 20), rng() % 4 != 0);
        // No window at all, a tiny one, a small one: the parse limit falls inside and after
        // the rows an edit puts in.
        f.ed.screenRows = static_cast<int>(rng() % 3) * 2;
        TEditorWrapOption& o = f.list.WrapOption();
        o.SetLeading(rng() % 2);
        o.SetWordBreak(rng() % 2);
        o.SetFollowPunctuation(rng() % 2);
        o.SetFollowRetMark(rng() % 2);
        auto* b = f.ed.fountain.Brackets().Add();
        b->LeftBracket = "(";
        b->RightBracket = ")";
        auto* b2 = f.ed.fountain.Brackets().Add();
        b2->LeftBracket = Sjis("「");
        b2->RightBracket = Sjis("」");
        f.ed.fountain.SetCommenter("//");
        f.ed.fountain.ReserveWordList().Add("begin");
        f.ed.fountain.ReserveWordList().Add(Sjis("消費税"));
        f.list.LoadText(randomText(80));
        auto allMarks = [&] {
            int m = 0;
            for (int i = 0; i < f.list.Count(); ++i)
                m |= f.list.RowMarks(i);
            return m;
        };
        for (int step = 0; step < 60; ++step) {
            const int n = f.list.Count();
            if (n > 0 && rng() % 4 == 0) {
                int mark = 1 << (rng() % 16);
                f.list.SetRowMarks(static_cast<int>(rng() % n), mark);
                f.list.AddMarks(mark);
            }
            const int marksBefore = allMarks();
            std::string before = f.list.Text();
            int index = n == 0 ? 0 : static_cast<int>(rng() % (n + 1));
            int count = index >= n ? 0 : static_cast<int>(rng() % std::min(4, n - index + 1));
            std::string ins = randomText(rng() % 3 == 0 ? 8 : 2);
            // The expected text: the replaced rows' text spliced out.
            size_t from = 0;
            for (int i = 0; i < index; ++i)
                from += f.list.Text(i).size() + (f.list.RowAttr(i) == LE ? 2 : 0);
            size_t len = f.list.RowsText(index, count).Text.size();
            if (count == 0) len = 0;
            std::string expect = before;
            bool valid = !(count == 0 && ins.empty()) &&
                         !(index == n && n > 0 && f.list.RowAttr(n - 1) != LE);
            // A lone CR or LF becomes CR LF in the rows.
            if (valid) expect = before.substr(0, from) + ins + before.substr(from + len);
            TEditorScreenStrings fresh;
            FakeEditor e2;
            fresh.AddEditor(&e2);
            fresh.WrapOption().Assign(o);
            fresh.SetWordWrap(f.list.WordWrap());
            fresh.LoadText(expect);
            f.list.ReplaceRows(index, count, ins);
            ASSERT_EQ(f.list.Text(), Normalized(expect)) << round << "/" << step;
            ASSERT_EQ(RowRuleBroken(f.list), "")
                << round << "/" << step << " wrap " << o.WrapByte();
            ASSERT_EQ(Rows(f.list), Rows(fresh))
                << round << "/" << step << " wrap " << o.WrapByte();
            // No mark is lost while rows remain.
            if (f.list.Count() > 0) {
                ASSERT_EQ(allMarks(), marksBefore) << round << "/" << step;
            }
            // States: a full parse of the same rows.
            TEditorScreenStrings full;
            FakeEditor e3;
            e3.fountain.Assign(f.ed.fountain);
            e3.initFull = true;
            full.AddEditor(&e3);
            full.WrapOption().Assign(o);
            full.SetWordWrap(f.list.WordWrap());
            full.LoadText(expect);
            for (int r = 0; r < f.list.Count(); ++r) {
                if (!f.list.Parsed(r)) {
                    for (int k = r; k < f.list.Count(); ++k)
                        ASSERT_FALSE(f.list.Parsed(k)) << "unparsed rows form the tail";
                    break;
                }
                ASSERT_EQ(f.list.Attr1(r), full.Attr1(r)) << round << "/" << step << " row " << r;
                ASSERT_EQ(f.list.CarryKind(r), full.CarryKind(r))
                    << round << "/" << step << " row " << r;
            }
        }
    }
}

// Random texts painted row by row with wrapping on get, byte for byte, the colours of the same
// lines painted whole without wrapping: tokens cut by the wrap keep their colour on both sides
// of the cut (words, kanji runs, numbers, reserve words, brackets with a two-byte closing pair,
// comments and quotations).
TEST(ScreenRows, WrappedRowsArePaintedLikeTheirWholeLines) {
    std::mt19937 rng(5);
    const std::vector<std::string> pieces = {
        "a",     "bc",           " ",        "\t",         "(",        ")",        "//",
        "'",     "<<",           ">>",       "\r\n",       "9",        "1.5e3",    ",",
        "x_1",   Sjis("漢字"),   Sjis("か"), Sjis("カタ"), Sjis("、"), Sjis("「"), Sjis("」"),
        "begin", Sjis("消費税"), Sjis("ｱｲ"),
    };
    for (int round = 0; round < 150; ++round) {
        std::string text;
        for (int i = 0, n = static_cast<int>(rng() % 120); i < n; ++i) {
            const std::string& p = pieces[rng() % pieces.size()];
            // A doubled quotation character that the wrap cuts in two is two characters to the
            // row after the cut, which resumes the string from its start: left out here.
            if (p == "'" && !text.empty() && text.back() == '\'') continue;
            text += p;
        }
        const int wrapByte = 20 + static_cast<int>(rng() % 20);
        const bool leading = rng() % 2, wordBreak = rng() % 2, punct = rng() % 2;
        std::vector<std::string> lineTexts;
        auto paint = [&](bool wrap) {
            Fixture f(wrapByte, wrap);
            TEditorWrapOption& o = f.list.WrapOption();
            o.SetLeading(leading);
            o.SetWordBreak(wordBreak);
            o.SetFollowPunctuation(punct);
            f.ed.initFull = true;
            TEditorFountain& fn = f.ed.fountain;
            for (auto [l, r] : {std::pair<std::string, std::string>{"(", ")"},
                                {Sjis("「"), Sjis("」")},
                                {"<<", ">>"}}) {
                auto* b = fn.Brackets().Add();
                b->LeftBracket = l;
                b->RightBracket = r;
                b->ItemColor().SetColor(static_cast<TColor>(fn.Brackets().Count()));
            }
            fn.SetCommenter("//");
            fn.SetQuotation("'");
            fn.ReserveWordList().Add("begin");
            fn.ReserveWordList().Add(Sjis("消費税"));
            f.list.LoadText(text);
            // Per line: the colour of each byte, as an index of its class (0 for none, -1 for
            // a byte no token covers).
            std::vector<TFountainColor*> classes{nullptr};
            fn.VisitPublished([&](TPersistent& p) {
                if (auto* c = dynamic_cast<TFountainColor*>(&p)) classes.push_back(c);
                p.VisitPublished([&](TPersistent& q) {
                    if (auto* c = dynamic_cast<TFountainColor*>(&q)) classes.push_back(c);
                    q.VisitPublished([&](TPersistent& r) {
                        if (auto* c = dynamic_cast<TFountainColor*>(&r)) classes.push_back(c);
                    });
                });
            });
            std::vector<std::vector<int>> lines;
            std::vector<int> line;
            lineTexts.clear();
            std::string lineText;
            for (int r = 0; r < f.list.Count(); ++r) {
                const std::string& t = f.list.Text(r);
                std::vector<int> bytes(t.size(), -1);
                for (const TRowToken& k : f.list.RowTokens(r, t)) {
                    int c = static_cast<int>(std::find(classes.begin(), classes.end(), k.Color) -
                                             classes.begin());
                    for (int i = k.Offset; i < k.Offset + k.Length; ++i)
                        bytes[i] = c;
                }
                line.insert(line.end(), bytes.begin(), bytes.end());
                lineText += t;
                if (f.list.RowAttr(r) != Wrapped) {
                    lines.push_back(line);
                    line.clear();
                    lineTexts.push_back(lineText);
                    lineText.clear();
                }
            }
            return lines;
        };
        auto wrapped = paint(true);
        auto whole = paint(false);
        ASSERT_EQ(wrapped.size(), whole.size()) << round;
        for (size_t i = 0; i < whole.size(); ++i) {
            ASSERT_EQ(wrapped[i].size(), whole[i].size());
            for (size_t b = 0; b < whole[i].size(); ++b) {
                // A row that continues a comment or a quotation begins its token after the
                // row's leading blanks, which stay unpainted.
                const unsigned char ch = static_cast<unsigned char>(lineTexts[i][b]);
                if (wrapped[i][b] == -1 && ch >= 0x01 && ch <= 0x20 && ch != '\t') continue;
                ASSERT_EQ(wrapped[i][b], whole[i][b])
                    << round << " line " << i << " byte " << b << " wrap " << wrapByte << " "
                    << cp932::ToUtf8(lineTexts[i]);
            }
        }
    }
}

} // namespace
} // namespace editor
