#include "accessible.h"

#include "codec.h"
#include "editor.h"
#include "qtext.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace editor {

namespace {

QAccessibleInterface* Factory(const QString&, QObject* Object) {
    if (auto* e = qobject_cast<TEditor*>(Object)) return new TEditorAccessible(e);
    return nullptr;
}

} // namespace

QString AccessibleString(std::string_view Sjis) {
    const char16_t* table = app::Cp932Table();
    QString out;
    out.reserve(static_cast<qsizetype>(Sjis.size()));
    for (size_t i = 0; i < Sjis.size();) {
        const unsigned char b = static_cast<unsigned char>(Sjis[i]);
        if (cp932::IsLeadByte(b) && i + 1 < Sjis.size()) {
            out += QChar(table[b << 8 | static_cast<unsigned char>(Sjis[i + 1])]);
            i += 2;
        } else {
            out += QChar(table[b]);
            ++i;
        }
    }
    return out;
}

void TEditorAccessible::Install() {
    static const bool installed = (QAccessible::installFactory(&Factory), true);
    (void)installed;
}

TEditorAccessible::TEditorAccessible(TEditor* Editor)
    : QAccessibleWidget(Editor, QAccessible::EditableText) {}

TEditor* TEditorAccessible::Editor() const {
    return static_cast<TEditor*>(widget());
}

void* TEditorAccessible::interface_cast(QAccessible::InterfaceType T) {
    if (T == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (T == QAccessible::EditableTextInterface && !Editor()->ReadOnly())
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(T);
}

QAccessible::State TEditorAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = !Editor()->ReadOnly();
    s.readOnly = Editor()->ReadOnly();
    s.multiLine = true;
    s.selectableText = true;
    s.focusable = true;
    return s;
}

QString TEditorAccessible::text(QAccessible::Text T) const {
    if (T == QAccessible::Value) return text(0, characterCount());
    return QAccessibleWidget::text(T);
}

// Text.

int TEditorAccessible::characterCount() const {
    return Editor()->CharOffsets().Length();
}

QString TEditorAccessible::text(int StartOffset, int EndOffset) const {
    return AccessibleString(Editor()->CharOffsets().Text(StartOffset, EndOffset));
}

int TEditorAccessible::cursorPosition() const {
    return Editor()->CaretOffset();
}

void TEditorAccessible::setCursorPosition(int Position) {
    TEditor* e = Editor();
    const TCharOffsets::TPlace p = e->CharOffsets().PlaceOf(Position);
    e->CleanSelection();
    e->SetRowCol(p.Row, e->ColOfByte(p.Row, p.Byte));
}

int TEditorAccessible::selectionCount() const {
    const TEditor* e = Editor();
    if (!e->Selected()) return 0;
    if (!e->SelectionMode()) return 1;
    const TSelectionExtent& x = e->SelectionExtent();
    return std::max(0, std::min(x.BottomRow, e->RowCount() - 1) - x.TopRow + 1);
}

void TEditorAccessible::selection(int SelectionIndex, int* StartOffset, int* EndOffset) const {
    *StartOffset = *EndOffset = 0;
    if (SelectionIndex < 0 || SelectionIndex >= selectionCount()) return;
    TEditor* e = Editor();
    TCharOffsets& c = e->CharOffsets();
    const TSelectionExtent& x = e->SelectionExtent();
    if (!e->SelectionMode()) {
        *StartOffset = c.OffsetOf(x.TopRow, x.StartByte);
        *EndOffset = c.OffsetOf(x.BottomRow, x.EndByte + 1);
        return;
    }
    // A box: one piece on each of its rows.
    const int row = x.TopRow + SelectionIndex;
    const std::string map = e->ColumnMap(e->List().Text(row));
    const int w = static_cast<int>(map.size());
    auto edge = [&](int c) { return c < w && c > 0 && map[c] == kcTrail ? c + 1 : c; };
    *StartOffset = c.OffsetOf(row, e->ByteOfCol(row, edge(x.StartCol)));
    *EndOffset = std::max(*StartOffset, c.OffsetOf(row, e->ByteOfCol(row, edge(x.EndCol))));
}

void TEditorAccessible::Select(int Start, int End) {
    TEditor* e = Editor();
    TCharOffsets& c = e->CharOffsets();
    const TCharOffsets::TPlace from = c.PlaceOf(Start), to = c.PlaceOf(End);
    e->CleanSelection();
    if (e->SelectionMode()) e->SetSelectionMode(false);
    e->SetRowCol(from.Row, e->ColOfByte(from.Row, from.Byte));
    e->StartSelection();
    e->SetRowCol(to.Row, e->ColOfByte(to.Row, to.Byte));
    e->UpdateSelection();
}

void TEditorAccessible::setSelection(int SelectionIndex, int StartOffset, int EndOffset) {
    if (SelectionIndex != 0) return;
    Select(std::min(StartOffset, EndOffset), std::max(StartOffset, EndOffset));
}

void TEditorAccessible::addSelection(int StartOffset, int EndOffset) {
    // One selection at a time: a second one takes the place of the first.
    setSelection(0, StartOffset, EndOffset);
}

void TEditorAccessible::removeSelection(int SelectionIndex) {
    if (SelectionIndex >= 0 && SelectionIndex < selectionCount()) Editor()->CleanSelection();
}

bool TEditorAccessible::Segment(int Offset, QAccessible::TextBoundaryType Type, int* Start,
                                int* End) const {
    TEditor* e = Editor();
    TCharOffsets& c = e->CharOffsets();
    const int length = c.Length();
    if (Offset < 0 || Offset > length) return false;
    if (Type == QAccessible::NoBoundary) {
        *Start = 0;
        *End = length;
        return true;
    }
    if (Type == QAccessible::CharBoundary) {
        if (Offset == length) return false;
        *Start = Offset;
        *End = Offset + 1;
        return true;
    }
    const int row = c.PlaceOf(Offset).Row;
    if (row >= e->RowCount()) {
        // The empty line after a final line end.
        *Start = *End = length;
        return true;
    }
    const TEditorScreenStrings& l = e->List();
    int first = row, last = row;
    if (Type == QAccessible::ParagraphBoundary || Type == QAccessible::SentenceBoundary) {
        // A logical line, however many rows it wraps over.
        first = l.LineStartRow(row);
        last = l.LineEndRow(row);
    } else if (Type == QAccessible::WordBoundary) {
        // A word may be cut by the wrap: the rows beside it on its line are looked at too.
        first = std::max(l.LineStartRow(row), row - 1);
        last = std::min(l.LineEndRow(row), row + 1);
    }
    *Start = c.RowStart(first);
    *End = c.RowStart(last + 1);
    if (Type != QAccessible::WordBoundary) return true;
    const QString t = text(*Start, *End);
    QTextBoundaryFinder f(QTextBoundaryFinder::Word, t);
    const int at = Offset - *Start;
    f.setPosition(at);
    if (at >= t.size() || !f.isAtBoundary()) f.toPreviousBoundary();
    const int from = std::max(0, static_cast<int>(f.position()));
    f.setPosition(from);
    int to = static_cast<int>(f.toNextBoundary());
    if (to < 0) to = static_cast<int>(t.size());
    *End = *Start + to;
    *Start += from;
    return true;
}

QString TEditorAccessible::textAtOffset(int Offset, QAccessible::TextBoundaryType Type,
                                        int* StartOffset, int* EndOffset) const {
    *StartOffset = *EndOffset = -1;
    if (Offset == -2) Offset = cursorPosition();
    if (!Segment(Offset, Type, StartOffset, EndOffset)) {
        *StartOffset = *EndOffset = -1;
        return QString();
    }
    return text(*StartOffset, *EndOffset);
}

QString TEditorAccessible::textBeforeOffset(int Offset, QAccessible::TextBoundaryType Type,
                                            int* StartOffset, int* EndOffset) const {
    *StartOffset = *EndOffset = -1;
    if (Offset == -2) Offset = cursorPosition();
    int s = 0, e = 0;
    if (Type == QAccessible::CharBoundary) {
        if (Offset < 1 || Offset > characterCount()) return QString();
        s = Offset - 1;
    } else if (!Segment(Offset, Type, &s, &e) || s == 0) {
        return QString();
    } else {
        --s;
    }
    return textAtOffset(s, Type, StartOffset, EndOffset);
}

QString TEditorAccessible::textAfterOffset(int Offset, QAccessible::TextBoundaryType Type,
                                           int* StartOffset, int* EndOffset) const {
    *StartOffset = *EndOffset = -1;
    if (Offset == -2) Offset = cursorPosition();
    int s = 0, e = 0;
    if (Type == QAccessible::CharBoundary) {
        if (Offset < 0 || Offset + 1 >= characterCount()) return QString();
        e = Offset + 1;
    } else if (!Segment(Offset, Type, &s, &e) || e <= Offset) {
        return QString();
    }
    int s2 = 0, e2 = 0;
    // At the text's end the piece there is the same one: nothing comes after it.
    if (!Segment(e, Type, &s2, &e2) || s2 < e) return QString();
    return textAtOffset(e, Type, StartOffset, EndOffset);
}

QRect TEditorAccessible::characterRect(int Offset) const {
    TEditor* e = Editor();
    TCharOffsets& c = e->CharOffsets();
    if (Offset < 0 || Offset > c.Length()) return QRect();
    const TCharOffsets::TPlace p = c.PlaceOf(Offset);
    const int col = e->ColOfByte(p.Row, p.Byte);
    int cells = 1;
    if (p.Row < e->RowCount()) {
        const std::string& s = e->List().Text(p.Row);
        if (p.Byte < static_cast<int>(s.size())) {
            const int next = p.Byte + ByteOfChar(std::string_view(s).substr(p.Byte), 1);
            cells = std::max(1, e->ColOfByte(p.Row, next) - col);
        }
    }
    const TEditorMetrics& m = e->Metrics();
    const QPoint at = e->viewport()->mapToGlobal(QPoint(e->ColX(col), e->RowY(p.Row)));
    return QRect(at, QSize(cells * m.ColWidth, m.FontHeight));
}

int TEditorAccessible::offsetAtPoint(const QPoint& Point) const {
    TEditor* e = Editor();
    const QPoint v = e->viewport()->mapFromGlobal(Point);
    if (!e->viewport()->rect().contains(v) || v.x() < e->Metrics().LeftMargin ||
        v.y() < e->Metrics().TopMargin)
        return -1;
    const auto rc = e->PosToRowCol(v.x(), v.y(), false);
    if (rc.Row > e->LastCaretRow()) return -1;
    TCharOffsets& c = e->CharOffsets();
    if (rc.Row >= e->RowCount()) return c.Length();
    int col = rc.Col;
    // The right half of a two-byte character is that character.
    const std::string map = e->ColumnMap(e->List().Text(rc.Row));
    if (col > 0 && col < static_cast<int>(map.size()) && map[col] == kcTrail) --col;
    return c.OffsetOf(rc.Row, e->ByteOfCol(rc.Row, col));
}

void TEditorAccessible::scrollToSubstring(int StartIndex, int EndIndex) {
    (void)EndIndex;
    TEditor* e = Editor();
    const TCharOffsets::TPlace p = e->CharOffsets().PlaceOf(StartIndex);
    const int col = e->ColOfByte(p.Row, p.Byte);
    const int vr = e->VisibleRowCount(), vc = e->VisibleColCount();
    if (p.Row < e->TopRow() || p.Row > e->TopRow() + vr - 1)
        e->SetTopRow(std::max(0, p.Row - vr / 3));
    if (col < e->TopCol() || col > e->TopCol() + vc - 1) e->SetTopCol(std::max(0, col - vc / 3));
}

QString TEditorAccessible::attributes(int Offset, int* StartOffset, int* EndOffset) const {
    (void)Offset;
    *StartOffset = 0;
    *EndOffset = characterCount();
    return QString();
}

void TEditorAccessible::VisibleRange(int* StartOffset, int* EndOffset) const {
    TEditor* e = Editor();
    TCharOffsets& c = e->CharOffsets();
    *StartOffset = c.RowStart(e->TopRow());
    *EndOffset = c.RowStart(std::min(e->RowCount(), e->TopRow() + e->VisibleRowCount() + 1));
}

// Editable text.

void TEditorAccessible::deleteText(int StartOffset, int EndOffset) {
    if (Editor()->ReadOnly() || StartOffset == EndOffset) return;
    setSelection(0, StartOffset, EndOffset);
    Editor()->DeleteSelection();
}

void TEditorAccessible::insertText(int Offset, const QString& Text) {
    if (Editor()->ReadOnly()) return;
    setCursorPosition(Offset);
    Editor()->InsertString(app::FromQ(Text));
}

void TEditorAccessible::replaceText(int StartOffset, int EndOffset, const QString& Text) {
    if (Editor()->ReadOnly()) return;
    if (StartOffset == EndOffset) {
        insertText(StartOffset, Text);
        return;
    }
    setSelection(0, StartOffset, EndOffset);
    Editor()->SetSelText(app::FromQ(Text));
}

} // namespace editor

// The editor's side: the events a screen reader listens for.

namespace editor {

bool TEditor::TextEditsWanted() const {
    return QAccessible::isActive();
}

void TEditor::TextChangedView(const TTextEdit* Edit) {
    if (!QAccessible::isActive()) return;
    if (Edit && !Edit->Removed.empty()) {
        QAccessibleTextRemoveEvent e(this, Edit->Offset, AccessibleString(Edit->Removed));
        QAccessible::updateAccessibility(&e);
    }
    if (Edit && !Edit->Inserted.empty()) {
        QAccessibleTextInsertEvent e(this, Edit->Offset, AccessibleString(Edit->Inserted));
        QAccessible::updateAccessibility(&e);
    }
    // The text is the value: asked for when wanted, not sent along.
    QAccessibleValueChangeEvent e(this, QVariant());
    QAccessible::updateAccessibility(&e);
    AccessibleCheckLater();
}

void TEditor::AccessibleCheckLater() {
    if (FAccessibleCheckPosted || !QAccessible::isActive()) return;
    FAccessibleCheckPosted = true;
    // Once the operation under way is over: a move is reported once, where it ends.
    QMetaObject::invokeMethod(
        this, [this] { AccessibleCheck(); }, Qt::QueuedConnection);
}

void TEditor::AccessibleCheck() {
    FAccessibleCheckPosted = false;
    if (!QAccessible::isActive()) return;
    const int caret = CaretOffset();
    if (caret != FAccessibleCaret) {
        FAccessibleCaret = caret;
        QAccessibleTextCursorEvent e(this, caret);
        QAccessible::updateAccessibility(&e);
    }
    int start = caret, end = caret;
    if (Selected())
        if (QAccessibleTextInterface* t =
                QAccessible::queryAccessibleInterface(this)->textInterface()) {
            int s = 0, e = 0;
            t->selection(0, &start, &s);
            t->selection(t->selectionCount() - 1, &e, &end);
        }
    if (!Selected() && !FAccessibleSelected) return;
    if (Selected() && FAccessibleSelected && start == FAccessibleSelStart &&
        end == FAccessibleSelEnd)
        return;
    FAccessibleSelected = Selected();
    FAccessibleSelStart = start;
    FAccessibleSelEnd = end;
    QAccessibleTextSelectionEvent e(this, start, end);
    e.setCursorPosition(caret);
    QAccessible::updateAccessibility(&e);
}

} // namespace editor
