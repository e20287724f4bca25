#include "fountain.h"

#include "codec.h"
#include "sjis_text.h"

namespace editor {

// Colour classes

void TFountainColor::SetBkColor(TColor V) {
    if (V == FBkColor) return;
    FBkColor = V;
    Changed();
}

void TFountainColor::SetColor(TColor V) {
    if (V == FColor) return;
    FColor = V;
    Changed();
}

void TFountainColor::SetStyle(TFontStyles V) {
    if (V == FStyle) return;
    FStyle = V;
    Changed();
}

void TFountainColor::Assign(const TPersistent& Source) {
    if (auto* s = dynamic_cast<const TFountainColor*>(&Source)) {
        FBkColor = s->FBkColor;
        FColor = s->FColor;
        FStyle = s->FStyle;
        Changed();
        return;
    }
    TNotifyPersistent::Assign(Source);
}

TEditorColors::TEditorColors(TFountain* Owner) : FOwner(Owner) {
    auto make = [this] {
        auto c = std::make_unique<TEditorColor>();
        c->OnChange = MakeEvent<&TEditorColors::ChildChanged>(this);
        return c;
    };
    FAnk = make();
    FComment = make();
    FDBCS = make();
    FHit = make();
    FInt = make();
    FMail = make();
    FSelect = make();
    FStr = make();
    FSymbol = make();
    FUrl = make();
    FSelect->SetBkColor(clNavy);
    FSelect->SetColor(clWhite);
}

TFountainColor& TEditorColors::Reserve() {
    return FOwner->Reserve();
}

void TEditorColors::Assign(const TPersistent& Source) {
    auto* s = dynamic_cast<const TEditorColors*>(&Source);
    if (!s) return TNotifyPersistent::Assign(Source);
    auto& src = const_cast<TEditorColors&>(*s);
    BeginUpdate();
    Ank().Assign(src.Ank());
    Comment().Assign(src.Comment());
    DBCS().Assign(src.DBCS());
    Hit().Assign(src.Hit());
    Int().Assign(src.Int());
    Mail().Assign(src.Mail());
    Str().Assign(src.Str());
    Symbol().Assign(src.Symbol());
    if (&src.Reserve() != &Reserve()) Reserve().Assign(src.Reserve());
    Url().Assign(src.Url());
    Select().Assign(src.Select());
    EndUpdate();
}

void TEditorColors::VisitPublished(const std::function<void(TPersistent&)>& f) {
    f(*FAnk);
    f(*FComment);
    f(*FDBCS);
    f(*FHit);
    f(*FInt);
    f(*FMail);
    f(Reserve());
    f(*FSelect);
    f(*FStr);
    f(*FSymbol);
    f(*FUrl);
}

// Brackets

TFountainColorItem::TFountainColorItem(TCollection* Collection)
    : TCollectionItem(Collection), FItemColor(std::make_unique<TFountainColor>()) {
    if (auto* nc = dynamic_cast<TNotifyCollection*>(Collection))
        FItemColor->OnChange = MakeEvent<&TNotifyCollection::ChildChanged>(nc);
}

void TFountainColorItem::Assign(const TPersistent& Source) {
    if (auto* s = dynamic_cast<const TFountainColorItem*>(&Source)) {
        FItemColor->Assign(*s->FItemColor);
        return;
    }
    TCollectionItem::Assign(Source);
}

void TFountainBracketItem::Assign(const TPersistent& Source) {
    if (auto* s = dynamic_cast<const TFountainBracketItem*>(&Source)) {
        LeftBracket = s->LeftBracket;
        RightBracket = s->RightBracket;
    }
    TFountainColorItem::Assign(Source);
}

TFountainBracketItem* TFountainBracketCollection::Add() {
    if (Count() >= kMaxItems)
        throw ECollectionError("TFountainBracketCollection\r\nYou can not add item over " +
                               std::to_string(kMaxItems));
    return static_cast<TFountainBracketItem*>(TNotifyCollection::Add());
}

std::unique_ptr<TCollectionItem> TFountainBracketCollection::CreateItem() {
    return std::make_unique<TFountainBracketItem>(this);
}

void TFountainBracketCollection::Assign(const TPersistent& Source) {
    auto* s = dynamic_cast<const TFountainBracketCollection*>(&Source);
    if (!s) return TNotifyCollection::Assign(Source);
    if (s == this) return;
    BeginUpdate();
    try {
        Clear();
        for (int i = 0; i < s->Count(); ++i)
            Add()->Assign(*s->Item(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TEditorBracketCollection::SameBkColor(TColor V) {
    BeginUpdate();
    for (int i = 0; i < Count(); ++i)
        Items(i).ItemColor().SetBkColor(V);
    EndUpdate();
}

void TEditorBracketCollection::SameColor(TColor V) {
    BeginUpdate();
    for (int i = 0; i < Count(); ++i)
        Items(i).ItemColor().SetColor(V);
    EndUpdate();
}

void TEditorBracketCollection::SameStyle(TFontStyles V) {
    BeginUpdate();
    for (int i = 0; i < Count(); ++i)
        Items(i).ItemColor().SetStyle(V);
    EndUpdate();
}

// Row state

TRowAttributeData TRowAttributeData::Packed() const {
    TRowAttributeData p = *this;
    p.RowAttr &= 3;
    p.PrevRowAttr &= 3;
    p.Bracket = static_cast<std::int32_t>((static_cast<std::uint32_t>(Bracket + 2) & 0xF)) - 2;
    p.Context &= 0xFF;
    p.CarryLength &= 0xFF;
    p.Spare &= 0xFF;
    return p;
}

TRowAttributeData LoadRowState(const TRowAttributeStringList& L, int Row) {
    TRowAttributeData s;
    s.RowAttr = static_cast<std::uint8_t>(L.RowAttr(Row));
    s.PrevRowAttr = static_cast<std::uint8_t>(L.PrevRowAttr(Row));
    s.Bracket = L.Bracket(Row);
    s.Context = L.Context(Row);
    s.CarryLength = L.CarryLength(Row);
    s.Spare = L.Spare(Row);
    s.CarryKind = static_cast<std::uint8_t>(L.CarryKind(Row));
    s.PrevKind = static_cast<std::uint8_t>(L.PrevKind(Row));
    s.ContextText = L.Rec(Row).ContextText;
    return s;
}

void StoreRowState(TRowAttributeStringList& L, int Row, const TRowAttributeData& S) {
    using R = TRowAttributeStringList;
    TVelRecord& r = L.Rec(Row);
    std::uint32_t a1 = r.Attr1;
    a1 = R::Place(a1, 2, 2, S.PrevRowAttr);
    a1 = R::Place(a1, 4, 4, S.Bracket + 2);
    a1 = R::Place(a1, 8, 8, S.Context);
    a1 = R::Place(a1, 16, 8, S.CarryLength);
    a1 = R::Place(a1, 24, 8, S.Spare);
    std::uint32_t a2 = r.Attr2;
    a2 = R::Place(a2, 0, 8, S.CarryKind);
    a2 = R::Place(a2, 8, 8, S.PrevKind);
    r.Attr1 = a1;
    r.Attr2 = a2;
    r.ContextText = S.ContextText;
}

bool RowStateEquals(const TRowAttributeStringList& L, int Row, const TRowAttributeData& S) {
    const TVelRecord& r = L.Rec(Row);
    TRowAttributeData p = S.Packed();
    using R = TRowAttributeStringList;
    return R::Field(r.Attr1, 2, 2) == p.PrevRowAttr && R::Field(r.Attr1, 4, 4) - 2 == p.Bracket &&
           R::Field(r.Attr1, 8, 8) == p.Context && R::Field(r.Attr1, 16, 8) == p.CarryLength &&
           R::Field(r.Attr1, 24, 8) == p.Spare && R::Field(r.Attr2, 0, 8) == p.CarryKind &&
           R::Field(r.Attr2, 8, 8) == p.PrevKind && r.ContextText == p.ContextText;
}

// Fountains

TFountain::TFountain(TComponent* Owner) : TFileExtComponent(Owner) {}

TFountain::~TFountain() {
    FNotifyEventList.reset();
    FBrackets.reset();
    FReserveWordList.reset();
    FReserve.reset();
}

void TFountain::Build() {
    FNotifyEventList = std::make_unique<TNotifyEventList>(this);
    FBrackets = CreateBrackets();
    InitBrackets();
    FReserveWordList = std::make_unique<TStringList>();
    FReserveWordList->SetSorted(true);
    FReserveWordList->Duplicates = dupIgnore;
    InitReserveWordList();
    FReserve = CreateReserve();
}

std::unique_ptr<TFountainColor> TFountain::CreateFountainColor() {
    auto c = std::make_unique<TFountainColor>();
    c->OnChange = MakeEvent<&TFountain::NotifyChanged>(this);
    return c;
}

std::unique_ptr<TFountainBracketCollection> TFountain::CreateBrackets() {
    auto b = std::make_unique<TFountainBracketCollection>(this);
    b->OnChange = MakeEvent<&TFountain::NotifyChanged>(this);
    return b;
}

void TFountain::SetReserveWordList(const TStrings& V) {
    FReserveWordList->Assign(V);
    FNotifyEventList->Changed();
}

std::unique_ptr<TFountainParser> TFountain::CreateParser() {
    return NewParser();
}

bool TFountain::HasItalicStyle(TPersistent& Object) {
    if (auto* c = dynamic_cast<TFountainColor*>(&Object)) return (c->Style() & fsItalic) != 0;
    bool found = false;
    Object.VisitPublished([&](TPersistent& child) {
        if (!found && HasItalicStyle(child)) found = true;
    });
    return found;
}

void TFountain::VisitPublished(const std::function<void(TPersistent&)>& f) {
    f(*FBrackets);
    f(*FReserve);
}

TEditorFountain::TEditorFountain(TComponent* Owner) : TFountain(Owner) {
    Build();
    FColors = CreateColors();
}

TEditorFountain::~TEditorFountain() {
    FColors.reset();
}

std::unique_ptr<TEditorColors> TEditorFountain::CreateColors() {
    auto c = std::make_unique<TEditorColors>(this);
    c->OnChange = MakeEvent<&TEditorFountain::NotifyChanged>(this);
    return c;
}

std::unique_ptr<TFountainBracketCollection> TEditorFountain::CreateBrackets() {
    auto b = std::make_unique<TEditorBracketCollection>(this);
    b->OnChange = MakeEvent<&TEditorFountain::NotifyChanged>(this);
    return b;
}

std::unique_ptr<TFountainParser> TEditorFountain::NewParser() {
    return std::make_unique<TEditorParser>(this);
}

void TEditorFountain::SetCommenter(const std::string& V) {
    if (V == FCommenter) return;
    FCommenter = V;
    Report();
}

void TEditorFountain::SetControlCode(bool V) {
    if (V == FControlCode) return;
    FControlCode = V;
    Report();
}

void TEditorFountain::SetHexPrefix(const std::string& V) {
    if (V == FHexPrefix) return;
    FHexPrefix = V;
    Report();
}

void TEditorFountain::SetMail(bool V) {
    if (V == FMail) return;
    FMail = V;
    Report();
}

void TEditorFountain::SetQuotation(const std::string& V) {
    // Only the first character is the quotation character.
    std::string q;
    if (!V.empty())
        q = V.substr(0,
                     cp932::IsLeadByte(static_cast<unsigned char>(V[0])) && V.size() > 1 ? 2 : 1);
    if (q == FQuotation) return;
    FQuotation = q;
    Report();
}

void TEditorFountain::SetUrl(bool V) {
    if (V == FUrl) return;
    FUrl = V;
    Report();
}

template <class F> void TEditorFountain::SetAll(F f) {
    NotifyEventList().BeginUpdate();
    TEditorColors& c = *FColors;
    for (TFountainColor* k : {&c.Ank(), &c.Comment(), &c.DBCS(), &c.Int(), &c.Mail(), &c.Reserve(),
                              &c.Str(), &c.Symbol(), &c.Url()})
        f(*k);
    NotifyEventList().EndUpdate();
}

void TEditorFountain::SetAllBkColor(TColor V) {
    SetAll([V](TFountainColor& k) { k.SetBkColor(V); });
}

void TEditorFountain::SetAllColor(TColor V) {
    SetAll([V](TFountainColor& k) { k.SetColor(V); });
}

void TEditorFountain::SetAllStyle(TFontStyles V) {
    SetAll([V](TFountainColor& k) { k.SetStyle(V); });
}

void TEditorFountain::VisitPublished(const std::function<void(TPersistent&)>& f) {
    TFountain::VisitPublished(f);
    f(*FColors);
}

void TEditorFountain::Assign(const TPersistent& Source) {
    auto* s = dynamic_cast<const TEditorFountain*>(&Source);
    if (!s) return TFountain::Assign(Source);
    if (s == this) return;
    auto& src = const_cast<TEditorFountain&>(*s);
    NotifyEventList().BeginUpdate();
    FileExtList().Assign(src.FileExtList());
    Brackets().Assign(src.Brackets());
    Reserve().Assign(src.Reserve());
    ReserveWordList().Assign(src.ReserveWordList());
    FColors->Assign(*src.FColors);
    FCommenter = src.FCommenter;
    FControlCode = src.FControlCode;
    FHexPrefix = src.FHexPrefix;
    FMail = src.FMail;
    FQuotation = src.FQuotation;
    FUrl = src.FUrl;
    NotifyEventList().EndUpdate();
}

// Parsers

namespace {

bool IsBlank(unsigned char c) {
    return (c >= 0x01 && c <= 0x08) || (c >= 0x0A && c <= 0x20);
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(unsigned char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
bool IsWordChar(unsigned char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsMailChar(unsigned char c) {
    if (IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
    case '!':
    case '$':
    case '%':
    case '&':
    case '*':
    case ',':
    case '-':
    case '.':
    case '/':
    case ';':
    case '=':
    case '?':
    case '@':
    case '^':
    case '_':
    case '~':
        return true;
    default:
        return false;
    }
}
bool IsUrlChar(unsigned char c) {
    if (IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
    case '#':
    case '%':
    case '&':
    case '+':
    case '-':
    case '.':
    case '/':
    case ':':
    case '=':
    case '?':
    case '_':
    case '~':
        return true;
    default:
        return false;
    }
}
bool IsKanjiLead(unsigned char c) {
    return (c >= 0x88 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

} // namespace

TFountainParser::TFountainParser(TFountain* Fountain) : FFountain(Fountain) {
    if (!Fountain) throw Exception("TFountainParser.Create need instance of TFountain");
    for (int c = 0; c < 256; ++c) {
        Scanner s = &TFountainParser::SymbolProc;
        if (c == 0)
            s = &TFountainParser::EndProc;
        else if (c == '\t')
            s = &TFountainParser::TabProc;
        else if (c == '\n')
            s = &TFountainParser::LFProc;
        else if (c == '\r')
            s = &TFountainParser::CRProc;
        else if (IsDigit(c))
            s = &TFountainParser::NumberProc;
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_')
            s = &TFountainParser::WordProc;
        else if (c == 0x81 || (c >= 0x84 && c <= 0x87))
            s = &TFountainParser::WideSymbolProc;
        else if (c == 0x82 || c == 0x83)
            s = &TFountainParser::FullWidthProc;
        else if (IsKanjiLead(static_cast<unsigned char>(c)))
            s = &TFountainParser::KanjiProc;
        else if (c >= 0xA1 && c <= 0xA5)
            s = &TFountainParser::NarrowKanaSymbolProc;
        else if (c >= 0xA6 && c <= 0xDF)
            s = &TFountainParser::NarrowKanaProc;
        FMethodTable[c] = s;
    }
    for (int k = 0; k < 256; ++k)
        FResumeTable[k] = &TFountainParser::SymbolProc;
    FResumeTable[kdInteger] = &TFountainParser::NumberProc;
    FResumeTable[kdFloat] = &TFountainParser::NumberProc;
    FResumeTable[kdBracket] = &TFountainParser::BracketProc;
    FResumeTable[kdComment] = &TFountainParser::CommentProc;
    FResumeTable[kdReserve] = &TFountainParser::ReserveResumeProc;
    FResumeTable[kdWord] = &TFountainParser::WordProc;
    FResumeTable[kdWideSymbol] = &TFountainParser::WideSymbolProc;
    for (int k = kdWideDigits; k <= kdKatakana; ++k)
        FResumeTable[k] = &TFountainParser::FullWidthProc;
    FResumeTable[kdKanji] = &TFountainParser::KanjiProc;
    FResumeTable[kdNarrowKanaSymbol] = &TFountainParser::NarrowKanaSymbolProc;
    FResumeTable[kdNarrowKana] = &TFountainParser::NarrowKanaProc;
    FResumeTable[kdUrl] = &TFountainParser::UrlRestProc;
    FResumeTable[kdMail] = &TFountainParser::MailRestProc;
    FResumeTable[kdHex] = &TFountainParser::HexDigitsProc;
    FResumeTable[kdSingleQuoted] = &TFountainParser::SingleQuotedProc;
    FResumeTable[kdDoubleQuoted] = &TFountainParser::DoubleQuotedProc;
    FResumeTable[kdQuotation] = &TFountainParser::QuotationProc;
    FResumeTable[kdControlCode] = &TFountainParser::ControlCodeProc;
    FResumeTable[kdHexControlCode] = &TFountainParser::HexControlCodeProc;
}

void TFountainParser::StartRow(std::string_view Text, const TRowAttributeData& State) {
    FBuf.assign(Text);
    FBuf.push_back('\0');
    FP = FTokenStart = FNext = 0;
    FToken = kdEnd;
    FTokenBracket = -2;
    FResumed = false;
    FState = State;
}

void TFountainParser::PassChar() {
    if (At(FP) == 0) return;
    if (cp932::IsLeadByte(At(FP)) && At(FP + 1) != 0)
        FP += 2;
    else
        FP += 1;
}

std::uint8_t TFountainParser::ReadToken() {
    FP = FNext;
    while (IsBlank(At(FP)))
        ++FP;
    FTokenStart = FP;
    FResumed = FState.CarryKind != 0;
    if (IsLineEnd(At(FP))) {
        FToken = kdEnd;
    } else if (FState.CarryKind != 0) {
        std::uint8_t kind = FState.CarryKind;
        if (FState.CarryLength > 0) {
            FToken = kind;
            size_t avail = FBuf.size() - 1 - FP;
            FP += std::min(static_cast<size_t>(FState.CarryLength), avail);
            if (kind == kdBracket) {
                FTokenBracket = FState.Bracket;
                FState.Bracket = -1;
            }
        } else {
            (this->*FResumeTable[kind])();
            if (kind == kdReserve) FToken = kdReserve;
        }
        FState.CarryKind = 0;
        FState.CarryLength = 0;
    } else if (FState.Bracket >= 0) {
        BracketProc();
    } else {
        ScanNewToken();
    }
    FNext = FP;
    return FToken;
}

bool TFountainParser::TryBracket() {
    if (FState.Bracket != -1) return false;
    TFountainBracketCollection& b = FFountain->Brackets();
    for (int i = 0; i < b.Count(); ++i) {
        const std::string& left = b.Items(i).LeftBracket;
        if (!left.empty() && FBuf.compare(FP, left.size(), left) == 0) {
            FState.Bracket = i;
            FP += left.size();
            return true;
        }
    }
    return false;
}

void TFountainParser::ScanNewToken() {
    if (TryBracket()) {
        BracketProc();
        return;
    }
    ScanByFirstByte();
}

void TFountainParser::EndProc() {
    FToken = kdEnd;
}

void TFountainParser::TabProc() {
    FToken = kdTab;
    ++FP;
}

void TFountainParser::LFProc() {
    FToken = kdEnd;
    ++FP;
}

void TFountainParser::CRProc() {
    FToken = kdEnd;
    ++FP;
    if (At(FP) == '\n') ++FP;
}

void TFountainParser::NumberProc() {
    FToken = kdInteger;
    while (IsDigit(At(FP)))
        ++FP;
    if (At(FP) == '.') {
        FToken = kdFloat;
        unsigned char n = At(FP + 1);
        if (IsDigit(n) || n == 'E' || n == 'e') {
            ++FP;
            while (IsDigit(At(FP)))
                ++FP;
        }
    }
    if (At(FP) == 'E' || At(FP) == 'e') {
        FToken = kdFloat;
        ++FP;
        if (At(FP) == '+' || At(FP) == '-') ++FP;
        while (IsDigit(At(FP)))
            ++FP;
    }
}

void TFountainParser::WordProc() {
    FToken = kdWord;
    while (IsWordChar(At(FP)))
        ++FP;
}

void TFountainParser::WideSymbolProc() {
    FToken = kdWideSymbol;
    PassChar();
}

namespace {
int WideCode(unsigned char lead, unsigned char trail) {
    return lead << 8 | trail;
}
bool IsWideDigit(int c) {
    return c >= 0x824F && c <= 0x8258;
}
bool IsWideLetter(int c) {
    return (c >= 0x8260 && c <= 0x8279) || (c >= 0x8281 && c <= 0x829A);
}
bool IsHiragana(int c) {
    return c >= 0x829F && c <= 0x82F1;
}
bool IsKatakana(int c) {
    return c >= 0x8340 && c <= 0x8396;
}
bool IsLongMark(int c) {
    return c == 0x815B || c == 0x817C;
}
} // namespace

void TFountainParser::FullWidthProc() {
    auto code = [this] { return At(FP + 1) == 0 ? At(FP) : WideCode(At(FP), At(FP + 1)); };
    int c = code();
    bool (*belongs)(int) = nullptr;
    if (IsWideDigit(c)) {
        FToken = kdWideDigits;
        belongs = [](int x) { return IsWideDigit(x) || x == 0x8143 || x == 0x8144; };
    } else if (IsWideLetter(c)) {
        FToken = kdWideLetters;
        belongs = IsWideLetter;
    } else if (IsHiragana(c)) {
        FToken = kdHiragana;
        belongs = [](int x) { return IsHiragana(x) || IsLongMark(x); };
    } else if (IsKatakana(c)) {
        FToken = kdKatakana;
        belongs = [](int x) { return IsKatakana(x) || IsLongMark(x); };
    } else {
        FToken = kdWideSymbol;
        PassChar();
        return;
    }
    PassChar();
    while (cp932::IsLeadByte(At(FP)) && At(FP + 1) != 0 && belongs(code()))
        FP += 2;
}

void TFountainParser::KanjiProc() {
    FToken = kdKanji;
    do {
        PassChar();
    } while (IsKanjiLead(At(FP)));
}

void TFountainParser::NarrowKanaSymbolProc() {
    FToken = kdNarrowKanaSymbol;
    ++FP;
}

void TFountainParser::NarrowKanaProc() {
    FToken = kdNarrowKana;
    while (At(FP) >= 0xA6 && At(FP) <= 0xDF)
        ++FP;
}

void TFountainParser::SymbolProc() {
    FToken = kdSymbol;
    PassChar();
}

void TFountainParser::BracketProc() {
    FToken = kdBracket;
    FTokenBracket = FState.Bracket;
    TFountainBracketCollection& b = FFountain->Brackets();
    if (FState.Bracket < 0 || FState.Bracket >= b.Count()) {
        FToken = kdEnd;
        return;
    }
    const std::string& right = b.Items(FState.Bracket).RightBracket;
    if (right.empty()) {
        FToken = kdEnd;
        return;
    }
    while (!IsLineEnd(At(FP))) {
        if (FBuf.compare(FP, right.size(), right) == 0) {
            FP += right.size();
            FState.Bracket = -1;
            return;
        }
        PassChar();
    }
}

void TFountainParser::CommentProc() {
    FToken = kdComment;
    while (!IsLineEnd(At(FP)))
        ++FP;
}

void TFountainParser::ReserveResumeProc() {
    ScanByFirstByte();
    FToken = kdReserve;
}

void TFountainParser::UrlRestProc() {
    FToken = kdUrl;
    while (IsUrlChar(At(FP)))
        ++FP;
}

void TFountainParser::MailRestProc() {
    FToken = kdMail;
    while (IsMailChar(At(FP)))
        ++FP;
}

void TFountainParser::HexDigitsProc() {
    FToken = kdHex;
    while (IsHexDigit(At(FP)))
        ++FP;
}

void TFountainParser::QuotedProc(std::string_view Quote) {
    while (!IsLineEnd(At(FP))) {
        if (!Quote.empty() && FBuf.compare(FP, Quote.size(), Quote) == 0) {
            FP += Quote.size();
            if (FBuf.compare(FP, Quote.size(), Quote) == 0) {
                FP += Quote.size(); // a doubled character stands for itself
                continue;
            }
            return;
        }
        PassChar();
    }
}

void TFountainParser::SingleQuotedProc() {
    FToken = kdSingleQuoted;
    QuotedProc("'");
}

void TFountainParser::DoubleQuotedProc() {
    FToken = kdDoubleQuoted;
    QuotedProc("\"");
}

void TFountainParser::QuotationProc() {
    FToken = kdQuotation;
    QuotedProc(FQuote);
}

void TFountainParser::ControlCodeProc() {
    FToken = kdControlCode;
    while (IsDigit(At(FP)))
        ++FP;
}

void TFountainParser::HexControlCodeProc() {
    FToken = kdHexControlCode;
    while (IsHexDigit(At(FP)))
        ++FP;
}

bool TFountainParser::IsReserveWord() const {
    if (FResumed || FToken == kdEnd || FToken == kdBracket || FToken == kdComment) return false;
    int at = 0;
    return FFountain->ReserveWordList().Find(TokenView(), at);
}

TFountainColor* TFountainParser::TokenColor() const {
    if (IsReserveWord()) return &FFountain->Reserve();
    if (FToken == kdReserve) return &FFountain->Reserve();
    if (FToken == kdBracket && FTokenBracket >= 0 && FTokenBracket < FFountain->Brackets().Count())
        return &FFountain->Brackets().Items(FTokenBracket).ItemColor();
    return nullptr;
}

bool TFountainParser::LinesStartFresh() const {
    return FFountain->Brackets().Count() == 0;
}

void TFountainParser::RowStep(int I, const TRowAttributeStringList& L, TRowAttributeData& S) {
    if (S.CarryKind == kdComment) {
        S.CarryLength = 0;
        if (S.RowAttr != Wrapped) S.CarryKind = 0;
        return;
    }
    const std::string& row = L.Text(I);
    if (row.find_first_not_of(' ') == std::string::npos) {
        // A blank row passes the state on; but a string carried into the last row of its line
        // ends with the line, like a comment, instead of running on into the next line.
        if (S.RowAttr != Wrapped) {
            S.CarryKind = 0;
            S.CarryLength = 0;
        }
        return;
    }
    size_t n = row.size();
    std::string t = row;
    if (S.RowAttr == Wrapped && I < L.GetCount() - 1) t += L.Text(I + 1);
    size_t m = t.size();
    StartRow(t, S);
    bool stopped = false;
    std::uint8_t kind = kdEnd;
    int bracketToken = -2;
    for (std::uint8_t k; (k = ReadToken()) != kdEnd;) {
        kind = k;
        S.Bracket = FState.Bracket;
        if (k == kdBracket) bracketToken = FTokenBracket;
        if (FP > n) {
            stopped = true;
            break;
        }
    }
    S.CarryLength = 0;
    S.CarryKind = 0;
    if (!stopped) return;
    if (FTokenStart >= n) {
        S.Bracket = -1;
        return;
    }
    size_t e = FP;
    if (kind == kdBracket) {
        if (FState.Bracket == -1 && bracketToken >= 0 &&
            bracketToken < FFountain->Brackets().Count()) {
            // Closed within the joined text: the next row begins inside the bracket.
            S.Bracket = bracketToken;
            if (FFountain->Brackets().Items(bracketToken).RightBracket.size() > e - n) {
                S.CarryKind = kdBracket;
                S.CarryLength = static_cast<std::int32_t>(e - n);
            }
        }
        return;
    }
    S.CarryKind = IsReserveWord() ? static_cast<std::uint8_t>(kdReserve) : kind;
    if (kind == kdComment || kind == kdSingleQuoted || kind == kdDoubleQuoted ||
        kind == kdQuotation)
        return;
    if (e >= m && I + 1 < L.GetCount() && L.RowAttr(I + 1) == Wrapped) return;
    S.CarryLength = static_cast<std::int32_t>(e - n);
}

// TEditorParser

TEditorParser::TEditorParser(TEditorFountain* Fountain)
    : TFountainParser(Fountain), FEditorFountain(Fountain) {
    FQuote = Fountain->Quotation();
}

bool TEditorParser::MailStarts() const {
    if (!IsMailChar(At(FP)) || At(FP) == '@') return false;
    size_t p = FP;
    bool at = false;
    while (IsMailChar(At(p))) {
        if (At(p) == '@')
            at = true;
        else if (at && At(p) == '.')
            return true;
        ++p;
    }
    return false;
}

bool TEditorParser::UrlStarts() const {
    for (std::string_view s : {"ftp:", "http:", "https:", "www."})
        if (FBuf.compare(FP, s.size(), s) == 0) return true;
    return false;
}

void TEditorParser::ScanNewToken() {
    if (TryBracket()) {
        BracketProc();
        return;
    }
    TEditorFountain& f = *FEditorFountain;
    if (f.Mail() && MailStarts()) {
        MailRestProc();
        return;
    }
    if (f.Url() && UrlStarts()) {
        UrlRestProc();
        return;
    }
    const std::string& com = f.Commenter();
    if (!com.empty() && FBuf.compare(FP, com.size(), com) == 0) {
        CommentProc();
        return;
    }
    if (!FQuote.empty() && FBuf.compare(FP, FQuote.size(), FQuote) == 0) {
        FP += FQuote.size();
        QuotationProc();
        return;
    }
    if (f.ControlCode() && At(FP) == '#') {
        if (At(FP + 1) == '$') {
            FP += 2;
            HexControlCodeProc();
        } else {
            FP += 1;
            ControlCodeProc();
        }
        return;
    }
    const std::string& hex = f.HexPrefix();
    if (!hex.empty() && FP + hex.size() < FBuf.size() &&
        cp932::CompareNoCase(std::string_view(FBuf).substr(FP, hex.size()), hex) == 0) {
        FP += hex.size();
        HexDigitsProc();
        return;
    }
    ScanByFirstByte();
}

TFountainColor* TEditorParser::TokenColor() const {
    TEditorColors& c = FEditorFountain->Colors();
    if (IsReserveWord()) return &c.Reserve();
    switch (FToken) {
    case kdSymbol:
        return &c.Symbol();
    case kdInteger:
    case kdFloat:
    case kdHex:
        return &c.Int();
    case kdBracket:
        return TFountainParser::TokenColor();
    case kdComment:
        return &c.Comment();
    case kdReserve:
        return &c.Reserve();
    case kdWord:
        return &c.Ank();
    case kdWideSymbol:
    case kdWideDigits:
    case kdWideLetters:
    case kdHiragana:
    case kdKatakana:
    case kdKanji:
    case kdNarrowKanaSymbol:
    case kdNarrowKana:
        return &c.DBCS();
    case kdUrl:
        return &c.Url();
    case kdMail:
        return &c.Mail();
    case kdQuotation:
    case kdControlCode:
    case kdHexControlCode:
        return &c.Str();
    default:
        return nullptr;
    }
}

} // namespace editor
