// What a screen reader hears from one widget: Qt's accessibility events for its text, recorded in
// a form the tests compare. Qt has one update handler for the whole program, so one recorder
// listens at a time.
#pragma once

#include <QAccessible>
#include <QObject>
#include <QString>

#include <ostream>
#include <vector>

namespace testing_a11y {

// One event as a screen reader hears it.
struct Heard {
    QAccessible::Event type;
    int at = -1, end = -1;        // change or caret position; selection start and end
    QString text = {}, gone = {}; // inserted, removed
    friend bool operator==(const Heard&, const Heard&) = default;
};
inline std::ostream& operator<<(std::ostream& os, const Heard& h) {
    return os << "{" << std::hex << h.type << std::dec << " " << h.at << " " << h.end << " \""
              << h.text.toStdString() << "\" \"" << h.gone.toStdString() << "\"}";
}

// Records the text, caret, selection and value events of `object` while it lives; focus, state
// and the like are Qt's own and left out.
class HeardEvents {
  public:
    explicit HeardEvents(QObject* object) : object_(object) {
        current_ = this;
        previous_ = QAccessible::installUpdateHandler(&Listen);
    }
    ~HeardEvents() {
        QAccessible::installUpdateHandler(previous_);
        current_ = nullptr;
    }
    HeardEvents(const HeardEvents&) = delete;
    HeardEvents& operator=(const HeardEvents&) = delete;

    std::vector<Heard> events;

  private:
    static void Listen(QAccessibleEvent* e) {
        HeardEvents* self = current_;
        if (!self || e->object() != self->object_) return;
        Heard h{e->type()};
        switch (e->type()) {
        case QAccessible::TextInserted: {
            auto* t = static_cast<QAccessibleTextInsertEvent*>(e);
            h.at = t->changePosition();
            h.text = t->textInserted();
            break;
        }
        case QAccessible::TextRemoved: {
            auto* t = static_cast<QAccessibleTextRemoveEvent*>(e);
            h.at = t->changePosition();
            h.gone = t->textRemoved();
            break;
        }
        case QAccessible::TextUpdated: {
            auto* t = static_cast<QAccessibleTextUpdateEvent*>(e);
            h.at = t->changePosition();
            h.text = t->textInserted();
            h.gone = t->textRemoved();
            break;
        }
        case QAccessible::TextCaretMoved:
            h.at = static_cast<QAccessibleTextCursorEvent*>(e)->cursorPosition();
            break;
        case QAccessible::TextSelectionChanged: {
            auto* t = static_cast<QAccessibleTextSelectionEvent*>(e);
            h.at = t->selectionStart();
            h.end = t->selectionEnd();
            break;
        }
        case QAccessible::ValueChanged:
            break;
        default:
            return;
        }
        self->events.push_back(h);
    }

    static inline HeardEvents* current_ = nullptr;
    QObject* object_;
    QAccessible::UpdateHandler previous_ = nullptr;
};

} // namespace testing_a11y
