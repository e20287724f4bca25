// A hit from a real search opened in the real viewer, as the program installs it, and the viewer
// driven by hand inside its modal loop: highlighting, searching, a typed correction saved, tag
// removal, and the pane after the viewer has closed.
#include "window_fixture.h"

#include "editor.h"
#include "fifo_watch.h"
#include "form_search.h"
#include "result_pane.h"
#include "tagjanp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <functional>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace textsearch;

namespace {

class ViewerOpenTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        Write("color.ini", "表示\r\n");
        Write("data/a.txt", note_);
        Write("ウェブ◇/n.html", html_);
        Form().ShowViewer = ShowHitInViewer;
    }
    void TearDown() override {
        fs::permissions(root_ / "data" / "a.txt", fs::perms::owner_all);
        WindowFixture::TearDown();
    }
    // The caret on the pane line `utf8`, the open button, and `body` run on the viewer once it
    // is up; the viewer is closed with its own button afterwards unless the body closed it.
    void OpenWith(const char* utf8, std::function<void(TForm4&)> body) {
        const int line = LineOf(utf8);
        ASSERT_GE(line, 0) << utf8;
        Pane().SetSelStart(Pane().PositionOfLine(line) + 4);
        OpenAtCaret(std::move(body));
    }
    // The open button with the pane's caret where it is; `body` as for OpenWith.
    void OpenAtCaret(std::function<void(TForm4&)> body) {
        bool ran = false;
        auto* poll = new QTimer(&Form());
        int tries = 0;
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            TForm4* viewer = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* v = qobject_cast<TForm4*>(w); v && v->isVisible()) viewer = v;
            // The opening steps have run once the caption is the note's path.
            if (viewer && viewer->windowTitle() != app::U("ファイル名")) {
                poll->stop();
                ran = true;
                body(*viewer);
                if (viewer->isVisible()) QTest::mouseClick(viewer->BitBtn5, Qt::LeftButton);
            } else if (++tries > 500) {
                poll->stop();
            }
        });
        poll->start(10);
        QTest::mouseClick(Form().BitBtn9, Qt::LeftButton);
        delete poll;
        EXPECT_TRUE(ran) << "the viewer did not come up";
    }
    // Characters typed on the keyboard, each a key press and release carrying its text.
    static void Type(QWidget* w, const QString& text) {
        for (const QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &release);
        }
    }
    // The window made the active one, as when the user clicks it.
    static void Activate(QWidget& w) {
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    // Text the input method hands to the focused widget, as Japanese is typed.
    static void Commit(const char* utf8) {
        QInputMethodEvent commit;
        commit.setCommitString(QString::fromUtf8(utf8));
        QApplication::sendEvent(QApplication::focusWidget(), &commit);
    }
    // The search-text field clicked, its text selected and `utf8` typed over it.
    static void TypeSearch(TForm4& v, const char* utf8) {
        QTest::mouseClick(v.Edit2, Qt::LeftButton);
        ASSERT_EQ(QApplication::focusWidget(), v.Edit2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        Commit(utf8);
        ASSERT_EQ(v.Edit2->text(), QString::fromUtf8(utf8));
    }
    static std::pair<int, int> Selection(TForm4& v) {
        return {v.Editor1->SelStart(), v.Editor1->SelLength()};
    }
    // Pixels of the document drawn in the reserve words' background (red).
    static int RedPixels(TForm4& v) {
        const QImage image = v.Editor1->viewport()->grab().toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(255, 0, 0)) ++n;
        return n;
    }
    std::string OnDisk(const char* rel) const { return ReadFile(root_ / rel); }

    // "はじめに" CR LF is 10 bytes: the hit line starts there, the half-width line at 34.
    const char* note_ = "はじめに\r\nガイドの表示を確かめる\r\nｶﾞｲﾄﾞ 二つ目\r\nソ能ポの順\r\n"
                        "表示 のおわり\r\n";
    const char* html_ =
        "<html><body>\r\n<p>章のはじめ</p>\r\n<b>ソ表能ポ</b>\r\n</body></html>\r\n";
};

TEST_F(ViewerOpenTest, AHitOpensHighlightedSearchableAndATypedCorrectionIsSaved) {
    SearchFor("ガイド");
    const std::string before = OnDisk("data/a.txt");
    const std::string corrected = S("はじめに\r\nガイドの表示を確かめる\r\nｶﾞｲﾄﾞ 二つ目\r\n"
                                    "ソ表能ポの順\r\n表示 のおわり\r\n");
    OpenWith("    ガイドの表示を確かめる", [&](TForm4& v) {
        EXPECT_EQ(v.windowTitle(), app::PathToQ(Root() + "/data/a.txt"));
        EXPECT_EQ(Selection(v), std::make_pair(10, 22));
        EXPECT_EQ(v.Editor1->SelText(), S("ガイドの表示を確かめる"));
        EXPECT_FALSE(v.BitBtn7->isEnabled());
        EXPECT_FALSE(v.BitBtn1->isEnabled());
        // No hourglass over a viewer that waits on the user.
        EXPECT_EQ(platform_.waitCursorDepth, 0);
        // "表示" stands alone on the last line: painted white on red.
        EXPECT_GT(RedPixels(v), 0);

        // Width-insensitive, from the search dialog; then back up.
        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<TFormSearch*>(QApplication::activeModalWidget());
            if (!d) return;
            d->ComboBox1->setEditText(app::U("ガイド"));
            d->chkNoMatchZenkaku->click();
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        });
        QTest::mouseClick(v.BitBtn4, Qt::LeftButton);
        EXPECT_EQ(v.FSearchOptions, soDown | soNoMatchZenkaku);
        EXPECT_EQ(Selection(v), std::make_pair(34, 5)); // ｶﾞｲﾄﾞ
        QTest::mouseClick(v.BitBtn2, Qt::LeftButton);
        EXPECT_EQ(Selection(v), std::make_pair(10, 6));
        QTest::mouseClick(v.BitBtn3, Qt::LeftButton);
        EXPECT_EQ(Selection(v), std::make_pair(34, 5));
        EXPECT_TRUE(platform_.messages.empty());

        // The missing kanji typed after "ソ".
        v.Editor1->setFocus();
        v.Editor1->SetSelStart(static_cast<int>(S("はじめに\r\nガイドの表示を確かめる\r\n"
                                                  "ｶﾞｲﾄﾞ 二つ目\r\nソ")
                                                    .size()));
        Type(v.Editor1, app::U("表"));
        EXPECT_EQ(v.Editor1->Lines().Text(), corrected);
        EXPECT_TRUE(v.BitBtn1->isEnabled());

        // A note that cannot be written: a message, and nothing changes on either side.
        fs::permissions(root_ / "data" / "a.txt", fs::perms::owner_read);
        QTest::mouseClick(v.BitBtn1, Qt::LeftButton);
        EXPECT_EQ(platform_.messages.size(), 1u);
        EXPECT_EQ(OnDisk("data/a.txt"), before);
        EXPECT_EQ(v.Editor1->Lines().Text(), corrected);
        EXPECT_TRUE(v.BitBtn1->isEnabled());

        fs::permissions(root_ / "data" / "a.txt", fs::perms::owner_all);
        QTest::mouseClick(v.BitBtn1, Qt::LeftButton);
        EXPECT_EQ(platform_.messages.size(), 1u);
        EXPECT_FALSE(v.BitBtn1->isEnabled());
    });
    // Exactly the typed character went in.
    EXPECT_EQ(OnDisk("data/a.txt"), corrected);
    // Back in the main window: the hit line is selected again.
    EXPECT_EQ(Pane().SelText(), S("ガイドの表示を確かめる"));
    EXPECT_EQ(platform_.waitCursorDepth, 0);
}

TEST_F(ViewerOpenTest, AHitFarDownALongNoteIsOnScreenWhenTheViewerComesUp) {
    std::string note;
    for (int k = 0; k < 300; ++k)
        note += (k == 200 ? std::string("目印のある行") : "行 " + std::to_string(k)) + "\r\n";
    Write("data/long.txt", note);
    SearchFor("目印");
    OpenWith("    目印のある行", [&](TForm4& v) {
        EXPECT_EQ(v.Editor1->SelText(), S("目印のある行"));
        const int rows = v.Editor1->VisibleRowCount();
        ASSERT_GT(rows, 5);
        EXPECT_EQ(v.Editor1->Row(), 200);
        // A third of the way down, as the search puts what it finds.
        EXPECT_EQ(v.Editor1->TopRow(), 200 - rows / 3);
    });
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ViewerOpenTest, TheSearchButtonsSearchWhatTheFieldShows) {
    SearchFor("ガイド");
    OpenWith("    ガイドの表示を確かめる", [&](TForm4& v) {
        Activate(v);
        // Typed into the field, then "↓" clicked: the field keeps the focus, never left.
        TypeSearch(v, "ソ能ポ");
        QTest::mouseClick(v.BitBtn3, Qt::LeftButton);
        EXPECT_EQ(QApplication::focusWidget(), v.Edit2);
        EXPECT_EQ(v.Editor1->SelText(), S("ソ能ポ"));
        EXPECT_EQ(v.Edit2->text(), QString::fromUtf8("ソ能ポ"));
        // And "↑".
        TypeSearch(v, "ガイド");
        QTest::mouseClick(v.BitBtn2, Qt::LeftButton);
        EXPECT_EQ(Selection(v), std::make_pair(10, 6));
        // "検　索" opens on the typed text; OK searches it.
        TypeSearch(v, "表示");
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<TFormSearch*>(QApplication::activeModalWidget());
            if (!d) return;
            seen = true;
            EXPECT_EQ(d->ComboBox1->currentText(), QString::fromUtf8("表示"));
            QTest::mouseClick(d->btnOK, Qt::LeftButton);
        });
        QTest::mouseClick(v.BitBtn4, Qt::LeftButton);
        EXPECT_TRUE(seen);
        EXPECT_EQ(Selection(v), std::make_pair(18, 4));
        EXPECT_EQ(v.Edit2->text(), QString::fromUtf8("表示"));
    });
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ViewerOpenTest, TheCaretAtTheEndOfABlocksLastHitOpensThatBlocksNote) {
    // b.txt: a short header right after the last hit line of a.txt's block.
    Write("data/b.txt", "ガイド\r\n");
    SearchFor("ガイド");
    struct Case {
        const char* line;
        Qt::Key key; // where on the line the caret is put
        const char* title;
        const char* selected;
    } cases[] = {
        {"    ｶﾞｲﾄﾞ 二つ目", Qt::Key_End, "/data/a.txt", "ｶﾞｲﾄﾞ 二つ目"},
        {"b.txt", Qt::Key_Home, "/data/b.txt", ""},
        {"b.txt", Qt::Key_End, "/data/b.txt", ""},
        {"    ガイド", Qt::Key_End, "/data/b.txt", "ガイド"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const int line = LineOf(c.line);
        ASSERT_GE(line, 0);
        Activate(Form());
        Pane().setFocus();
        ASSERT_EQ(QApplication::focusWidget(), &Pane());
        Pane().SetSelStart(Pane().PositionOfLine(line) + 1);
        QTest::keyClick(QApplication::focusWidget(), c.key);
        OpenAtCaret([&](TForm4& v) {
            EXPECT_EQ(v.windowTitle(), app::PathToQ(Root() + c.title));
            EXPECT_EQ(v.Editor1->SelText(), S(c.selected));
        });
    }
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ViewerOpenTest, OnlyTheCloseButtonAndTheCloseBoxCloseTheViewerAndBothKeepItsPlacement) {
    SearchFor("ガイド");
    const fs::path settings = cp932::PathToNative(Form().IniGT1.Path());
    const std::string corrected = "x" + S(note_);
    // Escape in the field and in the document: the viewer stays, the correction with it.
    OpenWith("    ガイドの表示を確かめる", [&](TForm4& v) {
        Activate(v);
        // A click on the first character of the document, then a typed correction.
        const QPoint first(v.Editor1->ColX(0) + 1, v.Editor1->RowY(0) + 2);
        QTest::mouseClick(v.Editor1->viewport(), Qt::LeftButton, {}, first);
        ASSERT_EQ(QApplication::focusWidget(), v.Editor1);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
        QTest::mouseClick(v.Edit2, Qt::LeftButton);
        ASSERT_EQ(QApplication::focusWidget(), v.Edit2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_TRUE(v.isVisible()) << "Escape in the search field";
        QTest::mouseClick(v.Editor1->viewport(), Qt::LeftButton, {}, first);
        ASSERT_EQ(QApplication::focusWidget(), v.Editor1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_TRUE(v.isVisible()) << "Escape in the document";
        EXPECT_EQ(v.Editor1->Lines().Text(), corrected);
        EXPECT_TRUE(v.BitBtn1->isEnabled());
        // Resized, then closed with the window's close box.
        v.resize(700, 400);
        ASSERT_TRUE(v.windowHandle()->close());
        EXPECT_FALSE(v.isVisible());
    });
    EXPECT_NE(ReadFile(settings).find("[form4]"), std::string::npos);
    // The next viewer comes up as the last one was left; "閉じる" keeps the placement too.
    OpenWith("    ガイドの表示を確かめる", [&](TForm4& v) {
        EXPECT_EQ(v.size(), QSize(700, 400));
        v.resize(650, 380);
    });
    OpenWith("    ガイドの表示を確かめる",
             [&](TForm4& v) { EXPECT_EQ(v.size(), QSize(650, 380)); });
    // The main window's own settings, written as it closes, leave the viewer's in place.
    CloseForm();
    Form().ShowViewer = ShowHitInViewer;
    SearchFor("ガイド");
    OpenWith("    ガイドの表示を確かめる",
             [&](TForm4& v) { EXPECT_EQ(v.size(), QSize(650, 380)); });
    EXPECT_EQ(OnDisk("data/a.txt"), S(note_));
}

TEST_F(ViewerOpenTest, AnHtmlHitShowsItsTextWithoutTagsAndNeverSavesIt) {
    // An HTML folder, the browser not chosen: the viewer shows the note.
    Form().RadioButton2->setChecked(true);
    ChooseFolder(QString::fromUtf8("ウェブ◇"));
    ASSERT_TRUE(Form().CheckBox4->isVisible());
    ASSERT_FALSE(Form().CheckBox4->isChecked());
    SearchFor("章", QString::fromUtf8("ウェブ◇"));
    OpenWith("    <p>章のはじめ</p>", [&](TForm4& v) {
        EXPECT_EQ(v.windowTitle(), app::PathToQ(Root() + "/" + S("ウェブ◇") + "/n.html"));
        EXPECT_EQ(v.Editor1->SelText(), S("<p>章のはじめ</p>"));
        ASSERT_TRUE(v.BitBtn7->isEnabled());
        QTest::mouseClick(v.BitBtn7, Qt::LeftButton);
        EXPECT_EQ(v.Editor1->Lines().Text(), S("　\r\n章のはじめ\r\nソ表能ポ\r\n"));
        EXPECT_FALSE(v.BitBtn7->isEnabled());
        // Typing into the stripped text does not make it savable.
        v.Editor1->setFocus();
        QTest::keyClicks(v.Editor1, QStringLiteral("x"));
        EXPECT_EQ(v.Editor1->Lines().Text(), S("x　\r\n章のはじめ\r\nソ表能ポ\r\n"));
        EXPECT_FALSE(v.BitBtn1->isEnabled());
    });
    EXPECT_EQ(ReadFile(root_ / "ウェブ◇" / "n.html"), S(html_));
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_TRUE(platform_.openedIn.empty());
    EXPECT_EQ(Pane().SelText(), S("<p>章のはじめ</p>"));
}

TEST_F(ViewerOpenTest, AHeaderNamingAFifoIsSaidSoWithoutWaiting) {
    SearchFor("ガイド");
    const fs::path note = root_ / "data" / "a.txt";
    fs::remove(note);
    ASSERT_EQ(::mkfifo(note.c_str(), 0600), 0);
    app::FifoReaderWatch watch(note.string());
    // A viewer that came up all the same is closed, so that the test ends.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<TForm4*>(w); v && v->isVisible()) v->close();
    });
    closer.start(50);
    Pane().SetSelStart(Pane().PositionOfLine(LineOf("    ガイドの表示を確かめる")) + 4);
    QTest::mouseClick(Form().BitBtn9, Qt::LeftButton);
    EXPECT_FALSE(watch.ReaderWaited());
    EXPECT_EQ(platform_.MessageTexts(),
              std::vector<std::string>{S("「") + Root() + "/data/a.txt" +
                                       S("」は通常のファイルではない（FIFO やデバイスなど）ため、"
                                         "開けません。")});
    EXPECT_EQ(platform_.waitCursorDepth, 0);
}

TEST_F(ViewerOpenTest, ANoteChangedSinceTheSearchOpensAtItsStart) {
    SearchFor("ガイド");
    Write("data/a.txt", "はじめに\r\n書き換えた\r\n");
    OpenWith("    ガイドの表示を確かめる", [&](TForm4& v) {
        EXPECT_EQ(Selection(v), std::make_pair(0, 0));
        EXPECT_EQ(v.Editor1->Lines().Text(), S("はじめに\r\n書き換えた\r\n"));
    });
    ASSERT_EQ(platform_.MessageTexts(),
              std::vector<std::string>{S("ジャンプする行の指定を間違えているようです。")});
    EXPECT_EQ(OnDisk("data/a.txt"), S("はじめに\r\n書き換えた\r\n"));
}

} // namespace
