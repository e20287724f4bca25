// The viewer, the keyword window and the search dialog as a screen reader names their controls.
#include "accessible_names.h"
#include "form_search.h"
#include "keyword_window.h"
#include "tagjanp.h"

#include "codec.h"
#include "editor.h"
#include "fake_platform.h"
#include "qtext.h"

#include <QLineEdit>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class AccessibleNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / "quelvra-accessible-names";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::ofstream(dir_ / "color.ini", std::ios::binary) << "soft\r\n";
        std::ofstream(dir_ / "a.txt", std::ios::binary) << cp932::FromUtf8("一行目\r\n二行目\r\n");
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Dir() const { return cp932::PathFromNative(dir_.string()); }

    app::FakePlatform platform_;
    fs::path dir_;
};

TEST_F(AccessibleNamesTest, EveryControlOfTheViewerHasItsName) {
    TForm4 form({Dir() + "/a.txt", "a.txt", cp932::FromUtf8("二行目")}, Dir());
    form.LoadNote();
    form.show();
    EXPECT_EQ(testing_a11y::NamingFaults(&form).join(QLatin1Char('\n')).toStdString(), "");
    // The fields without a caption, by what they hold.
    EXPECT_EQ(testing_a11y::AccessibleName(form.Edit2).toStdString(), "検索文字列");
    EXPECT_EQ(testing_a11y::AccessibleName(form.Editor1).toStdString(), "本文");
    EXPECT_EQ(testing_a11y::AccessibleName(form.Editor2).toStdString(), "括弧を除いた抜粋");
    EXPECT_EQ(testing_a11y::AccessibleName(form.BitBtn3).toStdString(), "↓");
}

TEST_F(AccessibleNamesTest, EveryControlOfTheKeywordWindowHasItsName) {
    TForm2 form(Dir());
    form.show();
    EXPECT_EQ(testing_a11y::NamingFaults(&form).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_EQ(testing_a11y::AccessibleName(form.BitBtn2).toStdString(), "閉じる");
    EXPECT_EQ(testing_a11y::AccessibleName(form.BitBtn1).toStdString(), "//青　赤　緑　黒　黄");
}

TEST_F(AccessibleNamesTest, EveryControlOfTheSearchDialogHasItsName) {
    TFormSearch form;
    form.show();
    EXPECT_EQ(testing_a11y::NamingFaults(&form).join(QLatin1Char('\n')).toStdString(), "");
    // The text field is named by its label, without the mnemonic's "&".
    EXPECT_EQ(testing_a11y::AccessibleName(form.ComboBox1).toStdString(), "検索する文字列(T):");
}

} // namespace
