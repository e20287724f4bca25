// The main window's settings: defaults on a fresh start, the round trip through the settings
// file, change flags, damaged files and files that cannot be written.
#include "window_fixture.h"

#include "files.h"
#include "result_pane.h"

#include <QDir>

namespace {

class WindowSettingsTest : public WindowFixture {
  protected:
    void TearDown() override {
        files::testing_hooks::StopWritesAfter(-1);
        WindowFixture::TearDown();
    }
    std::filesystem::path IniPath() const { return root_ / "Searchwin_tests.ini"; }
    std::string IniText() const { return ReadFile(IniPath()); }
    void WriteIni(const std::string& utf8) {
        std::ofstream(IniPath(), std::ios::binary) << cp932::FromUtf8(utf8);
    }
    static std::vector<std::string> ComboItems(const QComboBox* c) {
        std::vector<std::string> out;
        for (int i = 0; i < c->count(); ++i)
            out.push_back(app::FromQ(c->itemText(i)));
        return out;
    }
    void ExpectDefaults() {
        TForm1& f = Form();
        EXPECT_TRUE(f.RadioButton1->isChecked());
        EXPECT_TRUE(f.RadioButton4->isChecked());
        EXPECT_EQ(f.DataExt, "txt");
        EXPECT_EQ(Caption(), S("検索データ　*.txt"));
        EXPECT_TRUE(f.CheckBox1->isChecked());
        EXPECT_FALSE(f.CheckBox2->isChecked());
        EXPECT_FALSE(f.CheckBox3->isChecked());
        EXPECT_TRUE(f.RadioButton7->isChecked());
        EXPECT_EQ(f.Edit2->text(), QStringLiteral("txt"));
        EXPECT_EQ(f.StrippedTextColor, 0xff0000u);
        EXPECT_EQ(f.OutsideBracketColor, 255u);
        EXPECT_EQ(f.InsideBracketColor, 0xff0000u);
        EXPECT_EQ(f.DoubleBracketColor, 0xff00ffu);
        EXPECT_EQ(f.FileSlots,
                  (std::array<std::string, 6>{"fil1", "fil2", "fil3", "fil4", "fil5", "fil6"}));
        EXPECT_EQ(f.DialogFolder, cp932::PathFromNative(QDir::homePath().toStdString()));
        EXPECT_EQ(f.ComboBox1->count(), 0);
        EXPECT_FALSE(f.OptionsChanged);
        EXPECT_FALSE(f.HistoryChanged);
    }
};

TEST_F(WindowSettingsTest, FileIsNamedAfterTheExecutableInTheProgramFolder) {
    Form();
    EXPECT_EQ(Form().IniGT1.Path(), Root() + "/Searchwin_tests.ini");
    EXPECT_EQ(Form().IniGT1.Fence(), fnParenthesis);
    EXPECT_EQ(TIniGT::DefaultFileName("/opt/quelvra/quelvra"), "Quelvra.ini");
}

TEST_F(WindowSettingsTest, FreshStartHasTheDefaults) {
    ExpectDefaults();
    EXPECT_FALSE(std::filesystem::exists(IniPath())) << "showing writes nothing";
}

TEST_F(WindowSettingsTest, ChangedOptionsComeBackInANewWindow) {
    Write("data/a.md");
    {
        TForm1& f = Form();
        QTest::mouseClick(f.CheckBox2, Qt::LeftButton);
        QTest::mouseClick(f.CheckBox3, Qt::LeftButton);
        QTest::mouseClick(f.CheckBox1, Qt::LeftButton);
        f.Edit2->setText(QStringLiteral("md"));
        QTest::mouseClick(f.RadioButton6, Qt::LeftButton, {}, QPoint(4, 8));
        QTest::mouseClick(f.RadioButton9, Qt::LeftButton, {}, QPoint(4, 8));
        const std::string picked = Root() + "/data";
        platform_.folderAnswers.push_back(picked);
        QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
        f.ComboBox1->addItem(QStringLiteral(" spaced "));
        f.ComboBox1->addItem(app::U("東京"));
        f.ComboBox4->addItem(QStringLiteral("c"));
        f.HistoryChanged = true;
        f.StrippedTextColor = 0x00ff00;
        f.DoubleBracketColor = 0x123456;
        f.RichEdit1->SetFontPointSize(13);
        f.FontColorsChanged = true;
        f.FileSlots[0] = Root() + "/data/a.md";
        f.SlotsChanged = true;
        f.setGeometry(40, 50, 700, 500);
        CloseForm();
    }
    EXPECT_NE(IniText().find(S("dirx=｢") + Root() + "/data" + S("｣") + "\r\n"), std::string::npos);
    EXPECT_NE(IniText().find("cl1=0x0000FF00\r\n"), std::string::npos);

    TForm1& f = Form();
    EXPECT_TRUE(f.CheckBox2->isChecked());
    EXPECT_TRUE(f.CheckBox3->isChecked());
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_TRUE(f.RadioButton3->isChecked());
    EXPECT_TRUE(f.RadioButton6->isChecked());
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("md"));
    EXPECT_EQ(f.DataExt, "md");
    EXPECT_EQ(Caption(), S("検索データ　*.md"));
    EXPECT_EQ(DataGroupColor(), Bgr(0xff00ff));
    EXPECT_TRUE(f.RadioButton9->isChecked());
    EXPECT_EQ(f.DialogFolder, Root() + "/data");
    EXPECT_EQ(ComboItems(f.ComboBox1), (std::vector<std::string>{" spaced ", S("東京")}));
    EXPECT_EQ(ComboItems(f.ComboBox4), std::vector<std::string>{"c"});
    EXPECT_TRUE(f.ComboBox1->currentText().isEmpty()) << "the field keeps its own text";
    EXPECT_EQ(f.StrippedTextColor, 0x00ff00u);
    EXPECT_EQ(f.DoubleBracketColor, 0x123456u);
    EXPECT_EQ(f.RichEdit1->FontPointSize(), 13);
    EXPECT_EQ(f.FileSlots[0], Root() + "/data/a.md");
    EXPECT_EQ(f.FileSlots[1], "fil2");
    EXPECT_EQ(f.geometry(), QRect(40, 50, 700, 500));
    EXPECT_FALSE(f.OptionsChanged);
    EXPECT_FALSE(f.HistoryChanged);
}

TEST_F(WindowSettingsTest, ASessionOfFoldersAndSearchesIsThereAtTheNextStart) {
    Write("notes/a.txt", "東京の地図\n大阪\n");
    Write("notes/b.txt", "京都\n");
    Write("資料◆/c.htm", "<p>東京駅</p>\n");
    const std::string picked = Root() + "/notes";
    std::vector<std::string> history;
    {
        TForm1& f = Form();
        // A folder picked with the dialog, its files listed and searched.
        platform_.folderAnswers.push_back(picked);
        QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
        EXPECT_EQ(Items(), (std::vector<std::string>{"a.txt", "b.txt"}));
        f.ComboBox1->setEditText(app::U("東京"));
        QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
        EXPECT_EQ(f.HitCount, 1);
        // Then one from the list whose mark chooses htm.
        QTest::mouseClick(f.CheckBox5, Qt::LeftButton);
        ChooseFolder(app::U("資料◆"));
        EXPECT_EQ(Items(), std::vector<std::string>{"c.htm"});
        f.ComboBox1->setEditText(app::U("駅"));
        QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
        EXPECT_EQ(f.HitCount, 1);
        history = ComboItems(f.ComboBox1);
        CloseForm();
    }
    ASSERT_EQ(history.size(), 2u);

    // The file is text: section headers and key=value lines, each ending in CR LF.
    const std::string text = IniText();
    size_t lines = 0;
    for (size_t at = 0; at < text.size(); ++lines) {
        const size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "a line without CR LF at " << at;
        const std::string line = text.substr(at, end - at);
        EXPECT_TRUE(line.empty() || line.front() == '[' || line.find('=') != std::string::npos)
            << line;
        at = end + 2;
    }
    EXPECT_GT(lines, 30u);
    for (const std::string& line :
         {std::string("[form]"), std::string("form1.YSize="), std::string("[font]"),
          std::string("[combobox]"), std::string("combobox1.Count=2"),
          "combobox1.0=" + S("｢") + history[0] + S("｣"), std::string("[check]"),
          std::string("checkbox5=1"), std::string("[radio]"), std::string("radiobutton11=1"),
          std::string("radiobutton7=1"), "edit2=" + S("｢txt｣"), "dirx=" + S("｢") + picked + S("｣")})
        EXPECT_NE(text.find(line), std::string::npos) << cp932::ToUtf8(line);

    TForm1& f = Form();
    EXPECT_EQ(ComboItems(f.ComboBox1), history);
    EXPECT_TRUE(f.CheckBox5->isChecked());
    EXPECT_TRUE(f.RadioButton11->isChecked());
    EXPECT_TRUE(f.RadioButton12->isChecked());
    EXPECT_EQ(f.DataExt, "htm");
    EXPECT_EQ(Caption(), S("検索データ　*.htm"));
    EXPECT_EQ(DataGroupColor(), Bgr(0x808000));
    EXPECT_EQ(f.ListBox1->count(), 0) << "the list waits for a folder choice";
    platform_.folderAnswers.push_back(std::nullopt);
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(platform_.folderStarts.back(), picked) << "the dialog starts where it ended";
}

TEST_F(WindowSettingsTest, OnlyChangedGroupsAreWritten) {
    TForm1& f = Form();
    // No handler of these sets the options flag.
    QTest::mouseClick(f.CheckBox5, Qt::LeftButton);
    f.CheckBox4->setChecked(true);
    f.Edit2->setText(QStringLiteral("md"));
    CloseForm();
    const std::string text = IniText();
    EXPECT_NE(text.find("[form]\r\n"), std::string::npos);
    EXPECT_NE(text.find("form1.XSize="), std::string::npos);
    EXPECT_NE(text.find("[font]\r\nfont1="), std::string::npos);
    for (const char* absent :
         {"[check]", "[radio]", "[edit]", "[dir]", "[color]", "[fil]", "[combobox]"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    TForm1& again = Form();
    EXPECT_FALSE(again.CheckBox5->isChecked());
    EXPECT_EQ(again.Edit2->text(), QStringLiteral("txt"));
}

TEST_F(WindowSettingsTest, LongHistoriesAreRestoredWhole) {
    std::string ini = "[combobox]\r\ncombobox1.Count=12\r\n";
    for (int i = 0; i < 12; ++i)
        ini += "combobox1." + std::to_string(i) + "=｢k" + std::to_string(i) + "｣\r\n";
    WriteIni(ini);
    EXPECT_EQ(Form().ComboBox1->count(), 12);
    EXPECT_EQ(Form().ComboBox1->itemText(11), QStringLiteral("k11"));
}

TEST_F(WindowSettingsTest, DamagedFileFallsBackToDefaults) {
    WriteIni("garbage without a section\r\n[color]\r\ncl1=blue\r\ncl2=0x\r\ncl3=\r\n"
             "[font]\r\nfont1=-5\r\n[combobox]\r\ncombobox1.Count=zz\r\n"
             "[form]\r\nform1.X=abc\r\nform1.XSize=-100000000\r\n"
             "[check]\r\ncheckbox1=yes\r\n[radio\r\nradiobutton7=0\r\n"
             "[edit]\r\nedit2=｢｣\r\n"); // an empty extension is none
    std::ofstream(IniPath(), std::ios::binary | std::ios::app) << "\xff\x01\r\n";
    const int size = TForm1(Root()).RichEdit1->FontPointSize(); // never shown: design size
    ExpectDefaults();
    EXPECT_EQ(Form().RichEdit1->FontPointSize(), size);
    EXPECT_TRUE(Form().isVisible());
}

TEST_F(WindowSettingsTest, UnwritableFileStillClosesAndKeepsWhatWasThere) {
    const std::string before = "[check]\r\ncheckbox3=1\r\n";
    WriteIni(before);
    TForm1& f = Form();
    EXPECT_TRUE(f.CheckBox3->isChecked());
    QTest::mouseClick(f.CheckBox3, Qt::LeftButton);
    f.HistoryChanged = f.SlotsChanged = f.FontColorsChanged = true;
    files::testing_hooks::StopWritesAfter(0); // every write fails, as in a read-only folder
    CloseForm();
    EXPECT_EQ(IniText(), before);
}

TEST_F(WindowSettingsTest, AFolderInPlaceOfTheFileGivesDefaultsAndTheWindowStillCloses) {
    std::filesystem::create_directory(IniPath());
    ExpectDefaults();
    QTest::mouseClick(Form().CheckBox3, Qt::LeftButton);
    Form().HistoryChanged = Form().SlotsChanged = Form().FontColorsChanged = true;
    CloseForm();
    EXPECT_TRUE(std::filesystem::is_directory(IniPath()));
    EXPECT_TRUE(std::filesystem::is_empty(IniPath()));
}

} // namespace
