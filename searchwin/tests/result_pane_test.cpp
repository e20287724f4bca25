#include "result_pane.h"

#include "codec.h"

#include "qtext.h"
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
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

// While a run lasts, the pane shows its last lines in their formats, scrolled to the end; a
// command meanwhile works on the whole text, at the place selected in what was shown.
TEST(ResultPane, BulkAppendShowsTheLastLinesAndACommandMeanwhileWorksOnTheWhole) {
    TResultPane pane;
    pane.show();
    pane.SetPublishInterval(0);
    pane.SetPublishTail(3);
    auto shown = [&] { return pane.document()->toPlainText().toStdString(); };
    pane.Clear();
    pane.BeginBulkAppend();
    pane.AppendLine("");
    pane.PublishIfDue();
    EXPECT_EQ(shown(), "");
    for (int file = 0; file < 3; ++file) {
        pane.SetInsertColor(255);
        pane.SetInsertBold(true);
        pane.AppendLine(S("見出し") + std::to_string(file));
        pane.SetInsertColor(0);
        pane.SetInsertBold(false);
        pane.AppendLine(S("ソ表") + std::to_string(file));
    }
    pane.PublishIfDue();
    EXPECT_EQ(cp932::ToUtf8(app::FromQ(pane.document()->toPlainText())), "ソ表1\n見出し2\nソ表2");
    EXPECT_EQ(pane.textCursor().position(), pane.document()->characterCount() - 1);
    const QTextBlock head = pane.document()->findBlockByNumber(1);
    EXPECT_EQ(head.begin().fragment().charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(head.begin().fragment().charFormat().fontWeight() >= QFont::Bold);
    EXPECT_FALSE(head.next().begin().fragment().charFormat().fontWeight() >= QFont::Bold);
    EXPECT_EQ(pane.LineCount(), 7); // the whole text meanwhile

    // The user selects 見出し2 in what is shown and colours it; more lines come after.
    QTextCursor c = pane.textCursor();
    c.setPosition(head.position());
    c.setPosition(head.position() + 3, QTextCursor::KeepAnchor);
    pane.setTextCursor(c);
    pane.SetSelColor(0x8000);
    EXPECT_EQ(pane.SelText(), S("見出し"));
    pane.AppendLine("after");
    pane.PublishIfDue(); // the run goes on in the document now shown
    pane.EndBulkAppend();
    ASSERT_EQ(pane.LineCount(), 8);
    EXPECT_EQ(pane.Line(7), "after");
    const std::int64_t at = pane.PositionOfLine(5);
    pane.Select(at, 6);
    EXPECT_EQ(pane.SelText(), S("見出し"));
    EXPECT_EQ(pane.SelColor(), 0x8000u);
    pane.Select(pane.PositionOfLine(3), 6);
    EXPECT_EQ(pane.SelColor(), 255u); // the first header as it was

    // A summary written in at the top while the last lines are shown.
    pane.Clear();
    pane.BeginBulkAppend();
    for (int i = 0; i < 6; ++i)
        pane.AppendLine("line " + std::to_string(i));
    pane.PublishIfDue();
    pane.ReplaceLine(0, "summary\r\n");
    QTextCursor d(pane.document());
    d.setPosition(0);
    d.setPosition(6, QTextCursor::KeepAnchor); // "line 3"
    pane.setTextCursor(d);
    pane.AdoptBulkDocument();
    EXPECT_EQ(pane.SelText(), "line 3");
    pane.EndBulkAppend();

    // A position or a find during the run is the whole text's, not the copy's.
    pane.Clear();
    pane.BeginBulkAppend();
    for (int i = 0; i < 6; ++i)
        pane.AppendLine("row " + std::to_string(i));
    pane.PublishIfDue(); // rows 3 to 5, the caret at the end
    EXPECT_EQ(pane.SelStart(), pane.TextLength());
    EXPECT_EQ(pane.FindText("row 1", 0), pane.PositionOfLine(1));
    pane.AppendLine("row 6");
    pane.EndBulkAppend();
    EXPECT_EQ(pane.Line(6), "row 6");
}

// A long run shows its first lines when it ends and the rest goes in a slice at a time; the
// text, the lines and the positions within those first lines are the whole text's meanwhile,
// and anything that needs more (a key, a click, a find) finishes it at once.
class LongRun : public ::testing::Test {
  public:
    TResultPane pane;
    std::vector<std::string> lines; // what the pane must hold, line by line

    void SetUp() override {
        pane.show();
        pane.SetBackgroundFinish(5, 3, 0, 4); // first 3 lines, then 4 lines a slice
    }
    void Run(int files) {
        pane.Clear();
        lines.clear();
        pane.BeginBulkAppend();
        pane.AppendLine("");
        lines.push_back("");
        for (int f = 0; f < files; ++f) {
            pane.SetInsertColor(255);
            pane.SetInsertBold(true);
            pane.AppendLine(S("メモ表") + std::to_string(f) + ".txt");
            lines.push_back(S("メモ表") + std::to_string(f) + ".txt");
            pane.SetInsertColor(0);
            pane.SetInsertBold(false);
            for (int h = 0; h < 3; ++h) {
                pane.AppendLine(S("    ソ能ポ|\\") + std::to_string(h));
                lines.push_back(S("    ソ能ポ|\\") + std::to_string(h));
            }
        }
        pane.ReplaceLine(0, "summary\r\n");
        lines[0] = "summary";
        lines.insert(lines.begin() + 1, "");
        pane.EndBulkAppend();
    }
    std::string Joined() const {
        std::string all;
        for (std::size_t i = 0; i < lines.size(); ++i)
            all += (i ? "\r\n" : "") + lines[i];
        return all;
    }
    void WaitWhole() {
        for (int i = 0; i < 2000 && !pane.IsWhole(); ++i)
            QTest::qWait(1);
        ASSERT_TRUE(pane.IsWhole());
    }
};

TEST_F(LongRun, FirstLinesNowTheRestInTheBackgroundInTheirFormats) {
    pane.SetBackgroundFinish(5, 8, 0, 4); // first 8 lines, then 4 lines a slice
    Run(6);                               // 26 lines
    EXPECT_FALSE(pane.IsWhole());
    EXPECT_FALSE(pane.InBulkAppend());
    EXPECT_EQ(pane.document()->blockCount(), 8);
    ASSERT_EQ(pane.LineCount(), static_cast<int>(lines.size()));
    for (int i = 0; i < pane.LineCount(); ++i)
        EXPECT_EQ(pane.Line(i), lines[i]) << i;
    // Positions within the first lines need no more.
    pane.SetSelStart(0);
    pane.ScrollCaretIntoView();
    EXPECT_EQ(pane.SelStart(), 0);
    const std::int64_t head = pane.PositionOfLine(2);
    EXPECT_EQ(head, 11);
    pane.Select(head, 6);
    EXPECT_EQ(pane.SelText(), S("メモ表"));
    EXPECT_FALSE(pane.IsWhole());

    // Scrolled down the first lines (the program moves there; the user's own scrolling
    // finishes first): the same line stays at the top of the view.
    pane.resize(300, 60);
    pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum());
    const int topLine = pane.cursorForPosition(QPoint(0, 0)).blockNumber();
    EXPECT_GT(topLine, 0);

    WaitWhole();
    EXPECT_EQ(pane.cursorForPosition(QPoint(0, 0)).blockNumber(), topLine);
    EXPECT_EQ(pane.document()->blockCount(), static_cast<int>(lines.size()));
    EXPECT_EQ(pane.Text(), Joined());
    EXPECT_EQ(pane.SelText(), S("メモ表")); // the selection kept
    EXPECT_EQ(pane.SelStart(), head);
    for (int line : {2, 6, 22}) {
        pane.Select(pane.PositionOfLine(line), 6);
        EXPECT_EQ(pane.SelColor(), 255u) << line;
        EXPECT_TRUE(pane.SelBold()) << line;
        pane.Select(pane.PositionOfLine(line + 1), 6);
        EXPECT_EQ(pane.SelText(), S("    ソ"));
        EXPECT_EQ(pane.SelColor(), 0u) << line;
        EXPECT_FALSE(pane.SelBold()) << line;
    }
}

TEST_F(LongRun, WhateverNeedsMoreThanTheFirstLinesFinishesAtOnce) {
    struct Case {
        const char* what;
        std::function<void(LongRun&)> touch;
    } cases[] = {
        {"key", [](LongRun& t) { QTest::keyClick(&t.pane, Qt::Key_End, Qt::ControlModifier); }},
        {"click", [](LongRun& t) { QTest::mouseClick(t.pane.viewport(), Qt::LeftButton); }},
        {"find", [](LongRun& t) { EXPECT_GT(t.pane.FindText(S("表5"), 0), 0); }},
        {"far selection", [](LongRun& t) { t.pane.Select(t.pane.PositionOfLine(20), 2); }},
        {"select all", [](LongRun& t) { t.pane.SelectAllText(); }},
        {"text", [](LongRun& t) { EXPECT_EQ(t.pane.Text(), t.Joined()); }},
        {"append", [](LongRun& t) { t.pane.AppendLine("more"), t.lines.push_back("more"); }},
        {"colour", [](LongRun& t) { t.pane.PaintRange(0, 3, 0x8000, true, false); }},
    };
    for (const Case& c : cases) {
        Run(6);
        ASSERT_FALSE(pane.IsWhole()) << c.what;
        c.touch(*this);
        EXPECT_TRUE(pane.IsWhole()) << c.what;
        EXPECT_EQ(pane.document()->blockCount(), static_cast<int>(lines.size())) << c.what;
        EXPECT_EQ(pane.Text(), Joined()) << c.what;
    }
    // Typed at the end of the whole text, not of the first lines.
    Run(6);
    QTest::keyClick(&pane, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&pane, "z");
    EXPECT_EQ(pane.Line(pane.LineCount() - 1), lines.back() + "z");
}

TEST_F(LongRun, ClearOrANewRunDropsOrKeepsWhatIsStillGoingIn) {
    Run(6);
    pane.Clear();
    QTest::qWait(20);
    EXPECT_TRUE(pane.IsWhole());
    EXPECT_EQ(pane.Text(), "");

    Run(6);
    const std::string first = Joined();
    // A second run appended to the first one (no Clear) keeps every line of the first.
    pane.BeginBulkAppend();
    pane.AppendLine("second");
    pane.EndBulkAppend();
    WaitWhole();
    EXPECT_EQ(pane.Text(), first + "\r\nsecond");
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
