// The navigation keys with Shift and Ctrl and their accelerated repeats, and the token steps of
// Ctrl+Left and Ctrl+Right: what the keyboard does to the caret, without a display.
#include "editor_model.h"

#include <vector>

namespace editor {

void TEditorModel::NavigateKey(TEditorNavKey Key, bool Shift, bool Ctrl, bool Repeat) {
    // A search hit is no selection: Shift starts one at the caret, dropping the hit.
    if (Shift && FSelState != sstSelected)
        StartSelection();
    else if (!Shift && (FSelState == sstSelected || FSelState == sstHit))
        CleanSelection();
    const int vr = VisibleRowCount();
    auto attr = [&](int r) { return r >= 0 && r < RowCount() ? FList->RowAttr(r) : -1; };
    switch (Key) {
    case nkPageUp:
    case nkPageDown: {
        const int range = Repeat ? FSpeed.PageVerticalRangeAc() : FSpeed.PageVerticalRange();
        const int step = (vr - 1) / 2 * range;
        ScrollRows(Key == nkPageUp ? -step : step);
        break;
    }
    case nkEnd:
        if (Ctrl) SetRow(RowCount());
        SetCol(RowWidth(FCaretRow));
        break;
    case nkHome:
        if (Ctrl) SetRow(0);
        SetCol(0);
        break;
    case nkLeft:
        if (Ctrl) {
            TokenStepLeft();
        } else if (FCaretCol == 0) {
            if (FCaretRow > 0 && (attr(FCaretRow - 1) == Wrapped || FCaret.NextLine())) {
                ++FCaretUpdateLock;
                SetRow(FCaretRow - 1);
                SetCol(RowWidth(FCaretRow));
                --FCaretUpdateLock;
                UpdateCaret();
            }
        } else {
            SetCol(FCaretCol - 1);
        }
        break;
    case nkRight:
        if (Ctrl) {
            TokenStepRight();
        } else {
            const int old = FCaretCol;
            SetCol(FCaretCol + 1);
            const int a = attr(FCaretRow);
            if (FCaretCol == old && a >= 0 && a != EndOfText && (a == Wrapped || FCaret.NextLine()))
                SetRowCol(FCaretRow + 1, 0);
        }
        break;
    case nkUp: {
        const int n = Repeat && FCaretRow == FTopRow ? FSpeed.CaretVerticalAc() : 1;
        if (!Ctrl) {
            SetRow(FCaretRow - n);
        } else {
            SetTopRow(FTopRow - n);
            if (FCaretRow > FTopRow + vr - 1) SetRow(FCaretRow - n);
        }
        break;
    }
    case nkDown: {
        const int n = Repeat && FCaretRow == FTopRow + vr - 1 ? FSpeed.CaretVerticalAc() : 1;
        if (!Ctrl) {
            if (attr(FCaretRow) != EndOfText) SetRow(FCaretRow + n);
        } else {
            SetTopRow(FTopRow + n);
            if (FCaretRow < FTopRow) SetRow(FCaretRow + n);
        }
        break;
    }
    }
    if (Shift) UpdateSelection();
}

namespace {

// Starts of the tokens of a row (tabs expanded) that the token steps stop at: every token but
// single symbol characters; blanks are no tokens.
std::vector<int> TokenStarts(TFountain* F, const std::string& Text) {
    std::vector<int> starts;
    if (!F || Text.empty()) return starts;
    auto parser = F->CreateParser();
    TRowAttributeData s;
    s.Bracket = -2;
    parser->StartRow(Text, s);
    for (int k; (k = parser->ReadToken()) != kdEnd;)
        if (k != kdSymbol) starts.push_back(parser->TokenOffset());
    return starts;
}

} // namespace

void TEditorModel::TokenStepRight() {
    int row = FCaretRow, col = FCaretCol;
    const int last = RowCount() - 1;
    if (row > last) return;
    // At the row's end, go on from before the next row's first column.
    if (col >= RowWidth(row) && row < last) {
        ++row;
        col = -1;
    }
    for (int start : TokenStarts(ActiveFountain(), ExpandTab(RowText(row))))
        if (start > col) {
            SetRowCol(row, start);
            return;
        }
    if (FList->RowAttr(row) == Wrapped && row < last)
        SetRowCol(row + 1, 0);
    else
        SetRowCol(row, RowWidth(row));
}

void TEditorModel::TokenStepLeft() {
    int row = FCaretRow, col = FCaretCol;
    if (col == 0) {
        if (row == 0) return;
        --row;
        col = RowWidth(row);
        if (FList->RowAttr(row) == LineEnd) {
            SetRowCol(row, col);
            return;
        }
    }
    const std::vector<int> starts = TokenStarts(ActiveFountain(), ExpandTab(RowText(row)));
    for (auto it = starts.rbegin(); it != starts.rend(); ++it)
        if (*it < col) {
            SetRowCol(row, *it);
            return;
        }
    if (row == 0)
        SetRowCol(0, 0);
    else
        SetRowCol(row - 1, RowWidth(row - 1));
}

} // namespace editor

namespace editor {

// Selects rows From..To (From <= To) whole: from the start of From to the start of the row after
// To, or to the end of To when it ends the text. Above the first row the anchor is at the end.
void TEditorModel::SelectRows(int From, int To) {
    const bool up = From < FRowSelFirst;
    const int last = RowCount() - 1;
    auto endOf = [&](int r) {
        return r >= 0 && r <= last && FList->RowAttr(r) == EndOfText
                   ? std::make_pair(r, RowWidth(r))
                   : std::make_pair(r + 1, 0);
    };
    const auto startPos = std::make_pair(From, 0);
    const auto endPos = endOf(To);
    // The first row stays selected: the anchor is on its far side from the moving end.
    const auto anchor = up ? endPos : startPos;
    const auto caret = up ? startPos : endPos;
    ++FCaretUpdateLock;
    if (FSelState != sstNone) CleanSelection();
    SetRowCol(anchor.first, anchor.second);
    StartSelection();
    SetRowCol(caret.first, caret.second);
    UpdateSelection();
    --FCaretUpdateLock;
    UpdateCaret();
}

void TEditorModel::StartRowSelection(int R) {
    if (RowCount() == 0) return;
    R = std::clamp(R, 0, std::min(LastCaretRow(), RowCount() - 1));
    FRowSelFirst = FRowSelEnd = R;
    FRowSelecting = true;
    SelectRows(R, R);
    // The caret at the start of the row.
    ++FCaretUpdateLock;
    FCaretRow = R;
    FCaretCol = 0;
    --FCaretUpdateLock;
    UpdateCaret();
}

void TEditorModel::ExtendRowSelection(int R2) {
    if (!FRowSelecting || RowCount() == 0) return;
    R2 = std::clamp(R2, 0, std::min(LastCaretRow(), RowCount() - 1));
    // Moves within the same row change nothing (and repaint nothing).
    if (R2 == FRowSelEnd && Selected()) return;
    FRowSelEnd = R2;
    SelectRows(std::min(R2, FRowSelFirst), std::max(R2, FRowSelFirst));
}

} // namespace editor
