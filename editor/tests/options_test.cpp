#include "options.h"

#include "codec.h"

#include <gtest/gtest.h>

namespace editor {
namespace {

struct Counter {
    int calls = 0;
    TObject* sender = nullptr;
    void On(TObject* s) {
        ++calls;
        sender = s;
    }
};

TEST(Options, ClampedValues) {
    struct Case {
        const char* name;
        std::function<int(int)> setGet;
        int in, stored;
    };
    TEditorCaret caret;
    TEditorRuler ruler;
    TEditorWrapOption wrap;
    TEditorLeftbar leftbar;
    TEditorMargin margin;
    TEditorSpeed speed;
    auto tab = [&](int v) {
        caret.SetTabSpaceCount(v);
        return caret.TabSpaceCount();
    };
    auto gauge = [&](int v) {
        ruler.SetGaugeRange(v);
        return ruler.GaugeRange();
    };
    auto wrapByte = [&](int v) {
        wrap.SetWrapByte(v);
        return wrap.WrapByte();
    };
    auto column = [&](int v) {
        leftbar.SetColumn(v);
        return leftbar.Column();
    };
    auto left = [&](int v) {
        margin.SetLeft(v);
        return margin.Left();
    };
    auto speedAc = [&](int v) {
        speed.SetCaretVerticalAc(v);
        return speed.CaretVerticalAc();
    };
    const Case cases[] = {
        {"TabSpaceCount", tab, 5, 4},     {"TabSpaceCount", tab, 1, 2},
        {"TabSpaceCount", tab, 3, 2},     {"TabSpaceCount", tab, 9, 8},
        {"TabSpaceCount", tab, 20, 8},    {"TabSpaceCount", tab, 6, 6},
        {"GaugeRange", gauge, 9, 8},      {"GaugeRange", gauge, 12, 10},
        {"GaugeRange", gauge, 0, 8},      {"WrapByte", wrapByte, 10, 20},
        {"WrapByte", wrapByte, 300, 250}, {"WrapByte", wrapByte, 84, 84},
        {"Column", column, 0, 1},         {"Column", column, 12, 8},
        {"Margin.Left", left, -5, 0},     {"Margin.Left", left, 101, 100},
        {"Speed", speedAc, 0, 1},         {"Speed", speedAc, 9, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.setGet(c.in), c.stored) << c.name << " " << c.in;
}

TEST(Options, DefaultsOfTheWrapOptions) {
    TEditorWrapOption o;
    EXPECT_EQ(o.WrapByte(), 80);
    EXPECT_FALSE(o.WordBreak() || o.Leading() || o.FollowPunctuation() || o.FollowRetMark());
    EXPECT_EQ(cp932::ToUtf8(o.LeadStr()), "（［｛「『([{｢");
    EXPECT_EQ(cp932::ToUtf8(o.PunctuationStr()), "、。，．,.｡､");
    EXPECT_EQ(cp932::ToUtf8(o.FollowStr()),
              "、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ");
    TEditorCaret c;
    EXPECT_EQ(c.TabSpaceCount(), 8);
    EXPECT_TRUE(c.AutoIndent() && c.FreeCaret() && c.RowSelect() && c.SelMove());
    EXPECT_EQ(c.Cursors().DefaultCursor(), crIBeam);
    EXPECT_EQ(c.Cursors().LeftMarginCursor(), crRightArrow());
    TEditorImagebar ib;
    EXPECT_EQ(ib.Width(), 12);
    ib.SetVisible(false);
    EXPECT_EQ(ib.Width(), 0);
}

TEST(Options, DefaultsOfTheBarsMarginsMarksAndSpeeds) {
    TEditorMargin margin;
    TEditorMark mark;
    TEditorRuler ruler;
    TEditorLeftbar leftbar;
    TEditorImagebar imagebar;
    TEditorSpeed speed;
    TEditorCaret caret;
    TEditorCursors& cursors = caret.Cursors();
    struct Case {
        const char* name;
        long value, expected;
    };
    const Case cases[] = {
        {"Margin.Character", margin.Character(), 0},
        {"Margin.Left", margin.Left(), 19},
        {"Margin.Line", margin.Line(), 0},
        {"Margin.Top", margin.Top(), 2},
        {"Margin.UnderlineGap", margin.UnderlineGap(), 0},
        {"Mark.Color", mark.Color(), clGray},
        {"Mark.Visible", mark.Visible(), false},
        {"Ruler.BkColor", ruler.BkColor(), clSilver},
        {"Ruler.Color", ruler.Color(), clBlack},
        {"Ruler.Edge", ruler.Edge(), true},
        {"Ruler.GaugeRange", ruler.GaugeRange(), 10},
        {"Ruler.MarkColor", ruler.MarkColor(), clBlack},
        {"Ruler.Visible", ruler.Visible(), false},
        {"Leftbar.BkColor", leftbar.BkColor(), clSilver},
        {"Leftbar.Color", leftbar.Color(), clBlack},
        {"Leftbar.Column", leftbar.Column(), 4},
        {"Leftbar.Edge", leftbar.Edge(), true},
        {"Leftbar.LeftMargin", leftbar.LeftMargin(), 8},
        {"Leftbar.RightMargin", leftbar.RightMargin(), 4},
        {"Leftbar.ShowNumber", leftbar.ShowNumber(), true},
        {"Leftbar.ShowNumberMode", leftbar.ShowNumberMode(), nmRow},
        {"Leftbar.Visible", leftbar.Visible(), false},
        {"Leftbar.ZeroBase", leftbar.ZeroBase(), false},
        {"Leftbar.ZeroLead", leftbar.ZeroLead(), false},
        {"Imagebar.DigitWidth", imagebar.DigitWidth(), 8},
        {"Imagebar.LeftMargin", imagebar.LeftMargin(), 2},
        {"Imagebar.MarkWidth", imagebar.MarkWidth(), 0},
        {"Imagebar.RightMargin", imagebar.RightMargin(), 2},
        {"Imagebar.Visible", imagebar.Visible(), true},
        {"Speed.CaretVerticalAc", speed.CaretVerticalAc(), 2},
        {"Speed.PageVerticalRange", speed.PageVerticalRange(), 2},
        {"Speed.PageVerticalRangeAc", speed.PageVerticalRangeAc(), 2},
        {"Speed.InitBracketsFull", speed.InitBracketsFull, false},
        {"Caret.AutoCursor", caret.AutoCursor(), true},
        {"Caret.BackSpaceUnIndent", caret.BackSpaceUnIndent(), true},
        {"Caret.FreeRow", caret.FreeRow(), false},
        {"Caret.InTab", caret.InTab(), false},
        {"Caret.KeepCaret", caret.KeepCaret(), false},
        {"Caret.LockScroll", caret.LockScroll(), false},
        {"Caret.NextLine", caret.NextLine(), false},
        {"Caret.PrevSpaceIndent", caret.PrevSpaceIndent(), false},
        {"Caret.SelDragMode", caret.SelDragMode(), dmAutomatic},
        {"Caret.SoftTab", caret.SoftTab(), false},
        {"Caret.Style", caret.Style(), csDefault},
        {"Caret.TabIndent", caret.TabIndent(), false},
        {"Cursors.DefaultCursor", cursors.DefaultCursor(), crIBeam},
        {"Cursors.DragSelCursor", cursors.DragSelCursor(), crDrag},
        {"Cursors.DragSelCopyCursor", cursors.DragSelCopyCursor(), crDragSelCopy()},
        {"Cursors.InSelCursor", cursors.InSelCursor(), crDefault},
        {"Cursors.LeftMarginCursor", cursors.LeftMarginCursor(), crRightArrow()},
        {"Cursors.TopMarginCursor", cursors.TopMarginCursor(), crDefault},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value, c.expected) << c.name;
    // The speeds are plain values: no change report, and Assign copies all four.
    TEditorSpeed other;
    other.SetPageVerticalRange(4);
    other.InitBracketsFull = true;
    speed.Assign(other);
    EXPECT_EQ(speed.PageVerticalRange(), 4);
    EXPECT_TRUE(speed.InitBracketsFull);
    EXPECT_THROW(speed.Assign(margin), EConvertError);
}

TEST(Options, SettersReportRealChangesAndAssignReportsOnce) {
    TEditorWrapOption o;
    Counter c;
    o.OnChange = MakeEvent<&Counter::On>(&c);
    o.SetWrapByte(80); // unchanged
    o.SetWrapByte(10); // stored as 20
    o.SetWrapByte(5);  // also 20: no change
    EXPECT_EQ(c.calls, 1);
    TEditorWrapOption other;
    other.SetWrapByte(40);
    other.SetLeading(true);
    other.SetWordBreak(true);
    o.Assign(other);
    EXPECT_EQ(c.calls, 2);
    EXPECT_EQ(o.WrapByte(), 40);
    EXPECT_TRUE(o.Leading());
    o.Assign(other); // nothing differs, still one report
    EXPECT_EQ(c.calls, 3);
    TEditorCaret caret;
    EXPECT_THROW(o.Assign(caret), EConvertError);
    EXPECT_EQ(c.calls, 3);
}

TEST(Options, SubObjectsReportThroughTheirOwner) {
    TEditorMarks marks;
    Counter c;
    marks.OnChange = MakeEvent<&Counter::On>(&c);
    marks.Underline().SetVisible(true);
    EXPECT_EQ(c.calls, 1);
    EXPECT_EQ(c.sender, &marks);
    TEditorMarks other;
    other.EofMark().SetColor(clRed);
    other.RetMark().SetVisible(true);
    marks.Assign(other);
    EXPECT_EQ(c.calls, 2);
    EXPECT_EQ(marks.EofMark().Color(), clRed);
    EXPECT_FALSE(marks.Underline().Visible());

    TEditorCaret caret;
    Counter cc;
    caret.OnChange = MakeEvent<&Counter::On>(&cc);
    caret.Cursors().SetInSelCursor(crArrow);
    EXPECT_EQ(cc.calls, 1);
    EXPECT_EQ(cc.sender, &caret);

    TEditorViewInfo view;
    Counter vc;
    view.OnChange = MakeEvent<&Counter::On>(&vc);
    view.Colors().Int().SetColor(clRed);
    view.Brackets().Add();
    view.SetQuotation("'\"x");
    EXPECT_EQ(vc.calls, 3);
    EXPECT_EQ(vc.sender, &view);
    EXPECT_EQ(view.Quotation(), "'");
    view.SetQuotation("");
    EXPECT_EQ(view.Quotation(), "");
    view.SetQuotation(cp932::FromUtf8("「」"));
    EXPECT_EQ(view.Quotation(), cp932::FromUtf8("「"));
    TEditorViewInfo other2;
    other2.SetMail(true);
    other2.Brackets().Add()->LeftBracket = "(";
    int before = vc.calls;
    view.Assign(other2);
    EXPECT_EQ(vc.calls, before + 1);
    EXPECT_TRUE(view.Mail());
    EXPECT_EQ(view.Brackets().Count(), 1);
}

} // namespace
} // namespace editor
