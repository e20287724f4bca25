#include "classes.h"

#include "codec.h"
#include "sjis_text.h"

#include <algorithm>

namespace editor {

void TPersistent::Assign(const TPersistent& Source) {
    Source.AssignTo(*this);
}

void TPersistent::VisitPublished(const std::function<void(TPersistent&)>&) {}

void TPersistent::AssignTo(TPersistent& Dest) const {
    Dest.AssignError(this);
}

void TPersistent::AssignError(const TPersistent* Source) const {
    std::string from = Source ? Source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + from + " to a " + ClassName());
}

// TStrings

void TStrings::IndexError() {
    static const std::string kMsg = cp932::FromUtf8("リストのインデックスが範囲を超えています");
    throw EStringListError(kMsg);
}

void TStrings::Put(int Index, const std::string& S) {
    Delete(Index);
    Insert(Index, S);
}

int TStrings::Add(const std::string& S) {
    int n = GetCount();
    Insert(n, S);
    return n;
}

void TStrings::Exchange(int I, int J) {
    std::string a = Get(I);
    std::string b = Get(J);
    Put(I, b);
    Put(J, a);
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount == 0) return;
    --FUpdateCount;
    if (FUpdateCount == 0) SetUpdateState(false);
}

int TStrings::IndexOf(std::string_view S) const {
    for (int i = 0, n = GetCount(); i < n; ++i)
        if (cp932::CompareNoCase(Get(i), S) == 0) return i;
    return -1;
}

std::string TStrings::GetText() const {
    std::string r;
    for (int i = 0, n = GetCount(); i < n; ++i) {
        r += Get(i);
        r += "\r\n";
    }
    return r;
}

void TStrings::SetText(std::string_view Text) {
    BeginUpdate();
    Clear();
    size_t p = 0;
    while (p < Text.size()) {
        size_t e = p;
        while (e < Text.size() && Text[e] != '\r' && Text[e] != '\n')
            ++e;
        Add(std::string(Text.substr(p, e - p)));
        p = e;
        if (p < Text.size() && Text[p] == '\r') ++p;
        if (p < Text.size() && Text[p] == '\n') ++p;
    }
    EndUpdate();
}

bool TStrings::Equals(const TStrings& Other) const {
    int n = GetCount();
    if (n != Other.GetCount()) return false;
    for (int i = 0; i < n; ++i)
        if (Get(i) != Other.Get(i)) return false;
    return true;
}

void TStrings::Assign(const TPersistent& Source) {
    if (auto* s = dynamic_cast<const TStrings*>(&Source)) {
        if (s == this) return;
        BeginUpdate();
        Clear();
        for (int i = 0, n = s->GetCount(); i < n; ++i)
            Add(s->Get(i));
        EndUpdate();
        return;
    }
    TPersistent::Assign(Source);
}

// TStringList

int TStringList::Compare(std::string_view a, std::string_view b) const {
    if (CaseSensitive) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    return cp932::CompareNoCase(a, b);
}

std::string TStringList::Get(int Index) const {
    if (Index < 0 || Index >= GetCount()) IndexError();
    return FItems[Index];
}

void TStringList::Put(int Index, const std::string& S) {
    if (Index < 0 || Index >= GetCount()) IndexError();
    FItems[Index] = S;
}

int TStringList::Add(const std::string& S) {
    if (!FSorted) {
        FItems.push_back(S);
        return GetCount() - 1;
    }
    int at = 0;
    if (Find(S, at)) {
        if (Duplicates == dupIgnore) return at;
        if (Duplicates == dupError) throw EStringListError("String list does not allow duplicates");
    }
    FItems.insert(FItems.begin() + at, S);
    return at;
}

void TStringList::Delete(int Index) {
    if (Index < 0 || Index >= GetCount()) IndexError();
    FItems.erase(FItems.begin() + Index);
}

void TStringList::Insert(int Index, const std::string& S) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    if (Index < 0 || Index > GetCount()) IndexError();
    FItems.insert(FItems.begin() + Index, S);
}

bool TStringList::Find(std::string_view S, int& Index) const {
    int lo = 0;
    int hi = GetCount() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = Compare(FItems[mid], S);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != dupAccept) lo = mid;
            }
        }
    }
    Index = lo;
    return found;
}

int TStringList::IndexOf(std::string_view S) const {
    if (!FSorted) {
        for (int i = 0; i < GetCount(); ++i)
            if (Compare(FItems[i], S) == 0) return i;
        return -1;
    }
    int at = 0;
    return Find(S, at) ? at : -1;
}

void TStringList::SetSorted(bool Value) {
    if (Value == FSorted) return;
    FSorted = Value;
    if (FSorted)
        std::stable_sort(
            FItems.begin(), FItems.end(),
            [this](const std::string& a, const std::string& b) { return Compare(a, b) < 0; });
}

// Collections

int TCollectionItem::Index() const {
    if (!FCollection) return -1;
    for (int i = 0; i < FCollection->Count(); ++i)
        if (FCollection->Item(i) == this) return i;
    return -1;
}

void TCollectionItem::Changed() {
    if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(this);
}

TCollectionItem* TCollection::Add() {
    FItems.push_back(CreateItem());
    Changed();
    return FItems.back().get();
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    BeginUpdate();
    FItems.clear();
    EndUpdate();
}

void TCollection::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw ECollectionError("List index out of bounds");
    FItems.erase(FItems.begin() + Index);
    Changed();
}

TCollectionItem* TCollection::Item(int Index) const {
    if (Index < 0 || Index >= Count()) throw ECollectionError("List index out of bounds");
    return FItems[Index].get();
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
    Changed();
}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::VisitPublished(const std::function<void(TPersistent&)>& f) {
    for (auto& item : FItems)
        f(*item);
}

} // namespace editor
