// TEditor as assistive technology (a screen reader, a magnifier) sees it: an editable text,
// read-only while the editor is, whose offsets count characters of the Unicode text (a two-byte
// character is one, a line end is one "\n"). It answers for the whole text, pieces of it by
// character, word, line (a screen row) and paragraph (a logical line), the caret, the
// selections, the characters' places on screen and the visible range, and edits the text where
// the editor may be edited. Each answer costs the rows it touches.
#pragma once

#include <QAccessibleWidget>

#include <string_view>

namespace editor {

// Shift-JIS text ("\n" line ends) as the characters an assistive technology reads: one UTF-16
// unit for each character, U+FFFD for a code without one.
QString AccessibleString(std::string_view Sjis);

class TEditor;

class TEditorAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
  public:
    explicit TEditorAccessible(TEditor* Editor);
    // Makes every TEditor answer with one of these (once per program).
    static void Install();

    void* interface_cast(QAccessible::InterfaceType T) override;
    QAccessible::State state() const override;
    // The value is the whole text (built when asked).
    QString text(QAccessible::Text T) const override;

    // Text.
    void selection(int SelectionIndex, int* StartOffset, int* EndOffset) const override;
    int selectionCount() const override;
    void addSelection(int StartOffset, int EndOffset) override;
    void removeSelection(int SelectionIndex) override;
    void setSelection(int SelectionIndex, int StartOffset, int EndOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int Position) override;
    QString text(int StartOffset, int EndOffset) const override;
    QString textBeforeOffset(int Offset, QAccessible::TextBoundaryType Type, int* StartOffset,
                             int* EndOffset) const override;
    QString textAfterOffset(int Offset, QAccessible::TextBoundaryType Type, int* StartOffset,
                            int* EndOffset) const override;
    QString textAtOffset(int Offset, QAccessible::TextBoundaryType Type, int* StartOffset,
                         int* EndOffset) const override;
    int characterCount() const override;
    // In screen coordinates.
    QRect characterRect(int Offset) const override;
    int offsetAtPoint(const QPoint& Point) const override;
    void scrollToSubstring(int StartIndex, int EndIndex) override;
    // No attributes: one run over the whole text.
    QString attributes(int Offset, int* StartOffset, int* EndOffset) const override;

    // The characters shown in the view: from the first visible row's start to the last visible
    // row's end.
    void VisibleRange(int* StartOffset, int* EndOffset) const;

    // Editable text (offered only while the editor is not read-only).
    void deleteText(int StartOffset, int EndOffset) override;
    void insertText(int Offset, const QString& Text) override;
    void replaceText(int StartOffset, int EndOffset, const QString& Text) override;

  private:
    TEditor* Editor() const;
    // The piece [Start, End) of one boundary type that holds Offset; false for none.
    bool Segment(int Offset, QAccessible::TextBoundaryType Type, int* Start, int* End) const;
    // Selects [Start, End) as a normal selection, the caret at End.
    void Select(int Start, int End);
};

} // namespace editor
