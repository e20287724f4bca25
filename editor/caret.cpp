// Caret, selection and scrolling: where the caret may stand over two-byte characters, tabs and
// wrapped rows, the selection's anchor and extent, the byte-offset view of positions and the
// scroll arithmetic. The widget only shows what this decides.
#include "editor_model.h"

#include <vector>

namespace editor {

namespace {
const std::string kEmpty;

// Floor division: a point left of the margin counts one column further left.
int FloorDiv(int A, int B) {
    return A >= 0 ? A / B : -((-A + B - 1) / B);
}
} // namespace

const std::string& TEditorModel::RowText(int ARow) const {
    return ARow >= 0 && ARow < RowCount() ? FList->Text(ARow) : kEmpty;
}

std::string TEditorModel::RowMap(int ARow) const {
    // Without wrapping a row may be wider than the columns drawn; the caret has a place at each.
    return FullColumnMap(RowText(ARow), ColumnMetrics());
}

int TEditorModel::RowWidth(int ARow) const {
    return static_cast<int>(RowMap(ARow).size());
}

int TEditorModel::ByteOfCol(int ARow, int ACol) const {
    const std::string& s = RowText(ARow);
    std::string map = RowMap(ARow);
    if (ACol >= static_cast<int>(map.size())) return static_cast<int>(s.size());
    int bytes = 0;
    for (int i = 0; i < ACol; ++i)
        if (map[i] != kcTabBlank) ++bytes;
    return std::min(bytes, static_cast<int>(s.size()));
}

int TEditorModel::ColOfByte(int ARow, int AByte) const {
    const std::string& s = RowText(ARow);
    AByte = std::clamp(AByte, 0, static_cast<int>(s.size()));
    return std::min(StrWidth(std::string_view(s).substr(0, AByte)), RowWidth(ARow));
}

int TEditorModel::LastCaretRow() const {
    int n = RowCount();
    return n > 0 && FList->RowAttr(n - 1) == EndOfText ? n - 1 : n;
}

// Positions.

void TEditorModel::SetRow(int Value) {
    if (Value == FCaretRow && FCaretRow < RowCount()) return;
    BeginUnderlineErase();
    FCaretRow = std::clamp(Value, 0, LastCaretRow());
    AdjustCol(-1, true);
    CaretPlacedView();
    EndUnderlineErase();
}

void TEditorModel::SetCol(int Value) {
    Value = std::max(0, Value); // the column's last place is the adjustment's to say
    int dir = Value > FCaretCol ? 1 : -1;
    FCaretCol = Value;
    AdjustCol(dir, false);
    CaretPlacedView();
}

void TEditorModel::SetRowCol(int ARow, int ACol) {
    if (ARow == FCaretRow && ACol == FCaretCol) return;
    ++FCaretUpdateLock;
    SetRow(ARow);
    std::string map = RowMap(FCaretRow);
    int n = static_cast<int>(map.size());
    ACol = std::max(0, ACol);
    if (ACol < n && map[ACol] == kcTrail) --ACol;
    if (!FCaret.InTab())
        while (ACol > 0 && ACol < n && map[ACol] == kcTabBlank)
            --ACol;
    SetCol(ACol);
    --FCaretUpdateLock;
    UpdateCaret();
}

void TEditorModel::PlaceCaret(int ARow, int ACol) {
    SetRow(ARow);
    SetCol(ACol);
}

void TEditorModel::Remember(bool Vertical) {
    if (Vertical && !FHasRememberedCol) {
        FHasRememberedCol = true;
        FRememberedCol = FCaretCol;
    }
}

void TEditorModel::AdjustCol(int Direction, bool Vertical) {
    std::string map = RowMap(FCaretRow);
    const int w = static_cast<int>(map.size());
    auto code = [&](int c) { return c >= 0 && c < w ? map[c] : kcEnd; };
    // 1. A horizontal move forgets the held column; a vertical one returns to it.
    if (!Vertical)
        FHasRememberedCol = false;
    else if (FHasRememberedCol)
        FCaretCol = FRememberedCol;
    // 2. Past the row's end.
    if (!FCaret.FreeCaret() && FCaretCol > w) {
        if (Vertical && FCaret.KeepCaret() && !FHasRememberedCol) {
            FHasRememberedCol = true;
            FRememberedCol = LeftButtonDown() ? w : FCaretCol;
        }
        if (!(Vertical && FCaret.FreeRow() && !LeftButtonDown())) FCaretCol = w;
    }
    auto halves = [&](int dir) {
        // 3. Never on the right half of a two-byte character.
        if (code(FCaretCol) == kcTrail) {
            Remember(Vertical);
            FCaretCol += dir;
        }
        // 4. Never inside a tab's blank columns, unless the caret may be.
        if (!FCaret.InTab() && code(FCaretCol) == kcTabBlank) {
            Remember(Vertical);
            while (code(FCaretCol) == kcTabBlank)
                FCaretCol += dir;
        }
    };
    halves(Direction);
    // 5. A wrapped row has no place after its last character: that is the next row's start.
    if (WordWrap() && FCaretCol >= w) {
        Remember(Vertical);
        bool wrapped = FCaretRow < RowCount() && FList->RowAttr(FCaretRow) == Wrapped;
        const int wrapByte = FList->WrapOption().WrapByte();
        if (wrapped)
            FCaretCol = std::max(0, w - 1);
        else if (FCaretCol >= wrapByte)
            FCaretCol = std::max(w, wrapByte - 1);
        halves(-1);
    }
    // 6. Past the row's end column 1000 is the last (the place after a two-byte character that
    // covers it is the row's end); a wider row has a place at each of its columns.
    FCaretCol = std::min(FCaretCol, std::max(1000, w));
    if (FCaretCol < 0) FCaretCol = 0;
    // 7.
    UpdateCaret();
}

void TEditorModel::UpdateCaret() {
    if (FCaretUpdateLock > 0) return;
    if (Focused()) {
        const int vr = VisibleRowCount(), vc = VisibleColCount();
        if (FCaretRow < FTopRow)
            SetTopRow(FCaretRow);
        else if (FCaretRow > FTopRow + vr - 1)
            SetTopRow(FCaretRow - vr + 1);
        if (FCaretCol < FTopCol)
            SetTopCol(std::max(0, std::min(FCaretCol, FTopCol - vc / 4)));
        else if (FCaretCol > FTopCol + vc - 1)
            SetTopCol(std::min(std::max(FCaretCol - vc + 1, FTopCol + vc / 4), 1000 - vc / 2));
    }
    CaretPlacedView();
    if (OnCaretMoved) OnCaretMoved(this);
}

int TEditorModel::OffsetOf(int StartRow, int ARow, int ACol) const {
    int off = 0;
    for (int r = std::max(0, StartRow); r < ARow && r < RowCount(); ++r) {
        int a = FList->RowAttr(r);
        off += static_cast<int>(RowText(r).size()) + (a == LineEnd ? 2 : a == EndOfText ? 1 : 0);
    }
    return off + ByteOfCol(ARow, ACol);
}

void TEditorModel::SetCaretByOffset(int StartRow, int Offset) {
    const int n = RowCount();
    if (n == 0) {
        SetRowCol(0, 0);
        return;
    }
    Offset = std::max(0, Offset);
    // Counting from the row after the text (where an edit that took the last row's text left
    // the caret) is counting from the text's end.
    for (int r = std::max(0, StartRow); r < n; ++r) {
        const int len = static_cast<int>(RowText(r).size());
        const int a = FList->RowAttr(r);
        const int count = len + (a == LineEnd ? 2 : a == EndOfText ? 1 : 0);
        if (Offset < count || a == EndOfText) {
            SetRowCol(r, ColOfByte(r, std::min(Offset, len)));
            return;
        }
        Offset -= count;
    }
    // Past the last row: the text's end, which after a final line end is the row after it.
    if (LastCaretRow() == n)
        SetRowCol(n, 0);
    else
        SetRowCol(n - 1, RowWidth(n - 1));
}

TEditorModel::TRowCol TEditorModel::PosToRowCol(int X, int Y, bool Rounding) const {
    const int cw = std::max(1, FMetrics.ColWidth);
    int c = FloorDiv(X - FMetrics.LeftMargin + (Rounding ? cw / 2 : 0), cw) + FTopCol;
    int r = FloorDiv(Y - FMetrics.TopMargin, std::max(1, FMetrics.RowHeight)) + FTopRow;
    return {r, std::max(0, c)};
}

// Byte offsets in the whole text.

int TEditorModel::TextLength() const {
    int len = 0;
    for (int r = 0; r < RowCount(); ++r)
        len += static_cast<int>(RowText(r).size()) + (FList->RowAttr(r) == LineEnd ? 2 : 0);
    return len;
}

int TEditorModel::SelStart() const {
    if (RowCount() == 0) return 0;
    auto before = [&](int row) {
        int off = 0;
        for (int r = 0; r < row && r < RowCount(); ++r)
            off += static_cast<int>(RowText(r).size()) + (FList->RowAttr(r) == LineEnd ? 2 : 0);
        return off;
    };
    if (FSelState == sstSelected || FSelState == sstHit)
        return before(FExtent.TopRow) + FExtent.StartByte;
    return before(FCaretRow) + ByteOfCol(FCaretRow, FCaretCol);
}

void TEditorModel::SetSelStart(int Offset) {
    CleanSelection();
    if (Offset <= 0)
        SetRowCol(0, 0);
    else
        SetCaretByOffset(0, Offset);
}

std::string TEditorModel::BoxPiece(int ARow) const {
    const std::string& s = RowText(ARow);
    std::string map = RowMap(ARow);
    const int w = static_cast<int>(map.size());
    // A boundary on the right half of a two-byte character moves one cell right.
    auto edge = [&](int c) { return c < w && c > 0 && map[c] == kcTrail ? c + 1 : c; };
    int from = ByteOfCol(ARow, edge(FExtent.StartCol));
    int to = ByteOfCol(ARow, edge(FExtent.EndCol));
    return to > from ? s.substr(from, to - from) : std::string();
}

int TEditorModel::SelLength() const {
    if (FSelState != sstSelected) return 0;
    const TSelectionExtent& e = FExtent;
    if (FBoxMode) {
        int len = 0;
        for (int r = e.TopRow; r <= e.BottomRow; ++r)
            len += static_cast<int>(BoxPiece(r).size()) + 2;
        return len;
    }
    if (e.TopRow == e.BottomRow) return e.EndByte - e.StartByte + 1;
    auto tail = [&](int r) { return FList->RowAttr(r) == LineEnd ? 2 : 0; };
    int len = static_cast<int>(RowText(e.TopRow).size()) - e.StartByte + tail(e.TopRow);
    for (int r = e.TopRow + 1; r < e.BottomRow; ++r)
        len += static_cast<int>(RowText(r).size()) + tail(r);
    return len + e.EndByte + 1;
}

void TEditorModel::SetSelLength(int Count) {
    if (RowCount() == 0) return;
    if (FBoxMode) SetSelectionMode(false);
    const bool had = FSelState == sstSelected || FSelState == sstHit;
    if (Count > 0) {
        ++FCaretUpdateLock;
        if (had) SetRowCol(FExtent.TopRow, ColOfByte(FExtent.TopRow, FExtent.StartByte));
        StartSelection();
        SetCaretByOffset(FCaretRow, ByteOfCol(FCaretRow, FCaretCol) + Count);
        --FCaretUpdateLock;
        UpdateCaret();
        UpdateSelection();
    } else if (had) {
        const int r = FExtent.TopRow, c = ColOfByte(FExtent.TopRow, FExtent.StartByte);
        CleanSelection();
        SetRowCol(r, c);
    }
}

std::string TEditorModel::SelText() const {
    std::string out;
    if (FSelState != sstSelected) return out;
    const TSelectionExtent& e = FExtent;
    if (FBoxMode) {
        for (int r = e.TopRow; r <= e.BottomRow; ++r)
            out += BoxPiece(r) + "\r\n";
        return out;
    }
    for (int r = e.TopRow; r <= e.BottomRow; ++r) {
        const std::string& s = RowText(r);
        const int len = static_cast<int>(s.size());
        int from = r == e.TopRow ? e.StartByte : 0;
        int to = r == e.BottomRow ? e.EndByte + 1 : len;
        from = std::clamp(from, 0, len);
        to = std::clamp(to, 0, len);
        if (to > from) out.append(s, from, to - from);
        if (r < e.BottomRow && FList->RowAttr(r) == LineEnd) out += "\r\n";
    }
    return out;
}

void TEditorModel::SelectAll() {
    ++FCaretUpdateLock;
    SetSelStart(0);
    SetSelLength(TextLength());
    --FCaretUpdateLock;
    UpdateCaret();
}

// Selection.

void TEditorModel::StartSelection() {
    CleanSelection();
    if (RowCount() == 0) return;
    FSelState = sstAnchored;
    FAnchorRow = FCaretRow;
    FAnchorByte = ByteOfCol(FCaretRow, FCaretCol);
    FAnchorCol = FBoxMode ? FCaretCol : std::min(FCaretCol, RowWidth(FCaretRow));
    FExtent = {FAnchorRow, FAnchorRow, FAnchorByte, FAnchorByte - 1, FAnchorCol, FAnchorCol};
    FPrevExtent = FExtent;
}

void TEditorModel::UpdateSelection() {
    if (FSelState == sstNone) return;
    if (FSelState == sstAnchored) {
        FSelState = FSelectAsHit ? sstHit : sstSelected;
        BeginUnderlineErase();
    }
    ComputeExtent();
}

void TEditorModel::ComputeExtent() {
    const int row = FCaretRow, b = ByteOfCol(FCaretRow, FCaretCol), col = FCaretCol;
    TSelectionExtent e;
    e.TopRow = std::min(FAnchorRow, row);
    e.BottomRow = std::max(FAnchorRow, row);
    if (FAnchorRow == row) {
        e.StartByte = std::min(FAnchorByte, b);
        e.EndByte = std::max(FAnchorByte, b) - 1;
    } else if (FAnchorRow < row) {
        e.StartByte = FAnchorByte;
        e.EndByte = b - 1;
    } else {
        e.StartByte = b;
        e.EndByte = FAnchorByte - 1;
    }
    if (FBoxMode) {
        e.StartCol = std::min(FAnchorCol, col);
        e.EndCol = std::max(FAnchorCol, col);
    } else if (FAnchorRow == row) {
        const int w = RowWidth(row);
        e.StartCol = std::min(std::min(FAnchorCol, col), w);
        e.EndCol = std::min(std::max(FAnchorCol, col), w);
    } else if (FAnchorRow < row) {
        e.StartCol = std::min(FAnchorCol, RowWidth(FAnchorRow));
        e.EndCol = std::min(col, RowWidth(row));
    } else {
        e.StartCol = std::min(col, RowWidth(row));
        e.EndCol = std::min(FAnchorCol, RowWidth(FAnchorRow));
    }
    TSelectionExtent old = FPrevExtent;
    FExtent = e;
    SelectionChangedView(old, true);
    FPrevExtent = e;
    if (OnSelectionChange) OnSelectionChange(this, true);
}

void TEditorModel::CleanSelection() {
    if (FSelState == sstAnchored) {
        FSelState = sstNone;
        return;
    }
    if (FSelState == sstNone) return;
    const bool caretHit = FSelState == sstHit && FHitStyle == hsCaret;
    FSelState = sstNone;
    FSelectAsHit = false;
    FHitLength = 0;
    if (caretHit) RestoreCaretShapeView();
    SelectionChangedView(FPrevExtent, true);
    EndUnderlineErase();
    FHasRememberedCol = false;
    if (OnSelectionChange) OnSelectionChange(this, false);
}

void TEditorModel::SetSelectionMode(bool Box) {
    if (SelDragging()) return;
    FBoxMode = Box;
    if (FSelState == sstSelected) {
        ComputeExtent();
        Invalidate();
    }
    if (OnSelectionModeChange) OnSelectionModeChange(this);
}

// Scrolling.

void TEditorModel::SetTopRow(int Value) {
    Value = std::clamp(Value, 0, RowCount());
    if (Value == FTopRow) return;
    const int old = FTopRow;
    FTopRow = Value;
    TopRowChangedView(old);
    if (OnTopRowChange) OnTopRowChange(this);
}

void TEditorModel::SetTopCol(int Value) {
    Value = std::clamp(Value, 0, GreatestTopCol());
    if (Value == FTopCol) return;
    const int old = FTopCol;
    FTopCol = Value;
    TopColChangedView(old);
    if (OnTopColChange) OnTopColChange(this);
}

void TEditorModel::ScrollRows(int N) {
    if (FTopRow == 0 && N < 0) {
        SetRow(0);
        return;
    }
    if (FTopRow < RowCount() && FList->RowAttr(FTopRow) == EndOfText && N > 0) return;
    const int top = std::clamp(FTopRow + N, 0, RowCount());
    const int d = top - FTopRow;
    SetTopRow(top);
    SetRow(FCaretRow + d);
}

void TEditorModel::ClampTopToScrollRange() {
    if (FTopRow > GreatestTopRow()) SetTopRow(GreatestTopRow());
    if (FTopCol > GreatestTopCol()) SetTopCol(GreatestTopCol());
}

void TEditorModel::ScrollCaret() {
    const int vr = VisibleRowCount(), vc = VisibleColCount();
    if (FCaretRow < FTopRow || FCaretRow > FTopRow + vr - 1) SetTopRow(FCaretRow - vr / 3);
    if (FCaretCol < FTopCol || FCaretCol > FTopCol + vc - 1) SetTopCol(FCaretCol - vc / 3);
}

} // namespace editor
