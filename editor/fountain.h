// The colour tokenizer: fountains hold the colour classes, bracket pairs, reserve words and
// lexical switches; parsers cut one row into tokens and carry their state to the next row.
#pragma once

#include "notify.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace editor {

class TFountainColor : public TNotifyPersistent {
  public:
    const char* ClassName() const override { return "TFountainColor"; }
    TColor BkColor() const { return FBkColor; }
    void SetBkColor(TColor V);
    TColor Color() const { return FColor; }
    void SetColor(TColor V);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles V);
    void Assign(const TPersistent& Source) override;

  private:
    TColor FBkColor = clNone;
    TColor FColor = clNone;
    TFontStyles FStyle = 0;
};
using TEditorColor = TFountainColor;

class TFountain;

// The editor's colour classes; Reserve is the owning fountain's.
class TEditorColors : public TNotifyPersistent {
  public:
    explicit TEditorColors(TFountain* Owner);
    const char* ClassName() const override { return "TEditorColors"; }
    TEditorColor& Ank() { return *FAnk; }
    TEditorColor& Comment() { return *FComment; }
    TEditorColor& DBCS() { return *FDBCS; }
    TEditorColor& Hit() { return *FHit; }
    TEditorColor& Int() { return *FInt; }
    TEditorColor& Mail() { return *FMail; }
    TFountainColor& Reserve();
    TEditorColor& Select() { return *FSelect; }
    TEditorColor& Str() { return *FStr; }
    TEditorColor& Symbol() { return *FSymbol; }
    TEditorColor& Url() { return *FUrl; }
    void SetReserve(const TFountainColor& V) { Reserve().Assign(V); }
    void Assign(const TPersistent& Source) override;
    void VisitPublished(const std::function<void(TPersistent&)>& f) override;

  private:
    TFountain* FOwner;
    std::unique_ptr<TEditorColor> FAnk, FComment, FDBCS, FHit, FInt, FMail, FSelect, FStr, FSymbol,
        FUrl;
};

class TFountainColorItem : public TCollectionItem {
  public:
    explicit TFountainColorItem(TCollection* Collection);
    const char* ClassName() const override { return "TFountainColorItem"; }
    TFountainColor& ItemColor() { return *FItemColor; }
    void SetItemColor(const TFountainColor& V) { FItemColor->Assign(V); }
    void Assign(const TPersistent& Source) override;
    void VisitPublished(const std::function<void(TPersistent&)>& f) override { f(*FItemColor); }

  private:
    std::unique_ptr<TFountainColor> FItemColor;
};

class TFountainBracketItem : public TFountainColorItem {
  public:
    using TFountainColorItem::TFountainColorItem;
    const char* ClassName() const override { return "TFountainBracketItem"; }
    std::string LeftBracket;
    std::string RightBracket;
    void Assign(const TPersistent& Source) override;
};

class TFountainBracketCollection : public TNotifyCollection {
  public:
    static constexpr int kMaxItems = 14;
    using TNotifyCollection::TNotifyCollection;
    const char* ClassName() const override { return "TFountainBracketCollection"; }
    // Raises ECollectionError beyond 14 items; the collection keeps what it has.
    TFountainBracketItem* Add() override;
    TFountainBracketItem& Items(int Index) {
        return *static_cast<TFountainBracketItem*>(Item(Index));
    }
    void Assign(const TPersistent& Source) override;

  protected:
    std::unique_ptr<TCollectionItem> CreateItem() override;
};

class TEditorBracketCollection : public TFountainBracketCollection {
  public:
    using TFountainBracketCollection::TFountainBracketCollection;
    const char* ClassName() const override { return "TEditorBracketCollection"; }
    void SameBkColor(TColor V);
    void SameColor(TColor V);
    void SameStyle(TFontStyles V);
};

// The state in which the tokenizing of a row begins.
struct TRowAttributeData {
    std::uint8_t RowAttr = 0;
    std::uint8_t PrevRowAttr = 0;
    std::int32_t Bracket = -1;
    std::int32_t Context = 0;
    std::int32_t CarryLength = 0;
    std::int32_t Spare = 0;
    std::uint8_t CarryKind = 0;
    std::uint8_t PrevKind = 0;
    std::string ContextText;

    static TRowAttributeData Initial() { return TRowAttributeData{}; }
    // As stored with a row: every integer kept to the bits of its field.
    TRowAttributeData Packed() const;
};

// Reads and writes a row's stored state (its own RowAttr is left alone by Store).
TRowAttributeData LoadRowState(const TRowAttributeStringList& L, int Row);
void StoreRowState(TRowAttributeStringList& L, int Row, const TRowAttributeData& S);
// Whether the stored state of Row equals S in every field but the row's own attribute.
bool RowStateEquals(const TRowAttributeStringList& L, int Row, const TRowAttributeData& S);

// Token kinds; the numbers are part of the stored state.
enum : std::uint8_t {
    kdEnd = 0,
    kdSymbol = 1,
    kdInteger = 3,
    kdFloat = 4,
    kdBracket = 6,
    kdComment = 7,
    kdReserve = 8,
    kdTab = 9,
    kdWord = 11,
    kdWideSymbol = 12,
    kdWideDigits = 14,
    kdWideLetters = 15,
    kdHiragana = 16,
    kdKatakana = 17,
    kdKanji = 18,
    kdNarrowKanaSymbol = 19,
    kdNarrowKana = 20,
    kdUrl = 21,
    kdMail = 22,
    kdHex = 23,
    kdSingleQuoted = 24,
    kdDoubleQuoted = 25,
    kdQuotation = 26,
    kdControlCode = 27,
    kdHexControlCode = 28,
};

class TFountainParser;

class TFountain : public TFileExtComponent {
  public:
    // Descendants call Build() at the end of their constructor, once their creators are in
    // place (a base constructor cannot reach a descendant's overrides).
    explicit TFountain(TComponent* Owner = nullptr);
    ~TFountain() override;
    const char* ClassName() const override { return "TFountain"; }

    TFountainBracketCollection& Brackets() { return *FBrackets; }
    void SetBrackets(const TFountainBracketCollection& V) { FBrackets->Assign(V); }
    TFountainColor& Reserve() { return *FReserve; }
    void SetReserve(const TFountainColor& V) { FReserve->Assign(V); }
    TStringList& ReserveWordList() { return *FReserveWordList; }
    const TStringList& ReserveWordList() const { return *FReserveWordList; }
    void SetReserveWordList(const TStrings& V);

    void AddListener(const TNotifyEvent& M) { FNotifyEventList->AddListener(M); }
    void RemoveListener(const TNotifyEvent& M) { FNotifyEventList->RemoveListener(M); }
    TNotifyEventList& NotifyEventList() { return *FNotifyEventList; }

    // A new parser bound to this fountain; the caller owns it.
    virtual std::unique_ptr<TFountainParser> CreateParser();
    // Whether any colour class reachable from Object's published properties is italic.
    virtual bool HasItalicStyle(TPersistent& Object);
    void VisitPublished(const std::function<void(TPersistent&)>& f) override;

  protected:
    // Creates the notification list, Brackets (then InitBrackets), ReserveWordList (then
    // InitReserveWordList) and Reserve, in that order.
    void Build();
    virtual std::unique_ptr<TFountainColor> CreateFountainColor();
    virtual std::unique_ptr<TFountainColor> CreateReserve() { return CreateFountainColor(); }
    virtual std::unique_ptr<TFountainBracketCollection> CreateBrackets();
    virtual std::unique_ptr<TFountainParser> NewParser() = 0; // the parser class
    virtual void InitBrackets() {}
    virtual void InitReserveWordList() {}
    // Routes a sub-object's change to the listeners.
    void NotifyChanged(TObject* Sender) { FNotifyEventList->ChildChanged(Sender); }

  private:
    std::unique_ptr<TNotifyEventList> FNotifyEventList;
    std::unique_ptr<TFountainBracketCollection> FBrackets;
    std::unique_ptr<TStringList> FReserveWordList;
    std::unique_ptr<TFountainColor> FReserve;
};

class TEditorFountain : public TFountain {
  public:
    explicit TEditorFountain(TComponent* Owner = nullptr);
    ~TEditorFountain() override;
    const char* ClassName() const override { return "TEditorFountain"; }

    TEditorColors& Colors() { return *FColors; }
    void SetColors(const TEditorColors& V) { FColors->Assign(V); }
    TEditorBracketCollection& EditorBrackets() {
        return static_cast<TEditorBracketCollection&>(Brackets());
    }
    const std::string& Commenter() const { return FCommenter; }
    void SetCommenter(const std::string& V);
    bool ControlCode() const { return FControlCode; }
    void SetControlCode(bool V);
    const std::string& HexPrefix() const { return FHexPrefix; }
    void SetHexPrefix(const std::string& V);
    bool Mail() const { return FMail; }
    void SetMail(bool V);
    const std::string& Quotation() const { return FQuotation; }
    void SetQuotation(const std::string& V);
    bool Url() const { return FUrl; }
    void SetUrl(bool V);

    virtual void SetAllBkColor(TColor V);
    virtual void SetAllColor(TColor V);
    virtual void SetAllStyle(TFontStyles V);
    void VisitPublished(const std::function<void(TPersistent&)>& f) override;
    void Assign(const TPersistent& Source) override;

  protected:
    std::unique_ptr<TFountainBracketCollection> CreateBrackets() override;
    std::unique_ptr<TFountainParser> NewParser() override;
    virtual std::unique_ptr<TEditorColors> CreateColors();

  private:
    template <class F> void SetAll(F f);
    void Report() { NotifyEventList().Changed(); }
    std::unique_ptr<TEditorColors> FColors;
    std::string FCommenter;
    bool FControlCode = false;
    std::string FHexPrefix;
    bool FMail = false;
    std::string FQuotation;
    bool FUrl = false;
};

// Cuts rows into tokens.
class TFountainParser : public TObject {
  public:
    // Raises Exception without a fountain.
    explicit TFountainParser(TFountain* Fountain);
    const char* ClassName() const override { return "TFountainParser"; }

    void StartRow(std::string_view Text, const TRowAttributeData& State);
    std::uint8_t ReadToken();
    std::string TokenText() const { return FBuf.substr(FTokenStart, FP - FTokenStart); }
    std::string_view TokenView() const {
        return std::string_view(FBuf).substr(FTokenStart, FP - FTokenStart);
    }
    int TokenOffset() const { return static_cast<int>(FTokenStart); }
    int TokenLength() const { return static_cast<int>(FP - FTokenStart); }
    std::uint8_t Token() const { return FToken; }
    int TokenBracket() const { return FTokenBracket; }
    int Bracket() const { return FState.Bracket; }
    const TRowAttributeData& State() const { return FState; }
    virtual bool IsReserveWord() const;
    virtual TFountainColor* TokenColor() const;
    // Turns S, the state at the start of row I of L, into the state at the start of row I + 1.
    void RowStep(int I, const TRowAttributeStringList& L, TRowAttributeData& S);
    // Whether every logical line begins in the initial state, whatever the lines above hold, so
    // that a row's state follows from its own line alone. True while the fountain has no
    // brackets: RowStep carries nothing else past a line end. A parser that keeps more state
    // of its own across lines says false.
    virtual bool LinesStartFresh() const;

  protected:
    using Scanner = void (TFountainParser::*)();
    unsigned char At(size_t p) const { return static_cast<unsigned char>(FBuf[p]); }
    bool IsLineEnd(unsigned char c) const { return c == 0 || c == '\n' || c == '\r'; }
    // Passes one character, never the terminating NUL.
    void PassChar();
    // The bracket step of a new token; true when a bracket starts here.
    bool TryBracket();
    virtual void ScanNewToken();
    void ScanByFirstByte() { (this->*FMethodTable[At(FP)])(); }

    // Scanners.
    void EndProc();
    void TabProc();
    void LFProc();
    void CRProc();
    void NumberProc();
    void WordProc();
    void WideSymbolProc();
    void FullWidthProc();
    void KanjiProc();
    void NarrowKanaSymbolProc();
    void NarrowKanaProc();
    void SymbolProc();
    void BracketProc();
    void CommentProc();
    void ReserveResumeProc();
    void UrlRestProc();
    void MailRestProc();
    void HexDigitsProc();
    void SingleQuotedProc();
    void DoubleQuotedProc();
    void QuotationProc();
    void ControlCodeProc();
    void HexControlCodeProc();
    void QuotedProc(std::string_view Quote);

    TFountain* FFountain;
    std::string FQuote; // the quotation character, set by parsers that know one
    std::string FBuf;   // row text with a NUL after it
    size_t FP = 0;
    size_t FTokenStart = 0;
    size_t FNext = 0;
    std::uint8_t FToken = kdEnd;
    int FTokenBracket = -2;
    bool FResumed = false;
    TRowAttributeData FState;
    std::array<Scanner, 256> FMethodTable{};
    std::array<Scanner, 256> FResumeTable{};
};

class TEditorParser : public TFountainParser {
  public:
    explicit TEditorParser(TEditorFountain* Fountain);
    const char* ClassName() const override { return "TEditorParser"; }
    TFountainColor* TokenColor() const override;

  protected:
    void ScanNewToken() override;

  private:
    bool MailStarts() const;
    bool UrlStarts() const;
    TEditorFountain* FEditorFountain;
};

} // namespace editor
