// The file viewer on real notes: the jump to the hit, highlighting, searching, saving, tag
// removal and the excerpt, driven through its buttons under the offscreen platform.
#include "tagjanp.h"

#include "brackets.h"
#include "codec.h"
#include "disk_changes.h"
#include "editor.h"
#include "fake_platform.h"
#include "fifo_watch.h"
#include "form_search.h"
#include "qtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace textsearch;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra-viewer-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "data");
    }
    void TearDown() override {
        form_.reset();
        fs::permissions(dir_, fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    std::string Dir() const { return cp932::PathFromNative(dir_.string()); }
    fs::path Note(const char* name) const { return dir_ / "data" / name; }
    void Write(const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::string Read(const fs::path& p) const {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Opens the viewer on the note `name` at the hit line `line` (Shift-JIS), shown and activated.
    TForm4& Open(const char* name, const std::string& line, const std::string& header = "") {
        TViewerHit hit{Dir() + "/data/" + name, header.empty() ? name : header, line};
        form_ = std::make_unique<TForm4>(hit, Dir());
        form_->IniGT4.SetExecutable(Dir() + "/quelvra");
        form_->IniGT4.Loaded();
        form_->LoadNote();
        form_->show();
        for (int k = 0; k < 5; ++k)
            QApplication::processEvents();
        return *form_;
    }
    std::string Text() { return form_->Editor1->Lines().Text(); }
    // The viewer made the active window, the search-text field clicked, its text selected and
    // `ascii` typed over it, as the user does; the field keeps the focus.
    void TypeSearch(const char* ascii) {
        TForm4& f = *form_;
        f.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
        QTest::mouseClick(f.Edit2, Qt::LeftButton);
        ASSERT_EQ(QApplication::focusWidget(), f.Edit2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(ascii));
        ASSERT_EQ(f.Edit2->text(), QString::fromLatin1(ascii));
    }
    // Characters typed on the keyboard into `w`, each a key press and release carrying its text.
    static void TypeInto(QWidget* w, const char* utf8) {
        for (const QChar ch : app::U(utf8)) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &release);
        }
    }
    // "あ" typed at the start of the note and "い" at the end of its second line, then
    // "訂正保存" clicked.
    static void TypeTwoCorrectionsAndSave(TForm4& f) {
        f.Editor1->setFocus();
        QTest::keyClick(f.Editor1, Qt::Key_Home, Qt::ControlModifier);
        TypeInto(f.Editor1, "あ");
        QTest::keyClick(f.Editor1, Qt::Key_Down);
        QTest::keyClick(f.Editor1, Qt::Key_End);
        TypeInto(f.Editor1, "い");
        ASSERT_TRUE(f.BitBtn1->isEnabled());
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    }
    std::pair<int, int> Selection() {
        return {form_->Editor1->SelStart(), form_->Editor1->SelLength()};
    }

    app::FakePlatform platform_;
    fs::path dir_;
    std::unique_ptr<TForm4> form_;
};

TEST_F(ViewerTest, OpensAtTheFirstOccurrenceOfTheHitLine) {
    const std::string note = S("一行目\r\n二行目 表示の例\r\n三行目\r\n二行目 表示の例\r\n");
    Write(Note("a.txt"), note);
    Write(dir_ / "color.ini", S("表示\r\n//赤\r\nsoft\r\n"));
    TForm4& f = Open("a.txt", S("二行目 表示の例"));
    EXPECT_EQ(f.windowTitle(), app::PathToQ(Dir() + "/data/a.txt"));
    EXPECT_EQ(Selection(), std::make_pair(8, 15));
    EXPECT_EQ(f.Editor1->SelText(), S("二行目 表示の例"));
    EXPECT_EQ(f.Edit2->text(), app::U("二行目 表示の例"));
    EXPECT_EQ(f.FSearchText, S("二行目 表示の例"));
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_FALSE(f.BitBtn7->isEnabled());
    EXPECT_FALSE(f.BitBtn1->isEnabled());
    // Every line of the keyword list, markers included, is a reserve word of the document.
    EXPECT_EQ(f.Editor1->ReserveWordList().Count(), 3);
    EXPECT_GE(f.Editor1->ReserveWordList().IndexOf(S("表示")), 0);
    EXPECT_EQ(Text(), note);
}

// The note is cut into rows once, when it is loaded, at the width of the window as it is shown:
// showing the window finds it cut already (a big note was cut twice).
TEST_F(ViewerTest, TheNoteIsCutOnceAtTheWidthItIsShownAt) {
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += S("ソ表能ポ ");
    Write(Note("long.txt"), line + "\r\n" + S("目印") + "\r\n");
    for (const int width : {931, 520}) {
        SCOPED_TRACE(width);
        TViewerHit hit{Dir() + "/data/long.txt", "long.txt", S("目印")};
        form_ = std::make_unique<TForm4>(hit, Dir());
        form_->IniGT4.SetExecutable(Dir() + "/quelvra");
        form_->IniGT4.Loaded();
        form_->resize(width, 400);
        form_->LoadNote();
        const int wrap = form_->Editor1->WrapOption().WrapByte();
        const int rows = form_->Editor1->RowCount();
        form_->show();
        for (int k = 0; k < 5; ++k)
            QApplication::processEvents();
        EXPECT_EQ(form_->Editor1->VisibleColCount() - 1, wrap);
        EXPECT_EQ(form_->Editor1->WrapOption().WrapByte(), wrap);
        EXPECT_EQ(form_->Editor1->RowCount(), rows);
        EXPECT_GT(rows, 3);
        EXPECT_EQ(form_->Editor1->SelText(), S("目印"));
    }
}

TEST_F(ViewerTest, HeaderLinesAndMissingHitLines) {
    const std::string html = S("<html>\r\n<p>本文</p>\r\n</html>\r\n");
    Write(Note("b.html"), html);
    // From the header line: no jump, no message, no tag removal even for HTML.
    TForm4& f = Open("b.html", "b.html", "b.html");
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Selection(), std::make_pair(0, 0));
    EXPECT_FALSE(f.BitBtn7->isEnabled());

    // A line that is not in the note (it changed since the search).
    TForm4& g = Open("b.html", S("消えた行"), "b.html");
    EXPECT_EQ(platform_.MessageTexts(),
              std::vector<std::string>{S("ジャンプする行の指定を間違えているようです。")});
    EXPECT_EQ(Selection(), std::make_pair(0, 0));
    EXPECT_TRUE(g.BitBtn7->isEnabled());
    EXPECT_EQ(g.FHasTags, 1);
}

TEST_F(ViewerTest, AMissingNoteIsRefusedBeforeAnythingIsShown) {
    TViewerHit hit{Dir() + "/data/none.txt", "none.txt", "x"};
    EXPECT_THROW(ShowFileViewer(hit, Dir()), std::runtime_error);
    fs::create_directories(Note("folder.txt"));
    hit.HitFilePath = Dir() + "/data/folder.txt";
    EXPECT_THROW(ShowFileViewer(hit, Dir()), std::runtime_error);
}

TEST_F(ViewerTest, AFifoIsRefusedWithoutWaitingOnAWriter) {
    ASSERT_EQ(::mkfifo(Note("fifo.txt").c_str(), 0600), 0);
    const TViewerHit hit{Dir() + "/data/fifo.txt", "fifo.txt", "x"};
    app::FifoReaderWatch watch(Note("fifo.txt").string());
    TForm4 form(hit, Dir());
    try {
        form.LoadNote();
        ADD_FAILURE() << "a FIFO was opened as a note";
    } catch (const ENotANote& e) {
        EXPECT_EQ(e.what(),
                  S("「") + hit.HitFilePath +
                      S("」は通常のファイルではない（FIFO やデバイスなど）ため、開けません。"));
    }
    EXPECT_FALSE(watch.ReaderWaited());
}

TEST_F(ViewerTest, SearchesDownAndUpWithTheDialogsOptions) {
    Write(Note("c.txt"), S("ガイド\r\nｶﾞｲﾄﾞ one\r\nxガイド\r\nGUIDE ｶﾞｲﾄﾞ\r\n"));
    TForm4& f = Open("c.txt", S("ガイド"));
    EXPECT_EQ(Selection(), std::make_pair(0, 6));
    // Width-insensitive, from the dialog.
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<TFormSearch*>(QApplication::activeModalWidget());
        if (!d) return;
        d->ComboBox1->setEditText(app::U("ガイド"));
        d->chkNoMatchZenkaku->click();
        QTest::mouseClick(d->btnOK, Qt::LeftButton);
    });
    QTest::mouseClick(f.BitBtn4, Qt::LeftButton);
    EXPECT_EQ(f.FSearchOptions, soDown | soNoMatchZenkaku);
    EXPECT_EQ(Selection(), std::make_pair(8, 5)); // ｶﾞｲﾄﾞ
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    EXPECT_EQ(Selection(), std::make_pair(20, 6)); // xガイド
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    EXPECT_EQ(Selection(), std::make_pair(34, 5));
    EXPECT_TRUE(platform_.messages.empty());
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    EXPECT_EQ(platform_.MessageTexts(),
              std::vector<std::string>{S("検索文字列  ' ガイド '\r\nは見つかりませんでした。")});
    EXPECT_EQ(Selection(), std::make_pair(34, 5)); // unchanged
    QTest::mouseClick(f.BitBtn2, Qt::LeftButton);
    EXPECT_EQ(Selection(), std::make_pair(20, 6));
    EXPECT_FALSE(f.FSearchOptions & soDown);

    // A typed search text, searched by "↓" while the field still has the focus (the tool
    // buttons take none).
    TypeSearch("guide");
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), f.Edit2);
    EXPECT_EQ(f.FSearchText, "guide");
    EXPECT_EQ(Selection(), std::make_pair(28, 5)); // GUIDE, case folded
    EXPECT_EQ(platform_.messages.size(), 1u);
}

TEST_F(ViewerTest, TheSearchDialogStartsFromTheFieldAndACancelLeavesTheField) {
    Write(Note("d.txt"), "abc\r\nabc\r\n");
    TForm4& f = Open("d.txt", "abc");
    TypeSearch("bc");
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TFormSearch*>(QApplication::activeModalWidget());
        if (!d) return;
        seen = true;
        EXPECT_EQ(d->ComboBox1->currentText(), QStringLiteral("bc"));
        QTest::mouseClick(d->btnCancel, Qt::LeftButton);
    });
    QTest::mouseClick(f.BitBtn4, Qt::LeftButton);
    EXPECT_TRUE(seen);
    EXPECT_EQ(f.FSearchText, "");
    EXPECT_EQ(f.FSearchOptions, 0);
    // The field still shows the text, and "↓" searches it.
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    EXPECT_EQ(Selection(), std::make_pair(6, 2));
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ViewerTest, FarHitsAreBroughtToAThirdOfTheView) {
    std::string note;
    for (int k = 0; k < 300; ++k)
        note += (k == 3 ? std::string("early") : "line " + std::to_string(k)) + "\r\n";
    note += "target\r\n";
    Write(Note("e.txt"), note);
    // The hit line itself, as the viewer opens.
    TForm4& f = Open("e.txt", "line 200");
    const int v = f.Editor1->VisibleRowCount();
    ASSERT_GE(v, 12);
    EXPECT_EQ(f.Editor1->Row(), 200);
    EXPECT_EQ(f.Editor1->TopRow(), 200 - v / 3);
    TypeSearch("target");
    QTest::mouseClick(f.BitBtn3, Qt::LeftButton);
    EXPECT_EQ(f.Editor1->TopRow(), 300 - v / 3);
    // One within the middle band does not scroll.
    f.Editor1->SetTopRow(300 - v / 2);
    TypeSearch("line 299");
    QTest::mouseClick(f.BitBtn2, Qt::LeftButton);
    EXPECT_EQ(f.Editor1->TopRow(), 300 - v / 2);
    // One in the first third of the note: as far down as the note's start allows.
    TypeSearch("early");
    QTest::mouseClick(f.BitBtn2, Qt::LeftButton);
    EXPECT_EQ(f.Editor1->Row(), 3);
    EXPECT_EQ(f.Editor1->TopRow(), 0);
    EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(ViewerTest, ACorrectionIsSavedWithExactlyThatChange) {
    const std::string note = S("一行目\r\n誤字がある行\r\n三行目\r\n");
    Write(Note("f.txt"), note);
    TForm4& f = Open("f.txt", S("誤字がある行"));
    f.Editor1->Lines().Put(1, S("誤字を直した行"));
    EXPECT_TRUE(f.BitBtn1->isEnabled());
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(Read(Note("f.txt")), S("一行目\r\n誤字を直した行\r\n三行目\r\n"));
    EXPECT_FALSE(f.BitBtn1->isEnabled());
    EXPECT_FALSE(f.Editor1->Modified());
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_TRUE(platform_.questions.empty()); // unchanged on disk: saved without a word
}

TEST_F(ViewerTest, ANoteWithLfLineEndsKeepsThem) {
    Write(Note("g.txt"), "alpha\nbeta\ngamma\n");
    TForm4& f = Open("g.txt", "beta");
    ASSERT_TRUE(f.NoteForm().has_value());
    f.Editor1->Lines().Put(1, "BETA");
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(Read(Note("g.txt")), "alpha\nBETA\ngamma\n");
}

// Typed into the document at the end of its second line and at its very start, then saved with
// the real button: the note differs from the original in exactly the typed bytes, whatever it
// holds and however it ends.
TEST_F(ViewerTest, ACorrectedNoteDiffersOnlyInTheTypedBytes) {
    const std::string k = S("ソ表能ポ");
    const std::string nul(1, '\0');
    const std::string a = S("あ"), i = S("い");
    struct Case {
        const char* name;
        std::string note, saved; // saved: with "あ" typed at the start and "い" after line 2
    } cases[] = {
        {"CR LF with a final line end", k + "\r\n" + k + "\r\nz\r\n",
         a + k + "\r\n" + k + i + "\r\nz\r\n"},
        {"LF without a final line end", "one\n" + k + "\nlast", a + "one\n" + k + i + "\nlast"},
        {"CR only", k + "\r" + k + "\r", a + k + "\r" + k + i + "\r"},
        {"a NUL inside a line", "x" + nul + "y\n" + k + nul + "\n",
         a + "x" + nul + "y\n" + k + nul + i + "\n"},
        {"ending in Ctrl-Z", k + "\r\nsecond\r\n\x1A", a + k + "\r\nsecond" + i + "\r\n\x1A"},
        {"Ctrl-Z and bytes after it", "one\r\ntwo\x1A\r\n" + k + "\x1A",
         a + "one\r\ntwo" + i + "\x1A\r\n" + k + "\x1A"},
        {"an empty last line", "one\r\n\r\n", a + "one\r\n" + i + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(Note("n.txt"), c.note);
        TForm4& f = Open("n.txt", "n.txt", "n.txt");
        TypeTwoCorrectionsAndSave(f);
        EXPECT_EQ(Read(Note("n.txt")), c.saved);
        EXPECT_TRUE(platform_.messages.empty());
        EXPECT_TRUE(platform_.questions.empty());
        EXPECT_FALSE(f.BitBtn1->isEnabled());
    }
}

// UTF-8 text as UTF-16 bytes (characters of the basic plane).
std::string Utf16Bytes(const std::string& utf8, bool bigEndian) {
    std::string out;
    for (const QChar ch : QString::fromStdString(utf8)) {
        const char hi = static_cast<char>(ch.unicode() >> 8);
        const char lo = static_cast<char>(ch.unicode() & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

// A UTF-8 or UTF-16 note reads as any other and is written back in its own encoding, its
// byte-order mark kept: the file differs from the original in exactly the typed characters.
TEST_F(ViewerTest, UnicodeNotesAreSavedInTheirOwnEncoding) {
    const std::string text = "ソ表能ポ 〓\r\n二行目\r\nz\r\n";
    const std::string saved = "あソ表能ポ 〓\r\n二行目い\r\nz\r\n";
    struct Case {
        const char* name;
        std::string note, expected;
    } cases[] = {
        {"UTF-8", text, saved},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + text, "\xEF\xBB\xBF" + saved},
        {"UTF-16 LE", "\xFF\xFE" + Utf16Bytes(text, false), "\xFF\xFE" + Utf16Bytes(saved, false)},
        {"UTF-16 BE", "\xFE\xFF" + Utf16Bytes(text, true), "\xFE\xFF" + Utf16Bytes(saved, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(Note("u.txt"), c.note);
        TForm4& f = Open("u.txt", S("二行目"));
        EXPECT_EQ(Text(), S("ソ表能ポ 〓\r\n二行目\r\nz\r\n"));
        EXPECT_EQ(f.Editor1->Row(), 1); // at the hit line
        TypeTwoCorrectionsAndSave(f);
        EXPECT_EQ(Read(Note("u.txt")), c.expected);
        EXPECT_TRUE(platform_.messages.empty());
        EXPECT_FALSE(f.BitBtn1->isEnabled());
    }
}

// A note holding characters that the editor's Shift-JIS cannot hold opens read-only with a
// message saying why: nothing typed reaches it and nothing is written.
TEST_F(ViewerTest, ANoteWithCharactersShiftJisLacksOpensReadOnly) {
    for (const std::string& note :
         {std::string("東京😀\r\n二行目\r\n"), std::string("𠮷野家\n二行目\n"),
          std::string("\xEF\xBB\xBF"
                      "〜\r\n二行目\r\n")}) {
        SCOPED_TRACE(note);
        platform_.messages.clear();
        Write(Note("r.txt"), note);
        TForm4& f = Open("r.txt", S("二行目"));
        ASSERT_EQ(platform_.messages.size(), 1u);
        EXPECT_NE(cp932::ToUtf8(platform_.messages[0].text).find("読み取り専用"), std::string::npos)
            << cp932::ToUtf8(platform_.messages[0].text);
        const std::string before = Text();
        f.Editor1->setFocus();
        TypeInto(f.Editor1, "あx");
        QTest::keyClick(f.Editor1, Qt::Key_Delete);
        EXPECT_EQ(Text(), before);
        EXPECT_FALSE(f.BitBtn1->isEnabled());
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        EXPECT_EQ(Read(Note("r.txt")), note);
    }
}

TEST_F(ViewerTest, MixedLineEndsAreMadeOneKindOnlyWhenTheUserSaysSo) {
    const std::string k = S("ソ表能ポ");
    const std::string note = k + "\r\nb\nc\nd\r\ne\n" + k + "\x1A";
    Write(Note("m.txt"), note);
    TForm4& f = Open("m.txt", "b");
    ASSERT_TRUE(f.NoteForm() && f.NoteForm()->Mixed());
    f.Editor1->setFocus();
    QTest::keyClick(f.Editor1, Qt::Key_Home, Qt::ControlModifier);
    TypeInto(f.Editor1, "x");

    // Asked once, naming the file, the line ends and the one they become; cancel, the default,
    // writes nothing and keeps the text.
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    ASSERT_EQ(platform_.questions.size(), 1u);
    const app::Question& q = platform_.questions[0];
    EXPECT_EQ(q.text, S("「") + Dir() +
                          S("/data/m.txt」では改行コードが混在しています（CR+LFが2個、"
                            "LFが3個）。\r\n保存すると、すべての改行をいちばん多い "
                            "LF にそろえます。保存しますか？"));
    EXPECT_EQ(q.yes, S("そろえて保存"));
    EXPECT_EQ(q.no, S("キャンセル"));
    EXPECT_FALSE(q.defaultYes);
    EXPECT_EQ(Read(Note("m.txt")), note);
    EXPECT_TRUE(f.BitBtn1->isEnabled());
    EXPECT_EQ(f.Editor1->Lines().Get(0), "x" + k);

    // Yes: LF everywhere, the Ctrl-Z kept, nothing else changed.
    platform_.answers = {true};
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(platform_.questions.size(), 2u);
    EXPECT_EQ(Read(Note("m.txt")), "x" + k + "\nb\nc\nd\ne\n" + k + "\x1A");
    EXPECT_FALSE(f.BitBtn1->isEnabled());
    // The note is now of one kind: the next save asks nothing.
    TypeInto(f.Editor1, "y");
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(platform_.questions.size(), 2u);
    EXPECT_EQ(Read(Note("m.txt")), "xy" + k + "\nb\nc\nd\ne\n" + k + "\x1A");
    EXPECT_TRUE(platform_.messages.empty());
}

// Another program changed the note while the viewer had it open: "訂正保存" asks before it
// writes, naming the note; cancel (the default) writes nothing and keeps the text.
TEST_F(ViewerTest, ANoteChangedOnDiskIsOverwrittenOnlyWhenTheUserSaysSo) {
    const std::string note = S("一行目\r\n誤字がある行\r\n");
    const fs::path path = Note("c.txt");
    const disk_changes::Change cases[] = {
        {"other bytes", [&] { Write(path, note + S("追記\r\n")); }, false},
        {"same size, modification time set back", [&] { disk_changes::SameSizeAndTime(path); },
         false},
        {"replaced by a file of the same bytes",
         [&] {
             Write(dir_ / "data" / "new.txt", note);
             fs::rename(dir_ / "data" / "new.txt", path);
         },
         false},
        {"removed", [&] { fs::remove(path); }, true},
    };
    for (const disk_changes::Change& c : cases) {
        SCOPED_TRACE(c.name);
        platform_.questions.clear();
        Write(path, note);
        TForm4& f = Open("c.txt", S("誤字がある行"));
        f.Editor1->setFocus();
        QTest::keyClick(f.Editor1, Qt::Key_Home, Qt::ControlModifier);
        TypeInto(f.Editor1, "x");
        c.make();
        const std::string theirs = fs::exists(path) ? Read(path) : "<none>";

        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        ASSERT_EQ(platform_.questions.size(), 1u);
        disk_changes::ExpectAskedAbout(platform_.questions[0], Dir() + "/data/c.txt", c.removed);
        EXPECT_EQ(fs::exists(path) ? Read(path) : "<none>", theirs);
        EXPECT_EQ(Text(), "x" + note);
        EXPECT_TRUE(f.BitBtn1->isEnabled());

        platform_.answers = {true};
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        EXPECT_EQ(platform_.questions.size(), 2u);
        EXPECT_EQ(Read(path), "x" + note);
        EXPECT_FALSE(f.BitBtn1->isEnabled());

        // What was written is what was loaded: the next save asks nothing.
        TypeInto(f.Editor1, "y");
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        EXPECT_EQ(platform_.questions.size(), 2u);
        EXPECT_EQ(Read(path), "xy" + note);
        EXPECT_TRUE(platform_.messages.empty());
    }
}

TEST_F(ViewerTest, AFailedSaveKeepsTheFileAndTheText) {
    const std::string note = "first\r\nsecond\r\n";
    Write(Note("i.txt"), note);
    TForm4& f = Open("i.txt", "second");
    f.Editor1->Lines().Put(1, "SECOND");
    fs::permissions(Note("i.txt"), fs::perms::owner_read);
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_NE(platform_.messages[0].text.find("i.txt"), std::string::npos);
    EXPECT_EQ(Read(Note("i.txt")), note);
    EXPECT_EQ(Text(), "first\r\nSECOND\r\n");
    EXPECT_TRUE(f.BitBtn1->isEnabled());
    EXPECT_TRUE(f.Editor1->Modified());
    EXPECT_TRUE(platform_.questions.empty());
    // The folder vanished meanwhile: asked first, and the write then fails.
    fs::permissions(Note("i.txt"), fs::perms::owner_all);
    fs::remove_all(dir_ / "data");
    platform_.answers = {true};
    QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(platform_.questions.size(), 1u);
    EXPECT_EQ(platform_.messages.size(), 2u);
    EXPECT_FALSE(fs::exists(dir_ / "data"));
    EXPECT_TRUE(f.BitBtn1->isEnabled());
}

TEST_F(ViewerTest, TagRemovalShowsTheTextAndNeverSavesIt) {
    const std::string html =
        S("<html><body>\r\n<p>本文 "
          "ソ表能ポ</p>\r\n\r\n\r\n\r\n\r\n\r\n\r\n<b>太字</b>\r\n</body></html>\r\n");
    Write(Note("j.html"), html);
    TForm4& f = Open("j.html", S("<p>本文 ソ表能ポ</p>"));
    ASSERT_TRUE(f.BitBtn7->isEnabled());
    QTest::mouseClick(f.BitBtn7, Qt::LeftButton);
    EXPECT_EQ(Text(), S("　\r\n本文 ソ表能ポ\r\n太字\r\n"));
    EXPECT_FALSE(f.BitBtn7->isEnabled());
    EXPECT_FALSE(f.BitBtn1->isEnabled());
    EXPECT_EQ(f.FTagsRemoved, 100);
    EXPECT_EQ(Selection(), std::make_pair(0, 0));
    f.Editor1->Lines().Put(1, "typed");
    EXPECT_FALSE(f.BitBtn1->isEnabled());
    f.BitBtn1Click(); // even when asked directly
    EXPECT_EQ(Read(Note("j.html")), html);
}

TEST_F(ViewerTest, TheExcerptLeavesOutBracketedParts) {
    Write(Note("k.txt"), S("前置き a(b)d（e(f)g）h 後書き\r\nx(y\r\n"));
    TForm4& f = Open("k.txt", "x(y");
    struct Case {
        int start, length;
        std::string excerpt;
        std::vector<std::string> messages;
    } cases[] = {
        {7, 15, "adh", {}},
        {31, 3, "x", {MissingCloseBracketMessage()}},
    };
    for (const Case& c : cases) {
        platform_.messages.clear();
        f.Editor1->SetSelStart(c.start);
        f.Editor1->SetSelLength(c.length);
        QTest::mouseClick(f.BitBtn6, Qt::LeftButton);
        EXPECT_EQ(f.Editor2->Lines().Text(), c.excerpt);
        EXPECT_EQ(platform_.MessageTexts(), c.messages);
        // The selection went through the clipboard, which keeps it.
        EXPECT_EQ(platform_.clipboard, f.Editor1->SelText());
    }
    // Nothing selected: the clipboard's text is taken.
    platform_.clipboard = "a)b(d)";
    platform_.messages.clear();
    f.Editor1->SetSelLength(0);
    QTest::mouseClick(f.BitBtn6, Qt::LeftButton);
    EXPECT_EQ(f.Editor2->Lines().Text(), "a)");
    EXPECT_EQ(platform_.MessageTexts(), std::vector<std::string>{MissingOpenBracketMessage()});
    EXPECT_EQ(f.Editor2->height(), 1 * 18 + 20);
}

TEST_F(ViewerTest, ThePlacementIsKeptInTheSettingsFile) {
    Write(Note("l.txt"), "text\r\n");
    TForm4& f = Open("l.txt", "text");
    f.close();
    const std::string ini = Read(dir_ / "Quelvra.ini");
    EXPECT_NE(ini.find("[form4]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("form4.XSize="), std::string::npos) << ini;
}

TEST_F(ViewerTest, BothEditorsTakeTypedTabsAndLineBreaks) {
    Write(Note("t.txt"), S("ソ表\r\n"));
    TForm4& f = Open("t.txt", S("ソ表"));
    for (editor::TEditor* e : {f.Editor1, f.Editor2}) {
        EXPECT_FALSE(e->ReadOnly());
        e->setFocus();
        e->SetSelStart(0);
        e->SetSelLength(0);
        QTest::keyClick(e, Qt::Key_Return);
        QTest::keyClick(e, Qt::Key_Tab);
        QTest::keyClicks(e, QStringLiteral("x"));
    }
    EXPECT_EQ(Text(), S("\r\n\txソ表\r\n"));
    EXPECT_EQ(f.Editor2->Lines().Text(), "\r\n\tx");
    EXPECT_TRUE(f.BitBtn1->isEnabled());
}

} // namespace
