#include "editor_model.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <utility>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

struct Model : TEditorModel {
    Model() {
        MutableMetrics().VisibleRowCount = 21;
        MutableMetrics().VisibleColCount = 40;
    }
    bool Focused() const override { return true; }
    bool HandleAllocated() const override { return true; }
    std::pair<int, int> At() const { return {Row(), Col()}; }
};

std::string Lines(int n, int width) {
    std::string t;
    for (int i = 0; i < n; ++i)
        t += std::string(width, 'a' + i % 26) + "\r\n";
    return t;
}

TEST(Navigation, ShiftWithArrowsSelectsFromTheAnchor) {
    Model m;
    m.List().LoadText(Lines(10, 8));
    m.SetRowCol(1, 5);
    for (int i = 0; i < 3; ++i)
        m.NavigateKey(nkDown, true, false, false);
    EXPECT_TRUE(m.Selected());
    EXPECT_EQ(m.At(), std::make_pair(4, 5));
    EXPECT_EQ(m.SelText(), "bbb\r\n" + std::string(8, 'c') + "\r\n" + std::string(8, 'd') + "\r\n" +
                               std::string(5, 'e'));
    // An arrow without Shift drops it.
    m.NavigateKey(nkLeft, false, false, false);
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(m.At(), std::make_pair(4, 4));
    // Shift+End then Shift+Home: the selection follows the caret on its row.
    m.NavigateKey(nkEnd, true, false, false);
    EXPECT_EQ(m.SelText(), "eeee");
    m.NavigateKey(nkHome, true, false, false);
    EXPECT_EQ(m.SelText(), "eeee");
    EXPECT_EQ(m.Col(), 0);
}

TEST(Navigation, HomeEndAndTheirCtrlForms) {
    Model m;
    m.List().LoadText(Sjis("表ソ\r\nabc\r\n"));
    m.SetRowCol(1, 1);
    m.NavigateKey(nkEnd, false, false, false);
    EXPECT_EQ(m.At(), std::make_pair(1, 3));
    m.NavigateKey(nkEnd, false, true, false);
    EXPECT_EQ(m.At(), std::make_pair(2, 0)); // the row after a final line end
    m.NavigateKey(nkHome, false, true, false);
    EXPECT_EQ(m.At(), std::make_pair(0, 0));
    m.NavigateKey(nkRight, false, false, false);
    EXPECT_EQ(m.At(), std::make_pair(0, 2)); // over the whole two-byte character
    m.NavigateKey(nkLeft, false, false, false);
    EXPECT_EQ(m.At(), std::make_pair(0, 0));
}

TEST(Navigation, PagingAndItsAcceleration) {
    Model m;
    m.List().LoadText(Lines(400, 4));
    m.SetRowCol(5, 0);
    // (21 - 1) / 2 = 10 rows times the range: 2 normally, 2 repeating by default.
    m.Speed().SetPageVerticalRange(1);
    m.Speed().SetPageVerticalRangeAc(3);
    m.NavigateKey(nkPageDown, false, false, false);
    EXPECT_EQ(m.TopRow(), 10);
    EXPECT_EQ(m.Row(), 15);
    m.NavigateKey(nkPageDown, false, false, true);
    EXPECT_EQ(m.TopRow(), 40);
    EXPECT_EQ(m.Row(), 45);
    m.NavigateKey(nkPageUp, false, false, false);
    EXPECT_EQ(m.TopRow(), 30);
    // Repeating Down on the last visible row steps by CaretVerticalAc.
    m.SetRow(m.TopRow() + 20);
    m.NavigateKey(nkDown, false, false, true);
    EXPECT_EQ(m.Row(), 52);
    m.NavigateKey(nkDown, false, false, false);
    EXPECT_EQ(m.Row(), 53);
}

TEST(Navigation, CtrlUpAndDownScrollTheViewAndKeepTheCaret) {
    Model m;
    m.List().LoadText(Lines(100, 4));
    m.SetTopRow(10);
    m.SetRowCol(15, 2);
    m.NavigateKey(nkUp, false, true, false);
    EXPECT_EQ(m.TopRow(), 9);
    EXPECT_EQ(m.Row(), 15);
    // The caret on the last visible row would leave the view: it moves with it.
    m.SetRow(29);
    m.NavigateKey(nkUp, false, true, false);
    EXPECT_EQ(m.TopRow(), 8);
    EXPECT_EQ(m.Row(), 28);
    m.NavigateKey(nkDown, false, true, false);
    EXPECT_EQ(m.TopRow(), 9);
    EXPECT_EQ(m.Row(), 28);
    m.SetRow(9);
    m.NavigateKey(nkDown, false, true, false);
    EXPECT_EQ(m.TopRow(), 10);
    EXPECT_EQ(m.Row(), 10);
}

TEST(Navigation, ArrowsCrossWrappedRowEnds) {
    Model m;
    m.Caret().SetFreeCaret(false);
    m.List().WrapOption().SetWrapByte(20);
    m.SetWordWrap(true);
    m.List().LoadText(std::string(25, 'a') + "\r\nxyz");
    ASSERT_EQ(m.RowCount(), 3);
    m.SetRowCol(0, 19);
    m.NavigateKey(nkRight, false, false, false);
    EXPECT_EQ(m.At(), std::make_pair(1, 0));
    m.NavigateKey(nkLeft, false, false, false);
    EXPECT_EQ(m.At(), std::make_pair(0, 19));
    // A line end is crossed only with NextLine.
    m.SetRowCol(1, 5);
    m.NavigateKey(nkRight, false, false, false);
    EXPECT_EQ(m.At(), std::make_pair(1, 5));
    m.Caret().SetNextLine(true);
    m.NavigateKey(nkRight, false, false, false);
    EXPECT_EQ(m.At(), std::make_pair(2, 0));
    m.NavigateKey(nkLeft, false, false, false);
    EXPECT_EQ(m.At(), std::make_pair(1, 5));
    // Down stops at the last row.
    m.SetRow(2);
    m.NavigateKey(nkDown, false, false, false);
    EXPECT_EQ(m.Row(), 2);
}

TEST(Navigation, CtrlLeftAndRightStepThroughTokens) {
    Model m;
    // Tokens: "abc" "12" "表" "ソ" (kanji and katakana apart); "(" and "." are symbols, blanks
    // no tokens.
    m.List().LoadText(Sjis("abc (12) 表ソ.\r\nnext word"));
    struct Step {
        bool right;
        std::pair<int, int> at;
    } steps[] = {
        {true, {0, 5}},   {true, {0, 9}},  {true, {0, 11}}, {true, {0, 14}}, // the row's end
        {true, {1, 0}},   {true, {1, 5}},  {true, {1, 9}},  {false, {1, 5}}, {false, {1, 0}},
        {false, {0, 14}}, // the row above ends its line: stop at its end
        {false, {0, 11}}, {false, {0, 9}}, {false, {0, 5}}, {false, {0, 0}}, {false, {0, 0}},
    };
    for (const Step& s : steps) {
        s.right ? m.TokenStepRight() : m.TokenStepLeft();
        EXPECT_EQ(m.At(), s.at) << (s.right ? "right to " : "left to ") << s.at.first << ","
                                << s.at.second;
    }
    // With Ctrl through the key.
    m.NavigateKey(nkRight, false, true, false);
    EXPECT_EQ(m.At(), std::make_pair(0, 5));
}

} // namespace
} // namespace editor

namespace editor {
namespace {

TEST(RowSelection, WholeRowsWithTheirLineEndsInEitherDirection) {
    Model m;
    m.List().LoadText(Sjis("表a\r\nbc\r\nde\r\nlast"));
    m.StartRowSelection(1);
    EXPECT_TRUE(m.Selected());
    EXPECT_EQ(m.SelText(), "bc\r\n");
    EXPECT_EQ(m.At(), std::make_pair(1, 0));
    m.ExtendRowSelection(2);
    EXPECT_EQ(m.SelText(), "bc\r\nde\r\n");
    EXPECT_EQ(m.At(), std::make_pair(3, 0));
    // Crossing the first row: it stays selected.
    m.ExtendRowSelection(0);
    EXPECT_EQ(m.SelText(), Sjis("表a\r\nbc\r\n"));
    EXPECT_EQ(m.At(), std::make_pair(0, 0));
    // The last row ends the text: to its end.
    m.ExtendRowSelection(9);
    EXPECT_EQ(m.SelText(), "bc\r\nde\r\nlast");
    m.EndRowSelection();
    m.ExtendRowSelection(0);
    EXPECT_EQ(m.SelText(), "bc\r\nde\r\nlast");
    m.StartRowSelection(3);
    EXPECT_EQ(m.SelText(), "last");
}

} // namespace
} // namespace editor
