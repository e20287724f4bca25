// The popup menu on screen, built from the item table (messages.h).
#include "popup_menu.h"

#include "editor.h"
#include "qtext.h"

#include <QAction>
#include <QKeySequence>

namespace editor {

TEditorPopupMenu::TEditorPopupMenu(TEditor* Editor) : QMenu(Editor), FEditor(Editor) {
    setObjectName(QStringLiteral("TEditorPopupMenu"));
    FItems = PopupMenuItems();
    Build(this, FItems);
    connect(this, &QMenu::aboutToShow, this, &TEditorPopupMenu::Upkeep);
}

void TEditorPopupMenu::Build(QMenu* Into, const std::vector<TPopupItem>& Items) {
    for (const TPopupItem& i : Items) {
        if (i.IsSeparator()) {
            FEntries.push_back({paNone, 0, Into->addSeparator()});
            continue;
        }
        if (!i.Items.empty()) {
            QMenu* sub = Into->addMenu(app::ToQ(i.Caption));
            FEntries.push_back({paNone, 0, sub->menuAction()});
            Build(sub, i.Items);
            continue;
        }
        QAction* a = Into->addAction(app::ToQ(i.Caption));
        if (!i.ShortCut.empty()) {
            a->setShortcut(QKeySequence(QString::fromStdString(i.ShortCut)));
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            // The editor holds the action too, so that its shortcut acts while it has the focus.
            FEditor->addAction(a);
        }
        a->setEnabled(i.Enabled);
        a->setCheckable(i.Action == paBoxMode || i.Action == paMarkSet || i.Action == paMarkJump);
        const TPopupAction action = i.Action;
        const int tag = i.Tag;
        connect(a, &QAction::triggered, this,
                [this, action, tag] { FEditor->Messages().RunPopup(action, tag); });
        FEntries.push_back({i.Action, i.Tag, a});
    }
}

QAction* TEditorPopupMenu::ItemAction(TPopupAction Action, int Tag) const {
    for (const TEntry& e : FEntries)
        if (e.Action == Action && e.Tag == Tag) return e.Item;
    return nullptr;
}

bool TEditorPopupMenu::HasShortcut(const QKeySequence& K) const {
    for (const TEntry& e : FEntries)
        if (!e.Item->shortcut().isEmpty() &&
            e.Item->shortcut().matches(K) == QKeySequence::ExactMatch)
            return true;
    return false;
}

void TEditorPopupMenu::Upkeep() {
    if (!FEditor) return;
    FEditor->Messages().UpdatePopup(FItems);
    std::function<void(const std::vector<TPopupItem>&)> apply =
        [&](const std::vector<TPopupItem>& Items) {
            for (const TPopupItem& i : Items) {
                if (i.Action != paNone)
                    if (QAction* a = ItemAction(i.Action, i.Tag)) {
                        a->setEnabled(i.Enabled);
                        a->setChecked(i.Checked);
                    }
                apply(i.Items);
            }
        };
    apply(FItems);
}

} // namespace editor
