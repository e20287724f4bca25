// The main window as a screen reader reads it: the names of its controls, the result pane's
// text and caret.
#include "accessible_names.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QRegularExpression>
#include <QTextEdit>

namespace {

using testing_a11y::AccessibleName;

class MainWindowAccessibilityTest : public WindowFixture {};

TEST_F(MainWindowAccessibilityTest, EveryControlHasItsName) {
    TForm1& f = Form();
    EXPECT_EQ(testing_a11y::NamingFaults(&f).join(QLatin1Char('\n')).toStdString(), "");
    // Fields without a caption are named by what they take; picture buttons by their hint.
    EXPECT_EQ(AccessibleName(f.ComboBox1).toStdString(), "キーワード１");
    EXPECT_EQ(AccessibleName(f.ComboBox2).toStdString(), "キーワード２");
    EXPECT_EQ(AccessibleName(f.ComboBox4).toStdString(), "キーワード３");
    EXPECT_EQ(AccessibleName(f.RichEdit1).toStdString(), "検索結果");
    EXPECT_EQ(AccessibleName(f.BitBtn9).toStdString(), "ヒット行のファイルを開きます");
    EXPECT_EQ(AccessibleName(f.BitBtn5).toStdString(), "検索を中止します");
    EXPECT_EQ(AccessibleName(f.SearchBtn).toStdString(), "検索");
    // The three "check" buttons share their caption; what each paints tells them apart.
    QAccessibleInterface* check = QAccessible::queryAccessibleInterface(f.BitBtn6);
    ASSERT_TRUE(check);
    EXPECT_EQ(check->text(QAccessible::Description).toStdString(),
              "キーワード２の語に色を付けます");
}

TEST_F(MainWindowAccessibilityTest, ResultPanePublishesItsTextAndCaret) {
    Write("data/a.txt", "東京の表示\r\nなし\r\nソ能の東京ポ\r\n");
    SearchFor("東京");
    TResultPane& pane = Pane();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&pane);
    ASSERT_TRUE(a);
    QAccessibleTextInterface* text = a->textInterface();
    ASSERT_TRUE(text);

    // The pane's lines, as the user sees them.
    const QStringList published = text->text(0, text->characterCount())
                                      .split(QRegularExpression(QStringLiteral("[\n\u2029]")));
    QStringList lines;
    for (int i = 0; i < pane.LineCount(); ++i)
        lines << app::ToQ(pane.Line(i));
    EXPECT_EQ(published.join(QLatin1Char('\n')).toStdString(),
              lines.join(QLatin1Char('\n')).toStdString());
    ASSERT_GE(lines.indexOf(app::U("    ソ能の東京ポ")), 0);

    // Keys move the caret; its place is published with it.
    pane.setFocus();
    const int target = lines.indexOf(app::U("    ソ能の東京ポ"));
    QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < target; ++i)
        QTest::keyClick(&pane, Qt::Key_Down);
    QTest::keyClick(&pane, Qt::Key_End);

    // Each line is followed by one separator in the published text.
    int lineStart = 0;
    for (int i = 0; i < target; ++i)
        lineStart += static_cast<int>(lines[i].size()) + 1;
    const int caret = text->cursorPosition();
    EXPECT_EQ(caret, lineStart + static_cast<int>(lines[target].size()));
    int start = 0, end = 0;
    const QString line = text->textAtOffset(lineStart, QAccessible::LineBoundary, &start, &end);
    EXPECT_EQ(line.trimmed(), lines[target].trimmed());
    EXPECT_EQ(start, lineStart);
}

} // namespace
