#include "platform_clipboard.h"

#include "platform.h"

namespace editor {

bool TPlatformClipboard::HasText() {
    return app::platform().ClipboardHasText();
}
bool TPlatformClipboard::HasBox() {
    return app::platform().ClipboardHasBox();
}
std::string TPlatformClipboard::Text() {
    return app::platform().ClipboardText();
}
void TPlatformClipboard::SetText(const std::string& S) {
    app::platform().SetClipboardText(S);
}
void TPlatformClipboard::SetBoxText(const std::string& S) {
    app::platform().SetClipboardBox(S);
}

} // namespace editor
