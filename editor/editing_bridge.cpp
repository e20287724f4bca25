// The editing commands as the keyboard, mouse and menu reach them. Each command rebuilds the
// text of the rows it touches and makes one ReplaceRows call, so it is one undo step; the caret
// is kept as a byte offset from the first row that re-wrapping can change.
//
// Interim: indentation on Return, outdenting Backspace and a box paste into a box selection are
// simpler here than they are meant to be, until the model carries its own editing commands.
#include "codec.h"
#include "editor.h"
#include "hands.h"

namespace editor {

namespace {
int Len(const std::string& S) {
    return static_cast<int>(S.size());
}

// Lines of S split at CR, LF or CR LF; a final line end adds no empty line.
std::vector<std::string> SplitLines(const std::string& S) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < S.size(); ++i) {
        const char c = S[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < S.size() && S[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty() || lines.empty()) lines.push_back(cur);
    return lines;
}

// The byte where the character before byte B of S starts.
int PrevCharStart(const std::string& S, int B) {
    int p = 0, prev = 0;
    while (p < B) {
        prev = p;
        p += cp932::IsLeadByte(static_cast<unsigned char>(S[p])) && p + 1 < Len(S) ? 2 : 1;
    }
    return prev;
}
} // namespace

void TEditorEditing::Splice(int From, int To, int At, int Remove, const std::string& Insert,
                            int After) {
    TEditor& e = FEditor;
    TEditorScreenStrings& L = e.List();
    const int n = L.Count();
    e.CleanSelection();
    if (From >= n) {
        // The row after a final line end, or an empty text.
        L.ReplaceRows(n, 0, Insert);
        e.SetCaretByOffset(std::max(0, n - 1), (n > 0 ? Len(L.Text(n - 1)) + 2 : 0) + After);
        return;
    }
    To = std::min(To, n - 1);
    std::string t = L.RowsText(From, To - From + 1).Text;
    At = std::clamp(At, 0, Len(t));
    Remove = std::clamp(Remove, 0, Len(t) - At);
    t.replace(At, Remove, Insert);
    // ReplaceRows re-cuts from at most one row above: the caret is counted from there.
    const int first = std::max(L.LineStartRow(From), From - 1);
    int before = 0;
    for (int r = first; r < From; ++r)
        before += Len(L.Text(r)) + (L.RowAttr(r) == LineEnd ? 2 : 0);
    L.ReplaceRows(From, To - From + 1, t);
    e.SetCaretByOffset(first, before + At + After);
}

void TEditorEditing::InsertString(const std::string& S) {
    if (FReadOnly || S.empty()) return;
    TEditor& e = FEditor;
    if (e.Selected() && !e.SelectionMode()) {
        const TSelectionExtent& x = e.SelectionExtent();
        Splice(x.TopRow, x.BottomRow, x.StartByte, e.SelLength(), S, Len(S));
        return;
    }
    if (e.Selected()) DeleteSelection();
    e.CleanSelection();
    const int r = e.Row();
    if (r >= e.RowCount()) {
        Splice(r, r, 0, 0, S, Len(S));
        return;
    }
    // Past the row's end blanks fill up to the caret.
    const std::string ins = std::string(std::max(0, e.Col() - e.RowWidth(r)), ' ') + S;
    Splice(r, r, e.ByteOfCol(r, e.Col()), 0, ins, Len(ins));
}

void TEditorEditing::SetSelText(const std::string& S) {
    if (FReadOnly) return;
    if (S.empty()) {
        if (FEditor.Selected())
            DeleteSelection();
        else
            FEditor.CleanSelection();
        return;
    }
    InsertString(S);
}

void TEditorEditing::DeleteSelection() {
    TEditor& e = FEditor;
    if (FReadOnly || !e.Selected()) return;
    const TSelectionExtent x = e.SelectionExtent();
    if (!e.SelectionMode()) {
        Splice(x.TopRow, x.BottomRow, x.StartByte, e.SelLength(), "", 0);
        return;
    }
    // A box: each row without its part between the box's columns.
    TEditorScreenStrings& L = e.List();
    const int last = std::min(x.BottomRow, L.Count() - 1);
    std::string t;
    for (int r = x.TopRow; r <= last; ++r) {
        std::string s = L.Text(r);
        const std::string map = e.ColumnMap(s);
        const int w = Len(map);
        auto edge = [&](int c) { return c < w && c > 0 && map[c] == kcTrail ? c + 1 : c; };
        const int from = e.ByteOfCol(r, edge(x.StartCol)), to = e.ByteOfCol(r, edge(x.EndCol));
        if (to > from) s.erase(from, to - from);
        t += s;
        if (L.RowAttr(r) == LineEnd) t += "\r\n";
    }
    e.CleanSelection();
    L.ReplaceRows(x.TopRow, last - x.TopRow + 1, t);
    e.SetRowCol(x.TopRow, x.StartCol);
}

void TEditorEditing::BoxPaste(const std::string& S) {
    TEditor& e = FEditor;
    if (FReadOnly) return;
    if (S.empty()) {
        DeleteSelection();
        return;
    }
    int k = e.Col();
    if (e.Selected()) {
        k = e.SelectionMode()
                ? e.SelectionExtent().StartCol
                : e.ColOfByte(e.SelectionExtent().TopRow, e.SelectionExtent().StartByte);
        DeleteSelection();
        e.SetRowCol(e.Row(), k);
    }
    e.CleanSelection();
    TEditorScreenStrings& L = e.List();
    const std::vector<std::string> lines = SplitLines(S);
    const int n = static_cast<int>(lines.size());
    const int r0 = e.Row();
    const int rows = L.Count();
    const int last = std::min(rows - 1, r0 + n - 1);
    std::string t;
    for (int j = 0; j < n; ++j) {
        const int r = r0 + j;
        std::string row;
        bool lineEnd = true;
        if (r < rows) {
            row = L.Text(r);
            const std::string map = e.ColumnMap(row);
            int c = k;
            if (c < Len(map) && c > 0 && map[c] == kcTrail) ++c; // the next character
            if (c >= Len(map))
                row += std::string(c - Len(map), ' ') + lines[j];
            else
                row.insert(e.ByteOfCol(r, c), lines[j]);
            lineEnd = L.RowAttr(r) != Wrapped;
        } else {
            row = std::string(k, ' ') + lines[j];
        }
        t += row;
        if (lineEnd) t += "\r\n";
    }
    if (r0 >= rows)
        L.ReplaceRows(rows, 0, t);
    else
        L.ReplaceRows(r0, last - r0 + 1, t);
    e.SetRowCol(r0 + n - 1, k + e.StrWidth(lines.back()));
}

void TEditorEditing::DeleteKey() {
    TEditor& e = FEditor;
    if (FReadOnly) return;
    if (e.Selected()) {
        DeleteSelection();
        return;
    }
    e.CleanSelection();
    const int r = e.Row();
    if (r >= e.RowCount()) return;
    TEditorScreenStrings& L = e.List();
    const std::string& s = L.Text(r);
    const std::string map = e.ColumnMap(s);
    const int c = e.Col();
    if (c < Len(map)) {
        int b = e.ByteOfCol(r, c);
        if (map[c] == kcTabBlank) b = std::max(0, b - 1); // the tab itself
        const int len =
            cp932::IsLeadByte(static_cast<unsigned char>(s[b])) && b + 1 < Len(s) ? 2 : 1;
        Splice(r, r, b, len, "", 0);
        return;
    }
    const int a = L.RowAttr(r);
    if (a == EndOfText) return;
    // Padded up to the caret and joined with the next row.
    const std::string pad(c - Len(map), ' ');
    Splice(r, r + 1, Len(s), a == LineEnd ? 2 : 0, pad, Len(pad));
}

void TEditorEditing::Backspace() {
    TEditor& e = FEditor;
    if (FReadOnly) return;
    if (e.Selected()) {
        DeleteSelection();
        return;
    }
    e.CleanSelection();
    TEditorScreenStrings& L = e.List();
    const int n = L.Count(), r = e.Row();
    if (n == 0) return;
    if (r >= n) {
        // The row after a final line end: that line end goes.
        Splice(n - 1, n - 1, Len(L.Text(n - 1)), 2, "", 0);
        return;
    }
    const int b = e.ByteOfCol(r, e.Col());
    if (b < 1 && e.Col() <= e.RowWidth(r)) {
        if (r == 0) return;
        const std::string& above = L.Text(r - 1);
        if (L.RowAttr(r - 1) == Wrapped) {
            const int p = PrevCharStart(above, Len(above));
            Splice(r - 1, r, p, Len(above) - p, "", 0);
        } else {
            Splice(r - 1, r, Len(above), 2, "", 0);
        }
        return;
    }
    if (e.Col() > e.RowWidth(r)) {
        e.SetCol(e.Col() - 1);
        return;
    }
    const std::string& s = L.Text(r);
    const int p = PrevCharStart(s, b);
    Splice(r, r, p, b - p, "", 0);
}

void TEditorEditing::Tab(bool Shift, bool Ctrl) {
    TEditor& e = FEditor;
    if (Shift || Ctrl || FReadOnly) return;
    const int ts = e.Caret().TabSpaceCount();
    int d = ts - e.Col() % ts;
    if (e.WordWrap()) {
        const int wb = e.WrapOption().WrapByte();
        d = std::min(d, wb - e.Col() % wb);
    }
    InsertString(e.Caret().SoftTab() ? std::string(d, ' ') : std::string("\t"));
}

void TEditorEditing::Return(bool Shift) {
    TEditor& e = FEditor;
    if (FReadOnly) return;
    if (e.Selected()) {
        if (Shift) return;
        DeleteSelection();
    }
    e.CleanSelection();
    TEditorScreenStrings& L = e.List();
    const int r = e.Row();
    if (r >= L.Count()) {
        Splice(r, r, 0, 0, "\r\n", 2);
        return;
    }
    // The leading blanks of the line's first row, as far as the caret when it stands in them.
    std::string indent;
    if (e.Caret().AutoIndent()) {
        const std::string& first = L.Text(L.LineStartRow(r));
        int w = 0;
        for (char c : first) {
            if (c == ' ')
                ++w;
            else if (c == '\t')
                w += e.Caret().TabSpaceCount() - w % e.Caret().TabSpaceCount();
            else
                break;
        }
        if (L.LineStartRow(r) == r && e.Col() < w) w = e.Col();
        indent.assign(w, ' ');
    }
    const std::string ins = "\r\n" + indent;
    Splice(r, r, e.ByteOfCol(r, e.Col()), 0, ins, Len(ins));
}

void TEditorEditing::MoveSelection(int Row, int Col) {
    TEditor& e = FEditor;
    if (FReadOnly || !e.Selected() || e.SelectionMode()) {
        e.CleanSelection();
        return;
    }
    TEditorScreenStrings& L = e.List();
    const TSelectionExtent x = e.SelectionExtent();
    const std::string text = e.SelText();
    const int len = e.SelLength();
    const int from = std::min(x.TopRow, Row),
              to = std::min(std::max(x.BottomRow, Row), L.Count() - 1);
    const int selAt = e.OffsetOf(from, x.TopRow, 0) + x.StartByte;
    int dropAt = e.OffsetOf(from, Row, Col);
    if (dropAt >= selAt + len) dropAt -= len;
    std::string t = L.RowsText(from, to - from + 1).Text;
    t.erase(selAt, len);
    t.insert(std::min(dropAt, Len(t)), text);
    const int first = std::max(L.LineStartRow(from), from - 1);
    int before = 0;
    for (int r = first; r < from; ++r)
        before += Len(L.Text(r)) + (L.RowAttr(r) == LineEnd ? 2 : 0);
    e.CleanSelection();
    L.ReplaceRows(from, to - from + 1, t);
    e.SetCaretByOffset(first, before + dropAt + Len(text));
}

void TEditorEditing::CopySelection(int Row, int Col) {
    TEditor& e = FEditor;
    const std::string text = e.SelText();
    e.CleanSelection();
    e.SetRowCol(Row, Col);
    SetSelText(text);
}

bool TEditorEditing::CanUndo() const {
    return FEditor.CanUndo();
}
bool TEditorEditing::CanRedo() const {
    return FEditor.CanRedo();
}
void TEditorEditing::Undo() {
    if (!FReadOnly) FEditor.Undo();
}
void TEditorEditing::Redo() {
    if (!FReadOnly) FEditor.Redo();
}
void TEditorEditing::EmptyUndoBuffer() {
    FEditor.List().UndoObj().Clear();
}
void TEditorEditing::SetText(const std::string& S) {
    FEditor.Lines().SetText(S);
}

} // namespace editor
