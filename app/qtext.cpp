#include "qtext.h"

#include "codec.h"

namespace app {

QString ToQ(std::string_view sjis) {
    return QString::fromStdString(cp932::ToUtf8(sjis));
}

std::string FromQ(const QString& text) {
    return cp932::FromUtf16Lossy(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
}

QString PathToQ(std::string_view sjisPath) {
    return QString::fromStdString(cp932::PathToNative(sjisPath));
}

} // namespace app
