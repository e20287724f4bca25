// Keyboard, mouse and input method.
#include "input.h"

#include <cstdlib>

namespace editor {

int TEditorInput::RowAttr(int Row) const {
    return Row >= 0 && Row < FEditor.RowCount() ? FEditor.List().RowAttr(Row) : LineEnd;
}

bool TEditorInput::IsEndOfText(int Row) const {
    return Row >= 0 && Row < FEditor.RowCount() && FEditor.List().RowAttr(Row) == EndOfText;
}

// Navigation keys.

bool TEditorInput::KeyDown(TEditorKey Key, bool Shift, bool Ctrl, bool AutoRepeat) {
    if (Key == ekDelete) {
        if (!FCommands.ReadOnly()) FCommands.DeleteKey();
        return true;
    }
    if (Key < ekPageUp || Key > ekDown) return false;
    FAutoRepeat = AutoRepeat;
    TEditorModel& e = FEditor;
    const int rowBefore = e.Row(), colBefore = e.Col();
    if (Shift && !e.Selected())
        e.StartSelection();
    else if (!Shift && (e.SelectionState() == sstSelected || e.SelectionState() == sstHit))
        e.CleanSelection();
    const int vr = e.VisibleRowCount();
    const bool firstVisible = e.Row() == e.TopRow();
    const bool lastVisible = e.Row() == e.TopRow() + vr - 1;
    switch (Key) {
    case ekPageUp:
    case ekPageDown: {
        const int n =
            (vr - 1) / 2 *
            (AutoRepeat ? e.Speed().PageVerticalRangeAc() : e.Speed().PageVerticalRange());
        e.ScrollRows(Key == ekPageUp ? -n : n);
        break;
    }
    case ekEnd:
        if (Ctrl) e.SetRow(e.RowCount());
        e.SetCol(e.RowWidth(e.Row()));
        break;
    case ekHome:
        if (Ctrl) e.SetRow(0);
        e.SetCol(0);
        break;
    case ekLeft:
        if (Ctrl)
            TokenLeft();
        else if (e.Col() == 0) {
            const int r = e.Row();
            if (r > 0 && (RowAttr(r - 1) == Wrapped || e.Caret().NextLine()))
                e.SetRowCol(r - 1, e.RowWidth(r - 1));
        } else
            e.SetCol(e.Col() - 1);
        break;
    case ekRight:
        if (Ctrl)
            TokenRight();
        else {
            const int before = e.Col();
            e.SetCol(before + 1);
            const int r = e.Row();
            if (e.Col() == before && r < e.RowCount() && !IsEndOfText(r) &&
                (RowAttr(r) == Wrapped || e.Caret().NextLine()))
                e.SetRowCol(r + 1, 0);
        }
        break;
    case ekUp: {
        const int n = AutoRepeat && firstVisible ? e.Speed().CaretVerticalAc() : 1;
        if (Ctrl) {
            e.SetTopRow(e.TopRow() - n);
            if (e.Row() > e.TopRow() + vr - 1) e.SetRow(e.Row() - n);
        } else
            e.SetRow(e.Row() - n);
        break;
    }
    case ekDown: {
        const int n = AutoRepeat && lastVisible ? e.Speed().CaretVerticalAc() : 1;
        if (Ctrl) {
            if (e.TopRow() < e.RowCount()) e.SetTopRow(e.TopRow() + n);
            if (e.Row() < e.TopRow()) e.SetRow(e.Row() + n);
        } else if (!IsEndOfText(e.Row()))
            e.SetRow(e.Row() + n);
        break;
    }
    default:
        break;
    }
    if (Shift) e.UpdateSelection();
    if (AutoRepeat && (e.Row() != rowBefore || e.Col() != colBefore)) FImeMoveDeferred = true;
    return true;
}

void TEditorInput::KeyUp() {
    FAutoRepeat = false;
}

// Token steps.

namespace {
// The display columns where the tokens of a row start, symbols passed over.
std::vector<int> TokenStarts(TEditorModel& E, int Row) {
    std::vector<int> starts;
    if (Row < 0 || Row >= E.RowCount()) return starts;
    TFountain* f = E.ActiveFountain();
    if (!f) return starts;
    std::unique_ptr<TFountainParser> p = f->CreateParser();
    TRowAttributeData state{};
    state.Bracket = -2;
    // In the tab-expanded text a byte is a column.
    p->StartRow(E.ExpandTab(E.List().Text(Row)), state);
    for (std::uint8_t k; (k = p->ReadToken()) != kdEnd;)
        if (k != kdSymbol) starts.push_back(p->TokenOffset());
    return starts;
}
} // namespace

void TEditorInput::TokenRight() {
    TEditorModel& e = FEditor;
    int r = e.Row(), c = e.Col();
    if (r >= e.RowCount()) return;
    if (c >= e.RowWidth(r) && r < e.RowCount() - 1) {
        ++r;
        c = -1;
    }
    for (int s : TokenStarts(e, r))
        if (s > c) {
            e.SetRowCol(r, s);
            return;
        }
    if (RowAttr(r) == Wrapped && r + 1 < e.RowCount())
        e.SetRowCol(r + 1, 0);
    else
        e.SetRowCol(r, e.RowWidth(r));
}

void TEditorInput::TokenLeft() {
    TEditorModel& e = FEditor;
    int r = std::min(e.Row(), e.RowCount()), c = e.Col();
    if (c == 0 || r >= e.RowCount()) {
        if (r == 0) return;
        --r;
        c = e.RowWidth(r);
        if (RowAttr(r) == LineEnd) {
            e.SetRowCol(r, c);
            return;
        }
    }
    std::vector<int> starts = TokenStarts(e, r);
    for (auto it = starts.rbegin(); it != starts.rend(); ++it)
        if (*it < c) {
            e.SetRowCol(r, *it);
            return;
        }
    if (r == 0)
        e.SetRowCol(0, 0);
    else
        e.SetRowCol(r - 1, e.RowWidth(r - 1));
}

// Mouse.

bool TEditorInput::CanDragSelection() const {
    return !FCommands.ReadOnly() && FEditor.Selected() && !FEditor.SelectionMode() &&
           FEditor.Caret().SelMove();
}

bool TEditorInput::PointInSelection(int X, int Y) const {
    if (!FEditor.Selected() || FEditor.SelectionMode()) return false;
    auto rc = FEditor.PosToRowCol(X, Y, false);
    const TSelectionExtent& x = FEditor.SelectionExtent();
    if (rc.Row < x.TopRow || rc.Row > x.BottomRow) return false;
    const int w = FEditor.RowWidth(rc.Row);
    // A row's line end belongs to the selection on every row but the last.
    if (rc.Col >= w) return rc.Row < x.BottomRow && rc.Col == w;
    const int b = FEditor.ByteOfCol(rc.Row, rc.Col);
    if (rc.Row == x.TopRow && b < x.StartByte) return false;
    if (rc.Row == x.BottomRow && b > x.EndByte) return false;
    return true;
}

bool TEditorInput::CaretInSelection() const {
    const TSelectionExtent& x = FEditor.SelectionExtent();
    const int r = FEditor.Row();
    if (r < x.TopRow || r > x.BottomRow) return false;
    const int b = FEditor.ByteOfCol(r, FEditor.Col());
    if (r == x.TopRow && b < x.StartByte) return false;
    if (r == x.BottomRow && b > x.EndByte + 1) return false;
    return true;
}

bool TEditorInput::FarFromPress(int X, int Y) const {
    const int half = FEditor.Metrics().ColWidth / 2;
    return std::abs(X - FPressX) >= half || std::abs(Y - FPressY) >= half;
}

void TEditorInput::MouseDown(int X, int Y, bool Shift) {
    TEditorModel& e = FEditor;
    FLeftDown = true;
    if (Shift) {
        if (!e.Selected()) e.StartSelection();
        auto rc = e.PosToRowCol(X, Y, true);
        e.SetRowCol(std::max(0, rc.Row), rc.Col);
        e.UpdateSelection();
        return;
    }
    FPressX = X;
    FPressY = Y;
    const int left = e.Metrics().LeftMargin;
    if (CanDragSelection() && X >= left && PointInSelection(X, Y)) {
        auto rc = e.PosToRowCol(X, Y, false);
        e.SetRowCol(rc.Row, rc.Col);
        if (e.Caret().SelDragMode() == dmAutomatic) {
            // The press ends here: what follows is the drag, not a selection.
            FLeftDown = false;
            FDrag = dsPending;
        }
        return;
    }
    if (X < left && e.Caret().RowSelect()) {
        StartRowSelect(e.PosToRowCol(X, Y, false).Row);
        return;
    }
    auto rc = e.PosToRowCol(X, Y, true);
    e.SetRowCol(std::max(0, rc.Row), rc.Col);
    e.StartSelection();
}

void TEditorInput::MouseMove(int X, int Y, bool Ctrl) {
    TEditorModel& e = FEditor;
    if (FDrag == dsPending) {
        if (FarFromPress(X, Y)) {
            FDrag = dsDragging;
            SetZone(Ctrl ? czDragCopy : czDrag);
        }
        return;
    }
    if (FDrag == dsDragging) {
        // The caret shows the drop point.
        auto rc = e.PosToRowCol(X, Y, false);
        e.SetRowCol(std::max(0, rc.Row), rc.Col);
        return;
    }
    if (FLeftDown) {
        auto rc = e.PosToRowCol(X, Y, true);
        const int row = std::max(0, rc.Row);
        if (FRowSelecting) {
            ExtendRowSelect(row);
            return;
        }
        e.SetRowCol(row, rc.Col);
        if (e.Selected())
            e.UpdateSelection();
        else if (e.SelectionState() == sstAnchored && FarFromPress(X, Y))
            e.UpdateSelection();
        return;
    }
    if (e.Caret().AutoCursor()) SetZone(ZoneAt(X, Y));
}

void TEditorInput::MouseUp(int X, int Y, bool Ctrl, bool InClient) {
    FLeftDown = false;
    if (FDrag == dsDragging)
        Drop(Ctrl, InClient);
    else if (FDrag == dsPending)
        CancelDrag();
    FRowSelecting = false;
    if (FEditor.Caret().AutoCursor() && FDrag == dsNone && InClient) SetZone(ZoneAt(X, Y));
}

void TEditorInput::Drop(bool Ctrl, bool InClient) {
    FDrag = dsNone;
    if (!InClient || CaretInSelection() || !CanDragSelection()) {
        FEditor.CleanSelection();
        return;
    }
    if (Ctrl)
        FCommands.CopySelection(FEditor.Row(), FEditor.Col());
    else
        FCommands.MoveSelection(FEditor.Row(), FEditor.Col());
}

void TEditorInput::CancelDrag(bool EscHeld) {
    FDrag = dsNone;
    if (EscHeld && FEditor.Caret().AutoCursor())
        SetZone(czText);
    else
        FZone = czNone; // the next move sets the cursor by zone
    FEditor.CleanSelection();
}

bool TEditorInput::FilterKeyDown(TEditorKey Key) {
    if (!Capturing()) return false;
    if (FDrag == dsDragging) {
        if (Key == ekControl) SetZone(czDragCopy);
        if (Key == ekEscape) CancelDrag(true);
    }
    return true;
}

bool TEditorInput::FilterKeyUp(TEditorKey Key) {
    if (!Capturing()) return false;
    if (FDrag == dsDragging && Key == ekControl) SetZone(czDrag);
    return true;
}

TCursorZone TEditorInput::ZoneAt(int X, int Y) const {
    const TEditorMetrics& m = FEditor.Metrics();
    if (X < m.LeftMargin) return czLeftMargin;
    if (Y < m.TopMargin) return czTopMargin;
    if (CanDragSelection() && PointInSelection(X, Y)) return czInSelection;
    return czText;
}

TCursor TEditorInput::CursorOf(TCursorZone Zone) const {
    TEditorCursors& c = FEditor.Caret().Cursors();
    switch (Zone) {
    case czLeftMargin:
        return c.LeftMarginCursor();
    case czTopMargin:
        return c.TopMarginCursor();
    case czInSelection:
        return c.InSelCursor();
    case czDrag:
        return c.DragSelCursor();
    case czDragCopy:
        return c.DragSelCopyCursor();
    default:
        return c.DefaultCursor();
    }
}

void TEditorInput::SetZone(TCursorZone Zone) {
    if (Zone == FZone) return;
    FZone = Zone;
    if (OnCursor) OnCursor(CursorOf(Zone));
}

// Row selection.

void TEditorInput::StartRowSelect(int Row) {
    TEditorModel& e = FEditor;
    const int r = std::clamp(Row, 0, e.LastCaretRow());
    FRowSelecting = true;
    FRowSelFirst = FRowSelEnd = r;
    if (IsEndOfText(r)) {
        e.SetRowCol(r, e.RowWidth(r));
        e.StartSelection();
        e.SetRowCol(r, 0);
        e.UpdateSelection();
    } else {
        e.SetRowCol(r, 0);
        e.StartSelection();
        e.SetRowCol(r + 1, 0);
        e.UpdateSelection();
        e.SetRowCol(r, 0);
    }
}

void TEditorInput::ExtendRowSelect(int Row) {
    TEditorModel& e = FEditor;
    const int r2 = std::clamp(Row, 0, e.LastCaretRow());
    if (r2 == FRowSelEnd && e.Selected()) return;
    FRowSelEnd = r2;
    const int upper = std::min(FRowSelFirst, r2), lower = std::max(FRowSelFirst, r2);
    e.SetRowCol(upper, 0);
    e.StartSelection();
    if (IsEndOfText(lower))
        e.SetRowCol(lower, e.RowWidth(lower));
    else
        e.SetRowCol(lower + 1, 0);
    e.UpdateSelection();
    if (r2 < FRowSelFirst) e.SetRowCol(r2, 0);
}

// Input method.

void TEditorInput::ImeCommit(const std::string& Text) {
    if (Text.empty() || FCommands.ReadOnly()) return;
    FCommands.InsertString(Text);
}

} // namespace editor
