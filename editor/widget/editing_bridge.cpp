// The editing commands as the keyboard, mouse and menu reach them: the model's own.
#include "editor.h"
#include "hands.h"

namespace editor {

bool TEditorEditing::ReadOnly() const {
    return FEditor.ReadOnly();
}
void TEditorEditing::SetReadOnly(bool V) {
    FEditor.SetReadOnly(V);
}
void TEditorEditing::InsertString(const std::string& S) {
    FEditor.InsertString(S);
}
void TEditorEditing::SetSelText(const std::string& S) {
    FEditor.SetSelText(S);
}
void TEditorEditing::DeleteSelection() {
    FEditor.DeleteSelection();
}
void TEditorEditing::BoxPaste(const std::string& S) {
    FEditor.BoxPaste(S);
}
void TEditorEditing::DeleteKey() {
    FEditor.DeleteKey();
}
void TEditorEditing::MoveSelection(int Row, int Col) {
    FEditor.MoveSelection(Row, Col, false);
}
void TEditorEditing::CopySelection(int Row, int Col) {
    FEditor.MoveSelection(Row, Col, true);
}
bool TEditorEditing::CanUndo() const {
    return FEditor.CanUndo();
}
bool TEditorEditing::CanRedo() const {
    return FEditor.CanRedo();
}
void TEditorEditing::Undo() {
    FEditor.Undo();
}
void TEditorEditing::Redo() {
    FEditor.Redo();
}
void TEditorEditing::EmptyUndoBuffer() {
    FEditor.List().UndoObj().Clear();
}
void TEditorEditing::SetText(const std::string& S) {
    FEditor.Lines().SetText(S);
}
void TEditorEditing::Type(const std::string& Sjis) {
    // Byte by byte as character messages: a lead byte waits for its trail byte.
    for (char c : Sjis)
        FEditor.KeyChar(static_cast<unsigned char>(c));
}
void TEditorEditing::Backspace() {
    FEditor.BackSpace();
}
void TEditorEditing::Tab(bool Shift, bool Ctrl) {
    FEditor.TabKey(Shift, Ctrl);
}
void TEditorEditing::Return(bool Shift) {
    FEditor.ReturnKey(Shift);
}

} // namespace editor
