// What a screen reader would say a window's controls are called: every control a person can
// reach or use must have a name, and a control with a caption is called by its caption.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSplitterHandle>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace testing_a11y {

// A caption as the platform shows it: "&" marks the mnemonic and is not read, "&&" is one "&".
inline QString WithoutMnemonic(QString caption) {
    QString out;
    for (int i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) out += caption[++i];
            continue;
        }
        out += caption[i];
    }
    return out;
}

// The name a screen reader gives the control. A combo box on Linux is read by its text, and an
// editable one hands the focus to its field: the field's name is the one that is read out.
inline QString AccessibleName(QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->lineEdit())
            w = combo->lineEdit();
        else
            return combo->accessibleName();
    }
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

// What the control shows as its caption: a button's text, a checkable group's title, the text
// of a label that names it (its buddy). Empty when it has none.
inline QString Caption(QWidget* window, QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return WithoutMnemonic(b->text());
    if (auto* g = qobject_cast<QGroupBox*>(w)) return WithoutMnemonic(g->title());
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy() == w) return WithoutMnemonic(l->text());
    return {};
}

// Parts that the platform draws for a control and names itself, or that no one reaches on
// their own: scroll bars of a scrolling area, splitter handles, a scrolling area's viewport. The
// line edit inside a combo box is checked as the combo box (see AccessibleName).
inline bool IsPartOfAnother(QWidget* w) {
    if (qobject_cast<QScrollBar*>(w)) return true;
    if (qobject_cast<QSplitterHandle*>(w)) return true;
    if (auto* combo = qobject_cast<QComboBox*>(w->parentWidget()))
        if (combo->lineEdit() == w) return true;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget()))
        if (area->viewport() == w) return true;
    return false;
}

inline bool IsControl(QWidget* w) {
    if (IsPartOfAnother(w)) return false;
    if (w->focusPolicy() != Qt::NoFocus) return true;
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
           qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractScrollArea*>(w) ||
           qobject_cast<QAbstractSlider*>(w) ||
           (qobject_cast<QGroupBox*>(w) && static_cast<QGroupBox*>(w)->isCheckable());
}

// One line for every control of `window` (hidden ones included: they are shown at times) that
// has no accessible name, or whose name is not its caption, or, without a caption, not its
// hint; and for every menu entry without a caption. Empty when all is well.
inline QStringList NamingFaults(QWidget* window) {
    QStringList faults;
    const auto where = [](QWidget* w) {
        return QStringLiteral("%1 (%2)").arg(w->objectName(),
                                             QString::fromLatin1(w->metaObject()->className()));
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (auto* menu = qobject_cast<QMenu*>(w)) {
            for (QAction* a : menu->actions())
                if (!a->isSeparator() && WithoutMnemonic(a->text()).trimmed().isEmpty())
                    faults << QStringLiteral("%1: a menu entry without a caption").arg(where(w));
            continue;
        }
        // Only this window's own controls: a combo box's drop-down is a window of the combo box.
        if (w->window() != window || !IsControl(w)) continue;
        const QString name = AccessibleName(w);
        const QString caption = Caption(window, w);
        if (name.trimmed().isEmpty())
            faults << QStringLiteral("%1: no accessible name").arg(where(w));
        else if (!caption.isEmpty() && name != caption)
            faults << QStringLiteral("%1: named \"%2\", its caption is \"%3\"")
                          .arg(where(w), name, caption);
        else if (caption.isEmpty() && !w->toolTip().isEmpty() && name != w->toolTip())
            faults << QStringLiteral("%1: named \"%2\", its hint is \"%3\"")
                          .arg(where(w), name, w->toolTip());
    }
    return faults;
}

} // namespace testing_a11y
