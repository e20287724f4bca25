// Keyword operators, the web search and the keyword colour list, driven through the window.
#include "window_fixture.h"

#include "keyword_window.h"
#include "mail_and_hp.h"
#include "result_pane.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

namespace {

class QueryOpsTest : public WindowFixture {
  protected:
    // Focuses a keyword field, gives it a text and runs one of the operator items on it.
    QString Apply(QComboBox* field, const QString& text, QAction* item, int times = 1) {
        Form().activateWindow();
        field->setFocus();
        field->setEditText(text);
        for (int i = 0; i < times; ++i)
            item->trigger();
        return field->currentText();
    }
};

TEST_F(QueryOpsTest, OperatorsActOnTheFocusedField) {
    TForm1& f = Form();
    struct Case {
        QAction* item;
        QString before;
        int times;
        QString after;
    };
    const Case cases[] = {
        {f.or1, QStringLiteral("abc"), 1, QStringLiteral("abc|")},
        {f.or1, QStringLiteral("abc"), 2, QStringLiteral("abc||")},
        {f.or1, QString(), 1, QString()},
        {f.not1, app::U("東京"), 1, app::U("東京[^◆]")},
        {f.not1, QString(), 1, QString()},
        {f.notgoogle1, QStringLiteral("abc"), 1, QStringLiteral("-abc")},
        {f.notgoogle1, QString(), 1, QStringLiteral("-")},
    };
    for (QComboBox* field : {f.ComboBox1, f.ComboBox2, f.ComboBox4})
        for (const Case& c : cases) {
            SCOPED_TRACE(field->objectName().toStdString() + " " +
                         c.item->objectName().toStdString() + " " + c.before.toStdString());
            EXPECT_EQ(Apply(field, c.before, c.item, c.times), c.after);
            EXPECT_EQ(field->lineEdit()->cursorPosition(), c.after.size());
        }
    // The other fields are left alone.
    f.ComboBox2->setEditText(QStringLiteral("other"));
    Apply(f.ComboBox1, QStringLiteral("x"), f.or1);
    EXPECT_EQ(f.ComboBox2->currentText(), QStringLiteral("other"));
}

// Through the field's own context menu, chosen with the keyboard as a user would.
TEST_F(QueryOpsTest, ContextMenuOfEachKeywordFieldCarriesTheOperators) {
    TForm1& f = Form();
    for (QComboBox* field : {f.ComboBox1, f.ComboBox2, f.ComboBox4}) {
        SCOPED_TRACE(field->objectName().toStdString());
        Form().activateWindow();
        field->setFocus();
        field->setEditText(QStringLiteral("abc"));
        QStringList captions;
        QTimer::singleShot(0, [&] {
            QWidget* menu = QApplication::activePopupWidget();
            if (!menu) return;
            for (QAction* a : menu->actions())
                captions << a->text();
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Down); // the third item
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                field->lineEdit()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(field->lineEdit(), &event);
        EXPECT_EQ(captions, (QStringList{QStringLiteral("or"), app::U("not　ﾃｷｽﾄ検索の場合"),
                                         app::U("not　googleの場合")}));
        EXPECT_EQ(field->currentText(), QStringLiteral("-abc"));
    }
}

TEST_F(QueryOpsTest, WebSearchOpensTheEnginesAddressWithShiftJisBytesEncoded) {
    TForm1& f = Form();
    struct Case {
        QRadioButton* engine;
        std::string address;
    };
    const Case cases[] = {
        {f.RadioButton7, "http://www.google.co.jp/search?hl=ja&inlang=ja&ie=Shift_JIS&oe=Shift_JIS"
                         "&q=%96%7B%20%8E%D8%97p%20&lr=lang_ja"},
        {f.RadioButton8, "http://search.yahoo.co.jp/bin/query?p=%96%7B%20%8E%D8%97p%20"},
        {f.RadioButton9, "http://www.excite.co.jp/search.gw?target=combined&look=excite_jp&lang=jp"
                         "&search=%96%7B%20%8E%D8%97p%20&pref=jp"},
        {f.RadioButton10, "http://www.infoseek.co.jp/Titles?col=JW&qt=%96%7B%20%8E%D8%97p%20"},
    };
    for (const Case& c : cases) {
        platform_.opened.clear();
        f.ComboBox1->setEditText(app::U("本"));
        f.ComboBox2->setEditText(app::U("借用"));
        f.ComboBox4->setEditText(QString());
        QTest::mouseClick(c.engine, Qt::LeftButton);
        EXPECT_TRUE(f.OptionsChanged);
        QTest::mouseClick(f.BitBtn11, Qt::LeftButton);
        ASSERT_EQ(platform_.opened.size(), 1u);
        EXPECT_EQ(platform_.opened[0], c.address);
        // The address is kept as composed, raw Shift-JIS.
        EXPECT_EQ(f.MailAndHP1.HomePageAddress.find(S("q=本 借用 &")) != std::string::npos,
                  c.engine == f.RadioButton7);
    }
    EXPECT_TRUE(f.MailAndHP1.Opened);

    // Characters with a meaning in a query reach the engine as typed: "+" is no blank, "&" no
    // next key, "%41" no "A"; the operators' "|", "[^◆]" and "-" are encoded as ever.
    platform_.opened.clear();
    QTest::mouseClick(f.RadioButton7, Qt::LeftButton);
    f.ComboBox1->setEditText(QStringLiteral("C++"));
    f.ComboBox2->setEditText(QStringLiteral("AT&T=1;#2"));
    f.ComboBox4->setEditText(app::U("-100%41|[^◆]"));
    QTest::mouseClick(f.BitBtn11, Qt::LeftButton);
    ASSERT_EQ(platform_.opened.size(), 1u);
    EXPECT_EQ(platform_.opened[0],
              "http://www.google.co.jp/search?hl=ja&inlang=ja&ie=Shift_JIS&oe=Shift_JIS"
              "&q=C%2B%2B%20AT%26T%3D1%3B%232%20-100%2541%7C%5B%5E%81%9F%5D&lr=lang_ja");
    QTest::mouseClick(f.RadioButton10, Qt::LeftButton);

    // All fields empty: the query is the two separating spaces.
    platform_.opened.clear();
    f.ComboBox1->setEditText(QString());
    f.ComboBox2->setEditText(QString());
    f.ComboBox4->setEditText(QString());
    QTest::mouseClick(f.BitBtn11, Qt::LeftButton);
    ASSERT_EQ(platform_.opened.size(), 1u);
    EXPECT_EQ(platform_.opened[0], "http://www.infoseek.co.jp/Titles?col=JW&qt=%20%20");
}

TEST_F(QueryOpsTest, WebSearchUpdatesHistoriesWithTheTextsAsTheyStand) {
    TForm1& f = Form();
    f.ComboBox1->setEditText(QStringLiteral(" abc "));
    f.ComboBox2->setEditText(app::U("　"));
    f.ComboBox4->setEditText(QString());
    QTest::mouseClick(f.BitBtn11, Qt::LeftButton);
    EXPECT_TRUE(f.HistoryChanged);
    ASSERT_EQ(f.ComboBox1->count(), 1);
    EXPECT_EQ(f.ComboBox1->itemText(0), QStringLiteral(" abc "));
    ASSERT_EQ(f.ComboBox2->count(), 1);
    EXPECT_EQ(f.ComboBox2->itemText(0), app::U("　"));
    EXPECT_EQ(f.ComboBox4->count(), 0);
    EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral(" abc "));

    // Ten entries at most; a repeat in other letter case moves to the top.
    for (int i = 0; i < 12; ++i) {
        f.ComboBox1->setEditText(QStringLiteral("k%1").arg(i));
        QTest::mouseClick(f.BitBtn11, Qt::LeftButton);
    }
    EXPECT_EQ(f.ComboBox1->count(), 10);
    f.ComboBox1->setEditText(QStringLiteral("K5"));
    QTest::mouseClick(f.BitBtn11, Qt::LeftButton);
    EXPECT_EQ(f.ComboBox1->count(), 10);
    EXPECT_EQ(f.ComboBox1->itemText(0), QStringLiteral("K5"));
    EXPECT_EQ(f.ComboBox1->findText(QStringLiteral("k5")), -1);
}

TEST(MailAndHP, AddressEncoding) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"http://h/p?q=a b", "http://h/p?q=a%20b"},
        {"http://h/p?q=[^x]|y", "http://h/p?q=%5B%5Ex%5D%7Cy"},
        {"http://h/p?q=100%&r=%41", "http://h/p?q=100%25&r=%41"},
        {"http://h/p?q=C#\"<>", "http://h/p?q=C%23%22%3C%3E"},
        {"http://h/?q=\x83\x5C\t", "http://h/?q=%83%5C%09"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TMailAndHP::EncodeAddress(c.in), c.out) << c.in;
    app::FakePlatform platform;
    platform.shellOpenResult = false;
    TMailAndHP hp;
    EXPECT_EQ(hp.HomePageAddress, "http://");
    hp.OpenHomePage();
    EXPECT_FALSE(hp.Opened);
    EXPECT_TRUE(platform.messages.empty());
}

// The keyword colour list over the window's result pane.
class KeywordPaintTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        Write("color.ini", "");
        std::filesystem::create_directories(root_ / "data"); // a folder to list
    }
    TForm2& Keywords(const std::string& listUtf8) {
        if (!form2_) {
            form2_ = std::make_unique<TForm2>(Root(), &Form());
            Form().AttachKeywordWindow(form2_.get());
        }
        form2_->Memo1->setPlainText(app::U(listUtf8.c_str()));
        return *form2_;
    }
    void PaneText(const std::vector<std::string>& linesUtf8) {
        TResultPane& pane = *Form().RichEdit1;
        pane.Clear();
        for (const std::string& l : linesUtf8)
            pane.AppendLine(S(l.c_str()));
        pane.SetSelStart(0); // where a search leaves the caret
    }
    // Colour and boldness of `len` bytes at `pos`.
    std::pair<std::uint32_t, bool> Look(std::int64_t pos, std::int64_t len) {
        TResultPane& pane = *Form().RichEdit1;
        pane.Select(pos, len);
        return {pane.SelColor(), pane.SelBold()};
    }
    void TearDown() override {
        // Nothing here has a message to give.
        for (const auto& m : platform_.MessageTexts())
            ADD_FAILURE() << cp932::ToUtf8(m);
        form2_.reset();
        WindowFixture::TearDown();
    }
    std::unique_ptr<TForm2> form2_;
};

TEST_F(KeywordPaintTest, WordsTakeTheColourOfTheMarkerAboveThem) {
    PaneText({"東京と大阪と京都", "Tokyo tokyo"});
    TForm2& k = Keywords("東京\n//赤\n大阪\n//赤 \n京都\n\n//緑\nTOKYO\n");
    k.BitBtn1Click();
    const std::int64_t line2 = Form().RichEdit1->PositionOfLine(1);
    EXPECT_EQ(Look(0, 4), std::make_pair(0xFF0000u, true));         // before any marker: blue
    EXPECT_EQ(Look(6, 4), std::make_pair(0x0000FFu, true));         // red
    EXPECT_EQ(Look(12, 4), std::make_pair(0x0000FFu, true));        // "//赤 " is a word: still red
    EXPECT_EQ(Look(4, 2), std::make_pair(0u, false));               // と untouched
    EXPECT_EQ(Look(line2, 5), std::make_pair(0x008000u, true));     // case ignored
    EXPECT_EQ(Look(line2 + 6, 5), std::make_pair(0x008000u, true)); // every occurrence
    EXPECT_TRUE(k.BitBtn1->isEnabled());
    EXPECT_TRUE(k.BitBtn2->isEnabled());
    EXPECT_FALSE(k.BitBtn3->isVisible());
    EXPECT_EQ(platform_.waitCursorDepth, 0);
}

TEST_F(KeywordPaintTest, LaterWordWinsWhereWordsOverlap) {
    PaneText({"東京都の東京", "x"}); // two lines: two occurrences a word
    Keywords("東京都\n//赤\n東京").BitBtn1Click();
    EXPECT_EQ(Form().RichEdit1->SelStart(), 0); // the painting leaves no selection behind
    EXPECT_EQ(Form().RichEdit1->SelLength(), 0);
    EXPECT_EQ(Look(0, 4), std::make_pair(0x0000FFu, true)); // painted twice: red last
    EXPECT_EQ(Look(4, 2), std::make_pair(0xFF0000u, true)); // 都 keeps the first word's blue
    EXPECT_EQ(Look(6, 2), std::make_pair(0u, false));       // の
    EXPECT_EQ(Look(8, 4), std::make_pair(0x0000FFu, true));
}

TEST_F(KeywordPaintTest, ATwoByteWordPaintsItselfNotOneThatDiffersInASecondByte) {
    // 蓋 (0x8A 0x57) and 学 (0x8A 0x77): a one-line pane gives one occurrence, the real one.
    PaneText({"蓋と学"});
    Keywords("学").BitBtn1Click();
    EXPECT_EQ(Look(0, 2), std::make_pair(0u, false));
    EXPECT_EQ(Look(4, 2), std::make_pair(0xFF0000u, true));
}

TEST_F(KeywordPaintTest, NoMoreOccurrencesThanThePaneHasLines) {
    PaneText({"ab ab ab ab", "x"});
    Keywords("ab").BitBtn1Click();
    EXPECT_TRUE(Look(0, 2).second);
    EXPECT_TRUE(Look(3, 2).second);
    EXPECT_FALSE(Look(6, 2).second);
    EXPECT_FALSE(Look(9, 2).second);
}

TEST_F(KeywordPaintTest, AMarkerSwitchedOnPaintsNothingOfItsOwnAndTheWordsTakeTheirColour) {
    PaneText({"東京と大阪", "東京"});
    Form().SetMarker(0x008000); // green marker mode, set on an empty selection
    Keywords("//赤\n東京").BitBtn1Click();
    const std::int64_t line2 = Form().RichEdit1->PositionOfLine(1);
    EXPECT_TRUE(Form().MarkerActive);
    Form().MarkerActive = false; // so that looking (selecting) paints nothing
    EXPECT_EQ(Look(0, 4), std::make_pair(0x0000FFu, true));
    EXPECT_EQ(Look(4, 6), std::make_pair(0u, false)); // と大阪 is neither green nor bold
    EXPECT_EQ(Look(line2, 4), std::make_pair(0x0000FFu, true));
}

TEST_F(KeywordPaintTest, ManyHitLinesArePaintedEveryOne) {
    // Thousands of lines: the paintings are laid out in batches along the way.
    std::vector<std::string> lines(3000, "    東京と大阪");
    PaneText(lines);
    Keywords("大阪").BitBtn1Click();
    TResultPane& pane = *Form().RichEdit1;
    for (int i : {0, 1499, 2999}) {
        const std::int64_t at = pane.PositionOfLine(i);
        EXPECT_EQ(Look(at + 10, 4), std::make_pair(0xFF0000u, true)) << i;
        EXPECT_EQ(Look(at + 4, 6), std::make_pair(0u, false)) << i;
    }
}

TEST_F(KeywordPaintTest, StopEndsEveryRemainingWordButMarkersStillSwitch) {
    PaneText({"aa bb cc"});
    TForm2& k = Keywords("aa\nbb\ncc");
    int pumps = 0;
    platform_.onPump = [&] {
        if (++pumps == 2) {
            EXPECT_TRUE(k.BitBtn3->isVisible());
            EXPECT_FALSE(k.BitBtn1->isEnabled());
            QTest::mouseClick(k.BitBtn3, Qt::LeftButton);
        }
    };
    k.show();
    k.BitBtn1Click();
    EXPECT_TRUE(Look(0, 2).second);
    EXPECT_FALSE(Look(3, 2).second);
    EXPECT_FALSE(Look(6, 2).second);
    EXPECT_TRUE(k.BitBtn1->isEnabled());
    EXPECT_FALSE(k.BitBtn3->isVisible());
}

TEST_F(KeywordPaintTest, KeywordButtonShowsTheListModally) {
    Keywords("");
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = form2_->isVisible() && form2_->isModal();
        form2_->BitBtn2->click();
    });
    QTest::mouseClick(Form().BitBtn8, Qt::LeftButton);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(form2_->isVisible());
}

// The result pane as a working document: a search, a marker, the keyword list and a bracket
// removal, saved, the program closed and started again, loaded back unchanged.
TEST_F(KeywordPaintTest, PaintedResultsComeBackAfterARestart) {
    Write("data/a.txt", "東京（とうきょう）の天気\r\n大阪の天気\r\n東京タワーの高さ\r\n");
    ChooseFolder(QStringLiteral("data"));
    Form().ComboBox1->setEditText(app::U("東京"));
    QTest::mouseClick(Form().SearchBtn, Qt::LeftButton);
    ASSERT_EQ(Form().HitCount, 2);
    TResultPane& pane = *Form().RichEdit1;

    Keywords("//赤\n天気\n//緑\nタワー").BitBtn1Click();
    const std::int64_t hit1 = pane.PositionOfLine(3) + 4;
    pane.Select(hit1, 4);
    Form().SetMarker(0x0000FF);
    Form().N24Click();
    pane.Select(hit1, 24); // 東京（とうきょう）の天気
    Form().N1Click();
    EXPECT_EQ(pane.Line(3), "    " + S("東京の天気東京（とうきょう）の天気"));
    for (const auto& m : platform_.MessageTexts())
        ADD_FAILURE() << cp932::ToUtf8(m);

    const auto runs = pane.Runs();
    const std::string text = pane.Text();
    Form().N12Click();
    form2_.reset(); // a child of the window
    CloseForm();

    Form().N11Click();
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Form().RichEdit1->Text(), text);
    EXPECT_EQ(Form().RichEdit1->Runs(), runs);
    const std::int64_t tower = Form().RichEdit1->FindText(S("タワー"), 0);
    ASSERT_GE(tower, 0);
    EXPECT_EQ(Look(tower, 6), std::make_pair(0x008000u, true));
}

} // namespace
