// Keyboard, mouse and input method: the keys and pointer movements that reach an editor turned
// into caret moves, selections and editing commands. Everything here is decided without a
// display; the widget only translates its events into these calls.
#pragma once

#include "editor_model.h"

#include <functional>

namespace editor {

enum TEditorKey {
    ekOther,
    ekPageUp,
    ekPageDown,
    ekEnd,
    ekHome,
    ekLeft,
    ekUp,
    ekRight,
    ekDown,
    ekDelete,
    ekEscape,
    ekControl,
    ekTab,
    ekReturn,
};

enum TDragState { dsNone, dsPending, dsDragging };

// Where the pointer is, for the cursor shape.
enum TCursorZone { czNone, czText, czLeftMargin, czTopMargin, czInSelection, czDrag, czDragCopy };

class TEditorInput {
  public:
    explicit TEditorInput(TEditorModel& Editor) : FEditor(Editor) {}

    // A key went down; AutoRepeat when it is held. False when the key is not the editor's.
    bool KeyDown(TEditorKey Key, bool Shift, bool Ctrl, bool AutoRepeat);
    // Clears the repeat flag; a move of the input method's window waiting for it is due.
    void KeyUp();
    bool AutoRepeat() const { return FAutoRepeat; }
    // Whether the caret moved while a key repeated (the composition window waits for the
    // key's release); cleared by the caller once it has moved the window.
    bool ImeMoveDeferred() const { return FImeMoveDeferred; }
    void ClearImeMoveDeferred() { FImeMoveDeferred = false; }

    // Ctrl+Right and Ctrl+Left: the next or previous token start of the active tokenizer.
    void TokenRight();
    void TokenLeft();

    // Left button pressed at client point (X, Y).
    void MouseDown(int X, int Y, bool Shift);
    // Pointer moved; Ctrl held.
    void MouseMove(int X, int Y, bool Ctrl);
    // Left button released; InClient when the point lies in the client area.
    void MouseUp(int X, int Y, bool Ctrl, bool InClient);
    // While a drag is pending or running or the left button is held, keys are not the
    // editor's: Ctrl and Esc only steer a running drag. True when the key was swallowed.
    bool FilterKeyDown(TEditorKey Key);
    bool FilterKeyUp(TEditorKey Key);
    // Whether pointer messages other than moves and the release are swallowed now.
    bool Capturing() const { return FLeftDown || FDrag != dsNone; }
    bool LeftDown() const { return FLeftDown; }
    TDragState DragState() const { return FDrag; }
    bool RowSelecting() const { return FEditor.RowSelecting(); }
    void CancelDrag(bool EscHeld = false);
    // The left button is found up without its release having come: the press ends (a
    // selection stays as it is), a pending or running drag is cancelled.
    void ReleaseLost();

    // Whether the selection may be dragged, and whether a client point lies on it.
    bool CanDragSelection() const;
    bool PointInSelection(int X, int Y) const;
    // The zone of a client point; cursor set through OnCursor only when the zone changes.
    TCursorZone ZoneAt(int X, int Y) const;
    TCursor CursorOf(TCursorZone Zone) const;
    TCursorZone CursorZone() const { return FZone; }
    std::function<void(TCursor)> OnCursor;

    // The input method's result string, already Shift-JIS: one insertion, one undo step.
    void ImeCommit(const std::string& Text);

    // Whether a key stays in the editor: Tab and Return only while it wants them.
    bool WantsKey(TEditorKey Key) const {
        return Key == ekTab ? FEditor.WantTabs() : Key == ekReturn ? FEditor.WantReturns() : true;
    }

  private:
    void SetZone(TCursorZone Zone);
    void Drop(bool Ctrl, bool InClient);
    // Whether the caret lies inside the selection or at one of its ends.
    bool CaretInSelection() const;
    bool FarFromPress(int X, int Y) const;

    TEditorModel& FEditor;
    bool FAutoRepeat = false;
    bool FImeMoveDeferred = false;
    bool FLeftDown = false;
    int FPressX = 0, FPressY = 0;
    TDragState FDrag = dsNone;
    TCursorZone FZone = czNone;
};

} // namespace editor
