// What the keyboard, mouse, popup menu and edit-control messages ask of the editing side and of
// the clipboard. The editor supplies both; tests put small doubles in their place, so that the
// decisions made here are tested without a display.
#pragma once

#include <string>

namespace editor {

class TEditorCommands {
  public:
    virtual ~TEditorCommands() = default;
    virtual bool ReadOnly() const = 0;
    virtual void SetReadOnly(bool V) = 0;
    // Each of these is one change of the text, one undo step.
    virtual void InsertString(const std::string& S) = 0;
    virtual void SetSelText(const std::string& S) = 0;
    virtual void DeleteSelection() = 0;
    virtual void BoxPaste(const std::string& S) = 0;
    // The Delete key: the character at the caret, or the selection.
    virtual void DeleteKey() = 0;
    // A dragged selection dropped at (Row, Col): moved, or copied leaving the original.
    virtual void MoveSelection(int Row, int Col) = 0;
    virtual void CopySelection(int Row, int Col) = 0;
    virtual bool CanUndo() const = 0;
    virtual bool CanRedo() const = 0;
    virtual void Undo() = 0;
    virtual void Redo() = 0;
    virtual void EmptyUndoBuffer() = 0;
    // Lines.Text := S (not an undo step).
    virtual void SetText(const std::string& S) = 0;
};

// The clipboard as the editor sees it: Shift-JIS text, which may be tagged as a box.
class TEditorClipboard {
  public:
    virtual ~TEditorClipboard() = default;
    virtual bool HasText() = 0;
    virtual bool HasBox() = 0;
    virtual std::string Text() = 0;
    // Plain text; any box tag goes.
    virtual void SetText(const std::string& S) = 0;
    // The same text both as plain text and under the box format.
    virtual void SetBoxText(const std::string& S) = 0;
};

} // namespace editor
