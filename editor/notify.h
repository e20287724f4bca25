// Objects that report their own changes, listener lists, the file-extension component, the row
// string list with its packed per-row attribute words, and the Shift-JIS string helpers that the
// editor shares.
#pragma once

#include "classes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace editor {

// An object that reports its own changes through OnChange, once per outermost update bracket.
class TNotifyPersistent : public TPersistent {
  public:
    const char* ClassName() const override { return "TNotifyPersistent"; }
    virtual void Changed();
    virtual void BeginUpdate();
    virtual void EndUpdate();
    // Sub-objects point their OnChange here, so a change below reports once at the top.
    virtual void ChildChanged(TObject* Sender);
    int UpdateCount() const { return FUpdateCount; }
    TNotifyEvent OnChange;

  private:
    int FUpdateCount = 0;
};

class TNotifyCollection : public TCollection {
  public:
    explicit TNotifyCollection(TPersistent* Owner = nullptr) : FOwner(Owner) {}
    const char* ClassName() const override { return "TNotifyCollection"; }
    TPersistent* GetOwner() const override { return FOwner; }
    virtual void ChildChanged(TObject* Sender);
    TNotifyEvent OnChange;

  protected:
    void Update(TCollectionItem* Item) override;

  private:
    TPersistent* FOwner;
};

// Owned copies of method pointers.
class TMethodList {
  public:
    virtual ~TMethodList() = default;
    void Add(const TNotifyEvent& Method) { FItems.push_back(Method); }
    // Removes only the last entry equal in both words.
    void Remove(const TNotifyEvent& Method);
    virtual void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    const TNotifyEvent& operator[](int i) const { return FItems[i]; }

  private:
    std::vector<TNotifyEvent> FItems;
};

// Fans one change out to many listeners, each called with the owner as Sender.
class TNotifyEventList : public TNotifyPersistent {
  public:
    explicit TNotifyEventList(TPersistent* Owner) : FOwner(Owner) {}
    const char* ClassName() const override { return "TNotifyEventList"; }
    void Changed() override;
    void AddListener(const TNotifyEvent& Method) { FListeners.Add(Method); }
    void RemoveListener(const TNotifyEvent& Method) { FListeners.Remove(Method); }
    int ListenerCount() const { return FListeners.Count(); }

  private:
    TMethodList FListeners;
    TPersistent* FOwner;
};

class TStoreComponent : public TComponent {
  public:
    using TComponent::TComponent;
    const char* ClassName() const override { return "TStoreComponent"; }
};

// A component carrying a sorted list of file extensions (duplicates ignored).
class TFileExtComponent : public TStoreComponent {
  public:
    explicit TFileExtComponent(TComponent* Owner = nullptr);
    const char* ClassName() const override { return "TFileExtComponent"; }
    TStringList& FileExtList() { return *FFileExtList; }
    void SetFileExtList(const TStrings& List) { FFileExtList->Assign(List); }
    bool HasFileExt(std::string_view Ext) const;

  protected:
    // Called by the constructor; descendants fill the list in InitFileExtList. Because C++ does
    // not dispatch virtual calls from a base constructor, descendants that override these call
    // Init() again at the end of their own constructor.
    virtual std::unique_ptr<TStringList> CreateFileExtList();
    virtual void InitFileExtList() {}
    void Init();

  private:
    std::unique_ptr<TStringList> FFileExtList;
};

// A row's context string: empty for nearly every row, so it takes a pointer's room until a
// tokenizer stores one.
class TRowContext {
  public:
    TRowContext() = default;
    TRowContext(const TRowContext& O) { *this = O; }
    TRowContext(TRowContext&&) noexcept = default;
    TRowContext& operator=(const TRowContext& O) { return *this = O.Get(); }
    TRowContext& operator=(TRowContext&&) noexcept = default;
    TRowContext& operator=(const std::string& S) {
        if (S.empty())
            FText.reset();
        else if (FText)
            *FText = S;
        else
            FText = std::make_unique<std::string>(S);
        return *this;
    }
    const std::string& Get() const {
        static const std::string empty;
        return FText ? *FText : empty;
    }
    operator const std::string&() const { return Get(); }
    void clear() { FText.reset(); }
    friend bool operator==(const TRowContext& A, const std::string& B) { return A.Get() == B; }

  private:
    std::unique_ptr<std::string> FText;
};

// One row of the row string list.
struct TVelRecord {
    std::string Text;
    TRowContext ContextText;
    std::int32_t Tag = 0;
    std::uint32_t Attr1 = 0;
    std::uint32_t Attr2 = 0;
};

// The row string list: texts with a context string, a tag and two attribute words per row.
// Rows live in blocks of bounded size, so an insertion or deletion in the middle moves at most
// one block plus a small index, never the whole list.
class TVelStringList : public TStrings {
  public:
    TVelStringList() = default;
    TVelStringList(const TVelStringList&) = delete;
    TVelStringList& operator=(const TVelStringList&) = delete;
    ~TVelStringList() override;
    const char* ClassName() const override { return "TVelStringList"; }

    std::string Get(int Index) const override;
    int GetCapacity() const override { return FCapacity; }
    int GetCount() const override { return FCount; }
    void Put(int Index, const std::string& S) override;
    void SetCapacity(int NewCapacity) override;
    int Add(const std::string& S) override;
    void Clear() override;
    void Delete(int Index) override;
    void Exchange(int I, int J) override;
    void Insert(int Index, const std::string& S) override;

    // A row's text without a copy.
    const std::string& Text(int Index) const { return Rec(Index).Text; }
    std::string ContextText(int Index) const { return Rec(Index).ContextText; }
    void SetContextText(int Index, const std::string& S) { Rec(Index).ContextText = S; }
    std::int32_t Tag(int Index) const { return Rec(Index).Tag; }
    void SetTag(int Index, std::int32_t V) { Rec(Index).Tag = V; }
    std::uint32_t Attr1(int Index) const { return Rec(Index).Attr1; }
    void SetAttr1(int Index, std::uint32_t V) { Rec(Index).Attr1 = V; }
    std::uint32_t Attr2(int Index) const { return Rec(Index).Attr2; }
    void SetAttr2(int Index, std::uint32_t V) { Rec(Index).Attr2 = V; }

    // Whole records, index-checked.
    TVelRecord& Rec(int Index);
    const TVelRecord& Rec(int Index) const;
    // N cleared rows at Index, or N rows removed at Index, reported as one change.
    void InsertRecords(int Index, int N);
    void DeleteRecords(int Index, int N);

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;
    int ListUpdateCount() const { return FOwnUpdateCount; }
    // Grows with every change of the rows (so a count kept beside them tells whether it is
    // still theirs).
    std::uint64_t ChangeCount() const { return FChangeCount; }

  protected:
    void SetUpdateState(bool Updating) override;
    virtual void Changed();
    virtual void Changing();
    // N rows were put in at Index, or taken out there (Clear takes out all of them); called
    // before the change is reported.
    virtual void RowsInserted(int, int) {}
    virtual void RowsDeleted(int, int) {}

  private:
    static constexpr int kBlockSize = 512;
    void Grow(int Needed);
    int BlockOf(int Index) const;
    void RebuildStarts(size_t From);

    std::vector<std::vector<TVelRecord>> FBlocks;
    std::vector<int> FStarts; // first row index of each block
    mutable size_t FLastBlock = 0;
    int FCount = 0;
    int FCapacity = 0;
    int FOwnUpdateCount = 0;
    std::uint64_t FChangeCount = 0;
};

// Row attribute values.
constexpr int LineEnd = 0;
constexpr int Wrapped = 1;
constexpr int EndOfText = 2;

// Field accessors over the two packed attribute words.
class TRowAttributeStringList : public TVelStringList {
  public:
    const char* ClassName() const override { return "TRowAttributeStringList"; }
    int RowAttr(int I) const { return Field(Attr1(I), 0, 2); }
    void SetRowAttr(int I, int V) { Set1(I, 0, 2, V); }
    int PrevRowAttr(int I) const { return Field(Attr1(I), 2, 2); }
    void SetPrevRowAttr(int I, int V) { Set1(I, 2, 2, V); }
    int Bracket(int I) const { return Field(Attr1(I), 4, 4) - 2; }
    void SetBracket(int I, int V) { Set1(I, 4, 4, V + 2); }
    int Context(int I) const { return Field(Attr1(I), 8, 8); }
    void SetContext(int I, int V) { Set1(I, 8, 8, V); }
    int CarryLength(int I) const { return Field(Attr1(I), 16, 8); }
    void SetCarryLength(int I, int V) { Set1(I, 16, 8, V); }
    int Spare(int I) const { return Field(Attr1(I), 24, 8); }
    void SetSpare(int I, int V) { Set1(I, 24, 8, V); }
    int CarryKind(int I) const { return Field(Attr2(I), 0, 8); }
    void SetCarryKind(int I, int V) { Set2(I, 0, 8, V); }
    int PrevKind(int I) const { return Field(Attr2(I), 8, 8); }
    void SetPrevKind(int I, int V) { Set2(I, 8, 8, V); }
    int RowMarks(int I) const { return Field(Attr2(I), 16, 16); }
    void SetRowMarks(int I, int V) { Set2(I, 16, 16, V); }

    // A value placed into a field: kept to the field's bits so that a value out of range never
    // spills into the neighbouring fields.
    static std::uint32_t Place(std::uint32_t Word, int Shift, int Bits, int V) {
        std::uint32_t mask = Bits == 32 ? 0xFFFFFFFFu : ((1u << Bits) - 1u);
        return (Word & ~(mask << Shift)) | ((static_cast<std::uint32_t>(V) & mask) << Shift);
    }
    static int Field(std::uint32_t Word, int Shift, int Bits) {
        return static_cast<int>((Word >> Shift) & ((1u << Bits) - 1u));
    }

  private:
    void Set1(int I, int Shift, int Bits, int V) { SetAttr1(I, Place(Attr1(I), Shift, Bits, V)); }
    void Set2(int I, int Shift, int Bits, int V) { SetAttr2(I, Place(Attr2(I), Shift, Bits, V)); }
};

// Shift-JIS string helpers; positions are 1-based.
int CountChar(std::string_view S, char B, int N);
bool IsLeadByteAt(std::string_view S, int I);
bool IsTrailByteAt(std::string_view S, int I);
unsigned char CharAt(std::string_view S, int I);
bool ContainsText(std::string_view Sub, std::string_view S);
// Whether the character X occurs in T at a character boundary; an empty X is in nothing.
bool CharInStr(std::string_view X, std::string_view T);
inline int Max(int A, int B) {
    return A > B ? A : B;
}
inline int Min(int A, int B) {
    return A < B ? A : B;
}
// Replaces the content of Strings with the lines of Text (CR LF, CR or LF end a line).
void TextToLines(std::string_view Text, TStrings& Strings);

// Platform resources that the widget layer provides. The model only names them.

// The clipboard format that marks a box selection.
inline constexpr const char* kBoxClipboardFormat = "TEditor Box Type";

// The two cursor slots the widget layer loads its cursors into at start-up (the first free
// slots of its cursor table); until then they read as the first two slots.
TCursor crRightArrow();
TCursor crDragSelCopy();
void SetEditorCursorSlots(TCursor RightArrow, TCursor DragSelCopy);
// Name and value of a cursor as written in a form file.
bool CursorToIdent(TCursor Cursor, std::string& Ident);
bool IdentToCursor(std::string_view Ident, TCursor& Cursor);

class TCanvas; // defined by the widget layer

// The drawing services of the widget layer that the model's later drawing code calls.
class TEditorResources {
  public:
    virtual ~TEditorResources() = default;
    // One-pixel-high run from X1 to X2 inclusive at row Y: background with every other pixel in
    // Dot, starting with a dot at X1.
    virtual void DrawDotLine(TCanvas& Canvas, int X1, int Y, TColor Background, TColor Dot,
                             int X2) = 0;
};
void SetEditorResources(TEditorResources* Resources);
TEditorResources* EditorResources();

} // namespace editor
