// The real platform's rich clipboard, and the find dialog.
#include "codec.h"
#include "find_dialog.h"
#include "platform.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(RichClipboard, CarriesPlainAndFormattedTextAndPlainTextDropsTheFormatted) {
    app::Platform& p = app::platform();
    const std::string plain = cp932::FromUtf8("本文\r\n続き");
    const std::string html = "<p><span style=\"color:#ff0000;\">x</span></p>";
    p.SetClipboardRich(plain, html);
    EXPECT_EQ(p.ClipboardText(), plain);
    EXPECT_NE(p.ClipboardRich().find("color:#ff0000"), std::string::npos);

    p.SetClipboardText(cp932::FromUtf8("平文"));
    EXPECT_EQ(p.ClipboardText(), cp932::FromUtf8("平文"));
    EXPECT_EQ(p.ClipboardRich(), "");
}

TEST(BoxClipboard, TheBoxIsPlainTextForOtherProgramsAndTaggedForOurEditors) {
    app::Platform& p = app::platform();
    const std::string box = cp932::FromUtf8("表ソ\r\n能ポ\r\n");
    p.SetClipboardBox(box);
    EXPECT_TRUE(p.ClipboardHasText());
    EXPECT_TRUE(p.ClipboardHasBox());
    EXPECT_EQ(p.ClipboardText(), box);
    // What any other program reads: the plain Unicode text.
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QString::fromUtf8("表ソ\r\n能ポ\r\n"));
    EXPECT_EQ(data->data(app::BoxMimeType), QByteArray(box.data(), box.size()));
    // Plain text drops the tag; an empty clipboard holds no text.
    p.SetClipboardText("x");
    EXPECT_FALSE(p.ClipboardHasBox());
    QApplication::clipboard()->clear();
    EXPECT_FALSE(p.ClipboardHasText());
    EXPECT_FALSE(p.ClipboardHasBox());
}

TEST(FindDialog, ReportsTheTextAtEachPressAndNothingWhenEmpty) {
    app::FindDialog dialog;
    std::vector<std::string> found;
    dialog.OnFind = [&](const std::string& t) { found.push_back(t); };
    dialog.show();
    EXPECT_FALSE(dialog.isModal());
    EXPECT_FALSE(dialog.FindNext->isEnabled()); // nothing to find yet

    dialog.TextEdit->setText(QString::fromUtf8("東京"));
    EXPECT_TRUE(dialog.FindNext->isEnabled());
    QTest::mouseClick(dialog.FindNext, Qt::LeftButton);
    QTest::keyClick(dialog.TextEdit, Qt::Key_Return); // Enter presses the find button too
    EXPECT_EQ(found, (std::vector<std::string>{cp932::FromUtf8("東京"), cp932::FromUtf8("東京")}));
    EXPECT_TRUE(dialog.isVisible()); // it stays open for the next press

    dialog.SetFindText("");
    EXPECT_FALSE(dialog.FindNext->isEnabled());
}

} // namespace
