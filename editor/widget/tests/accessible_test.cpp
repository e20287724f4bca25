// The editor as assistive technology reads it: its accessible object asked through Qt's
// accessibility interfaces, and the events it sends while a person types into it. Qt's
// accessibility is on only where a desktop's accessibility bus is, so these run in a virtual
// display with buses of their own (scripts/with_accessibility_bus.sh).
#include "accessible.h"
#include "editor.h"

#include "accessible_events.h"
#include "codec.h"
#include "fonts.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

QString U(const char* u8) {
    return QString::fromUtf8(u8);
}

using testing_a11y::Heard;

// The text as it reads: the editor's text with one "\n" for each line end.
QString Readable(TEditor& E) {
    QString t = QString::fromStdString(cp932::ToUtf8(E.Lines().Text()));
    t.replace(U("\r\n"), U("\n"));
    return t;
}

struct Editor : TEditor {
    Editor() {
        SetEditorFont(app::MapFont("FixedSys", 14));
        resize(640, 400);
    }
    void Load(const char* u8) { Lines().SetText(Sjis(u8)); }
};

// An editor in an active window with the focus, its accessible object, and what it sends.
struct Accessible : ::testing::Test {
    QWidget window;
    Editor* e = new Editor;
    QAccessibleInterface* a = nullptr;
    QAccessibleTextInterface* t = nullptr;
    std::unique_ptr<testing_a11y::HeardEvents> heard;

    void SetUp() override {
        auto* l = new QVBoxLayout(&window);
        l->addWidget(e);
        window.resize(700, 500);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        e->setFocus();
        // The desktop's accessibility bus tells Qt that assistive technology listens.
        ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000))
            << "no accessibility bus: run with scripts/with_accessibility_bus.sh";
        heard = std::make_unique<testing_a11y::HeardEvents>(e);
        a = QAccessible::queryAccessibleInterface(e);
        ASSERT_NE(a, nullptr);
        t = a->textInterface();
        ASSERT_NE(t, nullptr);
        QApplication::processEvents();
    }
    void TearDown() override { heard.reset(); }
    // Runs keys and the events they leave pending; returns what was heard meanwhile.
    std::vector<Heard> Hear(const std::function<void()>& Keys) {
        QApplication::processEvents();
        heard->events.clear();
        Keys();
        QApplication::processEvents();
        return heard->events;
    }
};

TEST_F(Accessible, AnEditableTextReadOnlyWhenTheEditorIs) {
    EXPECT_EQ(a->role(), QAccessible::EditableText);
    EXPECT_TRUE(a->state().editable);
    EXPECT_FALSE(a->state().readOnly);
    EXPECT_TRUE(a->state().multiLine);
    EXPECT_TRUE(a->state().focused);
    EXPECT_NE(a->editableTextInterface(), nullptr);
    e->SetReadOnly(true);
    EXPECT_FALSE(a->state().editable);
    EXPECT_TRUE(a->state().readOnly);
    EXPECT_EQ(a->editableTextInterface(), nullptr);
}

// Every character one offset, whatever its bytes: kana, kanji, the characters whose second byte
// is an ASCII one (ソ 表 能 ポ), half-width katakana, tabs and line ends.
TEST_F(Accessible, TheTextAndTheCaretCountCharacters) {
    e->Load("aソ表\tｱ\r\n能ポかな\r\n\r\nend");
    const QString text = U("aソ表\tｱ\n能ポかな\n\nend");
    ASSERT_EQ(t->characterCount(), text.size());
    EXPECT_EQ(t->text(0, t->characterCount()), text);
    EXPECT_EQ(a->text(QAccessible::Value), text);
    EXPECT_EQ(t->text(2, 8), text.mid(2, 6));
    // Right steps one character at a time over the whole text, Left back.
    QTest::keyClick(e, Qt::Key_Home, Qt::ControlModifier);
    e->Caret().SetNextLine(true);
    e->Caret().SetFreeCaret(false);
    for (int i = 0; i <= text.size(); ++i) {
        EXPECT_EQ(t->cursorPosition(), i);
        QTest::keyClick(e, Qt::Key_Right);
    }
    EXPECT_EQ(t->cursorPosition(), text.size());
    QTest::keyClick(e, Qt::Key_Left);
    QTest::keyClick(e, Qt::Key_Left);
    EXPECT_EQ(t->cursorPosition(), text.size() - 2);
    // Placing the caret through the interface places the editor's.
    t->setCursorPosition(6);
    EXPECT_EQ(std::make_pair(e->Row(), e->Col()), std::make_pair(1, 0));
    t->setCursorPosition(8);
    EXPECT_EQ(std::make_pair(e->Row(), e->Col()), std::make_pair(1, 4));
}

TEST_F(Accessible, PiecesByCharacterWordLineAndParagraph) {
    e->WrapOption().SetWrapByte(20);
    e->SetWordWrap(true);
    // Line 0 wraps over two rows; line 1 holds words.
    e->Load("表ソ能ポ表ソ能ポ表ソ能ポ表ソ\r\nabc def\r\n");
    ASSERT_EQ(e->RowCount(), 3);
    struct Case {
        const char* name;
        int offset;
        QAccessible::TextBoundaryType type;
        const char* at;
        int start, end;
    } cases[] = {
        {"character", 1, QAccessible::CharBoundary, "ソ", 1, 2},
        {"screen row", 3, QAccessible::LineBoundary, "表ソ能ポ表ソ能ポ表ソ", 0, 10},
        {"the wrapped row's rest", 10, QAccessible::LineBoundary, "能ポ表ソ\n", 10, 15},
        {"logical line", 3, QAccessible::ParagraphBoundary, "表ソ能ポ表ソ能ポ表ソ能ポ表ソ\n", 0,
         15},
        {"word", 20, QAccessible::WordBoundary, "def", 19, 22},
        {"the line after a final line end", 23, QAccessible::LineBoundary, "", 23, 23},
        {"the whole text", 5, QAccessible::NoBoundary, "表ソ能ポ表ソ能ポ表ソ能ポ表ソ\nabc def\n", 0,
         23},
    };
    for (const Case& c : cases) {
        int s = -9, x = -9;
        EXPECT_EQ(t->textAtOffset(c.offset, c.type, &s, &x), U(c.at)) << c.name;
        EXPECT_EQ(std::make_pair(s, x), std::make_pair(c.start, c.end)) << c.name;
    }
    int s = 0, x = 0;
    EXPECT_EQ(t->textAfterOffset(3, QAccessible::LineBoundary, &s, &x), U("能ポ表ソ\n"));
    EXPECT_EQ(t->textBeforeOffset(17, QAccessible::LineBoundary, &s, &x), U("能ポ表ソ\n"));
    EXPECT_EQ(std::make_pair(s, x), std::make_pair(10, 15));
    EXPECT_EQ(t->textBeforeOffset(2, QAccessible::CharBoundary, &s, &x), U("ソ"));
    EXPECT_EQ(t->textAfterOffset(2, QAccessible::CharBoundary, &s, &x), U("ポ"));
    EXPECT_EQ(t->textBeforeOffset(0, QAccessible::LineBoundary, &s, &x), QString());
    EXPECT_EQ(std::make_pair(s, x), std::make_pair(-1, -1));
    EXPECT_EQ(t->textAfterOffset(16, QAccessible::ParagraphBoundary, &s, &x), QString())
        << "after the last line's line end only the empty line after it";
    EXPECT_EQ(std::make_pair(s, x), std::make_pair(23, 23));
    EXPECT_EQ(t->textAfterOffset(16, QAccessible::WordBoundary, &s, &x), U(" "));
    // -2 stands for the caret.
    t->setCursorPosition(16);
    EXPECT_EQ(t->textAtOffset(-2, QAccessible::LineBoundary, &s, &x), U("abc def\n"));
}

TEST_F(Accessible, SelectionsReadBackAndAreMadeThroughTheInterface) {
    e->Load("ab表ソ\r\n能ポcd");
    EXPECT_EQ(t->selectionCount(), 0);
    QTest::keyClick(e, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Right);
    QTest::keyClick(e, Qt::Key_Right);
    QTest::keyClick(e, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(t->selectionCount(), 1);
    int s = 0, x = 0;
    t->selection(0, &s, &x);
    EXPECT_EQ(std::make_pair(s, x), std::make_pair(2, 7));
    EXPECT_EQ(t->text(s, x), U("表ソ\n能ポ"));
    // A box is one piece on each of its rows.
    e->SetSelectionMode(true);
    ASSERT_EQ(t->selectionCount(), 2);
    t->selection(0, &s, &x);
    EXPECT_EQ(t->text(s, x), U("表"));
    t->selection(1, &s, &x);
    EXPECT_EQ(t->text(s, x), U("ポ"));
    e->SetSelectionMode(false);
    // Made through the interface: the editor selects the same characters.
    t->setSelection(0, 3, 6);
    EXPECT_EQ(e->SelText(), Sjis("ソ\r\n能"));
    t->removeSelection(0);
    EXPECT_FALSE(e->Selected());
    t->addSelection(5, 7);
    EXPECT_EQ(e->SelText(), Sjis("能ポ"));
    // The last line has no line end: nothing comes after it.
    EXPECT_EQ(t->textAfterOffset(6, QAccessible::LineBoundary, &s, &x), QString());
    EXPECT_EQ(std::make_pair(s, x), std::make_pair(-1, -1));
}

TEST_F(Accessible, CharactersHaveTheirPlacesOnTheScreen) {
    e->Load("ab表ソ\r\n能");
    const TEditorMetrics& m = e->Metrics();
    const QRect r = t->characterRect(2); // 表: two cells from column 2
    EXPECT_EQ(r.topLeft(), e->viewport()->mapToGlobal(QPoint(e->ColX(2), e->RowY(0))));
    EXPECT_EQ(r.size(), QSize(2 * m.ColWidth, m.FontHeight));
    EXPECT_EQ(t->characterRect(0).width(), m.ColWidth);
    // Both halves of a two-byte character are that character.
    auto at = [&](int row, int col) {
        return e->viewport()->mapToGlobal(
            QPoint(e->ColX(col) + m.ColWidth / 2, e->RowY(row) + m.RowHeight / 2));
    };
    EXPECT_EQ(t->offsetAtPoint(at(0, 2)), 2);
    EXPECT_EQ(t->offsetAtPoint(at(0, 3)), 2);
    EXPECT_EQ(t->offsetAtPoint(at(0, 5)), 3);
    EXPECT_EQ(t->offsetAtPoint(at(1, 0)), 5);
    EXPECT_EQ(t->offsetAtPoint(at(0, 30)), 4) << "right of a row: its line end";
    EXPECT_EQ(t->offsetAtPoint(e->viewport()->mapToGlobal(QPoint(-5, 5))), -1);
    // The visible range follows the view.
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += "line " + std::to_string(i) + "\r\n";
    e->Lines().SetText(many);
    auto* ea = static_cast<TEditorAccessible*>(a);
    int s = 0, x = 0;
    ea->VisibleRange(&s, &x);
    EXPECT_EQ(s, 0);
    EXPECT_GE(x, e->VisibleRowCount() * 7);
    t->scrollToSubstring(1500, 1501);
    EXPECT_GT(e->TopRow(), 0);
    ea->VisibleRange(&s, &x);
    EXPECT_LE(s, 1500);
    EXPECT_GT(x, 1500);
}

// Each edit is heard once, as what it removed and what it inserted, where; then the caret.
TEST_F(Accessible, EveryEditIsHeardOnceWithWhatChanged) {
    e->Load("ab表ソ\r\n能ポ");
    QTest::keyClick(e, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Right);
    QTest::keyClick(e, Qt::Key_Right);
    struct Case {
        const char* name;
        std::function<void()> keys;
        std::vector<Heard> heard;
    } cases[] = {
        {"a letter typed",
         [&] { QTest::keyClicks(e, "x"); },
         {{QAccessible::TextInserted, 2, -1, U("x")},
          {QAccessible::ValueChanged},
          {QAccessible::TextCaretMoved, 3}}},
        {"a two-byte character typed",
         [&] {
             QKeyEvent k(QEvent::KeyPress, 0, Qt::NoModifier, U("能"));
             QApplication::sendEvent(e, &k);
         },
         {{QAccessible::TextInserted, 3, -1, U("能")},
          {QAccessible::ValueChanged},
          {QAccessible::TextCaretMoved, 4}}},
        {"Backspace",
         [&] { QTest::keyClick(e, Qt::Key_Backspace); },
         {{QAccessible::TextRemoved, 3, -1, {}, U("能")},
          {QAccessible::ValueChanged},
          {QAccessible::TextCaretMoved, 3}}},
        {"Return",
         [&] { QTest::keyClick(e, Qt::Key_Return); },
         {{QAccessible::TextInserted, 3, -1, U("\n")},
          {QAccessible::ValueChanged},
          {QAccessible::TextCaretMoved, 4}}},
        {"Backspace at a line's start",
         [&] { QTest::keyClick(e, Qt::Key_Backspace); },
         {{QAccessible::TextRemoved, 3, -1, {}, U("\n")},
          {QAccessible::ValueChanged},
          {QAccessible::TextCaretMoved, 3}}},
        {"a selection typed over",
         [&] {
             QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
             QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
             QApplication::processEvents();
             heard->events.clear();
             QTest::keyClicks(e, "y");
         },
         {{QAccessible::TextRemoved, 3, -1, {}, U("表ソ")},
          {QAccessible::TextInserted, 3, -1, U("y")},
          {QAccessible::ValueChanged},
          {QAccessible::TextCaretMoved, 4},
          {QAccessible::TextSelectionChanged, 4, 4}}},
        {"undone",
         [&] { QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier); },
         // The caret goes back to where it stood before the change: after the selection.
         {{QAccessible::TextRemoved, 3, -1, {}, U("y")},
          {QAccessible::TextInserted, 3, -1, U("表ソ")},
          {QAccessible::ValueChanged},
          {QAccessible::TextCaretMoved, 5}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hear(c.keys), c.heard) << c.name;
        EXPECT_EQ(t->text(0, t->characterCount()), Readable(*e)) << c.name;
    }
}

// In a wrapped line an edit re-cuts the rows after it; what is heard is only what was typed.
TEST_F(Accessible, AnEditInAWrappedLineIsHeardAsTheCharactersTyped) {
    e->WrapOption().SetWrapByte(20);
    e->SetWordWrap(true);
    e->Load("表ソ能ポ表ソ能ポ表ソ能ポ表ソ能ポ表ソ能ポ表ソ能ポ表ソ\r\nabc");
    ASSERT_GT(e->RowCount(), 3);
    t->setCursorPosition(1);
    EXPECT_EQ(Hear([&] { QTest::keyClicks(e, "x"); }),
              (std::vector<Heard>{{QAccessible::TextInserted, 1, -1, U("x")},
                                  {QAccessible::ValueChanged},
                                  {QAccessible::TextCaretMoved, 2}}));
    EXPECT_EQ(t->text(0, t->characterCount()), Readable(*e));
    // Each screen row is a line, as re-cut.
    for (int r = 0; r < e->RowCount(); ++r) {
        QString row = QString::fromStdString(cp932::ToUtf8(e->List().Text(r)));
        if (e->List().RowAttr(r) == LineEnd) row += QLatin1Char('\n');
        int s = 0, x = 0;
        EXPECT_EQ(t->textAtOffset(e->CharOffsets().RowStart(r), QAccessible::LineBoundary, &s, &x),
                  row)
            << r;
    }
}

TEST_F(Accessible, SelectingAndDroppingASelectionIsHeard) {
    e->Load("ab表ソ");
    QTest::keyClick(e, Qt::Key_Home);
    EXPECT_EQ(Hear([&] { QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier); }),
              (std::vector<Heard>{{QAccessible::TextCaretMoved, 1},
                                  {QAccessible::TextSelectionChanged, 0, 1}}));
    EXPECT_EQ(Hear([&] {
                  QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
                  QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
              }),
              (std::vector<Heard>{{QAccessible::TextCaretMoved, 3},
                                  {QAccessible::TextSelectionChanged, 0, 3}}))
        << "two keys before the events are looked at: heard once, where they ended";
    EXPECT_EQ(Hear([&] { QTest::keyClick(e, Qt::Key_Left); }),
              (std::vector<Heard>{{QAccessible::TextCaretMoved, 2},
                                  {QAccessible::TextSelectionChanged, 2, 2}}));
    EXPECT_EQ(Hear([&] { QTest::keyClick(e, Qt::Key_Left); }),
              (std::vector<Heard>{{QAccessible::TextCaretMoved, 1}}));
}

TEST_F(Accessible, TheTextIsEditedThroughTheInterfaceUnlessReadOnly) {
    e->Load("ab表ソ\r\n能");
    QAccessibleEditableTextInterface* w = a->editableTextInterface();
    ASSERT_NE(w, nullptr);
    w->insertText(2, U("ポ\n"));
    EXPECT_EQ(e->Lines().Text(), Sjis("abポ\r\n表ソ\r\n能"));
    w->deleteText(0, 2);
    EXPECT_EQ(e->Lines().Text(), Sjis("ポ\r\n表ソ\r\n能"));
    w->replaceText(2, 3, U("x"));
    EXPECT_EQ(e->Lines().Text(), Sjis("ポ\r\nxソ\r\n能"));
    EXPECT_EQ(t->text(0, t->characterCount()), Readable(*e));
    e->SetReadOnly(true);
    w->insertText(0, U("z"));
    w->deleteText(0, 2);
    EXPECT_EQ(e->Lines().Text(), Sjis("ポ\r\nxソ\r\n能"));
}

} // namespace
} // namespace editor
