// The editor's option objects: each reports its own changes (once per outermost update bracket)
// to the editor, which recomputes what the option steers.
#pragma once

#include "fountain.h"
#include "notify.h"

#include <string>

namespace editor {

// Base of the option classes: setters compare first and report only a real change.
class TEditorOption : public TNotifyPersistent {
  protected:
    template <class T> void SetValue(T& Field, const T& V) {
        if (Field == V) return;
        Field = V;
        Changed();
    }
    // Copies every value from a source of the same class inside one bracket: exactly one report.
    template <class C> bool AssignSame(const TPersistent& Source, void (C::*CopyFrom)(const C&)) {
        auto* s = dynamic_cast<const C*>(&Source);
        if (!s) return false;
        BeginUpdate();
        (static_cast<C*>(this)->*CopyFrom)(*s);
        EndUpdate();
        return true;
    }
};

// V kept within Lo..Hi.
int ClampInt(int V, int Lo, int Hi);

class TEditorCursors : public TEditorOption {
  public:
    const char* ClassName() const override { return "TEditorCursors"; }
    TEditorCursors();
    TCursor DefaultCursor() const { return FDefault; }
    void SetDefaultCursor(TCursor V) { SetValue(FDefault, V); }
    TCursor DragSelCursor() const { return FDragSel; }
    void SetDragSelCursor(TCursor V) { SetValue(FDragSel, V); }
    TCursor DragSelCopyCursor() const { return FDragSelCopy; }
    void SetDragSelCopyCursor(TCursor V) { SetValue(FDragSelCopy, V); }
    TCursor InSelCursor() const { return FInSel; }
    void SetInSelCursor(TCursor V) { SetValue(FInSel, V); }
    TCursor LeftMarginCursor() const { return FLeftMargin; }
    void SetLeftMarginCursor(TCursor V) { SetValue(FLeftMargin, V); }
    TCursor TopMarginCursor() const { return FTopMargin; }
    void SetTopMarginCursor(TCursor V) { SetValue(FTopMargin, V); }
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorCursors& S);
    TCursor FDefault, FDragSel, FDragSelCopy, FInSel, FLeftMargin, FTopMargin;
};

enum TEditorCaretStyle { csDefault, csBrief };

class TEditorCaret : public TEditorOption {
  public:
    TEditorCaret();
    const char* ClassName() const override { return "TEditorCaret"; }
#define QUELVRA_BOOL_PROP(Name, Default)                                                           \
  public:                                                                                          \
    bool Name() const {                                                                            \
        return F##Name;                                                                            \
    }                                                                                              \
    void Set##Name(bool V) {                                                                       \
        SetValue(F##Name, V);                                                                      \
    }                                                                                              \
                                                                                                   \
  private:                                                                                         \
    bool F##Name = Default;
    QUELVRA_BOOL_PROP(AutoCursor, true)
    QUELVRA_BOOL_PROP(AutoIndent, true)
    QUELVRA_BOOL_PROP(BackSpaceUnIndent, true)
    QUELVRA_BOOL_PROP(FreeCaret, true)
    QUELVRA_BOOL_PROP(FreeRow, false)
    QUELVRA_BOOL_PROP(InTab, false)
    QUELVRA_BOOL_PROP(KeepCaret, false)
    QUELVRA_BOOL_PROP(LockScroll, false)
    QUELVRA_BOOL_PROP(NextLine, false)
    QUELVRA_BOOL_PROP(PrevSpaceIndent, false)
    QUELVRA_BOOL_PROP(RowSelect, true)
    QUELVRA_BOOL_PROP(SelMove, true)
    QUELVRA_BOOL_PROP(SoftTab, false)
    QUELVRA_BOOL_PROP(TabIndent, false)
  public:
    TEditorCursors& Cursors() {
        return FCursors;
    }
    void SetCursors(const TEditorCursors& V) {
        FCursors.Assign(V);
    }
    TDragMode SelDragMode() const {
        return FSelDragMode;
    }
    void SetSelDragMode(TDragMode V) {
        SetValue(FSelDragMode, V);
    }
    TEditorCaretStyle Style() const {
        return FStyle;
    }
    void SetStyle(TEditorCaretStyle V) {
        SetValue(FStyle, V);
    }
    int TabSpaceCount() const {
        return FTabSpaceCount;
    }
    // Kept to 2..8 and even: 3 stores 2, 9 stores 8.
    void SetTabSpaceCount(int V) {
        SetValue(FTabSpaceCount, ClampInt(V, 2, 8) & ~1);
    }
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorCaret& S);
    TEditorCursors FCursors;
    TDragMode FSelDragMode = dmAutomatic;
    TEditorCaretStyle FStyle = csDefault;
    int FTabSpaceCount = 8;
};

#define QUELVRA_INT_PROP(Name, Default, Lo, Hi)                                                    \
  public:                                                                                          \
    int Name() const {                                                                             \
        return F##Name;                                                                            \
    }                                                                                              \
    void Set##Name(int V) {                                                                        \
        SetValue(F##Name, ClampInt(V, Lo, Hi));                                                    \
    }                                                                                              \
                                                                                                   \
  private:                                                                                         \
    int F##Name = Default;
#define QUELVRA_COLOR_PROP(Name, Default)                                                          \
  public:                                                                                          \
    TColor Name() const {                                                                          \
        return F##Name;                                                                            \
    }                                                                                              \
    void Set##Name(TColor V) {                                                                     \
        SetValue(F##Name, V);                                                                      \
    }                                                                                              \
                                                                                                   \
  private:                                                                                         \
    TColor F##Name = Default;

class TEditorMargin : public TEditorOption {
  public:
    const char* ClassName() const override { return "TEditorMargin"; }
    QUELVRA_INT_PROP(Character, 0, 0, 100)
    QUELVRA_INT_PROP(Left, 19, 0, 100)
    QUELVRA_INT_PROP(Line, 0, 0, 100)
    QUELVRA_INT_PROP(Top, 2, 0, 100)
  public:
    // Extra pixel under each row while the caret-row underline is visible. Not published: set
    // by the editor when the marks change, which reports nothing of its own.
    int UnderlineGap() const { return FUnderlineGap; }
    void SetUnderlineGap(int V) { FUnderlineGap = V; }
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorMargin& S);
    int FUnderlineGap = 0;
};

class TEditorMark : public TEditorOption {
  public:
    const char* ClassName() const override { return "TEditorMark"; }
    QUELVRA_COLOR_PROP(Color, clGray)
    QUELVRA_BOOL_PROP(Visible, false)
  public:
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorMark& S);
};

class TEditorMarks : public TEditorOption {
  public:
    TEditorMarks();
    const char* ClassName() const override { return "TEditorMarks"; }
    TEditorMark& EofMark() { return FMarks[0]; }
    TEditorMark& RetMark() { return FMarks[1]; }
    TEditorMark& WrapMark() { return FMarks[2]; }
    TEditorMark& HideMark() { return FMarks[3]; }
    TEditorMark& Underline() { return FMarks[4]; }
    void SetEofMark(const TEditorMark& V) { FMarks[0].Assign(V); }
    void SetRetMark(const TEditorMark& V) { FMarks[1].Assign(V); }
    void SetWrapMark(const TEditorMark& V) { FMarks[2].Assign(V); }
    void SetHideMark(const TEditorMark& V) { FMarks[3].Assign(V); }
    void SetUnderline(const TEditorMark& V) { FMarks[4].Assign(V); }
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorMarks& S);
    TEditorMark FMarks[5];
};

// The view: windows onto the editor's own fountain.
class TEditorViewInfo : public TEditorOption {
  public:
    TEditorViewInfo();
    ~TEditorViewInfo() override;
    const char* ClassName() const override { return "TEditorViewInfo"; }
    TEditorFountain& Fountain() { return *FFountain; }
    TEditorBracketCollection& Brackets() { return FFountain->EditorBrackets(); }
    void SetBrackets(const TFountainBracketCollection& V) { FFountain->SetBrackets(V); }
    TEditorColors& Colors() { return FFountain->Colors(); }
    void SetColors(const TEditorColors& V) { FFountain->SetColors(V); }
    const std::string& Commenter() const { return FFountain->Commenter(); }
    void SetCommenter(const std::string& V) { FFountain->SetCommenter(V); }
    bool ControlCode() const { return FFountain->ControlCode(); }
    void SetControlCode(bool V) { FFountain->SetControlCode(V); }
    const std::string& HexPrefix() const { return FFountain->HexPrefix(); }
    void SetHexPrefix(const std::string& V) { FFountain->SetHexPrefix(V); }
    bool Mail() const { return FFountain->Mail(); }
    void SetMail(bool V) { FFountain->SetMail(V); }
    const std::string& Quotation() const { return FFountain->Quotation(); }
    void SetQuotation(const std::string& V) { FFountain->SetQuotation(V); }
    bool Url() const { return FFountain->Url(); }
    void SetUrl(bool V) { FFountain->SetUrl(V); }
    void Assign(const TPersistent& Source) override;
    void VisitPublished(const std::function<void(TPersistent&)>& f) override {
        FFountain->VisitPublished(f);
    }

  private:
    void FountainChanged(TObject*) { Changed(); }
    std::unique_ptr<TEditorFountain> FFountain;
};

class TEditorRuler : public TEditorOption {
  public:
    const char* ClassName() const override { return "TEditorRuler"; }
    QUELVRA_COLOR_PROP(BkColor, clSilver)
    QUELVRA_COLOR_PROP(Color, clBlack)
    QUELVRA_BOOL_PROP(Edge, true)
    QUELVRA_COLOR_PROP(MarkColor, clBlack)
    QUELVRA_BOOL_PROP(Visible, false)
  public:
    int GaugeRange() const { return FGaugeRange; }
    // Kept to 8..10 and even: 9 stores 8.
    void SetGaugeRange(int V) { SetValue(FGaugeRange, ClampInt(V, 8, 10) & ~1); }
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorRuler& S);
    int FGaugeRange = 10;
};

enum TEditorShowNumberMode { nmRow, nmLine };

class TEditorLeftbar : public TEditorOption {
  public:
    const char* ClassName() const override { return "TEditorLeftbar"; }
    QUELVRA_COLOR_PROP(BkColor, clSilver)
    QUELVRA_COLOR_PROP(Color, clBlack)
    QUELVRA_INT_PROP(Column, 4, 1, 8)
    QUELVRA_BOOL_PROP(Edge, true)
    QUELVRA_INT_PROP(LeftMargin, 8, 0, 100)
    QUELVRA_INT_PROP(RightMargin, 4, 0, 100)
    QUELVRA_BOOL_PROP(ShowNumber, true)
    QUELVRA_BOOL_PROP(Visible, false)
    QUELVRA_BOOL_PROP(ZeroBase, false)
    QUELVRA_BOOL_PROP(ZeroLead, false)
  public:
    TEditorShowNumberMode ShowNumberMode() const { return FShowNumberMode; }
    void SetShowNumberMode(TEditorShowNumberMode V) { SetValue(FShowNumberMode, V); }
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorLeftbar& S);
    TEditorShowNumberMode FShowNumberMode = nmRow;
};

class TEditorImagebar : public TEditorOption {
  public:
    const char* ClassName() const override { return "TEditorImagebar"; }
    QUELVRA_INT_PROP(DigitWidth, 8, 0, 100)
    QUELVRA_INT_PROP(LeftMargin, 2, 0, 100)
    QUELVRA_INT_PROP(MarkWidth, 0, 0, 100)
    QUELVRA_INT_PROP(RightMargin, 2, 0, 100)
    QUELVRA_BOOL_PROP(Visible, true)
  public:
    int Width() const {
        return FVisible ? FLeftMargin + FDigitWidth + FMarkWidth + FRightMargin : 0;
    }
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorImagebar& S);
};

// Plain values without change notification; speeds are kept to 1..4.
class TEditorSpeed : public TPersistent {
  public:
    const char* ClassName() const override { return "TEditorSpeed"; }
    int CaretVerticalAc() const { return FCaretVerticalAc; }
    void SetCaretVerticalAc(int V) { FCaretVerticalAc = ClampInt(V, 1, 4); }
    int PageVerticalRange() const { return FPageVerticalRange; }
    void SetPageVerticalRange(int V) { FPageVerticalRange = ClampInt(V, 1, 4); }
    int PageVerticalRangeAc() const { return FPageVerticalRangeAc; }
    void SetPageVerticalRangeAc(int V) { FPageVerticalRangeAc = ClampInt(V, 1, 4); }
    bool InitBracketsFull = false;
    void Assign(const TPersistent& Source) override;

  private:
    int FCaretVerticalAc = 2;
    int FPageVerticalRange = 2;
    int FPageVerticalRangeAc = 2;
};

class TEditorWrapOption : public TEditorOption {
  public:
    TEditorWrapOption();
    const char* ClassName() const override { return "TEditorWrapOption"; }
    QUELVRA_BOOL_PROP(FollowRetMark, false)
    QUELVRA_BOOL_PROP(FollowPunctuation, false)
    QUELVRA_BOOL_PROP(Leading, false)
    QUELVRA_BOOL_PROP(WordBreak, false)
    QUELVRA_INT_PROP(WrapByte, 80, 20, 250)
  public:
    const std::string& FollowStr() const { return FFollowStr; }
    void SetFollowStr(const std::string& V) { SetValue(FFollowStr, V); }
    const std::string& LeadStr() const { return FLeadStr; }
    void SetLeadStr(const std::string& V) { SetValue(FLeadStr, V); }
    const std::string& PunctuationStr() const { return FPunctuationStr; }
    void SetPunctuationStr(const std::string& V) { SetValue(FPunctuationStr, V); }
    void Assign(const TPersistent& Source) override;

  private:
    void CopyFrom(const TEditorWrapOption& S);
    std::string FFollowStr, FLeadStr, FPunctuationStr;
};

#undef QUELVRA_BOOL_PROP
#undef QUELVRA_INT_PROP
#undef QUELVRA_COLOR_PROP

} // namespace editor
