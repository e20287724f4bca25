// The small set of component-framework base classes that the editor's model is written against:
// objects, persistents, string lists, collections and components, plus colours and cursors.
// Standard library only; the Qt widget layer maps these values onto its own types.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace editor {

class TObject {
  public:
    virtual ~TObject() = default;
    virtual const char* ClassName() const { return "TObject"; }
};

// A method pointer: an object and a function bound to it. Two handlers are equal when both
// words are, which is what lets a listener list remove exactly the handler it was given.
struct TNotifyEvent {
    void* Data = nullptr;
    void (*Code)(void*, TObject*) = nullptr;

    explicit operator bool() const { return Code != nullptr; }
    void operator()(TObject* sender) const {
        if (Code) Code(Data, sender);
    }
    friend bool operator==(const TNotifyEvent&, const TNotifyEvent&) = default;
};

// MakeEvent<&TFoo::Bar>(foo) binds foo->Bar(TObject*) as a TNotifyEvent.
template <auto Method, class C> TNotifyEvent MakeEvent(C* obj) {
    return {obj, [](void* d, TObject* s) { (static_cast<C*>(d)->*Method)(s); }};
}

// Failures of the data classes carry a message (Shift-JIS for the Japanese ones).
class Exception : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class EStringListError : public Exception {
    using Exception::Exception;
};
class EConvertError : public Exception {
    using Exception::Exception;
};
class ECollectionError : public Exception {
    using Exception::Exception;
};

class TPersistent : public TObject {
  public:
    const char* ClassName() const override { return "TPersistent"; }
    // Copies Source into this object; a source of another kind raises EConvertError.
    virtual void Assign(const TPersistent& Source);
    // Calls f for each object published as a property of this one (sub-objects, collection
    // items); lets generic walks such as the italic test reach every colour class.
    virtual void VisitPublished(const std::function<void(TPersistent&)>& f);

  protected:
    virtual void AssignTo(TPersistent& Dest) const;
    [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// Colours: 0x00BBGGRR, plus system colours (high bit set) and clNone.
using TColor = std::int32_t;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBackground = static_cast<TColor>(0x80000001); // desktop
constexpr TColor clWindow = static_cast<TColor>(0x80000005);
constexpr TColor clWindowText = static_cast<TColor>(0x80000008);
constexpr TColor clBtnFace = static_cast<TColor>(0x8000000F);

// Font styles as a bit set.
using TFontStyles = std::uint8_t;
constexpr TFontStyles fsBold = 1;
constexpr TFontStyles fsItalic = 2;
constexpr TFontStyles fsUnderline = 4;
constexpr TFontStyles fsStrikeOut = 8;

// Cursor numbers: standard ones are negative, slots from 1 up are loaded by the widget layer.
using TCursor = std::int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crIBeam = -4;
constexpr TCursor crDrag = -12;

enum TDragMode { dmManual, dmAutomatic };
enum TBorderStyle { bsNone, bsSingle };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A list of strings: the base of the row list and of the word lists.
class TStrings : public TPersistent {
  public:
    const char* ClassName() const override { return "TStrings"; }
    virtual std::string Get(int Index) const = 0;
    virtual int GetCount() const = 0;
    virtual void Put(int Index, const std::string& S);
    virtual int GetCapacity() const { return GetCount(); }
    virtual void SetCapacity(int) {}
    virtual int Add(const std::string& S);
    virtual void Clear() = 0;
    virtual void Delete(int Index) = 0;
    virtual void Exchange(int I, int J);
    virtual void Insert(int Index, const std::string& S) = 0;
    // Objects are not kept by the lists of this system: always null, and a write does nothing.
    virtual TObject* GetObject(int) const { return nullptr; }
    virtual void PutObject(int, TObject*) {}

    void BeginUpdate();
    void EndUpdate();
    int Count() const { return GetCount(); }
    std::string operator[](int i) const { return Get(i); }
    virtual int IndexOf(std::string_view S) const;
    // Lines joined with CR LF after each.
    std::string GetText() const;
    // Lines split at CR LF, CR or LF; a final line end starts no further line.
    void SetText(std::string_view Text);
    bool Equals(const TStrings& Other) const;
    void Assign(const TPersistent& Source) override;

  protected:
    virtual void SetUpdateState(bool) {}
    [[noreturn]] static void IndexError();
    int FUpdateCount = 0;
};

// Keeps an update bracket (BeginUpdate/EndUpdate) open for a scope, also when something throws.
struct TUpdateBracket {
    TStrings& S;
    explicit TUpdateBracket(TStrings& s) : S(s) { S.BeginUpdate(); }
    ~TUpdateBracket() { S.EndUpdate(); }
    TUpdateBracket(const TUpdateBracket&) = delete;
    TUpdateBracket& operator=(const TUpdateBracket&) = delete;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
  public:
    const char* ClassName() const override { return "TStringList"; }
    std::string Get(int Index) const override;
    int GetCount() const override { return static_cast<int>(FItems.size()); }
    void Put(int Index, const std::string& S) override;
    int Add(const std::string& S) override;
    void Clear() override { FItems.clear(); }
    void Delete(int Index) override;
    void Insert(int Index, const std::string& S) override;
    int IndexOf(std::string_view S) const override;
    // Binary search of a sorted list with the list's comparison; Index is where S is or would go.
    bool Find(std::string_view S, int& Index) const;
    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    TDuplicates Duplicates = dupAccept;
    bool CaseSensitive = false;

  private:
    int Compare(std::string_view a, std::string_view b) const;
    std::vector<std::string> FItems;
    bool FSorted = false;
};

class TCollection;

class TCollectionItem : public TPersistent {
  public:
    explicit TCollectionItem(TCollection* Collection) : FCollection(Collection) {}
    const char* ClassName() const override { return "TCollectionItem"; }
    TCollection* Collection() const { return FCollection; }
    int Index() const;

  protected:
    // Tells the collection that this item changed.
    void Changed();

  private:
    TCollection* FCollection;
};

// An owned list of items of one class.
class TCollection : public TPersistent {
  public:
    const char* ClassName() const override { return "TCollection"; }
    virtual TCollectionItem* Add();
    void Clear();
    void Delete(int Index);
    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Item(int Index) const;
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    virtual TPersistent* GetOwner() const { return nullptr; }
    void VisitPublished(const std::function<void(TPersistent&)>& f) override;
    // Reports a change of the whole collection unless an update bracket is open.
    void Changed();

  protected:
    friend class TCollectionItem;
    virtual std::unique_ptr<TCollectionItem> CreateItem() = 0;
    // Called after a change while no update bracket is open; Item is null for the whole list.
    virtual void Update(TCollectionItem*) {}

  private:
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
    int FUpdateCount = 0;
};

class TComponent : public TPersistent {
  public:
    explicit TComponent(TComponent* Owner = nullptr) : FOwner(Owner) {}
    const char* ClassName() const override { return "TComponent"; }
    TComponent* Owner() const { return FOwner; }
    std::string Name;

  private:
    TComponent* FOwner;
};

} // namespace editor
