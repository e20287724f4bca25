// The RTF reader on any bytes: what it reads is at most twice its input (a byte of another
// code page can become a two-byte character), holds no control
// byte but tabs and CR LF line breaks, and is read back the same after the writer wrote it (a
// saved pane reloads to the same text).
#include "rtf.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string Text(const std::vector<rtf::Run>& runs) {
    std::string t;
    for (const rtf::Run& r : runs)
        t += r.text;
    return t;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "rtf: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto runs = rtf::Read(input);
    if (!runs) return 0;
    const std::string text = Text(*runs);
    if (text.size() > 2 * size || runs->size() > size) Fail("more text than input allows");
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (b < 0x20 && b != '\t') Fail("a control byte in the text");
    }
    const auto again = rtf::Read(rtf::Write(*runs));
    if (!again || Text(*again) != text) Fail("written and read again, the text differs");
    return 0;
}
