// Opening a hit from a real search, the browser branch and the check buttons, driven as a user
// would; the viewer itself is a stub that records what it was handed.
#include "window_fixture.h"

#include "result_pane.h"

#include <QGuiApplication>
#include <stdexcept>

namespace {

class OpenHitTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        Write("data/a.txt", "first hit\r\nnothing\r\n");
        Write("data/b.txt", "second hit\r\n");
        Write("data/c.txt", "xx\r\nthird hit one\r\nthird hit two\r\n");
    }
    // The caret at `offset` bytes into the line holding `utf8`, then the open button.
    void OpenAt(const char* utf8, std::int64_t offset = 0) {
        const int line = LineOf(utf8);
        ASSERT_GE(line, 0) << utf8;
        Pane().SetSelStart(Pane().PositionOfLine(line) + offset);
        ASSERT_TRUE(Form().BitBtn9->isEnabled());
        QTest::mouseClick(Form().BitBtn9, Qt::LeftButton);
    }
    // A viewer stub: records the fields it was handed when it was shown.
    struct Shown {
        std::string name, line, path;
    };
    std::vector<Shown> shown_;
    void StubViewer() {
        Form().ShowViewer = [this](TForm1& f) {
            shown_.push_back({f.HitFileName, f.HitLineText, f.HitFilePath});
            // The pane's selection moves while the viewer is up; the hit comes back after.
            f.RichEdit1->SetSelStart(0);
        };
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (const auto& m : platform_.MessageTexts())
            out.push_back(cp932::ToUtf8(m));
        return out;
    }
    // Colour and boldness of `len` bytes at `pos`.
    std::pair<std::uint32_t, bool> Look(std::int64_t pos, std::int64_t len) {
        Pane().Select(pos, len);
        return {Pane().SelColor(), Pane().SelBold()};
    }
};

TEST_F(OpenHitTest, HitInTheThirdFilesBlockOpensThatFileAndIsSelectedAgain) {
    SearchFor("hit");
    StubViewer();
    OpenAt("    third hit two", 6);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].name, "c.txt");
    EXPECT_EQ(shown_[0].line, "third hit two");
    EXPECT_EQ(shown_[0].path, Root() + "/data/c.txt");
    // Back from the viewer: the hit line is selected again, exactly its text.
    const std::int64_t at = Pane().PositionOfLine(LineOf("    third hit two")) + 4;
    EXPECT_EQ(Pane().SelStart(), at);
    EXPECT_EQ(Pane().SelText(), "third hit two");
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(platform_.waitCursorDepth, 0);
}

TEST_F(OpenHitTest, CaretOnAHeaderLineOpensThatFile) {
    SearchFor("hit");
    StubViewer();
    OpenAt("b.txt");
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].name, "b.txt");
    EXPECT_EQ(shown_[0].line, "b.txt");
    // The first file's hit just above the second header: wherever the caret is on the line,
    // the header above it, never the next one below.
    for (const std::int64_t offset : {0, 2, 9, 12, 13}) {
        shown_.clear();
        OpenAt("    first hit", offset);
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].name, "a.txt") << "caret at " << offset;
        EXPECT_EQ(shown_[0].line, "first hit");
    }
}

TEST_F(OpenHitTest, HeaderFarAboveACaretInALongBlockIsFound) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "ソ表能ポ hit line " + std::to_string(i) + "\r\n";
    Write("data/d.txt", text);
    SearchFor("hit");
    StubViewer();
    OpenAt("    ソ表能ポ hit line 299");
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].name, "d.txt");
    EXPECT_EQ(cp932::ToUtf8(shown_[0].line), "ソ表能ポ hit line 299");
    EXPECT_EQ(cp932::ToUtf8(Pane().SelText()), "ソ表能ポ hit line 299");
}

TEST_F(OpenHitTest, StarOfCheckedStarIsNotPartOfTheHitLine) {
    Write("data/e.txt", "本文\r\n");
    Form().CheckBox3->setChecked(true);
    SearchFor("本文");
    StubViewer();
    OpenAt("    ★本文");
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].line, S("本文"));
    EXPECT_EQ(shown_[0].name, "e.txt");
    // A header keeps its first character: there is no star to remove.
    OpenAt("e.txt");
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[1].line, "e.txt");
}

TEST_F(OpenHitTest, CaretInTheSummaryOrAnEmptyPaneOrAVanishedFileGivesTheMessage) {
    SearchFor("hit");
    // The default viewer checks the file: the summary is no file name.
    Pane().SetSelStart(3);
    QTest::mouseClick(Form().BitBtn9, Qt::LeftButton);
    EXPECT_EQ(Messages(), std::vector<std::string>{"選択位置が間違っています。"});
    EXPECT_EQ(platform_.waitCursorDepth, 0);

    platform_.messages.clear();
    std::filesystem::remove(root_ / "data/b.txt");
    OpenAt("    second hit");
    EXPECT_EQ(Messages(), std::vector<std::string>{"選択位置が間違っています。"});

    platform_.messages.clear();
    Form().ShowViewer = [](TForm1&) { throw std::runtime_error("cannot load"); };
    Pane().Clear();
    QTest::mouseClick(Form().BitBtn9, Qt::LeftButton);
    EXPECT_EQ(Messages(), std::vector<std::string>{"選択位置が間違っています。"});
    EXPECT_EQ(platform_.waitCursorDepth, 0);

    // A readable file opens without a word.
    platform_.messages.clear();
    Form().ShowViewer = nullptr;
    SearchFor("hit");
    OpenAt("    first hit");
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Pane().SelText(), "first hit");
}

TEST_F(OpenHitTest, HtmlHitOpensInTheBrowserFromTheFilesFolderAndIsSelectedOnActivation) {
    Write("ウェブ◇/page.html", "<p>hit here</p>\r\n");
    Form().RadioButton2->setChecked(true);
    ChooseFolder(QString::fromUtf8("ウェブ◇"));
    ASSERT_EQ(Form().DataExt, "html");
    ASSERT_TRUE(Form().CheckBox4->isVisible());
    Form().CheckBox4->setChecked(true);
    StubViewer();
    SearchFor("hit", QString::fromUtf8("ウェブ◇"));
    OpenAt("    <p>hit here</p>");
    EXPECT_TRUE(shown_.empty()); // no viewer
    ASSERT_EQ(platform_.openedIn.size(), 1u);
    EXPECT_EQ(platform_.openedIn[0].file, "page.html");
    EXPECT_EQ(platform_.openedIn[0].folder, Root() + "/" + S("ウェブ◇"));
    EXPECT_TRUE(Form().ReselectPending);
    EXPECT_EQ(platform_.waitCursorDepth, 0);

    // The caret went to the header; coming back to the program selects the hit again.
    Pane().SetSelStart(0);
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_FALSE(Form().ReselectPending);
    EXPECT_EQ(Pane().SelText(), "<p>hit here</p>");
    Pane().SetSelStart(0);
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(Pane().SelLength(), 0); // only once

    // The summary line is no file: nothing is handed to the shell.
    Pane().SetSelStart(2);
    QTest::mouseClick(Form().BitBtn9, Qt::LeftButton);
    EXPECT_EQ(platform_.openedIn.size(), 1u);
    EXPECT_EQ(Messages(), std::vector<std::string>{"選択位置が間違っています。"});
}

TEST(CheckButtonAlternatives, SplitAtBarsThatAreCharacters) {
    struct Case {
        const char* text;
        std::vector<const char*> pieces;
    } cases[] = {
        {"abc|def", {"abc", "def"}},
        {"a||b", {"a", "", "b"}},
        {"a|", {"a"}},
        {"|a", {"", "a"}},
        {"", {}},
        {"ポ|表", {"ポ", "表"}}, // ポ ends in 0x7C, the byte of "|"
        {"能ソ", {"能ソ"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> want;
        for (const char* p : c.pieces)
            want.push_back(cp932::FromUtf8(p));
        EXPECT_EQ(TForm1::Alternatives(cp932::FromUtf8(c.text)), want) << c.text;
    }
    EXPECT_EQ(TForm1::BarsToLineBreaks(cp932::FromUtf8("ポ|a")), cp932::FromUtf8("ポ\ra"));
}

TEST_F(OpenHitTest, CheckButtonPaintsEveryAlternativeInItsColour) {
    Form();
    Pane().Clear();
    for (const char* l : {"abc ポ def", "def abc abc", "x", "y"})
        Pane().AppendLine(S(l));
    Pane().SetSelStart(0);
    Form().ComboBox1->setEditText(QString::fromUtf8("abc|ポ"));
    QTest::mouseClick(Form().BitBtn7, Qt::LeftButton);
    const std::int64_t l1 = Pane().PositionOfLine(1);
    const auto purple = std::make_pair(0x800080u, true);
    EXPECT_EQ(Look(0, 3), purple);
    EXPECT_EQ(Look(4, 2), purple);       // ポ
    EXPECT_EQ(Look(7, 3).second, false); // def
    EXPECT_EQ(Look(l1 + 4, 3), purple);
    EXPECT_EQ(Look(l1 + 8, 3), purple);
    EXPECT_FALSE(Form().BitBtn5->isVisible());
    EXPECT_TRUE(Form().SearchBtn->isEnabled());
    EXPECT_TRUE(Form().BitBtn7->isEnabled());

    // The bottom button: blue, from ComboBox4.
    Pane().SetSelStart(0);
    Form().ComboBox4->setEditText(QStringLiteral("def"));
    QTest::mouseClick(Form().BitBtn10, Qt::LeftButton);
    EXPECT_EQ(Look(7, 3), std::make_pair(0xff0000u, true));
    EXPECT_EQ(Look(l1, 3), std::make_pair(0xff0000u, true));

    // A pane of one line: no occurrence is looked for.
    Pane().Clear();
    Pane().AppendLine("abc");
    Pane().SetSelStart(0);
    QTest::mouseClick(Form().BitBtn7, Qt::LeftButton);
    EXPECT_EQ(Look(0, 3), std::make_pair(0u, false));
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(OpenHitTest, CancelStopsThePaintingAndEveryLaterAlternative) {
    Form();
    Pane().Clear();
    for (int i = 0; i < 10; ++i)
        Pane().AppendLine("abc def");
    Pane().SetSelStart(0);
    Form().ComboBox2->setEditText(QStringLiteral("abc|def"));
    int pumps = 0;
    platform_.onPump = [&] {
        EXPECT_TRUE(Form().BitBtn5->isVisible());
        if (++pumps == 3) QTest::mouseClick(Form().BitBtn5, Qt::LeftButton);
    };
    QTest::mouseClick(Form().BitBtn6, Qt::LeftButton);
    platform_.onPump = nullptr;
    int abc = 0, def = 0;
    for (int i = 0; i < 10; ++i) {
        const std::int64_t at = Pane().PositionOfLine(i);
        abc += Look(at, 3) == std::make_pair(0xff00ffu, true);
        def += Look(at + 4, 3).second;
    }
    EXPECT_EQ(abc, 2);
    EXPECT_EQ(def, 0);
    EXPECT_FALSE(Form().BitBtn5->isVisible());
}

} // namespace
