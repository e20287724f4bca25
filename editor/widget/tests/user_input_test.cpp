// The editor under the user's hands, driven through Qt's events under the offscreen platform:
// keys, mouse, input method, popup menu and clipboard on real TEditor widgets.
#include "editor.h"
#include "popup_menu.h"

#include "codec.h"
#include "fonts.h"
#include "platform.h"
#include "textsearch.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

struct Editor : TEditor {
    explicit Editor(QWidget* parent = nullptr) : TEditor(parent) {
        SetEditorFont(app::MapFont("FixedSys", 14));
        resize(640, 400);
    }
    void Load(const char* u8) { Lines().SetText(Sjis(u8)); }
    std::string Text() { return Lines().Text(); }
    // The middle of cell (row, col) in viewport coordinates, rounding to its left edge.
    QPoint Cell(int R, int C) const {
        return QPoint(ColX(C) + 1, RowY(R) + Metrics().RowHeight / 2);
    }
    int Steps() { return List().UndoObj().UndoList().Count(); }
};

// A window holding editors and a line edit, shown and active, the first editor focused.
struct Window : ::testing::Test {
    QWidget window;
    Editor* e = new Editor;
    Editor* other = new Editor;
    QLineEdit* line = new QLineEdit;
    void SetUp() override {
        auto* l = new QVBoxLayout(&window);
        l->addWidget(e);
        l->addWidget(other);
        l->addWidget(line);
        window.resize(700, 900);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        e->setFocus();
        QApplication::processEvents();
    }
    void Click(Editor* ed, QPoint p, Qt::KeyboardModifiers m = {}) {
        QTest::mouseClick(ed->viewport(), Qt::LeftButton, m, p);
    }
    // Ctrl+Home, then Shift+Ctrl+End: the whole text selected by keys.
    void SelectAllByKeys(Editor* ed) {
        QTest::keyClick(ed, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(ed, Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
    }
    void Drag(Editor* ed, QPoint from, QPoint to, Qt::KeyboardModifiers m = {}) {
        QTest::mousePress(ed->viewport(), Qt::LeftButton, m, from);
        QPoint mid = (from + to) / 2;
        QTest::mouseMove(ed->viewport(), mid);
        QTest::mouseMove(ed->viewport(), to);
        QTest::mouseRelease(ed->viewport(), Qt::LeftButton, m, to);
    }
};

TEST_F(Window, AnInputMethodResultIsInsertedOnceAsOneUndoStep) {
    e->Load("ab\r\ncd");
    e->SetRowCol(0, 1);
    // Composing: the reading is shown at the caret and the caret is hidden.
    QInputMethodEvent pre(QString::fromUtf8("へんかん"), {});
    QApplication::sendEvent(e, &pre);
    EXPECT_EQ(e->Preedit(), Sjis("へんかん"));
    EXPECT_FALSE(e->CaretShown());
    EXPECT_EQ(e->Text(), "ab\r\ncd"); // nothing inserted while composing
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("変換文字"));
    QApplication::sendEvent(e, &commit);
    EXPECT_EQ(e->Text(), Sjis("a変換文字b\r\ncd")); // every character once
    EXPECT_EQ(e->Steps(), 1);
    EXPECT_EQ(std::make_pair(e->Row(), e->Col()), std::make_pair(0, 9));
    EXPECT_EQ(e->Preedit(), "");
    EXPECT_TRUE(e->CaretShown());
    // The caret rectangle is answered for the candidate window.
    const QRect r = static_cast<QWidget*>(e)->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_EQ(r.left(), e->ColX(9) + e->viewport()->x());
    e->Undo();
    EXPECT_EQ(e->Text(), "ab\r\ncd");
    // Read-only: nothing, not even a composition.
    e->SetReadOnly(true);
    QApplication::sendEvent(e, &pre);
    EXPECT_EQ(e->Preedit(), "");
    EXPECT_TRUE(e->CaretShown());
    QApplication::sendEvent(e, &commit);
    EXPECT_EQ(e->Text(), "ab\r\ncd");
}

TEST_F(Window, TypingShiftArrowsAndTheDeleteKey) {
    e->Load("表ソ能ポ\r\nxy");
    QTest::keyClick(e, Qt::Key_Right);
    QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(e->SelText(), Sjis("ソ能"));
    QTest::keyClicks(e, "Q");
    EXPECT_EQ(e->Text(), Sjis("表Qポ\r\nxy"));
    QTest::keyClick(e, Qt::Key_Delete);
    EXPECT_EQ(e->Text(), Sjis("表Q\r\nxy"));
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClick(e, Qt::Key_Backspace);
    EXPECT_EQ(e->Text(), Sjis("\r\nxy"));
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(e->Text(), Sjis("\r\n\r\nxy"));
    QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(std::make_pair(e->Row(), e->Col()), std::make_pair(2, 2));
    // Ctrl+Z through the popup menu's shortcut, Ctrl+A (redo) the same way.
    const std::string before = e->Text();
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(e->Text(), Sjis("\r\nxy"));
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(e->Text(), before);
}

TEST_F(Window, TabAndReturnStayInTheEditorOnlyWhenWanted) {
    e->Load("ab");
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_EQ(e->Text(), "\tab");
    EXPECT_TRUE(e->hasFocus());
    e->SetWantReturns(false);
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(e->Text(), "\tab");
    e->SetWantTabs(false);
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_EQ(e->Text(), "\tab");
    EXPECT_FALSE(e->hasFocus()); // the focus moved on
}

TEST_F(Window, ClickingAndDraggingSelectAndADraggedSelectionMoves) {
    e->Load("abcdef\r\n表ソ能ポ");
    other->setFocus();
    Click(e, e->Cell(1, 2));
    EXPECT_TRUE(e->hasFocus());
    EXPECT_EQ(std::make_pair(e->Row(), e->Col()), std::make_pair(1, 2));
    Drag(e, e->Cell(0, 1), e->Cell(0, 4));
    EXPECT_EQ(e->SelText(), "bcd");
    // Dragged onto 能: moved there, one undo step.
    const int steps = e->Steps();
    Drag(e, e->Cell(0, 2), e->Cell(1, 4));
    EXPECT_EQ(e->Text(), Sjis("aef\r\n表ソbcd能ポ"));
    EXPECT_EQ(e->Steps(), steps + 1);
    // With Ctrl a copy; the original stays.
    e->SetSelStart(0);
    e->SetSelLength(1);
    Drag(e, e->Cell(0, 0), e->Cell(0, 3), Qt::ControlModifier);
    EXPECT_EQ(e->Text(), Sjis("aefa\r\n表ソbcd能ポ"));
    // A press in the left margin selects the row with its line end.
    Click(e, QPoint(2, e->Cell(0, 0).y()));
    EXPECT_EQ(e->SelText(), Sjis("aefa\r\n"));
}

TEST_F(Window, ABoxCopiedInOneEditorPastesAsABoxInAnotherAndAsPlainTextElsewhere) {
    e->Load("abcd\r\n表ソ能ポ\r\nwxyz");
    other->Load("0123456\r\n0123456\r\n0123456");
    e->SetSelectionMode(true);
    e->SetRowCol(0, 2);
    e->StartSelection();
    e->SetRowCol(2, 4);
    e->UpdateSelection();
    e->CopyToClipboard();
    // Any other program reads plain text.
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("cd\r\nソ\r\nyz\r\n"));
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(app::BoxMimeType));
    other->setFocus();
    other->SetRowCol(0, 3);
    QTest::keyClick(other, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(other->Text(), Sjis("012cd3456\r\n012ソ3456\r\n012yz3456\r\n"));
    EXPECT_EQ(other->Steps(), 1);
    // A normal selection copied is plain text and pastes as running text.
    e->SetSelectionMode(false);
    e->SetSelStart(2);
    e->SetSelLength(6);
    e->CopyToClipboard();
    EXPECT_FALSE(QApplication::clipboard()->mimeData()->hasFormat(app::BoxMimeType));
    other->Lines().SetText("__");
    other->SetRowCol(0, 1);
    other->PasteFromClipboard();
    EXPECT_EQ(other->Text(), Sjis("_cd\r\n表_"));
    // Text from elsewhere pastes as running text.
    QApplication::clipboard()->setText(QString::fromUtf8("能\n"));
    other->PasteFromClipboard();
    EXPECT_EQ(other->Text(), Sjis("_cd\r\n表能\r\n_"));
}

TEST_F(Window, ThePopupMenusItemsCaptionsShortcutsAndStates) {
    e->Load("ab");
    TEditorPopupMenu* menu = e->PopupMenu();
    EXPECT_EQ(menu->parent(), e);
    menu->Upkeep();
    struct Row {
        const char* caption;
        const char* shortcut;
        bool enabled;
    } expected[] = {
        {"マーク設定", "", true},
        {"マークジャンプ", "", true},
        {"", "", true},
        {"元に戻す(&U)", "Ctrl+Z", false},
        {"やり直し(&R)", "Ctrl+A", false},
        {"", "", true},
        {"切り取り(&T)", "Ctrl+X", false},
        {"コピー(&C)", "Ctrl+C", false},
        {"貼り付け(&P)", "Ctrl+V", true},
        {"Box貼り付け(&B)", "Ctrl+B", true},
        {"削除(&D)", "", false},
        {"", "", true},
        {"すべて選択(&A)", "", true},
        {"", "", true},
        {"Box選択モード(&K)", "Ctrl+K", true},
    };
    QApplication::clipboard()->setText("x");
    menu->Upkeep();
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(std::size(expected)));
    for (qsizetype i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i]->text().toStdString(), expected[i].caption) << i;
        EXPECT_EQ(actions[i]->shortcut().toString().toStdString(), expected[i].shortcut) << i;
        EXPECT_EQ(actions[i]->isEnabled(), expected[i].enabled) << i;
    }
    QMenu* jump = actions[1]->menu();
    ASSERT_NE(jump, nullptr);
    ASSERT_EQ(jump->actions().size(), 10);
    EXPECT_EQ(jump->actions()[3]->shortcut().toString(), QString("Ctrl+3"));
    EXPECT_EQ(actions[0]->menu()->actions()[3]->shortcut(), QKeySequence("Shift+Ctrl+3"));
    // Undo and redo from the menu.
    QTest::keyClicks(e, "Z");
    menu->Upkeep();
    EXPECT_TRUE(actions[3]->isEnabled());
    actions[3]->trigger();
    EXPECT_EQ(e->Text(), "ab");
    menu->Upkeep();
    EXPECT_TRUE(actions[4]->isEnabled());
    actions[4]->trigger();
    EXPECT_EQ(e->Text(), "Zab");
    // Select all, then box mode checked; marks checked when used.
    actions[12]->trigger();
    EXPECT_EQ(e->SelText(), "Zab");
    actions[14]->trigger();
    EXPECT_TRUE(e->SelectionMode());
    actions[0]->menu()->actions()[5]->trigger();
    menu->Upkeep();
    EXPECT_TRUE(actions[14]->isChecked());
    EXPECT_TRUE(jump->actions()[5]->isChecked());
    EXPECT_FALSE(jump->actions()[4]->isChecked());
    // Read-only: nothing that changes the text, by the menu or by its shortcuts.
    e->SetReadOnly(true);
    menu->Upkeep();
    for (int i : {3, 4, 6, 8, 9, 10})
        EXPECT_FALSE(actions[i]->isEnabled()) << i;
    EXPECT_TRUE(actions[7]->isEnabled());
    QApplication::clipboard()->setText("clip");
    QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(e->Text(), "Zab");
    EXPECT_EQ(QApplication::clipboard()->text(), QString("clip"));
}

TEST_F(Window, TheRightButtonPopsTheMenuUpAndThePointerShapeFollowsTheZone) {
    e->Load("abc\r\ndef");
    const QPoint at = e->Cell(0, 1);
    QContextMenuEvent ctx(QContextMenuEvent::Mouse, at, e->viewport()->mapToGlobal(at));
    QApplication::sendEvent(e->viewport(), &ctx);
    TEditorPopupMenu* menu = e->PopupMenu();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(menu->ItemAction(paSelectAll)->isEnabled());
    menu->close();
    QTest::mouseMove(e->viewport(), QPoint(2, at.y()));
    EXPECT_EQ(e->viewport()->cursor().shape(), Qt::BitmapCursor); // the arrow pointing right
    QTest::mouseMove(e->viewport(), e->Cell(1, 1));
    EXPECT_EQ(e->viewport()->cursor().shape(), Qt::IBeamCursor);
    e->SetSelStart(0);
    e->SetSelLength(3);
    QTest::mouseMove(e->viewport(), e->Cell(0, 1));
    EXPECT_EQ(e->viewport()->cursor().shape(), Qt::ArrowCursor); // on a selection to drag
}

// Editing through keys and the menu: each case starts from a text and a caret, runs its keys,
// and ends with a text, a caret and one undo step.
TEST_F(Window, EditingKeysChangeTheTextInOneStepEach) {
    struct Case {
        const char* name;
        const char* text;
        bool wrap;
        int row, col;
        std::function<void(Editor*)> keys;
        const char* after;
        std::pair<int, int> caret;
    } cases[] = {
        {"typing past the row's end fills blanks",
         "abcd",
         false,
         0,
         10,
         [](Editor* x) { QTest::keyClicks(x, "x"); },
         "abcd      x",
         {0, 11}},
        {"a two-byte character typed",
         "ab",
         false,
         0,
         1,
         [](Editor* x) {
             QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("表"));
             QApplication::sendEvent(x, &press);
         },
         "a表b",
         {0, 3}},
        {"Backspace takes both bytes",
         "a表b",
         false,
         0,
         3,
         [](Editor* x) { QTest::keyClick(x, Qt::Key_Backspace); },
         "ab",
         {0, 1}},
        {"Delete takes both bytes",
         "aソb",
         false,
         0,
         1,
         [](Editor* x) { QTest::keyClick(x, Qt::Key_Delete); },
         "ab",
         {0, 1}},
        {"Delete at the end of the last line takes its line end",
         "ab\r\ncd\r\n",
         false,
         1,
         2,
         [](Editor* x) { QTest::keyClick(x, Qt::Key_Delete); },
         "ab\r\ncd",
         {1, 2}},
        {"Delete at a row's end joins the next line",
         "ab\r\ncd",
         false,
         0,
         2,
         [](Editor* x) { QTest::keyClick(x, Qt::Key_Delete); },
         "abcd",
         {0, 2}},
        {"Backspace at a continuation row takes the last character above",
         "0123456789012345678表ソ",
         true,
         1,
         0,
         // 表 does not fit in column 19: the row above ends with 8.
         [](Editor* x) { QTest::keyClick(x, Qt::Key_Backspace); },
         "012345678901234567表ソ",
         {0, 18}},
        {"Backspace at a line's start joins it to the line above",
         "ab\r\n能",
         false,
         1,
         0,
         [](Editor* x) { QTest::keyClick(x, Qt::Key_Backspace); },
         "ab能",
         {0, 2}},
        {"Return keeps the indentation",
         "  ab",
         false,
         0,
         3,
         [](Editor* x) { QTest::keyClick(x, Qt::Key_Return); },
         "  a\r\n  b",
         {1, 2}},
        {"the box paste item puts three lines at column 5 of the last row",
         "abcdefg",
         false,
         0,
         5,
         [](Editor* x) {
             QApplication::clipboard()->setText(QString::fromUtf8("表\r\nx\r\nyz"));
             x->PopupMenu()->Upkeep();
             x->PopupMenu()->ItemAction(paBoxPaste)->trigger();
         },
         "abcde表fg\r\n     x\r\n     yz\r\n",
         {2, 7}},
    };
    for (const Case& c : cases) {
        e->SetWordWrap(c.wrap);
        e->WrapOption().SetWrapByte(20);
        e->Load(c.text);
        e->List().UndoObj().Clear();
        e->SetRowCol(c.row, c.col);
        c.keys(e);
        EXPECT_EQ(e->Text(), Sjis(c.after)) << c.name;
        EXPECT_EQ(std::make_pair(e->Row(), e->Col()), c.caret) << c.name;
        EXPECT_EQ(e->Steps(), 1) << c.name;
        e->Undo();
        EXPECT_EQ(e->Text(), Sjis(c.text)) << c.name;
    }
}

TEST_F(Window, AHeldPageDownPagesFasterAndEscCancelsADrag) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    e->Lines().SetText(text);
    e->Speed().SetPageVerticalRange(1);
    e->Speed().SetPageVerticalRangeAc(3);
    const int half = (e->VisibleRowCount() - 1) / 2;
    auto page = [&](bool repeat) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(e, &down);
    };
    page(false);
    EXPECT_EQ(e->TopRow(), half);
    page(true);
    page(true);
    EXPECT_EQ(e->TopRow(), 7 * half);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(e, &up);
    EXPECT_FALSE(e->Input().AutoRepeat());
    // A drag under way: keys are swallowed, Esc ends it and drops the selection.
    e->SetTopRow(0);
    e->SetSelStart(0);
    e->SetSelLength(4);
    QTest::mousePress(e->viewport(), Qt::LeftButton, {}, e->Cell(0, 1));
    QTest::mouseMove(e->viewport(), e->Cell(2, 3));
    EXPECT_EQ(e->Input().DragState(), dsDragging);
    QTest::keyClick(e, Qt::Key_X);
    QTest::keyClick(e, Qt::Key_Escape);
    EXPECT_EQ(e->Input().DragState(), dsNone);
    EXPECT_FALSE(e->Selected());
    QTest::mouseRelease(e->viewport(), Qt::LeftButton, {}, e->Cell(2, 3));
    EXPECT_EQ(e->Lines().Text(), text);
}

// Deleting the text of a last row that has no line end leaves the caret where that text was: on
// the row after the line end above, so that the next key edits there.
TEST_F(Window, DeletingTheLastRowsTextLeavesTheCaretWhereItWas) {
    struct Case {
        const char* name;
        std::function<void(Editor*)> keys;
    } cases[] = {
        {"Backspace", [](Editor* x) { QTest::keyClick(x, Qt::Key_Backspace); }},
        {"Delete",
         [](Editor* x) {
             QTest::keyClick(x, Qt::Key_Home);
             QTest::keyClick(x, Qt::Key_Delete);
         }},
        {"the selection deleted",
         [](Editor* x) {
             QTest::keyClick(x, Qt::Key_Home);
             QTest::keyClick(x, Qt::Key_End, Qt::ShiftModifier);
             QTest::keyClick(x, Qt::Key_Delete);
         }},
        {"the selection cut",
         [](Editor* x) {
             QTest::keyClick(x, Qt::Key_Left, Qt::ShiftModifier);
             QTest::keyClick(x, Qt::Key_X, Qt::ControlModifier);
         }},
    };
    for (bool wrap : {false, true})
        for (const Case& c : cases) {
            e->SetWordWrap(wrap);
            e->Load("a\r\nb\r\nソ");
            QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
            c.keys(e);
            EXPECT_EQ(e->Text(), "a\r\nb\r\n") << c.name;
            EXPECT_EQ(std::make_pair(e->Row(), e->Col()), std::make_pair(2, 0)) << c.name;
            QTest::keyClick(e, Qt::Key_Backspace);
            EXPECT_EQ(e->Text(), "a\r\nb") << c.name;
            QTest::keyClicks(e, "c");
            EXPECT_EQ(e->Text(), "a\r\nbc") << c.name;
        }
}

// Copied and pasted within the program, text comes back byte for byte, also the codes that
// Unicode gives back as their twins (NEC and IBM duplicates) and codes with no character.
TEST_F(Window, CopyAndPasteGiveBackExactlyTheBytesCopied) {
    const std::string text =
        "\x87\x90\x87\x9A\xEE\xE0\xFA\x40" + Sjis("ソ表能ポ\r\n") + "\x85\x40\xEF\x40x\xA0\xFD";
    for (bool box : {false, true}) {
        e->SetSelectionMode(box);
        e->Lines().SetText(text);
        other->Lines().SetText("");
        e->setFocus();
        SelectAllByKeys(e);
        const std::string copied = e->SelText();
        if (!box) {
            EXPECT_EQ(copied, text);
        }
        QTest::keyClick(e, Qt::Key_C, Qt::ControlModifier);
        other->setFocus();
        QTest::keyClick(other, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(other->Text(), copied) << box;
    }
    e->SetSelectionMode(false);
    // Cut and pasted back in place: nothing changed.
    e->setFocus();
    SelectAllByKeys(e);
    QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(e->Text(), "");
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(e->Text(), text);
    // Other programs read Unicode text.
    e->Lines().SetText(Sjis("ソ表"));
    SelectAllByKeys(e);
    QTest::keyClick(e, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("ソ表"));
}

// Without wrapping a row may be wider than the 1000 columns shown; positions past them are
// still its own.
TEST_F(Window, ARowWiderThanTheViewKeepsItsPositionsPastColumn1000) {
    const std::string row = std::string(1100, 'x') + Sjis("表") + std::string(98, 'y');
    e->SetWordWrap(false);
    e->Lines().SetText(row + "\r\nnext");
    // A hit shown by offsets, as the viewer shows one, then typed over.
    e->SetSelStart(1100);
    e->SetSelLength(2);
    EXPECT_EQ(e->SelText(), Sjis("表"));
    QTest::keyClicks(e, "Q");
    EXPECT_EQ(e->Text(), std::string(1100, 'x') + "Q" + std::string(98, 'y') + "\r\nnext");
    EXPECT_EQ(e->SelStart(), 1101);
    // End goes to the row's end, and Shift+Left takes its last character, not the line end.
    QTest::keyClick(e, Qt::Key_End);
    EXPECT_EQ(e->SelStart(), 1199);
    QTest::keyClick(e, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(e->SelText(), "y");
    QTest::keyClick(e, Qt::Key_Delete);
    EXPECT_EQ(e->Text(), std::string(1100, 'x') + "Q" + std::string(97, 'y') + "\r\nnext");
}

// A search hit that is drawn or shown by the caret is not a selection: Shift with an arrow
// starts one at the caret, which can then be copied.
TEST_F(Window, ShiftWithAnArrowAfterASearchHitStartsASelection) {
    struct Case {
        TEditorHitStyle style;
        const char* selected; // the caret stands after a drawn hit, at the start of a caret hit
    } cases[] = {{hsDraw, "能"}, {hsCaret, "ソ"}};
    for (const Case& c : cases) {
        e->Load("abc 表ソ能 def");
        e->SetHitStyle(c.style);
        e->SetRowCol(0, 0);
        ASSERT_TRUE(e->Search(Sjis("ソ"), textsearch::soDown));
        QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
        EXPECT_TRUE(e->Selected()) << c.style;
        EXPECT_EQ(e->SelText(), Sjis(c.selected)) << c.style;
        QApplication::clipboard()->clear();
        QTest::keyClick(e, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8(c.selected)) << c.style;
    }
}

// Marks cleared from a row leave the mark submenus unchecked, however they were cleared.
TEST_F(Window, ClearedRowMarksAreNoLongerCheckedInTheMenu) {
    e->Load("a\r\nb\r\nc");
    auto checked = [&](int mark) {
        e->PopupMenu()->Upkeep();
        return e->PopupMenu()->actions()[1]->menu()->actions()[mark]->isChecked();
    };
    e->SetRowMarks(1, 1 << 3 | 1 << 12);
    EXPECT_TRUE(checked(3));
    e->SetRowMarks(1, 1 << 12);
    EXPECT_FALSE(checked(3));
    // Set by Shift+Ctrl+4 on the caret row, cleared by code.
    e->SetRowCol(2, 0);
    QTest::keyClick(e, Qt::Key_4, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(e->List().RowMarks(2), 1 << 4);
    EXPECT_TRUE(checked(4));
    e->SetRowMarks(2, 0);
    EXPECT_FALSE(checked(4));
    EXPECT_EQ(e->List().UsedMarks(), 1 << 12);
}

// While an arrow key is held the caret moves at every repeat, but the input method's candidate
// window is moved only when the key is released.
TEST_F(Window, TheCandidateWindowFollowsTheCaretOnlyWhenAHeldKeyIsReleased) {
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    e->Lines().SetText(text);
    int moves = 0;
    QMetaObject::Connection c = QObject::connect(
        QGuiApplication::inputMethod(), &QInputMethod::cursorRectangleChanged, [&] { ++moves; });
    auto key = [&](QEvent::Type type, bool repeat) {
        QKeyEvent k(type, Qt::Key_Down, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(e, &k);
    };
    // A held key as the desktop reports it: a press, then a release and a press for each repeat.
    key(QEvent::KeyPress, false);
    EXPECT_EQ(e->Row(), 1);
    EXPECT_GT(moves, 0) << "a single step moves the window at once";
    moves = 0;
    for (int i = 0; i < 3; ++i) {
        key(QEvent::KeyRelease, true);
        key(QEvent::KeyPress, true);
    }
    EXPECT_EQ(e->Row(), 4);
    EXPECT_EQ(moves, 0);
    key(QEvent::KeyRelease, false);
    EXPECT_GT(moves, 0);
    QObject::disconnect(c);
}

// A right click while the left button drags a selection neither pops the menu up nor loses the
// left button's release: the keys typed afterwards are the editor's again.
TEST_F(Window, ARightClickDuringALeftDragLosesNothing) {
    e->Load("abcdef\r\nghijkl");
    QWindow* w = window.windowHandle();
    auto at = [&](int r, int c) { return e->viewport()->mapTo(&window, e->Cell(r, c)); };
    QTest::mousePress(w, Qt::LeftButton, {}, at(0, 1));
    QTest::mouseMove(w, at(0, 4));
    QTest::mousePress(w, Qt::RightButton, {}, at(0, 4));
    QTest::mouseRelease(w, Qt::RightButton, {}, at(0, 4));
    QApplication::processEvents();
    EXPECT_FALSE(e->PopupMenu()->isVisible());
    QTest::mouseRelease(w, Qt::LeftButton, {}, at(0, 4));
    QApplication::processEvents();
    EXPECT_EQ(e->SelText(), "bcd");
    EXPECT_FALSE(e->Input().Capturing());
    QTest::keyClicks(e, "Z");
    EXPECT_EQ(e->Text(), "aZef\r\nghijkl");
}

} // namespace
} // namespace editor
