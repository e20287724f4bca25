// The keyword colour list's file and markers.
#include "keyword_window.h"

#include "codec.h"
#include "disk_changes.h"
#include "fake_platform.h"
#include "note_text.h"
#include "qtext.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

class KeywordWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra-keyword-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    std::string Dir() const { return cp932::PathFromNative(dir_.string()); }
    fs::path Ini() const { return dir_ / "color.ini"; }
    std::set<std::string> Names() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_))
            out.insert(e.path().filename().string());
        return out;
    }
    std::string ReadIni() const {
        std::ifstream in(Ini(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    app::FakePlatform platform_;
    fs::path dir_;
};

TEST_F(KeywordWindowTest, MissingListIsCreatedEmptyWithItsMessage) {
    TForm2 form(Dir());
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{S("color.iniを作成しました")});
    EXPECT_TRUE(fs::exists(Ini()));
    EXPECT_EQ(ReadIni(), "");
    EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("keyword"));
    EXPECT_EQ(form.size(), QSize(215, 490));
}

TEST_F(KeywordWindowTest, EmptyListIsReadWithoutAWord) {
    std::ofstream(Ini(), std::ios::binary) << "";
    TForm2 form(Dir());
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_TRUE(form.Lines().empty());
}

TEST_F(KeywordWindowTest, ListIsReadAndWrittenBackOnlyWhenEdited) {
    std::ofstream(Ini(), std::ios::binary) << S("東京\r\n//赤\nabc\r\n");
    {
        TForm2 form(Dir());
        EXPECT_TRUE(platform_.messages.empty());
        EXPECT_EQ(form.Lines(), (std::vector<std::string>{S("東京"), S("//赤"), "abc"}));
        form.show();
        form.BitBtn2->click(); // not edited: the file stays as it was
        EXPECT_FALSE(form.isVisible());
    }
    EXPECT_EQ(ReadIni(), S("東京\r\n//赤\nabc\r\n"));

    TForm2 form(Dir());
    form.show();
    form.Memo1->setFocus();
    form.Memo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(form.Memo1, QStringLiteral("xyz"));
    form.close();
    EXPECT_EQ(ReadIni(), S("東京\r\n//赤\r\nabcxyz\r\n"));  // every line ends in CR LF
    EXPECT_EQ(Names(), std::set<std::string>{"color.ini"}); // no temporary file left
    EXPECT_TRUE(platform_.questions.empty());
}

// Another program changed the list after the window read it: closing asks before the edited
// list is written over it, naming the file; cancel (the default) writes nothing and keeps the
// list in the window.
TEST_F(KeywordWindowTest, AListChangedOnDiskIsOverwrittenOnlyWhenTheUserSaysSo) {
    const std::string list = S("東京\r\n//赤\r\n");
    const disk_changes::Change cases[] = {
        {"other words", [&] { std::ofstream(Ini(), std::ios::binary) << S("大阪\r\n"); }, false},
        {"same size, modification time set back", [&] { disk_changes::SameSizeAndTime(Ini()); },
         false},
        {"removed", [&] { fs::remove(Ini()); }, true},
    };
    for (const disk_changes::Change& c : cases) {
        SCOPED_TRACE(c.name);
        platform_.questions.clear();
        std::ofstream(Ini(), std::ios::binary) << list;
        TForm2 form(Dir());
        form.show();
        form.Memo1->setFocus();
        form.Memo1->moveCursor(QTextCursor::End);
        QTest::keyClick(form.Memo1, Qt::Key_Return);
        QTest::keyClicks(form.Memo1, QStringLiteral("abc"));
        c.make();
        const std::string theirs = fs::exists(Ini()) ? ReadIni() : "<none>";

        QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
        EXPECT_FALSE(form.isVisible());
        ASSERT_EQ(platform_.questions.size(), 1u);
        disk_changes::ExpectAskedAbout(platform_.questions[0], Dir() + "/color.ini", c.removed);
        EXPECT_EQ(fs::exists(Ini()) ? ReadIni() : "<none>", theirs);
        EXPECT_EQ(form.Lines(), (std::vector<std::string>{S("東京"), S("//赤"), "abc"}));

        // Shown again and closed: asked again; yes writes the window's list.
        form.show();
        platform_.answers = {true};
        QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
        EXPECT_EQ(platform_.questions.size(), 2u);
        EXPECT_EQ(ReadIni(), S("東京\r\n//赤\r\nabc\r\n"));
        // What was written is what was read: the next close asks nothing.
        form.show();
        form.Memo1->setFocus();
        form.Memo1->moveCursor(QTextCursor::End);
        QTest::keyClicks(form.Memo1, QStringLiteral("d"));
        QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
        EXPECT_EQ(platform_.questions.size(), 2u);
        EXPECT_EQ(ReadIni(), S("東京\r\n//赤\r\nabcd\r\n"));
        EXPECT_EQ(Names(), std::set<std::string>{"color.ini"});
    }
}

TEST_F(KeywordWindowTest, ReadOnlyFolderStillCloses) {
    std::ofstream(Ini(), std::ios::binary) << "a\r\n";
    TForm2 form(Dir());
    form.show();
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    form.Memo1->setFocus();
    QTest::keyClicks(form.Memo1, QStringLiteral("b"));
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(platform_.messages.empty());
    if (::geteuid() != 0) {
        EXPECT_EQ(ReadIni(), "a\r\n");
    }
}

TEST_F(KeywordWindowTest, UnreadableListIsNeverReplaced) {
    fs::create_directories(Ini()); // a folder where the list should be: cannot be read
    TForm2 form(Dir());
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{S("color.iniを読み込めません")});
    EXPECT_TRUE(fs::is_directory(Ini()));
    // What it holds is unknown: an edited list is not written over it unasked.
    form.show();
    form.Memo1->setFocus();
    QTest::keyClicks(form.Memo1, QStringLiteral("a"));
    QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
    EXPECT_EQ(platform_.questions.size(), 1u);
    EXPECT_TRUE(fs::is_directory(Ini()));
}

TEST(KeywordMarkers, OnlyWholeLinesAreMarkers) {
    const struct {
        const char* line;
        bool marker;
        std::uint32_t color;
    } cases[] = {
        {"//青", true, 0xFF0000}, {"//赤", true, 0x0000FF}, {"//緑", true, 0x008000},
        {"//黒", true, 0x000000}, {"//黄", true, 0x00FFFF}, {"//赤 ", false, 0},
        {" //赤", false, 0},      {"//赤い", false, 0},     {"//", false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t color = 0x123456;
        EXPECT_EQ(TForm2::MarkerColor(S(c.line), color), c.marker) << c.line;
        EXPECT_EQ(color, c.marker ? c.color : 0x123456u) << c.line;
    }
}

} // namespace
