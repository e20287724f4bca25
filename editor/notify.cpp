#include "notify.h"

#include "codec.h"
#include "sjis_text.h"

#include <algorithm>

namespace editor {

// TNotifyPersistent

void TNotifyPersistent::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TNotifyPersistent::BeginUpdate() {
    ++FUpdateCount;
}

void TNotifyPersistent::EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
    Changed();
}

void TNotifyPersistent::ChildChanged(TObject* Sender) {
    if (Sender != this) Changed();
}

// TNotifyCollection

void TNotifyCollection::Update(TCollectionItem*) {
    if (OnChange) OnChange(this);
}

void TNotifyCollection::ChildChanged(TObject* Sender) {
    if (Sender != this) Changed();
}

// TMethodList

void TMethodList::Remove(const TNotifyEvent& Method) {
    for (size_t i = FItems.size(); i-- > 0;) {
        if (FItems[i] == Method) {
            FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

// TNotifyEventList

void TNotifyEventList::Changed() {
    if (UpdateCount() != 0) return;
    // A listener may add or remove listeners while being called: walk a copy.
    std::vector<TNotifyEvent> listeners;
    for (int i = 0; i < FListeners.Count(); ++i)
        listeners.push_back(FListeners[i]);
    for (auto& l : listeners)
        l(FOwner);
}

// TFileExtComponent

TFileExtComponent::TFileExtComponent(TComponent* Owner) : TStoreComponent(Owner) {
    Init();
}

void TFileExtComponent::Init() {
    FFileExtList = CreateFileExtList();
    InitFileExtList();
}

std::unique_ptr<TStringList> TFileExtComponent::CreateFileExtList() {
    auto list = std::make_unique<TStringList>();
    list->SetSorted(true);
    list->Duplicates = dupIgnore;
    return list;
}

bool TFileExtComponent::HasFileExt(std::string_view Ext) const {
    int at = 0;
    return FFileExtList->Find(Ext, at);
}

// TVelStringList

TVelStringList::~TVelStringList() {
    // Freeing the list reports nothing.
    OnChange = {};
    OnChanging = {};
}

void TVelStringList::Changed() {
    ++FChangeCount;
    if (FOwnUpdateCount == 0 && OnChange) OnChange(this);
}

void TVelStringList::Changing() {
    if (FOwnUpdateCount == 0 && OnChanging) OnChanging(this);
}

void TVelStringList::SetUpdateState(bool Updating) {
    if (Updating) {
        Changing();
        ++FOwnUpdateCount;
    } else {
        --FOwnUpdateCount;
        Changed();
    }
}

void TVelStringList::Grow(int Needed) {
    while (FCapacity < Needed) {
        int delta = FCapacity > 64 ? FCapacity / 4 : (FCapacity > 8 ? 16 : 4);
        FCapacity += delta;
    }
}

void TVelStringList::SetCapacity(int NewCapacity) {
    FCapacity = std::max(NewCapacity, FCount);
}

int TVelStringList::BlockOf(int Index) const {
    if (FLastBlock < FBlocks.size()) {
        int s = FStarts[FLastBlock];
        if (Index >= s && Index < s + static_cast<int>(FBlocks[FLastBlock].size()))
            return static_cast<int>(FLastBlock);
    }
    auto it = std::upper_bound(FStarts.begin(), FStarts.end(), Index);
    size_t b = static_cast<size_t>(it - FStarts.begin()) - 1;
    FLastBlock = b;
    return static_cast<int>(b);
}

void TVelStringList::RebuildStarts(size_t From) {
    FStarts.resize(FBlocks.size());
    for (size_t b = From; b < FBlocks.size(); ++b)
        FStarts[b] = b == 0 ? 0 : FStarts[b - 1] + static_cast<int>(FBlocks[b - 1].size());
}

// A big note has a row for every few dozen bytes: each row costs little beside its text.
static_assert(sizeof(TVelRecord) <= sizeof(std::string) + 24);

TVelRecord& TVelStringList::Rec(int Index) {
    if (Index < 0 || Index >= FCount) IndexError();
    int b = BlockOf(Index);
    return FBlocks[b][Index - FStarts[b]];
}

const TVelRecord& TVelStringList::Rec(int Index) const {
    return const_cast<TVelStringList*>(this)->Rec(Index);
}

std::string TVelStringList::Get(int Index) const {
    return Rec(Index).Text;
}

void TVelStringList::Put(int Index, const std::string& S) {
    TVelRecord& r = Rec(Index);
    Changing();
    r.Text = S;
    Changed();
}

int TVelStringList::Add(const std::string& S) {
    int at = FCount;
    Insert(at, S);
    return at;
}

void TVelStringList::InsertRecords(int Index, int N) {
    if (Index < 0 || Index > FCount) IndexError();
    if (N <= 0) return;
    Changing();
    const int before = FCount;
    Grow(FCount + N);
    if (FBlocks.empty()) {
        FBlocks.emplace_back();
        FStarts.push_back(0);
    }
    size_t b;
    int off;
    if (Index == FCount) {
        b = FBlocks.size() - 1;
        off = static_cast<int>(FBlocks[b].size());
    } else {
        b = static_cast<size_t>(BlockOf(Index));
        off = Index - FStarts[b];
    }
    while (N > 0) {
        auto& blk = FBlocks[b];
        int room = kBlockSize - static_cast<int>(blk.size());
        if (room <= 0) {
            // Split the full block at the insertion point (or start a fresh one at its end).
            std::vector<TVelRecord> tail;
            if (off < static_cast<int>(blk.size())) {
                tail.assign(std::make_move_iterator(blk.begin() + off),
                            std::make_move_iterator(blk.end()));
                blk.erase(blk.begin() + off, blk.end());
            }
            FBlocks.insert(FBlocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
            if (off == static_cast<int>(FBlocks[b].size()) && FBlocks[b].size() >= kBlockSize) {
                ++b;
                off = 0;
            }
            RebuildStarts(b);
            continue;
        }
        int k = std::min(room, N);
        blk.insert(blk.begin() + off, static_cast<size_t>(k), TVelRecord{});
        off += k;
        N -= k;
        FCount += k;
        RebuildStarts(b + 1);
    }
    FLastBlock = 0;
    RowsInserted(Index, Count() - before);
    Changed();
}

void TVelStringList::Insert(int Index, const std::string& S) {
    if (Index < 0 || Index > FCount) IndexError();
    // InsertRecords reports the change; the text goes in before the report.
    int saved = FOwnUpdateCount;
    Changing();
    ++FOwnUpdateCount;
    InsertRecords(Index, 1);
    Rec(Index).Text = S;
    FOwnUpdateCount = saved;
    Changed();
}

void TVelStringList::DeleteRecords(int Index, int N) {
    if (N <= 0) return;
    if (Index < 0 || Index >= FCount || N > FCount - Index) IndexError();
    Changing();
    size_t b = static_cast<size_t>(BlockOf(Index));
    int off = Index - FStarts[b];
    size_t first = b;
    int left = N;
    while (left > 0) {
        auto& blk = FBlocks[b];
        int k = std::min(left, static_cast<int>(blk.size()) - off);
        blk.erase(blk.begin() + off, blk.begin() + off + k);
        left -= k;
        FCount -= k;
        if (blk.empty()) {
            FBlocks.erase(FBlocks.begin() + static_cast<std::ptrdiff_t>(b));
        } else {
            ++b;
        }
        off = 0;
    }
    // Merge a small block into its neighbour so that blocks stay reasonably full.
    if (first < FBlocks.size() && first + 1 < FBlocks.size() &&
        FBlocks[first].size() + FBlocks[first + 1].size() <= kBlockSize) {
        auto& a = FBlocks[first];
        auto& c = FBlocks[first + 1];
        a.insert(a.end(), std::make_move_iterator(c.begin()), std::make_move_iterator(c.end()));
        FBlocks.erase(FBlocks.begin() + static_cast<std::ptrdiff_t>(first) + 1);
    }
    RebuildStarts(first == 0 ? 0 : first - 1);
    FLastBlock = 0;
    RowsDeleted(Index, N);
    Changed();
}

void TVelStringList::Delete(int Index) {
    if (Index < 0 || Index >= FCount) IndexError();
    DeleteRecords(Index, 1);
}

void TVelStringList::Exchange(int I, int J) {
    TVelRecord& a = Rec(I);
    TVelRecord& b = Rec(J);
    Changing();
    std::swap(a, b);
    Changed();
}

void TVelStringList::Clear() {
    if (FCount == 0) return;
    Changing();
    const int removed = FCount;
    FBlocks.clear();
    FStarts.clear();
    FLastBlock = 0;
    FCount = 0;
    FCapacity = 0;
    RowsDeleted(0, removed);
    Changed();
}

// Helpers

int CountChar(std::string_view S, char B, int N) {
    int n = std::min<int>(N, static_cast<int>(S.size()));
    int c = 0;
    for (int i = 0; i < n; ++i)
        if (S[i] == B) ++c;
    return c;
}

namespace {
// The 1-based start of the character that holds byte I.
int CharStartOf(std::string_view S, int I) {
    int j = 1;
    while (j < I) {
        int w = cp932::IsLeadByte(static_cast<unsigned char>(S[j - 1])) ? 2 : 1;
        if (j + w > I) return j;
        j += w;
    }
    return j;
}
} // namespace

bool IsLeadByteAt(std::string_view S, int I) {
    if (I < 1 || I > static_cast<int>(S.size())) return false;
    return CharStartOf(S, I) == I && cp932::IsLeadByte(static_cast<unsigned char>(S[I - 1]));
}

bool IsTrailByteAt(std::string_view S, int I) {
    if (I < 2 || I > static_cast<int>(S.size())) return false;
    return CharStartOf(S, I) == I - 1;
}

unsigned char CharAt(std::string_view S, int I) {
    if (I < 1 || I > static_cast<int>(S.size())) return 0;
    return static_cast<unsigned char>(S[I - 1]);
}

bool ContainsText(std::string_view Sub, std::string_view S) {
    if (Sub.empty() || S.size() < Sub.size()) return false;
    size_t i = 0;
    while (i + Sub.size() <= S.size()) {
        if (S.compare(i, Sub.size(), Sub) == 0) return true;
        i += cp932::IsLeadByte(static_cast<unsigned char>(S[i])) ? 2 : 1;
    }
    return false;
}

bool CharInStr(std::string_view X, std::string_view T) {
    return ContainsText(X, T);
}

void TextToLines(std::string_view Text, TStrings& Strings) {
    Strings.BeginUpdate();
    try {
        Strings.Clear();
        if (!Text.empty()) {
            int n = CountChar(Text, '\n', static_cast<int>(Text.size())) + 1;
            if (Text.back() == '\n') --n;
            for (int i = 0; i < n; ++i)
                Strings.Add(std::string());
            size_t p = 0;
            int index = 0;
            while (p < Text.size()) {
                size_t e = p;
                while (e < Text.size() && Text[e] != '\r' && Text[e] != '\n')
                    ++e;
                std::string line(Text.substr(p, e - p));
                if (index < Strings.GetCount())
                    Strings.Put(index, line);
                else
                    Strings.Add(line);
                ++index;
                p = e;
                // CR LF, a lone CR or a lone LF is one line end.
                if (p < Text.size() && Text[p] == '\r') ++p;
                if (p < Text.size() && Text[p] == '\n') ++p;
            }
        }
    } catch (...) {
        Strings.EndUpdate();
        throw;
    }
    Strings.EndUpdate();
}

// Platform seams

namespace {
TCursor gRightArrow = 1;
TCursor gDragSelCopy = 2;
TEditorResources* gResources = nullptr;

struct CursorName {
    TCursor value;
    const char* name;
};
constexpr CursorName kStandardCursors[] = {
    {crDefault, "crDefault"}, {-1, "crNone"},     {crArrow, "crArrow"}, {-3, "crCross"},
    {crIBeam, "crIBeam"},     {-6, "crSizeNESW"}, {-7, "crSizeNS"},     {-8, "crSizeNWSE"},
    {-9, "crSizeWE"},         {-10, "crUpArrow"}, {-11, "crHourGlass"}, {crDrag, "crDrag"},
    {-13, "crNoDrop"},        {-14, "crHSplit"},  {-15, "crVSplit"},    {-16, "crMultiDrag"},
    {-17, "crSQLWait"},       {-18, "crNo"},      {-19, "crAppStart"},  {-20, "crHelp"},
    {-21, "crHandPoint"},     {-22, "crSizeAll"},
};
} // namespace

TCursor crRightArrow() {
    return gRightArrow;
}
TCursor crDragSelCopy() {
    return gDragSelCopy;
}

void SetEditorCursorSlots(TCursor RightArrow, TCursor DragSelCopy) {
    gRightArrow = RightArrow;
    gDragSelCopy = DragSelCopy;
}

bool CursorToIdent(TCursor Cursor, std::string& Ident) {
    if (Cursor == gRightArrow) {
        Ident = "crRightArrow";
        return true;
    }
    if (Cursor == gDragSelCopy) {
        Ident = "crDragSelCopy";
        return true;
    }
    for (auto& c : kStandardCursors)
        if (c.value == Cursor) {
            Ident = c.name;
            return true;
        }
    return false;
}

bool IdentToCursor(std::string_view Ident, TCursor& Cursor) {
    if (cp932::CompareNoCase(Ident, "crRightArrow") == 0) {
        Cursor = gRightArrow;
        return true;
    }
    if (cp932::CompareNoCase(Ident, "crDragSelCopy") == 0) {
        Cursor = gDragSelCopy;
        return true;
    }
    for (auto& c : kStandardCursors)
        if (cp932::CompareNoCase(Ident, c.name) == 0) {
            Cursor = c.value;
            return true;
        }
    return false;
}

void SetEditorResources(TEditorResources* Resources) {
    gResources = Resources;
}
TEditorResources* EditorResources() {
    return gResources;
}

} // namespace editor
