// The editor painted into an image under the offscreen platform: colours, marks, bars and ruler
// checked pixel by pixel where they matter.
#include "editor.h"

#include "codec.h"
#include "fake_platform.h"
#include "fonts.h"

#include <QApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>
#include <tuple>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

QColor Rgb(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

struct Editor : TEditor {
    Editor() {
        SetEditorFont(app::MapFont("FixedSys", 14));
        SetColor(clWhite);
        SetFontColor(clBlack);
        resize(640, 400);
    }
    QImage Shot() {
        QImage i = viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (qEnvironmentVariableIsSet("SHOT")) i.save(QString("/tmp/shot_%1.png").arg(shots++));
        return i;
    }
    static inline int shots = 0;
    int W() const { return Metrics().ColWidth; }
    int H() const { return Metrics().FontHeight; }
    // The rectangle of display columns [From, To) on row R (one font height).
    QRect Cells(int R, int From, int To) const {
        return QRect(ColX(From), RowY(R), (To - From) * W(), H());
    }
};

int Count(const QImage& img, const QRect& r, const QColor& c) {
    int n = 0;
    const QRect b = r & img.rect();
    for (int y = b.top(); y <= b.bottom(); ++y)
        for (int x = b.left(); x <= b.right(); ++x)
            if (img.pixelColor(x, y) == c) ++n;
    return n;
}

// Pixels near a colour (glyphs are antialiased).
int Near(const QImage& img, const QRect& r, const QColor& c) {
    int n = 0;
    const QRect b = r & img.rect();
    for (int y = b.top(); y <= b.bottom(); ++y)
        for (int x = b.left(); x <= b.right(); ++x) {
            QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                    std::abs(p.blue() - c.blue()) <
                120)
                ++n;
        }
    return n;
}

// Pixels that are neither of two colours (glyph ink, antialiased or not).
int Ink(const QImage& img, const QRect& r, const QColor& bg) {
    int n = 0;
    const QRect b = r & img.rect();
    for (int y = b.top(); y <= b.bottom(); ++y)
        for (int x = b.left(); x <= b.right(); ++x)
            if (img.pixelColor(x, y) != bg) ++n;
    return n;
}

TEST(EditorDrawing, EveryByteIsOneCellWhateverTheGlyphs) {
    Editor e;
    e.List().LoadText(Sjis("ab表ソ能ポcd"));
    QImage img = e.Shot();
    const QColor white = Rgb(clWhite);
    // Each two-byte character inks its own two cells; "c" and "d" their one.
    for (auto [from, to] :
         {std::pair{0, 1}, {1, 2}, {2, 4}, {4, 6}, {6, 8}, {8, 10}, {10, 11}, {11, 12}})
        EXPECT_GT(Ink(img, e.Cells(0, from, to), white), 0) << from;
    EXPECT_EQ(Ink(img, e.Cells(0, 12, 30), white), 0);
    EXPECT_EQ(e.ColX(10) - e.ColX(0), 10 * e.W());
}

TEST(EditorDrawing, SelectionColoursAndInversion) {
    struct Case {
        TColor bk, fg;
        QColor wantBk, wantFg;
    } cases[] = {
        {clNavy, clWhite, Rgb(clNavy), Rgb(clWhite)}, // the tokenizer's defaults
        {clNone, clNone, Rgb(clBlack), Rgb(clWhite)}, // clNone: Font.Color behind, Color on top
        {clRed, clNone, Rgb(clRed), Rgb(clWhite)},
    };
    for (const Case& c : cases) {
        Editor e;
        e.View().Colors().Select().SetBkColor(c.bk);
        e.View().Colors().Select().SetColor(c.fg);
        e.List().LoadText(Sjis("abcdef\r\n表ソ能ポxy\r\nlast"));
        e.SetRowCol(0, 2);
        e.StartSelection();
        e.SetRowCol(1, 4);
        e.UpdateSelection();
        QImage img = e.Shot();
        // Row 0 from column 2 on, row 1 up to column 4: selection background; the rest plain.
        QRect selected0 = e.Cells(0, 2, 6), plain0 = e.Cells(0, 0, 2);
        QRect selected1 = e.Cells(1, 0, 4), plain1 = e.Cells(1, 4, 10);
        for (QRect r : {selected0, selected1}) {
            EXPECT_GT(Count(img, r, c.wantBk), r.width() * r.height() / 3);
            EXPECT_GT(Near(img, r, c.wantFg), 0);
        }
        for (QRect r : {plain0, plain1})
            EXPECT_EQ(Count(img, r, c.wantBk),
                      c.wantBk == Rgb(clBlack) ? Count(img, r, Rgb(clBlack)) : 0);
        EXPECT_GT(Count(img, plain1, Rgb(clWhite)), plain1.width() * plain1.height() / 3);
        // The first row is selected to the right edge; the last row not.
        EXPECT_GT(Count(img, e.Cells(0, 20, 30), c.wantBk), 0);
        EXPECT_EQ(Count(img, e.Cells(2, 0, 30), c.wantBk),
                  c.wantBk == Rgb(clBlack) ? Count(img, e.Cells(2, 0, 30), Rgb(clBlack)) : 0);
    }
}

TEST(EditorDrawing, BoxSelectionAndSearchHit) {
    Editor e;
    e.List().LoadText(Sjis("abcdef\r\n表ソ能ポxy\r\nlast"));
    e.SetSelectionMode(true);
    e.SetRowCol(0, 1);
    e.StartSelection();
    e.SetRowCol(2, 3);
    e.UpdateSelection();
    QImage img = e.Shot();
    const QColor navy = Rgb(clNavy);
    // Columns 1..3 on each row; on row 1 the edge at 3 (right half of ソ) moves to 4.
    EXPECT_GT(Count(img, e.Cells(0, 1, 3), navy), 0);
    EXPECT_EQ(Count(img, e.Cells(0, 3, 10), navy), 0);
    EXPECT_GT(Count(img, e.Cells(1, 3, 4), navy), 0);
    EXPECT_EQ(Count(img, e.Cells(1, 4, 10), navy), 0);
    EXPECT_EQ(Count(img, e.Cells(2, 0, 1), navy), 0);

    // A hit shown with hsDraw uses the hit colours and is no selection.
    e.CleanSelection();
    e.SetSelectionMode(false);
    e.View().Colors().Hit().SetBkColor(0x00FFFF);
    e.View().Colors().Hit().SetColor(clBlack);
    e.SetHitStyle(hsDraw);
    e.SetRowCol(0, 0);
    ASSERT_TRUE(e.Search(Sjis("能ポ"), 1));
    EXPECT_FALSE(e.Selected());
    EXPECT_EQ(e.SelLength(), 0);
    EXPECT_EQ(e.HitLength(), 4);
    img = e.Shot();
    EXPECT_GT(Count(img, e.Cells(1, 4, 8), Rgb(0x00FFFF)), 0);
    EXPECT_EQ(Count(img, e.Cells(1, 0, 4), Rgb(0x00FFFF)), 0);
}

TEST(EditorDrawing, EndMarksInTheirShapes) {
    Editor e;
    e.Marks().EofMark().SetVisible(true);
    e.Marks().EofMark().SetColor(clRed);
    e.Marks().RetMark().SetVisible(true);
    e.Marks().RetMark().SetColor(clBlue);
    e.Marks().WrapMark().SetVisible(true);
    e.Marks().WrapMark().SetColor(clFuchsia);
    e.WrapOption().SetWrapByte(20);
    e.SetWordWrap(true);
    e.List().LoadText(std::string(25, 'a') + "\r\nxy");
    ASSERT_EQ(e.RowCount(), 3);
    QImage img = e.Shot();
    const int w = e.W(), h = e.H();
    // Row 0 is wrapped: "<" after its 20 columns.
    const int f = std::max(2, w * 3 / 5);
    EXPECT_EQ(img.pixelColor(e.ColX(20) + w - f, e.RowY(0) + h / 2), Rgb(clFuchsia));
    // Row 1 ends its line: the arrow's shaft at half a cell after the end.
    EXPECT_EQ(img.pixelColor(e.ColX(5) + w / 2, e.RowY(1) + h / 2), Rgb(clBlue));
    // Row 2 ends the text: "[EOF]" right after "xy", no further than six cells.
    EXPECT_GT(Count(img, e.Cells(2, 2, 8), Rgb(clRed)), 0);
    EXPECT_EQ(Count(img, e.Cells(2, 8, 20), Rgb(clRed)), 0);
    EXPECT_EQ(Count(img, e.Cells(3, 0, 10), Rgb(clRed)), 0);

    // A final line end: the mark starts the next row; an empty text shows it on row 0.
    e.List().LoadText("xy\r\n");
    img = e.Shot();
    EXPECT_EQ(Count(img, e.Cells(0, 2, 8), Rgb(clRed)), 0);
    EXPECT_GT(Count(img, e.Cells(1, 0, 6), Rgb(clRed)), 0);
    e.List().LoadText("");
    img = e.Shot();
    EXPECT_GT(Count(img, e.Cells(0, 0, 6), Rgb(clRed)), 0);
}

TEST(EditorDrawing, ARowIsCutAtColumn1000WithTheHideMark) {
    Editor e;
    e.Marks().HideMark().SetVisible(true);
    e.Marks().HideMark().SetColor(clRed);
    e.Marks().RetMark().SetVisible(true);
    e.Marks().RetMark().SetColor(clBlue);
    e.List().LoadText(std::string(1200, 'a') + "\r\n" + std::string(999, 'b') + Sjis("表") + "c");
    e.SetTopCol(1000);
    ASSERT_GT(e.TopCol(), 950);
    QImage img = e.Shot();
    const int w = e.W(), h = e.H();
    // ">" in the cell after column 1000; nothing is drawn beyond it.
    EXPECT_EQ(img.pixelColor(e.ColX(1000) + w, e.RowY(0) + h / 2), Rgb(clRed));
    EXPECT_GT(Ink(img, e.Cells(0, 990, 1000), Rgb(clWhite)), 0);
    EXPECT_EQ(Ink(img, e.Cells(0, 1002, e.TopCol() + e.VisibleColCount()), Rgb(clWhite)), 0);
    EXPECT_EQ(Count(img, e.Cells(0, 990, 1010), Rgb(clBlue)), 0); // no line-end arrow on a cut row
    // A two-byte character across column 1000 is drawn whole; the mark follows it.
    EXPECT_GT(Ink(img, e.Cells(1, 999, 1001), Rgb(clWhite)), 0);
    EXPECT_EQ(img.pixelColor(e.ColX(1001) + w, e.RowY(1) + h / 2), Rgb(clRed));
}

TEST(EditorDrawing, TokensInTheirColoursAlsoAcrossTheWrap) {
    Editor e;
    e.View().Colors().Reserve().SetColor(clRed);
    TStringList words;
    words.Add("keyword");
    words.Add(Sjis("消費税"));
    e.SetReserveWordList(words);
    e.WrapOption().SetWrapByte(20);
    e.SetWordWrap(true);
    // "keyword" is cut by the wrap at column 20: three letters on row 0, four on row 1.
    e.List().LoadText(std::string(17, ' ') + "keyword " + Sjis("消費税") + " plain");
    ASSERT_EQ(e.List().Text(0).size(), 20u);
    QImage img = e.Shot();
    const QColor red = Rgb(clRed);
    EXPECT_GT(Near(img, e.Cells(0, 17, 20), red), 0);
    EXPECT_GT(Near(img, e.Cells(1, 0, 4), red), 0);
    EXPECT_GT(Near(img, e.Cells(1, 5, 11), red), 0);
    EXPECT_EQ(Near(img, e.Cells(1, 12, 17), red), 0);
    EXPECT_GT(Ink(img, e.Cells(1, 12, 17), Rgb(clWhite)), 0);
}

TEST(EditorDrawing, LeftBarNumbersInBothModes) {
    Editor e;
    e.Leftbar().SetVisible(true);
    e.WrapOption().SetWrapByte(20);
    e.SetWordWrap(true);
    e.List().LoadText(std::string(25, 'a') + "\r\nb\r\n");
    ASSERT_EQ(e.RowCount(), 3);
    struct Case {
        TEditorShowNumberMode mode;
        bool zeroLead, zeroBase;
        std::vector<std::string> labels; // rows 0..4
    } cases[] = {
        {nmRow, false, false, {"   1", "   2", "   3", "   4", ""}},
        {nmRow, true, false, {"0001", "0002", "0003", "0004", ""}},
        {nmRow, false, true, {"   0", "   1", "   2", "   3", ""}},
        {nmLine, false, false, {"   1", "", "   2", "   3", ""}},
        {nmLine, true, true, {"0000", "", "0001", "0002", ""}},
    };
    for (const Case& c : cases) {
        e.Leftbar().SetShowNumberMode(c.mode);
        e.Leftbar().SetZeroLead(c.zeroLead);
        e.Leftbar().SetZeroBase(c.zeroBase);
        for (int r = 0; r < 5; ++r)
            EXPECT_EQ(e.LeftbarLabel(r), c.labels[r]) << c.mode << c.zeroLead << c.zeroBase << r;
    }
    // Row 7 with ZeroLead and four columns reads 0007; numbers are drawn in the bar.
    std::string text;
    for (int i = 0; i < 9; ++i)
        text += "x\r\n";
    e.List().LoadText(text);
    e.Leftbar().SetShowNumberMode(nmRow);
    e.Leftbar().SetZeroLead(true);
    e.Leftbar().SetZeroBase(false);
    e.Leftbar().SetColor(clRed);
    EXPECT_EQ(e.LeftbarLabel(6), "0007");
    QImage img = e.Shot();
    const int x = e.ImagebarWidth() + e.Leftbar().LeftMargin();
    QRect field(x, e.RowY(6), 4 * e.W(), e.H());
    EXPECT_GT(Count(img, field, Rgb(clRed)), 4);
    EXPECT_EQ(Count(img, QRect(x, e.RowY(11), 4 * e.W(), e.H()), Rgb(clRed)), 0);
    // The edge strip: white then grey at the bar's right.
    const int ex = e.ImagebarWidth() + e.LeftbarWidth() - 2;
    EXPECT_EQ(img.pixelColor(ex, e.RowY(3)), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(ex + 1, e.RowY(3)), QColor(Qt::gray));
}

TEST(EditorDrawing, TheLeftBarWidensWhenTheNumbersGainADigit) {
    Editor e;
    e.Leftbar().SetVisible(true);
    e.Leftbar().SetColumn(2);
    std::string text;
    for (int i = 0; i < 98; ++i)
        text += "x\r\n";
    e.List().LoadText(text + "x");
    ASSERT_EQ(e.RowCount(), 99);
    EXPECT_EQ(e.LeftbarDigits(), 2);
    const int margin = e.Metrics().LeftMargin;
    e.List().ReplaceRows(98, 1, "x\r\ny");
    EXPECT_EQ(e.RowCount(), 100);
    EXPECT_EQ(e.LeftbarDigits(), 3);
    EXPECT_EQ(e.Metrics().LeftMargin, margin + e.W());
    EXPECT_EQ(e.LeftbarLabel(99), "100");
}

TEST(EditorDrawing, TheRulerMarksTheCaretsColumn) {
    Editor e;
    e.Ruler().SetVisible(true);
    e.Ruler().SetMarkColor(clRed);
    e.Ruler().SetBkColor(clSilver);
    e.List().LoadText("abcdefghijklmnop");
    EXPECT_EQ(e.RulerHeight(), 11);
    e.SetCol(5);
    QImage img = e.Shot();
    auto cell = [&](int k) { return QRect(e.ColX(k) + 1, 0, e.W() - 1, 6); };
    EXPECT_GT(Count(img, cell(5), Rgb(clRed)), 0);
    EXPECT_EQ(Count(img, cell(4), Rgb(clRed)), 0);
    EXPECT_GT(Count(img, cell(4), Rgb(clSilver)), 0);
    e.SetCol(7);
    img = e.Shot();
    EXPECT_EQ(Count(img, cell(5), Rgb(clRed)), 0);
    EXPECT_GT(Count(img, cell(7), Rgb(clRed)), 0);
    // Full ticks at every tenth column, short ones elsewhere.
    EXPECT_EQ(img.pixelColor(e.ColX(10), 1), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(e.ColX(11), 1), Rgb(clSilver));
    EXPECT_EQ(img.pixelColor(e.ColX(11), 7), QColor(Qt::black));
}

TEST(EditorDrawing, RowMarksShowInTheImageBar) {
    Editor e;
    e.List().LoadText("a\r\nb\r\nc");
    e.SetRowMarks(1, (1 << 3) | (1 << 12));
    QImage img = e.Shot();
    // The built-in digit image has a navy body; the image mark 12 is the blue triangle.
    const QRect cell(0, e.RowY(1), e.ImagebarWidth(), e.Metrics().RowHeight);
    EXPECT_GT(Count(img, cell, QColor(0, 0, 128)), 10);
    EXPECT_EQ(Count(img, QRect(0, e.RowY(0), e.ImagebarWidth(), e.H()), QColor(0, 0, 128)), 0);
}

} // namespace
} // namespace editor

namespace editor {
namespace {

// Records what the editor is asked to paint.
struct Recorder : Editor {
    QRegion painted;
    void paintEvent(QPaintEvent* E) override {
        painted += E->region();
        Editor::paintEvent(E);
    }
    // What the screen holds now (the backing store), against a fresh painting of the same state.
    QImage OnScreen() {
        QPixmap shot = screen()->grabWindow(winId());
        return shot.copy(viewport()->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    void Settle() {
        QApplication::processEvents();
        QApplication::processEvents();
    }
};

int Area(const QRegion& r) {
    int a = 0;
    for (const QRect& q : r)
        a += q.width() * q.height();
    return a;
}

std::string NumberedLines(int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += Sjis("行") + std::to_string(i) + " " + std::string(i % 40, 'x') + "\r\n";
    return text;
}

// What scrolling leaves on the screen (pixels moved, strips painted) is what an editor showing
// the same place from the start paints.
TEST(EditorRepaint, ScrollingShowsTheSameAsDrawingAfresh) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += Sjis("行") + std::to_string(i) + " " + std::string(i % 50, 'x') + "\r\n";
    Recorder a;
    a.Leftbar().SetVisible(true);
    a.List().LoadText(text);
    a.show();
    a.Settle();
    a.ScrollRows(7);
    a.Settle();
    a.ScrollRows(a.VisibleRowCount());
    a.Settle();
    a.SetTopCol(3);
    a.Settle();
    ASSERT_EQ(a.TopRow(), 7 + a.VisibleRowCount());
    Editor b;
    b.Leftbar().SetVisible(true);
    b.List().LoadText(text);
    b.SetTopRow(a.TopRow());
    b.SetTopCol(3);
    b.SetRowCol(a.Row(), a.Col());
    EXPECT_EQ(a.OnScreen(), b.Shot());
}

TEST(EditorRepaint, ScrollingMovesPixelsAndPaintsOnlyTheUncoveredRows) {
    Recorder e;
    e.Leftbar().SetVisible(true);
    e.Marks().RetMark().SetVisible(true);
    e.List().LoadText(NumberedLines(300));
    e.show();
    e.Settle();
    e.painted = QRegion();
    e.ScrollRows(1);
    e.Settle();
    const int rh = e.Metrics().RowHeight;
    // One row's strip at the bottom (a partly shown row too) and the caret-row underline.
    EXPECT_LE(Area(e.painted), 3 * rh * e.viewport()->width());
    EXPECT_EQ(e.OnScreen(), e.Shot());
    e.painted = QRegion();
    e.ScrollRows(-3);
    e.SetTopCol(4);
    e.Settle();
    EXPECT_LT(Area(e.painted), e.viewport()->width() * e.viewport()->height() / 2);
    EXPECT_EQ(e.OnScreen(), e.Shot());
}

TEST(EditorRepaint, AnEditRepaintsItsRowsAndMovesTheRest) {
    Recorder e;
    e.Leftbar().SetVisible(true);
    e.List().LoadText(NumberedLines(300));
    e.show();
    e.Settle();
    const int rh = e.Metrics().RowHeight;
    // The same number of rows: only the changed row.
    e.painted = QRegion();
    e.List().ReplaceRows(5, 1, "changed\r\n");
    ASSERT_EQ(e.RowCount(), 300);
    e.Settle();
    EXPECT_LE(Area(e.painted), 3 * rh * e.viewport()->width());
    EXPECT_TRUE(e.painted.contains(QRect(e.Metrics().LeftMargin, e.RowY(5), 10, rh)));
    EXPECT_EQ(e.OnScreen(), e.Shot());
    // Rows inserted: the rows below move down; the screen matches a fresh painting.
    e.List().ReplaceRows(3, 1, "a\r\nb\r\nc");
    e.Settle();
    EXPECT_EQ(e.OnScreen(), e.Shot());
    e.List().ReplaceRows(2, 4, "z\r\n");
    e.Settle();
    EXPECT_EQ(e.OnScreen(), e.Shot());
    EXPECT_EQ(e.List().Text(2), "z");
}

TEST(EditorRepaint, SelectionChangesRepaintOnlyTheRowsThatChanged) {
    Recorder e;
    e.List().LoadText(NumberedLines(300));
    e.show();
    e.Settle();
    const int rh = e.Metrics().RowHeight;
    e.SetRowCol(2, 1);
    e.StartSelection();
    e.SetRowCol(6, 3);
    e.UpdateSelection();
    e.Settle();
    e.painted = QRegion();
    e.SetRowCol(7, 3);
    e.UpdateSelection();
    e.Settle();
    // Rows 6 and 7 changed; rows 2 to 5 stay.
    EXPECT_GE(e.painted.boundingRect().top(), e.RowY(6));
    EXPECT_LE(e.painted.boundingRect().bottom(), e.RowY(8) + rh);
    EXPECT_EQ(e.OnScreen(), e.Shot());
    e.CleanSelection();
    e.Settle();
    EXPECT_EQ(e.OnScreen(), e.Shot());
}

} // namespace
} // namespace editor

namespace editor {
namespace {

struct Focused : Recorder {
    Focused() {
        List().LoadText(NumberedLines(300));
        show();
        activateWindow();
        setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowActive(this));
        Settle();
    }
};

TEST(EditorCaret, ShownWithTheFocusInItsShapeAndHiddenOutOfView) {
    Focused e;
    ASSERT_TRUE(e.hasFocus());
    e.SetRowCol(3, 2);
    EXPECT_TRUE(e.CaretShown());
    EXPECT_EQ(e.CaretRect(), QRect(e.ColX(2), e.RowY(3), 2, e.H()));
    EXPECT_EQ(e.inputMethodQuery(Qt::ImCursorRectangle).toRect().topLeft(),
              e.viewport()->pos() + QPoint(e.ColX(2), e.RowY(3)));
    // csBrief: a cell wide (two on the left half of a two-byte character), two pixels high.
    e.Caret().SetStyle(csBrief);
    e.SetRowCol(3, 0); // 行 is two-byte
    EXPECT_EQ(e.CaretRect(), QRect(e.ColX(0), e.RowY(3) + e.H() - 2, 2 * e.W(), 2));
    e.SetRowCol(3, 3);
    EXPECT_EQ(e.CaretRect().width(), e.W());
    // Hide requests nest.
    e.HideCaret();
    e.HideCaret();
    EXPECT_FALSE(e.CaretShown());
    e.ShowCaret();
    EXPECT_FALSE(e.CaretShown());
    e.ShowCaret();
    EXPECT_TRUE(e.CaretShown());
    // Out of view: scrolled away it is not shown; a move brings the view to it.
    e.SetTopRow(100);
    EXPECT_FALSE(e.CaretShown());
    e.SetRow(250);
    EXPECT_TRUE(e.CaretShown());
    EXPECT_EQ(e.TopRow(), 250 - e.VisibleRowCount() + 1);
    // Losing the focus hides it.
    e.clearFocus();
    e.Settle();
    EXPECT_FALSE(e.CaretShown());
}

TEST(EditorCaret, AHitShownByTheCaretWidensItUntilTheHitIsDropped) {
    Focused e;
    e.SetHitStyle(hsCaret);
    ASSERT_TRUE(e.Search(Sjis("行12 x"), 1));
    EXPECT_EQ(e.Row(), 12);
    EXPECT_EQ(e.Col(), 0);
    EXPECT_EQ(e.CaretRect().width(), 6 * e.W());
    // Not drawn: the row looks as without a hit.
    e.Settle();
    EXPECT_EQ(Count(e.Shot(), e.Cells(12, 0, 6), Rgb(clNavy)), 0);
    e.CleanSelection();
    EXPECT_EQ(e.CaretRect().width(), 2);
}

TEST(EditorScrollBars, RangesFollowTheTextAndMoveTheView) {
    Focused e;
    QScrollBar* v = e.verticalScrollBar();
    QScrollBar* h = e.horizontalScrollBar();
    EXPECT_EQ(v->maximum(), e.RowCount());
    EXPECT_EQ(v->pageStep(), e.VisibleRowCount());
    EXPECT_EQ(h->maximum(), 1000 - e.VisibleColCount() / 2);
    v->setValue(40);
    EXPECT_EQ(e.TopRow(), 40);
    EXPECT_EQ(e.Row(), 0); // the caret stays without LockScroll
    e.Caret().SetLockScroll(true);
    e.SetRow(45);
    v->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(e.TopRow(), 40 + e.VisibleRowCount());
    EXPECT_EQ(e.Row(), 45 + e.VisibleRowCount());
    h->setValue(5000);
    EXPECT_EQ(e.TopCol(), 1000 - e.VisibleColCount() / 2);
    // The view moves the bars too.
    e.SetTopRow(7);
    EXPECT_EQ(v->value(), 7);
    // Fewer rows: the range shrinks and the view comes back into it.
    e.SetTopRow(290);
    e.List().LoadText(NumberedLines(20));
    EXPECT_EQ(v->maximum(), 20);
    EXPECT_LE(e.TopRow(), 20);
    e.SetScrollBars(ssNone);
    EXPECT_EQ(e.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(EditorMouse, AClickPlacesTheCaretAndADragSelects) {
    Focused e;
    QWidget* vp = e.viewport();
    const QPoint a(e.ColX(3) + 1, e.RowY(2) + 3), b(e.ColX(5) + 1, e.RowY(4) + 3);
    QTest::mousePress(vp, Qt::LeftButton, {}, a);
    EXPECT_EQ(std::make_pair(e.Row(), e.Col()), std::make_pair(2, 3));
    QTest::mouseMove(vp, b);
    QMouseEvent move(QEvent::MouseMove, QPointF(b), vp->mapToGlobal(QPointF(b)), Qt::LeftButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, b);
    EXPECT_TRUE(e.Selected());
    EXPECT_EQ(e.SelText(), e.List().Text(2).substr(3) + "\r\n" + e.List().Text(3) + "\r\n" +
                               e.List().Text(4).substr(0, 5));
}

} // namespace
} // namespace editor

namespace editor {
namespace {

TEST(EditorKeys, NavigationKeysMoveAndSelect) {
    Focused e;
    e.SetRowCol(1, 5);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&e, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_TRUE(e.Selected());
    EXPECT_EQ(std::make_pair(e.Row(), e.Col()), std::make_pair(4, 5));
    EXPECT_EQ(e.SelLength(), e.OffsetOf(1, 4, 5) - e.OffsetOf(1, 1, 5));
    QTest::keyClick(&e, Qt::Key_Right);
    EXPECT_FALSE(e.Selected());
    QTest::keyClick(&e, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(e.Row(), e.RowCount());
    EXPECT_EQ(e.TopRow(), e.RowCount() - e.VisibleRowCount() + 1);
    QTest::keyClick(&e, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(std::make_pair(e.Row(), e.Col()), std::make_pair(0, 0));
    EXPECT_EQ(e.TopRow(), 0);
    QTest::keyClick(&e, Qt::Key_PageDown);
    EXPECT_EQ(e.TopRow(), (e.VisibleRowCount() - 1) / 2 * 2);
}

TEST(EditorMouse, ShiftClickExtendsTheSelection) {
    Focused e;
    QWidget* vp = e.viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(e.ColX(2) + 1, e.RowY(1) + 3));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, QPoint(e.ColX(4) + 1, e.RowY(1) + 3));
    EXPECT_TRUE(e.Selected());
    EXPECT_EQ(e.SelText(), e.List().Text(1).substr(2, 2));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, QPoint(e.ColX(3) + 1, e.RowY(2) + 3));
    EXPECT_EQ(e.SelText(), e.List().Text(1).substr(2) + "\r\n" + e.List().Text(2).substr(0, 3));
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(e.ColX(1) + 1, e.RowY(5) + 3));
    EXPECT_FALSE(e.Selected());
}

} // namespace
} // namespace editor

namespace editor {
namespace {

TEST(EditorDrawing, TheCaretRowUnderlineAndOnDrawLine) {
    Editor e;
    e.Marks().Underline().SetVisible(true);
    e.Marks().Underline().SetColor(clRed);
    e.List().LoadText("one\r\ntwo\r\nthree");
    EXPECT_EQ(e.Metrics().RowHeight, e.H() + 1); // the underline's own pixel row
    e.SetRow(1);
    QImage img = e.Shot();
    const int y = e.RowY(1) + e.H();
    EXPECT_EQ(img.pixelColor(e.ColX(0) + 3, y), Rgb(clRed));
    EXPECT_EQ(img.pixelColor(e.viewport()->width() - 2, y), Rgb(clRed));
    EXPECT_NE(img.pixelColor(e.ColX(0) + 3, e.RowY(0) + e.H()), Rgb(clRed));
    // No underline while a selection is shown.
    e.StartSelection();
    e.SetCol(2);
    e.UpdateSelection();
    EXPECT_NE(e.Shot().pixelColor(e.ColX(5), y), Rgb(clRed));

    // OnDrawLine sees each drawn piece: the row's text, its place and whether it is selected.
    std::vector<std::tuple<int, std::string, bool>> calls;
    e.OnDrawLine = [&](TEditor*, QPainter&, const std::string& line, int x, int, int index,
                       const QRect&, bool selected) {
        EXPECT_EQ(x, e.ColX(0));
        calls.emplace_back(index, line, selected);
    };
    e.Shot();
    using C = std::tuple<int, std::string, bool>;
    EXPECT_EQ(calls,
              (std::vector<C>{
                  {0, "one", false}, {1, "two", true}, {1, "two", false}, {2, "three", false}}));
}

} // namespace
} // namespace editor

namespace editor {
namespace {

TEST(EditorKeys, TypingEditingKeysAndTheInputMethodEditTheText) {
    Focused e;
    e.List().LoadText("ab\r\ncd");
    e.SetRowCol(0, 1);
    QTest::keyClicks(&e, "XY");
    EXPECT_EQ(e.List().Text(0), "aXYb");
    QTest::keyClick(&e, Qt::Key_Backspace);
    QTest::keyClick(&e, Qt::Key_Delete);
    EXPECT_EQ(e.List().Text(0), "aX");
    QTest::keyClick(&e, Qt::Key_Return);
    EXPECT_EQ(e.RowCount(), 3);
    EXPECT_EQ(std::make_pair(e.Row(), e.Col()), std::make_pair(1, 0));
    QTest::keyClick(&e, Qt::Key_Tab);
    EXPECT_TRUE(e.hasFocus()); // Tab stays in the editor
    EXPECT_EQ(e.List().Text(1), "\t");

    // A committed input-method result of four two-byte characters: one insertion, one undo step.
    e.List().LoadText("ab");
    e.SetRowCol(0, 1);
    QInputMethodEvent im;
    im.setCommitString(QString::fromUtf8("日本語入"));
    QApplication::sendEvent(&e, &im);
    EXPECT_EQ(e.List().Text(0), "a" + Sjis("日本語入") + "b");
    QTest::keyClick(&e, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(e.List().Text(0), "ab");
    // Redo is Ctrl+A; Ctrl+Y is no key of the editor's.
    QTest::keyClick(&e, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(e.List().Text(0), "ab");
    QTest::keyClick(&e, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(e.List().Text(0), "a" + Sjis("日本語入") + "b");
    // A typed two-byte character arrives as its two bytes and goes in whole.
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("ソ"));
    QApplication::sendEvent(&e, &key);
    EXPECT_EQ(e.List().Text(0), "a" + Sjis("日本語入ソ") + "b");
}

} // namespace
} // namespace editor

namespace editor {
namespace {

TEST(EditorKeys, CutCopyAndPasteThroughTheClipboard) {
    app::FakePlatform fake;
    Focused e;
    e.List().LoadText(Sjis("表ソ\r\nabc"));
    e.SetRowCol(0, 2);
    QTest::keyClick(&e, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&e, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(fake.clipboard, Sjis("ソ\r\nab"));
    QTest::keyClick(&e, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(e.List().Text(0), Sjis("表c"));
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(e.List().Text(0), Sjis("表cソ"));
    EXPECT_EQ(e.List().Text(1), "ab");
}

} // namespace
} // namespace editor

namespace editor {
namespace {

TEST(EditorMouse, APressLeftOfTheTextSelectsTheWholeRow) {
    Focused e;
    QTest::mouseClick(e.viewport(), Qt::LeftButton, {}, QPoint(3, e.RowY(4) + 3));
    EXPECT_EQ(e.SelText(), e.List().Text(4) + "\r\n");
}

} // namespace
} // namespace editor

namespace editor {
namespace {

TEST(EditorMouse, ADraggedSelectionMovesOrWithCtrlCopies) {
    struct Case {
        Qt::KeyboardModifiers mods;
        int toCol;
        std::string row0;
    } cases[] = {
        {{}, 6, "adebcf"},                    // moved after "e"
        {Qt::ControlModifier, 6, "abcdebcf"}, // copied there, the original kept
        {{}, 2, "abcdef"},                    // released inside the selection: dropped
    };
    for (const Case& c : cases) {
        Focused e;
        e.List().LoadText("abcdef\r\nxyz");
        e.SetRowCol(0, 1);
        e.StartSelection();
        e.SetRowCol(0, 3);
        e.UpdateSelection();
        ASSERT_EQ(e.SelText(), "bc");
        QWidget* vp = e.viewport();
        const int y = e.RowY(0) + 3;
        QTest::mousePress(vp, Qt::LeftButton, c.mods, QPoint(e.ColX(2) + 2, y));
        const QPoint to(e.ColX(c.toCol) - 1 + (c.toCol == 2 ? 3 : 0), y);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), vp->mapToGlobal(QPointF(to)),
                         Qt::LeftButton, Qt::LeftButton, c.mods);
        QApplication::sendEvent(vp, &move);
        QTest::mouseRelease(vp, Qt::LeftButton, c.mods, to);
        EXPECT_EQ(e.List().Text(0), c.row0) << c.toCol;
    }
    // A press inside the selection and a release without moving drops it, the caret there.
    Focused e;
    e.List().LoadText("abcdef");
    e.SetRowCol(0, 1);
    e.StartSelection();
    e.SetRowCol(0, 4);
    e.UpdateSelection();
    QTest::mouseClick(e.viewport(), Qt::LeftButton, {}, QPoint(e.ColX(2) + 2, e.RowY(0) + 3));
    EXPECT_FALSE(e.Selected());
    EXPECT_EQ(e.Col(), 2);
    EXPECT_EQ(e.List().Text(0), "abcdef");
}

} // namespace
} // namespace editor

namespace editor {
namespace {

TEST(EditorKeys, TheCompositionShowsAtTheCaretUntilCommitted) {
    Focused e;
    e.List().LoadText("abcdef");
    e.SetRowCol(0, 2);
    QInputMethodEvent compose(QString::fromUtf8("にほん"), {});
    QApplication::sendEvent(&e, &compose);
    EXPECT_EQ(e.Preedit(), Sjis("にほん"));
    EXPECT_EQ(e.List().Text(0), "abcdef"); // nothing in the text yet
    QImage img = e.Shot();
    // Drawn over "cdef": its underline runs under six cells from the caret.
    const int y = e.RowY(0) + e.H() - 1;
    EXPECT_EQ(img.pixelColor(e.ColX(2) + 3, y), Rgb(clBlack)); // (the caret inverts its 2 pixels)
    EXPECT_EQ(img.pixelColor(e.ColX(7) + 1, y), Rgb(clBlack));
    EXPECT_NE(img.pixelColor(e.ColX(9) + 1, y), Rgb(clBlack));
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("日本"));
    QApplication::sendEvent(&e, &commit);
    EXPECT_EQ(e.Preedit(), "");
    EXPECT_EQ(e.List().Text(0), "ab" + Sjis("日本") + "cdef");
    EXPECT_NE(e.Shot().pixelColor(e.ColX(7) + 1, y), Rgb(clBlack));
}

} // namespace
} // namespace editor
