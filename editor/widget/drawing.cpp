// Drawing the editor: the cell grid and its metrics, the margins (image bar, left bar, ruler),
// rows as colour runs of the tokenizer, the selection, the end marks, the caret-row underline,
// and the partial repaints after an edit.
#include "editor.h"

#include "accessible.h"
#include "codec.h"
#include "fonts.h"
#include "qtext.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace editor {

namespace {

// The ruler's digit glyphs, 4 pixels wide and 5 high ('1' is 2 wide: it advances 2 pixels less).
const char* const kRulerDigits[10][5] = {
    {"####", "#..#", "#..#", "#..#", "####"}, {".#", "##", ".#", ".#", ".#"},
    {"####", "...#", "####", "#...", "####"}, {"####", "...#", ".###", "...#", "####"},
    {"#..#", "#..#", "####", "...#", "...#"}, {"####", "#...", "####", "...#", "####"},
    {"####", "#...", "####", "#..#", "####"}, {"####", "...#", "..#.", ".#..", ".#.."},
    {"####", "#..#", "####", "#..#", "####"}, {"####", "#..#", "####", "...#", "####"},
};

// Draws the digits of N with the ruler glyphs from (X, Y); returns the x after them.
int DrawRulerNumber(QPainter& P, int X, int Y, int N, const QColor& Fg) {
    const std::string s = std::to_string(N);
    for (char ch : s) {
        const auto& g = kRulerDigits[ch - '0'];
        const int w = static_cast<int>(std::char_traits<char>::length(g[0]));
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < w; ++col)
                if (g[row][col] == '#') P.fillRect(X + col, Y + row, 1, 1, Fg);
        X += w + 1;
    }
    return X;
}

int DecimalDigits(int N) {
    int d = 1;
    for (N = std::abs(N); N >= 10; N /= 10)
        ++d;
    return d;
}

// A character of a (tab-expanded) row: whether the byte at I starts a two-byte character.
bool LeadAt(std::string_view S, size_t I) {
    return I + 1 < S.size() && cp932::IsLeadByte(static_cast<unsigned char>(S[I]));
}

// Bytes drawn of S: 1000, or 1001 when a two-byte character starts at byte 1000.
size_t DrawnLength(std::string_view S) {
    if (S.size() <= 1000) return S.size();
    size_t i = 0;
    while (i < 999)
        i += LeadAt(S, i) ? 2 : 1;
    return i == 999 && LeadAt(S, 999) ? 1001 : std::max<size_t>(i, 1000);
}

} // namespace

TEditor::TEditor(QWidget* Parent) : QAbstractScrollArea(Parent) {
    setFont(app::MapFont("FixedSys", 14));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    MakeDefaultImages();
    RecalcMetrics();
    SetScrollBars(ssBoth);
    InitInput();
    TEditorAccessible::Install();
}

TEditor::~TEditor() = default;

QColor TEditor::QtColor(TColor C, TColor None) const {
    if (C == clNone) C = None;
    if (C == clNone) C = FColor;
    switch (C) {
    case clWindow:
        return palette().color(QPalette::Base);
    case clWindowText:
        return palette().color(QPalette::Text);
    case clBtnFace:
        return palette().color(QPalette::Button);
    case clBackground:
        return palette().color(QPalette::Dark);
    default:
        break;
    }
    return app::ToQColor(C);
}

void TEditor::SetColor(TColor V) {
    if (V == FColor) return;
    FColor = V;
    viewport()->update();
}

void TEditor::SetFontColor(TColor V) {
    if (V == FFontColor) return;
    FFontColor = V;
    viewport()->update();
}

void TEditor::SetEditorFont(const QFont& F) {
    setFont(F);
    FRawFontReady = {};
    for (auto& g : FGlyphs)
        g.clear();
    RecalcMetrics();
    UpdateScrollBars();
    UpdateCaretView();
    viewport()->update();
}

void TEditor::SetImageDigits(const QVector<QPixmap>* V) {
    FImageDigits = V;
    viewport()->update();
}

void TEditor::SetImageMarks(const QVector<QPixmap>* V) {
    FImageMarks = V;
    viewport()->update();
}

void TEditor::MakeDefaultImages() {
    // Ten 8 x 11 digit images and six 11 x 11 mark images, drawn here.
    FDefaultDigits.clear();
    for (int d = 0; d < 10; ++d) {
        QPixmap pm(8, 11);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.fillRect(0, 0, 8, 11, QColor(0, 0, 128));
        DrawRulerNumber(p, d == 1 ? 3 : 2, 3, d, Qt::white);
        FDefaultDigits.push_back(pm);
    }
    FDefaultMarks.clear();
    const QColor colors[6] = {Qt::red,
                              QColor(0, 128, 0),
                              Qt::blue,
                              QColor(255, 0, 255),
                              QColor(0, 128, 128),
                              QColor(128, 0, 128)};
    for (int k = 0; k < 6; ++k) {
        QPixmap pm(11, 11);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setPen(colors[k]);
        p.setBrush(colors[k]);
        switch (k) {
        case 0:
            p.drawEllipse(1, 1, 8, 8);
            break;
        case 1:
            p.drawRect(1, 1, 8, 8);
            break;
        case 2:
            p.drawPolygon(QPolygon({QPoint(5, 1), QPoint(9, 9), QPoint(1, 9)}));
            break;
        case 3:
            p.drawPolygon(QPolygon({QPoint(5, 0), QPoint(10, 5), QPoint(5, 10), QPoint(0, 5)}));
            break;
        case 4:
            p.fillRect(4, 0, 3, 11, colors[k]), p.fillRect(0, 4, 11, 3, colors[k]);
            break;
        default:
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygon({QPoint(1, 5), QPoint(4, 9), QPoint(9, 1)}));
            break;
        }
        FDefaultMarks.push_back(pm);
    }
}

// Metrics.

int TEditor::CountLeftbarDigits() {
    const int n = RowCount();
    const bool endsWithLineEnd = n > 0 && List().RowAttr(n - 1) == LineEnd;
    const int base = Leftbar().ZeroBase() ? 0 : 1;
    int largest;
    if (Leftbar().ShowNumberMode() == nmRow) {
        largest = std::max(0, n - 1) + base + (endsWithLineEnd ? 1 : 0);
    } else {
        const int lines = n == 0 ? 1 : LineIndexOf(n - 1) + 1;
        largest = lines - 1 + base + (endsWithLineEnd ? 1 : 0);
    }
    return std::min(8, std::max(Leftbar().Column(), DecimalDigits(largest)));
}

void TEditor::RecalcMetrics() {
    TEditorMetrics& m = MutableMetrics();
    QFontMetrics fm(font());
    FAscent = fm.ascent();
    m.FontHeight = fm.height() + std::max(0, fm.leading());
    int avg = fm.averageCharWidth();
    if (avg <= 0) avg = fm.horizontalAdvance(QLatin1Char('x'));
    m.ColWidth = std::max(1, avg + Margin().Character());
    m.RowHeight = m.FontHeight + Margin().Line() + Margin().UnderlineGap();
    FRulerHeight = Ruler().Visible() ? (Ruler().Edge() ? 11 : 10) : 0;
    m.TopMargin = Margin().Top() + FRulerHeight;
    FImagebarWidth = Imagebar().Width();
    FLeftbarDigits = CountLeftbarDigits();
    FLeftbarWidth = Leftbar().Visible() ? Leftbar().LeftMargin() + FLeftbarDigits * m.ColWidth +
                                              Leftbar().RightMargin() + 2
                                        : 0;
    m.LeftMargin = Margin().Left() + FImagebarWidth + FLeftbarWidth;
    const int h = viewport()->height(), w = viewport()->width();
    m.VisibleRowCount = std::max(1, (h - m.TopMargin - 5) / m.RowHeight);
    m.VisibleColCount = std::max(1, (w - m.LeftMargin - m.ColWidth / 2) / m.ColWidth);
    FItalic = font().italic() || ActiveFountain()->HasItalicStyle(*ActiveFountain());
}

const QRawFont& TEditor::RawFont(TFontStyles Style) {
    const int k = (Style & fsBold ? 1 : 0) | (Style & fsItalic ? 2 : 0);
    if (!FRawFontReady[k]) {
        QFont f = font();
        f.setBold(Style & fsBold);
        f.setItalic(Style & fsItalic);
        FRawFonts[k] = QRawFont::fromFont(f);
        FRawFontReady[k] = true;
        FGlyphs[k].assign(65536, 0);
    }
    return FRawFonts[k];
}

// Painting.

void TEditor::paintEvent(QPaintEvent* E) {
    QPainter p(viewport());
    for (const QRect& r : E->region())
        PaintRect(p, r);
}

void TEditor::PaintRect(QPainter& P, const QRect& R) {
    const TEditorMetrics& m = Metrics();
    const int w = viewport()->width(), h = viewport()->height();
    P.setClipRect(R);
    const QRect corner(0, 0, m.LeftMargin, m.TopMargin);
    const QRect ruler(m.LeftMargin, 0, w - m.LeftMargin, m.TopMargin);
    const QRect bars(0, m.TopMargin, m.LeftMargin, h - m.TopMargin);
    const QRect text(m.LeftMargin, m.TopMargin, w - m.LeftMargin, h - m.TopMargin);
    if (R.intersects(corner)) PaintCorner(P, R & corner);
    if (R.intersects(ruler)) PaintRuler(P, R & ruler);
    if (R.intersects(bars)) PaintBars(P, R & bars);
    if (R.intersects(text)) {
        const QRect t = R & text;
        const int r0 = TopRow() + (t.top() - m.TopMargin) / m.RowHeight;
        const int r1 = TopRow() + (t.bottom() - m.TopMargin) / m.RowHeight;
        // Text stops at column 1000 (1001 for a two-byte character across it); the hide mark
        // after it takes one more cell.
        const int right = std::min(t.right() + 1, ColX(1003));
        const int rowH = m.FontHeight + (SelectionShown() ? Margin().UnderlineGap() : 0);
        const QColor back = QtColor(FColor, FColor);
        for (int r = r0; r <= r1; ++r) {
            QRect rr(m.LeftMargin, RowY(r), right - m.LeftMargin, rowH);
            // Rows paint their own cells; the spacing under them and the area right of column
            // 1000 are the editor's background.
            if (rowH < m.RowHeight)
                P.fillRect(QRect(m.LeftMargin, rr.bottom() + 1, t.right() + 1 - m.LeftMargin,
                                 m.RowHeight - rowH),
                           back);
            if (right <= t.right())
                P.fillRect(QRect(right, rr.top(), t.right() + 1 - right, m.RowHeight), back);
            if (r >= RowCount()) P.fillRect(rr, back);
            PaintRow(P, r, rr);
        }
        PaintUnderline(P, t);
        PaintPreedit(P);
    }
    PaintCaret(P);
}

void TEditor::PaintCorner(QPainter& P, const QRect& R) {
    const TEditorMetrics& m = Metrics();
    P.fillRect(R, QtColor(FColor, FColor));
    if (Leftbar().Visible() && Leftbar().Edge()) {
        const int x = FImagebarWidth + Margin().Left() * 0;
        P.fillRect(QRect(x, 0, FLeftbarWidth, m.TopMargin), QtColor(Leftbar().BkColor(), FColor));
        P.fillRect(QRect(x + FLeftbarWidth - 2, 0, 1, m.TopMargin), Qt::white);
        P.fillRect(QRect(x + FLeftbarWidth - 1, 0, 1, m.TopMargin), Qt::gray);
    }
    if (Ruler().Visible() && Ruler().Edge()) {
        P.fillRect(QRect(0, 0, m.LeftMargin, FRulerHeight), QtColor(Ruler().BkColor(), FColor));
        P.fillRect(QRect(0, FRulerHeight - 2, m.LeftMargin, 1), Qt::white);
        P.fillRect(QRect(0, FRulerHeight - 1, m.LeftMargin, 1), Qt::gray);
    }
}

void TEditor::PaintRuler(QPainter& P, const QRect& R) {
    const TEditorMetrics& m = Metrics();
    P.fillRect(R, QtColor(FColor, FColor));
    if (!Ruler().Visible()) return;
    const int cw = m.ColWidth, gr = Ruler().GaugeRange();
    const int bottom = FRulerHeight - (Ruler().Edge() ? 2 : 1);
    auto cells = [&](int k0, int k1, const QColor& bk, const QColor& fg) {
        P.fillRect(QRect(ColX(k0), 0, (k1 - k0) * cw, FRulerHeight), bk);
        for (int k = k0; k < k1; ++k) {
            const int top = k % gr == 0 ? 0 : k % gr == gr / 2 ? 3 : 6;
            P.fillRect(QRect(ColX(k), top, 1, bottom - top), fg);
        }
        // Numbers start left of the view so that a number cut by its edge still shows.
        for (int k = std::max(0, (k0 - 4 * gr) / gr * gr); k < k1; k += gr) {
            if (k == 0) continue;
            if (k > 999) {
                const int wd = 4 * 5 + 2;
                P.fillRect(QRect(ColX(k) + 1, 0, wd, 6), bk);
            }
            DrawRulerNumber(P, ColX(k) + 2, 0, k, fg);
            if (k > 999) break;
        }
        if (Ruler().Edge()) {
            P.fillRect(QRect(ColX(k0), FRulerHeight - 2, (k1 - k0) * cw, 1), Qt::white);
            P.fillRect(QRect(ColX(k0), FRulerHeight - 1, (k1 - k0) * cw, 1), Qt::gray);
        } else {
            P.fillRect(QRect(ColX(k0), FRulerHeight - 1, (k1 - k0) * cw, 1), fg);
        }
    };
    const int k0 = TopCol() + std::max(0, (R.left() - m.LeftMargin) / cw);
    const int k1 = std::min(1001, TopCol() + (R.right() - m.LeftMargin) / cw + 1);
    P.save();
    P.setClipRect(R & QRect(0, 0, ColX(1001), FRulerHeight));
    cells(k0, k1, QtColor(Ruler().BkColor(), FColor), QtColor(Ruler().Color(), FFontColor));
    // The caret's column in the marked colours.
    const int c = Col();
    if (c >= k0 && c < k1) {
        P.setClipRect(QRect(ColX(c), 0, cw, FRulerHeight) & R);
        cells(c, c + 1, QtColor(Ruler().MarkColor(), FFontColor),
              QtColor(Ruler().BkColor(), FColor));
    }
    P.restore();
    FRulerMarkCol = c;
}

int TEditor::LineIndexOf(int ARow) {
    // Counted from the nearest known row: a screen of numbers costs a screen of rows.
    const int n = RowCount();
    ARow = std::clamp(ARow, 0, n);
    if (FLineCacheRow > n) FLineCacheRow = FLineCacheLine = 0;
    int r = FLineCacheRow, line = FLineCacheLine;
    if (ARow < r / 2) r = line = 0;
    for (; r < ARow; ++r)
        if (List().RowAttr(r) == LineEnd) ++line;
    for (; r > ARow; --r)
        if (List().RowAttr(r - 1) == LineEnd) --line;
    FLineCacheRow = r;
    FLineCacheLine = line;
    return line;
}

std::string TEditor::LeftbarLabel(int ARow) {
    if (!Leftbar().ShowNumber() || ARow < 0) return "";
    const int n = RowCount();
    if (ARow >= n) {
        const bool after = ARow == n && (n == 0 || List().RowAttr(n - 1) == LineEnd);
        if (!after) return "";
    }
    int number;
    if (Leftbar().ShowNumberMode() == nmRow) {
        number = ARow;
    } else {
        if (ARow > 0 && ARow - 1 < n && List().RowAttr(ARow - 1) == Wrapped) return "";
        number = LineIndexOf(ARow);
    }
    number += Leftbar().ZeroBase() ? 0 : 1;
    std::string s = std::to_string(number);
    if (static_cast<int>(s.size()) < FLeftbarDigits)
        s.insert(0, FLeftbarDigits - s.size(), Leftbar().ZeroLead() ? '0' : ' ');
    return s;
}

void TEditor::PaintBars(QPainter& P, const QRect& R) {
    const TEditorMetrics& m = Metrics();
    P.fillRect(R, QtColor(FColor, FColor));
    const int r0 = TopRow() + (R.top() - m.TopMargin) / m.RowHeight;
    const int r1 = TopRow() + (R.bottom() - m.TopMargin) / m.RowHeight;
    const bool leftbar = Leftbar().Visible();
    for (int r = r0; r <= r1; ++r) {
        const int y = RowY(r);
        if (Imagebar().Visible() && FImagebarWidth > 0) {
            const bool barColour = leftbar && Leftbar().BkColor() != clNone;
            P.fillRect(QRect(0, y, FImagebarWidth, m.RowHeight),
                       QtColor(barColour ? Leftbar().BkColor() : FColor, FColor));
            const int marks = r < RowCount() ? List().RowMarks(r) : 0;
            if (marks) {
                for (int d = 0; d < 10; ++d)
                    if (marks & (1 << d)) {
                        const auto& list = FImageDigits && FImageDigits->size() > d
                                               ? *FImageDigits
                                               : FDefaultDigits;
                        P.drawPixmap(Imagebar().LeftMargin(), y + 2, list[d]);
                        break;
                    }
                for (int k = 10; k < 16; ++k)
                    if (marks & (1 << k)) {
                        const auto& list = FImageMarks && FImageMarks->size() > k - 10
                                               ? *FImageMarks
                                               : FDefaultMarks;
                        P.drawPixmap(Imagebar().LeftMargin() + Imagebar().DigitWidth(), y + 2,
                                     list[k - 10]);
                        break;
                    }
            }
        }
        if (leftbar) {
            const int x = FImagebarWidth;
            const QColor bk = QtColor(Leftbar().BkColor(), FColor);
            P.fillRect(QRect(x, y, FLeftbarWidth, m.RowHeight), bk);
            const int ex = x + FLeftbarWidth - 2;
            P.fillRect(QRect(ex, y, 1, m.RowHeight), Leftbar().Edge() ? QColor(Qt::white) : bk);
            P.fillRect(QRect(ex + 1, y, 1, m.RowHeight),
                       Leftbar().Edge() ? QColor(Qt::gray)
                                        : QtColor(Leftbar().Color(), FFontColor));
            const std::string label = LeftbarLabel(r);
            if (!label.empty())
                TextOut(P, x + Leftbar().LeftMargin(), y, label, QRect(x, y, ex - x, m.RowHeight),
                        QtColor(Leftbar().Color(), FFontColor), QColor(), 0);
        }
    }
}

bool TEditor::SelectedColumns(const TSelectionExtent& E, int ARow, int& From, int& To) const {
    if (ARow < E.TopRow || ARow > E.BottomRow) return false;
    constexpr int kEnd = 1 << 20;
    if (SelectionMode()) {
        From = E.StartCol;
        To = E.EndCol;
    } else if (E.TopRow == E.BottomRow) {
        From = E.StartCol;
        To = E.EndCol;
    } else if (ARow == E.TopRow) {
        From = E.StartCol;
        To = kEnd;
    } else if (ARow == E.BottomRow) {
        From = 0;
        To = E.EndCol;
    } else {
        From = 0;
        To = kEnd;
    }
    // A boundary on the right half of a two-byte character moves one cell right.
    const std::string map = ColumnMap(ARow < RowCount() ? List().Text(ARow) : std::string());
    auto edge = [&](int c) {
        return c > 0 && c < static_cast<int>(map.size()) && map[c] == kcTrail ? c + 1 : c;
    };
    From = edge(From);
    To = edge(To);
    return To > From;
}

void TEditor::PaintRow(QPainter& P, int ARow, const QRect& R) {
    const TEditorMetrics& m = Metrics();
    const int n = RowCount();
    if (ARow < 0) return;
    if (ARow >= n) {
        // The end-of-text mark on the row after a final line end (or on an empty text).
        const bool after = ARow == n && (n == 0 || List().RowAttr(n - 1) != EndOfText);
        if (after && Marks().EofMark().Visible() && ColX(0) >= m.LeftMargin - 0) {
            const int x = ColX(0);
            TextOut(P, x, R.top(), "[EOF]", QRect(x, R.top(), 6 * m.ColWidth, m.FontHeight) & R,
                    QtColor(Marks().EofMark().Color(), FFontColor), QtColor(FColor, FColor), 0);
        }
        return;
    }
    const std::string s = ExpandTab(List().Text(ARow));
    int from, to;
    if (!SelectionShown() || !SelectedColumns(SelectionExtent(), ARow, from, to)) {
        PaintRowPiece(P, ARow, s, R, false);
        return;
    }
    const int xFrom = std::max(m.LeftMargin, std::min(ColX(from), R.right() + 1));
    const int xTo =
        std::max(m.LeftMargin, std::min(to >= (1 << 20) ? R.right() + 1 : ColX(to), R.right() + 1));
    if (xFrom > R.left())
        PaintRowPiece(P, ARow, s, QRect(R.left(), R.top(), xFrom - R.left(), R.height()), false);
    if (xTo > xFrom)
        PaintRowPiece(P, ARow, s, QRect(xFrom, R.top(), xTo - xFrom, R.height()), true);
    if (R.right() + 1 > xTo)
        PaintRowPiece(P, ARow, s, QRect(xTo, R.top(), R.right() + 1 - xTo, R.height()), false);
}

void TEditor::PaintRowPiece(QPainter& P, int ARow, const std::string& S, const QRect& Clip,
                            bool Selected) {
    if (Clip.isEmpty()) return;
    const TEditorMetrics& m = Metrics();
    const int cw = m.ColWidth, y = Clip.top();
    const bool hit = SelectionState() == sstHit;
    TEditorColor& sel = hit ? View().Colors().Hit() : View().Colors().Select();
    const QColor fg = Selected ? QtColor(sel.Color(), FColor) : QtColor(FFontColor, FFontColor);
    const QColor bk = Selected ? QtColor(sel.BkColor(), FFontColor) : QtColor(FColor, FColor);
    const int x0 = ColX(0);
    P.save();
    P.setClipRect(Clip, Qt::IntersectClip);
    P.fillRect(Clip, bk);
    const int len = static_cast<int>(S.size());
    const int drawn = static_cast<int>(DrawnLength(S));
    // The row is drawn as runs: text in the plain colours, and each token whose colours or style
    // differ from them. Every character is drawn once.
    int pos = 0;
    auto plain = [&](int To) {
        if (To > pos) TextRun(P, x0, y, S, pos, To, Clip, fg, QColor(), 0);
    };
    if ((len + 5) * cw > TopCol() * cw) {
        const int clipRight = std::min(Clip.right() + 1, ColX(1000));
        if (!S.empty()) {
            for (const TRowToken& t : List().RowTokens(ARow, S)) {
                if (t.Offset >= drawn || x0 + t.Offset * cw >= clipRight) break;
                TFountainColor* c = t.Color;
                const TColor tb = c ? c->BkColor() : clNone, tf = c ? c->Color() : clNone;
                const TFontStyles st = c ? c->Style() : 0;
                const int end = std::min(t.Offset + t.Length, drawn);
                if (Selected) {
                    // Tokens keep only their style in a selection.
                    if (st == 0) continue;
                    plain(t.Offset);
                    TextRun(P, x0, y, S, t.Offset, end, Clip, fg, QColor(), st);
                    pos = end;
                    continue;
                }
                const bool ownBk = tb != clNone && tb != FColor;
                if (!ownBk && (tf == clNone || tf == FFontColor) && st == 0) continue;
                plain(t.Offset);
                TextRun(P, x0, y, S, t.Offset, end, Clip, QtColor(tf, FFontColor),
                        ownBk ? QtColor(tb, FColor) : QColor(), st);
                pos = end;
            }
        }
        plain(drawn);
        if (OnDrawLine) {
            std::string line = S;
            if (WordWrap() && List().RowAttr(ARow) == Wrapped && ARow + 1 < RowCount())
                line += List().Text(ARow + 1);
            OnDrawLine(this, P, line, x0, y, ARow, Clip, Selected);
        }
        PaintEndMarks(P, ARow, S, Clip, Selected ? &fg : nullptr);
    } else {
        plain(drawn);
    }
    P.restore();
}

void TEditor::PaintEndMarks(QPainter& P, int ARow, const std::string& S, const QRect& R,
                            const QColor* Override) {
    const TEditorMetrics& m = Metrics();
    const int w = m.ColWidth, h = m.FontHeight, y = R.top();
    const int len = static_cast<int>(S.size());
    const bool cut = DrawnLength(S) < S.size();
    const int e = cut ? ColX(static_cast<int>(DrawnLength(S))) : ColX(len);
    if (e < m.LeftMargin) return;
    const int attr = List().RowAttr(ARow);
    auto colour = [&](TEditorMark& mk) {
        return Override ? *Override : QtColor(mk.Color(), FFontColor);
    };
    P.save();
    P.setRenderHint(QPainter::Antialiasing, false);
    if (!cut && e <= R.right()) {
        if (ARow == RowCount() - 1 && attr == EndOfText && Marks().EofMark().Visible()) {
            TextOut(P, e, y, "[EOF]", QRect(e, y, 6 * w, h) & R, colour(Marks().EofMark()),
                    Override ? QColor() : QtColor(FColor, FColor), 0);
        } else if (attr == LineEnd && Marks().RetMark().Visible()) {
            P.setPen(colour(Marks().RetMark()));
            const int x = e + w / 2, ee = std::max(1, h / 8), g = std::max(ee, 3);
            const int bottom = y + h - 2 * ee;
            P.drawLine(x, y + 2 * ee, x, bottom);
            P.drawLine(x, bottom, x - g, bottom - g);
            P.drawLine(x, bottom, x + g, bottom - g);
        } else if (attr == Wrapped && Marks().WrapMark().Visible()) {
            P.setPen(colour(Marks().WrapMark()));
            const int f = std::max(2, w * 3 / 5), mid = y + h / 2;
            P.drawPolyline(QPolygon(
                {QPoint(e + w, mid - f), QPoint(e + w - f, mid), QPoint(e + w + 1, mid + f + 1)}));
        }
    }
    if (cut && Marks().HideMark().Visible()) {
        P.setPen(colour(Marks().HideMark()));
        const int f = std::max(2, w * 3 / 5), mid = y + h / 2;
        P.drawPolyline(QPolygon(
            {QPoint(e + w - f, mid - f), QPoint(e + w, mid), QPoint(e + w - f - 1, mid + f + 1)}));
    }
    P.restore();
}

void TEditor::TextOut(QPainter& P, int X, int Y, std::string_view S, const QRect& Clip,
                      const QColor& Fg, const QColor& Bk, TFontStyles Style) {
    TextRun(P, X, Y, S, 0, static_cast<int>(S.size()), Clip, Fg, Bk, Style);
}

void TEditor::TextRun(QPainter& P, int X0, int Y, std::string_view S, int From, int To,
                      const QRect& Clip, const QColor& Fg, const QColor& Bk, TFontStyles Style) {
    const TEditorMetrics& m = Metrics();
    const int cw = m.ColWidth;
    To = std::min(To, static_cast<int>(DrawnLength(S)));
    if (To <= From) return;
    const int x = X0 + From * cw, width = (To - From) * cw;
    if (Bk.isValid()) P.fillRect(QRect(x, Y, width, m.FontHeight) & Clip, Bk);
    // Only the characters that reach into the clip are looked up and drawn.
    const int firstCell = std::max(From, (Clip.left() - X0) / cw - 2);
    const int lastCell = (Clip.right() - X0) / cw + 1;
    const QRawFont& rf = RawFont(Style & (fsBold | fsItalic));
    std::vector<quint32>& cache = FGlyphs[(Style & fsBold ? 1 : 0) | (Style & fsItalic ? 2 : 0)];
    const char16_t* table = app::Cp932Table();
    FRunGlyphs.clear();
    FRunPositions.clear();
    for (int i = From; i < To;) {
        const auto b = static_cast<unsigned char>(S[i]);
        const bool two = LeadAt(S, i) && i + 1 < To;
        const int step = two ? 2 : 1;
        if (i > lastCell) break;
        if (i + step > firstCell && (two || b > 0x20)) {
            const int code = two ? b * 256 + static_cast<unsigned char>(S[i + 1]) : b;
            const char16_t u = table[code];
            quint32& g = cache[u];
            if (g == 0) {
                QChar qc(u);
                quint32 gi = 0;
                int count = 1;
                if (!rf.glyphIndexesForChars(&qc, 1, &gi, &count)) gi = 0;
                g = gi + 1;
            }
            if (g > 1) {
                FRunGlyphs.push_back(g - 1);
                FRunPositions.push_back(QPointF((i - From) * cw, 0));
            }
        }
        i += step;
    }
    if (!FRunGlyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(rf);
        run.setGlyphIndexes(FRunGlyphs);
        run.setPositions(FRunPositions);
        P.setPen(Fg);
        P.drawGlyphRun(QPointF(x, Y + FAscent), run);
    }
    if (Style & fsUnderline)
        DotLine(P, std::max(x, Clip.left()), std::min(x + width, Clip.right() + 1),
                Y + m.FontHeight - 1, Fg, Bk.isValid() ? Bk : QtColor(FColor, FColor));
}

void TEditor::DotLine(QPainter& P, int X1, int X2, int Y, const QColor& Fg, const QColor& Bk) {
    for (int x = X1; x < X2; ++x)
        P.fillRect(x, Y, 1, 1, (x & 1) ? Bk : Fg);
}

void TEditor::PaintUnderline(QPainter& P, const QRect& R) {
    if (!Marks().Underline().Visible() || UnderlineErased() || SelectionShown()) return;
    const TEditorMetrics& m = Metrics();
    const int y = RowY(Row()) + m.FontHeight;
    if (y < m.TopMargin || y >= viewport()->height() || y < R.top() || y > R.bottom()) return;
    P.fillRect(QRect(m.LeftMargin, y, viewport()->width() - m.LeftMargin, 1),
               QtColor(Marks().Underline().Color(), FFontColor));
}

void TEditor::PaintPreedit(QPainter& P) {
    if (FPreedit.empty()) return;
    const QRect r = PreeditRect();
    const QColor fg = QtColor(FFontColor, FFontColor);
    TextOut(P, r.left(), r.top(), FPreedit, r, fg, QtColor(FColor, FColor), 0);
    P.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), fg);
}

void TEditor::PaintCaret(QPainter& P) {
    if (!FCaretShown || !FCaretBlinkOn || FCaretRect.isEmpty()) return;
    P.save();
    P.setClipRect(
        QRect(Metrics().LeftMargin, Metrics().TopMargin, viewport()->width(), viewport()->height()),
        Qt::IntersectClip);
    P.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    P.fillRect(FCaretRect, Qt::white);
    P.restore();
}

// Partial repaints.

void TEditor::InvalidateRows(int From, int To) {
    const TEditorMetrics& m = Metrics();
    From = std::max(From, TopRow());
    To = std::min(To, TopRow() + VisibleRowCount() + 1);
    if (To < From) return;
    viewport()->update(QRect(0, RowY(From), viewport()->width(), (To - From + 1) * m.RowHeight));
}

void TEditor::RepaintRow(int ARow) {
    InvalidateRows(ARow, ARow);
}

void TEditor::RowMarksChangedView(int ARow) {
    if (FImagebarWidth > 0)
        viewport()->update(QRect(0, RowY(ARow), FImagebarWidth, Metrics().RowHeight));
}

void TEditor::RepaintSelectionDiff(const TSelectionExtent& Old, bool OldShown) {
    const bool nowShown = SelectionShown();
    const TSelectionExtent& now = SelectionExtent();
    const int top = std::max(TopRow(), std::min(Old.TopRow, now.TopRow));
    const int bottom =
        std::min(TopRow() + VisibleRowCount() + 1, std::max(Old.BottomRow, now.BottomRow));
    for (int r = top; r <= bottom; ++r) {
        int f1 = 0, t1 = 0, f2 = 0, t2 = 0;
        const bool a = OldShown && SelectedColumns(Old, r, f1, t1);
        const bool b = nowShown && SelectedColumns(now, r, f2, t2);
        if (a != b || (a && (f1 != f2 || t1 != t2))) InvalidateRows(r, r);
    }
}

void TEditor::SelectionChangedView(const TSelectionExtent& Old, bool OldShown) {
    AccessibleCheckLater();
    // The gap under rows belongs to the rows while a selection is shown.
    RepaintSelectionDiff(Old, OldShown);
}

void TEditor::UnderlineView(bool) {
    if (!Marks().Underline().Visible()) return;
    const int y = RowY(Row()) + Metrics().FontHeight;
    viewport()->update(QRect(Metrics().LeftMargin, y, viewport()->width(), 1));
}

void TEditor::ListChangedView(const TChangeRecord& C) {
    if (C.Start < FLineCacheRow) FLineCacheRow = FLineCacheLine = 0;
    const int digits = CountLeftbarDigits();
    if (digits != FLeftbarDigits && Leftbar().Visible()) {
        // The numbers gained or lost a digit: the bar widens and the text moves sideways.
        RecalcMetrics();
        UpdateScrollBars();
        UpdateCaretView();
        viewport()->update();
        return;
    }
    FLeftbarDigits = digits;
    UpdateScrollBars();
    const int diff = C.Inserted - C.Removed;
    const int start = std::max(0, C.Start);
    if (std::abs(diff) > VisibleRowCount()) {
        viewport()->update(
            QRect(0, Metrics().TopMargin, viewport()->width(), viewport()->height()));
    } else {
        const int end = start + std::max(C.Inserted, C.Reparsed);
        const int last = RowCount() - 1;
        if (diff != 0) {
            const int rh = Metrics().RowHeight;
            const int y = std::max(Metrics().TopMargin,
                                   std::min(RowY(start + C.Removed), RowY(start + C.Inserted)));
            if (y < viewport()->height()) {
                const QRect area(0, y, viewport()->width(), viewport()->height() - y);
                viewport()->scroll(0, diff * rh, area);
                viewport()->update(FCaretRect.translated(0, diff * rh));
            }
        }
        InvalidateRows(start, std::max(start, end - 1) + (end > last ? 2 : 0));
        // Numbers below a changed row count (or any line numbers) moved with their rows.
        const bool numbers = Leftbar().Visible() && Leftbar().ShowNumber();
        if (numbers && (diff != 0 || Leftbar().ShowNumberMode() == nmLine))
            viewport()->update(
                QRect(FImagebarWidth, RowY(start), FLeftbarWidth, viewport()->height()));
    }
    UpdateCaretView();
}

void TEditor::Invalidate() {
    viewport()->update();
}

void TEditor::ListShared() {
    FLineCacheRow = FLineCacheLine = 0;
    RecalcMetrics();
    UpdateScrollBars();
    viewport()->update();
}

void TEditor::Rewrapped() {
    FLineCacheRow = FLineCacheLine = 0;
    RecalcMetrics();
    UpdateScrollBars();
    UpdateCaretView();
    viewport()->update();
}

void TEditor::OptionChangedView(TObject* Sender) {
    if (Sender == &Caret()) FCaretWidthOverride = 0;
    RecalcMetrics();
    UpdateScrollBars();
    UpdateCaretView();
    viewport()->update();
}

void TEditor::resizeEvent(QResizeEvent* E) {
    QAbstractScrollArea::resizeEvent(E);
    RecalcMetrics();
    UpdateScrollBars();
    UpdateCaretView();
}

} // namespace editor
