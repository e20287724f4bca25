// Undo and redo: every call of ReplaceRows leaves one record of the rows it replaced; undoing
// swaps them back in and turns the record into its redo counterpart. The history belongs to the
// row list, so editors that share a text share it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace editor {

class TEditorScreenStrings;

// No row was taken (a pure insertion).
constexpr int NoRowAttr = 3;

// One step.
struct TUndoData {
    int CaretRow = 0; // the active editor's caret when the record was made
    int CaretCol = 0;
    int StartRow = -1;
    int RowCount = 0;         // rows the change put in place of the old ones
    int LastAttr = NoRowAttr; // attribute of the last old row
    // The old rows' text, each LineEnd row followed by CR LF, less its last Tail bytes: a long
    // tail that the old and the new rows share (the rest of a long wrapped line after a typed
    // character) is not stored, so that a history of edits in a 20 MB line does not hold 20 MB
    // a step. The shared bytes are read back from the rows in place.
    std::string Text;
    size_t Tail = 0;
    // The marks of the old rows and of the rows just above and below them (one of which takes
    // the marks of deleted lines), as (row - StartRow + 1, marks) for the rows that had any:
    // undo puts them back where they were instead of where the moving rules of the row list
    // leave them.
    std::vector<std::pair<int, int>> Marks;
};

// Owns its records.
class TUndoDataList {
  public:
    int Count() const { return static_cast<int>(FItems.size()); }
    bool empty() const { return FItems.empty(); }
    size_t size() const { return FItems.size(); }
    TUndoData& operator[](int I) const { return *FItems[static_cast<size_t>(I)]; }
    TUndoData& back() const { return *FItems.back(); }
    TUndoData& Add(std::unique_ptr<TUndoData> D) {
        FItems.push_back(std::move(D));
        return *FItems.back();
    }
    void Delete(int I) { FItems.erase(FItems.begin() + I); }
    void Clear() { FItems.clear(); }

  private:
    std::vector<std::unique_ptr<TUndoData>> FItems;
};

class TEditorUndoObj {
  public:
    explicit TEditorUndoObj(TEditorScreenStrings* List) : FList(List) {}
    TEditorUndoObj(const TEditorUndoObj&) = delete;
    TEditorUndoObj& operator=(const TEditorUndoObj&) = delete;

    // A new record at the end of the undo list, the caret taken from the active editor; the
    // oldest record goes beyond the limit; a new change (not a redo) forgets what was undone.
    TUndoData& NewRecord();
    // A copy of Record on the redo list, with the active editor's caret as it is now.
    void PushRedo(const TUndoData& Record);
    bool CanUndo() const { return !FUndoList.empty(); }
    bool CanRedo() const { return !FRedoList.empty(); }
    void Clear() {
        FUndoList.Clear();
        FRedoList.Clear();
    }
    void Undo();
    void Redo();

    const TUndoDataList& UndoList() const { return FUndoList; }
    const TUndoDataList& RedoList() const { return FRedoList; }
    int ListMax() const { return FListMax; }
    // Never below 64.
    void SetListMax(int V) { FListMax = V < 64 ? 64 : V; }

  private:
    struct TSwapped {
        int Inserted = 0;         // rows put back (M)
        int LastAttr = NoRowAttr; // of the rows taken out (A)
        std::string Text;         // their text less the shared tail (T)
        std::vector<std::pair<int, int>> Marks;
    };
    // Steps common to undo and redo: the rows R's change put in place are taken out and R's old
    // rows put back; the editors repaint when the caller closes the bracket.
    TSwapped Swap(const TUndoData& R);
    void PlaceCaret(int Row, int Col);

    TEditorScreenStrings* FList;
    int FListMax = 64;
    bool FRedoing = false;
    TUndoDataList FRedoList;
    TUndoDataList FUndoList;
};

} // namespace editor
