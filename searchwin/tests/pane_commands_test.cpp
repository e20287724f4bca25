// The result pane's commands driven as a user would: bracket removal, markers, font sizes and
// bracket colours, copy all, find and print.
#include "window_fixture.h"

#include "brackets.h"
#include "find_dialog.h"
#include "result_pane.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace {

// A stretch of the pane's text with one look.
struct Look {
    std::string text; // UTF-8
    std::uint32_t color;
    bool underline;
    bool bold;
    bool operator==(const Look&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Look& r) {
    return os << "{\"" << r.text << "\", 0x" << std::hex << r.color << std::dec
              << (r.underline ? ", underline" : "") << (r.bold ? ", bold" : "") << "}";
}

constexpr std::uint32_t kRed = 255, kBlue = 0xff0000, kFuchsia = 0xff00ff, kGreen = 0x8000,
                        kBlack = 0, kWhite = 0xffffff;

class PaneCommandsTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        Write("data/a.txt"); // a data folder, so that the window starts without a message
    }
    TResultPane& Pane() { return *Form().RichEdit1; }
    // The pane holds these lines (UTF-8), black, in the default style.
    void Fill(std::initializer_list<const char*> lines) {
        Pane().Clear();
        for (const char* l : lines)
            Pane().AppendLine(S(l));
    }
    std::string PaneText() { return cp932::ToUtf8(Pane().Text()); }
    // Selects the n-th occurrence (0-based) of a UTF-8 text in the pane.
    void SelectText(const char* utf8, int n = 0) {
        std::int64_t at = -1;
        for (int i = 0; i <= n; ++i) {
            at = Pane().FindText(S(utf8), at + 1, -1, false, true);
            ASSERT_GE(at, 0) << utf8;
        }
        Pane().Select(at, static_cast<std::int64_t>(S(utf8).size()));
    }
    // The runs of one line of the pane, neighbours of one look merged.
    std::vector<Look> Runs(int line) {
        std::vector<Look> out;
        const QColor text = Pane().palette().color(QPalette::Text);
        const auto plain =
            static_cast<std::uint32_t>(text.red() | (text.green() << 8) | (text.blue() << 16));
        for (const rtf::Run& run : Pane().LineRuns(line)) {
            Look r{cp932::ToUtf8(run.text), run.color == rtf::kAutoColor ? plain : run.color,
                   run.underline, run.bold};
            if (!out.empty() && out.back().color == r.color &&
                out.back().underline == r.underline && out.back().bold == r.bold)
                out.back().text += r.text;
            else
                out.push_back(r);
        }
        return out;
    }
    void Trigger(QAction* a) { a->trigger(); }
    std::vector<std::string> MessagesUtf8() {
        std::vector<std::string> out;
        for (const auto& m : platform_.MessageTexts())
            out.push_back(cp932::ToUtf8(m));
        return out;
    }
};

// ---- The context menu ----

// Items as "name caption", a submenu's items indented under it.
void MenuTree(const QMenu* menu, const QString& indent, QStringList& out) {
    for (const QAction* a : menu->actions()) {
        out << indent + a->objectName() + " " + a->text();
        if (a->menu()) MenuTree(a->menu(), indent + "  ", out);
    }
}

TEST_F(PaneCommandsTest, ContextMenuOfThePaneHoldsEveryCommandInOrder) {
    TForm1& f = Form();
    f.resize(800, 600);
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        shown << menu->objectName();
        MenuTree(menu, "  ", shown);
        menu->close();
    });
    QWidget* vp = Pane().viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                            vp->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(vp, &event);

    const char* const expected[] = {
        "PopupMenu1",
        "  N1 括弧の削除",
        "  N2 マーカー",
        "    N23 赤",
        "    N3 緑",
        "    N4 青",
        "    N5 ピンク",
        "    N6 白（消す）",
        "    N7 黒（戻す）",
        "  N24 マーカー中止",
        "  File1 ファイル",
        "    N8 fil1",
        "    N9 fil2",
        "    N10 fil3",
        "    N13 fil4",
        "    N14 fil5",
        "    N15 fil6",
        "  Save1 保存",
        "    N12 保存する（仮に）",
        "    N11 読み出す（仮に）",
        "    N21 保存する",
        "    N22 読み出す",
        "  Font1 フォント",
        "    N16 　９ｐ",
        "    N17 １０ｐ",
        "    N18 １１ｐ",
        "    N19 １２ｐ",
        "    N20 １３ｐ",
        "  N25 カラー",
        "    N26 括弧を除いた部分",
        "    N27 括弧の外の部分",
        "    N28 括弧の中の部分",
        "    N29 二重括弧の部分",
    };
    QStringList want;
    for (const char* e : expected)
        want << QString::fromUtf8(e);
    EXPECT_EQ(shown, want);
}

// ---- Bracket removal ----

TEST_F(PaneCommandsTest, BracketRemovalPutsTheBracketFreeCopyBeforeTheColouredOne) {
    Fill({"前の行", "本文（注１）続き（注２）", "後の行"});
    SelectText("本文（注１）続き（注２）");
    Trigger(Form().N1);

    EXPECT_EQ(PaneText(), "前の行\r\n本文続き本文（注１）続き（注２）\r\n後の行");
    EXPECT_EQ(Runs(1), (std::vector<Look>{{"本文続き", kBlue, false, false},
                                          {"本文", kRed, false, false},
                                          {"（注１）", kBlue, true, false},
                                          {"続き", kRed, false, false},
                                          {"（注２）", kBlue, true, false}}));
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"前の行", kBlack, false, false}}));
    EXPECT_EQ(Runs(2), (std::vector<Look>{{"後の行", kBlack, false, false}}));
    // The clipboard keeps the bracket-free text, formatted too.
    EXPECT_EQ(cp932::ToUtf8(platform_.clipboard), "本文続き");
    EXPECT_FALSE(platform_.clipboardHtml.empty());
    EXPECT_TRUE(platform_.messages.empty());
    // The caret stands behind the bracket-free copy; the open-hit button changes.
    EXPECT_EQ(Pane().SelStart(), static_cast<std::int64_t>(S("前の行\r\n本文続き").size()));
    EXPECT_TRUE(Form().BitBtn9->isHidden());
    EXPECT_FALSE(Form().BitBtn13->isHidden());
}

TEST_F(PaneCommandsTest, BracketRemovalTakesNoCharacterForABracketByItsSecondByte) {
    // ！ (0x81 0x49) is not （ (0x81 0x69).
    Fill({"注意！重要（要点）です"});
    Pane().SelectAllText();
    Trigger(Form().N1);
    EXPECT_EQ(PaneText(), "注意！重要です注意！重要（要点）です");
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"注意！重要です", kBlue, false, false},
                                          {"注意！重要", kRed, false, false},
                                          {"（要点）", kBlue, true, false},
                                          {"です", kRed, false, false}}));
}

TEST_F(PaneCommandsTest, BracketRemovalColoursNestedGroupsAndRemovesBold) {
    Fill({"甲（乙（丙）丁）戊"});
    Pane().SelectAllText();
    Pane().SetSelBold(true);
    Trigger(Form().N1);

    EXPECT_EQ(PaneText(), "甲戊甲（乙（丙）丁）戊");
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"甲戊", kBlue, false, false},
                                          {"甲", kRed, false, false},
                                          {"（乙", kBlue, true, false},
                                          {"（丙）", kFuchsia, true, false},
                                          {"丁）", kBlue, true, false},
                                          {"戊", kRed, false, false}}));
}

TEST_F(PaneCommandsTest, BracketRemovalKeepsThePointSizeAndIgnoresMarkerMode) {
    // A hit line as a search writes it (12 point), with a marker switched on meanwhile.
    Pane().Clear();
    Pane().SetInsertPointSize(12);
    Pane().AppendLine(S("甲（乙）"));
    Pane().SelectAllText();
    Trigger(Form().N4);
    Pane().SelectAllText();
    Trigger(Form().N1);
    Trigger(Form().N24);

    // The selection loses its bold and nothing of the commands own steps gets painted.
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"甲", kBlue, false, false},
                                          {"甲", kRed, false, false},
                                          {"（乙）", kBlue, true, false}}));
    for (const rtf::Run& r : Pane().LineRuns(0))
        EXPECT_EQ(r.points, 12) << cp932::ToUtf8(r.text);
}

TEST_F(PaneCommandsTest, BracketFreeCopyOfATextThatStartsWithAGroupIsNotUnderlined) {
    Fill({"（注）本文"});
    Pane().SelectAllText();
    Trigger(Form().N1);
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"本文", kBlue, false, false},
                                          {"（注）", kBlue, true, false},
                                          {"本文", kRed, false, false}}));
}

TEST_F(PaneCommandsTest, BracketRemovalOfPartOfALineAndAcrossLines) {
    // Half-width brackets are stripped but not painted; a group may span a line break.
    Fill({"x a(b)c y", "一（二", "三）四"});
    SelectText("a(b)c");
    Trigger(Form().N1);
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"x ", kBlack, false, false},
                                          {"ac", kBlue, false, false},
                                          {"a(b)c", kRed, false, false},
                                          {" y", kBlack, false, false}}));

    const std::int64_t start = Pane().FindText(S("一"), 0);
    Pane().Select(start, static_cast<std::int64_t>(S("一（二\r\n三）四").size()));
    Trigger(Form().N1);
    EXPECT_EQ(PaneText(), "x aca(b)c y\r\n一四一（二\r\n三）四");
    EXPECT_EQ(Runs(1), (std::vector<Look>{{"一四", kBlue, false, false},
                                          {"一", kRed, false, false},
                                          {"（二", kBlue, true, false}}));
    EXPECT_EQ(Runs(2),
              (std::vector<Look>{{"三）", kBlue, true, false}, {"四", kRed, false, false}}));
    EXPECT_EQ(cp932::ToUtf8(platform_.clipboard), "一四");
}

struct UnbalancedCase {
    const char* name;
    const char* text;
    const char* stripped;
    const char* message; // "" for none
    std::vector<Look> coloured;
};

class UnbalancedBrackets : public PaneCommandsTest,
                           public ::testing::WithParamInterface<UnbalancedCase> {};

TEST_P(UnbalancedBrackets, EndWithBothCopiesAndTheMessage) {
    const UnbalancedCase& c = GetParam();
    Fill({c.text});
    Pane().SelectAllText();
    Trigger(Form().N1);

    EXPECT_EQ(PaneText(), std::string(c.stripped) + c.text);
    std::vector<Look> expected;
    if (*c.stripped) expected.push_back({c.stripped, kBlue, false, false});
    expected.insert(expected.end(), c.coloured.begin(), c.coloured.end());
    EXPECT_EQ(Runs(0), expected);
    if (*c.message)
        EXPECT_EQ(MessagesUtf8(), std::vector<std::string>{c.message});
    else
        EXPECT_TRUE(platform_.messages.empty());
}

const char* const kNoOpen = "カッコが閉じていません-- ( が足りません";
const char* const kNoClose = "カッコが閉じていません--  ) が足りません";

INSTANTIATE_TEST_SUITE_P(
    Texts, UnbalancedBrackets,
    ::testing::Values(
        UnbalancedCase{"ClosingTooMany", "a)b", "a)", kNoOpen, {{"a)b", kRed, false, false}}},
        UnbalancedCase{"OpeningNeverClosed", "a(b", "a", kNoClose, {{"a(b", kRed, false, false}}},
        // A full-width group without its closing bracket runs to the end of the text.
        UnbalancedCase{"FullWidthUnclosed",
                       "前（未完",
                       "前",
                       kNoClose,
                       {{"前", kRed, false, false}, {"（未完", kBlue, true, false}}},
        UnbalancedCase{"InnerClosedOuterNot",
                       "前（外（内）残り",
                       "前",
                       kNoClose,
                       {{"前", kRed, false, false},
                        {"（外", kBlue, true, false},
                        {"（内）", kFuchsia, true, false},
                        {"残り", kBlue, true, false}}},
        UnbalancedCase{"FullWidthClosingTooMany",
                       "甲）乙（丙）",
                       "甲）",
                       kNoOpen,
                       {{"甲）乙", kRed, false, false}, {"（丙）", kBlue, true, false}}},
        // Deeper than the painting looks: it still ends, every bracket inside a group.
        UnbalancedCase{"FourDeepUnclosed",
                       "（（（（（あ",
                       "",
                       kNoClose,
                       {{"（（（（（あ", kBlue, true, false}}}),
    [](const ::testing::TestParamInfo<UnbalancedCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(PaneCommandsTest, BracketRemovalWithoutASelectionLeavesThePaneAlone) {
    Fill({"本文（注）"});
    platform_.SetClipboardText(S("よその（文章）"));
    Pane().SetSelStart(2);
    Trigger(Form().N1);
    EXPECT_EQ(PaneText(), "本文（注）");
    EXPECT_EQ(cp932::ToUtf8(platform_.clipboard), "よその（文章）");
}

TEST_F(PaneCommandsTest, ColorBracketGroupReturnsEachOuterGroupThenEnds) {
    TResultPane& scratch = *Form().RichEdit2;
    scratch.Clear();
    scratch.AppendLine(S("a（b）c（d（e）f）g（h"));
    scratch.SetSelStart(0);
    std::vector<std::int64_t> starts;
    for (std::int64_t p; (p = Form().ColorBracketGroup()) != -1;) {
        starts.push_back(p);
        ASSERT_LT(starts.size(), 10u) << "the pass does not end";
    }
    // Byte positions of the three outer "（".
    EXPECT_EQ(starts, (std::vector<std::int64_t>{1, 7, 19}));
}

// ---- Colours and font sizes ----

TEST_F(PaneCommandsTest, BracketColoursComeFromTheColourDialog) {
    TForm1& f = Form();
    emit f.N25->aboutToShow();
    EXPECT_TRUE(f.FontColorsChanged);
    platform_.colorAnswers = {0x123456, 0x00aa00, 0x654321, std::nullopt};
    Trigger(f.N26);
    Trigger(f.N27);
    Trigger(f.N28);
    Trigger(f.N29); // cancelled: the colour stays
    EXPECT_EQ(f.StrippedTextColor, 0x123456u);
    EXPECT_EQ(f.OutsideBracketColor, 0x00aa00u);
    EXPECT_EQ(f.InsideBracketColor, 0x654321u);
    EXPECT_EQ(f.DoubleBracketColor, kFuchsia);

    Fill({"甲（乙（丙））"});
    Pane().SelectAllText();
    Trigger(f.N1);
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"甲", 0x123456, false, false},
                                          {"甲", 0x00aa00, false, false},
                                          {"（乙", 0x654321, true, false},
                                          {"（丙）", kFuchsia, true, false},
                                          {"）", 0x654321, true, false}}));
}

TEST_F(PaneCommandsTest, FontItemsSetThePanesPointSize) {
    TForm1& f = Form();
    EXPECT_FALSE(f.FontColorsChanged);
    emit f.Font1->aboutToShow();
    EXPECT_TRUE(f.FontColorsChanged);
    const std::pair<QAction*, int> items[] = {
        {f.N16, 9}, {f.N17, 10}, {f.N18, 11}, {f.N19, 12}, {f.N20, 13}};
    Fill({"本文"});
    for (const auto& [item, points] : items) {
        Trigger(item);
        EXPECT_EQ(Pane().FontPointSize(), points);
        // Text without a size of its own follows.
        EXPECT_EQ(Pane().font().pointSize(), points);
    }
}

TEST_F(PaneCommandsTest, FontSizeAndColoursChosenInTheMenusComeBackAtTheNextStart) {
    TForm1& f = Form();
    emit f.Font1->aboutToShow();
    Trigger(f.N18);
    emit f.N25->aboutToShow();
    platform_.colorAnswers = {0x00aa00};
    Trigger(f.N29);
    CloseForm();

    TForm1& again = Form();
    EXPECT_EQ(again.RichEdit1->FontPointSize(), 11);
    EXPECT_EQ(again.DoubleBracketColor, 0x00aa00u);
    EXPECT_EQ(again.StrippedTextColor, kBlue);
}

// ---- Markers ----

TEST_F(PaneCommandsTest, MarkerPaintsTheSelectionAndEveryLaterOneUntilStopped) {
    TForm1& f = Form();
    Fill({"一二三四五六七八"});
    SelectText("一二");
    Trigger(f.N23);
    EXPECT_TRUE(f.MarkerActive);
    EXPECT_EQ(f.MarkerColor, kRed);
    SelectText("四五"); // marker mode: a new selection is painted at once
    Pane().SetSelStart(0);
    Trigger(f.N24);
    EXPECT_FALSE(f.MarkerActive);
    SelectText("七八"); // no longer
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"一二", kRed, false, true},
                                          {"三", kBlack, false, false},
                                          {"四五", kRed, false, true},
                                          {"六七八", kBlack, false, false}}));
}

TEST_F(PaneCommandsTest, EachMarkerHasItsColourAndStyle) {
    TForm1& f = Form();
    const std::pair<QAction*, std::uint32_t> markers[] = {
        {f.N23, kRed}, {f.N3, kGreen}, {f.N4, kBlue}, {f.N5, kFuchsia}};
    for (const auto& [item, color] : markers) {
        Fill({"あいう"});
        Pane().SelectAllText();
        Pane().SetSelUnderline(true);
        Trigger(item);
        // Exactly bold: the underline goes.
        EXPECT_EQ(Runs(0), (std::vector<Look>{{"あいう", color, false, true}})) << color;
        EXPECT_EQ(f.MarkerColor, color);
        Trigger(f.N24);
    }
}

TEST_F(PaneCommandsTest, WhiteThenBlackMarkerShowsTheTextAgainWithoutBold) {
    TForm1& f = Form();
    Fill({"見出しと本文"});
    SelectText("見出し");
    Pane().SetSelStyleExactly(true, true);
    Trigger(f.N6);
    EXPECT_EQ(Runs(0)[0], (Look{"見出し", kWhite, true, false}));
    Trigger(f.N7);
    EXPECT_EQ(Runs(0)[0], (Look{"見出し", kBlack, true, false})); // underline kept
    Trigger(f.N24);
}

TEST_F(PaneCommandsTest, DraggingOverTextWithAMarkerPaintsIt) {
    TForm1& f = Form();
    f.resize(800, 600);
    Fill({"abcdefghij"});
    Pane().SetSelStart(0);
    Trigger(f.N4);
    QWidget* vp = Pane().viewport();
    auto pointAt = [&](std::int64_t pos) { return Pane().PositionRect(pos).center(); };
    const QPoint from = pointAt(2), to = pointAt(6);
    QMouseEvent press(QEvent::MouseButtonPress, from, vp->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &press);
    QMouseEvent move(QEvent::MouseMove, to, vp->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &move);
    // Painted while the button is still down.
    EXPECT_EQ(Runs(0), (std::vector<Look>{{"ab", kBlack, false, false},
                                          {"cdef", kBlue, false, true},
                                          {"ghij", kBlack, false, false}}));
    QMouseEvent release(QEvent::MouseButtonRelease, to, vp->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &release);
}

TEST_F(PaneCommandsTest, MarkerModeDuringASearchLeavesTheHitLinesBlack) {
    // The pane shows the growing result about once a second; the caret moves to its end then.
    Write("data/a.txt", "abc 1\nabc 2\nabc 3\nabc 4\n");
    TForm1& f = Form();
    ChooseFolder(QStringLiteral("data"));
    Pane().SetSelStart(0);
    Trigger(f.N23);
    bool slept = false;
    platform_.onPump = [&] {
        if (!slept) QTest::qWait(1100);
        slept = true;
    };
    f.ComboBox1->lineEdit()->setText(QStringLiteral("abc"));
    QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
    Trigger(f.N24);
    ASSERT_EQ(Pane().LineCount(), 7);
    for (int line = 3; line < 7; ++line)
        EXPECT_EQ(Runs(line), (std::vector<Look>{{Pane().Line(line), kBlack, false, false}}))
            << line;
}

TEST_F(PaneCommandsTest, CommandsUsedDuringASearchKeepTheirEffectWhenItEnds) {
    // The hits shown while the search goes on can be worked on: a marker, a bracket removal,
    // typing. The rest of the hits still come, after them.
    std::string data;
    for (int i = 0; i < 40; ++i)
        data += "abc " + std::to_string(i) + (i == 1 ? "（注）" : "") + "\n";
    Write("data/a.txt", data);
    TForm1& f = Form();
    ChooseFolder(QStringLiteral("data"));
    int pumps = 0;
    bool done = false;
    platform_.onPump = [&] {
        // A few hits in, a pause: the pane shows the hits so far at the next one.
        if (++pumps == 6) QTest::qWait(1100);
        if (done || Pane().FindText(S("abc 2"), 0) < 0) return;
        done = true;
        SelectText("abc 0");
        Trigger(f.N23);
        Trigger(f.N24);
        SelectText("abc 1（注）");
        Trigger(f.N1);
        Pane().SetSelStart(Pane().FindText(S("abc 2"), 0));
        QTest::keyClicks(&Pane(), QStringLiteral("x"));
    };
    f.ComboBox1->lineEdit()->setText(QStringLiteral("abc"));
    QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
    ASSERT_TRUE(done);
    ASSERT_EQ(Pane().LineCount(), 43);
    EXPECT_EQ(Runs(3),
              (std::vector<Look>{{"    ", kBlack, false, false}, {"abc 0", kRed, false, true}}));
    EXPECT_EQ(Pane().Line(4), S("    abc 1abc 1（注）"));
    ASSERT_GE(Runs(4).size(), 2u);
    EXPECT_EQ(Runs(4)[1], (Look{"abc 1", kBlue, false, false}));
    EXPECT_EQ(Pane().Line(5), "    xabc 2");
    EXPECT_EQ(Pane().Line(42), "    abc 39");
    EXPECT_EQ(f.HitCount, 40);
}

TEST_F(PaneCommandsTest, KeysAndClicksDuringASearchActAtOnceOnTheHitsSoFar) {
    // Three notes of 60 hits; a person presses Ctrl+End before the first hit, again once some
    // are in, then clicks on a hit line. Each acts there and then; the search goes on.
    for (const char* name : {"data/a.txt", "data/b.txt", "data/c.txt"}) {
        std::string data;
        for (int i = 0; i < 60; ++i)
            data += "abc " + std::to_string(i) + " ソ表\n";
        Write(name, data);
    }
    TForm1& f = Form();
    f.resize(800, 600);
    ChooseFolder(QStringLiteral("data"));
    f.ComboBox1->lineEdit()->setText(QStringLiteral("abc"));
    int pumps = 0;
    std::vector<std::string> checks;
    platform_.onPump = [&] {
        ++pumps;
        TResultPane& pane = Pane();
        if (pumps == 1) {
            QTest::keyClick(&pane, Qt::Key_End, Qt::ControlModifier);
            if (pane.SelStart() != pane.TextLength()) checks.push_back("first Ctrl+End");
        }
        if (checks.size() < 2 && pane.FindText(S("abc 30 "), 0) >= 0 && pumps > 1 &&
            std::count(checks.begin(), checks.end(), "clicked") == 0) {
            QTest::keyClick(&pane, Qt::Key_End, Qt::ControlModifier);
            if (pane.SelStart() != pane.TextLength() ||
                pane.PositionRect(pane.SelStart()).isEmpty())
                checks.push_back("Ctrl+End with hits");
            QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
            const std::int64_t at = pane.PositionOfLine(3) + 6;
            QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, pane.PositionRect(at).center());
            if (pane.SelStart() != at) checks.push_back("click");
            checks.push_back("clicked");
        }
    };
    QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
    platform_.onPump = nullptr;
    EXPECT_EQ(checks, std::vector<std::string>{"clicked"});
    EXPECT_EQ(f.HitCount, 180);
    ASSERT_EQ(Pane().LineCount(),
              1 + 3 * 62); // the summary, then per note an empty line, the header and its hits
    EXPECT_EQ(Pane().Line(Pane().LineCount() - 1), S("    abc 59 ソ表"));
}

// ---- Copy all and find ----

TEST_F(PaneCommandsTest, CopyAllPutsTheWholePaneOnTheClipboard) {
    Fill({"一行目", "", "    三行目"});
    SelectText("一行目");
    QTest::mouseClick(Form().BitBtn1, Qt::LeftButton);
    EXPECT_EQ(cp932::ToUtf8(platform_.clipboard), "一行目\r\n\r\n    三行目");
    EXPECT_FALSE(platform_.clipboardHtml.empty());
    EXPECT_EQ(Pane().SelLength(), Pane().TextLength());

    // Pasted back, the text and its look come back as they were.
    Pane().SetSelStart(0);
    Pane().SetSelColor(kGreen);
    Pane().SelectAllText();
    Pane().SetSelColor(kGreen);
    QTest::mouseClick(Form().BitBtn1, Qt::LeftButton);
    Fill({});
    Pane().PasteFromClipboard();
    EXPECT_EQ(PaneText(), "一行目\r\n\r\n    三行目");
    EXPECT_EQ(Runs(2), (std::vector<Look>{{"    三行目", kGreen, false, false}}));
}

TEST_F(PaneCommandsTest, FindStepsThroughTheOccurrencesThenSaysSo) {
    TForm1& f = Form();
    Fill({"Tokyo 東京 and", "東京 tokyo"});
    Pane().SetSelStart(5);
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    ASSERT_NE(f.FindDialog1, nullptr);
    EXPECT_TRUE(f.FindDialog1->isVisible());
    EXPECT_FALSE(f.FindDialog1->isModal());
    EXPECT_EQ(Pane().SelStart(), 0); // the search starts at the top
    EXPECT_FALSE(f.FindDialog1->MatchCase->isEnabled());
    EXPECT_FALSE(f.FindDialog1->WholeWord->isEnabled());
    EXPECT_TRUE(f.FindDialog1->Down->isChecked());

    f.FindDialog1->TextEdit->setText(QString::fromUtf8("東京"));
    auto findNext = [&] { QTest::mouseClick(f.FindDialog1->FindNext, Qt::LeftButton); };
    findNext();
    EXPECT_EQ(Pane().SelStart(), 6);
    EXPECT_EQ(Pane().SelLength(), 4);
    findNext();
    EXPECT_EQ(Pane().SelStart(), 16); // across the line break
    findNext();
    EXPECT_EQ(MessagesUtf8(), std::vector<std::string>{"見つかりませんでした"});
    EXPECT_EQ(Pane().SelStart(), 16);
    EXPECT_EQ(Pane().SelLength(), 4);

    // Letter case plays no part; a miss still sets the length to the text's.
    platform_.messages.clear();
    Pane().SetSelStart(0);
    f.FindDialog1->TextEdit->setText(QStringLiteral("TOKYO"));
    findNext();
    EXPECT_EQ(Pane().SelStart(), 0);
    findNext();
    EXPECT_EQ(Pane().SelStart(), 21);
    f.FindDialog1->TextEdit->setText(QStringLiteral("osaka"));
    findNext();
    EXPECT_EQ(MessagesUtf8(), std::vector<std::string>{"見つかりませんでした"});
    EXPECT_EQ(Pane().SelStart(), 21);
    EXPECT_EQ(Pane().SelLength(), 5);
}

TEST_F(PaneCommandsTest, FindStopsOnlyOnTheCharacterAskedFor) {
    TForm1& f = Form();
    Fill({"注意！重要（要点）です"});
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    ASSERT_NE(f.FindDialog1, nullptr);
    f.FindDialog1->TextEdit->setText(QString::fromUtf8("（"));
    QTest::mouseClick(f.FindDialog1->FindNext, Qt::LeftButton);
    EXPECT_EQ(Pane().SelStart(), 10);
    EXPECT_EQ(Pane().SelLength(), 2);
    EXPECT_TRUE(platform_.messages.empty());
}

// ---- Print ----

struct PageRectCase {
    const char* name;
    TForm1::TPrinterMetrics metrics;
    QRect expected;
};

class PrintPageRect : public ::testing::TestWithParam<PageRectCase> {};

TEST_P(PrintPageRect, ThirtyMillimetreMarginsInsideThePrintableArea) {
    EXPECT_EQ(TForm1::PrintPageRect(GetParam().metrics), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Printers, PrintPageRect,
    ::testing::Values(
        // A4 at 300 dpi without unprintable margins: 30 mm = 354.33 pixels.
        PageRectCase{
            "A4At300", {300, 300, 0, 0, 2480, 3508, 2480, 3508}, QRect(354, 354, 1772, 2800)},
        // Unprintable margins count against the 30 mm: 50 on the left, 2480 - 50 - 2370 = 60
        // on the right.
        PageRectCase{"A4WithOffsets",
                     {300, 300, 50, 40, 2480, 3508, 2370, 3428},
                     QRect(304, 314, 1772, 2800)},
        PageRectCase{"DifferentResolutions",
                     {600, 300, 0, 0, 4960, 3508, 4960, 3508},
                     QRect(709, 354, 3542, 2800)},
        // Unprintable margins wider than 30 mm: the printable area's edges, never beyond them.
        PageRectCase{
            "OffsetsBeyondTheMargin", {72, 72, 100, 90, 595, 842, 395, 662}, QRect(0, 0, 395, 662)},
        // A page narrower than both margins: its whole printable width.
        PageRectCase{"PageNarrowerThanTheMargins",
                     {300, 300, 0, 0, 500, 3508, 500, 3508},
                     QRect(0, 354, 500, 2800)},
        // 30 / 25.39999 * 8578 = 10131.50005 rounds up; with 25.4 it would round down.
        PageRectCase{"MillimetresPerInch",
                     {8578, 8578, 0, 0, 100000, 100000, 100000, 100000},
                     QRect(10132, 10132, 79736, 79736)}),
    [](const ::testing::TestParamInfo<PageRectCase>& info) {
        return std::string(info.param.name);
    });

class PrintTest : public PaneCommandsTest {
  protected:
    void SetUp() override {
        PaneCommandsTest::SetUp();
        pdf_ = root_ / "out.pdf";
        platform_.printFile = pdf_.string();
        QPrinter& p = platform_.Printer();
        p.setPageSize(QPageSize(QSizeF(8, 11), QPageSize::Inch)); // 2400 x 3300 pixels
        p.setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);
    }
    int PdfPages() {
        const std::string pdf = ReadFile(pdf_);
        int pages = 0;
        for (std::size_t at = 0; (at = pdf.find("/Type /Page", at)) != std::string::npos; ++at)
            if (pdf.compare(at, 12, "/Type /Pages") != 0) ++pages;
        return pages;
    }
    std::filesystem::path pdf_;
};

TEST_F(PrintTest, PrintsThePaneIntoThePageRectangleUnderTheTitle) {
    std::vector<const char*> lines(400, "    本文の行です（注）");
    Pane().Clear();
    for (const char* l : lines)
        Pane().AppendLine(S(l));
    platform_.printerSetupAnswers = {true};
    QTest::mouseClick(Form().BitBtn4, Qt::LeftButton);

    EXPECT_EQ(platform_.printerSetupCount, 1);
    ASSERT_TRUE(std::filesystem::exists(pdf_));
    const std::string pdf = ReadFile(pdf_);
    EXPECT_EQ(pdf.compare(0, 5, "%PDF-"), 0);
    // The title, as PDF writes it: UTF-16 big-endian 書類.
    EXPECT_NE(pdf.find("\xfe\xff\x66\xf8\x98\x5e"), std::string::npos);
    // An inch unprintable at 300 dpi is 300 pixels of the 354 that 30 mm take.
    EXPECT_EQ(Pane().PageRect, QRect(54, 54, 1692, 2592));
    const int pages = PdfPages();
    EXPECT_GT(pages, 1);

    // Half the text takes about half the pages.
    std::filesystem::remove(pdf_);
    Pane().Clear();
    for (int i = 0; i < 200; ++i)
        Pane().AppendLine(S(lines[0]));
    platform_.printerSetupAnswers = {true};
    QTest::mouseClick(Form().BitBtn4, Qt::LeftButton);
    EXPECT_LE(PdfPages(), (pages + 1) / 2 + 1);
}

TEST_F(PrintTest, PaperChosenInTheSetupDialogCounts) {
    Fill({"本文"});
    platform_.onPrinterSetup = [](QPrinter& p) {
        p.setPageSize(QPageSize(QSizeF(8, 10), QPageSize::Inch)); // 2400 x 3000 pixels
    };
    platform_.printerSetupAnswers = {true};
    QTest::mouseClick(Form().BitBtn4, Qt::LeftButton);
    EXPECT_EQ(Pane().PageRect, QRect(54, 54, 1692, 2292));
    EXPECT_EQ(PdfPages(), 1);
}

TEST_F(PrintTest, CancelledSetupPrintsNothing) {
    Fill({"本文"});
    QTest::mouseClick(Form().BitBtn4, Qt::LeftButton); // no answer: cancelled
    EXPECT_EQ(platform_.printerSetupCount, 1);
    EXPECT_FALSE(std::filesystem::exists(pdf_));
}

// ---- Information ----

TEST_F(PaneCommandsTest, InformationBoxThenTheHelpFileInThePane) {
    Write("help.txt", "使い方\r\n  二行目");
    Fill({"結果"});
    QTest::mouseClick(Form().BitBtn2, Qt::LeftButton);
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_EQ(platform_.messages[0].kind, app::MessageKind::Confirm);
    EXPECT_EQ(PaneText(), "使い方\r\n  二行目");
}

TEST_F(PaneCommandsTest, InformationBoxThenTheHelpFileMissingLeavesThePane) {
    Fill({"結果"});
    QTest::mouseClick(Form().BitBtn2, Qt::LeftButton);
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_EQ(platform_.messages[0].kind, app::MessageKind::Confirm);
    EXPECT_NE(platform_.messages[0].text.find("Quelvra"), std::string::npos);
    EXPECT_EQ(PaneText(), "結果");
}

} // namespace
