// The compiled automaton against std::regex: random patterns over a small alphabet, the lines
// of one file, "does the line hold a non-empty match" on both sides.
#include "grep.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>

using engine::RE_LineInfo_t;
using engine::TGrep;

namespace {

namespace fs = std::filesystem;

// A random pattern of the constructs both languages share, with the same meaning on lines
// without line breaks.
std::string RandomPattern(std::mt19937& rng, int depth) {
    const int choice = static_cast<int>(rng() % (depth > 2 ? 6 : 10));
    switch (choice) {
    case 0:
    case 1:
        return std::string(1, "abc"[rng() % 3]);
    case 2:
        return ".";
    case 3:
        return rng() % 2 ? "[ab]" : "[^a]";
    case 4:
        return rng() % 2 ? "[a-b]" : "[^bc]";
    case 5:
        return std::string(1, "ab"[rng() % 2]);
    case 6:
    case 7:
        return RandomPattern(rng, depth + 1) + RandomPattern(rng, depth + 1);
    case 8:
        return "(" + RandomPattern(rng, depth + 1) + "|" + RandomPattern(rng, depth + 1) + ")";
    default:
        return "(" + RandomPattern(rng, depth + 1) + ")" + std::string(1, "*+?"[rng() % 3]);
    }
}

TEST(AutomatonRandom, AgreesWithStdRegex) {
    std::mt19937 rng(424242);
    std::vector<std::string> lines;
    std::string bytes;
    for (int i = 0; i < 300; ++i) {
        std::string line;
        const int n = static_cast<int>(rng() % 10);
        for (int k = 0; k < n; ++k)
            line += "abcd"[rng() % 4];
        lines.push_back(line);
        bytes += line + "\n";
    }
    const fs::path file =
        fs::temp_directory_path() / ("quelvra_auto_" + std::to_string(::getpid()) + ".txt");
    std::ofstream(file, std::ios::binary) << bytes;

    TGrep grep;
    std::set<int> hits;
    grep.OnMatch = [&](TGrep&, RE_LineInfo_t info) { hits.insert(info.LineNo); };
    int compared = 0;
    for (int t = 0; t < 400; ++t) {
        const std::string pattern = RandomPattern(rng, 0);
        const std::regex re(pattern, std::regex::ECMAScript);
        if (std::regex_search(std::string(), re)) continue; // matches the empty string
        hits.clear();
        grep.SetRegExp(pattern);
        grep.Grep(cp932::PathFromNative(file.string()));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const bool expected = std::regex_search(lines[i], re);
            ASSERT_EQ(hits.count(static_cast<int>(i + 1)) == 1, expected)
                << "pattern " << pattern << " line \"" << lines[i] << "\"";
        }
        ++compared;
    }
    EXPECT_GT(compared, 100);
    fs::remove(file);
}

} // namespace
