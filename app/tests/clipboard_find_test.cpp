// The real platform's rich clipboard, and the find dialog.
#include "codec.h"
#include "find_dialog.h"
#include "platform.h"

#include <QLineEdit>
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
