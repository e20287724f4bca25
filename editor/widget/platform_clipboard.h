// The desktop's clipboard as the editor sees it, reached through the platform layer.
#pragma once

#include "clipboard.h"

namespace editor {

class TPlatformClipboard : public TEditorClipboard {
  public:
    bool HasText() override;
    bool HasBox() override;
    std::string Text() override;
    void SetText(const std::string& S) override;
    void SetBoxText(const std::string& S) override;
};

} // namespace editor
