// The clipboard as the editor sees it: Shift-JIS text, which may be tagged as a box. The widget
// reaches the desktop's clipboard through the platform layer; tests put a small double in its
// place, so that copying and pasting are tested without a display.
#pragma once

#include <string>

namespace editor {

class TEditorClipboard {
  public:
    virtual ~TEditorClipboard() = default;
    virtual bool HasText() = 0;
    virtual bool HasBox() = 0;
    virtual std::string Text() = 0;
    // Plain text; any box tag goes.
    virtual void SetText(const std::string& S) = 0;
    // The same text both as plain text and under the box format.
    virtual void SetBoxText(const std::string& S) = 0;
};

} // namespace editor
