// The editor painted into an image under the offscreen platform: colours, marks, bars and ruler
// checked pixel by pixel where they matter.
#include "editor.h"

#include "codec.h"
#include "fonts.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

namespace editor {
namespace {

std::string S(const char* u8) {
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
    e.List().LoadText(S("ab表ソ能ポcd"));
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
        e.List().LoadText(S("abcdef\r\n表ソ能ポxy\r\nlast"));
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
    e.List().LoadText(S("abcdef\r\n表ソ能ポxy\r\nlast"));
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
    ASSERT_TRUE(e.Search(S("能ポ"), 1));
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
    e.List().LoadText(std::string(1200, 'a') + "\r\n" + std::string(999, 'b') + S("表") + "c");
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
    words.Add(S("消費税"));
    e.SetReserveWordList(words);
    e.WrapOption().SetWrapByte(20);
    e.SetWordWrap(true);
    // "keyword" is cut by the wrap at column 20: three letters on row 0, four on row 1.
    e.List().LoadText(std::string(17, ' ') + "keyword " + S("消費税") + " plain");
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

TEST(EditorDrawing, ScrollingShowsTheSameAsDrawingAfresh) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += S("行") + std::to_string(i) + " " + std::string(i % 50, 'x') + "\r\n";
    Editor a;
    a.Leftbar().SetVisible(true);
    a.List().LoadText(text);
    a.show();
    QApplication::processEvents();
    a.ScrollRows(7);
    a.ScrollRows(a.VisibleRowCount());
    a.SetTopCol(3);
    QApplication::processEvents();
    Editor b;
    b.Leftbar().SetVisible(true);
    b.List().LoadText(text);
    b.SetTopRow(a.TopRow());
    b.SetTopCol(3);
    EXPECT_EQ(a.TopRow(), 7 + a.VisibleRowCount());
    EXPECT_EQ(a.Shot(), b.Shot());
}

} // namespace
} // namespace editor
