// Stand-ins for the editing side and the clipboard: each edit replaces the whole text in one
// ReplaceRows call (so it is one undo step) and every call is recorded.
#pragma once

#include "commands.h"
#include "editor_model.h"

#include <string>
#include <vector>

namespace editor {

struct FakeCommands : TEditorCommands {
    explicit FakeCommands(TEditorModel& E) : e(E) {}
    TEditorModel& e;
    bool readOnly = false;
    std::vector<std::string> calls;

    // The text with [from, to) replaced by s, the caret after s.
    void Splice(int from, int to, const std::string& s) {
        std::string t = e.Lines().Text();
        from = std::clamp(from, 0, static_cast<int>(t.size()));
        to = std::clamp(to, from, static_cast<int>(t.size()));
        t.replace(from, to - from, s);
        e.CleanSelection();
        e.List().ReplaceRows(0, e.RowCount(), t);
        e.SetCaretByOffset(0, from + static_cast<int>(s.size()));
    }
    int SelEnd() const { return e.SelStart() + e.SelLength(); }

    bool ReadOnly() const override { return readOnly; }
    void SetReadOnly(bool V) override { readOnly = V; }
    void InsertString(const std::string& S) override {
        calls.push_back("InsertString " + S);
        if (!readOnly) Splice(e.SelStart(), SelEnd(), S);
    }
    void SetSelText(const std::string& S) override {
        calls.push_back("SetSelText " + S);
        if (!readOnly) Splice(e.SelStart(), SelEnd(), S);
    }
    void DeleteSelection() override {
        calls.push_back("DeleteSelection");
        if (!readOnly && e.Selected()) Splice(e.SelStart(), SelEnd(), "");
    }
    void BoxPaste(const std::string& S) override { calls.push_back("BoxPaste " + S); }
    void DeleteKey() override { calls.push_back("DeleteKey"); }
    void MoveSelection(int Row, int Col) override {
        calls.push_back("MoveSelection " + std::to_string(Row) + "," + std::to_string(Col));
        const int from = e.SelStart(), to = SelEnd();
        const std::string text = e.SelText();
        int at = e.OffsetOf(0, Row, Col);
        if (at > to) at -= to - from;
        std::string t = e.Lines().Text();
        t.erase(from, to - from);
        t.insert(at, text);
        e.CleanSelection();
        e.List().ReplaceRows(0, e.RowCount(), t);
        e.SetCaretByOffset(0, at + static_cast<int>(text.size()));
    }
    void CopySelection(int Row, int Col) override {
        calls.push_back("CopySelection " + std::to_string(Row) + "," + std::to_string(Col));
        const std::string text = e.SelText();
        e.CleanSelection();
        e.SetRowCol(Row, Col);
        Splice(e.SelStart(), e.SelStart(), text);
    }
    bool CanUndo() const override { return e.List().UndoObj().CanUndo(); }
    bool CanRedo() const override { return e.List().UndoObj().CanRedo(); }
    void Undo() override { e.List().Undo(); }
    void Redo() override { e.List().Redo(); }
    void EmptyUndoBuffer() override { e.List().UndoObj().Clear(); }
    void SetText(const std::string& S) override { e.Lines().SetText(S); }
};

struct FakeClipboard : TEditorClipboard {
    std::string text;
    bool has = false, box = false;
    bool HasText() override { return has; }
    bool HasBox() override { return has && box; }
    std::string Text() override { return text; }
    void SetText(const std::string& S) override {
        text = S;
        has = true;
        box = false;
    }
    void SetBoxText(const std::string& S) override {
        text = S;
        has = true;
        box = true;
    }
};

} // namespace editor
