#include "input.h"

#include "codec.h"
#include "grid_model.h"

#include <gtest/gtest.h>

#include <utility>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

struct Model : GridModel {
    bool leftButton = false;
    bool LeftButtonDown() const override { return leftButton; }
    void Load(const std::string& text, bool wrap = false, int wrapByte = 20) {
        List().WrapOption().SetWrapByte(wrapByte);
        SetWordWrap(wrap);
        List().LoadText(text);
    }
};

// The client point at the middle of the cell (row, col), with the view at the top.
int X(int col) {
    return 20 + col * 8 + 4;
}
int Y(int row) {
    return 2 + row * 16 + 8;
}

struct Input : ::testing::Test {
    Model m;
    TEditorInput in{m};
    void Key(TEditorKey k, bool shift = false, bool ctrl = false, bool repeat = false) {
        EXPECT_TRUE(in.KeyDown(k, shift, ctrl, repeat));
        if (!repeat) in.KeyUp();
    }
    std::string Lines(int n) {
        std::string t;
        for (int i = 0; i < n; ++i)
            t += "line " + std::to_string(i) + " 表ソ能ポ\r\n";
        return t;
    }
};

TEST_F(Input, ShiftDownThreeTimesSelectsToTheSameColumnThreeRowsDown) {
    m.Load(Sjis("ab表ソcd\r\nx\r\n\r\n能ポ能ポ\r\nlast"));
    m.SetRowCol(0, 5);
    EXPECT_EQ(m.At(), std::make_pair(0, 4)); // column 5 is ソ's second half: on its first
    m.SetRowCol(0, 6);
    for (int i = 0; i < 3; ++i)
        Key(ekDown, true);
    EXPECT_EQ(m.At(), std::make_pair(3, 6)); // FreeCaret keeps the column past short rows
    EXPECT_TRUE(m.Selected());
    EXPECT_EQ(m.SelText(), Sjis("cd\r\nx\r\n\r\n能ポ能"));
    Key(ekLeft); // without Shift the selection goes
    EXPECT_FALSE(m.Selected());
}

TEST_F(Input, LeftAndRightStepOverTwoByteCharactersAndMayWrapToTheNextRow) {
    m.Caret().SetFreeCaret(false);
    m.Load(Sjis("表ソ\r\nポ"));
    Key(ekRight);
    EXPECT_EQ(m.At(), std::make_pair(0, 2));
    Key(ekRight);
    Key(ekRight); // end of row, NextLine off: stays
    EXPECT_EQ(m.At(), std::make_pair(0, 4));
    m.Caret().SetNextLine(true);
    Key(ekRight);
    EXPECT_EQ(m.At(), std::make_pair(1, 0));
    Key(ekLeft); // at column 0 with NextLine: the end of the row above
    EXPECT_EQ(m.At(), std::make_pair(0, 4));
    Key(ekLeft);
    EXPECT_EQ(m.At(), std::make_pair(0, 2));
    // The last row is EndOfText: Right at its end goes nowhere.
    m.SetRowCol(1, 2);
    Key(ekRight);
    EXPECT_EQ(m.At(), std::make_pair(1, 2));
}

TEST_F(Input, RightAtTheLastCharacterOfAWrappedRowGoesToTheNextRow) {
    m.Caret().SetFreeCaret(false);
    // 25 letters wrapped at 20 columns: row 0 holds 20.
    m.Load(std::string(25, 'a'), true, 20);
    ASSERT_EQ(m.RowCount(), 2);
    m.SetRowCol(0, 19);
    Key(ekRight);
    EXPECT_EQ(m.At(), std::make_pair(1, 0));
    Key(ekLeft); // the row above is Wrapped: back to its last character
    EXPECT_EQ(m.At(), std::make_pair(0, 19));
}

TEST_F(Input, HomeEndAndTheirCtrlFormsGoToRowAndTextEnds) {
    m.Load(Sjis("abc\r\n表ソ能\r\nxy"));
    m.SetRowCol(1, 2);
    Key(ekEnd);
    EXPECT_EQ(m.At(), std::make_pair(1, 6));
    Key(ekHome);
    EXPECT_EQ(m.At(), std::make_pair(1, 0));
    Key(ekEnd, false, true);
    EXPECT_EQ(m.At(), std::make_pair(2, 2));
    Key(ekHome, false, true);
    EXPECT_EQ(m.At(), std::make_pair(0, 0));
    // After a final line end Ctrl+End goes to the row after it, column 0.
    m.Load("ab\r\n");
    Key(ekEnd, false, true);
    EXPECT_EQ(m.At(), std::make_pair(1, 0));
}

TEST_F(Input, PagingScrollsByHalfAViewTimesTheSpeedAndFasterWhileTheKeyRepeats) {
    m.Load(Lines(200));
    m.Speed().SetPageVerticalRange(1);
    m.Speed().SetPageVerticalRangeAc(3);
    // (10 - 1) div 2 = 4 rows a step; 12 while repeating.
    Key(ekPageDown);
    EXPECT_EQ(m.TopRow(), 4);
    EXPECT_EQ(m.Row(), 4);
    in.KeyDown(ekPageDown, false, false, true);
    in.KeyDown(ekPageDown, false, false, true);
    EXPECT_TRUE(in.AutoRepeat());
    EXPECT_EQ(m.TopRow(), 28);
    EXPECT_EQ(m.Row(), 28);
    EXPECT_TRUE(in.ImeMoveDeferred());
    in.KeyUp();
    EXPECT_FALSE(in.AutoRepeat());
    Key(ekPageUp);
    EXPECT_EQ(m.TopRow(), 24);
    // At the top a page up puts the caret on row 0.
    m.SetTopRow(0);
    m.SetRowCol(5, 0);
    Key(ekPageUp);
    EXPECT_EQ(m.At(), std::make_pair(0, 0));
}

TEST_F(Input, HeldUpAndDownMoveFasterOnlyAtTheViewsEdge) {
    m.Load(Lines(100));
    m.Speed().SetCaretVerticalAc(3);
    m.SetRowCol(5, 0);
    in.KeyDown(ekDown, false, false, true); // inside the view: one row
    EXPECT_EQ(m.Row(), 6);
    m.SetRowCol(9, 0); // the last visible row
    in.KeyDown(ekDown, false, false, true);
    EXPECT_EQ(m.Row(), 12);
    in.KeyUp();
    Key(ekDown);
    EXPECT_EQ(m.Row(), 13);
}

TEST_F(Input, CtrlUpAndDownScrollTheViewAndMoveTheCaretOnlyWhenItWouldLeaveIt) {
    m.Load(Lines(100));
    m.SetTopRow(20);
    m.SetRowCol(25, 3);
    Key(ekUp, false, true);
    EXPECT_EQ(m.TopRow(), 19);
    EXPECT_EQ(m.At(), std::make_pair(25, 3));
    m.SetRowCol(28, 3); // the last visible row now
    Key(ekUp, false, true);
    EXPECT_EQ(m.TopRow(), 18);
    EXPECT_EQ(m.Row(), 27);
    m.SetRowCol(18, 3); // the first visible row
    Key(ekDown, false, true);
    EXPECT_EQ(m.TopRow(), 19);
    EXPECT_EQ(m.Row(), 19);
}

TEST_F(Input, DownStopsOnTheLastRowOfATextWithoutFinalLineEnd) {
    m.Load("a\r\nb");
    m.SetRowCol(1, 0);
    Key(ekDown);
    EXPECT_EQ(m.Row(), 1);
    m.Load("a\r\nb\r\n");
    m.SetRowCol(1, 0);
    Key(ekDown);
    EXPECT_EQ(m.Row(), 2);
}

TEST_F(Input, CtrlRightAndLeftStepFromTokenStartToTokenStartPassingSymbols) {
    // Tokens: "abc" at 0, "表示" at 4, "," passed over, "def" at 11; then the next row.
    m.Load(Sjis("abc 表示 , def\r\n  ポ\r\nx"));
    std::vector<std::pair<int, int>> right;
    for (int i = 0; i < 6; ++i) {
        in.TokenRight();
        right.push_back(m.At());
    }
    EXPECT_EQ(right,
              (std::vector<std::pair<int, int>>{{0, 4}, {0, 11}, {0, 14}, {1, 2}, {1, 4}, {2, 0}}));
    std::vector<std::pair<int, int>> left;
    for (int i = 0; i < 6; ++i) {
        in.TokenLeft();
        left.push_back(m.At());
    }
    // From row 2 column 0 the end of the row above is a line end: stop there first.
    EXPECT_EQ(left,
              (std::vector<std::pair<int, int>>{{1, 4}, {1, 2}, {0, 14}, {0, 11}, {0, 4}, {0, 0}}));
    in.TokenLeft();
    EXPECT_EQ(m.At(), std::make_pair(0, 0)); // no row above: stays
}

TEST_F(Input, TheDeleteKeyRunsTheDeleteCommandUnlessReadOnly) {
    m.Load("abc");
    Key(ekDelete);
    EXPECT_EQ(m.Lines().Text(), "bc");
    m.SetReadOnly(true);
    Key(ekDelete);
    EXPECT_EQ(m.Lines().Text(), "bc");
    EXPECT_EQ(m.List().UndoObj().UndoList().Count(), 1);
    EXPECT_FALSE(in.KeyDown(ekOther, false, false, false));
}

TEST_F(Input, APressRoundsToTheNearestColumnAndASelectionStartsHalfAColumnAway) {
    m.Load(Sjis("abcdef\r\n表ソ能ポ"));
    // Left third of column 2 rounds to 2; right part rounds to 3.
    in.MouseDown(20 + 2 * 8 + 2, Y(0), false);
    EXPECT_EQ(m.At(), std::make_pair(0, 2));
    in.MouseMove(20 + 2 * 8 + 5, Y(0), false); // 3 pixels: under half a column
    EXPECT_FALSE(m.Selected());
    in.MouseMove(20 + 4 * 8 + 1, Y(0), false);
    EXPECT_TRUE(m.Selected());
    EXPECT_EQ(m.SelText(), "cd");
    in.MouseMove(20 + 3 * 8 + 1, Y(1), false); // onto ソ's second half: before it
    EXPECT_EQ(m.SelText(), Sjis("cdef\r\n表"));
    in.MouseUp(0, 0, false, true);
    EXPECT_FALSE(in.LeftDown());
    // Shift+press extends from the anchor.
    in.MouseDown(X(1) - 4, Y(0), true);
    EXPECT_EQ(m.SelText(), "b");
    in.MouseUp(0, 0, false, true);
}

TEST_F(Input, PressingInsideASelectionAndReleasingDropsItAndLeavesTheCaretThere) {
    m.Load("abcdefgh");
    m.SetSelStart(2);
    m.SetSelLength(4);
    in.MouseDown(X(3), Y(0), false);
    EXPECT_EQ(in.DragState(), dsPending);
    EXPECT_FALSE(in.LeftDown());
    in.MouseUp(X(3), Y(0), false, true);
    EXPECT_EQ(in.DragState(), dsNone);
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(m.At(), std::make_pair(0, 3));
    EXPECT_EQ(m.Lines().Text(), "abcdefgh");
    EXPECT_FALSE(m.CanUndo());
}

TEST_F(Input, DraggingMovesTheSelectionAndWithCtrlCopiesIt) {
    struct Case {
        bool ctrl;
        const char* after;
    } cases[] = {{false, "ab表ソcd\r\nxy能"}, {true, "ab表ソcd\r\nxy表能"}};
    for (const Case& c : cases) {
        Model mm;
        TEditorInput i{mm};
        mm.Load(Sjis("ab表ソcd\r\nxy能"));
        mm.SetSelStart(2);
        mm.SetSelLength(2); // 表
        i.MouseDown(X(2), Y(0), false);
        i.MouseMove(X(2) + 2, Y(0), c.ctrl); // not yet half a column
        EXPECT_EQ(i.DragState(), dsPending);
        i.MouseMove(X(2), Y(1), c.ctrl);
        EXPECT_EQ(i.DragState(), dsDragging);
        EXPECT_EQ(i.CursorZone(), c.ctrl ? czDragCopy : czDrag);
        EXPECT_EQ(mm.At(), std::make_pair(1, 2)) << "the move that starts the drag shows its point";
        i.MouseMove(X(2) - 4, Y(1), c.ctrl); // the drop point: before 能
        EXPECT_EQ(mm.At(), std::make_pair(1, 2));
        i.MouseUp(X(2) - 4, Y(1), c.ctrl, true);
        EXPECT_EQ(mm.Lines().Text(), c.ctrl ? Sjis(c.after) : Sjis("abソcd\r\nxy表能"));
        EXPECT_TRUE(mm.List().UndoObj().CanUndo());
        EXPECT_EQ(mm.List().UndoObj().UndoList().Count(), 1) << "one undo step";
    }
}

TEST_F(Input, ADropInsideTheSelectionOrOutsideTheWindowOnlyDropsTheSelection) {
    for (bool inClient : {true, false}) {
        Model mm;
        TEditorInput i{mm};
        mm.Load("abcdefgh\r\nijk");
        mm.SetSelStart(1);
        mm.SetSelLength(5);
        i.MouseDown(X(2), Y(0), false);
        i.MouseMove(X(5), Y(0), false);
        ASSERT_EQ(i.DragState(), dsDragging);
        if (!inClient) i.MouseMove(X(1), Y(1), false);
        i.MouseUp(X(5), Y(0), false, inClient);
        EXPECT_FALSE(mm.Selected());
        EXPECT_FALSE(mm.CanUndo());
        EXPECT_EQ(mm.Lines().Text(), "abcdefgh\r\nijk");
    }
}

TEST_F(Input, KeysAreSwallowedWhileDraggingAndEscCancelsTheDrag) {
    m.Load("abcdefgh");
    m.SetSelStart(0);
    m.SetSelLength(3);
    std::vector<TCursor> cursors;
    in.OnCursor = [&](TCursor c) { cursors.push_back(c); };
    in.MouseDown(X(1), Y(0), false);
    EXPECT_TRUE(in.FilterKeyDown(ekRight)); // pending: swallowed
    in.MouseMove(X(6), Y(0), false);
    EXPECT_TRUE(in.FilterKeyDown(ekControl));
    EXPECT_EQ(in.CursorZone(), czDragCopy);
    EXPECT_TRUE(in.FilterKeyUp(ekControl));
    EXPECT_EQ(in.CursorZone(), czDrag);
    EXPECT_TRUE(in.FilterKeyDown(ekEscape));
    EXPECT_EQ(in.DragState(), dsNone);
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(in.CursorZone(), czText);
    TEditorCursors& c = m.Caret().Cursors();
    EXPECT_EQ(cursors, (std::vector<TCursor>{c.DragSelCursor(), c.DragSelCopyCursor(),
                                             c.DragSelCursor(), c.DefaultCursor()}));
    in.MouseUp(X(6), Y(0), false, true);
    EXPECT_FALSE(in.FilterKeyDown(ekRight));
    EXPECT_EQ(m.Lines().Text(), "abcdefgh");
}

TEST_F(Input, APressInTheLeftMarginSelectsWholeRowsWithTheirLineEnds) {
    m.Load(Sjis("one\r\n表ソ\r\nthree\r\nfour"));
    in.MouseDown(5, Y(1), false);
    EXPECT_TRUE(in.RowSelecting());
    EXPECT_EQ(m.SelText(), Sjis("表ソ\r\n"));
    EXPECT_EQ(m.SelLength(), 6);
    EXPECT_EQ(m.At(), std::make_pair(1, 0));
    in.MouseMove(5, Y(2), false);
    EXPECT_EQ(m.SelText(), Sjis("表ソ\r\nthree\r\n"));
    // Crossing the first row: it stays selected.
    in.MouseMove(5, Y(0), false);
    EXPECT_EQ(m.SelText(), Sjis("one\r\n表ソ\r\n"));
    EXPECT_EQ(m.At(), std::make_pair(0, 0));
    // The last row has no line end: it is taken to its end.
    in.MouseMove(5, Y(3), false);
    EXPECT_EQ(m.SelText(), Sjis("表ソ\r\nthree\r\nfour"));
    in.MouseUp(5, Y(3), false, true);
    EXPECT_FALSE(in.RowSelecting());
    in.MouseDown(5, Y(3), false);
    EXPECT_EQ(m.SelText(), "four");
    in.MouseUp(5, Y(3), false, true);
}

TEST_F(Input, TheCursorFollowsTheZoneAndChangesOnlyWhenTheZoneDoes) {
    m.Load("abcdefgh\r\nxyz");
    std::vector<TCursor> cursors;
    in.OnCursor = [&](TCursor c) { cursors.push_back(c); };
    TEditorCursors& c = m.Caret().Cursors();
    in.MouseMove(X(1), Y(0), false);
    in.MouseMove(X(2), Y(0), false);
    in.MouseMove(5, Y(0), false);
    in.MouseMove(X(1), 1, false);
    m.SetSelStart(0);
    m.SetSelLength(4);
    in.MouseMove(X(2), Y(0), false);
    in.MouseMove(X(6), Y(0), false);
    EXPECT_EQ(cursors,
              (std::vector<TCursor>{c.DefaultCursor(), c.LeftMarginCursor(), c.TopMarginCursor(),
                                    c.InSelCursor(), c.DefaultCursor()}));
    m.Caret().SetAutoCursor(false);
    in.MouseMove(5, Y(0), false);
    EXPECT_EQ(cursors.size(), 5u);
}

TEST_F(Input, AnInputMethodResultIsOneInsertionAndOneUndoStep) {
    m.Load("ab");
    m.SetRowCol(0, 1);
    const std::string four = Sjis("変換文字");
    ASSERT_EQ(four.size(), 8u);
    in.ImeCommit(four);
    EXPECT_EQ(m.Lines().Text(), Sjis("a変換文字b"));
    EXPECT_EQ(m.List().UndoObj().UndoList().Count(), 1);
    EXPECT_EQ(m.At(), std::make_pair(0, 9));
    m.Undo();
    EXPECT_EQ(m.Lines().Text(), "ab");
    m.SetReadOnly(true);
    in.ImeCommit(four);
    in.ImeCommit("");
    EXPECT_EQ(m.Lines().Text(), "ab");
    EXPECT_FALSE(m.CanUndo());
}

TEST_F(Input, TabAndReturnStayInTheEditorOnlyWhenWanted) {
    EXPECT_TRUE(in.WantsKey(ekTab));
    m.SetWantTabs(false);
    m.SetWantReturns(false);
    EXPECT_FALSE(in.WantsKey(ekTab));
    EXPECT_FALSE(in.WantsKey(ekReturn));
    EXPECT_TRUE(in.WantsKey(ekLeft));
}

} // namespace
} // namespace editor
