// The popup menu's items and their upkeep, the clipboard commands, the numbered and image row
// marks, and the standard edit-control operations, so that code written for a plain edit
// control can drive the editor. Offsets are byte offsets in the whole text, a line end counting
// two bytes.
#pragma once

#include "editor_model.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace editor {

enum TPopupAction {
    paNone, // a separator or a submenu
    paMarkSet,
    paMarkJump,
    paUndo,
    paRedo,
    paCut,
    paCopy,
    paPaste,
    paBoxPaste,
    paDelete,
    paSelectAll,
    paBoxMode,
};

struct TPopupItem {
    TPopupAction Action = paNone;
    std::string Caption; // Shift-JIS; "-" for a separator
    std::string ShortCut;
    int Tag = 0;
    bool Enabled = true;
    bool Checked = false;
    std::vector<TPopupItem> Items; // a submenu's items
    bool IsSeparator() const { return Caption == "-"; }
};

// The menu's items in order, the editing items disabled.
std::vector<TPopupItem> PopupMenuItems();

// Packs two 16-bit values as the edit-control messages answer them.
constexpr std::uint32_t MakeLong(int Low, int High) {
    return (static_cast<std::uint32_t>(Low) & 0xFFFF) |
           ((static_cast<std::uint32_t>(High) & 0xFFFF) << 16);
}

class TEditorMessages {
  public:
    explicit TEditorMessages(TEditorModel& Editor) : FEditor(Editor) {}

    // Popup menu: the items' states just before it pops up, and an item's click.
    void UpdatePopup(std::vector<TPopupItem>& Items);
    void RunPopup(TPopupAction Action, int Tag);

    // Edit-control operations. Start and End receive the true offsets; the result holds their
    // low 16 bits.
    std::uint32_t GetSel(int* Start, int* End) const;
    // (0, -1) selects all; Start -1 drops the selection.
    void SetSel(int Start, int End);
    void ScrollCaret() { FEditor.ScrollCaret(); }
    bool GetModify() const { return FEditor.Modified(); }
    void SetModify(bool V);
    int GetLineCount() const { return FEditor.RowCount(); }
    // -1: the caret row.
    int LineIndex(int Row) const;
    // -1: the bytes left unselected on the selected rows, or the caret row's length.
    int LineLength(int Offset) const;
    void ReplaceSel(const std::string& S);
    // The row's bytes, at most as many as the little-endian 16-bit word at the buffer's start
    // allows and never more than the buffer holds; no NUL is added. 0 for no row.
    int GetLine(int Row, std::span<char> Buffer) const;
    // A read-only editor neither offers nor runs an undo, and keeps its history.
    bool CanUndo() const { return FEditor.CanUndo() && !FEditor.ReadOnly(); }
    bool Undo();
    void EmptyUndoBuffer() {
        if (!FEditor.ReadOnly()) FEditor.List().UndoObj().Clear();
    }
    // -1: the selection's top row or the caret row.
    int LineFromChar(int Offset) const;
    int GetFirstVisibleLine() const { return FEditor.TopRow(); }
    void SetReadOnly(bool V) { FEditor.SetReadOnly(V); }
    std::uint32_t PosFromChar(int Offset) const;
    // Client point; ClientWidth and ClientHeight bound the client area. 0xFFFFFFFF outside.
    std::uint32_t CharFromPos(int X, int Y, int ClientWidth, int ClientHeight) const;
    // The text, at most the buffer's size - 1 bytes and a NUL; the bytes copied.
    int GetText(std::span<char> Buffer) const;
    int GetTextLength() const { return FEditor.TextLength(); }
    void SetText(const std::string& S);
    void Cut();
    void Copy();
    void Paste();
    void Clear();

  private:
    // The offset where a row starts.
    int RowStart(int Row) const;
    int RowCountBytes(int Row) const;

    // The clipboard's text emptied (WM_CUT and WM_COPY with nothing to give).
    void EmptyClipboard();

    TEditorModel& FEditor;
};

} // namespace editor
