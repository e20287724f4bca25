// Bracket removal against a plain reimplementation: split the text into characters first, then
// keep what lies outside every bracket pair.
#include "brackets.h"
#include "codec.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

TStripResult Plain(const std::string& text) {
    std::vector<std::string> chars;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t w =
            cp932::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        chars.push_back(text.substr(i, w));
        i += w;
    }
    std::string kept;
    int depth = 0;
    for (const std::string& c : chars) {
        const bool open = c == "(" || c == "\x81\x69";
        const bool close = c == ")" || c == "\x81\x6A";
        if (close && depth == 0)
            return {kept + c, TBracketFault::bfMissingOpen, MissingOpenBracketMessage()};
        if (open) ++depth;
        if (close) --depth;
        if (depth == 0 && !close) kept += c;
    }
    if (depth > 0) return {kept, TBracketFault::bfMissingClose, MissingCloseBracketMessage()};
    return {kept, TBracketFault::bfNone, ""};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TStripResult got = StripBracketsChecked(text);
    const TStripResult want = Plain(text);
    if (got.text != want.text || got.fault != want.fault || got.message != want.message) {
        std::fprintf(stderr, "bracket removal differs: %zu bytes kept, plainly %zu\n",
                     got.text.size(), want.text.size());
        std::abort();
    }
    return 0;
}
