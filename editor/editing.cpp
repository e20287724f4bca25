// Editing commands: typing, inserting and pasting, box pasting, deleting characters and the
// selection, joining and splitting lines with indentation, moving a dragged selection. Each
// command builds the new text of a small run of rows and makes one ReplaceRows call, so each is
// one undo step; the caret is kept as an offset from the re-cut range across that call.
#include "editor_model.h"

#include "codec.h"
#include "sjis_text.h"

namespace editor {

namespace {

// One character of a row: its bytes and the display columns it covers.
struct Cell {
    int Byte, Len, Col0, Col1;
};

int TabWidth(int Col, const TColumnMetrics& M) {
    int ts = M.TabSpaceCount > 0 ? M.TabSpaceCount : 8;
    int w = ts - Col % ts;
    if (M.WordWrap && M.WrapByte > 0) w = std::min(w, M.WrapByte - Col % M.WrapByte);
    return w;
}

std::vector<Cell> Cells(std::string_view S, const TColumnMetrics& M) {
    std::vector<Cell> out;
    int col = 0;
    for (size_t i = 0; i < S.size();) {
        const unsigned char b = static_cast<unsigned char>(S[i]);
        int len = 1, w = 1;
        if (b == '\t') {
            w = TabWidth(col, M);
        } else if (cp932::IsLeadByte(b) && i + 1 < S.size()) {
            len = 2;
            w = 2;
        }
        out.push_back({static_cast<int>(i), len, col, col + w});
        col += w;
        i += static_cast<size_t>(len);
    }
    return out;
}

bool IsFullWidthBlank(std::string_view S, size_t I) {
    return I + 1 < S.size() && static_cast<unsigned char>(S[I]) == 0x81 &&
           static_cast<unsigned char>(S[I + 1]) == 0x40;
}

bool OnlyBlanks(std::string_view S) {
    for (size_t i = 0; i < S.size();) {
        if (S[i] == ' ' || S[i] == '\t') {
            ++i;
        } else if (IsFullWidthBlank(S, i)) {
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// S with every line end as CR LF, the form the rows give it back in: the caret is counted in
// the text as it will be.
std::string CrLf(std::string_view S) {
    std::string out;
    out.reserve(S.size());
    for (size_t i = 0; i < S.size(); ++i) {
        if (S[i] == '\r' || S[i] == '\n') {
            out += "\r\n";
            if (S[i] == '\r' && i + 1 < S.size() && S[i + 1] == '\n') ++i;
        } else {
            out += S[i];
        }
    }
    return out;
}

} // namespace

// Helpers.

int TEditorModel::IndentWidth(std::string_view S) const {
    if (S.empty()) return -1;
    const TColumnMetrics m = ColumnMetrics();
    int w = 0;
    for (size_t i = 0; i < S.size();) {
        if (S[i] == ' ') {
            ++w;
            ++i;
        } else if (S[i] == '\t') {
            w += TabWidth(w, m);
            ++i;
        } else if (IsFullWidthBlank(S, i)) {
            w += 2;
            i += 2;
        } else {
            break;
        }
    }
    return w;
}

int TEditorModel::CaretIndex() const {
    if (Row() >= RowCount()) return 0;
    const int w = RowWidth(Row());
    if (Col() <= w) return ByteOfCol(Row(), Col());
    return static_cast<int>(RowText(Row()).size()) + Col() - w;
}

static std::string WithEnd(const TEditorScreenStrings& L, int Row) {
    std::string s = L.Text(Row);
    if (L.RowAttr(Row) == LineEnd) s += "\r\n";
    return s;
}

void TEditorModel::ReplaceAndPlace(int ARow, int Count, const std::string& Text, int CaretInText) {
    TEditorScreenStrings& L = *FList;
    const int n = L.Count();
    // ReplaceRows re-cuts from at most one row above; the caret is counted from there.
    const int first = ARow < n ? std::max(L.LineStartRow(ARow), ARow - 1) : ARow;
    const int before = first < ARow ? OffsetOf(first, ARow, 0) : 0;
    ++FCaretUpdateLock;
    L.ReplaceRows(ARow, Count, Text);
    SetCaretByOffset(first, before + CaretInText);
    --FCaretUpdateLock;
    UpdateCaret();
}

void TEditorModel::ReplaceSelection(std::string_view S) {
    const TSelectionExtent e = FExtent;
    const bool box = FBoxMode;
    std::vector<std::pair<int, int>> parts; // box: the bytes taken from each row
    if (box)
        for (int r = e.TopRow; r <= std::min(e.BottomRow, RowCount() - 1); ++r) {
            const std::string& t = RowText(r);
            std::string map = RowMap(r);
            const int w = static_cast<int>(map.size());
            auto edge = [&](int c) { return c < w && c > 0 && map[c] == kcTrail ? c + 1 : c; };
            int from = ByteOfCol(r, edge(e.StartCol));
            int to = std::max(from, ByteOfCol(r, edge(e.EndCol)));
            parts.emplace_back(from, std::min(to, static_cast<int>(t.size())));
        }
    CleanSelection();
    const TEditorScreenStrings& L = *FList;
    const int n = L.Count();
    const int top = e.TopRow;
    const int bottom = std::min(e.BottomRow, n - 1);
    if (top >= n || bottom < top) return;
    std::string text;
    int caret = 0;
    if (box) {
        for (int r = top; r <= bottom; ++r) {
            const std::string& t = L.Text(r);
            auto [from, to] = parts[static_cast<size_t>(r - top)];
            text.append(t, 0, static_cast<size_t>(from));
            if (r == top) {
                text += S;
                caret = from + static_cast<int>(S.size());
            }
            text.append(t, static_cast<size_t>(to));
            if (L.RowAttr(r) == LineEnd) text += "\r\n";
        }
    } else {
        const std::string& t = L.Text(top);
        const int sb = std::clamp(e.StartByte, 0, static_cast<int>(t.size()));
        text.assign(t, 0, static_cast<size_t>(sb));
        text += S;
        caret = sb + static_cast<int>(S.size());
        // A selection that reaches the row after a final line end takes that line end too.
        if (e.BottomRow < n) {
            const std::string& b = L.Text(bottom);
            const int eb = std::clamp(e.EndByte + 1, 0, static_cast<int>(b.size()));
            text.append(b, static_cast<size_t>(eb));
            if (L.RowAttr(bottom) == LineEnd) text += "\r\n";
        }
    }
    ReplaceAndPlace(top, bottom - top + 1, text, caret);
}

// Undo and redo: the selection or hit goes first; the history is the row list's.

void TEditorModel::Undo() {
    CleanSelection();
    FList->Undo();
}

void TEditorModel::Redo() {
    CleanSelection();
    FList->Redo();
}

// Commands.

void TEditorModel::InsertString(std::string_view Str) {
    if (FReadOnly || Str.empty()) return;
    const std::string crlf = CrLf(Str);
    const std::string_view S = crlf;
    if (Selected()) {
        ReplaceSelection(S);
        return;
    }
    CleanSelection(); // a hit
    const int r = Row();
    const int n = RowCount();
    if (r >= n) {
        // The row after the text: blanks up to the caret, then S.
        std::string t(static_cast<size_t>(Col()), ' ');
        t += S;
        ReplaceAndPlace(n, 0, t, static_cast<int>(t.size()));
        return;
    }
    const std::string& row = RowText(r);
    const int idx = CaretIndex();
    const int len = static_cast<int>(row.size());
    const int at = std::min(idx, len);
    std::string t = row.substr(0, static_cast<size_t>(at));
    t.append(static_cast<size_t>(std::max(0, idx - len)), ' ');
    t += S;
    const int caret = static_cast<int>(t.size());
    t.append(row, static_cast<size_t>(at));
    if (FList->RowAttr(r) == LineEnd) t += "\r\n";
    ReplaceAndPlace(r, 1, t, caret);
}

void TEditorModel::SetSelText(std::string_view S) {
    if (FReadOnly) return;
    if (S.empty()) {
        if (Selected())
            DeleteSelection();
        else
            CleanSelection();
        return;
    }
    InsertString(S);
}

void TEditorModel::DeleteSelection() {
    if (FReadOnly || !HandleAllocated() || !Selected()) return;
    ReplaceSelection({});
}

void TEditorModel::TypeString(std::string_view S) {
    const int r = Row();
    if (FOverwrite && !Selected() && r < RowCount()) {
        const std::string& row = RowText(r);
        if (CaretIndex() < static_cast<int>(row.size())) {
            CleanSelection();
            for (const Cell& c : Cells(row, ColumnMetrics())) {
                if (Col() >= c.Col1) continue;
                std::string t = row.substr(0, static_cast<size_t>(c.Byte));
                t += S;
                const int caret = static_cast<int>(t.size());
                t.append(row, static_cast<size_t>(c.Byte + c.Len));
                if (FList->RowAttr(r) == LineEnd) t += "\r\n";
                ReplaceAndPlace(r, 1, t, caret);
                return;
            }
        }
    }
    InsertString(S);
}

void TEditorModel::TypeChar(std::string_view Ch) {
    if (Ch.empty()) return;
    if (FImeSkip > 0) {
        FImeSkip = std::max(0, FImeSkip - static_cast<int>(Ch.size()));
        return;
    }
    if (!FReadOnly) TypeString(Ch);
}

void TEditorModel::KeyChar(unsigned char C, bool Shift, bool Ctrl) {
    if (FPendingLead >= 0) {
        const char pair[2] = {static_cast<char>(FPendingLead), static_cast<char>(C)};
        FPendingLead = -1;
        if (C >= 64) {
            TypeChar(std::string_view(pair, 2));
            return;
        }
        // Not a trail byte: the lead byte is dropped.
    }
    switch (C) {
    case 8:
        BackSpace();
        return;
    case 9:
        TabKey(Shift, Ctrl);
        return;
    case 13:
        ReturnKey(Shift);
        return;
    }
    if (cp932::IsLeadByte(C)) {
        FPendingLead = C;
        return;
    }
    if ((C >= 32 && C <= 126) || C >= 160) {
        const char ch = static_cast<char>(C);
        TypeChar(std::string_view(&ch, 1));
    }
}

void TEditorModel::BackSpace() {
    if (FReadOnly) return;
    if (Selected()) {
        DeleteSelection();
        return;
    }
    CleanSelection();
    const TEditorScreenStrings& L = *FList;
    const int n = L.Count();
    if (n == 0) return;
    const int r = Row();
    if (r >= n) {
        // The row after a final line end: that line end goes.
        const std::string t = L.Text(n - 1);
        ReplaceAndPlace(n - 1, 1, t, static_cast<int>(t.size()));
        return;
    }
    const int idx = CaretIndex();
    if (idx < 1) {
        if (r == 0) return;
        const std::string& above = L.Text(r - 1);
        int keep = static_cast<int>(above.size());
        if (L.RowAttr(r - 1) == Wrapped) {
            // The line goes on from the row above: its last character is deleted.
            std::vector<Cell> cells = Cells(above, ColumnMetrics());
            if (!cells.empty()) keep = cells.back().Byte;
        }
        std::string t = above.substr(0, static_cast<size_t>(keep)) + WithEnd(L, r);
        ReplaceAndPlace(r - 1, 2, t, keep);
        return;
    }
    const std::string& row = L.Text(r);
    if (Caret().BackSpaceUnIndent() &&
        ((!row.empty() && OnlyBlanks(row)) || Col() == IndentWidth(row))) {
        Outdent();
        return;
    }
    if (idx > static_cast<int>(row.size())) {
        SetCol(Col() - 1);
        return;
    }
    std::vector<Cell> cells = Cells(row, ColumnMetrics());
    const Cell* before = nullptr;
    for (const Cell& c : cells)
        if (c.Byte < idx) before = &c;
    if (!before) return;
    std::string t = row.substr(0, static_cast<size_t>(before->Byte));
    t.append(row, static_cast<size_t>(before->Byte + before->Len));
    if (L.RowAttr(r) == LineEnd) t += "\r\n";
    ReplaceAndPlace(r, 1, t, before->Byte);
}

void TEditorModel::Outdent() {
    const TEditorScreenStrings& L = *FList;
    const int r = Row();
    const int c = Col();
    const int first = L.LineStartRow(r);
    int target = 0;
    for (int k = r - 1; k >= 0; --k) {
        const int w = IndentWidth(L.Text(k));
        if (k >= first && w == 0) continue;
        if (w < c) {
            target = std::max(0, w);
            break;
        }
    }
    const std::string& row = L.Text(r);
    if (target >= RowWidth(r)) return;
    std::string left, right;
    for (const Cell& cell : Cells(row, ColumnMetrics())) {
        if (cell.Col1 <= target)
            left.append(row, static_cast<size_t>(cell.Byte), static_cast<size_t>(cell.Len));
        else if (cell.Col0 < target)
            left.append(static_cast<size_t>(target - cell.Col0), ' ');
        if (cell.Col0 >= c)
            right.append(row, static_cast<size_t>(cell.Byte), static_cast<size_t>(cell.Len));
        else if (cell.Col1 > c)
            right.append(static_cast<size_t>(cell.Col1 - c), ' '); // a tab under the caret
    }
    std::string t = left + right;
    if (L.RowAttr(r) == LineEnd) t += "\r\n";
    ReplaceAndPlace(r, 1, t, static_cast<int>(left.size()));
}

void TEditorModel::TabKey(bool Shift, bool Ctrl) {
    if (Shift || Ctrl || FReadOnly || !FWantTabs) return;
    const int ts = FCaret.TabSpaceCount();
    int d = ts - Col() % ts;
    if (WordWrap()) {
        const int wb = std::max(1, WrapOption().WrapByte());
        d = std::min(d, wb - Col() % wb);
    }
    if (FCaret.SoftTab())
        InsertString(std::string(static_cast<size_t>(d), ' '));
    else
        InsertString("\t");
}

void TEditorModel::ReturnKey(bool Shift) {
    if (FReadOnly) return;
    if (Selected()) {
        if (Shift) return;
        DeleteSelection();
    }
    CleanSelection();
    const TEditorScreenStrings& L = *FList;
    const int n = L.Count();
    const int r = Row();
    if (r >= n) {
        ReplaceAndPlace(n, 0, "\r\n", 2);
        return;
    }
    const int first = L.LineStartRow(r);
    int e = 0;
    if (FCaret.AutoIndent()) {
        const int i = IndentWidth(L.Text(first));
        e = r == first && Col() < i ? Col() : i;
        if (i < 1) {
            e = 0;
            if (FCaret.PrevSpaceIndent() && r == first && L.Text(first).empty()) {
                // The nearest line above that is not empty.
                for (int k = first - 1; k >= 0;) {
                    const int ls = L.LineStartRow(k);
                    if (!L.Text(ls).empty()) {
                        e = std::max(0, IndentWidth(L.Text(ls)));
                        break;
                    }
                    k = ls - 1;
                }
            }
        }
    }
    std::string indent;
    if (FCaret.TabIndent()) {
        const int ts = FCaret.TabSpaceCount();
        indent.assign(static_cast<size_t>(e / ts), '\t');
        indent.append(static_cast<size_t>(e % ts), ' ');
    } else {
        indent.assign(static_cast<size_t>(e), ' ');
    }
    if (Shift) {
        ReplaceAndPlace(first, 0, indent + "\r\n", static_cast<int>(indent.size()));
        return;
    }
    const std::string& row = L.Text(r);
    const size_t at = static_cast<size_t>(std::min(CaretIndex(), static_cast<int>(row.size())));
    std::string t = row.substr(0, at) + "\r\n" + indent;
    const int caret = static_cast<int>(t.size());
    t.append(row, at);
    if (L.RowAttr(r) == LineEnd) t += "\r\n";
    ReplaceAndPlace(r, 1, t, caret);
}

void TEditorModel::DeleteKey() {
    if (FReadOnly) return;
    if (Selected()) {
        DeleteSelection();
        return;
    }
    CleanSelection();
    const TEditorScreenStrings& L = *FList;
    const int n = L.Count();
    const int r = Row();
    if (r >= n) return;
    const std::string& row = L.Text(r);
    if (CaretIndex() < static_cast<int>(row.size())) {
        for (const Cell& c : Cells(row, ColumnMetrics())) {
            if (Col() >= c.Col1) continue;
            std::string t = row.substr(0, static_cast<size_t>(c.Byte));
            t.append(row, static_cast<size_t>(c.Byte + c.Len));
            if (L.RowAttr(r) == LineEnd) t += "\r\n";
            ReplaceAndPlace(r, 1, t, c.Byte);
            return;
        }
        return;
    }
    if (L.RowAttr(r) == EndOfText) return;
    std::string t = row;
    t.append(static_cast<size_t>(std::max(0, Col() - RowWidth(r))), ' ');
    const int caret = static_cast<int>(t.size());
    if (r == n - 1) {
        ReplaceAndPlace(r, 1, t, caret); // the final line end goes
        return;
    }
    ReplaceAndPlace(r, 2, t + WithEnd(L, r + 1), caret);
}

void TEditorModel::BoxPaste(std::string_view S) {
    if (FReadOnly) return;
    if (S.empty()) {
        DeleteSelection();
        return;
    }
    const std::vector<std::string> lines =
        cp932::SplitLines(S, cp932::LoneCr::EndsLine, cp932::FinalLineEnd::EndsLastLine);
    const int nl = static_cast<int>(lines.size());
    const TEditorScreenStrings& L = *FList;
    const int n = L.Count();
    struct Work {
        std::string Text;
        int Attr;
        int At; // the byte where the selected part was; -1 for a row of the text
    };
    std::vector<Work> rows;
    int r0, k, bottom = -1;
    if (Selected()) {
        const TSelectionExtent e = FExtent;
        r0 = e.TopRow;
        k = e.StartCol;
        bottom = std::min(e.BottomRow, n - 1);
        for (int r = r0; r <= bottom; ++r) {
            const std::string& t = L.Text(r);
            const int len = static_cast<int>(t.size());
            int from, to;
            if (FBoxMode) {
                std::string map = RowMap(r);
                const int w = static_cast<int>(map.size());
                auto edge = [&](int c) { return c < w && c > 0 && map[c] == kcTrail ? c + 1 : c; };
                from = ByteOfCol(r, edge(e.StartCol));
                to = std::max(from, ByteOfCol(r, edge(e.EndCol)));
            } else {
                from = r == e.TopRow ? std::clamp(e.StartByte, 0, len) : 0;
                to = r == e.BottomRow ? std::clamp(e.EndByte + 1, from, len) : len;
            }
            std::string rest = t.substr(0, static_cast<size_t>(from));
            rest.append(t, static_cast<size_t>(std::min(to, len)));
            rows.push_back({rest, L.RowAttr(r), from});
        }
    } else {
        r0 = Row();
        k = Col();
    }
    CleanSelection();
    const int last = std::min(n - 1, std::max(r0 + nl - 1, bottom));
    for (int r = r0 + static_cast<int>(rows.size()); r <= last; ++r)
        rows.push_back({L.Text(r), L.RowAttr(r), -1});
    const TColumnMetrics m = ColumnMetrics();
    int caretByte = 0;
    for (int j = 0; j < nl; ++j) {
        const std::string& line = lines[static_cast<size_t>(j)];
        int at;
        if (j < static_cast<int>(rows.size())) {
            Work& w = rows[static_cast<size_t>(j)];
            if (w.At >= 0) {
                at = w.At;
                if (static_cast<int>(w.Text.size()) < at)
                    w.Text.resize(static_cast<size_t>(at), ' ');
            } else {
                // The first character at or after column K; a shorter row is filled up to K.
                at = -1;
                int width = 0;
                for (const Cell& c : Cells(w.Text, m)) {
                    if (c.Col0 >= k) {
                        at = c.Byte;
                        break;
                    }
                    width = c.Col1;
                }
                if (at < 0) {
                    w.Text.append(static_cast<size_t>(std::max(0, k - width)), ' ');
                    at = static_cast<int>(w.Text.size());
                }
            }
            w.Text.insert(static_cast<size_t>(at), line);
        } else {
            rows.push_back({std::string(static_cast<size_t>(k), ' ') + line, LineEnd, -1});
            at = k;
        }
        caretByte = at + static_cast<int>(line.size());
    }
    std::string text;
    for (const Work& w : rows) {
        text += w.Text;
        if (w.Attr != Wrapped) text += "\r\n"; // an EndOfText row gets a line end too
    }
    BeginUnderlineErase();
    ++FCaretUpdateLock;
    FList->ReplaceRows(r0, last >= r0 ? last - r0 + 1 : 0, text);
    const int caretRow = r0 + nl - 1;
    SetRowCol(caretRow, ColOfByte(caretRow, caretByte));
    --FCaretUpdateLock;
    UpdateCaret();
    EndUnderlineErase();
}

void TEditorModel::MoveSelection(int ARow, int ACol, bool Copy) {
    if (FReadOnly || !Selected() || FBoxMode || !FCaret.SelMove()) {
        CleanSelection();
        return;
    }
    const TEditorScreenStrings& L = *FList;
    const int n = L.Count();
    const TSelectionExtent e = FExtent;
    const int dropRow = std::clamp(ARow, 0, LastCaretRow());
    const int dropByte = dropRow < n ? ByteOfCol(dropRow, ACol) : 0;
    const int a = std::min(e.TopRow, dropRow);
    const int b = std::min(std::max(e.BottomRow, dropRow), n - 1);
    auto rel = [&](int row, int byte) {
        int off = 0;
        for (int r = a; r < row && r < n; ++r)
            off += static_cast<int>(L.Text(r).size()) + (L.RowAttr(r) == LineEnd ? 2 : 0);
        return off + (row < n ? std::clamp(byte, 0, static_cast<int>(L.Text(row).size())) : 0);
    };
    const int s = rel(e.TopRow, e.StartByte);
    const int t = e.BottomRow < n ? rel(e.BottomRow, e.EndByte + 1) : rel(n, 0);
    int d = rel(dropRow, dropByte);
    if (d >= s && d <= t) {
        CleanSelection(); // dropped inside the selection
        return;
    }
    if (Copy) {
        const std::string text = SelText();
        CleanSelection();
        SetRowCol(dropRow, ACol);
        SetSelText(text);
        return;
    }
    std::string text;
    for (int r = a; r <= b; ++r)
        text += WithEnd(L, r);
    const std::string moved = text.substr(static_cast<size_t>(s), static_cast<size_t>(t - s));
    text.erase(static_cast<size_t>(s), static_cast<size_t>(t - s));
    if (d > t) d -= t - s;
    text.insert(static_cast<size_t>(d), moved);
    CleanSelection();
    ReplaceAndPlace(a, b - a + 1, text, d + static_cast<int>(moved.size()));
}

} // namespace editor
