// The result pane as a screen reader sees it: an editable multi-line text whose offsets count
// characters, a line break one; its caret, its selection and the changes of its text are told.
#include "result_pane.h"

#include "codec.h"
#include "qtext.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <algorithm>

// ---- Character offsets ----

std::int64_t TResultPane::CharacterCount() const {
    const int last = LineCount() - 1;
    return CharacterOf(text_.LineEnd(last));
}

std::int64_t TResultPane::CharacterOf(std::int64_t pos) const {
    pos = text_.Snap(pos);
    const int line = text_.LineOf(pos);
    if (charStartsValid_ <= line) {
        charStarts_.resize(static_cast<std::size_t>(LineCount()));
        if (charStartsValid_ == 0) {
            charStarts_[0] = 0;
            charStartsValid_ = 1;
        }
        for (int k = charStartsValid_; k <= line; ++k) {
            const std::string& prev = text_.Line(k - 1);
            charStarts_[static_cast<std::size_t>(k)] =
                charStarts_[static_cast<std::size_t>(k - 1)] + CharIndexIn(k - 1, prev.size()) + 1;
        }
        charStartsValid_ = line + 1;
    }
    return charStarts_[static_cast<std::size_t>(line)] +
           CharIndexIn(line, static_cast<std::size_t>(pos - text_.LineStart(line)));
}

std::int64_t TResultPane::PositionOfCharacter(std::int64_t character) const {
    if (character <= 0) return 0;
    if (character >= CharacterCount()) return text_.Length(); // every entry is right now
    const auto begin = charStarts_.begin();
    const auto it = std::upper_bound(begin, begin + LineCount(), character);
    const int line = static_cast<int>(it - begin) - 1;
    const auto index = static_cast<int>(character - charStarts_[static_cast<std::size_t>(line)]);
    return text_.LineStart(line) + static_cast<std::int64_t>(ColOfCharIndex(line, index));
}

QString TResultPane::CharactersText(std::int64_t from, std::int64_t to) const {
    const std::int64_t a = PositionOfCharacter(from);
    const std::int64_t b = to < 0 ? text_.Length() : PositionOfCharacter(to);
    QString out = app::ToQ(text_.Slice(a, b));
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return out;
}

void TResultPane::TellTextChanged(std::int64_t from, const std::string& removed,
                                  std::int64_t insertedEnd) {
    if (!QAccessible::isActive()) return;
    const auto at = static_cast<int>(CharacterOf(from));
    QString gone = app::ToQ(removed);
    gone.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString added = CharactersText(at, CharacterOf(insertedEnd));
    if (gone.isEmpty() && added.isEmpty()) return;
    if (gone.isEmpty()) {
        QAccessibleTextInsertEvent e(this, at, added);
        QAccessible::updateAccessibility(&e);
    } else if (added.isEmpty()) {
        QAccessibleTextRemoveEvent e(this, at, gone);
        QAccessible::updateAccessibility(&e);
    } else {
        QAccessibleTextUpdateEvent e(this, at, gone, added);
        QAccessible::updateAccessibility(&e);
    }
}

// ---- The accessible interface ----

namespace {

class PaneAccessible : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface {
  public:
    explicit PaneAccessible(TResultPane* pane)
        : QAccessibleWidget(pane, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = true;
        s.multiLine = true;
        s.selectableText = true;
        s.focusable = true;
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return Pane()->CharactersText(0, -1);
        return QAccessibleWidget::text(t);
    }

    // Selection and caret.
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index != 0 || Pane()->SelLength() <= 0) return;
        *start = Character(Pane()->SelStart());
        *end = Character(Pane()->SelStart() + Pane()->SelLength());
    }
    int selectionCount() const override { return Pane()->SelLength() > 0 ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { Pane()->SetSelStart(Pane()->Caret()); }
    void setSelection(int, int start, int end) override {
        const std::int64_t a = Pane()->PositionOfCharacter(start);
        Pane()->Select(a, Pane()->PositionOfCharacter(end) - a);
    }
    int cursorPosition() const override { return Character(Pane()->Caret()); }
    void setCursorPosition(int position) override {
        Pane()->SetSelStart(Pane()->PositionOfCharacter(position));
    }

    // Text.
    QString text(int start, int end) const override { return Pane()->CharactersText(start, end); }
    int characterCount() const override { return static_cast<int>(Pane()->CharacterCount()); }
    QRect characterRect(int offset) const override {
        const std::int64_t pos = Pane()->PositionOfCharacter(offset);
        const QRect at = Pane()->PositionRect(pos);
        if (at.isEmpty() && at.height() <= 0) return {};
        const QRect next = Pane()->PositionRect(Pane()->PositionOfCharacter(offset + 1));
        const int width =
            next.top() == at.top() && next.x() > at.x() ? next.x() - at.x() : at.height() / 2;
        QWidget* vp = Pane()->viewport();
        return QRect(vp->mapToGlobal(at.topLeft()), QSize(width, at.height()));
    }
    int offsetAtPoint(const QPoint& point) const override {
        QWidget* vp = Pane()->viewport();
        const QPoint local = vp->mapFromGlobal(point);
        if (!vp->rect().contains(local)) return -1;
        return Character(Pane()->PositionAt(local));
    }
    void scrollToSubstring(int start, int) override {
        Pane()->SetSelStart(Pane()->PositionOfCharacter(start));
        Pane()->ScrollCaretIntoView();
    }
    QString attributes(int, int* start, int* end) const override {
        // One run without attributes a reader would need to hear.
        *start = 0;
        *end = characterCount();
        return {};
    }

    // Editing.
    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        setSelection(0, start, end);
        // Typed as a person would: the look of the text around it.
        Pane()->ReplaceSelection(app::FromQ(text));
    }

  private:
    TResultPane* Pane() const { return static_cast<TResultPane*>(widget()); }
    int Character(std::int64_t pos) const { return static_cast<int>(Pane()->CharacterOf(pos)); }
};

QAccessibleInterface* PaneAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("TResultPane") && object && object->isWidgetType())
        return new PaneAccessible(static_cast<TResultPane*>(object));
    return nullptr;
}

} // namespace

void TResultPane::InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(PaneAccessibleFactory);
        return true;
    }();
    (void)installed;
}
