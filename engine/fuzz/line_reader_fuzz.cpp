// The block reader against a plain reading of its rules: the whole file in one string, every
// zero byte a space, a final line feed added when missing, CR LF and a lone CR each one line
// feed, a lead byte taking the byte after it unless that is a line end. Start characters, match
// characters and reported lines (text and number) must agree, also around a block boundary.
#include "codec.h"
#include "errors.h"
#include "fuzz_file.h"
#include "txtfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Char {
    std::uint16_t code;
    std::size_t pos, width;
};

[[noreturn]] void Fail(const char* what, std::size_t index) {
    std::fprintf(stderr, "line reader differs: %s at character %zu\n", what, index);
    std::abort();
}

} // namespace

// Input: a byte that seeds the choice of calls, a byte that places the text around the first
// block boundary (when the seed's top bit is set), then the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::ScratchRemover remover;
    if (size < 2) return 0;
    std::uint32_t rng = data[0] * 2654435761u + 1;
    std::string file(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (data[0] & 0x80) file.insert(0, engine::TTxtFile::BlockSize - data[1], 'x');

    // The plain reading.
    std::string d = "\n";
    for (std::size_t i = 0; i < file.size(); ++i) {
        const char c = file[i];
        if (c == '\r') {
            if (i + 1 == file.size() || file[i + 1] != '\n') d += '\n';
        } else {
            d += c == '\0' ? ' ' : c;
        }
    }
    if (!file.empty() && d.back() != '\n') d += '\n';
    std::vector<Char> chars;
    for (std::size_t i = 0; i < d.size();) {
        const auto b = static_cast<unsigned char>(d[i]);
        const std::size_t w = cp932::IsLeadByte(b) && i + 1 < d.size() && d[i + 1] != '\n' ? 2 : 1;
        const std::uint16_t code =
            w == 2 ? static_cast<std::uint16_t>(b << 8 | static_cast<unsigned char>(d[i + 1])) : b;
        chars.push_back({code, i, w});
        i += w;
    }

    const std::string& path = fuzzing::WriteScratch(file.data(), file.size());
    const bool cancel = false;
    const std::function<void()> pump;
    std::unique_ptr<engine::TTxtFile> reader;
    try {
        reader = std::make_unique<engine::TTxtFile>(path, cancel, pump);
    } catch (const engine::EEndOfFile&) {
        if (!file.empty()) Fail("end of file at the start", 0);
        return 0;
    }
    if (file.empty()) Fail("no end of file at the start", 0);

    // Every character but the final line feed starts an attempt.
    std::size_t k = 0;
    std::int32_t lineFeeds = 0;
    for (;;) {
        std::uint16_t code;
        try {
            code = reader->GetStartChar();
        } catch (const engine::EEndOfFile&) {
            if (k != chars.size() - 1) Fail("early end of file", k);
            break;
        }
        if (k >= chars.size() - 1) Fail("no end of file", k);
        if (code != chars[k].code) Fail("start character", k);
        if (code == '\n') ++lineFeeds;
        rng = rng * 1103515245u + 12345u;
        const unsigned nexts = (rng >> 16) % 4;
        for (unsigned j = 1; j <= nexts; ++j) {
            const std::uint16_t want = k + j < chars.size() ? chars[k + j].code : 0;
            if (reader->GetNextChar() != want) Fail("match character", k + j);
        }
        if ((rng >> 20) % 4 == 0) {
            engine::RE_LineInfo_t info;
            reader->GetLine(info);
            const std::size_t start =
                code == '\n' ? chars[k].pos + 1 : d.rfind('\n', chars[k].pos) + 1;
            const std::size_t end = d.find('\n', chars[k].pos + chars[k].width);
            if (info.Line != d.substr(start, end - start)) Fail("line text", k);
            if (info.LineNo != lineFeeds) Fail("line number", k);
            // The line cursor rests on the line's end, which the next start consumes.
            while (chars[k + 1].pos < end)
                ++k;
        }
        ++k;
    }
    return 0;
}
