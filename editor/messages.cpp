// Popup menu, clipboard, row marks and edit-control operations.
#include "messages.h"

#include "codec.h"

#include <algorithm>
#include <cstring>

namespace editor {

// Popup menu.

std::vector<TPopupItem> PopupMenuItems() {
    auto item = [](TPopupAction a, const char* utf8, const char* shortcut, bool enabled) {
        TPopupItem i;
        i.Action = a;
        i.Caption = cp932::FromUtf8(utf8);
        i.ShortCut = shortcut;
        i.Enabled = enabled;
        return i;
    };
    auto marks = [&](const char* utf8, TPopupAction a, const char* prefix) {
        TPopupItem sub = item(paNone, utf8, "", true);
        for (int d = 0; d < 10; ++d) {
            const std::string digit(1, static_cast<char>('0' + d));
            TPopupItem i = item(a, digit.c_str(), (prefix + digit).c_str(), true);
            i.Tag = d;
            sub.Items.push_back(i);
        }
        return sub;
    };
    const TPopupItem sep = item(paNone, "-", "", true);
    return {
        marks("マーク設定", paMarkSet, "Shift+Ctrl+"),
        marks("マークジャンプ", paMarkJump, "Ctrl+"),
        sep,
        item(paUndo, "元に戻す(&U)", "Ctrl+Z", false),
        // The shortcut of redo is Ctrl+A; select all has none.
        item(paRedo, "やり直し(&R)", "Ctrl+A", false),
        sep,
        item(paCut, "切り取り(&T)", "Ctrl+X", false),
        item(paCopy, "コピー(&C)", "Ctrl+C", false),
        item(paPaste, "貼り付け(&P)", "Ctrl+V", false),
        item(paBoxPaste, "Box貼り付け(&B)", "Ctrl+B", false),
        item(paDelete, "削除(&D)", "", false),
        sep,
        item(paSelectAll, "すべて選択(&A)", "", false),
        sep,
        item(paBoxMode, "Box選択モード(&K)", "Ctrl+K", true),
    };
}

void TEditorMessages::UpdatePopup(std::vector<TPopupItem>& Items) {
    const bool ro = FEditor.ReadOnly();
    const bool sel = FEditor.SelLength() > 0;
    const bool clip = FEditor.Clipboard() && FEditor.Clipboard()->HasText();
    const int used = FEditor.List().UsedMarks();
    for (TPopupItem& i : Items) {
        switch (i.Action) {
        case paUndo:
            i.Enabled = FEditor.CanUndo() && !ro;
            break;
        case paRedo:
            i.Enabled = FEditor.CanRedo() && !ro;
            break;
        case paCut:
        case paDelete:
            i.Enabled = sel && !ro;
            break;
        case paCopy:
            i.Enabled = sel;
            break;
        case paPaste:
        case paBoxPaste:
            i.Enabled = clip && !ro;
            break;
        case paSelectAll:
            // Not TextLength: that walks every row, and this runs before every shortcut.
            i.Enabled = FEditor.RowCount() > 1 ||
                        (FEditor.RowCount() == 1 &&
                         (!FEditor.List().Text(0).empty() || FEditor.List().RowAttr(0) == LineEnd));
            break;
        case paBoxMode:
            i.Checked = FEditor.SelectionMode();
            break;
        default:
            break;
        }
        for (TPopupItem& s : i.Items)
            s.Checked = (used >> s.Tag & 1) != 0;
    }
}

void TEditorMessages::RunPopup(TPopupAction Action, int Tag) {
    switch (Action) {
    case paMarkSet:
        FEditor.ToggleRowMark(Tag);
        break;
    case paMarkJump:
        FEditor.GotoRowMark(Tag);
        break;
    case paUndo:
        FEditor.Undo();
        break;
    case paRedo:
        FEditor.Redo();
        break;
    case paCut:
        FEditor.CutToClipboard();
        break;
    case paCopy:
        FEditor.CopyToClipboard();
        break;
    case paPaste:
        FEditor.PasteFromClipboard();
        break;
    case paBoxPaste:
        FEditor.BoxPasteFromClipboard();
        break;
    case paDelete:
        FEditor.DeleteSelection();
        break;
    case paSelectAll:
        FEditor.SelectAll();
        break;
    case paBoxMode:
        FEditor.SetSelectionMode(!FEditor.SelectionMode());
        break;
    default:
        break;
    }
}

// Row marks: the editor's.

int TEditorModel::RowMarks(int ARow) const {
    return ARow >= 0 && ARow < RowCount() ? FList->RowMarks(ARow) : 0;
}

void TEditorModel::SetRowMarks(int ARow, int Marks) {
    if (ARow < 0 || ARow >= RowCount()) return;
    TEditorScreenStrings& l = *FList;
    Marks &= 0xFFFF;
    const int old = l.RowMarks(ARow);
    if (old == Marks) return;
    l.AddMarks(Marks & ~old);
    l.RemoveMarks(old & ~Marks);
    l.SetRowMarks(ARow, Marks);
    RowMarksChangedView(ARow);
}

void TEditorModel::SetRowMark(int ARow, int N) {
    if (N < 0 || N > 15) return;
    if (N < 10)
        for (int r = 0; r < RowCount(); ++r)
            if (RowMarks(r) >> N & 1) {
                SetRowMarks(r, RowMarks(r) & ~(1 << N));
                break;
            }
    if (ARow >= 0 && ARow < RowCount()) SetRowMarks(ARow, RowMarks(ARow) | 1 << N);
}

void TEditorModel::DeleteRowMark(int ARow, int N) {
    if (N < 0 || N > 15) return;
    if (ARow >= 0 && ARow < RowCount()) SetRowMarks(ARow, RowMarks(ARow) & ~(1 << N));
}

void TEditorModel::GotoRowMark(int N) {
    if (N < 0 || N > 15) return;
    for (int r = 0; r < RowCount(); ++r)
        if (RowMarks(r) >> N & 1) {
            const int top = TopRow(), vr = VisibleRowCount();
            if (r < top || r > top + vr - 1) SetTopRow(std::max(0, r - vr / 2));
            SetRow(r);
            return;
        }
}

void TEditorModel::ToggleRowMark(int N) {
    const int r = Row();
    if (RowMarks(r) >> N & 1)
        DeleteRowMark(r, N);
    else
        SetRowMark(r, N);
}

// Clipboard: the editor's commands.

void TEditorModel::CopyToClipboard() {
    if (!Selected() || !FClipboard) return;
    if (SelectionMode())
        FClipboard->SetBoxText(SelText());
    else
        FClipboard->SetText(SelText());
}

void TEditorModel::CutToClipboard() {
    if (!Selected() || !FClipboard) return;
    CopyToClipboard();
    DeleteSelection();
}

void TEditorModel::PasteFromClipboard() {
    if (!FClipboard || !FClipboard->HasText()) return;
    if (FClipboard->HasBox())
        BoxPaste(FClipboard->Text());
    else
        SetSelText(FClipboard->Text());
}

void TEditorModel::BoxPasteFromClipboard() {
    if (FClipboard && FClipboard->HasText()) BoxPaste(FClipboard->Text());
}

// Edit-control operations.

int TEditorMessages::RowCountBytes(int Row) const {
    const int len = static_cast<int>(FEditor.List().Text(Row).size());
    const int a = FEditor.List().RowAttr(Row);
    return len + (a == LineEnd ? 2 : a == EndOfText ? 1 : 0);
}

int TEditorMessages::RowStart(int Row) const {
    int off = 0;
    for (int r = 0; r < Row && r < FEditor.RowCount(); ++r)
        off += RowCountBytes(r);
    return off;
}

std::uint32_t TEditorMessages::GetSel(int* Start, int* End) const {
    const int s = FEditor.SelStart(), e = s + FEditor.SelLength();
    if (Start) *Start = s;
    if (End) *End = e;
    return MakeLong(s, e);
}

void TEditorMessages::SetSel(int Start, int End) {
    if (Start == 0 && End == -1) {
        FEditor.SelectAll();
        return;
    }
    if (Start == -1) {
        FEditor.CleanSelection();
        return;
    }
    // A negative end means the text's end, as for a plain edit control.
    if (End < 0) End = FEditor.TextLength();
    if (Start < 0) Start = FEditor.TextLength();
    FEditor.SetSelStart(std::min(Start, End));
    FEditor.SetSelLength(std::abs(End - Start));
}

void TEditorMessages::SetModify(bool V) {
    if (!FEditor.ReadOnly()) FEditor.SetModified(V);
}

int TEditorMessages::LineIndex(int Row) const {
    if (Row == -1) return RowStart(FEditor.Row());
    if (Row < 0 || Row >= FEditor.RowCount()) return -1;
    return RowStart(Row);
}

int TEditorMessages::LineFromChar(int Offset) const {
    const int n = FEditor.RowCount();
    if (Offset == -1) {
        const TEditorSelectionState st = FEditor.SelectionState();
        return st == sstSelected || st == sstHit ? FEditor.SelectionExtent().TopRow : FEditor.Row();
    }
    if (n == 0 || Offset < 0) return 0;
    for (int r = 0; r < n; ++r) {
        const int count = RowCountBytes(r);
        if (Offset < count || FEditor.List().RowAttr(r) == EndOfText) return r;
        Offset -= count;
    }
    // Past the end: the row after a final line end, else the last row.
    return FEditor.LastCaretRow() == n ? n : n - 1;
}

int TEditorMessages::LineLength(int Offset) const {
    auto len = [&](int r) {
        return r >= 0 && r < FEditor.RowCount() ? static_cast<int>(FEditor.List().Text(r).size())
                                                : 0;
    };
    if (Offset == -1) {
        const TEditorSelectionState st = FEditor.SelectionState();
        if (st == sstSelected || st == sstHit) {
            const TSelectionExtent& x = FEditor.SelectionExtent();
            return x.StartByte + len(x.BottomRow) - x.EndByte - 1;
        }
        return len(FEditor.Row());
    }
    return len(LineFromChar(Offset));
}

void TEditorMessages::ReplaceSel(const std::string& S) {
    if (!FEditor.ReadOnly()) FEditor.SetSelText(S);
}

int TEditorMessages::GetLine(int Row, std::span<char> Buffer) const {
    if (Row < 0 || Row >= FEditor.RowCount() || Buffer.size() < 2) return 0;
    const unsigned char* b = reinterpret_cast<const unsigned char*>(Buffer.data());
    const size_t asked = static_cast<size_t>(b[0] | b[1] << 8);
    const std::string& s = FEditor.List().Text(Row);
    const size_t n = std::min({asked, s.size(), Buffer.size()});
    std::memcpy(Buffer.data(), s.data(), n);
    return static_cast<int>(n);
}

bool TEditorMessages::Undo() {
    if (!CanUndo()) return false;
    FEditor.Undo();
    return true;
}

std::uint32_t TEditorMessages::PosFromChar(int Offset) const {
    const int row = LineFromChar(std::max(0, Offset));
    const int inRow = std::max(0, std::max(0, Offset) - RowStart(row));
    const int col = FEditor.ColOfByte(row, inRow);
    const TEditorMetrics& m = FEditor.Metrics();
    return MakeLong(m.LeftMargin + (col - FEditor.TopCol()) * m.ColWidth,
                    m.TopMargin + (row - FEditor.TopRow()) * m.RowHeight);
}

std::uint32_t TEditorMessages::CharFromPos(int X, int Y, int ClientWidth, int ClientHeight) const {
    if (X < 0 || Y < 0 || X >= ClientWidth || Y >= ClientHeight) return 0xFFFFFFFFu;
    auto rc = FEditor.PosToRowCol(X, Y, true);
    const int row = std::clamp(rc.Row, 0, FEditor.LastCaretRow());
    int col = rc.Col;
    if (row < FEditor.RowCount()) {
        const std::string map = FEditor.ColumnMap(FEditor.List().Text(row));
        if (col > 0 && col < static_cast<int>(map.size()) && map[col] == kcTrail) --col;
    }
    return MakeLong(RowStart(row) + FEditor.ByteOfCol(row, col), row);
}

int TEditorMessages::GetText(std::span<char> Buffer) const {
    if (Buffer.empty()) return 0;
    const std::string t = FEditor.Lines().Text();
    const size_t n = std::min(t.size(), Buffer.size() - 1);
    std::memcpy(Buffer.data(), t.data(), n);
    Buffer[n] = '\0';
    return static_cast<int>(n);
}

void TEditorMessages::SetText(const std::string& S) {
    if (!FEditor.ReadOnly()) FEditor.Lines().SetText(S);
}

void TEditorMessages::EmptyClipboard() {
    if (FEditor.Clipboard()) FEditor.Clipboard()->SetText("");
}

void TEditorMessages::Cut() {
    if (FEditor.ReadOnly() || !FEditor.Selected())
        EmptyClipboard();
    else
        FEditor.CutToClipboard();
}

void TEditorMessages::Copy() {
    if (FEditor.Selected())
        FEditor.CopyToClipboard();
    else
        EmptyClipboard();
}

void TEditorMessages::Paste() {
    if (!FEditor.ReadOnly()) FEditor.PasteFromClipboard();
}

void TEditorMessages::Clear() {
    if (!FEditor.ReadOnly()) FEditor.DeleteSelection();
}

} // namespace editor
