#include "qtext.h"

#include "codec.h"

#include <vector>

namespace app {

QString ToQ(std::string_view sjis) {
    return QString::fromStdString(cp932::ToUtf8(sjis));
}

std::string FromQ(const QString& text) {
    return cp932::FromUtf16Lossy(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
}

const char16_t* Cp932Table() {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(65536, u'\uFFFD');
        auto one = [](const std::string& bytes) {
            QString q = QString::fromStdString(cp932::ToUtf8(bytes));
            return q.size() == 1 ? static_cast<char16_t>(q.at(0).unicode()) : u'\uFFFD';
        };
        for (int b = 0; b < 256; ++b)
            if (!cp932::IsLeadByte(static_cast<unsigned char>(b)))
                t[b] = one(std::string(1, static_cast<char>(b)));
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!cp932::IsLeadByte(static_cast<unsigned char>(lead))) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail)
                if (cp932::IsTrailByte(static_cast<unsigned char>(trail)))
                    t[lead * 256 + trail] =
                        one(std::string{static_cast<char>(lead), static_cast<char>(trail)});
        }
        return t;
    }();
    return table.data();
}

QString PathToQ(std::string_view sjisPath) {
    return QString::fromStdString(cp932::PathToNative(sjisPath));
}

} // namespace app
