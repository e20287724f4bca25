// Saving and loading the result pane, and the six file slots.
#include "window_fixture.h"

#include "result_pane.h"
#include "rtf.h"

#include <QTest>
#include <unistd.h>

namespace {

using Runs = std::vector<rtf::Run>;

class ResultFilesTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        std::filesystem::create_directories(root_ / "data"); // a folder to choose at start
    }
    std::string NotFound() const { return S("ファイルが見あたりません。"); }
    std::string PaneFull() const { return S("表示行数が制限を超えました"); }
    TResultPane& Pane() { return *Form().RichEdit1; }

    // A pane painted every way the commands paint it: colours, markers (bold), bracket groups
    // (underline), sizes; kanji, kana, half-width kana, ASCII with RTF's special characters,
    // an empty line and a tab.
    void Paint() {
        TResultPane& p = Pane();
        p.Clear();
        p.SetInsertColor(255);
        p.AppendLine(S("■ファイル：表示ソフト.txt"));
        p.SetInsertColor(0);
        p.AppendLine(S("本文（注１）続き {a\\b} ｶﾅ\tタブ"));
        p.AppendLine("");
        p.AppendLine(S("最後の行"));
        const std::string text = p.Text();
        auto sel = [&](const char* utf8) {
            const std::int64_t at = p.FindText(S(utf8), 0);
            ASSERT_GE(at, 0) << utf8;
            p.Select(at, static_cast<std::int64_t>(S(utf8).size()));
        };
        sel("続き");
        p.SetSelColor(0x8000);
        p.SetSelStyleExactly(true, false);
        sel("（注１）");
        p.SetSelColor(0xff0000);
        p.SetSelStyleExactly(false, true);
        sel("ｶﾅ");
        p.SetSelPointSize(13);
        sel("最後");
        p.SetSelColor(0xffffff);
        p.SetSelPointSize(9);
        p.SetSelStyleExactly(true, true);
        EXPECT_EQ(p.Text(), text);
    }
    void WriteBytes(const std::string& rel, const std::string& bytes) {
        std::filesystem::create_directories((root_ / rel).parent_path());
        std::ofstream(root_ / rel, std::ios::binary) << bytes;
    }
    void Answer(std::deque<std::optional<std::string>>& q, const std::string& path) {
        q.push_back(path);
    }
};

TEST_F(ResultFilesTest, QuickSaveAndLoadKeepTextAndEveryFormat) {
    Paint();
    const std::string text = Pane().Text();
    const Runs runs = Pane().Runs();
    ASSERT_GE(runs.size(), 6u);

    Form().N12->trigger();
    const std::string file = ReadFile(root_ / "tentative.doc");
    EXPECT_TRUE(rtf::IsRtf(file));

    Pane().Clear();
    Pane().AppendLine("other results");
    Form().N11->trigger();
    EXPECT_EQ(Pane().Text(), text);
    EXPECT_EQ(Pane().Runs(), runs);
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Pane().SelStart(), 0);

    // Text without a size of its own follows the pane's font size after loading too.
    const Runs loaded = Pane().Runs();
    EXPECT_EQ(loaded.front().points, 0);
    Pane().SetFontPointSize(12);
    Form().N11->trigger();
    EXPECT_EQ(Pane().Runs(), runs);
}

TEST_F(ResultFilesTest, QuickLoadAfterANewSearchInALaterRun) {
    Write("data/a.txt", "東京の地図\r\n大阪\r\n");
    Write("data/b.txt", "京都\r\n東京駅\r\n");
    ChooseFolder(QStringLiteral("data"));
    TForm1& f = Form();
    f.ComboBox1->setEditText(app::U("東京"));
    QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
    const std::int64_t hit = Pane().FindText(S("東京駅"), 0);
    ASSERT_GE(hit, 0);
    Pane().Select(hit, 6);
    f.N23->trigger(); // red marker
    f.N24->trigger();
    const std::string text = Pane().Text();
    const Runs runs = Pane().Runs();
    f.N12->trigger();
    CloseForm();

    TForm1& again = Form(); // the program started again
    ChooseFolder(QStringLiteral("data"));
    again.ComboBox1->setEditText(app::U("大阪"));
    QTest::mouseClick(again.SearchBtn, Qt::LeftButton);
    ASSERT_NE(Pane().Text(), text);
    again.N11->trigger();
    EXPECT_EQ(Pane().Text(), text);
    EXPECT_EQ(Pane().Runs(), runs);
}

TEST_F(ResultFilesTest, QuickLoadWithoutAFileSaysSoAndKeepsThePane) {
    Pane().AppendLine("kept");
    Form().N11->trigger();
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{NotFound()});
    EXPECT_EQ(Pane().Text(), "kept");
}

TEST_F(ResultFilesTest, DialogsFiltersDefaultExtensionAndCancel) {
    Paint();
    const Runs runs = Pane().Runs();
    TForm1& f = Form();

    // Save: a name without an extension gets .doc; the dialog starts with the last loaded name.
    Answer(platform_.saveAnswers, Root() + "/" + S("結果"));
    f.N21->trigger();
    ASSERT_TRUE(std::filesystem::exists(root_ / "結果.doc"));
    EXPECT_EQ(platform_.filters.back(), "*.doc|*.doc|*.*|*.*");
    EXPECT_EQ(platform_.fileDialogStarts.back(), "");

    // Any extension: still rich text.
    Answer(platform_.saveAnswers, Root() + "/notes.txt");
    f.N21->trigger();
    EXPECT_TRUE(rtf::IsRtf(ReadFile(root_ / "notes.txt")));

    Pane().Clear();
    Answer(platform_.openAnswers, Root() + "/" + S("結果.doc"));
    f.N22->trigger();
    EXPECT_EQ(Pane().Runs(), runs);
    EXPECT_EQ(platform_.filters.back(), "*.doc|*.doc|*.*|*.*");
    EXPECT_EQ(f.OpenDialogFileName, Root() + "/" + S("結果.doc"));

    platform_.saveAnswers.push_back(std::nullopt); // cancelled: nothing happens
    f.N21->trigger();
    EXPECT_EQ(platform_.fileDialogStarts.back(), Root() + "/" + S("結果.doc"));
    platform_.openAnswers.push_back(std::nullopt);
    f.N22->trigger();
    EXPECT_EQ(Pane().Runs(), runs);
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ResultFilesTest, PlainShiftJisTextLoadsAsPlainText) {
    WriteBytes("memo.txt", S("一行目\r\n二行目\n三行目\r四行目 表示") + "\r\n");
    Pane().SetInsertColor(255);
    Pane().AppendLine("old");
    Answer(platform_.openAnswers, Root() + "/memo.txt");
    Form().N22->trigger();
    EXPECT_EQ(Pane().Text(), S("一行目\r\n二行目\r\n三行目\r\n四行目 表示") + "\r\n");
    const Runs runs = Pane().Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].color, rtf::kAutoColor);
    EXPECT_FALSE(runs[0].bold);
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ResultFilesTest, BadFilesShowWhatTheyCanOrAreRefused) {
    std::string binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    WriteBytes("binary.bin", binary + binary);
    WriteBytes("truncated.doc", "{\\rtf1\\ansi\\ansicpg932{\\colortbl;\\red255\\green0\\blue0;}"
                                "\\cf1 " +
                                    S("赤い") + "\\par\\cf0 two\\'8");
    WriteBytes("empty.doc", "");
    std::filesystem::create_directories(root_ / "folder.doc");
    Pane().SetCap(5, 400);
    WriteBytes("long.txt", std::string(300, 'x') + "\r\n" + std::string(300, 'y'));
    WriteBytes("lines.txt", "1\n2\n3\n4\n5\n6");
    WriteBytes("huge.doc", "{\\rtf1 " + std::string(7000, 'x') + "}"); // past 4 x the cap

    struct Case {
        const char* file;
        std::vector<std::string> messages;
        std::string text; // "=": the pane is left as it was
    };
    const std::vector<Case> cases = {
        {"missing.doc", {NotFound()}, "="},
        {"folder.doc", {NotFound()}, "="},
        {"long.txt", {PaneFull()}, "="},
        {"lines.txt", {PaneFull()}, "="},
        {"huge.doc", {PaneFull()}, "="},
        {"truncated.doc", {}, S("赤い") + "\r\ntwo8"},
        {"empty.doc", {}, ""},
    };
    for (const Case& c : cases) {
        Pane().Clear();
        Pane().AppendLine("before");
        platform_.messages.clear();
        Answer(platform_.openAnswers, Root() + "/" + c.file);
        Form().N22->trigger();
        EXPECT_EQ(platform_.MessageTexts(), c.messages) << c.file;
        EXPECT_EQ(Pane().Text(), c.text == "=" ? "before" : c.text) << c.file;
    }

    Pane().SetCap(TResultPane::kMaxLines, TResultPane::kMaxBytes);
    platform_.messages.clear();
    Answer(platform_.openAnswers, Root() + "/binary.bin");
    Form().N22->trigger();
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_GT(Pane().TextLength(), 200);
    EXPECT_EQ(Pane().Text().find('\0'), std::string::npos);
}

TEST_F(ResultFilesTest, SavingWhereNothingCanBeWrittenIsSilentAndKeepsThePane) {
    Paint();
    const std::string text = Pane().Text();
    WriteBytes("afile", "not a folder");
    std::vector<std::string> targets = {Root() + "/no such folder/x.doc", Root() + "/afile/x.doc",
                                        Root() + "/afile/"};
    std::filesystem::create_directories(root_ / "locked");
    WriteBytes("locked/old.doc", "old");
    WriteBytes("readonly.doc", "old");
    const bool root = ::geteuid() == 0; // permissions do not stop the superuser
    if (!root) {
        std::filesystem::permissions(root_ / "readonly.doc", std::filesystem::perms::owner_read);
        std::filesystem::permissions(root_ / "locked", std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::owner_exec);
        targets.push_back(Root() + "/locked/new.doc");
        targets.push_back(Root() + "/locked/old.doc");
        targets.push_back(Root() + "/readonly.doc");
    }
    for (const std::string& t : targets) {
        Answer(platform_.saveAnswers, t);
        Form().N21->trigger();
    }
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Pane().Text(), text);
    EXPECT_EQ(ReadFile(root_ / "afile"), "not a folder");
    if (!root) {
        EXPECT_EQ(ReadFile(root_ / "locked/old.doc"), "old");
        EXPECT_EQ(ReadFile(root_ / "readonly.doc"), "old");
        EXPECT_FALSE(std::filesystem::exists(root_ / "locked/new.doc"));
        std::filesystem::permissions(root_ / "locked", std::filesystem::perms::owner_all);
    }

    // The quick save into a program folder that cannot be written: silent as well.
    if (!root) {
        std::filesystem::permissions(root_, std::filesystem::perms::owner_read |
                                                std::filesystem::perms::owner_exec);
        Form().N12->trigger();
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all);
        EXPECT_FALSE(std::filesystem::exists(root_ / "tentative.doc"));
        EXPECT_TRUE(platform_.messages.empty());
    }
    // Saving over an existing file replaces it whole, keeps its permissions and leaves nothing
    // beside it.
    WriteBytes("over.doc", std::string(100000, 'z'));
    const auto perms = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                       std::filesystem::perms::group_read;
    std::filesystem::permissions(root_ / "over.doc", perms);
    Answer(platform_.saveAnswers, Root() + "/over.doc");
    Form().N21->trigger();
    EXPECT_TRUE(rtf::IsRtf(ReadFile(root_ / "over.doc")));
    EXPECT_EQ(std::filesystem::status(root_ / "over.doc").permissions(), perms);
    for (const auto& e : std::filesystem::directory_iterator(root_))
        EXPECT_EQ(e.path().filename().string().find("saving"), std::string::npos);
}

TEST_F(ResultFilesTest, SlotsRegisterPreviewsAndLoadThemAgain) {
    Write("data/a.txt", "alpha");
    Write("data/b.txt", "beta");
    Write("data/c&d.txt", "gamma");
    TForm1& f = Form();
    const std::vector<QAction*> items = {f.N8, f.N9, f.N10, f.N13, f.N14, f.N15};
    auto captions = [&] {
        std::vector<std::string> out;
        for (QAction* a : items)
            out.push_back(app::FromQ(a->text()));
        return out;
    };
    EXPECT_EQ(captions(),
              (std::vector<std::string>{"fil1", "fil2", "fil3", "fil4", "fil5", "fil6"}));
    f.N8->trigger(); // nothing registered yet
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{NotFound()});
    platform_.messages.clear();

    ChooseFolder(QStringLiteral("data"));
    auto preview = [&](const char* name) {
        const auto found = f.ListBox1->findItems(QString::fromUtf8(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        f.ListBox1->setCurrentItem(found[0]);
        f.ListBox1Click();
    };
    const std::string dir = Root() + "/data/";
    preview("a.txt");
    EXPECT_EQ(Pane().Text(), "alpha");
    EXPECT_TRUE(f.SlotsChanged);
    preview("b.txt");
    preview("b.txt"); // the same file again: registered once
    preview("a.txt");
    preview("c&d.txt");
    EXPECT_EQ(f.FileSlots,
              (std::array<std::string, 6>{dir + "c&d.txt", dir + "a.txt", dir + "b.txt",
                                          dir + "a.txt", "fil1", "fil2"}));
    EXPECT_EQ(captions(),
              (std::vector<std::string>{"c&&d.txt", "a.txt", "b.txt", "a.txt", "fil1", "fil2"}));
    EXPECT_TRUE(platform_.messages.empty());

    f.N10->trigger(); // slot 3: b.txt
    EXPECT_EQ(Pane().Text(), "beta");
    std::filesystem::remove(root_ / "data/b.txt");
    f.N10->trigger();
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{NotFound()});
    EXPECT_EQ(Pane().Text(), "beta") << "the pane is left as it was";

    // An unregistered slot names a file in the program's folder.
    Write("fil1", "a file named fil1");
    f.N14->trigger();
    EXPECT_EQ(Pane().Text(), "a file named fil1");

    // Slots survive a restart through the settings file.
    CloseForm();
    TForm1& again = Form();
    EXPECT_EQ(again.FileSlots[0], dir + "c&d.txt");
    EXPECT_EQ(app::FromQ(again.N9->text()), "a.txt");
}

TEST_F(ResultFilesTest, PreviewShowsRichTextFilesWithTheirFormat) {
    Paint();
    const Runs runs = Pane().Runs();
    std::filesystem::create_directories(root_ / "data");
    Answer(platform_.saveAnswers, Root() + "/data/saved.txt");
    Form().N21->trigger();
    ChooseFolder(QStringLiteral("data"));
    Form().ListBox1->setCurrentRow(0);
    Form().ListBox1Click();
    EXPECT_EQ(Pane().Runs(), runs);
    EXPECT_EQ(Form().FileSlots[0], Root() + "/data/saved.txt");
}

// A preview too large for the pane says so once, with the pane's own message.
TEST_F(ResultFilesTest, PreviewOfAFileTooLargeGivesOnlyThePanesMessage) {
    WriteBytes("data/long.txt", std::string(300, 'x'));
    ChooseFolder(QStringLiteral("data"));
    Pane().SetCap(5, 100);
    Form().ListBox1->setCurrentRow(0);
    Form().ListBox1Click();
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{PaneFull()});
}

} // namespace

namespace {

TEST(PaneRunsTest, LinesAppendedAfterALoadStartNewLines) {
    TResultPane pane;
    pane.SetRuns({rtf::Run{"loaded\r\nfile", 255}});
    pane.AppendLine("next");
    EXPECT_EQ(pane.Text(), "loaded\r\nfile\r\nnext");

    // A load while a search is filling the pane goes into the document being built.
    pane.Clear();
    pane.BeginBulkAppend();
    pane.AppendLine("hit 1");
    pane.AppendLine("hit 2");
    pane.SetRuns({rtf::Run{"loaded", 255}});
    pane.AppendLine("hit 3");
    EXPECT_EQ(pane.LineCount(), 2);
    pane.EndBulkAppend();
    EXPECT_EQ(pane.Text(), "loaded\r\nhit 3");
    const Runs runs = pane.Runs();
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.front().text.substr(0, 6), "loaded");
    EXPECT_EQ(runs.front().color, 255u);
}

} // namespace
