// The fast search against the reference routines: for a fuzzed pattern and file both report
// the same lines with the same numbers.
#include "errors.h"
#include "fuzz_file.h"
#include "grep.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using Hits = std::vector<std::pair<std::int32_t, std::string>>;

Hits Run(engine::TGrep& grep, const std::string& path, bool reference) {
    Hits hits;
    grep.UseReference = reference;
    grep.OnMatch = [&](engine::TGrep&, engine::RE_LineInfo_t info) {
        hits.emplace_back(info.LineNo, std::move(info.Line));
    };
    grep.Grep(path);
    return hits;
}

} // namespace

// Input: a flag byte (bit 0: the dictionary), the pattern up to the first byte 0xFF, then
// the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::ScratchRemover remover;
    if (size == 0) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = rest.find('\xFF');
    if (cut == std::string::npos) return 0;
    static engine::TGrep grep;
    try {
        grep.SetUseFuzzyCharDic(data[0] & 1);
        grep.SetRegExp(rest.substr(0, cut));
    } catch (const engine::ERegExpParser&) {
        return 0;
    }
    const std::string file = rest.substr(cut + 1);
    const std::string& path = fuzzing::WriteScratch(file.data(), file.size());
    const Hits fast = Run(grep, path, false);
    const Hits reference = Run(grep, path, true);
    if (fast != reference) {
        std::fprintf(stderr, "fast search: %zu lines, reference: %zu lines\n", fast.size(),
                     reference.size());
        for (std::size_t i = 0; i < fast.size() && i < reference.size(); ++i)
            if (fast[i] != reference[i])
                std::fprintf(stderr, "first difference: line %d against line %d\n", fast[i].first,
                             reference[i].first);
        std::abort();
    }
    return 0;
}
