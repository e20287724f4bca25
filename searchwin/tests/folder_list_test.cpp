// The data folder, the extension and the file list of the main window.
#include "window_fixture.h"

#include "listing.h"
#include "result_pane.h"

#include <QStyledItemDelegate>

namespace {

class FolderListTest : public WindowFixture {
  protected:
    std::string NotFound() const { return cp932::FromUtf8("ファイルが見つかりませんでした。"); }
};

TEST_F(FolderListTest, StartListsSubfoldersWithoutExtensions) {
    for (const char* f : {"data/a.txt", "資料◆/b.htm", "v1.2/c.txt", ".git/d.txt"})
        Write(f);
    Write("help.txt");
    TForm1& f = Form();
    QStringList folders;
    for (int i = 0; i < f.ComboBox3->count(); ++i)
        folders << f.ComboBox3->itemText(i);
    EXPECT_EQ(folders, (QStringList{QStringLiteral("data"), app::U("資料◆")}));
    EXPECT_EQ(f.ComboBox3->currentIndex(), -1);
    EXPECT_FALSE(f.Edit1->isHidden());
    EXPECT_TRUE(f.Edit1->text().isEmpty());
    EXPECT_EQ(f.ListBox1->count(), 0);
    EXPECT_EQ(f.FolderSource, 0);
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(FolderListTest, ProgramFolderWithoutSubfoldersSaysSo) {
    Write("help.txt");
    Form();
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_EQ(platform_.messages[0].text, NotFound());
    EXPECT_EQ(platform_.messages[0].kind, app::MessageKind::Confirm);
}

TEST_F(FolderListTest, MarksInTheFolderNameChooseTheExtension) {
    Write("資料◆/a.htm");
    Write("資料◆/b.html");
    Write("資料◆/c.txt");
    Form().CheckBox5->setChecked(true);
    EXPECT_FALSE(Form().OptionsChanged);
    ChooseFolder(app::U("資料◆"));
    TForm1& f = Form();
    EXPECT_TRUE(f.OptionsChanged) << "an extension changed by the marks is kept at close";
    EXPECT_EQ(f.FolderSource, 200);
    EXPECT_EQ(f.DataFolder, S("資料◆"));
    EXPECT_TRUE(f.RadioButton11->isChecked());
    EXPECT_TRUE(f.RadioButton12->isChecked());
    EXPECT_EQ(f.DataExt, "htm");
    EXPECT_EQ(Caption(), S("検索データ　*.htm"));
    EXPECT_EQ(DataGroupColor(), Bgr(0x808000));
    EXPECT_FALSE(f.CheckBox4->isHidden());
    EXPECT_EQ(Items(), std::vector<std::string>{"a.htm"});
    EXPECT_EQ(f.Edit1->isHidden(), true);
    EXPECT_FALSE(f.BitBtn9->isEnabled());
    f.OptionsChanged = false;
    ChooseFolder(app::U("資料◆"));
    EXPECT_FALSE(f.OptionsChanged) << "the same extension again is no change";
}

TEST_F(FolderListTest, MarkTableAndItsOrder) {
    const struct {
        const char* folder;
        const char* ext;
        QRadioButton* TForm1::*button;
        std::uint32_t colour; // 0: the button face
    } cases[] = {
        {"両◇◆", "html", &TForm1::RadioButton2, 0xA56E3A},
        {"四角□", "md", &TForm1::RadioButton3, 0xff00ff},
        {"plain", "txt", &TForm1::RadioButton1, 0},
    };
    for (const auto& c : cases)
        Write(std::string(c.folder) + "/x." + c.ext);
    TForm1& f = Form();
    f.CheckBox5->setChecked(true);
    f.Edit2->setText(QStringLiteral("md"));
    for (const auto& c : cases) {
        ChooseFolder(app::U(c.folder));
        EXPECT_TRUE((f.*c.button)->isChecked()) << c.folder;
        EXPECT_EQ(f.DataExt, c.ext) << c.folder;
        EXPECT_EQ(Items(), std::vector<std::string>{std::string("x.") + c.ext}) << c.folder;
        EXPECT_EQ(DataGroupColor(), c.colour ? Bgr(c.colour) : f.palette().color(QPalette::Button))
            << c.folder;
        EXPECT_EQ(f.CheckBox4->isHidden(), std::string(c.ext) != "html") << c.folder;
    }
    // Without 裏技 the marks mean nothing.
    f.CheckBox5->setChecked(false);
    ChooseFolder(app::U("両◇◆"));
    EXPECT_EQ(f.DataExt, "txt");
    EXPECT_EQ(f.ListBox1->count(), 0);
    EXPECT_EQ(platform_.MessageTexts().back(), NotFound());
}

TEST_F(FolderListTest, MirrorButtonsAndTheCustomExtension) {
    Write("data/a.txt");
    TForm1& f = Form();
    ChooseFolder(QStringLiteral("data"));
    QTest::mouseClick(f.RadioButton5, Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_TRUE(f.OptionsChanged);
    EXPECT_TRUE(f.RadioButton2->isChecked());
    EXPECT_EQ(f.DataExt, "html");
    EXPECT_EQ(Caption(), S("検索データ　*.html"));
    EXPECT_EQ(f.ListBox1->count(), 1) << "the list waits for the next folder choice";

    // The field forces lower case; program extensions become txt.
    QTest::mouseClick(f.RadioButton6, Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_TRUE(f.RadioButton3->isChecked());
    f.Edit2->clear();
    QTest::keyClicks(f.Edit2, QStringLiteral("EXE"));
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("txt"));
    EXPECT_EQ(f.DataExt, "txt");
    f.Edit2->setText(QStringLiteral("exe1")); // pasted whole: only the exact text is refused
    f.Edit2Change();
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("exe1"));
    EXPECT_EQ(f.DataExt, "exe1");
    EXPECT_EQ(Caption(), S("検索データ　*.exe1"));
    EXPECT_EQ(DataGroupColor(), Bgr(0xff00ff));
    f.Edit2->clear();
    f.Edit2Exit();
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("txt"));
    EXPECT_EQ(f.DataExt, "txt");

    QTest::mouseClick(f.RadioButton4, Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_TRUE(f.RadioButton1->isChecked());
    EXPECT_EQ(DataGroupColor(), f.palette().color(QPalette::Button));

    // The buttons of the extension group change the options as their mirrors do.
    f.OptionsChanged = false;
    QTest::mouseClick(f.RadioButton11, Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_TRUE(f.RadioButton12->isChecked());
    EXPECT_TRUE(f.OptionsChanged);
}

TEST_F(FolderListTest, SubtreeListingRelativeToTheDataFolder) {
    for (const char* p : {"data/top.txt", "data/a/data/b.txt", "data/.git/c.txt", "data/a/d.html"})
        Write(p);
    Write("empty/readme.html");
    TForm1& f = Form();
    QTest::mouseClick(f.CheckBox2, Qt::LeftButton);
    EXPECT_TRUE(f.OptionsChanged);
    ChooseFolder(QStringLiteral("data"));
    EXPECT_EQ(Items(), (std::vector<std::string>{"a/data/b.txt", "top.txt"}));
    EXPECT_EQ(f.Label2->text(), QStringLiteral(" 2"));
    EXPECT_TRUE(f.Animate1->isHidden());
    EXPECT_EQ(platform_.waitCursorDepth, 0);
    EXPECT_TRUE(platform_.messages.empty());

    ChooseFolder(QStringLiteral("empty"));
    EXPECT_EQ(f.ListBox1->count(), 0);
    EXPECT_EQ(f.Label2->text(), QStringLiteral(" 0"));
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{NotFound()});

    // A folder of the list that is gone since the start: the same message, nothing listed.
    std::filesystem::remove_all(root_ / "data");
    ChooseFolder(QStringLiteral("data"));
    EXPECT_EQ(f.ListBox1->count(), 0);
    EXPECT_EQ(f.Label2->text(), QStringLiteral(" 0"));
    EXPECT_EQ(platform_.MessageTexts(), (std::vector<std::string>{NotFound(), NotFound()}));
    EXPECT_EQ(platform_.waitCursorDepth, 0);
}

TEST_F(FolderListTest, OneLevelListingCountsAndSaysWhenEmpty) {
    Write("data/b.txt");
    Write("data/A.TXT");
    Write("data/sub/c.txt");
    Write("other/x.html");
    ChooseFolder(QStringLiteral("data"));
    EXPECT_EQ(Items(), (std::vector<std::string>{"A.TXT", "b.txt"}));
    EXPECT_EQ(Form().Label2->text(), QStringLiteral(" 2"));
    ChooseFolder(QStringLiteral("other"));
    EXPECT_EQ(Form().ListBox1->count(), 0);
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{NotFound()});
    EXPECT_EQ(platform_.messages[0].kind, app::MessageKind::Confirm);
}

TEST_F(FolderListTest, FolderDialogChoosesAnyFolderAndCancelChangesNothing) {
    Write("data/a.txt");
    Write("外◇/inner/page.html");
    TForm1& f = Form();
    ChooseFolder(QStringLiteral("data"));
    const std::string home = f.DialogFolder;

    platform_.folderAnswers.push_back(std::nullopt); // cancelled
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(platform_.folderStarts, std::vector<std::string>{home});
    EXPECT_EQ(f.FolderSource, 200);
    EXPECT_TRUE(f.Edit1->isHidden());
    EXPECT_EQ(Items(), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(f.OptionsChanged);

    f.CheckBox5->setChecked(true);
    const std::string chosen = Root() + "/" + S("外◇") + "/inner";
    platform_.folderAnswers.push_back(chosen);
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(f.FolderSource, 100);
    EXPECT_FALSE(f.Edit1->isHidden());
    EXPECT_EQ(app::FromQ(f.Edit1->text()), chosen);
    EXPECT_EQ(f.DialogFolder, chosen);
    EXPECT_EQ(f.DataFolder, chosen);
    EXPECT_EQ(f.DataExt, "html") << "a mark in a parent folder counts";
    EXPECT_EQ(Items(), std::vector<std::string>{"page.html"});

    // The next dialog starts where the last one ended; the list folder is the dialog's.
    platform_.folderAnswers.push_back(std::nullopt);
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(platform_.folderStarts.back(), chosen);
    f.ListBox1->setCurrentRow(0);
    f.ListBox1DblClick();
    EXPECT_EQ(platform_.opened, std::vector<std::string>{chosen + "/page.html"});

    // A kept folder that is gone, or one of another system, opens the dialog at home.
    for (const std::string& gone : {Root() + "/gone", std::string("c:\\")}) {
        f.DialogFolder = gone;
        platform_.folderAnswers.push_back(std::nullopt);
        QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
        EXPECT_EQ(platform_.folderStarts.back(), home) << gone;
        EXPECT_EQ(f.DialogFolder, gone) << "kept until a folder is picked";
    }
}

// The folder given on the command line, taken once the settings are restored: listed with the
// subfolder choice of the last session, shown as a picked folder, remembered for the dialog.
TEST_F(FolderListTest, FolderGivenAtStartIsTakenAsIfPicked) {
    Write("data/a.txt");
    Write("ノート/a.txt");
    Write("ノート/下/b.txt");
    Write("Searchwin_tests.ini", "[check]\r\ncheckbox2=1\r\n");
    TForm1& f = Form();
    const std::string folder = Root() + "/" + S("ノート");
    f.OpenFolder(folder);
    EXPECT_EQ(f.FolderSource, 100);
    EXPECT_FALSE(f.Edit1->isHidden());
    EXPECT_EQ(app::FromQ(f.Edit1->text()), folder);
    EXPECT_EQ(Items(), (std::vector<std::string>{"a.txt", S("下/b.txt")}));
    EXPECT_TRUE(platform_.messages.empty());

    platform_.folderAnswers.push_back(std::nullopt);
    QTest::mouseClick(f.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(platform_.folderStarts.back(), folder);

    // A folder that is not there says so as the dialog's choice would, and lists nothing.
    f.OpenFolder(Root() + "/gone");
    EXPECT_EQ(f.ListBox1->count(), 0);
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_EQ(platform_.messages[0].text, NotFound());
}

TEST_F(FolderListTest, SubfolderModeChangesTheFolderButtonsLook) {
    Write("data/a.txt");
    TForm1& f = Form();
    const qint64 plain = f.SpeedButton1->icon().cacheKey();
    QTest::mouseClick(f.CheckBox2, Qt::LeftButton);
    EXPECT_NE(f.SpeedButton1->icon().cacheKey(), plain);
}

TEST_F(FolderListTest, PreviewFailureAndCuttingTheListDown) {
    for (const char* n : {"data/a.txt", "data/b.txt", "data/c.txt"})
        Write(n);
    TForm1& f = Form();
    ChooseFolder(QStringLiteral("data"));

    f.ListBox1ContextPopup(); // before any click: nothing happens
    EXPECT_EQ(f.ListBox1->count(), 3);

    std::filesystem::remove(root_ / "data" / "b.txt"); // gone since it was listed
    f.ListBox1->setCurrentRow(1);
    f.ListBox1Click();
    EXPECT_TRUE(f.PreviewLoaded);
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{S("ファイルが見あたりません。")});
    EXPECT_EQ(f.FileSlots[0], "fil1") << "nothing is registered";

    f.ListBox1->clearSelection();
    f.ListBox1->item(0)->setSelected(true);
    f.ListBox1->item(2)->setSelected(true);
    f.ListBox1ContextPopup();
    EXPECT_EQ(Items(), (std::vector<std::string>{"a.txt", "c.txt"}));
    EXPECT_FALSE(f.PreviewLoaded);
    EXPECT_EQ(f.RichEdit1->Text(), "");

    f.ListBox1->setCurrentRow(0);
    f.ListBox1Click();
    f.ListBox1->clearSelection();
    f.ListBox1ContextPopup();
    EXPECT_EQ(f.ListBox1->count(), 0);
}

TEST_F(FolderListTest, RightClickCutsTheListToWhatTheMouseSelected) {
    for (const char* n : {"data/a.txt", "data/b.txt", "data/c.txt", "data/d.txt"})
        Write(n, "memo");
    TForm1& f = Form();
    ChooseFolder(QStringLiteral("data"));
    QWidget* view = f.ListBox1->viewport();
    auto at = [&](int row) { return f.ListBox1->visualItemRect(f.ListBox1->item(row)).center(); };
    QTest::mouseClick(view, Qt::LeftButton, {}, at(0)); // preview of a.txt
    ASSERT_TRUE(f.PreviewLoaded);
    EXPECT_EQ(f.RichEdit1->Text(), "memo");
    QTest::keyClick(f.ListBox1, Qt::Key_Down); // the next file is previewed, as by a click
    EXPECT_EQ(f.ListBox1->currentRow(), 1);
    EXPECT_EQ(f.FileSlots[0], Root() + "/data/b.txt");
    QTest::keyClick(f.ListBox1, Qt::Key_Up);
    EXPECT_EQ(f.FileSlots[0], Root() + "/data/a.txt");
    EXPECT_EQ(f.FileSlots[1], Root() + "/data/b.txt");
    const auto kept = f.FileSlots;
    f.SlotsChanged = false;
    QTest::keyClick(f.ListBox1, Qt::Key_Up); // already at the top: nothing to load
    EXPECT_EQ(f.FileSlots, kept);
    EXPECT_FALSE(f.SlotsChanged);
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, at(2));
    // Through the window, as the system delivers it: the press over an unselected item, then the
    // context menu request.
    QTest::mouseClick(f.windowHandle(), Qt::RightButton, {}, view->mapTo(&f, at(1)));
    EXPECT_EQ(Items(), (std::vector<std::string>{"a.txt", "c.txt"}));
    EXPECT_FALSE(f.PreviewLoaded);
    EXPECT_EQ(f.RichEdit1->Text(), "");
}

TEST_F(FolderListTest, AFolderChosenDuringASearchWaitsForTheNextOne) {
    for (int i = 0; i < 6; ++i)
        Write("many/f" + std::to_string(i) + ".txt", "hit\n");
    Write("few/only.txt", "hit\n");
    TForm1& f = Form();
    ChooseFolder(QStringLiteral("many"));
    f.ComboBox1->setEditText(QStringLiteral("hit"));
    // The folder list is used from inside the search's event pump, while the second file is read.
    bool chosen = false;
    platform_.onPump = [&] {
        if (!chosen && f.Searching() && f.CurrentFile.find("f1.txt") != std::string::npos) {
            chosen = true;
            ChooseFolder(QStringLiteral("few"));
        }
    };
    QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
    platform_.onPump = nullptr;
    ASSERT_TRUE(chosen);
    EXPECT_EQ(f.HitCount, 6) << "the run searched the list it started with";
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Items(), std::vector<std::string>{"only.txt"});
    QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
    EXPECT_EQ(f.HitCount, 1);
}

TEST_F(FolderListTest, TheMarksBoxShowsTheHelpFileWhenItGetsTheFocus) {
    Write("data/a.txt");
    TForm1& f = Form();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.RichEdit1->AppendLine("kept");
    f.CheckBox5->setFocus(); // no help.txt yet: the pane stays, nothing is said
    EXPECT_EQ(f.RichEdit1->Text(), "kept");
    EXPECT_TRUE(platform_.messages.empty());
    Write("help.txt", "裏技の説明");
    f.SearchBtn->setFocus();
    f.CheckBox5->setFocus();
    EXPECT_EQ(f.RichEdit1->Text(), S("裏技の説明"));
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(FolderListTest, ShiftingTheDataGroupAside) {
    TForm1& f = Form();
    const QRect before = f.GroupBox3->geometry();
    f.GroupBox3Click();
    EXPECT_TRUE(f.DataGroupShifted);
    EXPECT_TRUE(f.OptionsChanged);
    EXPECT_EQ(f.GroupBox3->x(), 118);
    EXPECT_EQ(f.GroupBox3->width(), before.width() - 110);
    f.OptionsChanged = false;
    f.GroupBox3Click();
    EXPECT_FALSE(f.OptionsChanged);
    EXPECT_EQ(f.GroupBox3->geometry(), before);
}

TEST_F(FolderListTest, NamesWithoutAShiftJisFormAreShownAndSearched) {
    const std::string emoji = "memo\xF0\x9F\x98\x80.txt";
    std::filesystem::create_directories(root_ / "data");
    std::ofstream(root_ / "data" / emoji, std::ios::binary) << cp932::FromUtf8("東京\n");
    ChooseFolder(QStringLiteral("data"));
    TForm1& f = Form();
    ASSERT_EQ(f.ListBox1->count(), 1);
    const QModelIndex index = f.ListBox1->model()->index(0, 0);
    auto* delegate = qobject_cast<QStyledItemDelegate*>(f.ListBox1->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    EXPECT_EQ(delegate->displayText(index.data(), QLocale()), QString::fromUtf8(emoji));
    f.ComboBox1->setEditText(app::U("東京"));
    QTest::mouseClick(f.SearchBtn, Qt::LeftButton);
    EXPECT_EQ(f.HitCount, 1);
    EXPECT_TRUE(platform_.messages.empty());
}

} // namespace
