#include "editor_model.h"

namespace editor {

TEditorModel::TEditorModel(TComponent* Owner)
    : TComponent(Owner), FList(std::make_shared<TEditorScreenStrings>()),
      FLines(std::make_unique<TEditorStrings>(*this)) {
    FList->AddEditor(this);
    Route(FCaret);
    Route(FMarks);
    Route(FMargin);
    Route(FView);
    Route(FRuler);
    Route(FLeftbar);
    Route(FImagebar);
}

TEditorModel::~TEditorModel() {
    FDestroying = true;
    if (FFountain) FFountain->RemoveListener(MakeEvent<&TEditorModel::FountainChanged>(this));
    FList->RemoveEditor(this);
}

void TEditorModel::Route(TNotifyPersistent& Option) {
    Option.OnChange = MakeEvent<&TEditorModel::OptionChanged>(this);
}

void TEditorModel::ShareList(TEditorModel& Source) {
    if (Source.FList == FList) return;
    FList->RemoveEditor(this);
    FList = Source.FList; // the old list goes when its last editor has left
    FList->AddEditor(this);
    FCharOffsets.reset();
    ListShared();
}

TFountain* TEditorModel::ActiveFountain() {
    return FFountain ? FFountain : static_cast<TFountain*>(&FView.Fountain());
}

void TEditorModel::SetReserveWordList(const TStrings& V) {
    TStringList& own = ReserveWordList();
    if (own.Equals(V)) return;
    own.Assign(V);
    FList->ReparseAll();
    Invalidate();
}

void TEditorModel::SetFountain(TFountain* V) {
    if (V == FFountain) return;
    if (FFountain) FFountain->RemoveListener(MakeEvent<&TEditorModel::FountainChanged>(this));
    FFountain = V;
    if (FFountain) FFountain->AddListener(MakeEvent<&TEditorModel::FountainChanged>(this));
    FList->ReparseAll();
    Invalidate();
}

void TEditorModel::FountainDestroyed(TFountain* F) {
    if (F != FFountain || !F) return;
    F->RemoveListener(MakeEvent<&TEditorModel::FountainChanged>(this));
    FFountain = nullptr;
    Invalidate();
}

void TEditorModel::OptionChanged(TObject* Sender) {
    if (Sender == &FMarks) {
        FMargin.SetUnderlineGap(FMarks.Underline().Visible() ? 1 : 0);
    } else if (Sender == &FView || dynamic_cast<TFountain*>(Sender)) {
        FList->ReparseAll();
    }
    if (!HandleAllocated()) return;
    // A changed caret invalidates the recorded caret positions of the undo history.
    if (Sender == &FCaret) FList->UndoObj().Clear();
    OptionChangedView(Sender);
}

void TEditorModel::Loaded() {
    FLoading = false;
    FList->Loaded();
    FModified = false;
}

void TEditorModel::ListChanged(TEditorScreenStrings& L) {
    const TChangeRecord& c = L.ChangeRecord();
    std::optional<TTextEdit> edit;
    if (FCharOffsets) edit = FCharOffsets->Changed(c);
    ListChangedView(c);
    if (c.TextChanged) {
        FModified = true;
        TextChangedView(edit ? &*edit : nullptr);
        if (OnChange) OnChange(this);
    }
}

void TEditorModel::TextReplacing(int Index, int Count, std::string_view Text) {
    if (TextEditsWanted()) CharOffsets().Replacing(Index, Count, Text);
}

TCharOffsets& TEditorModel::CharOffsets() {
    if (!FCharOffsets) FCharOffsets = std::make_unique<TCharOffsets>(*FList);
    return *FCharOffsets;
}

int TEditorModel::CaretOffset() {
    return CharOffsets().OffsetOf(FCaretRow,
                                  FCaretRow < RowCount() ? ByteOfCol(FCaretRow, FCaretCol) : 0);
}

void TEditorModel::SetCaretPos(int Row, int Col) {
    FCaretRow = Row < 0 ? 0 : Row;
    FCaretCol = Col < 0 ? 0 : Col;
}

} // namespace editor
