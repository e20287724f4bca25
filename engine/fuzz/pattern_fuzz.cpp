// Pattern compilation, with and without the equivalence dictionary: any byte string either
// compiles or is rejected with ERegExpParser (never another exception, a crash or unbounded
// work), and a rejected pattern leaves the grep usable.
#include "errors.h"
#include "grep.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // Kept from input to input, as the window keeps its grep: the cache is exercised too.
    static engine::TGrep grep;
    const bool dictionary = data[0] & 1;
    const std::string pattern(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        grep.SetUseFuzzyCharDic(dictionary);
    } catch (const engine::ERegExpParser&) {
        // The previous pattern may be too large once widened; the flag is still taken.
    }
    try {
        grep.SetRegExp(pattern);
        if (grep.RegExp() != pattern) std::abort();
    } catch (const engine::ERegExpParser& e) {
        if (e.Position() < 1) std::abort();
        grep.SetRegExp("x"); // the component stays usable
    }
    return 0;
}
