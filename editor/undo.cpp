#include "undo.h"

#include "screen_rows.h"

#include <algorithm>

namespace editor {

TUndoData& TEditorUndoObj::NewRecord() {
    auto d = std::make_unique<TUndoData>();
    if (TEditorClient* a = FList->ActiveEditor()) {
        d->CaretRow = a->CaretRow();
        d->CaretCol = a->CaretCol();
    }
    TUndoData& r = FUndoList.Add(std::move(d));
    if (FUndoList.Count() > FListMax) FUndoList.Delete(0);
    if (!FRedoing) FRedoList.Clear();
    return r;
}

void TEditorUndoObj::PushRedo(const TUndoData& Record) {
    auto d = std::make_unique<TUndoData>(Record);
    if (TEditorClient* a = FList->ActiveEditor()) {
        d->CaretRow = a->CaretRow();
        d->CaretCol = a->CaretCol();
    }
    FRedoList.Add(std::move(d));
}

TEditorUndoObj::TSwapped TEditorUndoObj::Swap(const TUndoData& R) {
    TEditorScreenStrings& L = *FList;
    TSwapped s;
    const int start = R.StartRow;
    std::string now;
    int taken = 0;
    if (R.RowCount > 0) {
        TEditorScreenStrings::TRowsText t = L.RowsText(start, R.RowCount);
        now = std::move(t.Text);
        s.LastAttr = t.LastAttr;
        taken = t.RowCount;
    }
    s.Marks = L.MarksOf(start - 1, taken + 2);
    const size_t tail = std::min(R.Tail, now.size());
    if (R.LastAttr == NoRowAttr) {
        L.AnnounceReplacing(start, taken, {});
        int marks = L.DeleteRows(start, taken);
        if (L.Count() == 0) {
            L.RemoveMarks(marks);
        } else if (marks) {
            int to = std::min(start, L.Count() - 1);
            L.SetRowMarks(to, L.RowMarks(to) | marks);
        }
    } else {
        std::string old = R.Text;
        old.append(now, now.size() - tail, tail);
        L.AnnounceReplacing(start, taken, old);
        TRowAttributeStringList rows;
        L.StrToRows(old, rows);
        int last = rows.Count() - 1;
        if (R.LastAttr == Wrapped && last > 0 && rows.Text(last).empty()) rows.Delete(last--);
        rows.SetRowAttr(last, R.LastAttr);
        // An empty last row after a line end: the cut makes no row for it.
        if (R.LastAttr == EndOfText && !old.empty() && (old.back() == '\n' || old.back() == '\r')) {
            rows.SetRowAttr(last, LineEnd);
            rows.SetRowAttr(rows.Add(std::string()), EndOfText);
        }
        L.PutRows(start, taken, rows);
        s.Inserted = rows.Count();
    }
    L.RestoreMarks(start - 1, s.Inserted + 2, R.Marks);
    int changed = L.Count() > 0 ? L.ReparseFrom(std::min(start, L.Count() - 1), true) : 0;
    L.Record(start, taken, s.Inserted, changed);
    if (tail > 0)
        s.Text.assign(now, 0, now.size() - tail); // not the whole buffer of the long line
    else
        s.Text = std::move(now);
    return s;
}

// The history only describes the rows as the recorded changes left them; a record that no
// longer fits them (rows changed behind the history's back) ends the history instead of
// putting text in the wrong place.
static bool Fits(const TUndoData& R, const TEditorScreenStrings& L) {
    return R.StartRow >= 0 && R.RowCount >= 0 && R.StartRow + R.RowCount <= L.Count() &&
           (R.RowCount > 0 || R.StartRow <= L.Count());
}

void TEditorUndoObj::PlaceCaret(int Row, int Col) {
    if (TEditorClient* a = FList->ActiveEditor()) a->PlaceCaret(Row, Col);
}

void TEditorUndoObj::Undo() {
    if (FUndoList.empty()) return;
    TUndoData& R = FUndoList.back();
    if (!Fits(R, *FList)) {
        Clear();
        return;
    }
    const int row = R.CaretRow;
    const int col = R.CaretCol;
    {
        TUpdateBracket b(*FList);
        TSwapped s = Swap(R);
        R.RowCount = s.Inserted;
        R.LastAttr = s.LastAttr;
        R.Text = std::move(s.Text);
        R.Marks = std::move(s.Marks);
        PushRedo(R);
        // Gone before the editors hear of the change, so that they see CanUndo as it now is.
        FUndoList.Delete(FUndoList.Count() - 1);
    }
    PlaceCaret(row, col);
}

void TEditorUndoObj::Redo() {
    if (FRedoList.empty()) return;
    TUndoData& R = FRedoList.back();
    if (!Fits(R, *FList)) {
        Clear();
        return;
    }
    const int row = R.CaretRow;
    const int col = R.CaretCol;
    {
        TUpdateBracket b(*FList);
        TSwapped s = Swap(R);
        FRedoing = true;
        TUndoData& u = NewRecord();
        FRedoing = false;
        u.StartRow = R.StartRow;
        u.RowCount = s.Inserted;
        u.LastAttr = s.LastAttr;
        u.Text = std::move(s.Text);
        u.Tail = R.Tail;
        u.Marks = std::move(s.Marks);
        FRedoList.Delete(FRedoList.Count() - 1);
    }
    PlaceCaret(row, col);
}

} // namespace editor
