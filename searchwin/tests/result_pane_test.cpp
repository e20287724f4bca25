#include "result_pane.h"

#include "codec.h"

#include "qtext.h"

#include <QAccessible>
#include <QApplication>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <functional>
#include <gtest/gtest.h>

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

TEST(ResultPane, LinesAndByteOffsetsCountShiftJisBytesAndTwoPerLineBreak) {
    TResultPane pane;
    pane.AppendLine("");
    pane.AppendLine(S("東京a"));
    pane.AppendLine(S("ｶﾅ"));
    EXPECT_EQ(pane.LineCount(), 3);
    EXPECT_EQ(pane.Text(), "\r\n" + S("東京a") + "\r\n" + S("ｶﾅ"));
    EXPECT_EQ(pane.TextLength(), 2 + 5 + 2 + 2);
    EXPECT_EQ(pane.PositionOfLine(1), 2);
    EXPECT_EQ(pane.PositionOfLine(2), 9);
    struct Case {
        std::int64_t byte;
        int line;
    } cases[] = {{0, 0}, {2, 1}, {4, 1}, {6, 1}, {9, 2}, {10, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(pane.LineOfPosition(c.byte), c.line) << c.byte;

    pane.Select(4, 3); // 京a
    EXPECT_EQ(pane.SelStart(), 4);
    EXPECT_EQ(pane.SelLength(), 3);
    EXPECT_EQ(pane.SelText(), S("京a"));
}

TEST(ResultPane, FindTextIsCharacterAlignedAndCrossesLineBreaks) {
    TResultPane pane;
    // 表 is 0x95 0x5C: its trail byte must not be found as a backslash.
    pane.AppendLine(S("表x.txt"));
    pane.AppendLine("ABC abc");
    EXPECT_EQ(pane.FindText("\\", 0), -1);
    EXPECT_EQ(pane.FindText(".txt\r\n", 0), 3);
    EXPECT_EQ(pane.FindText("abc", 0), 9);                   // letter case ignored by default
    EXPECT_EQ(pane.FindText("abc", 0, -1, false, true), 13); // matched case
    EXPECT_EQ(pane.FindText("abc", 10), 13);
    EXPECT_EQ(pane.FindText("abc", 0, 11), -1); // must end before `to`
    EXPECT_EQ(pane.FindText("zzz", 0), -1);
}

// Only single-byte letters fold: a two-byte character whose second byte looks like a letter
// (テ 0x83 0x65, ウ 0x83 0x45) is not the same as the one with the other "case" there.
TEST(ResultPane, FindTextFoldsSingleByteLettersOnly) {
    struct Case {
        const char* line; // the pane's second line, after a first one of its own
        const char* first;
        const char* find;
        std::int64_t at; // in the whole text; -1 none
    } cases[] = {
        {"ウスエ", "テスト", "ウスエ", 8},
        {"テスト", "ウスエ", "テスト", 8},
        {"学", "蓋", "学", 4},
        {"（", "！", "（", 4},
        {"ナ", "オ", "ナ", 4},
        {"ソa表B", "x", "ソA表b", 3}, // letters beside two-byte characters still fold
        {"ａ", "x", "Ａ", -1},        // full-width letters are two-byte characters
        {"能ポ", "能ぽ", "能ポ", 6},  // kana of another kind are other characters
    };
    for (const Case& c : cases) {
        TResultPane pane;
        pane.AppendLine(S(c.first));
        pane.AppendLine(S(c.line));
        EXPECT_EQ(pane.FindText(S(c.find), 0), c.at) << c.find;
    }
    // Case matched or not, a letter typed in the other case is found only when folding.
    TResultPane pane;
    pane.AppendLine(S("表ABC"));
    EXPECT_EQ(pane.FindText("abc", 0), 2);
    EXPECT_EQ(pane.FindText("abc", 0, -1, false, true), -1);
    // Whole words: 表 before the word is a character of the word, though its second byte is "\".
    EXPECT_EQ(pane.FindText("ABC", 0, -1, true, false), -1);
}

TEST(ResultPane, ReplaceLineTakesLineBreaksAndAppendRespectsTheCap) {
    TResultPane pane;
    pane.AppendLine("");
    pane.AppendLine("header");
    pane.ReplaceLine(0, "summary\r\n");
    EXPECT_EQ(pane.LineCount(), 3);
    EXPECT_EQ(pane.Line(0), "summary");
    EXPECT_EQ(pane.Line(1), "");
    EXPECT_EQ(pane.Line(2), "header");

    pane.Clear();
    pane.SetCap(2, 1000);
    pane.AppendLine("a");
    pane.AppendLine("b");
    EXPECT_THROW(pane.AppendLine("c"), EPaneFull);
    EXPECT_EQ(pane.Text(), "a\r\nb");
}

TEST(ResultPane, SelectionAttributesApplyToTheSelectionOrBecomeInsertionAttributes) {
    TResultPane pane;
    pane.AppendLine("hello world");
    pane.Select(0, 5);
    pane.SetSelColor(255);
    pane.SetSelStyleExactly(true, false);
    EXPECT_EQ(pane.SelColor(), 255u);
    EXPECT_TRUE(pane.SelBold());
    pane.Select(6, 5);
    EXPECT_FALSE(pane.SelBold());

    pane.SetInsertColor(0xff0000);
    pane.SetInsertBold(true);
    pane.AppendLine("next");
    pane.Select(pane.PositionOfLine(1), 4);
    EXPECT_EQ(pane.SelColor(), 0xff0000u);
    EXPECT_TRUE(pane.SelBold());
}

} // namespace

namespace {

TEST(ResultPane, BulkAppendShowsTheLinesWhenItEndsAndKeepsOffsetsRight) {
    TResultPane pane;
    pane.show();
    for (int round = 0; round < 2; ++round) {
        pane.Clear();
        pane.BeginBulkAppend();
        pane.AppendLine("");
        for (int i = 0; i < 100; ++i)
            pane.AppendLine("line " + std::to_string(i));
        EXPECT_EQ(pane.LineCount(), 101);
        EXPECT_EQ(pane.Line(100), "line 99");
        pane.ReplaceLine(0, "summary\r\n");
        pane.EndBulkAppend();
        EXPECT_FALSE(pane.InBulkAppend());
        EXPECT_EQ(pane.LineCount(), 102);
        EXPECT_EQ(pane.Line(0), "summary");
        EXPECT_EQ(pane.FindText("line 99", 0), pane.PositionOfLine(101));
        pane.Select(pane.PositionOfLine(2), 6);
        EXPECT_EQ(pane.SelText(), "line 0");
    }
}

// Counts the paintings of a widget: what reaches the screen.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
    int count = 0;
};

// A pixel of the pane's colour 0x00BBGGRR somewhere in the rectangle of the viewport (as the
// pane paints it now).
bool ShowsColour(TResultPane& pane, QRect where, std::uint32_t bgr) {
    const QImage image = pane.viewport()->grab().toImage();
    const QColor want(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    for (int y = std::max(0, where.top()); y <= std::min(image.height() - 1, where.bottom()); ++y)
        for (int x = std::max(0, where.left()); x <= std::min(image.width() - 1, where.right());
             ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - want.red()) < 40 && std::abs(c.green() - want.green()) < 40 &&
                std::abs(c.blue() - want.blue()) < 40)
                return true;
        }
    return false;
}

// A run's lines are in the pane as soon as they are appended: lines, positions, finds and
// formats are the whole text's; the screen shows what came into view at the next publishing,
// in its formats, and the scroll bar reaches the lines that came below it.
TEST(ResultPane, ARunsLinesAreInThePaneAtOnceAndShownWhenPublished) {
    TResultPane pane;
    pane.resize(400, 200);
    pane.show();
    pane.SetPublishInterval(0);
    pane.Clear();
    pane.BeginBulkAppend();
    pane.AppendLine("");
    pane.PublishIfDue();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ShowsColour(pane, pane.viewport()->rect(), 255));
    // A header and its hit: on the screen once published, in the header's red.
    PaintCounter paints(pane.viewport());
    pane.SetInsertColor(255);
    pane.AppendLine(S("見出し表"));
    pane.SetInsertColor(0);
    pane.AppendLine(S("    ソ能ポ"));
    QCoreApplication::processEvents();
    EXPECT_EQ(paints.count, 0); // not yet
    pane.PublishIfDue();
    QCoreApplication::processEvents();
    EXPECT_GT(paints.count, 0);
    EXPECT_TRUE(ShowsColour(pane, QRect(0, 0, 200, 60), 255));
    pane.Clear();
    pane.AppendLine("");
    for (int file = 0; file < 30; ++file) {
        pane.SetInsertColor(255);
        pane.SetInsertBold(true);
        pane.AppendLine(S("見出し表") + std::to_string(file));
        pane.SetInsertColor(0);
        pane.SetInsertBold(false);
        for (int hit = 0; hit < 10; ++hit)
            pane.AppendLine(S("    ソ能ポ") + std::to_string(file) + "-" + std::to_string(hit));
    }
    EXPECT_EQ(pane.LineCount(), 331);
    EXPECT_EQ(pane.Line(330), S("    ソ能ポ29-9"));
    const std::int64_t last = pane.FindText(S("ソ能ポ29-9"), 0);
    EXPECT_EQ(last, pane.PositionOfLine(330) + 4);
    pane.Select(pane.PositionOfLine(320), 6);
    EXPECT_EQ(pane.SelText(), S("見出し"));
    EXPECT_EQ(pane.SelColor(), 255u);
    EXPECT_TRUE(pane.SelBold());
    EXPECT_EQ(pane.TextLength(), static_cast<std::int64_t>(pane.Text().size()));

    pane.PublishIfDue();
    QCoreApplication::processEvents();
    // The first header, red, near the top; the scroll bar reaches the last line.
    EXPECT_TRUE(ShowsColour(pane, QRect(0, 0, 200, 60), 255));
    QScrollBar* bar = pane.verticalScrollBar();
    EXPECT_GT(bar->maximum(), 300);
    pane.EndBulkAppend();
    bar->setValue(bar->maximum());
    EXPECT_GE(pane.TopLine(), 300);
    EXPECT_FALSE(pane.PositionRect(pane.TextLength()).isEmpty()); // the end is on the screen
}

// Whatever a person does while a run goes on acts at once, on the whole text so far, and the
// run's later lines still come after it.
TEST(ResultPane, KeysClicksAndScrollingDuringARunActAtOnce) {
    struct Case {
        const char* what;
        std::function<void(TResultPane&)> touch;
        std::function<void(TResultPane&)> check; // right after the touch
    } cases[] = {
        {"Ctrl+End", [](TResultPane& p) { QTest::keyClick(&p, Qt::Key_End, Qt::ControlModifier); },
         [](TResultPane& p) {
             EXPECT_EQ(p.SelStart(), p.TextLength());
             EXPECT_FALSE(p.PositionRect(p.SelStart()).isEmpty());
         }},
        {"click",
         [](TResultPane& p) {
             QTest::mouseClick(p.viewport(), Qt::LeftButton, {},
                               p.PositionRect(p.PositionOfLine(3) + 6).center());
         },
         [](TResultPane& p) {
             EXPECT_EQ(p.SelStart(), p.PositionOfLine(3) + 6);
             EXPECT_TRUE(p.hasFocus());
         }},
        {"scroll bar",
         [](TResultPane& p) { p.verticalScrollBar()->setValue(p.verticalScrollBar()->maximum()); },
         [](TResultPane& p) {
             EXPECT_GE(p.TopLine(), p.LineCount() - 40);
             EXPECT_FALSE(p.PositionRect(p.TextLength()).isEmpty());
         }},
        {"wheel",
         [](TResultPane& p) {
             const QPoint at = p.viewport()->rect().center();
             QWheelEvent wheel(at, p.viewport()->mapToGlobal(at), {}, QPoint(0, -360), Qt::NoButton,
                               {}, Qt::NoScrollPhase, false);
             QCoreApplication::sendEvent(p.viewport(), &wheel);
         },
         [](TResultPane& p) { EXPECT_GT(p.TopLine(), 3); }},
        {"typing at the end",
         [](TResultPane& p) {
             QTest::keyClick(&p, Qt::Key_End, Qt::ControlModifier);
             QTest::keyClicks(&p, "z");
         },
         [](TResultPane& p) { EXPECT_EQ(p.Line(p.LineCount() - 1), S("    ソ表199z")); }},
    };
    for (const Case& c : cases) {
        TResultPane pane;
        pane.resize(400, 300);
        pane.show();
        QApplication::setActiveWindow(&pane);
        pane.setFocus();
        pane.SetPublishInterval(0);
        pane.BeginBulkAppend();
        for (int i = 0; i < 200; ++i)
            pane.AppendLine(S("    ソ表") + std::to_string(i));
        pane.PublishIfDue();
        QCoreApplication::processEvents();
        c.touch(pane);
        c.check(pane);
        for (int i = 200; i < 250; ++i)
            pane.AppendLine(S("    ソ表") + std::to_string(i));
        pane.EndBulkAppend();
        EXPECT_EQ(pane.LineCount(), 250) << c.what;
        EXPECT_EQ(pane.Line(249), S("    ソ表249")) << c.what;
    }
}

// The view lays out what it shows: a caret far down is scrolled to, its line shown, and a line
// taller than the view (a long hit line, wrapped) can be read to its end.
TEST(ResultPane, ScrollingToTheCaretShowsItsLineAndRowsOfALongLine) {
    TResultPane pane;
    pane.resize(300, 120);
    pane.show();
    for (int i = 0; i < 5000; ++i)
        pane.AppendLine("line " + std::to_string(i));
    std::string longLine;
    for (int i = 0; i < 400; ++i)
        longLine += S("表ソ") + std::to_string(i) + " ";
    pane.AppendLine(longLine);
    pane.AppendLine("after");
    pane.SetSelStart(pane.PositionOfLine(2500) + 2);
    pane.ScrollCaretIntoView();
    EXPECT_FALSE(pane.PositionRect(pane.SelStart()).isEmpty());
    EXPECT_LE(pane.TopLine(), 2500);
    EXPECT_GE(pane.TopLine(), 2490);
    // The end of the long line, rows below its start.
    const std::int64_t end = pane.PositionOfLine(5000) + static_cast<std::int64_t>(longLine.size());
    pane.SetSelStart(end);
    pane.ScrollCaretIntoView();
    const QRect at = pane.PositionRect(end);
    ASSERT_FALSE(at.isEmpty());
    EXPECT_GE(at.top(), 0);
    EXPECT_LE(at.bottom(), pane.viewport()->height());
    EXPECT_EQ(pane.TopLine(), 5000); // scrolled within the long line
    // Down from there: the next line.
    QTest::keyClick(&pane, Qt::Key_Down);
    EXPECT_EQ(pane.LineOfPosition(pane.SelStart()), 5001);
    // A click lands where it is made, also within the long line.
    const std::int64_t mid =
        pane.PositionOfLine(5000) + static_cast<std::int64_t>(longLine.size()) - 20;
    pane.SetSelStart(mid);
    pane.ScrollCaretIntoView();
    pane.SetSelStart(0);
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, pane.PositionRect(mid).center());
    EXPECT_EQ(pane.SelStart(), mid);
}

// A screen reader reads the text and the caret in characters (a line break one), finds where a
// character stands, and can move the caret and type.
TEST(ResultPane, AScreenReaderReadsTheTextAndTheCaret) {
    TResultPane pane;
    pane.resize(400, 200);
    pane.show();
    pane.AppendLine(S("見出し表.txt"));
    pane.AppendLine(S("    ソ能ポ abc"));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&pane);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::EditableText);
    QAccessibleTextInterface* t = a->textInterface();
    ASSERT_NE(t, nullptr);
    const QString all = QString::fromUtf8("見出し表.txt\n    ソ能ポ abc");
    EXPECT_EQ(t->characterCount(), all.size());
    EXPECT_EQ(t->text(0, t->characterCount()), all);
    EXPECT_EQ(t->text(4, 10), QString::fromUtf8(".txt\n "));
    pane.Select(pane.FindText(S("能"), 0), 2);
    EXPECT_EQ(t->cursorPosition(), all.indexOf(QString::fromUtf8("能")) + 1);
    int start = -1, end = -1;
    t->selection(0, &start, &end);
    EXPECT_EQ(start, all.indexOf(QString::fromUtf8("能")));
    EXPECT_EQ(end, start + 1);
    // Where a character stands, and back.
    const int at = all.indexOf(QString::fromUtf8("ポ"));
    const QRect r = t->characterRect(at);
    ASSERT_FALSE(r.isEmpty());
    EXPECT_EQ(t->offsetAtPoint(r.topLeft() + QPoint(1, r.height() / 2)), at);
    // Moving the caret and typing through it.
    t->setCursorPosition(at);
    EXPECT_EQ(pane.SelStart(), pane.FindText(S("ポ"), 0));
    a->editableTextInterface()->insertText(at, QString::fromUtf8("東京"));
    EXPECT_EQ(pane.Line(1), S("    ソ能東京ポ abc"));
    EXPECT_EQ(t->text(0, t->characterCount()),
              QString::fromUtf8("見出し表.txt\n    ソ能東京ポ abc"));
}

// Text composed with the input method goes in at the caret once, as one insertion.
TEST(ResultPane, TheInputMethodsTextGoesInAtTheCaret) {
    TResultPane pane;
    pane.show();
    pane.AppendLine("ab");
    pane.SetSelStart(1);
    QInputMethodEvent composing(QString::fromUtf8("とうきょう"), {});
    QApplication::sendEvent(&pane, &composing);
    EXPECT_EQ(pane.Text(), "ab"); // nothing while composing
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("東京"));
    QApplication::sendEvent(&pane, &commit);
    EXPECT_EQ(pane.Text(), "a" + S("東京") + "b");
    EXPECT_EQ(pane.SelStart(), 5);
    EXPECT_EQ(pane.inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
}

// Lines of one format are gathered before they go in: formats, the cap and Clear must hold
// exactly as for lines appended one by one.
TEST(ResultPane, BulkAppendKeepsEachLinesFormatAndTheCap) {
    TResultPane pane;
    pane.SetCap(7, 1 << 20);
    pane.BeginBulkAppend();
    pane.AppendLine("");
    for (int file = 0; file < 2; ++file) {
        pane.SetInsertColor(255);
        pane.SetInsertBold(true);
        pane.AppendLine("head" + std::to_string(file));
        pane.SetInsertColor(0);
        pane.SetInsertBold(false);
        pane.AppendLine("hit a");
        pane.AppendLine("hit b");
    }
    EXPECT_THROW(pane.AppendLine("one too many"), EPaneFull);
    pane.EndBulkAppend();
    ASSERT_EQ(pane.LineCount(), 7);
    for (int line : {1, 4}) {
        pane.Select(pane.PositionOfLine(line), 5);
        EXPECT_EQ(pane.SelColor(), 255u) << line;
        EXPECT_TRUE(pane.SelBold()) << line;
    }
    for (int line : {2, 3, 5, 6}) {
        pane.Select(pane.PositionOfLine(line), 5);
        EXPECT_EQ(pane.SelText(), line % 3 == 2 ? "hit a" : "hit b");
        EXPECT_EQ(pane.SelColor(), 0u) << line;
        EXPECT_FALSE(pane.SelBold()) << line;
    }

    // Many lines of one format go in while the run lasts, between the pump's calls.
    pane.SetCap(TResultPane::kMaxLines, TResultPane::kMaxBytes);
    pane.Clear();
    pane.BeginBulkAppend();
    for (int i = 0; i < 5000; ++i) {
        pane.AppendLine("hit " + std::to_string(i));
        pane.PublishIfDue();
    }
    pane.SetInsertBold(true);
    pane.AppendLine("head");
    pane.EndBulkAppend();
    ASSERT_EQ(pane.LineCount(), 5001);
    EXPECT_EQ(pane.Line(4999), "hit 4999");
    pane.Select(pane.PositionOfLine(5000), 4);
    EXPECT_TRUE(pane.SelBold());
    pane.Select(pane.PositionOfLine(4999), 4);
    EXPECT_FALSE(pane.SelBold());

    pane.Clear();
    pane.BeginBulkAppend();
    pane.AppendLine("waiting");
    pane.AppendLine("lines");
    pane.Clear();
    pane.AppendLine("fresh");
    pane.EndBulkAppend();
    EXPECT_EQ(pane.Text(), "fresh");
}

// The byte index survives colouring but not typing, also typing over a selection of the same
// length.
TEST(ResultPane, IndexFollowsTypingButNotColouring) {
    TResultPane pane;
    pane.show();
    pane.AppendLine("abc");
    pane.AppendLine("def");
    EXPECT_EQ(pane.Text(), "abc\r\ndef");
    pane.Select(5, 2);
    pane.SetSelColor(255);
    EXPECT_EQ(pane.Text(), "abc\r\ndef");
    EXPECT_EQ(pane.FindText("ef", 0), 6);
    pane.Select(5, 1);
    QTest::keyClick(&pane, Qt::Key_X);
    EXPECT_EQ(pane.Text(), "abc\r\nxef");
    EXPECT_EQ(pane.FindText("xe", 0), 5);
}

} // namespace
