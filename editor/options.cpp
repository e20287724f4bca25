#include "options.h"

#include "codec.h"

namespace editor {

int ClampInt(int V, int Lo, int Hi) {
    return V < Lo ? Lo : (V > Hi ? Hi : V);
}

TEditorCursors::TEditorCursors()
    : FDefault(crIBeam), FDragSel(crDrag), FDragSelCopy(crDragSelCopy()), FInSel(crDefault),
      FLeftMargin(crRightArrow()), FTopMargin(crDefault) {}

void TEditorCursors::CopyFrom(const TEditorCursors& S) {
    SetDefaultCursor(S.FDefault);
    SetDragSelCursor(S.FDragSel);
    SetDragSelCopyCursor(S.FDragSelCopy);
    SetInSelCursor(S.FInSel);
    SetLeftMarginCursor(S.FLeftMargin);
    SetTopMarginCursor(S.FTopMargin);
}

// An Assign ends with exactly one report even when nothing differed.
#define QUELVRA_ASSIGN(Class)                                                                      \
    void Class::Assign(const TPersistent& Source) {                                                \
        if (!AssignSame<Class>(Source, &Class::CopyFrom)) TPersistent::Assign(Source);             \
    }

QUELVRA_ASSIGN(TEditorCursors)

TEditorCaret::TEditorCaret() {
    FCursors.OnChange = MakeEvent<&TEditorCaret::ChildChanged>(this);
}

void TEditorCaret::CopyFrom(const TEditorCaret& S) {
    SetAutoCursor(S.FAutoCursor);
    SetAutoIndent(S.FAutoIndent);
    SetBackSpaceUnIndent(S.FBackSpaceUnIndent);
    SetFreeCaret(S.FFreeCaret);
    SetFreeRow(S.FFreeRow);
    SetInTab(S.FInTab);
    SetKeepCaret(S.FKeepCaret);
    SetLockScroll(S.FLockScroll);
    SetNextLine(S.FNextLine);
    SetPrevSpaceIndent(S.FPrevSpaceIndent);
    SetRowSelect(S.FRowSelect);
    SetSelMove(S.FSelMove);
    SetSoftTab(S.FSoftTab);
    SetTabIndent(S.FTabIndent);
    FCursors.Assign(S.FCursors);
    SetSelDragMode(S.FSelDragMode);
    SetStyle(S.FStyle);
    SetTabSpaceCount(S.FTabSpaceCount);
}
QUELVRA_ASSIGN(TEditorCaret)

void TEditorMargin::CopyFrom(const TEditorMargin& S) {
    SetCharacter(S.FCharacter);
    SetLeft(S.FLeft);
    SetLine(S.FLine);
    SetTop(S.FTop);
    SetUnderlineGap(S.FUnderlineGap);
}
QUELVRA_ASSIGN(TEditorMargin)

void TEditorMark::CopyFrom(const TEditorMark& S) {
    SetColor(S.FColor);
    SetVisible(S.FVisible);
}
QUELVRA_ASSIGN(TEditorMark)

TEditorMarks::TEditorMarks() {
    for (auto& m : FMarks)
        m.OnChange = MakeEvent<&TEditorMarks::ChildChanged>(this);
}

void TEditorMarks::CopyFrom(const TEditorMarks& S) {
    for (int i = 0; i < 5; ++i)
        FMarks[i].Assign(S.FMarks[i]);
}
QUELVRA_ASSIGN(TEditorMarks)

TEditorViewInfo::TEditorViewInfo() : FFountain(std::make_unique<TEditorFountain>()) {
    FFountain->AddListener(MakeEvent<&TEditorViewInfo::FountainChanged>(this));
}

TEditorViewInfo::~TEditorViewInfo() {
    FFountain->RemoveListener(MakeEvent<&TEditorViewInfo::FountainChanged>(this));
}

void TEditorViewInfo::Assign(const TPersistent& Source) {
    auto* s = dynamic_cast<const TEditorViewInfo*>(&Source);
    if (!s) return TPersistent::Assign(Source);
    BeginUpdate();
    FFountain->Assign(*s->FFountain);
    EndUpdate();
}

void TEditorRuler::CopyFrom(const TEditorRuler& S) {
    SetBkColor(S.FBkColor);
    SetColor(S.FColor);
    SetEdge(S.FEdge);
    SetMarkColor(S.FMarkColor);
    SetVisible(S.FVisible);
    SetGaugeRange(S.FGaugeRange);
}
QUELVRA_ASSIGN(TEditorRuler)

void TEditorLeftbar::CopyFrom(const TEditorLeftbar& S) {
    SetBkColor(S.FBkColor);
    SetColor(S.FColor);
    SetColumn(S.FColumn);
    SetEdge(S.FEdge);
    SetLeftMargin(S.FLeftMargin);
    SetRightMargin(S.FRightMargin);
    SetShowNumber(S.FShowNumber);
    SetVisible(S.FVisible);
    SetZeroBase(S.FZeroBase);
    SetZeroLead(S.FZeroLead);
    SetShowNumberMode(S.FShowNumberMode);
}
QUELVRA_ASSIGN(TEditorLeftbar)

void TEditorImagebar::CopyFrom(const TEditorImagebar& S) {
    SetDigitWidth(S.FDigitWidth);
    SetLeftMargin(S.FLeftMargin);
    SetMarkWidth(S.FMarkWidth);
    SetRightMargin(S.FRightMargin);
    SetVisible(S.FVisible);
}
QUELVRA_ASSIGN(TEditorImagebar)

void TEditorSpeed::Assign(const TPersistent& Source) {
    auto* s = dynamic_cast<const TEditorSpeed*>(&Source);
    if (!s) return TPersistent::Assign(Source);
    FCaretVerticalAc = s->FCaretVerticalAc;
    FPageVerticalRange = s->FPageVerticalRange;
    FPageVerticalRangeAc = s->FPageVerticalRangeAc;
    InitBracketsFull = s->InitBracketsFull;
}

TEditorWrapOption::TEditorWrapOption()
    : FFollowStr(cp932::FromUtf8("、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ")),
      FLeadStr(cp932::FromUtf8("（［｛「『([{｢")),
      FPunctuationStr(cp932::FromUtf8("、。，．,.｡､")) {}

void TEditorWrapOption::CopyFrom(const TEditorWrapOption& S) {
    SetFollowRetMark(S.FFollowRetMark);
    SetFollowPunctuation(S.FFollowPunctuation);
    SetLeading(S.FLeading);
    SetWordBreak(S.FWordBreak);
    SetWrapByte(S.FWrapByte);
    SetFollowStr(S.FFollowStr);
    SetLeadStr(S.FLeadStr);
    SetPunctuationStr(S.FPunctuationStr);
}
QUELVRA_ASSIGN(TEditorWrapOption)

} // namespace editor
