// The search dialog: its stored options and history, and ShowSearchDialog's outputs.
#include "form_search.h"

#include "codec.h"
#include "fake_platform.h"
#include "qtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace textsearch;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

class FormSearchTest : public ::testing::Test {
  protected:
    std::string Stored(const char* group, const char* name) {
        const auto it = platform_.userValues.find({group, name});
        return it == platform_.userValues.end() ? "<missing>" : it->second;
    }
    void Store(const char* group, const char* name, const std::string& value) {
        platform_.userValues[{group, name}] = value;
    }
    // Runs ShowSearchDialog, letting `user` work the dialog once it is up.
    bool RunDialog(std::function<void(TFormSearch&)> user, std::string& text,
                   TSearchOptions& options, const std::string& startText = {}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TFormSearch*>(QApplication::activeModalWidget());
            if (!dialog) return;
            seen = true;
            user(*dialog);
        });
        const bool result = ShowSearchDialog(text, options, nullptr, startText);
        EXPECT_TRUE(seen);
        return result;
    }
    static void Type(TFormSearch& d, const QString& text) {
        d.ComboBox1->lineEdit()->selectAll();
        QTest::keyClick(d.ComboBox1->lineEdit(), Qt::Key_Delete);
        // Typed as the input method hands it over: text without a key of its own.
        for (const QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(d.ComboBox1->lineEdit(), &press);
        }
    }

    app::FakePlatform platform_;
};

TEST_F(FormSearchTest, FirstUseShowsTheDefaults) {
    TFormSearch d;
    d.show();
    EXPECT_EQ(d.windowTitle(), app::U("検索"));
    EXPECT_EQ(d.size(), QSize(520, 159));
    EXPECT_EQ(d.Label1->text(), app::U("検索する文字列(&T):"));
    EXPECT_EQ(d.RadioGroup1->title(), app::U(" 検索方向 "));
    EXPECT_EQ(d.RadioBackward->text(), app::U("後方(&B)"));
    EXPECT_EQ(d.RadioForward->text(), app::U("前方(&D)"));
    EXPECT_EQ(d.GroupBox1->title(), app::U(" ｵﾌﾟｼｮﾝ "));
    EXPECT_EQ(d.chkIncludeCRLF->text(), app::U("改行・スペースを無視(&L)"));
    EXPECT_EQ(d.btnCancel->text(), app::U("キャンセル"));
    EXPECT_TRUE(d.RadioForward->isChecked());
    EXPECT_EQ(d.DirectionIndex(), 1);
    for (QCheckBox* c : {d.chkMatchCase, d.chkWholeWord, d.chkNoMatchZenkaku, d.chkIncludeCRLF})
        EXPECT_FALSE(c->isChecked()) << c->objectName().toStdString();
    EXPECT_EQ(d.ComboBox1->count(), 0);
    EXPECT_TRUE(d.ComboBox1->currentText().isEmpty());
    EXPECT_EQ(d.Options(), soDown);
    EXPECT_EQ(platform_.userWrites, 0);
}

TEST_F(FormSearchTest, StoredSettingsAreShownAndBadValuesFallBack) {
    Store("Options", "MatchCase", "1");
    Store("Options", "WholeWord", "7"); // any non-zero number is checked
    Store("Options", "NoMatchZenkaku", "yes");
    Store("Options", "IncludeCRLF", "");
    Store("Options", "Direction", "0");
    Store("SearchItems", "Text", S("表示\r\nabc\r\nソフト"));
    TFormSearch d;
    d.show();
    EXPECT_TRUE(d.chkMatchCase->isChecked());
    EXPECT_TRUE(d.chkWholeWord->isChecked());
    EXPECT_FALSE(d.chkNoMatchZenkaku->isChecked());
    EXPECT_FALSE(d.chkIncludeCRLF->isChecked());
    EXPECT_TRUE(d.RadioBackward->isChecked());
    ASSERT_EQ(d.ComboBox1->count(), 3);
    EXPECT_EQ(d.ComboBox1->currentText(), app::U("表示"));
    EXPECT_EQ(d.ComboBox1->itemText(2), app::U("ソフト"));
    // Once the dialog is the active window the field has the focus, its text selected: what
    // the user types replaces it.
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    EXPECT_TRUE(d.ComboBox1->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("xyz"));
    EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("xyz"));

    Store("Options", "Direction", "x");
    TFormSearch again;
    again.show();
    EXPECT_TRUE(again.RadioForward->isChecked());
}

TEST_F(FormSearchTest, ShowSearchDialogGivesTheTextAndEachOptionBit) {
    struct Case {
        std::function<void(TFormSearch&)> set;
        TSearchOptions want;
    } cases[] = {
        {[](TFormSearch&) {}, soDown},
        {[](TFormSearch& d) { QTest::mouseClick(d.RadioBackward, Qt::LeftButton); }, 0},
        {[](TFormSearch& d) { d.chkMatchCase->click(); }, soDown | soMatchCase},
        {[](TFormSearch& d) { d.chkWholeWord->click(); }, soDown | soWholeWord},
        {[](TFormSearch& d) { d.chkNoMatchZenkaku->click(); }, soDown | soNoMatchZenkaku},
        {[](TFormSearch& d) { d.chkIncludeCRLF->click(); },
         soDown | soIgnoreLineEnds | soIgnoreSpaces},
    };
    for (const Case& c : cases) {
        platform_.userValues.clear();
        std::string text = "old";
        TSearchOptions options = 0xFFFF;
        const bool ok = RunDialog(
            [&](TFormSearch& d) {
                Type(d, app::U("ソ表能ポ"));
                c.set(d);
                QTest::mouseClick(d.btnOK, Qt::LeftButton);
            },
            text, options);
        EXPECT_TRUE(ok);
        EXPECT_EQ(text, S("ソ表能ポ"));
        EXPECT_EQ(options, c.want);
    }
    EXPECT_EQ(Stored("Options", "IncludeCRLF"), "1");
    EXPECT_EQ(Stored("Options", "MatchCase"), "0");
    EXPECT_EQ(Stored("Options", "Direction"), "1");
    EXPECT_EQ(Stored("SearchItems", "Text"), S("ソ表能ポ"));
}

TEST_F(FormSearchTest, HistoryMovesRepeatsToTheTopAndKeeps32) {
    Store("SearchItems", "Text", "b\r\nA\r\na");
    std::string text;
    TSearchOptions options;
    // An item already there moves up; one differing only in case is another item.
    RunDialog(
        [](TFormSearch& d) {
            Type(d, QStringLiteral("a"));
            QTest::keyClick(d.ComboBox1->lineEdit(), Qt::Key_Return);
        },
        text, options);
    EXPECT_EQ(text, "a");
    EXPECT_EQ(Stored("SearchItems", "Text"), "a\r\nb\r\nA");

    std::string items;
    for (int k = 0; k < 32; ++k)
        items += (k ? "\r\n" : "") + std::to_string(k);
    Store("SearchItems", "Text", items);
    RunDialog(
        [](TFormSearch& d) {
            EXPECT_EQ(d.ComboBox1->currentText(), QStringLiteral("0"));
            Type(d, app::U("新しい"));
            QTest::mouseClick(d.btnOK, Qt::LeftButton);
            EXPECT_EQ(d.ComboBox1->count(), 32);
            EXPECT_EQ(d.ComboBox1->currentText(), app::U("新しい"));
        },
        text, options);
    const std::string stored = Stored("SearchItems", "Text");
    EXPECT_EQ(stored.substr(0, 9), S("新しい") + "\r\n0");
    EXPECT_EQ(stored.substr(stored.size() - 6), "29\r\n30"); // 31 dropped
}

TEST_F(FormSearchTest, ChosenHistoryItemKeepsItsBytes) {
    // ⅰ in its second code position: through Unicode it would come back as FA 40.
    const std::string item = "\xEE\xEF" + S("表");
    Store("SearchItems", "Text", item);
    std::string text;
    TSearchOptions options;
    EXPECT_TRUE(RunDialog([](TFormSearch& d) { QTest::mouseClick(d.btnOK, Qt::LeftButton); }, text,
                          options));
    EXPECT_EQ(text, item);
    EXPECT_EQ(Stored("SearchItems", "Text"), item);
}

TEST_F(FormSearchTest, TheCallersTextIsShownAndKeepsItsBytes) {
    Store("SearchItems", "Text", S("表示\r\nabc"));
    // ≒ in its second code position: through Unicode it would come back as 81 E0.
    const std::string start = "\x87\x90" + S("ソ能");
    std::string text;
    TSearchOptions options;
    EXPECT_TRUE(RunDialog(
        [&](TFormSearch& d) {
            EXPECT_EQ(d.ComboBox1->currentText(), app::ToQ(start));
            EXPECT_EQ(d.ComboBox1->count(), 2); // the history is still offered
            QTest::mouseClick(d.btnOK, Qt::LeftButton);
        },
        text, options, start));
    EXPECT_EQ(text, start);
    EXPECT_EQ(Stored("SearchItems", "Text"), start + S("\r\n表示\r\nabc"));
}

TEST_F(FormSearchTest, CancelStoresNothingAndEmptyOkStoresOptionsOnly) {
    Store("SearchItems", "Text", "keep");
    std::string text = "x";
    TSearchOptions options = 5;
    EXPECT_FALSE(RunDialog(
        [](TFormSearch& d) {
            d.chkMatchCase->click();
            Type(d, QStringLiteral("new"));
            QTest::mouseClick(d.btnCancel, Qt::LeftButton);
        },
        text, options));
    EXPECT_EQ(text, "");
    EXPECT_EQ(options, 0);
    EXPECT_EQ(platform_.userWrites, 0);
    {
        TFormSearch d;
        d.show();
        EXPECT_FALSE(d.chkMatchCase->isChecked());
    }

    EXPECT_FALSE(RunDialog(
        [](TFormSearch& d) {
            d.chkWholeWord->click();
            Type(d, QString());
            QTest::mouseClick(d.btnOK, Qt::LeftButton);
        },
        text, options));
    EXPECT_EQ(text, "");
    EXPECT_EQ(options, 0);
    EXPECT_EQ(Stored("Options", "WholeWord"), "1");
    EXPECT_EQ(Stored("SearchItems", "Text"), "keep");
}

TEST_F(FormSearchTest, HelpShowsAMessage) {
    TFormSearch d;
    d.show();
    QTest::mouseClick(d.btnHelp, Qt::LeftButton);
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_TRUE(d.isVisible());
}

} // namespace
