// A focused model with a view of 10 rows by 40 columns; columns 8 pixels wide from x = 20,
// rows 16 pixels high from y = 2. Shared by the tests of input and of the editor's messages.
#pragma once

#include "editor_model.h"

#include <utility>

namespace editor {

struct GridModel : TEditorModel {
    GridModel() {
        TEditorMetrics& m = MutableMetrics();
        m.ColWidth = 8;
        m.RowHeight = 16;
        m.TopMargin = 2;
        m.LeftMargin = 20;
        m.VisibleRowCount = 10;
        m.VisibleColCount = 40;
    }
    bool Focused() const override { return true; }
    bool HandleAllocated() const override { return true; }
    std::pair<int, int> At() const { return {Row(), Col()}; }
};

} // namespace editor
