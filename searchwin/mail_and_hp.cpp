// TMailAndHP.
#include "mail_and_hp.h"

#include "platform.h"

#include <cctype>
#include <cstring>

namespace {

bool IsHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::string TMailAndHP::EncodeAddress(const std::string& address) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(address.size() * 3);
    for (size_t i = 0; i < address.size(); ++i) {
        const auto b = static_cast<unsigned char>(address[i]);
        const bool escapeStart =
            b == '%' && i + 2 < address.size() && IsHex(address[i + 1]) && IsHex(address[i + 2]);
        const bool plain =
            b > 0x20 && b < 0x7F && !std::strchr("\"<>\\^`{|}[]#", b) && (b != '%' || escapeStart);
        if (plain) {
            out += static_cast<char>(b);
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

void TMailAndHP::OpenHomePage() {
    Opened = app::platform().ShellOpen(EncodeAddress(HomePageAddress));
}
