// Keyboard, mouse and input method.
#include "input.h"

#include <cstdlib>

namespace editor {

// Navigation keys.

bool TEditorInput::KeyDown(TEditorKey Key, bool Shift, bool Ctrl, bool AutoRepeat) {
    if (Key == ekDelete) {
        FEditor.DeleteKey(); // nothing while read-only
        return true;
    }
    TEditorNavKey nav;
    switch (Key) {
    case ekPageUp:
        nav = nkPageUp;
        break;
    case ekPageDown:
        nav = nkPageDown;
        break;
    case ekEnd:
        nav = nkEnd;
        break;
    case ekHome:
        nav = nkHome;
        break;
    case ekLeft:
        nav = nkLeft;
        break;
    case ekUp:
        nav = nkUp;
        break;
    case ekRight:
        nav = nkRight;
        break;
    case ekDown:
        nav = nkDown;
        break;
    default:
        return false;
    }
    FAutoRepeat = AutoRepeat;
    const int rowBefore = FEditor.Row(), colBefore = FEditor.Col();
    const int topBefore = FEditor.TopRow(), leftBefore = FEditor.TopCol();
    FEditor.NavigateKey(nav, Shift, Ctrl, AutoRepeat);
    // While a key repeats the composition window waits for its release.
    if (AutoRepeat && (FEditor.Row() != rowBefore || FEditor.Col() != colBefore ||
                       FEditor.TopRow() != topBefore || FEditor.TopCol() != leftBefore))
        FImeMoveDeferred = true;
    return true;
}

void TEditorInput::KeyUp() {
    FAutoRepeat = false;
}

// Token steps: the model's.

void TEditorInput::TokenRight() {
    FEditor.TokenStepRight();
}

void TEditorInput::TokenLeft() {
    FEditor.TokenStepLeft();
}

// Mouse.

bool TEditorInput::CanDragSelection() const {
    return !FEditor.ReadOnly() && FEditor.Selected() && !FEditor.SelectionMode() &&
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
        e.StartRowSelection(e.PosToRowCol(X, Y, false).Row);
        return;
    }
    auto rc = e.PosToRowCol(X, Y, true);
    e.SetRowCol(std::max(0, rc.Row), rc.Col);
    e.StartSelection();
}

void TEditorInput::MouseMove(int X, int Y, bool Ctrl) {
    TEditorModel& e = FEditor;
    if (FDrag == dsPending) {
        if (!FarFromPress(X, Y)) return;
        FDrag = dsDragging;
        SetZone(Ctrl ? czDragCopy : czDrag);
    }
    if (FDrag == dsDragging) {
        // The caret shows the drop point from the move that starts the drag on, so a release
        // right after it drops where the pointer is, not back at the press.
        auto rc = e.PosToRowCol(X, Y, false);
        e.SetRowCol(std::max(0, rc.Row), rc.Col);
        return;
    }
    if (FLeftDown) {
        auto rc = e.PosToRowCol(X, Y, true);
        const int row = std::max(0, rc.Row);
        if (e.RowSelecting()) {
            e.ExtendRowSelection(row);
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
    FEditor.EndRowSelection();
    if (FEditor.Caret().AutoCursor() && FDrag == dsNone && InClient) SetZone(ZoneAt(X, Y));
}

void TEditorInput::Drop(bool Ctrl, bool InClient) {
    FDrag = dsNone;
    if (!InClient || CaretInSelection() || !CanDragSelection()) {
        FEditor.CleanSelection();
        return;
    }
    FEditor.MoveSelection(FEditor.Row(), FEditor.Col(), Ctrl);
}

void TEditorInput::CancelDrag(bool EscHeld) {
    FDrag = dsNone;
    if (EscHeld && FEditor.Caret().AutoCursor())
        SetZone(czText);
    else
        FZone = czNone; // the next move sets the cursor by zone
    FEditor.CleanSelection();
}

void TEditorInput::ReleaseLost() {
    FLeftDown = false;
    if (FDrag != dsNone) CancelDrag();
    FEditor.EndRowSelection();
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

// Input method.

void TEditorInput::ImeCommit(const std::string& Text) {
    if (Text.empty() || FEditor.ReadOnly()) return;
    FEditor.InsertString(Text);
}

} // namespace editor
