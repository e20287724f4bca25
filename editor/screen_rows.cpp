#include "screen_rows.h"

#include <algorithm>

namespace editor {

TEditorScreenStrings::TEditorScreenStrings() {
    OnChange = MakeEvent<&TEditorScreenStrings::NotifyEditors>(this);
    FWrapOption.OnChange = MakeEvent<&TEditorScreenStrings::WrapOptionChanged>(this);
}

TEditorScreenStrings::~TEditorScreenStrings() {
    FWrapOption.OnChange = {};
    FEditors.clear();
}

void TEditorScreenStrings::AddEditor(TEditorClient* E) {
    if (E && std::find(FEditors.begin(), FEditors.end(), E) == FEditors.end())
        FEditors.push_back(E);
}

void TEditorScreenStrings::RemoveEditor(TEditorClient* E) {
    FEditors.erase(std::remove(FEditors.begin(), FEditors.end(), E), FEditors.end());
}

TEditorClient* TEditorScreenStrings::ActiveEditor() const {
    for (TEditorClient* e : FEditors)
        if (e->Focused()) return e;
    return Owner();
}

void TEditorScreenStrings::NotifyEditors(TObject*) {
    if (FNotifyOff) return;
    // A handler may make an editor leave: walk a copy.
    std::vector<TEditorClient*> editors = FEditors;
    for (TEditorClient* e : editors)
        e->ListChanged(*this);
}

void TEditorScreenStrings::SetUpdateState(bool Updating) {
    TEditorStringList::SetUpdateState(Updating);
    if (!Updating) {
        FChange = TChangeRecord{};
        CaretsIntoRange();
    }
}

void TEditorScreenStrings::CaretsIntoRange() {
    int n = Count();
    int limit = n > 0 && RowAttr(n - 1) == EndOfText ? n - 1 : n;
    for (TEditorClient* e : FEditors) {
        if (e->CaretRow() > limit) e->SetCaretPos(limit, e->CaretCol());
        if (e->TopRow() > limit) e->SetTopRow(limit);
    }
}

void TEditorScreenStrings::Record(int Start, int Removed, int Inserted, int Reparsed) {
    if (FChange.Start < 0 || Start < FChange.Start) FChange.Start = Start;
    FChange.Removed += Removed;
    FChange.Inserted += Inserted;
    FChange.Reparsed += Reparsed;
    FChange.TextChanged = true;
    ++FChange.Records;
}

void TEditorScreenStrings::AnnounceReplacing(int Index, int Count, std::string_view Text) {
    for (TEditorClient* e : FEditors)
        e->TextReplacing(Index, Count, Text);
}

TWrapContext TEditorScreenStrings::WrapContext() const {
    return TWrapContext{FWordWrap, &FWrapOption, Owner() ? Owner()->TabSpaceCount() : 8};
}

void TEditorScreenStrings::StrToRows(std::string_view Text, TRowAttributeStringList& Rows) {
    editor::StrToRows(Text, WrapContext(), Rows);
}

int TEditorScreenStrings::RowCountOf(std::string_view Line) {
    return editor::RowCountOf(Line, WrapContext());
}

int TEditorScreenStrings::LineStartRow(int Index) const {
    if (Index < 0 || Index >= Count()) return Index;
    while (Index > 0 && RowAttr(Index - 1) == Wrapped)
        --Index;
    return Index;
}

int TEditorScreenStrings::LineEndRow(int Index) const {
    if (Index < 0 || Index >= Count()) return Index;
    int last = Count() - 1;
    while (Index < last && RowAttr(Index) == Wrapped)
        ++Index;
    return Index;
}

TEditorScreenStrings::TRowsText TEditorScreenStrings::RowsText(int Index, int Count) const {
    TRowsText r;
    int n = this->Count();
    if (Index < 0 || Index >= n) return r;
    int end = Count < 0 ? LineEndRow(Index) : std::min(n - 1, Index + Count - 1);
    for (int i = Index; i <= end; ++i) {
        r.Text += this->Text(i);
        r.LastAttr = RowAttr(i);
        if (r.LastAttr == LineEnd) r.Text += "\r\n";
    }
    r.RowCount = std::max(0, end - Index + 1);
    if (r.RowCount == 0) r.LastAttr = NoRowAttr;
    return r;
}

std::vector<std::pair<int, int>> TEditorScreenStrings::MarksOf(int Index, int Count) const {
    std::vector<std::pair<int, int>> r;
    for (int i = std::max(Index, 0), end = std::min(Index + Count, this->Count()); i < end; ++i)
        if (int m = RowMarks(i)) r.emplace_back(i - Index, m);
    return r;
}

void TEditorScreenStrings::RestoreMarks(int Index, int Count,
                                        const std::vector<std::pair<int, int>>& Marks) {
    int all = 0;
    for (const auto& [row, m] : Marks)
        all |= m;
    const int end = std::min(Index + Count, this->Count());
    for (int i = std::max(Index, 0); i < end; ++i)
        SetRowMarks(i, RowMarks(i) & ~all);
    int placed = 0;
    for (const auto& [row, m] : Marks) {
        if (Index + row >= end) continue;
        SetRowMarks(Index + row, RowMarks(Index + row) | m);
        placed |= m;
    }
    AddMarks(placed);
}

int TEditorScreenStrings::DeleteRows(int Index, int Count) {
    if (Index < 0 || Index >= this->Count() || Count <= 0) return 0;
    Count = std::min(Count, this->Count() - Index);
    int marks = 0;
    BeginUpdate();
    for (int i = Index; i < Index + Count; ++i)
        marks |= RowMarks(i);
    DeleteRecords(Index, Count);
    EndUpdate();
    return marks;
}

void TEditorScreenStrings::PutRows(int Index, int OldCount, const TRowAttributeStringList& Rows) {
    const int N = Rows.Count();
    if (Index < 0 || Index > Count() || OldCount < 0 || Index + OldCount > Count()) return;
    BeginUpdate();
    std::vector<int> marks(static_cast<size_t>(N), 0);
    if (N < OldCount) {
        int kept = DeleteRows(Index, OldCount - N);
        for (int i = 0; i < N; ++i)
            marks[i] = RowMarks(Index + i);
        if (N > 0)
            marks[0] |= kept;
        else
            RemoveMarks(kept);
    } else if (N > OldCount) {
        // The rows after the range move down; the old rows' marks stay aligned with its end.
        int first = OldCount > 0 ? RowMarks(Index) : 0;
        std::vector<int> old;
        for (int k = 1; k < OldCount; ++k)
            old.push_back(RowMarks(Index + k));
        InsertRecords(Index + OldCount, N - OldCount);
        for (int k = 1; k < OldCount; ++k)
            marks[N - OldCount + k] = old[k - 1];
        if (OldCount > 0) {
            // A mark moves down with its row when a line break goes in at the row's start.
            TEditorClient* a = ActiveEditor();
            int to = a && a->CaretCol() != 0 ? 0 : N - OldCount;
            marks[to] |= first;
        }
    } else {
        for (int i = 0; i < N; ++i)
            marks[i] = RowMarks(Index + i);
    }
    for (int i = 0; i < N; ++i) {
        TVelRecord& dst = Rec(Index + i);
        const TVelRecord& src = Rows.Rec(i);
        dst.Text = src.Text;
        dst.ContextText = src.ContextText;
        dst.Tag = src.Tag;
        dst.Attr1 = src.Attr1;
        dst.Attr2 = Place(src.Attr2, 16, 16, marks[i]);
    }
    EndUpdate();
}

// Below this a record keeps the whole of the old rows' text.
constexpr size_t kShortestStoredTail = 4096;

// The old rows' text (in U) and the new text often end alike for most of their length: an edit
// in a long wrapped line re-cuts the rest of it. That shared tail stays in the rows only.
static void TrimSharedTail(TUndoData& U, std::string_view New) {
    const std::string& old = U.Text;
    size_t n = std::min(old.size(), New.size());
    size_t k = 0;
    while (k < n && old[old.size() - 1 - k] == New[New.size() - 1 - k])
        ++k;
    if (k < kShortestStoredTail) return;
    U.Text.resize(old.size() - k);
    U.Text.shrink_to_fit();
    U.Tail = k;
}

void TEditorScreenStrings::ReplaceRows(int Index, int Count, std::string_view Text) {
    const int n = this->Count();
    if (Index < 0 || Count < 0 || (Count == 0 && Text.empty())) return;
    auto newRecord = [&]() -> TUndoData& { return FUndo.NewRecord(); };
    const bool endsWithLineEnd = !Text.empty() && (Text.back() == '\n' || Text.back() == '\r');
    // Text typed after the last row: into an empty list, or on the row after a final line end
    // (after an EndOfText row there is no such row).
    if (Index == n && Count == 0) {
        if (n > 0 && RowAttr(n - 1) != LineEnd) return;
        AnnounceReplacing(Index, 0, Text);
        BeginUpdate();
        TUndoData& u = newRecord();
        u.StartRow = Index;
        TRowAttributeStringList rows;
        StrToRows(Text, rows);
        rows.SetRowAttr(rows.Count() - 1, endsWithLineEnd ? LineEnd : EndOfText);
        u.RowCount = rows.Count();
        PutRows(Index, 0, rows);
        int changed = ReparseFrom(Index, true);
        Record(Index, 0, rows.Count(), changed);
        EndUpdate();
        return;
    }
    if (Index >= n || Index + Count > n) return;
    AnnounceReplacing(Index, Count, Text);
    const int First = std::max(LineStartRow(Index), Index - 1);
    const int Last = Index + Count - 1;
    int LastLine = Last >= 0 ? LineEndRow(Last) : -1;
    BeginUpdate();
    // Whole lines taken out: their marks go to the row that then stands in their place.
    auto deleteLines = [&](int At, int N) {
        TUndoData& u = newRecord();
        TRowsText old = RowsText(At, N);
        u.StartRow = At;
        u.Marks = MarksOf(At - 1, N + 2);
        u.Text = std::move(old.Text);
        u.LastAttr = old.LastAttr;
        int marks = DeleteRows(At, N);
        if (this->Count() == 0) {
            RemoveMarks(marks);
        } else {
            int to = std::min(At, this->Count() - 1);
            SetRowMarks(to, RowMarks(to) | marks);
        }
        int changed = this->Count() > 0 ? ReparseFrom(std::min(At, this->Count() - 1), true) : 0;
        Record(At, N, 0, changed);
        EndUpdate();
    };
    if (First == Index && LastLine == Last && Text.empty() && Count > 0) {
        deleteLines(Index, Count);
        return;
    }
    int E;
    if (Last < LastLine) {
        E = RowAttr(LastLine);
    } else if (LastLine < n - 1) {
        LastLine = LineEndRow(LastLine + 1);
        E = RowAttr(LastLine);
    } else {
        E = endsWithLineEnd ? LineEnd : EndOfText;
    }
    auto withEnd = [&](std::string& to, int i) {
        to += this->Text(i);
        if (RowAttr(i) == LineEnd) to += "\r\n";
    };
    // The new text: the rows before the edit on its first row's line, Text, and the rows after
    // it to the end of the last line (the suffix).
    std::string text;
    for (int i = First; i < Index; ++i)
        withEnd(text, i);
    text += Text;
    const size_t head = text.size();
    bool empty = text.empty();
    for (int i = Last + 1; i <= LastLine && empty; ++i)
        empty = this->Text(i).empty() && RowAttr(i) != LineEnd;
    // Nothing left of the last lines (only the empty row that closed a line filling its rows
    // exactly): they are taken out whole, so that no empty row follows a final line end.
    if (empty && E == EndOfText) {
        deleteLines(First, LastLine - First + 1);
        return;
    }
    // The new rows. Cutting goes on to the end of the last line; but once a new row begins where
    // a row of the suffix began (the same bytes follow, and a row's cut depends only on the bytes
    // from its start on), every row from there is as it was and stays: an edit in a long wrapped
    // line re-cuts the rows up to where the cut falls into step again, not the rest of the line.
    // The suffix is first tried in a window of some rows; the whole of it is read only when the
    // cut does not fall into step within the window.
    TRowAttributeStringList rows;
    int kept = LastLine + 1; // the first old row kept as it is
    size_t cutEnd = 0;
    auto cut = [&](bool Window) {
        rows.Clear();
        kept = LastLine + 1;
        text.resize(head);
        int r = Last + 1;
        const size_t window = 16384;
        while (r <= LastLine && (!Window || text.size() - head < window))
            withEnd(text, r++);
        const bool whole = r > LastLine;
        cutEnd = text.size();
        if (!FWordWrap || LastLine - Last < 2) {
            StrToRows(text, rows);
            return true;
        }
        // A row's cut reads at most a row's width of columns ahead, a byte or less a column.
        const size_t ahead = 4 * static_cast<size_t>(FWrapOption.WrapByte() + 8);
        size_t oldStart = head; // where old row `oldRow` begins in the new text
        int oldRow = Last + 1;
        struct InStep {};
        const char* base = text.data();
        const TWrapContext ctx = WrapContext();
        const std::function<void(std::string_view, int)> emit = [&](std::string_view row,
                                                                    int attr) {
            const size_t at = static_cast<size_t>(row.data() - base);
            while (oldRow <= LastLine && oldStart < at) {
                oldStart += this->Text(oldRow).size() + (RowAttr(oldRow) == LineEnd ? 2 : 0);
                ++oldRow;
            }
            if (oldRow <= LastLine && oldStart == at && rows.Count() > 0 &&
                (whole || at + ahead <= text.size())) {
                kept = oldRow;
                cutEnd = at;
                throw InStep{};
            }
            rows.SetRowAttr(rows.Add(std::string(row)), attr);
        };
        rows.BeginUpdate();
        try {
            for (size_t p = 0; p < text.size();) {
                size_t e = p;
                while (e < text.size() && text[e] != '\r' && text[e] != '\n')
                    ++e;
                CutLine(std::string_view(text).substr(p, e - p), ctx, emit);
                p = e;
                if (p < text.size() && text[p] == '\r') ++p;
                if (p < text.size() && text[p] == '\n') ++p;
            }
            if (text.empty()) emit(std::string_view(text), LineEnd);
        } catch (const InStep&) {
        }
        rows.EndUpdate();
        return whole || kept <= LastLine;
    };
    if (!cut(true)) cut(false);
    const int taken = kept - First;
    TUndoData& u = newRecord();
    TRowsText old = RowsText(First, taken);
    u.StartRow = First;
    u.Marks = MarksOf(First - 1, old.RowCount + 2);
    u.Text = std::move(old.Text);
    u.LastAttr = old.LastAttr;
    if (kept > LastLine) {
        // A line that filled its last row exactly ends in an empty row. When that row closes
        // the text and the new text puts a line end before it, the text now ends with that line
        // end: the cut gives no empty row after it, so the last row must keep the line end.
        if (E == EndOfText && !text.empty() && (text.back() == '\n' || text.back() == '\r'))
            E = LineEnd;
        rows.SetRowAttr(rows.Count() - 1, E);
    }
    u.RowCount = rows.Count();
    TrimSharedTail(u, std::string_view(text).substr(0, cutEnd));
    PutRows(First, taken, rows);
    int changed = ReparseFrom(First, true);
    Record(First, taken, rows.Count(), changed);
    EndUpdate();
}

std::string TEditorScreenStrings::Text() const {
    std::string r;
    for (int i = 0, n = Count(); i < n; ++i) {
        r += TVelStringList::Text(i);
        if (RowAttr(i) == LineEnd) r += "\r\n";
    }
    return r;
}

void TEditorScreenStrings::LoadText(std::string_view Text) {
    BeginUpdate();
    Clear();
    if (!Text.empty()) {
        StrToRows(Text, *this);
        bool lineEnd = Text.back() == '\n' || Text.back() == '\r';
        SetRowAttr(Count() - 1, lineEnd ? LineEnd : EndOfText);
        Record(0, 0, Count(), 0);
    }
    ReparseAll();
    EndUpdate();
}

void TEditorScreenStrings::FileLoaded() {
    BeginUpdate();
    if (Count() > 0) Record(0, 0, Count(), 0);
    ReparseAll();
    EndUpdate();
}

void TEditorScreenStrings::Clear() {
    for (TEditorClient* e : FEditors)
        e->DropSelection();
    FUndo.Clear();
    FChange.Start = 0;
    FChange.Removed = Count();
    FChange.TextChanged = true;
    TEditorStringList::Clear();
    FChange = TChangeRecord{};
    for (TEditorClient* e : FEditors)
        e->SetCaretPos(0, 0);
    FUsedMarks = 0;
}

namespace {
struct NewRow {
    std::string text;
    int attr;
    int marks;
};
} // namespace

void TEditorScreenStrings::WrapAll() {
    if (Count() == 0 || OwnerLoading()) return;
    for (TEditorClient* e : FEditors)
        e->DropSelection();
    FNotifyOff = true;
    BeginUpdate();
    const int lastAttr = RowAttr(Count() - 1);
    const TWrapContext ctx = WrapContext();
    const int W = FWrapOption.WrapByte();
    const TColumnMetrics metrics = ctx.Metrics();
    std::vector<NewRow> out;
    out.reserve(static_cast<size_t>(Count()));
    std::string line;
    std::vector<int> marks;
    for (int i = 0, n = Count(); i < n;) {
        int end = LineEndRow(i);
        line.clear();
        marks.clear();
        for (int r = i; r <= end; ++r) {
            line += TVelStringList::Text(r);
            marks.push_back(RowMarks(r));
        }
        if (!FWordWrap || StrWidth(line, metrics) < W) {
            int all = 0;
            for (int m : marks)
                all |= m;
            out.push_back({line, LineEnd, all});
        } else {
            size_t first = out.size();
            CutLine(line, ctx, [&](std::string_view row, int attr) {
                out.push_back({std::string(row), attr, 0});
            });
            size_t made = out.size() - first;
            for (size_t k = 0; k < marks.size(); ++k)
                out[first + std::min(k, made - 1)].marks |= marks[k];
        }
        i = end + 1;
    }
    out.back().attr = lastAttr == Wrapped ? EndOfText : lastAttr;
    int n = Count();
    int m = static_cast<int>(out.size());
    if (m > n) InsertRecords(n, m - n);
    if (m < n) DeleteRecords(m, n - m);
    for (int i = 0; i < m; ++i) {
        TVelRecord& r = Rec(i);
        r.Text = std::move(out[i].text);
        r.ContextText.clear();
        r.Attr1 = static_cast<std::uint32_t>(out[i].attr);
        r.Attr2 = Place(0, 16, 16, out[i].marks);
    }
    FUnparsedFrom = 0; // the rows are new: nothing is parsed until ReparseAll
    EndUpdate();
    FNotifyOff = false;
}

void TEditorScreenStrings::UnwrapAll() {
    if (Count() == 0) return;
    bool saved = FWordWrap;
    FWordWrap = false;
    WrapAll();
    FWordWrap = saved;
}

void TEditorScreenStrings::RowsInserted(int Index, int N) {
    if (Index < FUnparsedFrom) FUnparsedFrom += N;
}

void TEditorScreenStrings::RowsDeleted(int Index, int N) {
    if (Index < FUnparsedFrom) FUnparsedFrom -= std::min(N, FUnparsedFrom - Index);
}

void TEditorScreenStrings::Exchange(int I, int J) {
    TEditorStringList::Exchange(I, J);
    FUnparsedFrom = std::min(FUnparsedFrom, std::min(I, J));
}

int TEditorScreenStrings::ScreenRows() const {
    TEditorClient* o = Owner();
    if (!o) return 0;
    return o->ScreenHeight() / std::max(o->RowHeight(), 1);
}

std::unique_ptr<TFountainParser> TEditorScreenStrings::NewParser() const {
    TEditorClient* o = Owner();
    TFountain* f = o ? o->ActiveFountain() : nullptr;
    return f ? f->CreateParser() : nullptr;
}

int TEditorScreenStrings::ReparseFrom(int Index, bool Notify) {
    const int n = Count();
    if (Index < 0 || Index >= n) return 0;
    auto parser = NewParser();
    if (!parser) return 0;
    TRowAttributeData s = TRowAttributeData::Initial();
    int start = 0;
    for (int r = std::min(Index, FUnparsedFrom) - 1; r >= 0; --r) {
        if (Parsed(r)) {
            s = LoadRowState(*this, r);
            s.RowAttr = static_cast<std::uint8_t>(RowAttr(r));
            parser->RowStep(r, *this, s);
            s.PrevRowAttr = s.RowAttr;
            start = r + 1;
            break;
        }
    }
    const int limit = std::min(Index + 2 * ScreenRows(), n - 1);
    int changed = 0;
    for (int r = start; r <= limit; ++r) {
        // Rows of the unparsed tail hold stale words: never taken as converged.
        if (r < FUnparsedFrom && RowStateEquals(*this, r, s)) return changed;
        StoreRowState(*this, r, s);
        if (r == FUnparsedFrom) ++FUnparsedFrom;
        if (Notify) {
            ++changed;
            for (TEditorClient* e : FEditors)
                e->RepaintRow(r);
        }
        s.RowAttr = static_cast<std::uint8_t>(RowAttr(r));
        parser->RowStep(r, *this, s);
        s.PrevRowAttr = s.RowAttr;
    }
    // Not converged: what lies below the limit is no longer known.
    FUnparsedFrom = limit + 1;
    return changed;
}

std::vector<TRowToken> TEditorScreenStrings::RowTokens(int Row, std::string_view RowText) {
    std::vector<TRowToken> out;
    if (Row < 0 || Row >= Count() || RowText.empty()) return out;
    auto parser = NewParser();
    if (!parser) return out;
    TRowAttributeData s;
    if (!Parsed(Row) && parser->LinesStartFresh()) {
        // Far below what is parsed (a note opened at a hit near its end): the row's state comes
        // from its own line, stepped here and stored nowhere, instead of parsing every row above.
        for (int r = LineStartRow(Row); r < Row; ++r) {
            s.RowAttr = static_cast<std::uint8_t>(RowAttr(r));
            parser->RowStep(r, *this, s);
            s.PrevRowAttr = s.RowAttr;
        }
    } else {
        if (!Parsed(Row)) ReparseFrom(Row, false);
        s = LoadRowState(*this, Row);
    }
    std::string t(RowText);
    const int n = static_cast<int>(t.size());
    if (FWordWrap && RowAttr(Row) == Wrapped && Row + 1 < Count()) t += Text(Row + 1);
    s.RowAttr = static_cast<std::uint8_t>(RowAttr(Row));
    parser->StartRow(t, s);
    for (int k; (k = parser->ReadToken()) != kdEnd && parser->TokenOffset() < n;) {
        int len = std::min(parser->TokenLength(), n - parser->TokenOffset());
        out.push_back({parser->TokenOffset(), len, k, parser->TokenColor()});
    }
    return out;
}

void TEditorScreenStrings::ReparseAll() {
    TEditorClient* o = Owner();
    if (Count() == 0 || (o && (o->Loading() || o->Destroying()))) return;
    auto parser = NewParser();
    FUnparsedFrom = 0; // every row not parsed
    if (!parser) return;
    const int n = Count();
    int limit = n - 1;
    if (!(o && o->InitBracketsFull()))
        limit = std::min(n - 1, 2 * ScreenRows() + (o ? o->TopRow() : 0));
    TRowAttributeData s = TRowAttributeData::Initial();
    for (int r = 0; r <= limit; ++r) {
        StoreRowState(*this, r, s);
        s.RowAttr = static_cast<std::uint8_t>(RowAttr(r));
        parser->RowStep(r, *this, s);
        s.PrevRowAttr = s.RowAttr;
    }
    FUnparsedFrom = limit + 1;
}

void TEditorScreenStrings::Rewrap(bool Wrap) {
    FUndo.Clear();
    if (Wrap)
        WrapAll();
    else
        UnwrapAll();
    ReparseAll();
    for (TEditorClient* e : FEditors)
        e->Rewrapped();
    CaretsIntoRange();
    for (TEditorClient* e : FEditors)
        e->SetCaretPos(e->CaretRow(), 0);
}

void TEditorScreenStrings::SetWordWrap(bool V) {
    if (V == FWordWrap) return;
    FWordWrap = V;
    if (OwnerLoading()) return;
    Rewrap(V);
}

void TEditorScreenStrings::WrapOptionChanged(TObject*) {
    if (FWordWrap && !OwnerLoading()) Rewrap(true);
}

void TEditorScreenStrings::Loaded() {
    if (FWordWrap) WrapAll();
    ReparseAll();
}

} // namespace editor
