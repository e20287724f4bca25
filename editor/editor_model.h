// The Qt-free core of the text editor control: its option objects, its place in a (possibly
// shared) row list, the outside tokenizer, and the routing of option changes to what the model
// recomputes (re-parse, re-wrap, emptied undo lists). The widget derives from it and supplies
// the view side through the hooks.
#pragma once

#include "char_offsets.h"
#include "clipboard.h"
#include "lines.h"
#include "options.h"
#include "screen_rows.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace editor {

// The view's measures that positions depend on; the widget fills them from its font and size.
struct TEditorMetrics {
    int FontHeight = 15;
    int ColWidth = 8;
    int RowHeight = 15;
    int TopMargin = 2;
    int LeftMargin = 19;
    int VisibleRowCount = 1;
    int VisibleColCount = 1;
};

// The navigation keys.
enum TEditorNavKey { nkPageUp, nkPageDown, nkEnd, nkHome, nkLeft, nkUp, nkRight, nkDown };

enum TEditorSelectionState { sstNone, sstAnchored, sstSelected, sstHit };

// Where a search hit is shown.
enum TEditorHitStyle { hsSelect, hsDraw, hsCaret };

// The selected part: rows TopRow..BottomRow, bytes StartByte..EndByte (inclusive; StartByte on
// the top row, EndByte on the bottom row) and columns StartCol..EndCol (box: the box's columns).
struct TSelectionExtent {
    int TopRow = 0, BottomRow = -1;
    int StartByte = 0, EndByte = -1;
    int StartCol = 0, EndCol = 0;
    friend bool operator==(const TSelectionExtent&, const TSelectionExtent&) = default;
};

using TSelectionEvent = std::function<void(TObject*, bool)>;

class TEditorModel : public TComponent, public TEditorClient {
  public:
    explicit TEditorModel(TComponent* Owner = nullptr);
    ~TEditorModel() override;
    const char* ClassName() const override { return "TEditorModel"; }

    TEditorScreenStrings& List() { return *FList; }
    const TEditorScreenStrings& List() const { return *FList; }
    // The text as logical lines.
    TEditorStrings& Lines() { return *FLines; }
    // Leaves the own row list (freed when no editor is left) and shows Source's.
    void ShareList(TEditorModel& Source);

    TEditorCaret& Caret() { return FCaret; }
    void SetCaret(const TEditorCaret& V) { FCaret.Assign(V); }
    TEditorMarks& Marks() { return FMarks; }
    void SetMarks(const TEditorMarks& V) { FMarks.Assign(V); }
    TEditorMargin& Margin() { return FMargin; }
    void SetMargin(const TEditorMargin& V) { FMargin.Assign(V); }
    TEditorViewInfo& View() { return FView; }
    void SetView(const TEditorViewInfo& V) { FView.Assign(V); }
    TEditorRuler& Ruler() { return FRuler; }
    void SetRuler(const TEditorRuler& V) { FRuler.Assign(V); }
    TEditorLeftbar& Leftbar() { return FLeftbar; }
    void SetLeftbar(const TEditorLeftbar& V) { FLeftbar.Assign(V); }
    TEditorImagebar& Imagebar() { return FImagebar; }
    void SetImagebar(const TEditorImagebar& V) { FImagebar.Assign(V); }
    TEditorSpeed& Speed() { return FSpeed; }
    void SetSpeed(const TEditorSpeed& V) { FSpeed.Assign(V); }
    TEditorWrapOption& WrapOption() { return FList->WrapOption(); }
    void SetWrapOption(const TEditorWrapOption& V) { FList->WrapOption().Assign(V); }
    bool WordWrap() const { return FList->WordWrap(); }
    void SetWordWrap(bool V) { FList->SetWordWrap(V); }
    int UndoListMax() const { return FList->UndoObj().ListMax(); }
    void SetUndoListMax(int V) { FList->UndoObj().SetListMax(V); }
    TStringList& ReserveWordList() { return FView.Fountain().ReserveWordList(); }
    // Nothing happens for the same strings; else they are copied and every row re-parsed.
    void SetReserveWordList(const TStrings& V);
    // An outside tokenizer used instead of the view's own; null for none.
    TFountain* Fountain() const { return FFountain; }
    void SetFountain(TFountain* V);
    // The outside tokenizer is being destroyed: forget it.
    void FountainDestroyed(TFountain* F);

    // Measuring with the editor's tab stops and wrap settings.
    TColumnMetrics ColumnMetrics() const {
        return {FCaret.TabSpaceCount(), FList->WordWrap(), FList->WrapOption().WrapByte()};
    }
    std::string ColumnMap(std::string_view S) const {
        return editor::ColumnMap(S, ColumnMetrics());
    }
    int StrWidth(std::string_view S) const { return editor::StrWidth(S, ColumnMetrics()); }
    std::string ExpandTab(std::string_view S) const {
        return editor::ExpandTab(S, ColumnMetrics());
    }

    bool Modified() const { return FModified; }
    void SetModified(bool V) { FModified = V; }
    TNotifyEvent OnChange;

    // Caret, selection and scrolling.
    const TEditorMetrics& Metrics() const { return FMetrics; }
    int RowCount() const { return FList->Count(); }
    int VisibleRowCount() const { return FMetrics.VisibleRowCount; }
    int VisibleColCount() const { return FMetrics.VisibleColCount; }
    int Row() const { return FCaretRow; }
    int Col() const { return FCaretCol; }
    void SetRow(int Value);
    void SetCol(int Value);
    void SetRowCol(int ARow, int ACol);
    // Display columns of a row (0 for the row after the last).
    int RowWidth(int ARow) const;
    // Bytes of a row before display column ACol (at most the row's length).
    int ByteOfCol(int ARow, int ACol) const;
    // Display column where byte AByte of a row starts (at most the row's width).
    int ColOfByte(int ARow, int AByte) const;
    // The last row may be followed by the row after a final line end.
    int LastCaretRow() const;
    int OffsetOf(int StartRow, int ARow, int ACol) const;
    void SetCaretByOffset(int StartRow, int Offset);
    struct TRowCol {
        int Row, Col;
    };
    TRowCol PosToRowCol(int X, int Y, bool Rounding) const;
    int SelStart() const;
    void SetSelStart(int Offset);
    int SelLength() const;
    void SetSelLength(int Count);
    std::string SelText() const;
    void SelectAll();
    // The length of the whole text, each line end counting two bytes.
    int TextLength() const;
    void StartSelection();
    void UpdateSelection();
    void CleanSelection();
    bool SelectionMode() const { return FBoxMode; }
    void SetSelectionMode(bool Box);
    bool Selected() const { return FSelState == sstSelected; }
    TEditorSelectionState SelectionState() const { return FSelState; }
    const TSelectionExtent& SelectionExtent() const { return FExtent; }
    // The rows and columns whose selected state a repaint must look at: the extent last drawn.
    const TSelectionExtent& PrevSelectionExtent() const { return FPrevExtent; }
    int HitLength() const { return FHitLength; }
    int TopCol() const { return FTopCol; }
    void SetTopCol(int Value);
    void ScrollRows(int N);
    // The scroll-bar ranges (Windows style: the range's maximum is TopRow's + the page - 1).
    int GreatestTopRow() const { return std::max(0, RowCount() + VisibleRowCount() - 1); }
    int GreatestTopCol() const { return std::max(0, 1000 - VisibleColCount() / 2); }
    void ClampTopToScrollRange();
    // EM_SCROLLCARET.
    void ScrollCaret();
    // A navigation key pressed, with Shift (extends the selection), Ctrl and whether the key
    // repeats (accelerated steps).
    void NavigateKey(TEditorNavKey Key, bool Shift, bool Ctrl, bool Repeat);
    // Row selection from the left margin: starts on row R (the row whole, with its line end),
    // then covers every row from R to R2 while the button is held.
    void StartRowSelection(int R);
    void ExtendRowSelection(int R2);
    void EndRowSelection() { FRowSelecting = false; }
    bool RowSelecting() const { return FRowSelecting; }
    // Ctrl+Right and Ctrl+Left: to the next or previous token start of the active tokenizer.
    void TokenStepRight();
    void TokenStepLeft();

    // The editor's own search: Text from after the selection (or the caret) downward, or from
    // its start upward (Options: the text search routine's, bit 0 downward), over chunks of rows
    // joined with their line ends. A hit is shown by HitStyle, the caret at its start.
    bool Search(const std::string& Text, int Options);
    TEditorHitStyle HitStyle() const { return FHitStyle; }
    void SetHitStyle(TEditorHitStyle V) { FHitStyle = V; }
    // Brings the caret into view, places it and reports it (nothing while updates are
    // suspended); the widget shows it.
    void UpdateCaret();
    // The column held across vertical moves, if one is.
    bool RememberedCol(int& C) const {
        C = FRememberedCol;
        return FHasRememberedCol;
    }
    void ForgetCol() { FHasRememberedCol = false; }

    // The caret-row underline is erased before the caret row changes and redrawn after; the
    // brackets nest: only the outermost pair draws.
    void BeginUnderlineErase() {
        if (FUnderlineNest++ == 0) UnderlineView(false);
    }
    void EndUnderlineErase() {
        if (--FUnderlineNest == 0) UnderlineView(true);
    }
    bool UnderlineErased() const { return FUnderlineNest > 0; }

    TNotifyEvent OnCaretMoved;
    TSelectionEvent OnSelectionChange;
    TNotifyEvent OnSelectionModeChange;
    TNotifyEvent OnTopColChange;
    TNotifyEvent OnTopRowChange;

    // Undo and redo (the selection or hit is dropped first); the history is the row list's.
    void Undo();
    void Redo();
    bool CanUndo() const { return FList->UndoObj().CanUndo(); }
    bool CanRedo() const { return FList->UndoObj().CanRedo(); }

    // Editing commands: each makes one ReplaceRows call, so each is one undo step; none
    // changes anything while ReadOnly.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool V) {
        if (!SelDragging()) FReadOnly = V;
    }
    // Whether Tab and Return stay in the editor (else they move the focus on, or press the
    // dialog's default button).
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool V) { FWantTabs = V; }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool V) { FWantReturns = V; }
    // Typed characters replace the character under the caret instead of going in before it.
    bool Overwrite() const { return FOverwrite; }
    void SetOverwrite(bool V) { FOverwrite = V; }
    // Bytes of an input-method result already inserted whose character messages are to come.
    int ImeSkipCount() const { return FImeSkip; }
    void SetImeSkipCount(int V) { FImeSkip = std::max(0, V); }
    // Display width of the leading blanks of S (half-width 1, full-width 2, a tab to its
    // stop); -1 for an empty S.
    int IndentWidth(std::string_view S) const;
    void InsertString(std::string_view S);
    void SetSelText(std::string_view S);
    void DeleteSelection();
    void BoxPaste(std::string_view S);
    // Empties the text (and the undo history).
    void Clear() { FLines->Clear(); }
    // A character typed: its one or two bytes. Dropped while ReadOnly and while bytes of an
    // input-method result already inserted are still to come; typed over the character under
    // the caret in overwrite mode.
    void TypeChar(std::string_view Ch);
    // A character message: Backspace (8), Tab (9), Return (13), a one-byte character, or one
    // byte of a two-byte character (the lead byte waits for its trail byte).
    void KeyChar(unsigned char C, bool Shift = false, bool Ctrl = false);
    void BackSpace();
    void TabKey(bool Shift = false, bool Ctrl = false);
    void ReturnKey(bool Shift = false);
    void DeleteKey();
    // Drops a dragged selection at (ARow, ACol): moved there, or with Copy a copy inserted.
    void MoveSelection(int ARow, int ACol, bool Copy);

    // Row marks: 0 to 9 numbered (on one row each when set by SetRowMark), 10 to 15 image
    // marks. The row list keeps the set of marks in use.
    int RowMarks(int ARow) const;
    void SetRowMarks(int ARow, int Marks);
    void SetRowMark(int ARow, int N);
    void DeleteRowMark(int ARow, int N);
    // To the first row that carries mark N, scrolled to the middle of the view when hidden.
    void GotoRowMark(int N);
    // The mark set submenu: on or off on the caret row.
    void ToggleRowMark(int N);

    // The clipboard (none until one is given: copying and pasting then do nothing).
    TEditorClipboard* Clipboard() const { return FClipboard; }
    void SetClipboard(TEditorClipboard* V) { FClipboard = V; }
    // Copy and cut act on a selection (a box goes tagged as a box); paste takes the clipboard's
    // text, as a box when it is tagged as one. BoxPasteFromClipboard pastes any text as a box.
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void BoxPasteFromClipboard();

    // The text as characters (a two-byte character and a line end one each), for assistive
    // technology; kept from the first time it is asked for. The caret as such an offset.
    TCharOffsets& CharOffsets();
    int CaretOffset();

    // The editor's reaction to a change of one of its option objects or of the outside fountain.
    void OptionChanged(TObject* Sender);

    // Reading stored settings: wrap changes wait until Loaded, which wraps and parses once.
    void BeginLoading() { FLoading = true; }
    void Loaded();

    // TEditorClient
    void ListChanged(TEditorScreenStrings& L) override;
    void TextReplacing(int Index, int Count, std::string_view Text) override;
    int CaretRow() const override { return FCaretRow; }
    int CaretCol() const override { return FCaretCol; }
    void SetCaretPos(int Row, int Col) override;
    // Row, then column, placed as the caret moves.
    void PlaceCaret(int ARow, int ACol) override;
    int TopRow() const override { return FTopRow; }
    // Clamped to 0..RowCount; the view scrolls its pixels.
    void SetTopRow(int Value) override;
    void DropSelection() override { CleanSelection(); }
    int ScreenHeight() const override { return FMetrics.RowHeight * FMetrics.VisibleRowCount; }
    int RowHeight() const override { return FMetrics.RowHeight; }
    bool Loading() const override { return FLoading; }
    bool Destroying() const override { return FDestroying; }
    int TabSpaceCount() const override { return FCaret.TabSpaceCount(); }
    bool InitBracketsFull() const override { return FSpeed.InitBracketsFull; }
    TFountain* ActiveFountain() override;

  protected:
    // The view side, supplied by the widget.
    // Whether the window exists (option changes stop short of the view without it).
    virtual bool HandleAllocated() const { return false; }
    // Metrics, scroll bars, bar and ruler images, repaint, and the caret (rebuilt after a change
    // of the caret options, else scrolled into view).
    virtual void OptionChangedView(TObject*) {}
    // Repaint from the change record and update the scroll bars.
    virtual void ListChangedView(const TChangeRecord&) {}
    virtual void Invalidate() {}
    // After ShareList: metrics, scroll bars, margin background, repaint.
    virtual void ListShared() {}

    TEditorMetrics& MutableMetrics() { return FMetrics; }
    // Whether the left mouse button is held (a drag keeps the caret at row ends).
    virtual bool LeftButtonDown() const { return false; }
    // Whether a selection is being dragged (the selection mode then stays).
    virtual bool SelDragging() const { return false; }
    // The view follows: pixels scrolled by the change, scroll bar set.
    virtual void TopRowChangedView(int /*OldTopRow*/) {}
    virtual void TopColChangedView(int /*OldTopCol*/) {}
    // The caret was placed (ruler mark, underline); with the focus it is shown at its place.
    virtual void CaretPlacedView() {}
    // The selection changed from the previous extent to the current one (both with the state
    // before and after); repaint the rows whose selected state changed.
    virtual void SelectionChangedView(const TSelectionExtent& /*Old*/, bool /*OldShown*/) {}
    // The caret-row underline is erased before the caret row changes and redrawn after.
    virtual void UnderlineView(bool /*Draw*/) {}
    // A hit shown by a wide caret is over: the normal caret again.
    virtual void RestoreCaretShapeView() {}
    // A hit shown by the caret: the caret as wide as the hit's columns on its first row.
    virtual void HitCaretView(int /*Columns*/) {}
    // A row's marks changed: its image bar cell is repainted.
    virtual void RowMarksChangedView(int /*ARow*/) {}
    // Whether what each edit removed and inserted is wanted (as characters), and the text
    // changed: by Edit when it was one edit whose change is known, else (a text set or loaded
    // whole) null.
    virtual bool TextEditsWanted() const { return false; }
    virtual void TextChangedView(const TTextEdit* /*Edit*/) {}
    // Caret updates wait while a compound move runs.
    int FCaretUpdateLock = 0;
    // The next selection made is shown as a search hit.
    bool FSelectAsHit = false;
    TEditorHitStyle FHitStyle = hsSelect;

  private:
    friend class TEditorStrings;
    void FountainChanged(TObject* Sender) { OptionChanged(Sender); }
    void Route(TNotifyPersistent& Option);

    std::shared_ptr<TEditorScreenStrings> FList;
    std::unique_ptr<TCharOffsets> FCharOffsets;
    std::unique_ptr<TEditorStrings> FLines;
    TEditorCaret FCaret;
    TEditorMarks FMarks;
    TEditorMargin FMargin;
    TEditorViewInfo FView;
    TEditorRuler FRuler;
    TEditorLeftbar FLeftbar;
    TEditorImagebar FImagebar;
    TEditorSpeed FSpeed;
    TFountain* FFountain = nullptr;
    bool FModified = false;
    bool FLoading = false;
    bool FDestroying = false;
    int FCaretRow = 0;
    int FCaretCol = 0;
    int FTopRow = 0;

    // Caret, selection and scrolling.
    void AdjustCol(int Direction, bool Vertical);
    void Remember(bool Vertical);
    void ComputeExtent();
    const std::string& RowText(int ARow) const;
    std::string RowMap(int ARow) const;
    // Bytes and text of a box row between the box's columns.
    std::string BoxPiece(int ARow) const;
    TEditorMetrics FMetrics;
    int FTopCol = 0;
    bool FHasRememberedCol = false;
    int FRememberedCol = 0;
    TEditorSelectionState FSelState = sstNone;
    bool FBoxMode = false;
    int FAnchorRow = 0, FAnchorByte = 0, FAnchorCol = 0;
    TSelectionExtent FExtent, FPrevExtent;
    int FHitLength = 0;
    int FUnderlineNest = 0;
    bool FRowSelecting = false;
    int FRowSelFirst = 0, FRowSelEnd = 0;
    void SelectRows(int From, int To);

    // Editing.
    // The caret's byte index: its column less the tab blanks before it, beyond the row's end
    // counting the columns past it.
    int CaretIndex() const;
    // Replaces Count rows from ARow with Text and puts the caret CaretInText bytes into Text.
    void ReplaceAndPlace(int ARow, int Count, const std::string& Text, int CaretInText);
    // Text with a selection taken out (or S put in its place); the caret after S.
    void ReplaceSelection(std::string_view S);
    void TypeString(std::string_view S);
    void Outdent();
    bool FReadOnly = false;
    bool FWantTabs = true;
    bool FWantReturns = true;
    bool FOverwrite = false;
    int FImeSkip = 0;
    int FPendingLead = -1;
    TEditorClipboard* FClipboard = nullptr;
};

} // namespace editor
