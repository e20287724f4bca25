// The Qt-free core of the text editor control: its option objects, its place in a (possibly
// shared) row list, the outside tokenizer, and the routing of option changes to what the model
// recomputes (re-parse, re-wrap, emptied undo lists). The widget derives from it and supplies
// the view side through the hooks.
#pragma once

#include "options.h"
#include "screen_rows.h"

#include <memory>

namespace editor {

class TEditorModel : public TComponent, public TEditorClient {
  public:
    explicit TEditorModel(TComponent* Owner = nullptr);
    ~TEditorModel() override;
    const char* ClassName() const override { return "TEditorModel"; }

    TEditorScreenStrings& List() { return *FList; }
    // Leaves the own row list (freed when no editor is left) and shows Source's.
    void ShareList(TEditorModel& Source);

    TEditorCaret& Caret() { return FCaret; }
    void SetCaret(const TEditorCaret& V) { FCaret.Assign(V); }
    TEditorMarks& Marks() { return FMarks; }
    void SetMarks(const TEditorMarks& V) { FMarks.Assign(V); }
    TEditorMargin& Margin() { return FMargin; }
    void SetMargin(const TEditorMargin& V) { FMargin.Assign(V); }
    TEditorViewInfo& View() { return FView; }
    void SetView(const TEditorViewInfo& V) { FView.Assign(V); }
    TEditorRuler& Ruler() { return FRuler; }
    void SetRuler(const TEditorRuler& V) { FRuler.Assign(V); }
    TEditorLeftbar& Leftbar() { return FLeftbar; }
    void SetLeftbar(const TEditorLeftbar& V) { FLeftbar.Assign(V); }
    TEditorImagebar& Imagebar() { return FImagebar; }
    void SetImagebar(const TEditorImagebar& V) { FImagebar.Assign(V); }
    TEditorSpeed& Speed() { return FSpeed; }
    void SetSpeed(const TEditorSpeed& V) { FSpeed.Assign(V); }
    TEditorWrapOption& WrapOption() { return FList->WrapOption(); }
    void SetWrapOption(const TEditorWrapOption& V) { FList->WrapOption().Assign(V); }
    bool WordWrap() const { return FList->WordWrap(); }
    void SetWordWrap(bool V) { FList->SetWordWrap(V); }
    int UndoListMax() const { return FList->UndoObj().ListMax(); }
    void SetUndoListMax(int V) { FList->UndoObj().SetListMax(V); }
    TStringList& ReserveWordList() { return FView.Fountain().ReserveWordList(); }
    // Nothing happens for the same strings; else they are copied and every row re-parsed.
    void SetReserveWordList(const TStrings& V);
    // An outside tokenizer used instead of the view's own; null for none.
    TFountain* Fountain() const { return FFountain; }
    void SetFountain(TFountain* V);
    // The outside tokenizer is being destroyed: forget it.
    void FountainDestroyed(TFountain* F);

    // Measuring with the editor's tab stops and wrap settings.
    TColumnMetrics ColumnMetrics() const {
        return {FCaret.TabSpaceCount(), FList->WordWrap(), FList->WrapOption().WrapByte()};
    }
    std::string ColumnMap(std::string_view S) const {
        return editor::ColumnMap(S, ColumnMetrics());
    }
    int StrWidth(std::string_view S) const { return editor::StrWidth(S, ColumnMetrics()); }
    std::string ExpandTab(std::string_view S) const {
        return editor::ExpandTab(S, ColumnMetrics());
    }

    bool Modified() const { return FModified; }
    void SetModified(bool V) { FModified = V; }
    TNotifyEvent OnChange;

    // The editor's reaction to a change of one of its option objects or of the outside fountain.
    void OptionChanged(TObject* Sender);

    // Reading stored settings: wrap changes wait until Loaded, which wraps and parses once.
    void BeginLoading() { FLoading = true; }
    void Loaded();

    // TEditorClient
    void ListChanged(TEditorScreenStrings& L) override;
    int CaretRow() const override { return FCaretRow; }
    int CaretCol() const override { return FCaretCol; }
    void SetCaretPos(int Row, int Col) override;
    int TopRow() const override { return FTopRow; }
    void SetTopRow(int Row) override { FTopRow = Row; }
    bool Loading() const override { return FLoading; }
    bool Destroying() const override { return FDestroying; }
    int TabSpaceCount() const override { return FCaret.TabSpaceCount(); }
    bool InitBracketsFull() const override { return FSpeed.InitBracketsFull; }
    TFountain* ActiveFountain() override;

  protected:
    // The view side, supplied by the widget.
    // Whether the window exists (option changes stop short of the view without it).
    virtual bool HandleAllocated() const { return false; }
    // Metrics, scroll bars, bar and ruler images, repaint, and the caret (rebuilt after a change
    // of the caret options, else scrolled into view).
    virtual void OptionChangedView(TObject*) {}
    // Repaint from the change record and update the scroll bars.
    virtual void ListChangedView(const TChangeRecord&) {}
    virtual void Invalidate() {}
    // After ShareList: metrics, scroll bars, margin background, repaint.
    virtual void ListShared() {}

  private:
    void FountainChanged(TObject* Sender) { OptionChanged(Sender); }
    void Route(TNotifyPersistent& Option);

    std::shared_ptr<TEditorScreenStrings> FList;
    TEditorCaret FCaret;
    TEditorMarks FMarks;
    TEditorMargin FMargin;
    TEditorViewInfo FView;
    TEditorRuler FRuler;
    TEditorLeftbar FLeftbar;
    TEditorImagebar FImagebar;
    TEditorSpeed FSpeed;
    TFountain* FFountain = nullptr;
    bool FModified = false;
    bool FLoading = false;
    bool FDestroying = false;
    int FCaretRow = 0;
    int FCaretCol = 0;
    int FTopRow = 0;
};

} // namespace editor
