// The editor's context menu: the items of PopupMenuItems (messages.h), brought up to date each
// time it is about to pop up; the shortcuts act while the editor has the focus.
#pragma once

#include "messages.h"

#include <QMenu>

#include <vector>

namespace editor {

class TEditor;

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

} // namespace editor
