// A clipboard in memory: what was set last, and whether it was tagged as a box.
#pragma once

#include "clipboard.h"

#include <string>

namespace editor {

struct FakeClipboard : TEditorClipboard {
    std::string text;
    bool has = false, box = false;
    bool HasText() override { return has; }
    bool HasBox() override { return has && box; }
    std::string Text() override { return text; }
    void SetText(const std::string& S) override {
        text = S;
        has = true;
        box = false;
    }
    void SetBoxText(const std::string& S) override {
        text = S;
        has = true;
        box = true;
    }
};

} // namespace editor
