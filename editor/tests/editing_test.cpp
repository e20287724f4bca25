#include "editor_model.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <utility>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

struct Model : TEditorModel {
    Model() {
        TEditorMetrics& m = MutableMetrics();
        m.VisibleRowCount = 30;
        m.VisibleColCount = 80;
        Caret().SetTabSpaceCount(8);
    }
    bool Focused() const override { return true; }
    bool HandleAllocated() const override { return true; }
    std::pair<int, int> At() const { return {Row(), Col()}; }
    void Select(std::pair<int, int> From, std::pair<int, int> To, bool Box = false) {
        SetSelectionMode(Box);
        SetRowCol(From.first, From.second);
        StartSelection();
        SetRowCol(To.first, To.second);
        UpdateSelection();
    }
    void Type(const std::string& s) {
        for (char c : s)
            KeyChar(static_cast<unsigned char>(c));
    }
};

using SetupFn = std::function<void(Model&)>;
using Command = std::function<void(Model&)>;

struct Case {
    const char* name;
    const char* text; // UTF-8, made Shift-JIS
    std::pair<int, int> caret;
    std::pair<int, int> selEnd; // {-1, -1}: no selection
    SetupFn setup;
    Command command;
    const char* after;
    std::pair<int, int> caretAfter;
    int steps = 1; // undo steps the command makes
};

constexpr std::pair<int, int> kNoSel{-1, -1};

void Check(const Case& c) {
    SCOPED_TRACE(c.name);
    Model m;
    if (c.setup) c.setup(m);
    m.Lines().SetText(Sjis(c.text));
    m.SetRowCol(c.caret.first, c.caret.second);
    if (c.selEnd != kNoSel) m.Select(c.caret, c.selEnd, m.SelectionMode());
    const std::string before = m.Lines().Text();
    c.command(m);
    EXPECT_EQ(cp932::ToUtf8(m.Lines().Text()), c.after);
    EXPECT_EQ(m.At(), c.caretAfter);
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(m.List().UndoObj().UndoList().Count(), c.steps);
    while (m.CanUndo())
        m.Undo();
    EXPECT_EQ(m.Lines().Text(), before) << "undone";
}

auto Key(unsigned char ch) {
    return [ch](Model& m) { m.KeyChar(ch); };
}
const SetupFn kNoUnIndent = [](Model& m) { m.Caret().SetBackSpaceUnIndent(false); };

TEST(Editing, TypingCharacters) {
    const Case cases[] = {
        {"beyond the row's end blanks fill up",
         "abcd",
         {0, 10},
         kNoSel,
         {},
         Key('X'),
         "abcd      X",
         {0, 11}},
        {"a two-byte character from two messages",
         "ab",
         {0, 1},
         kNoSel,
         {},
         [](Model& m) { m.Type(Sjis("表")); },
         "a表b",
         {0, 3}},
        {"a lead byte without its trail byte is dropped",
         "ab",
         {0, 1},
         kNoSel,
         {},
         [](Model& m) { m.KeyChar(0x95), m.KeyChar('!'); },
         "a!b",
         {0, 2}},
        {"half-width kana",
         "ab",
         {0, 2},
         kNoSel,
         {},
         [](Model& m) { m.Type(Sjis("ｱ")); },
         "abｱ",
         {0, 3}},
        {"on the row after a final line end",
         "ab\r\n",
         {1, 0},
         kNoSel,
         {},
         Key('x'),
         "ab\r\nx",
         {1, 1}},
        {"into nothing", "", {0, 0}, kNoSel, {}, Key('x'), "x", {0, 1}},
        {"over a selection", "abcdef", {0, 1}, {0, 4}, {}, Key('X'), "aXef", {0, 2}},
        {"over a selection of lines",
         "ソ表\r\n能ポ",
         {0, 2},
         {1, 2},
         {},
         Key('X'),
         "ソXポ",
         {0, 3}},
        {"into the first row of a box",
         "abcd\r\nefgh",
         {0, 1},
         {1, 3},
         [](Model& m) { m.SetSelectionMode(true); },
         Key('X'),
         "aXd\r\neh",
         {0, 2}},
        {"overwriting",
         "abc",
         {0, 1},
         kNoSel,
         [](Model& m) { m.SetOverwrite(true); },
         Key('X'),
         "aXc",
         {0, 2}},
        {"overwriting a kanji with a kanji",
         "a表c",
         {0, 1},
         kNoSel,
         [](Model& m) { m.SetOverwrite(true); },
         [](Model& m) { m.Type(Sjis("ポ")); },
         "aポc",
         {0, 3}},
        {"overwriting at the row's end inserts",
         "ab\r\ncd",
         {0, 2},
         kNoSel,
         [](Model& m) { m.SetOverwrite(true); },
         Key('X'),
         "abX\r\ncd",
         {0, 3}},
        {"read-only",
         "ab",
         {0, 1},
         kNoSel,
         [](Model& m) { m.SetReadOnly(true); },
         [](Model& m) { m.Type("x" + Sjis("表")); },
         "ab",
         {0, 1},
         0},
        {"an input-method result's messages are dropped",
         "ab",
         {0, 1},
         kNoSel,
         {},
         [](Model& m) {
             m.SetImeSkipCount(3);
             m.InsertString(Sjis("表x"));
             m.Type(Sjis("表x") + "y");
         },
         "a表xyb",
         {0, 5},
         2},
        {"control characters do nothing",
         "ab",
         {0, 1},
         kNoSel,
         {},
         [](Model& m) { m.KeyChar(1), m.KeyChar(127), m.KeyChar(128); },
         "ab",
         {0, 1},
         0},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Editing, Backspace) {
    const Case cases[] = {
        {"a character", "abc", {0, 2}, kNoSel, {}, Key(8), "ac", {0, 1}},
        {"a kanji", "aソ", {0, 3}, kNoSel, {}, Key(8), "a", {0, 1}},
        {"a tab, from just after it", "a\tX", {0, 8}, kNoSel, kNoUnIndent, Key(8), "aX", {0, 1}},
        {"joins with the line above", "ab\r\ncd", {1, 0}, kNoSel, {}, Key(8), "abcd", {0, 2}},
        {"nothing at the very start", "ab", {0, 0}, kNoSel, {}, Key(8), "ab", {0, 0}, 0},
        {"the final line end, from the row after it",
         "ab\r\n",
         {1, 0},
         kNoSel,
         {},
         Key(8),
         "ab",
         {0, 2}},
        {"beyond the row's end it only moves left",
         "ab",
         {0, 5},
         kNoSel,
         {},
         Key(8),
         "ab",
         {0, 4},
         0},
        {"the last character of the wrapped row above",
         "0123456789012345678901234",
         {1, 0},
         kNoSel,
         [](Model& m) {
             m.List().WrapOption().SetWrapByte(20);
             m.SetWordWrap(true);
         },
         Key(8),
         "012345678901234567801234",
         {0, 19}},
        {"the selection", "abcdef", {0, 1}, {0, 4}, {}, Key(8), "aef", {0, 1}},
        {"outdent to the line above",
         "    a\r\n        b",
         {1, 8},
         kNoSel,
         {},
         Key(8),
         "    a\r\n    b",
         {1, 4}},
        {"outdent of a row of blanks",
         "  a\r\n      ",
         {1, 6},
         kNoSel,
         {},
         Key(8),
         "  a\r\n  ",
         {1, 2}},
        {"outdent splits a tab at the new indentation",
         "          a\r\n\t\tb",
         {1, 16},
         kNoSel,
         {},
         Key(8),
         "          a\r\n\t  b",
         {1, 10}},
        {"outdent of full-width blanks",
         "  a\r\n　　b",
         {1, 4},
         kNoSel,
         {},
         Key(8),
         "  a\r\n　b",
         {1, 2}},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Editing, TabAndReturn) {
    const SetupFn softTab = [](Model& m) { m.Caret().SetSoftTab(true); };
    const SetupFn tabIndent = [](Model& m) { m.Caret().SetTabIndent(true); };
    const Case cases[] = {
        {"a tab", "abc", {0, 1}, kNoSel, {}, Key(9), "a\tbc", {0, 8}},
        {"soft tab: blanks to the stop",
         "abc",
         {0, 3},
         kNoSel,
         softTab,
         Key(9),
         "abc     ",
         {0, 8}},
        {"soft tab at the wrap width",
         "abc",
         {0, 3},
         kNoSel,
         [](Model& m) {
             m.Caret().SetSoftTab(true);
             m.List().WrapOption().SetWrapByte(20);
             m.SetWordWrap(true);
             m.Caret().SetTabSpaceCount(8);
         },
         [](Model& m) {
             m.SetRowCol(0, 3);
             m.InsertString(std::string(14, 'x'));
             m.KeyChar(9);
         },
         "abcxxxxxxxxxxxxxx   ",
         {1, 0},
         2},
        {"no tab with Shift or without WantTabs",
         "abc",
         {0, 1},
         kNoSel,
         {},
         [](Model& m) {
             m.TabKey(true, false);
             m.SetWantTabs(false);
             m.KeyChar(9);
         },
         "abc",
         {0, 1},
         0},
        {"return splits the line", "abcd", {0, 2}, kNoSel, {}, Key(13), "ab\r\ncd", {1, 0}},
        {"return keeps the indentation",
         "    abcd",
         {0, 6},
         kNoSel,
         {},
         Key(13),
         "    ab\r\n    cd",
         {1, 4}},
        {"return left of the indentation",
         "    abcd",
         {0, 2},
         kNoSel,
         {},
         Key(13),
         "  \r\n    abcd",
         {1, 2}},
        {"return after a tab indentation with TabIndent",
         "\tabc",
         {0, 11},
         kNoSel,
         tabIndent,
         Key(13),
         "\tabc\r\n\t",
         {1, 8}},
        {"return after a tab indentation without",
         "\tabc",
         {0, 11},
         kNoSel,
         {},
         Key(13),
         "\tabc\r\n        ",
         {1, 8}},
        {"no indentation without AutoIndent",
         "  ab",
         {0, 4},
         kNoSel,
         [](Model& m) { m.Caret().SetAutoIndent(false); },
         Key(13),
         "  ab\r\n",
         {1, 0}},
        {"PrevSpaceIndent on an empty line",
         "  a\r\n\r\nb",
         {1, 0},
         kNoSel,
         [](Model& m) { m.Caret().SetPrevSpaceIndent(true); },
         Key(13),
         "  a\r\n\r\n  \r\nb",
         {2, 2}},
        {"an empty line without PrevSpaceIndent",
         "  a\r\n\r\nb",
         {1, 0},
         kNoSel,
         {},
         Key(13),
         "  a\r\n\r\n\r\nb",
         {2, 0}},
        {"return on the row after the text",
         "ab\r\n",
         {1, 0},
         kNoSel,
         {},
         Key(13),
         "ab\r\n\r\n",
         {2, 0}},
        {"return over a selection: two steps",
         "abcdef",
         {0, 1},
         {0, 3},
         {},
         Key(13),
         "a\r\ndef",
         {1, 0},
         2},
        {"shift+return opens a line above",
         "  ab\r\ncd",
         {0, 3},
         kNoSel,
         {},
         [](Model& m) { m.ReturnKey(true); },
         "  \r\n  ab\r\ncd",
         {0, 2}},
        {"shift+return from a continuation row",
         "  0123456789012345678901234",
         {1, 2},
         kNoSel,
         [](Model& m) {
             m.List().WrapOption().SetWrapByte(20);
             m.SetWordWrap(true);
         },
         [](Model& m) { m.ReturnKey(true); },
         "  \r\n  0123456789012345678901234",
         {0, 2}},
    };
    for (const Case& c : cases)
        Check(c);
    // Shift+Return with a selection does nothing, and the selection stays.
    Model m;
    m.Lines().SetText("abc");
    m.Select({0, 1}, {0, 2});
    m.ReturnKey(true);
    EXPECT_TRUE(m.Selected());
    EXPECT_EQ(m.Lines().Text(), "abc");
}

TEST(Editing, DeleteKeyAndSelections) {
    const SetupFn box = [](Model& m) { m.SetSelectionMode(true); };
    const Case cases[] = {
        {"a character", "abc", {0, 1}, kNoSel, {}, [](Model& m) { m.DeleteKey(); }, "ac", {0, 1}},
        {"a kanji", "a表c", {0, 1}, kNoSel, {}, [](Model& m) { m.DeleteKey(); }, "ac", {0, 1}},
        {"the tab under the caret",
         "a\tb",
         {0, 4},
         kNoSel,
         [](Model& m) { m.Caret().SetInTab(true); },
         [](Model& m) { m.DeleteKey(); },
         "ab",
         {0, 1}},
        {"joins the next line",
         "ab\r\ncd",
         {0, 2},
         kNoSel,
         {},
         [](Model& m) { m.DeleteKey(); },
         "abcd",
         {0, 2}},
        {"beyond the end pads, then joins",
         "ab\r\ncd",
         {0, 4},
         kNoSel,
         {},
         [](Model& m) { m.DeleteKey(); },
         "ab  cd",
         {0, 4}},
        {"the final line end",
         "ab\r\n",
         {0, 2},
         kNoSel,
         {},
         [](Model& m) { m.DeleteKey(); },
         "ab",
         {0, 2}},
        {"nothing at the end of the text",
         "ab",
         {0, 2},
         kNoSel,
         {},
         [](Model& m) { m.DeleteKey(); },
         "ab",
         {0, 2},
         0},
        {"a selection over lines",
         "abc\r\ndef",
         {0, 1},
         {1, 2},
         {},
         [](Model& m) { m.DeleteKey(); },
         "af",
         {0, 1}},
        {"a selection up to the row after the text",
         "ab\r\n",
         {0, 1},
         {1, 0},
         {},
         [](Model& m) { m.DeleteSelection(); },
         "a",
         {0, 1}},
        {"a box",
         "abcd\r\nefgh\r\nijkl",
         {0, 1},
         {2, 3},
         box,
         [](Model& m) { m.DeleteSelection(); },
         "ad\r\neh\r\nil",
         {0, 1}},
        {"a box over kanji",
         "ソ表能\r\nabcdef",
         {0, 2},
         {1, 4},
         box,
         [](Model& m) { m.DeleteSelection(); },
         "ソ能\r\nabef",
         {0, 2}},
        {"SetSelText with line ends",
         "abc",
         {0, 1},
         {0, 2},
         {},
         [](Model& m) { m.SetSelText("X\r\nY"); },
         "aX\r\nYc",
         {1, 1}},
        {"SetSelText empty deletes",
         "abc",
         {0, 1},
         {0, 2},
         {},
         [](Model& m) { m.SetSelText(""); },
         "ac",
         {0, 1}},
        {"SetSelText at the caret",
         "abc",
         {0, 3},
         kNoSel,
         {},
         [](Model& m) { m.SetSelText(Sjis("表\n能")); },
         "abc表\r\n能",
         {1, 2}},
    };
    for (const Case& c : cases)
        Check(c);
    // Read-only: no command changes the text, and the selection stays.
    Model m;
    m.SetReadOnly(true);
    m.Lines().SetText("abc");
    m.Select({0, 1}, {0, 2});
    m.DeleteSelection();
    m.SetSelText("x");
    m.BoxPaste("y");
    m.DeleteKey();
    m.KeyChar(8);
    m.ReturnKey();
    m.MoveSelection(0, 3, false);
    EXPECT_EQ(m.Lines().Text(), "abc");
    EXPECT_FALSE(m.CanUndo());
}

TEST(Editing, BoxPasteAndDraggedSelections) {
    const Case cases[] = {
        {"three lines at column 5 of the last row",
         "x\r\nabcdefg",
         {1, 5},
         kNoSel,
         {},
         [](Model& m) { m.BoxPaste("1\r\n2\r\n3"); },
         "x\r\nabcde1fg\r\n     2\r\n     3\r\n",
         {3, 6}},
        {"into shorter rows and past a kanji",
         "abcdefgh\r\nab\r\nソ表能",
         {0, 3},
         kNoSel,
         {},
         [](Model& m) { m.BoxPaste("XY\r\nZ\r\nW\r\n"); },
         "abcXYdefgh\r\nab Z\r\nソ表W能\r\n",
         {2, 5}},
        {"over a box selection",
         "abcd\r\nefgh",
         {0, 1},
         {1, 3},
         [](Model& m) { m.SetSelectionMode(true); },
         [](Model& m) { m.BoxPaste("X\r\nY"); },
         "aXd\r\neYh\r\n",
         {1, 2}},
        {"moving a selection to the right",
         "abcdef",
         {0, 1},
         {0, 3},
         {},
         [](Model& m) { m.MoveSelection(0, 5, false); },
         "adebcf",
         {0, 5}},
        {"moving a selection to the left, over lines",
         "ab\r\ncd\r\nef",
         {2, 0},
         {2, 1},
         {},
         [](Model& m) { m.MoveSelection(0, 1, false); },
         "aeb\r\ncd\r\nf",
         {0, 2}},
        {"moving lines down",
         "ab\r\ncd\r\nef",
         {0, 1},
         {1, 1},
         {},
         [](Model& m) { m.MoveSelection(2, 1, false); },
         "ad\r\neb\r\ncf",
         {2, 1}},
        {"copying",
         "abcdef",
         {0, 1},
         {0, 3},
         {},
         [](Model& m) { m.MoveSelection(0, 6, true); },
         "abcdefbc",
         {0, 8}},
        {"a drop inside the selection only drops it",
         "abcdef",
         {0, 1},
         {0, 4},
         {},
         [](Model& m) { m.MoveSelection(0, 2, false); },
         "abcdef",
         {0, 4},
         0},
        {"a box cannot be dragged",
         "abcd\r\nefgh",
         {0, 1},
         {1, 2},
         [](Model& m) { m.SetSelectionMode(true); },
         [](Model& m) { m.MoveSelection(0, 4, false); },
         "abcd\r\nefgh",
         {1, 2},
         0},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Editing, IndentWidth) {
    Model m;
    m.Caret().SetTabSpaceCount(4);
    EXPECT_EQ(m.IndentWidth(""), -1);
    EXPECT_EQ(m.IndentWidth("x"), 0);
    EXPECT_EQ(m.IndentWidth("  x"), 2);
    EXPECT_EQ(m.IndentWidth(" \tx"), 4);
    EXPECT_EQ(m.IndentWidth(Sjis("　 ソ")), 3);
    EXPECT_EQ(m.IndentWidth(Sjis("表")), 0) << "0x81 0x40 only as a pair";
}

TEST(Editing, UndoPutsTheCaretBackByTheEditorsRules) {
    Model m;
    m.Lines().SetText(Sjis("ソ表\r\nab"));
    m.SetRowCol(0, 2);
    m.KeyChar('x');
    m.SetRowCol(1, 1);
    m.Select({1, 0}, {1, 2});
    m.Undo();
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(m.Lines().Text(), Sjis("ソ表\r\nab"));
    EXPECT_EQ(m.At(), (std::pair<int, int>{0, 2}));
    EXPECT_TRUE(m.CanRedo());
    m.Redo();
    EXPECT_EQ(m.Lines().Text(), Sjis("ソx表\r\nab"));
    EXPECT_EQ(m.At(), (std::pair<int, int>{1, 2})) << "where the caret stood when it was undone";
}

TEST(Editing, ClearAndCaretOptionsEmptyTheHistory) {
    Model m;
    m.Lines().SetText("abc");
    m.KeyChar('x');
    m.KeyChar('y');
    m.Undo();
    ASSERT_TRUE(m.CanUndo() && m.CanRedo());
    m.Caret().SetTabSpaceCount(4);
    EXPECT_FALSE(m.CanUndo() || m.CanRedo()) << "the recorded carets no longer hold";
    m.KeyChar('z');
    m.Clear();
    EXPECT_EQ(m.RowCount(), 0);
    EXPECT_FALSE(m.CanUndo());
}

// Random commands at random places, wrapped and not: no command breaks the rows, undoing every
// step gives the first text back, redoing every step the edited one.
TEST(Editing, RandomCommandsUndoAndRedo) {
    const std::vector<std::string> pool = {"a",        " ",        "\t",       Sjis("ソ"),
                                           Sjis("表"), Sjis("能"), Sjis("ポ"), Sjis("ｱ"),
                                           Sjis("　"), "\r\n",     "\\",       "|"};
    for (bool wrap : {false, true}) {
        for (unsigned seed = 1; seed <= 12; ++seed) {
            SCOPED_TRACE(testing::Message() << "wrap " << wrap << " seed " << seed);
            std::mt19937 rng(seed);
            auto piece = [&](int n) {
                std::string s;
                for (int i = 0; i < n; ++i)
                    s += pool[rng() % pool.size()];
                return s;
            };
            Model m;
            m.List().WrapOption().SetWrapByte(20);
            m.SetWordWrap(wrap);
            m.Caret().SetFreeCaret(rng() % 2);
            m.Lines().SetText(piece(static_cast<int>(rng() % 50)));
            const std::string first = m.Lines().Text();
            for (int k = 0; k < 50; ++k) {
                const int rows = m.RowCount();
                m.SetRowCol(static_cast<int>(rng() % (rows + 1)), static_cast<int>(rng() % 24));
                if (rng() % 4 == 0 && rows > 0) {
                    m.StartSelection();
                    m.SetRowCol(static_cast<int>(rng() % (rows + 1)), static_cast<int>(rng() % 24));
                    m.UpdateSelection();
                }
                switch (rng() % 9) {
                case 0:
                    m.Type(piece(1));
                    break;
                case 1:
                    m.KeyChar(8);
                    break;
                case 2:
                    m.DeleteKey();
                    break;
                case 3:
                    m.ReturnKey(rng() % 2);
                    break;
                case 4:
                    m.KeyChar(9);
                    break;
                case 5:
                    m.SetSelText(piece(static_cast<int>(rng() % 4)));
                    break;
                case 6:
                    m.BoxPaste(piece(static_cast<int>(rng() % 4)));
                    break;
                case 7:
                    m.MoveSelection(static_cast<int>(rng() % (rows + 1)),
                                    static_cast<int>(rng() % 24), rng() % 2);
                    break;
                default:
                    m.InsertString(piece(2));
                    break;
                }
                // The rows still describe a text: the last row alone may lack a line end.
                const TEditorScreenStrings& l = m.List();
                for (int r = 0; r + 1 < l.Count(); ++r)
                    ASSERT_NE(l.RowAttr(r), EndOfText) << "row " << r;
                if (l.Count() > 0) {
                    ASSERT_NE(l.RowAttr(l.Count() - 1), Wrapped);
                }
            }
            const std::string edited = m.Lines().Text();
            // At most 64 steps are kept: all the way back only when none was dropped.
            const bool whole = m.List().UndoObj().UndoList().Count() < 64;
            while (m.CanUndo())
                m.Undo();
            if (whole) {
                EXPECT_EQ(m.Lines().Text(), first);
            }
            while (m.CanRedo())
                m.Redo();
            EXPECT_EQ(m.Lines().Text(), edited);
        }
    }
}

} // namespace
} // namespace editor
