// The grep against a plain reference on random files that cross block boundaries in every
// possible way: line ends of each kind, zero bytes and double-byte characters anywhere.
#include "grep.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

using engine::RE_LineInfo_t;
using engine::TGrep;
using engine::TTxtFile;

namespace {

namespace fs = std::filesystem;

using Hits = std::vector<std::pair<int, std::string>>;

const std::string kA = "\x82\xA0"; // あ

// Lines as the reader sees them: CR LF, a lone CR and LF each end one; the bytes of a line are
// returned as they are (zero bytes read as spaces).
std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += c == '\0' ? ' ' : c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

// Character-wise search in a line (the generator never leaves a lead byte without its second).
bool Contains(const std::string& line, const std::string& lit, bool atStart, bool atEnd) {
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (line.compare(i, lit.size(), lit) == 0 && (!atEnd || i + lit.size() == line.size()))
            return true;
        if (atStart) return false;
        if (i < line.size() && cp932::IsLeadByte(static_cast<unsigned char>(line[i]))) ++i;
    }
    return false;
}

Hits Reference(const std::string& bytes, const std::string& lit, bool atStart, bool atEnd) {
    Hits hits;
    const auto lines = SplitLines(bytes);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (Contains(lines[i], lit, atStart, atEnd))
            hits.emplace_back(static_cast<int>(i + 1), lines[i]);
    return hits;
}

TEST(GrepRandom, AgreesWithAPlainReference) {
    const fs::path dir = fs::temp_directory_path() / ("quelvra_rand_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 rng(20261210);
    const std::string pieces[] = {"a", "b", "a", "b", " ", "\r", "\n", "\r\n", std::string(1, '\0'),
                                  kA};
    struct Pattern {
        std::string pattern, lit;
        bool atStart, atEnd;
    } patterns[] = {
        {"ab", "ab", false, false},     {"b" + kA + "a", "b" + kA + "a", false, false},
        {"a b", "a b", false, false},   {"^ab", "ab", true, false},
        {"ba$", "ba", false, true},     {"^" + kA + "$", kA, true, true},
        {"aaaa", "aaaa", false, false},
    };
    for (int f = 0; f < 12; ++f) {
        // Short lines in most files, very long ones in some.
        const int breakEvery = f % 4 == 3 ? 150000 : 3 + f;
        std::string bytes;
        const std::size_t size = 2 * TTxtFile::BlockSize + (rng() % 60000);
        while (bytes.size() < size) {
            std::size_t k = rng() % 10;
            if ((k >= 5 && k <= 7) && rng() % breakEvery != 0) k = rng() % 5;
            bytes += pieces[k];
        }
        const fs::path file = dir / ("f" + std::to_string(f) + ".txt");
        std::ofstream(file, std::ios::binary) << bytes;
        for (const auto& p : patterns) {
            TGrep grep;
            Hits hits;
            grep.OnMatch = [&](TGrep&, RE_LineInfo_t info) {
                hits.emplace_back(info.LineNo, info.Line);
            };
            grep.SetRegExp(p.pattern);
            grep.Grep(cp932::PathFromNative(file.string()));
            const Hits expected = Reference(bytes, p.lit, p.atStart, p.atEnd);
            ASSERT_EQ(hits.size(), expected.size()) << "file " << f << " pattern " << p.pattern;
            EXPECT_TRUE(hits == expected) << "file " << f << " pattern " << p.pattern;
        }
    }
    fs::remove_all(dir);
}

} // namespace
