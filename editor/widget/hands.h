// What a TEditor needs to be used by hand: the translation of Qt's key, mouse, input-method and
// context-menu events into the model's operations, the popup menu, the clipboard through the
// platform, and the edit-control operations.
#pragma once

#include "commands.h"
#include "input.h"
#include "messages.h"

#include <QMenu>

#include <memory>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class QInputMethodEvent;

namespace editor {

class TEditor;

// The clipboard through the platform layer (plain text and the box format).
class TPlatformClipboard : public TEditorClipboard {
  public:
    bool HasText() override;
    bool HasBox() override;
    std::string Text() override;
    void SetText(const std::string& S) override;
    void SetBoxText(const std::string& S) override;
};

// The editor's context menu: the items of PopupMenuItems, brought up to date each time it is
// about to pop up; the shortcuts act while the editor has the focus.
class TEditorPopupMenu : public QMenu {
    Q_OBJECT
  public:
    explicit TEditorPopupMenu(TEditor* Editor);
    TEditor* Editor() const { return FEditor; }
    // The item of an action (separators included), in the menu's order; submenus' items follow
    // their submenu.
    QAction* ItemAction(TPopupAction Action, int Tag = 0) const;
    // Enabling, check marks and the numbered marks in use.
    void Upkeep();
    // Whether an item has this shortcut.
    bool HasShortcut(const QKeySequence& K) const;

  private:
    void Build(QMenu* Into, const std::vector<TPopupItem>& Items);
    TEditor* FEditor;
    std::vector<TPopupItem> FItems;
    struct TEntry {
        TPopupAction Action;
        int Tag;
        QAction* Item;
    };
    std::vector<TEntry> FEntries;
};

// The editing commands as the editor carries them out (the model's).
class TEditorEditing : public TEditorCommands {
  public:
    explicit TEditorEditing(TEditor& Editor) : FEditor(Editor) {}
    bool ReadOnly() const override;
    void SetReadOnly(bool V) override;
    void InsertString(const std::string& S) override;
    void SetSelText(const std::string& S) override;
    void DeleteSelection() override;
    void BoxPaste(const std::string& S) override;
    void DeleteKey() override;
    void MoveSelection(int Row, int Col) override;
    void CopySelection(int Row, int Col) override;
    bool CanUndo() const override;
    bool CanRedo() const override;
    void Undo() override;
    void Redo() override;
    void EmptyUndoBuffer() override;
    void SetText(const std::string& S) override;
    // Typed text (Shift-JIS), Backspace, Tab and Return.
    void Type(const std::string& Sjis);
    void Backspace();
    void Tab(bool Shift, bool Ctrl);
    void Return(bool Shift);

  private:
    TEditor& FEditor;
};

class TEditorHands {
  public:
    explicit TEditorHands(TEditor& Editor);
    TEditorEditing Editing;
    TPlatformClipboard Clipboard;
    TEditorInput Input;
    TEditorMessages Messages;
    TEditorPopupMenu* PopupMenu = nullptr; // owned by the editor widget

    // Qt's events; true when the event was the editor's.
    bool KeyPress(QKeyEvent* E);
    bool KeyRelease(QKeyEvent* E);
    bool MousePress(QMouseEvent* E);
    bool MouseMove(QMouseEvent* E);
    bool MouseRelease(QMouseEvent* E);
    void InputMethod(QInputMethodEvent* E);
    // Whether a candidate list is open (the caret is hidden meanwhile).
    bool Composing() const { return FComposing; }

  private:
    TEditor& FEditor;
    bool FComposing = false;
};

} // namespace editor
