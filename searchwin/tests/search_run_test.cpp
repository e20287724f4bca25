// The search run driven as a user would: pick the folder, type keywords, press 検索, read the pane.
#include "main_window.h"

#include "codec.h"
#include "fake_platform.h"
#include "qtext.h"
#include "result_pane.h"

#include <QInputMethodEvent>
#include <QTest>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

class SearchRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("quelvra-search-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "data");
    }
    void TearDown() override {
        form_.reset();
        fs::remove_all(root_);
    }
    // Writes a Shift-JIS file under the program folder from UTF-8 text.
    void Write(const std::string& rel, const std::string& utf8) {
        fs::create_directories((root_ / rel).parent_path());
        std::ofstream(root_ / rel, std::ios::binary) << cp932::FromUtf8(utf8);
    }
    TForm1& Form() {
        if (!form_) {
            form_ = std::make_unique<TForm1>(cp932::PathFromNative(root_.string()));
            form_->show();
        }
        return *form_;
    }
    void ChooseFolder(const QString& name) {
        TForm1& f = Form();
        const int i = f.ComboBox3->findText(name);
        ASSERT_GE(i, 0);
        f.ComboBox3->setCurrentIndex(i);
        emit f.ComboBox3->activated(i);
    }
    // Types ASCII key by key; other text arrives as an input method's committed string, which
    // is how Japanese reaches a field.
    void Type(QComboBox* field, const QString& text) {
        QLineEdit* edit = field->lineEdit();
        edit->clear();
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(edit, QString(c));
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QCoreApplication::sendEvent(edit, &commit);
            }
        }
    }
    void Search() { QTest::mouseClick(Form().SearchBtn, Qt::LeftButton); }
    std::vector<std::string> PaneLines() {
        std::vector<std::string> out;
        for (int i = 0; i < Form().RichEdit1->LineCount(); ++i)
            out.push_back(Form().RichEdit1->Line(i));
        return out;
    }

    app::FakePlatform platform_;
    fs::path root_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(SearchRunTest, HitsUnderRedBoldHeadersWithTheSummaryOnTop) {
    Write("data/a.txt", "東京の天気\r\n大阪の天気\r\n東京タワー\r\n");
    Write("data/b.txt", "関係ない行\n東京駅\n");
    Write("data/c.txt", "ここには何もない\n");
    Form();
    ChooseFolder(QStringLiteral("data"));
    ASSERT_EQ(Form().ListBox1->count(), 3);
    Type(Form().ComboBox1, app::U("東京"));
    Search();

    const std::vector<std::string> expected = {
        S("　　検索キーワード　　　東京　　　　　　　3個マッチしました"),
        "",
        "a.txt",
        "    " + S("東京の天気"),
        "    " + S("東京タワー"),
        "",
        "b.txt",
        "    " + S("東京駅")};
    EXPECT_EQ(PaneLines(), expected);
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Form().HitCount, 3);
    EXPECT_EQ(Form().Label3->text(), app::U("3個"));
    EXPECT_TRUE(Form().Label2->text().endsWith(app::U("秒")));

    TResultPane& pane = *Form().RichEdit1;
    pane.Select(pane.PositionOfLine(2), 5); // the header
    EXPECT_EQ(pane.SelColor(), 255u);
    EXPECT_TRUE(pane.SelBold());
    pane.Select(pane.PositionOfLine(3) + 4, 4); // a hit
    EXPECT_EQ(pane.SelColor(), 0u);
    EXPECT_FALSE(pane.SelBold());
    EXPECT_EQ(platform_.waitCursorDepth, 0);
    EXPECT_TRUE(Form().SearchBtn->isVisible());
    EXPECT_FALSE(Form().BitBtn5->isVisible());
}

// A FIFO named like a note is not listed, so the search never waits on it and reaches the
// last file. (Should it be opened all the same, a writer comes by after a while, so that the
// test fails instead of hanging.)
TEST_F(SearchRunTest, AFifoInTheFolderIsNotSearchedAndTheRunReachesTheEnd) {
    Write("data/a.txt", "first hit\n");
    Write("data/z.txt", "last hit\n");
    const fs::path fifo = root_ / "data" / "m.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 200 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (done) return;
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    });
    Form();
    ChooseFolder(QStringLiteral("data"));
    EXPECT_EQ(Form().ListBox1->count(), 2);
    Type(Form().ComboBox1, QStringLiteral("hit"));
    Search();
    done = true;
    writer.join();
    const std::vector<std::string> expected = {
        S("　　検索キーワード　　　hit　　　　　　　2個マッチしました"),
        "",
        "a.txt",
        "    first hit",
        "",
        "z.txt",
        "    last hit"};
    EXPECT_EQ(PaneLines(), expected);
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(SearchRunTest, StarPrefixAndSubfolderHeaders) {
    Write("data/top.txt", "abc\n");
    Write("data/sub/x.txt", "xx abc\n");
    Form().CheckBox2->setChecked(true);
    Form().CheckBox3->setChecked(true);
    ChooseFolder(QStringLiteral("data"));
    Type(Form().ComboBox1, QStringLiteral("abc"));
    Search();
    const auto lines = PaneLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "sub/x.txt");
    EXPECT_EQ(lines[3], "    " + S("★") + "xx abc");
    EXPECT_EQ(lines[5], "top.txt");
}

TEST_F(SearchRunTest, EmptyFieldsGiveOnlyTheSummaryAndLeaveHistoriesAlone) {
    Write("data/a.txt", "abc\n");
    ChooseFolder(QStringLiteral("data"));
    Type(Form().ComboBox1, app::U("　　"));
    Search();
    EXPECT_EQ(PaneLines(), (std::vector<std::string>{
                               S("　　検索キーワード　　　　　　　　　　0個マッチしました"), ""}));
    EXPECT_EQ(Form().ComboBox1->count(), 0);
    EXPECT_EQ(Form().Label3->text(), app::U("0個"));
}

TEST_F(SearchRunTest, HistoriesKeepTenMostRecentWithoutDuplicates) {
    Write("data/a.txt", "abc\n");
    ChooseFolder(QStringLiteral("data"));
    QComboBox* f = Form().ComboBox1;
    for (int i = 0; i < 11; ++i) {
        Type(f, QStringLiteral("w%1").arg(i));
        Search();
    }
    ASSERT_EQ(f->count(), 10);
    EXPECT_EQ(f->itemText(0), QStringLiteral("w10"));
    EXPECT_EQ(f->itemText(9), QStringLiteral("w1"));

    Type(f, QStringLiteral("W5"));
    Search();
    EXPECT_EQ(f->count(), 10);
    EXPECT_EQ(f->itemText(0), QStringLiteral("W5"));
    EXPECT_EQ(f->findText(QStringLiteral("w5"), Qt::MatchExactly | Qt::MatchCaseSensitive), -1);

    Type(f, QStringLiteral(" spaced "));
    Search();
    EXPECT_EQ(f->itemText(0), QStringLiteral(" spaced ")); // the history keeps the text as typed
}

TEST_F(SearchRunTest, CancelKeepsTheHitsSoFar) {
    for (int i = 0; i < 10; ++i)
        Write("data/f" + std::to_string(i) + ".txt", "hit\nhit\n");
    ChooseFolder(QStringLiteral("data"));
    Type(Form().ComboBox1, QStringLiteral("hit"));
    // The event pump runs inside the grep: press the cancel button while the third file is read.
    platform_.onPump = [this] {
        if (Form().Searching() && Form().CurrentFile.find("f2.txt") != std::string::npos &&
            Form().BitBtn5->isVisible())
            QTest::mouseClick(Form().BitBtn5, Qt::LeftButton);
    };
    Search();
    platform_.onPump = nullptr;
    ASSERT_EQ(platform_.MessageTexts(), std::vector<std::string>{S("検索中断しました")});
    EXPECT_EQ(Form().HitCount, 4);
    EXPECT_EQ(PaneLines()[0], S("　　検索キーワード　　　hit　　　　　　　4個マッチしました"));
    EXPECT_FALSE(Form().Searching());
    EXPECT_TRUE(Form().ComboBox1->isEnabled());
}

TEST_F(SearchRunTest, FullPaneStopsTheRunWithItsMessage) {
    Write("data/a.txt", "x1\nx2\nx3\nx4\nx5\n");
    ChooseFolder(QStringLiteral("data"));
    Form().RichEdit1->SetCap(4, 1 << 20);
    Type(Form().ComboBox1, QStringLiteral("x"));
    Search();
    EXPECT_EQ(platform_.MessageTexts(),
              (std::vector<std::string>{S("表示行数が制限を超えました"), S("検索中断しました")}));
    EXPECT_EQ(Form().HitCount, 2);
}

TEST_F(SearchRunTest, VanishedFileShowsItsMessageAndKeepsEarlierHits) {
    Write("data/a.txt", "abc\n");
    Write("data/b.txt", "abc\n");
    Write("data/c.txt", "abc\n");
    ChooseFolder(QStringLiteral("data"));
    fs::remove(root_ / "data" / "b.txt");
    Type(Form().ComboBox1, QStringLiteral("abc"));
    Search();
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_FALSE(platform_.messages[0].text.empty());
    EXPECT_EQ(Form().HitCount, 1);
    EXPECT_FALSE(Form().Searching());
}

TEST_F(SearchRunTest, MalformedPatternShowsItsMessageAndTouchesNothing) {
    Write("data/a.txt", "abc\n");
    ChooseFolder(QStringLiteral("data"));
    Type(Form().ComboBox1, QStringLiteral("(abc"));
    Search();
    EXPECT_EQ(platform_.MessageTexts(),
              std::vector<std::string>{S("検索語に正規表現に違反する入力があります")});
    EXPECT_EQ(Form().ComboBox1->count(), 0);
    EXPECT_TRUE(Form().SearchBtn->isEnabled());
}

// A pattern the engine builds only without the dictionary: with "同" it is rejected like a
// malformed one, and the window goes on working.
TEST_F(SearchRunTest, PatternTooLargeWithTheDictionaryShowsTheMessage) {
    Write("data/a.txt", "xが\nabc\n");
    ChooseFolder(QStringLiteral("data"));
    QString pattern = app::U("(x|が)*が");
    for (int i = 0; i < 13; ++i)
        pattern += app::U("(x|が)");
    Form().CheckBox1->setChecked(false);
    Type(Form().ComboBox1, pattern);
    Search();
    EXPECT_TRUE(platform_.messages.empty());
    Form().CheckBox1->setChecked(true);
    Search();
    EXPECT_EQ(platform_.MessageTexts(),
              std::vector<std::string>{S("検索語に正規表現に違反する入力があります")});
    EXPECT_FALSE(Form().Searching());
    EXPECT_TRUE(Form().SearchBtn->isEnabled());
    EXPECT_TRUE(Form().ComboBox1->isEnabled());
    platform_.messages.clear();
    Type(Form().ComboBox1, QStringLiteral("abc"));
    Search();
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Form().HitCount, 1);
}

// "同" widens a keyword through the equivalence dictionary; keywords match in any order.
TEST_F(SearchRunTest, DictionaryAndKeywordOrder) {
    Write("data/a.txt", "ａｂｃ と 東京\nabc と 東京\nＡＢＣ\n東京 の abc\nｱｲｳ\nアイウ\n");
    ChooseFolder(QStringLiteral("data"));
    struct Case {
        bool dictionary;
        QString first, second;
        std::vector<std::string> hits;
    };
    const Case cases[] = {
        {true,
         QStringLiteral("abc"),
         app::U("東京"),
         {S("ａｂｃ と 東京"), S("abc と 東京"), S("東京 の abc")}},
        {false, QStringLiteral("abc"), app::U("東京"), {S("abc と 東京"), S("東京 の abc")}},
        {true,
         app::U("ａｂｃ"),
         {},
         {S("ａｂｃ と 東京"), S("abc と 東京"), S("ＡＢＣ"), S("東京 の abc")}},
        {false, app::U("ａｂｃ"), {}, {S("ａｂｃ と 東京")}},
        {true, app::U("アイウ"), {}, {S("ｱｲｳ"), S("アイウ")}},
        {false, app::U("アイウ"), {}, {S("アイウ")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(app::FromQ(c.first) + " " + app::FromQ(c.second) +
                     (c.dictionary ? " dictionary" : ""));
        Form().CheckBox1->setChecked(c.dictionary);
        Type(Form().ComboBox1, c.first);
        Type(Form().ComboBox2, c.second);
        Search();
        std::vector<std::string> hits;
        for (const std::string& line : PaneLines())
            if (line.rfind("    ", 0) == 0) hits.push_back(line.substr(4));
        EXPECT_EQ(hits, c.hits);
        EXPECT_TRUE(platform_.messages.empty());
    }
}

// A folder mixing Shift-JIS, UTF-8 (with and without a mark) and UTF-16 notes: every note's hit
// lines under its header, shown as they read, with the dictionary on; a character that Shift-JIS
// cannot spell shows as U+FFFD.
TEST_F(SearchRunTest, NotesInUtf8AndUtf16AreSearchedAndShown) {
    Write("data/a.txt", "とうきょう タワー\n");
    const auto put = [&](const char* name, const std::string& bytes) {
        std::ofstream(root_ / "data" / name, std::ios::binary) << bytes;
    };
    put("b.txt", "東京 ソ表\nﾄｳｷｮｳ 😀\n");
    put("c.txt", "\xEF\xBB\xBF"
                 "能 トウキョウ\r\n");
    std::string utf16 = "\xFE\xFF";
    for (const char16_t u : std::u16string(u"とうきょう ポ\n"))
        utf16 += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
    put("d.txt", utf16);
    ChooseFolder(QStringLiteral("data"));
    Type(Form().ComboBox1, app::U("トウキョウ"));
    Search();
    const std::vector<std::string> expected = {
        S("　　検索キーワード　　　トウキョウ　　　　　　　4個マッチしました"),
        "",
        "a.txt",
        "    " + S("とうきょう タワー"),
        "",
        "b.txt",
        "    " + S("ﾄｳｷｮｳ ") + "\x85\x40",
        "",
        "c.txt",
        "    " + S("能 トウキョウ"),
        "",
        "d.txt",
        "    " + S("とうきょう ポ")};
    EXPECT_EQ(PaneLines(), expected);
    EXPECT_TRUE(platform_.messages.empty());
    // As the pane shows it (and a screen reader reads it).
    const TResultPane& pane = *Form().RichEdit1;
    const QString shown = pane.CharactersText(0, pane.CharacterCount());
    EXPECT_TRUE(shown.contains(app::U("ﾄｳｷｮｳ \uFFFD\n"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(app::U("    能 トウキョウ\n"))) << shown.toStdString();
}

} // namespace

namespace {

// The bundled sample notes, as a new user first searches them.
TEST(SampleData, TokyoIsFoundInTheSampleNotes) {
    app::FakePlatform platform;
    TForm1 form(QUELVRA_PROGRAM_DIR);
    form.show();
    const int i = form.ComboBox3->findText(app::U("サンプル"));
    ASSERT_GE(i, 0) << "the sample folder is not in the folder list";
    EXPECT_GE(form.ComboBox3->findText(app::U("ウェブ◇")), 0);
    form.ComboBox3->setCurrentIndex(i);
    emit form.ComboBox3->activated(i);
    EXPECT_EQ(form.ListBox1->count(), 4);
    form.ComboBox1->setEditText(app::U("東京"));
    QTest::mouseClick(form.SearchBtn, Qt::LeftButton);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_GE(form.HitCount, 3);
    EXPECT_NE(form.RichEdit1->Text().find(cp932::FromUtf8("旅行.txt")), std::string::npos);
}

} // namespace

namespace {

// Files further down the list are searched on another core: the pane, the hit count and the
// messages are those of a run that searches one file after the other, also when a file
// vanished after the list was made or the run is cancelled part-way.
TEST_F(SearchRunTest, SearchingAheadGivesWhatFileAfterFileGives) {
    for (int i = 0; i < 40; ++i) {
        std::string text;
        for (int h = 0; h < i % 5; ++h)
            text += "ソ表能ポ" + std::to_string(h) + " 東京\r\n" + "なし\r\n";
        Write("data/f" + std::to_string(100 + i) + ".txt", text);
    }
    ChooseFolder(QStringLiteral("data"));
    fs::remove(root_ / "data/f130.txt"); // listed, gone when the run comes to it
    Type(Form().ComboBox1, QStringLiteral("東京"));
    struct Outcome {
        std::vector<std::string> lines, messages;
        int hits;
    };
    auto run = [&](bool ahead, int cancelAt) {
        Form().SearchAhead = ahead;
        platform_.messages.clear();
        // A slow window (each pump takes a moment) lets the other thread get ahead.
        platform_.onPump = [&, cancelAt] {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            if (cancelAt >= 0 && Form().Searching() &&
                Form().CurrentFile.find("f" + std::to_string(100 + cancelAt)) !=
                    std::string::npos &&
                Form().BitBtn5->isVisible())
                QTest::mouseClick(Form().BitBtn5, Qt::LeftButton);
        };
        Search();
        platform_.onPump = nullptr;
        return Outcome{PaneLines(), platform_.MessageTexts(), Form().HitCount};
    };
    for (int cancelAt : {-1, 22}) {
        const Outcome one = run(false, cancelAt);
        EXPECT_EQ(Form().LastRunSearchedAhead, 0u);
        const Outcome two = run(true, cancelAt);
        EXPECT_GT(Form().LastRunSearchedAhead, 0u) << cancelAt;
        EXPECT_EQ(two.lines, one.lines) << cancelAt;
        EXPECT_EQ(two.messages, one.messages) << cancelAt;
        EXPECT_EQ(two.hits, one.hits) << cancelAt;
        ASSERT_EQ(one.messages.size(), 1u);
        if (cancelAt < 0)
            EXPECT_EQ(one.messages[0], S("ファイルが見つかりません"));
        else
            EXPECT_EQ(one.messages[0], S("検索中断しました"));
        EXPECT_GT(one.hits, 20);
    }
}

} // namespace
