// The result pane as assistive technology hears it: the events it sends while a search fills it
// and while a person types and moves in it, offsets counting characters (a line break one).
// Qt's accessibility is on only where a desktop's accessibility bus is, so these run in a
// virtual display with buses of their own (scripts/with_accessibility_bus.sh).
#include "result_pane.h"

#include "accessible_events.h"
#include "codec.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

namespace {

std::string S(const char* u8) {
    return cp932::FromUtf8(u8);
}

QString U(const char* u8) {
    return QString::fromUtf8(u8);
}

using testing_a11y::Heard;

// A pane in an active window with the focus, its accessible object, and what it sends.
struct PaneAccessible : ::testing::Test {
    QWidget window;
    TResultPane* pane = new TResultPane;
    QAccessibleTextInterface* t = nullptr;
    std::unique_ptr<testing_a11y::HeardEvents> heard;

    void SetUp() override {
        auto* l = new QVBoxLayout(&window);
        l->addWidget(pane);
        window.resize(600, 400);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        pane->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000))
            << "no accessibility bus: run with scripts/with_accessibility_bus.sh";
        heard = std::make_unique<testing_a11y::HeardEvents>(pane);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(pane);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::EditableText);
        t = a->textInterface();
        ASSERT_NE(t, nullptr);
        pane->SetPublishInterval(0);
        QApplication::processEvents();
    }
    void TearDown() override { heard.reset(); }
    std::vector<Heard> Hear(const std::function<void()>& act) {
        QApplication::processEvents();
        heard->events.clear();
        act();
        QApplication::processEvents();
        return heard->events;
    }
    QString All() const { return t->text(0, t->characterCount()); }
};

// A search's lines are heard as they are shown, each once, at the end of what was heard before;
// the summary put in at the top when the run ends, too.
TEST_F(PaneAccessible, ASearchsLinesAreHeardAsTheyAreShown) {
    EXPECT_EQ(
        Hear([&] {
            pane->Clear();
            pane->BeginBulkAppend();
            pane->AppendLine(S("見出し表.txt")); // into the empty pane's line
            pane->AppendLine(S("    ソ能ポ"));
            pane->PublishIfDue();
        }),
        (std::vector<Heard>{{QAccessible::TextInserted, 0, -1, U("見出し表.txt\n    ソ能ポ")}}));
    EXPECT_EQ(Hear([&] {
                  pane->AppendLine(S("    東京"));
                  pane->AppendLine("");
                  pane->PublishIfDue();
                  pane->PublishIfDue(); // nothing new
              }),
              (std::vector<Heard>{{QAccessible::TextInserted, 16, -1, U("\n    東京\n")}}));
    EXPECT_EQ(
        Hear([&] {
            pane->ReplaceLine(0, S("要約"));
            pane->EndBulkAppend();
        }),
        (std::vector<Heard>{{QAccessible::TextUpdated, 0, -1, U("要約"), U("見出し表.txt")}}));
    EXPECT_EQ(All(), U("要約\n    ソ能ポ\n    東京\n"));
}

// The caret at a character offset, and no selection: the events of a caret moved.
std::vector<Heard> Caret(int at) {
    return {{QAccessible::TextCaretMoved, at}, {QAccessible::TextSelectionChanged, at, at}};
}

// Typing, deleting and moving in the pane: the change at its character offset, then the caret;
// a selection made and typed over.
TEST_F(PaneAccessible, TypingAndMovingAreHeardInCharacters) {
    pane->AppendLine(S("表ソ"));
    pane->AppendLine(S("能ポ"));
    pane->SetSelStart(pane->PositionOfLine(1)); // before 能
    struct Case {
        const char* name;
        std::function<void()> keys;
        std::vector<Heard> heard;
    } cases[] = {
        {"typed",
         [&] { QTest::keyClicks(pane, "x"); },
         {{QAccessible::TextInserted, 3, -1, U("x")}, Caret(4)[0], Caret(4)[1]}},
        {"Backspace",
         [&] { QTest::keyClick(pane, Qt::Key_Backspace); },
         {{QAccessible::TextRemoved, 3, -1, {}, U("x")}, Caret(3)[0], Caret(3)[1]}},
        {"Backspace at the line's start",
         [&] { QTest::keyClick(pane, Qt::Key_Backspace); },
         {{QAccessible::TextRemoved, 2, -1, {}, U("\n")}, Caret(2)[0], Caret(2)[1]}},
        {"Return",
         [&] { QTest::keyClick(pane, Qt::Key_Return); },
         {{QAccessible::TextInserted, 2, -1, U("\n")}, Caret(3)[0], Caret(3)[1]}},
        {"Right over a two-byte character", [&] { QTest::keyClick(pane, Qt::Key_Right); },
         Caret(4)},
        {"Shift+Right",
         [&] { QTest::keyClick(pane, Qt::Key_Right, Qt::ShiftModifier); },
         {{QAccessible::TextCaretMoved, 5}, {QAccessible::TextSelectionChanged, 4, 5}}},
        {"typed over the selection",
         [&] { QTest::keyClicks(pane, "y"); },
         {{QAccessible::TextUpdated, 4, -1, U("y"), U("ポ")}, Caret(5)[0], Caret(5)[1]}},
        {"Home", [&] { QTest::keyClick(pane, Qt::Key_Home); }, Caret(3)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hear(c.keys), c.heard) << c.name;
    EXPECT_EQ(All(), U("表ソ\n能y"));
    EXPECT_EQ(t->cursorPosition(), 3);
}

} // namespace
