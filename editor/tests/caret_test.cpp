#include "editor_model.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

// The model with the focus and a view of 30 rows by 40 columns, recording what it tells the view.
struct Model : TEditorModel {
    bool focused = true;
    bool leftButton = false;
    int placed = 0, selectionViews = 0, underlineDraws = 0, underlineErases = 0;
    Model() {
        TEditorMetrics& m = MutableMetrics();
        m.ColWidth = 8;
        m.RowHeight = 16;
        m.FontHeight = 15;
        m.TopMargin = 2;
        m.LeftMargin = 20;
        m.VisibleRowCount = 30;
        m.VisibleColCount = 40;
    }
    bool Focused() const override { return focused; }
    bool HandleAllocated() const override { return true; }
    bool LeftButtonDown() const override { return leftButton; }
    void CaretPlacedView() override { ++placed; }
    void SelectionChangedView(const TSelectionExtent&, bool) override { ++selectionViews; }
    void UnderlineView(bool draw) override { ++(draw ? underlineDraws : underlineErases); }
    void Load(const std::string& text, bool wrap = false, int wrapByte = 20) {
        List().WrapOption().SetWrapByte(wrapByte);
        SetWordWrap(wrap);
        List().LoadText(text);
    }
    std::pair<int, int> At() const { return {Row(), Col()}; }
};

TEST(CaretOffsets, SelStartPutsTheCaretWhereTheOffsetFalls) {
    // P Q CR LF R S; and the same with kanji, whose bytes count one each.
    struct Case {
        const char* text;
        int offset;
        std::pair<int, int> caret;
        int readBack;
    } cases[] = {
        {"PQ\r\nRS", 0, {0, 0}, 0},
        {"PQ\r\nRS", 1, {0, 1}, 1},
        {"PQ\r\nRS", 2, {0, 2}, 2},
        {"PQ\r\nRS", 3, {0, 2}, 2}, // inside CR LF: after Q
        {"PQ\r\nRS", 4, {1, 0}, 4},
        {"PQ\r\nRS", 6, {1, 2}, 6},
        {"PQ\r\nRS", 99, {1, 2}, 6},
        {"PQ\r\nRS", -5, {0, 0}, 0},
        {"表ソ\r\n能ポ", 2, {0, 2}, 2},
        {"表ソ\r\n能ポ", 3, {0, 2}, 2}, // byte 3 is ソ's second
        {"表ソ\r\n能ポ", 6, {1, 0}, 6},
        {"表ソ\r\n能ポ", 8, {1, 2}, 8},
        // A final line end: its offset is the row after it.
        {"PQ\r\n", 4, {1, 0}, 4},
        {"PQ\r\n", 9, {1, 0}, 4},
        {"a\tb", 2, {0, 8}, 2}, // the tab's blank columns hold no byte
    };
    for (const Case& c : cases) {
        Model m;
        m.Load(Sjis(c.text));
        m.SetSelStart(c.offset);
        EXPECT_EQ(m.At(), c.caret) << c.text << " @" << c.offset;
        EXPECT_EQ(m.SelStart(), c.readBack) << c.text << " @" << c.offset;
    }
}

TEST(CaretOffsets, SelLengthAndSelTextCountLineEndsAsTwoBytes) {
    Model m;
    m.Load("PQ\r\nRS");
    m.SetSelStart(1);
    m.SetSelLength(4);
    EXPECT_TRUE(m.Selected());
    EXPECT_EQ(m.SelText(), "Q\r\nR");
    EXPECT_EQ(m.SelLength(), 4);
    EXPECT_EQ(m.SelStart(), 1);
    EXPECT_EQ(m.At(), std::make_pair(1, 1));

    // A second SelLength starts again from the selection's start; half a line end is none.
    m.SetSelLength(2);
    EXPECT_EQ(m.SelText(), "Q");
    EXPECT_EQ(m.SelLength(), 1);
    m.SetSelLength(0);
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(m.At(), std::make_pair(0, 1));

    Model k;
    k.Load(Sjis("表ソ能\r\nポ\r\n\\x"));
    k.SetSelStart(2);
    k.SetSelLength(10);
    EXPECT_EQ(k.SelText(), Sjis("ソ能\r\nポ\r\n"));
    EXPECT_EQ(k.SelLength(), 10);
    // An end inside a line end stops before it.
    k.SetSelLength(9);
    EXPECT_EQ(k.SelText(), Sjis("ソ能\r\nポ"));
    k.SelectAll();
    EXPECT_EQ(k.SelText(), Sjis("表ソ能\r\nポ\r\n\\x"));
    EXPECT_EQ(k.SelLength(), k.TextLength());
    EXPECT_EQ(k.SelStart(), 0);

    // Wrapped rows join without a line end.
    Model w;
    w.Load(std::string(25, 'a') + "\r\nb", true, 20);
    ASSERT_EQ(w.RowCount(), 3);
    w.SetSelStart(18);
    w.SetSelLength(10);
    EXPECT_EQ(w.SelText(), "aaaaaaa\r\nb");
    EXPECT_EQ(w.SelLength(), 10);

    Model empty;
    empty.SetSelLength(5);
    EXPECT_FALSE(empty.Selected());
    EXPECT_EQ(empty.SelStart(), 0);
}

TEST(CaretOffsets, AtTheTextsEndALengthTakesNothing) {
    for (const char* text : {"abc\r\ndef\r\n", "abc\r\ndef"}) {
        Model m;
        m.Load(text);
        const int end = m.TextLength();
        m.SetSelStart(end);
        m.SetSelLength(2);
        EXPECT_EQ(m.SelLength(), 0) << text;
        EXPECT_EQ(m.SelText(), "") << text;
        EXPECT_EQ(m.SelStart(), end) << text;
        // Counting from the row after the text is counting from its end.
        m.SetCaretByOffset(m.RowCount(), 0);
        EXPECT_EQ(m.SelStart(), end) << text;
    }
}

// Without wrapping a row may be wider than the 1000 columns drawn; every byte of it keeps its
// own place.
TEST(CaretOffsets, PlacesPastColumn1000StayInTheirRow) {
    // 表 covers columns 999 and 1000; ソ starts at column 1100.
    const std::string row = std::string(999, 'x') + Sjis("表") + std::string(99, 'y') + Sjis("ソ") +
                            std::string(99, 'z');
    Model m;
    m.Caret().SetFreeCaret(false);
    m.Load(row + "\r\nnext");
    ASSERT_EQ(m.RowCount(), 2);
    struct Case {
        int offset, readBack;
    } cases[] = {{999, 999},   {1000, 999},  {1001, 1001}, {1100, 1100},
                 {1101, 1100}, {1102, 1102}, {1201, 1201}, {1202, 1201}};
    for (const Case& c : cases) {
        m.SetSelStart(c.offset);
        EXPECT_EQ(m.Row(), 0) << c.offset;
        EXPECT_EQ(m.SelStart(), c.readBack) << c.offset;
        EXPECT_EQ(m.OffsetOf(0, m.Row(), m.Col()), c.readBack) << c.offset;
    }
    m.SetSelStart(1100);
    m.SetSelLength(4);
    EXPECT_EQ(m.SelText(), Sjis("ソzz"));
    m.SetSelStart(1199);
    m.SetSelLength(2);
    EXPECT_EQ(m.SelText(), "zz");
    m.SetSelStart(1199);
    m.SetSelLength(4);
    EXPECT_EQ(m.SelText(), "zz\r\n");
    // The row's end is its width; a step right from there goes nowhere without NextLine.
    m.SetRowCol(0, 5000);
    EXPECT_EQ(m.Col(), 1201);
    EXPECT_EQ(m.RowWidth(0), 1201);
}

TEST(CaretOffsets, EveryCaretPlaceSurvivesTheWayThroughItsOffset) {
    const char* pieces[] = {"a", "ソ", "表", "能", "ポ", "\t", " ", "\r\n", "x", "ｱ", "\\"};
    std::mt19937 rng(11);
    for (int round = 0; round < 40; ++round) {
        std::string text;
        int n = std::uniform_int_distribution<int>(0, 80)(rng);
        for (int i = 0; i < n; ++i)
            text += Sjis(pieces[std::uniform_int_distribution<int>(0, 10)(rng)]);
        Model m;
        m.Caret().SetFreeCaret(false);
        m.Load(text, round % 2 == 1, 20);
        int total = m.TextLength();
        EXPECT_EQ(total, static_cast<int>(text.size()));
        for (int off = 0; off <= total; ++off) {
            m.SetSelStart(off);
            int got = m.SelStart();
            // Only the middle of a CR LF or of a two-byte character moves back.
            EXPECT_LE(got, off);
            EXPECT_GE(got, off - 1);
            EXPECT_EQ(m.OffsetOf(0, m.Row(), m.Col()), got);
            int r = m.Row(), c = m.Col();
            m.SetCaretByOffset(0, got);
            EXPECT_EQ(m.At(), std::make_pair(r, c)) << cp932::ToUtf8(text) << " @" << off;
        }
    }
}

TEST(CaretColumns, TheCaretNeverStandsInsideACharacterOrATab) {
    // Row: "a" 表 TAB(to 8) "b"; columns: a=0, 表=1-2, tab=3 blanks 4-7, b=8.
    struct Case {
        int from, to;
        bool inTab;
        int expect;
    } cases[] = {
        {0, 2, false, 3},  // right onto the right half: past the character
        {3, 2, false, 1},  // left onto the right half: its left half
        {3, 5, false, 8},  // right into the blanks: past the tab
        {8, 6, false, 3},  // left into the blanks: the tab
        {8, 6, true, 6},   // the caret may stand in a tab
        {0, 50, false, 9}, // FreeCaret off: no further than the row's end
    };
    for (const Case& c : cases) {
        Model m;
        m.Caret().SetFreeCaret(false);
        m.Caret().SetInTab(c.inTab);
        m.Load(Sjis("a表\tb"));
        m.SetCol(c.from);
        m.SetCol(c.to);
        EXPECT_EQ(m.Col(), c.expect) << c.from << "->" << c.to;
    }
    // A click inside a tab's blanks puts the caret on the tab; on a right half, on the left.
    Model m;
    m.Load(Sjis("a表\tb"));
    m.SetRowCol(0, 6);
    EXPECT_EQ(m.Col(), 3);
    m.SetRowCol(0, 2);
    EXPECT_EQ(m.Col(), 1);
    // Free caret: beyond the end is allowed, but not beyond column 1000.
    m.SetCol(500);
    EXPECT_EQ(m.Col(), 500);
    m.SetCol(5000);
    EXPECT_EQ(m.Col(), 1000);
    // A two-byte character across column 1000 lets the caret stand after it.
    Model wide;
    wide.Load(std::string(999, 'a') + Sjis("表"));
    wide.SetCol(1001);
    EXPECT_EQ(wide.Col(), 1001);
}

TEST(CaretColumns, VerticalMovesKeepTheColumn) {
    Model m;
    m.Caret().SetFreeCaret(false);
    m.Caret().SetKeepCaret(true);
    m.Load(std::string(35, 'a') + "\r\n" + std::string(10, 'b') + "\r\n" + std::string(40, 'c'));
    m.SetRowCol(0, 30);
    m.SetRow(1);
    EXPECT_EQ(m.At(), std::make_pair(1, 10));
    m.SetRow(2);
    EXPECT_EQ(m.At(), std::make_pair(2, 30));
    // A horizontal move forgets the column.
    m.SetRow(1);
    m.SetCol(9);
    m.SetRow(2);
    EXPECT_EQ(m.Col(), 9);

    // Without KeepCaret the column is lost at the short row.
    Model k;
    k.Caret().SetFreeCaret(false);
    k.Load(std::string(35, 'a') + "\r\n" + std::string(10, 'b') + "\r\n" + std::string(40, 'c'));
    k.SetRowCol(0, 30);
    k.SetRow(1);
    k.SetRow(2);
    EXPECT_EQ(k.Col(), 10);

    // FreeRow keeps the caret beyond a short row's end while the mouse button is up.
    Model f;
    f.Caret().SetFreeCaret(false);
    f.Caret().SetFreeRow(true);
    f.Load(std::string(35, 'a') + "\r\nb");
    f.SetRowCol(0, 30);
    f.SetRow(1);
    EXPECT_EQ(f.Col(), 30);

    // Over a two-byte character a vertical move lands on its left half and returns after it.
    Model j;
    j.Load(Sjis("abcd\r\n表ソ\r\nabcd"));
    j.SetRowCol(0, 3);
    j.SetRow(1);
    EXPECT_EQ(j.Col(), 2);
    j.SetRow(2);
    EXPECT_EQ(j.Col(), 3);
}

TEST(CaretColumns, AWrappedRowHasNoPlaceAfterItsLastCharacter) {
    Model m;
    m.Caret().SetFreeCaret(false);
    m.Load(std::string(25, 'a'), true, 20);
    ASSERT_EQ(m.RowCount(), 2);
    ASSERT_EQ(m.RowWidth(0), 20);
    m.SetCol(20);
    EXPECT_EQ(m.Col(), 19);
    // With a two-byte character last, its left half.
    Model k;
    k.Caret().SetFreeCaret(false);
    k.Load(Sjis("表表表表表表表表表表表表"), true, 20);
    k.SetCol(20);
    EXPECT_EQ(k.Col(), 18);
    // The last row of a line keeps its end.
    m.SetRow(1);
    m.SetCol(5);
    EXPECT_EQ(m.Col(), 5);
}

TEST(CaretRows, TheRowAfterAFinalLineEndIsAPlaceOnlyWhenThereIsOne) {
    Model m;
    m.Load("ab\r\ncd\r\n");
    m.SetRow(5);
    EXPECT_EQ(m.Row(), 2);
    EXPECT_EQ(m.RowCount(), 2);
    Model k;
    k.Load("ab\r\ncd");
    k.SetRow(5);
    EXPECT_EQ(k.Row(), 1);
    Model e;
    e.Load("");
    e.SetRow(3);
    EXPECT_EQ(e.Row(), 0);
    EXPECT_EQ(e.SelStart(), 0);
}

TEST(CaretScrolling, TheViewFollowsTheCaretAndStaysInItsRange) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "line\r\n";
    Model m;
    m.Load(text);
    // EM_SCROLLCARET puts an outside caret a third down the view.
    m.focused = false; // the caret is not scrolled into view by itself without the focus
    m.SetRow(100);
    EXPECT_EQ(m.TopRow(), 0);
    m.ScrollCaret();
    EXPECT_EQ(m.TopRow(), 90);
    m.ScrollCaret();
    EXPECT_EQ(m.TopRow(), 90);

    m.focused = true;
    m.SetRow(150);
    EXPECT_EQ(m.TopRow(), 150 - 30 + 1);
    m.SetRow(10);
    EXPECT_EQ(m.TopRow(), 10);

    // Sideways the view jumps by a quarter and never past 1000 - VisibleColCount / 2.
    m.SetCol(45);
    EXPECT_EQ(m.TopCol(), 10);
    m.SetCol(1000);
    EXPECT_EQ(m.TopCol(), 961);
    m.SetTopCol(5000);
    EXPECT_EQ(m.TopCol(), 980);
    m.SetCol(975);
    EXPECT_EQ(m.TopCol(), 970);
    m.SetCol(0);
    EXPECT_EQ(m.TopCol(), 0);

    // Paging keeps the caret's place on the screen; at the top it goes to row 0.
    m.SetRow(15);
    m.SetTopRow(10);
    m.ScrollRows(30);
    EXPECT_EQ(m.TopRow(), 40);
    EXPECT_EQ(m.Row(), 45);
    m.ScrollRows(-100);
    EXPECT_EQ(m.TopRow(), 0);
    EXPECT_EQ(m.Row(), 5);
    m.ScrollRows(-1);
    EXPECT_EQ(m.Row(), 0);
    m.SetTopRow(-3);
    EXPECT_EQ(m.TopRow(), 0);
    m.SetTopRow(9999);
    EXPECT_EQ(m.TopRow(), 200);
}

TEST(CaretScrolling, PointsBecomeRowsAndColumns) {
    Model m;
    m.Load("abc");
    struct Case {
        int x, y;
        bool rounding;
        int row, col;
    } cases[] = {
        {20, 2, false, 0, 0}, {27, 17, false, 0, 0}, {28, 18, false, 1, 1}, {24, 2, true, 0, 1},
        {23, 2, true, 0, 0},  {19, 2, false, 0, 0},  {0, 0, false, -1, 0},
    };
    for (const Case& c : cases) {
        auto p = m.PosToRowCol(c.x, c.y, c.rounding);
        EXPECT_EQ(std::make_pair(p.Row, p.Col), std::make_pair(c.row, c.col)) << c.x << "," << c.y;
    }
    m.focused = false;
    m.SetTopCol(5);
    EXPECT_EQ(m.PosToRowCol(12, 2, false).Col, 4); // left of the margin: one column further left
}

TEST(CaretSelection, ExtentFollowsAnchorAndCaretInBothModes) {
    Model m;
    m.Load(Sjis("abcdef\r\n表ソ能ポ\r\nxy"));
    int changes = 0, drops = 0;
    m.OnSelectionChange = [&](TObject*, bool on) { ++(on ? changes : drops); };
    // Anchor below the caret.
    m.SetRowCol(1, 4);
    m.StartSelection();
    EXPECT_FALSE(m.Selected());
    m.SetRowCol(0, 2);
    m.UpdateSelection();
    ASSERT_TRUE(m.Selected());
    EXPECT_EQ(m.SelText(), Sjis("cdef\r\n表ソ"));
    EXPECT_EQ(m.SelLength(), 10);
    EXPECT_EQ(m.SelStart(), 2);
    TSelectionExtent e = m.SelectionExtent();
    EXPECT_EQ(std::make_pair(e.TopRow, e.BottomRow), std::make_pair(0, 1));
    EXPECT_EQ(std::make_pair(e.StartCol, e.EndCol), std::make_pair(2, 4));
    EXPECT_TRUE(m.UnderlineErased()); // no caret-row underline while a selection is shown
    EXPECT_EQ(changes, 1);

    // Box mode: columns 1..5 of rows 0..2; the box's edges on a right half move one cell right.
    m.SetSelectionMode(true);
    EXPECT_EQ(changes, 2);
    m.CleanSelection();
    EXPECT_FALSE(m.UnderlineErased());
    m.SetRowCol(0, 1);
    m.StartSelection();
    m.SetRowCol(2, 5);
    m.UpdateSelection();
    EXPECT_EQ(m.SelText(), Sjis("bcde\r\nソ能\r\ny\r\n"));
    EXPECT_EQ(m.SelLength(), 4 + 2 + 4 + 2 + 1 + 2);
    EXPECT_EQ(m.SelStart(), 1);

    m.CleanSelection();
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(m.SelLength(), 0);
    EXPECT_EQ(m.SelText(), "");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(drops, 2);

    // Normal mode clamps columns to the rows' widths.
    m.SetSelectionMode(false);
    m.SetRowCol(0, 50);
    m.StartSelection();
    m.SetRowCol(2, 40);
    m.UpdateSelection();
    e = m.SelectionExtent();
    EXPECT_EQ(std::make_pair(e.StartCol, e.EndCol), std::make_pair(6, 2));
    EXPECT_EQ(m.SelText(), Sjis("\r\n表ソ能ポ\r\nxy"));
}

TEST(CaretSelection, TheUnderlineBracketsNest) {
    Model m;
    m.Load("a\r\nb\r\nc");
    m.SetRow(1);
    EXPECT_EQ(m.underlineErases, 1);
    EXPECT_EQ(m.underlineDraws, 1);
    m.BeginUnderlineErase();
    m.SetRow(2);
    EXPECT_EQ(m.underlineErases, 2);
    EXPECT_EQ(m.underlineDraws, 1);
    m.EndUnderlineErase();
    EXPECT_EQ(m.underlineDraws, 2);
}

TEST(CaretSearch, FindsDownAndUpAndShowsTheHitByStyle) {
    Model m;
    m.Load(Sjis("ソ表abc\r\n能ABC表\r\nabc"));
    int moved = 0;
    m.OnCaretMoved = {&moved, [](void* d, TObject*) { ++*static_cast<int*>(d); }};
    // Downward from the caret; the next search starts after the selection.
    ASSERT_TRUE(m.Search("abc", 1));
    EXPECT_TRUE(m.Selected());
    EXPECT_EQ(m.SelStart(), 4);
    EXPECT_EQ(m.SelText(), "abc");
    EXPECT_EQ(m.HitLength(), 3);
    EXPECT_GT(moved, 0);
    ASSERT_TRUE(m.Search("abc", 1)); // case folded: "ABC" on row 1
    EXPECT_EQ(m.SelStart(), 11);
    ASSERT_TRUE(m.Search("abc", 1 | 2)); // matching case: row 2
    EXPECT_EQ(m.SelStart(), 18);
    EXPECT_FALSE(m.Search("abc", 1 | 2));
    EXPECT_EQ(m.SelStart(), 18); // nothing found: the selection stays
    // Upward from the selection's start.
    ASSERT_TRUE(m.Search(Sjis("表"), 0));
    EXPECT_EQ(m.SelStart(), 14);
    ASSERT_TRUE(m.Search(Sjis("表"), 0));
    EXPECT_EQ(m.SelStart(), 2);
    EXPECT_FALSE(m.Search(Sjis("表"), 0));
    // The second byte of ソ is "\\"; it is never found inside ソ.
    m.SetSelStart(0);
    EXPECT_FALSE(m.Search("\\", 1));

    // hsDraw: a hit state that is not a selection; hsCaret: not drawn, caret at the hit's start.
    m.SetSelStart(0);
    m.SetHitStyle(hsDraw);
    ASSERT_TRUE(m.Search("ABC", 1 | 2));
    EXPECT_EQ(m.SelectionState(), sstHit);
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(m.SelLength(), 0);
    EXPECT_EQ(m.SelText(), "");
    EXPECT_EQ(m.SelStart(), 11);
    m.SetHitStyle(hsCaret);
    m.SetSelStart(0);
    ASSERT_TRUE(m.Search("ABC", 1 | 2));
    EXPECT_EQ(m.SelectionState(), sstHit);
    EXPECT_EQ(m.At(), std::make_pair(1, 2));
    EXPECT_FALSE(m.Search("ABC", 1 | 2)); // the next downward search starts after the hit
    m.CleanSelection();
    EXPECT_EQ(m.HitLength(), 0);
}

TEST(CaretSearch, AMatchAcrossTwoChunksOfRowsIsFound) {
    // Rows of 100 bytes: a chunk ends after about 8191 bytes, inside the text; a match that
    // spans the line end between two rows at every place of the text is found, both ways.
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += std::string(96, 'x') + Sjis("表") + "\r\n";
    for (int row : {0, 80, 81, 82, 160, 161, 298}) {
        std::string t = text;
        const size_t at = static_cast<size_t>(row) * 100 + 96;
        t.replace(at, 2, Sjis("能"));
        t.replace(at + 4, 2, "yz");
        Model m;
        m.Load(t);
        std::string pattern = Sjis("能") + "\r\nyz";
        ASSERT_TRUE(m.Search(pattern, 1)) << row;
        EXPECT_EQ(m.SelStart(), static_cast<int>(at)) << row;
        EXPECT_EQ(m.SelText(), pattern);
        m.SetSelStart(static_cast<int>(t.size()));
        ASSERT_TRUE(m.Search(pattern, 0)) << row;
        EXPECT_EQ(m.SelStart(), static_cast<int>(at)) << row;
        // With line ends skipped the match need not spell them.
        m.SetSelStart(0);
        ASSERT_TRUE(m.Search(Sjis("能") + "yz", 1 | 0x80)) << row;
        EXPECT_EQ(m.SelStart(), static_cast<int>(at));
    }
}

} // namespace
} // namespace editor
