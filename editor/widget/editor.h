// TEditor: the text editor control on screen. The model (rows, caret, selection, offsets,
// editing commands) is TEditorModel; this class paints it on a fixed grid of cells, keeps the
// scroll bars and the caret, and turns Qt's key, mouse, input-method and context-menu events
// into the model's operations.
#pragma once

#include "editor_model.h"
#include "input.h"
#include "messages.h"
#include "platform_clipboard.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QFont>
#include <QPixmap>
#include <QRawFont>
#include <QVector>

#include <array>
#include <functional>
#include <string>

namespace editor {

class TEditor;
class TEditorPopupMenu;

// OnDrawLine (Sender, LineStr, X, Y, Index, ARect, Selected): after a row (or a selected piece of
// it) is drawn, with the painter still open on the view.
using TDrawLineEvent =
    std::function<void(TEditor* Sender, QPainter& Canvas, const std::string& LineStr, int X, int Y,
                       int Index, const QRect& ARect, bool Selected)>;

class TEditor : public QAbstractScrollArea, public TEditorModel {
    Q_OBJECT
  public:
    explicit TEditor(QWidget* Parent = nullptr);
    ~TEditor() override;
    const char* ClassName() const override { return "TEditor"; }

    // The editor's own colours: `Color` behind the text, `Font.Color` of the text.
    TColor Color() const { return FColor; }
    void SetColor(TColor V);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor V);
    void SetEditorFont(const QFont& F);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle V);
    // Image lists for the row marks; null (or too short) for the built-in ones.
    void SetImageDigits(const QVector<QPixmap>* V);
    void SetImageMarks(const QVector<QPixmap>* V);

    // Metrics beyond the model's.
    int ImagebarWidth() const { return FImagebarWidth; }
    int LeftbarWidth() const { return FLeftbarWidth; }
    int LeftbarDigits() const { return FLeftbarDigits; }
    int RulerHeight() const { return FRulerHeight; }
    // The number the left bar shows beside a row, as drawn ("" for none).
    std::string LeftbarLabel(int ARow);
    // The x of display column K, the y of row R.
    int ColX(int K) const { return Metrics().LeftMargin + Metrics().ColWidth * (K - TopCol()); }
    int RowY(int R) const { return Metrics().TopMargin + Metrics().RowHeight * (R - TopRow()); }

    // Recomputes the scroll ranges and moves the view back into them.
    void UpdateScrollBars();
    // Caret hide requests nest: the first hides, the matching last show shows.
    void HideCaret();
    void ShowCaret();
    bool CaretShown() const { return FCaretShown; }
    // The input method's composition shown at the caret ("" for none); drawn over the text
    // until it is committed or cancelled.
    const std::string& Preedit() const { return FPreedit; }
    void SetPreedit(const std::string& Sjis);
    QRect CaretRect() const { return FCaretRect; }

    TDrawLineEvent OnDrawLine;

    // The caret's rectangle (and the font) for the input method's composition window.
    QVariant inputMethodQuery(Qt::InputMethodQuery Query) const override;

    // The context menu; its items' shortcuts act while the editor has the focus.
    TEditorPopupMenu* PopupMenu() const { return FPopupMenu; }
    // The standard edit-control operations, for code written for a plain edit control.
    TEditorMessages& Messages() { return FMessages; }
    // The state of the keyboard and mouse handling (a held key, a selection being dragged).
    const TEditorInput& Input() const { return FInput; }

  protected:
    // TEditorModel view hooks.
    bool HandleAllocated() const override { return true; }
    void OptionChangedView(TObject* Sender) override;
    void ListChangedView(const TChangeRecord& C) override;
    void Invalidate() override;
    void ListShared() override;
    void Rewrapped() override;
    void RepaintRow(int ARow) override;
    bool Focused() const override { return hasFocus(); }
    bool LeftButtonDown() const override;
    bool SelDragging() const override;
    void TopRowChangedView(int OldTopRow) override;
    void TopColChangedView(int OldTopCol) override;
    void CaretPlacedView() override;
    void SelectionChangedView(const TSelectionExtent& Old, bool OldShown) override;
    void UnderlineView(bool Draw) override;
    void RestoreCaretShapeView() override;
    void HitCaretView(int Columns) override;
    void RowMarksChangedView(int ARow) override;
    bool TextEditsWanted() const override;
    void TextChangedView(const TTextEdit* Edit) override;

    // Qt events.
    void paintEvent(QPaintEvent* E) override;
    void resizeEvent(QResizeEvent* E) override;
    void scrollContentsBy(int Dx, int Dy) override;
    void focusInEvent(QFocusEvent* E) override;
    void focusOutEvent(QFocusEvent* E) override;
    void timerEvent(QTimerEvent* E) override;
    void inputMethodEvent(QInputMethodEvent* E) override;
    // Keys, pointer and context menu.
    bool event(QEvent* E) override;
    bool viewportEvent(QEvent* E) override;

  private:
    // The clipboard, the pointer's shapes and the popup menu, once at construction.
    void InitInput();
    // Qt's events turned into the model's operations; true when the event was the editor's.
    bool KeyPress(QKeyEvent* E);
    bool KeyRelease(QKeyEvent* E);
    bool MousePress(QMouseEvent* E);
    bool MouseMove(QMouseEvent* E);
    bool MouseRelease(QMouseEvent* E);
    // The composition window's move that waited for a held key's release is due now.
    void MoveDeferredComposition();

    // Drawing (one place for all of it).
    void RecalcMetrics();
    int CountLeftbarDigits();
    void PaintRect(QPainter& P, const QRect& R);
    void PaintCorner(QPainter& P, const QRect& R);
    void PaintRuler(QPainter& P, const QRect& R);
    void PaintBars(QPainter& P, const QRect& R);
    void PaintRow(QPainter& P, int ARow, const QRect& R);
    // Draws row ARow (text S, tabs expanded) within Clip; selected pieces in the selection or hit
    // colours.
    void PaintRowPiece(QPainter& P, int ARow, const std::string& S, const QRect& Clip,
                       bool Selected);
    void PaintEndMarks(QPainter& P, int ARow, const std::string& S, const QRect& R,
                       const QColor* Override);
    void PaintUnderline(QPainter& P, const QRect& R);
    void PaintCaret(QPainter& P);
    void PaintPreedit(QPainter& P);
    // Text on the grid: every byte one cell; cut at 1000 bytes; opaque when Bk is valid.
    void TextOut(QPainter& P, int X, int Y, std::string_view S, const QRect& Clip, const QColor& Fg,
                 const QColor& Bk, TFontStyles Style);
    // Bytes From..To of S at their cells counted from X0 (cut where TextOut cuts S).
    void TextRun(QPainter& P, int X0, int Y, std::string_view S, int From, int To,
                 const QRect& Clip, const QColor& Fg, const QColor& Bk, TFontStyles Style);
    void DotLine(QPainter& P, int X1, int X2, int Y, const QColor& Fg, const QColor& Bk);
    const QRawFont& RawFont(TFontStyles Style);
    QColor QtColor(TColor C, TColor None) const;
    bool SelectionShown() const {
        return SelectionState() == sstSelected ||
               (SelectionState() == sstHit && HitStyle() != hsCaret);
    }
    // The selected columns of a row: [From, To); false when the row has none.
    bool SelectedColumns(const TSelectionExtent& E, int ARow, int& From, int& To) const;
    // Repaints the rows whose selected state differs between two extents.
    void RepaintSelectionDiff(const TSelectionExtent& Old, bool OldShown);
    void InvalidateRows(int From, int To);
    void MakeDefaultImages();
    int LineIndexOf(int ARow);

    // Caret and scrolling (the view side).
    void UpdateCaretView();
    void SetVerticalBar();
    void SetHorizontalBar();

    TColor FColor = clWindow;
    TColor FFontColor = clWindowText;
    TScrollStyle FScrollBars = ssBoth;
    const QVector<QPixmap>* FImageDigits = nullptr;
    const QVector<QPixmap>* FImageMarks = nullptr;
    QVector<QPixmap> FDefaultDigits, FDefaultMarks;
    int FImagebarWidth = 0, FLeftbarWidth = 0, FLeftbarDigits = 4, FRulerHeight = 0;
    bool FItalic = false;
    int FAscent = 0;
    std::array<QRawFont, 4> FRawFonts;
    std::array<bool, 4> FRawFontReady{};
    QVector<quint32> FRunGlyphs;
    QVector<QPointF> FRunPositions;
    // Glyphs of the editor's font per UTF-16 unit and style (0: not looked up).
    std::array<std::vector<quint32>, 4> FGlyphs;
    // The line index of a row already counted, so numbering a screen of lines counts from there.
    int FLineCacheRow = 0, FLineCacheLine = 0;
    int FRulerMarkCol = -1;
    int FUnderlineRow = -1;
    bool FCaretShown = false, FCaretBlinkOn = true;
    int FCaretHideCount = 0;
    int FCaretWidthOverride = 0;
    QRect FCaretRect;
    QBasicTimer FBlink;
    bool FSettingBars = false;
    // The input method's composition (Shift-JIS), drawn at the caret.
    std::string FPreedit;
    QRect PreeditRect() const {
        return QRect(ColX(Col()), RowY(Row()),
                     static_cast<int>(FPreedit.size()) * Metrics().ColWidth, Metrics().FontHeight);
    }

    // Keyboard, mouse, menu and clipboard.
    TPlatformClipboard FClipboard;
    TEditorInput FInput{*this};
    TEditorMessages FMessages{*this};
    TEditorPopupMenu* FPopupMenu = nullptr; // a child of the editor
    // Whether the input method is composing (the caret is hidden meanwhile).
    bool FComposing = false;

    // Assistive technology hears of the caret and the selection once a move is over, and only
    // of what changed since it last heard.
    void AccessibleCheckLater();
    void AccessibleCheck();
    bool FAccessibleCheckPosted = false;
    int FAccessibleCaret = -1;
    bool FAccessibleSelected = false;
    int FAccessibleSelStart = -1, FAccessibleSelEnd = -1;
};

} // namespace editor
