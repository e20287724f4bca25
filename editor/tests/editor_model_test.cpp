#include "editor_model.h"

#include "codec.h"

#include <gtest/gtest.h>

namespace editor {
namespace {

// The model with a window and counters where the widget would work.
struct Model : TEditorModel {
    bool window = true;
    int optionViews = 0, invalidates = 0, rewraps = 0, shared = 0, listViews = 0;
    bool HandleAllocated() const override { return window; }
    void OptionChangedView(TObject*) override { ++optionViews; }
    void ListChangedView(const TChangeRecord&) override { ++listViews; }
    void Invalidate() override { ++invalidates; }
    void Rewrapped() override { ++rewraps; }
    void ListShared() override { ++shared; }
    int ScreenHeight() const override { return 100 * 15; }
    int RowHeight() const override { return 15; }
};

struct Counter {
    int calls = 0;
    void On(TObject*) { ++calls; }
};

TEST(EditorModel, OptionChangesReparseAndEmptyUndoWhereTheyShould) {
    Model m;
    m.List().LoadText("a (b\r\nc) d\r\ne");
    EXPECT_EQ(m.List().Bracket(1), -1);
    // A change of the view re-parses every row. (Setting the bracket strings reports nothing;
    // the colour does.)
    auto* b = m.View().Brackets().Add();
    b->LeftBracket = "(";
    b->RightBracket = ")";
    EXPECT_EQ(m.List().Bracket(1), -1);
    b->ItemColor().SetColor(clRed);
    EXPECT_EQ(m.List().Bracket(1), 0);
    EXPECT_EQ(m.List().Bracket(2), -1);

    // The underline adds its pixel to the margin.
    m.Marks().Underline().SetVisible(true);
    EXPECT_EQ(m.Margin().UnderlineGap(), 1);
    m.Marks().Underline().SetVisible(false);
    EXPECT_EQ(m.Margin().UnderlineGap(), 0);

    // Assigning caret options empties the undo history; other options do not.
    m.List().ReplaceRows(2, 1, "x");
    ASSERT_FALSE(m.List().UndoObj().UndoList().empty());
    m.Ruler().SetVisible(true);
    EXPECT_FALSE(m.List().UndoObj().UndoList().empty());
    TEditorCaret c;
    c.SetTabSpaceCount(4);
    int views = m.optionViews;
    m.SetCaret(c);
    EXPECT_TRUE(m.List().UndoObj().UndoList().empty());
    EXPECT_EQ(m.TabSpaceCount(), 4);
    EXPECT_EQ(m.optionViews, views + 1);
    // Without a window the view is not touched and the history stays.
    m.window = false;
    m.List().ReplaceRows(2, 1, "y");
    c.SetTabSpaceCount(6);
    m.SetCaret(c);
    EXPECT_FALSE(m.List().UndoObj().UndoList().empty());
    EXPECT_EQ(m.optionViews, views + 1);

    m.SetUndoListMax(10);
    EXPECT_EQ(m.UndoListMax(), 64);
    m.SetUndoListMax(100);
    EXPECT_EQ(m.UndoListMax(), 100);
}

TEST(EditorModel, ReserveWordsAndTheOutsideFountain) {
    Model m;
    m.List().LoadText("x");
    TStringList words;
    words.Add("begin");
    m.SetReserveWordList(words);
    EXPECT_EQ(m.invalidates, 1);
    m.SetReserveWordList(words); // the same strings: nothing
    EXPECT_EQ(m.invalidates, 1);
    EXPECT_EQ(m.ReserveWordList().IndexOf("BEGIN"), 0);

    EXPECT_EQ(m.ActiveFountain(), &m.View().Fountain());
    {
        TEditorFountain outside;
        m.SetFountain(&outside);
        EXPECT_EQ(m.ActiveFountain(), &outside);
        m.List().LoadText("a [b\r\nc");
        auto* b = outside.Brackets().Add();
        b->LeftBracket = "[";
        b->RightBracket = "]";
        b->ItemColor().SetStyle(fsBold); // reported to the editor: rows re-parsed
        EXPECT_EQ(m.List().Bracket(1), 0);
        m.FountainDestroyed(&outside);
        EXPECT_EQ(m.Fountain(), nullptr);
    }
    EXPECT_EQ(m.ActiveFountain(), &m.View().Fountain());
    // A model that goes away first leaves the fountain's listeners clean.
    TEditorFountain outside;
    {
        Model gone;
        gone.SetFountain(&outside);
        EXPECT_EQ(outside.NotifyEventList().ListenerCount(), 1);
    }
    EXPECT_EQ(outside.NotifyEventList().ListenerCount(), 0);
    outside.SetMail(true);
}

TEST(EditorModel, WrapChangesWaitForLoadingAndReachEverySharingEditor) {
    Model a;
    a.BeginLoading();
    a.SetWordWrap(true);
    a.WrapOption().SetWrapByte(10); // stored as 20, nothing re-wrapped while loading
    EXPECT_EQ(a.WrapOption().WrapByte(), 20);
    a.List().LoadText(std::string(30, 'x') + "\r\ny");
    EXPECT_EQ(a.List().Count(), 3) << "rows cut by the stored settings";
    EXPECT_EQ(a.rewraps, 0);
    a.Loaded();
    EXPECT_FALSE(a.Modified());
    EXPECT_TRUE(a.List().Parsed(0));

    Model b;
    Counter changes;
    b.OnChange = MakeEvent<&Counter::On>(&changes);
    b.ShareList(a);
    EXPECT_EQ(b.shared, 1);
    EXPECT_EQ(&b.List(), &a.List());
    EXPECT_TRUE(b.WordWrap());
    a.List().ReplaceRows(2, 1, "z");
    EXPECT_TRUE(b.Modified());
    EXPECT_EQ(changes.calls, 1);
    EXPECT_GE(b.listViews, 1);
    a.WrapOption().SetWrapByte(25);
    EXPECT_EQ(a.rewraps, 1);
    EXPECT_EQ(b.rewraps, 1);
    a.WrapOption().SetWrapByte(25);
    EXPECT_EQ(a.rewraps, 1);
    EXPECT_EQ(a.List().Text(), std::string(30, 'x') + "\r\nz");
    b.SetWordWrap(false);
    EXPECT_EQ(a.List().Count(), 2);
}

TEST(EditorModel, MeasuresWithItsTabStopsAndWrapWidth) {
    Model m;
    const std::string t = std::string(17, 'a') + "\tb";
    EXPECT_EQ(m.StrWidth(t), 25);
    EXPECT_EQ(m.ExpandTab("a\tb"), "a       b");
    m.Caret().SetTabSpaceCount(4);
    EXPECT_EQ(m.StrWidth(t), 21);
    EXPECT_EQ(m.ExpandTab("a\tb"), "a   b");
    EXPECT_EQ(m.ColumnMap("a\tb"), "12331");
    // With wrapping on, a tab is narrowed at the wrap column.
    m.WrapOption().SetWrapByte(20);
    m.SetWordWrap(true);
    m.Caret().SetTabSpaceCount(8);
    EXPECT_EQ(m.StrWidth(t), 21);
    EXPECT_EQ(m.ColumnMap(t), std::string(17, '1') + "2331");
}

TEST(EditorModel, TheListOutlivesItsFirstEditor) {
    auto a = std::make_unique<Model>();
    Model b;
    a->List().LoadText("kept");
    b.ShareList(*a);
    a.reset();
    EXPECT_EQ(b.List().EditorCount(), 1);
    EXPECT_EQ(b.List().Text(), "kept");
    b.List().ReplaceRows(0, 1, "still");
    EXPECT_EQ(b.List().Text(), "still");
}

} // namespace
} // namespace editor
