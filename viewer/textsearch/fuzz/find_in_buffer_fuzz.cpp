// libFuzzer target: FindInBuffer against the plain restatement of its rules.
// Input: two bytes of options, a pattern length byte, a start and a length byte, the pattern,
// then the buffer.
#include "../tests/reference_search.h"
#include "textsearch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const auto options = static_cast<textsearch::TSearchOptions>(data[0] | data[1] << 8);
    const std::size_t patternLength = data[2] % 16;
    if (size < 5 + patternLength) return 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::string_view pattern(bytes + 5, patternLength);
    const std::string_view buffer(bytes + 5 + patternLength, size - 5 - patternLength);
    const std::int32_t start0 = data[3] % (buffer.size() + 2), length0 = data[4] % 8;

    std::int32_t start = start0, length = length0, refStart = start0, refLength = length0;
    const bool found = textsearch::FindInBuffer(buffer, start, length, pattern, options);
    const bool want = textsearch_reference::Find(buffer, refStart, refLength, pattern, options);
    if (found != want) std::abort();
    if (found) {
        if (start != refStart || length != refLength) std::abort();
        if (start < 0 || length <= 0 || static_cast<std::size_t>(start + length) > buffer.size())
            std::abort();
    }
    return 0;
}
