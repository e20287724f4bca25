// The strings every match holds: what the fast search passes lines over by. A set that a
// match could lack would lose hits, so the property is checked on random patterns against the
// lines the reference routines report, besides a table of what the sets are.
#include "factors.h"
#include "grep.h"

#include "codec.h"
#include "query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

using engine::RE_LineInfo_t;
using engine::TGrep;

namespace {

namespace fs = std::filesystem;
using Sets = std::vector<std::vector<std::string>>;

std::string J(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

Sets SetsOf(const std::string& pattern, bool widen) {
    TGrep grep;
    grep.SetUseFuzzyCharDic(widen);
    grep.SetRegExp(pattern);
    return grep.CurrentAutomaton().RequiredSets;
}

bool HasSet(const Sets& sets, std::vector<std::string> set) {
    std::sort(set.begin(), set.end());
    return std::find(sets.begin(), sets.end(), set) != sets.end();
}

std::string Show(const Sets& sets) {
    std::string s;
    for (const auto& set : sets) {
        s += "{";
        for (const auto& x : set)
            s += cp932::ToUtf8(x) + ",";
        s += "} ";
    }
    return s;
}

TEST(RequiredStrings, WhatEveryMatchHolds) {
    struct Case {
        std::string pattern;
        bool widen;
        std::vector<std::string> held; // one of the sets
    };
    const std::vector<Case> cases = {
        {"abc", false, {"abc"}},
        {"a(b|c)d", false, {"abd", "acd"}},
        {"ab*c", false, {"a"}},
        {"ab*c", false, {"c"}},
        {"x[^a]y", false, {"x"}},
        {"(ab|cd)e", false, {"abe", "cde"}},
        // Keywords in any order: each keyword is held.
        {engine::ComposePattern({J("表示"), J("ソ")}), false, {J("表示")}},
        {engine::ComposePattern({"a", J("能"), J("ポ")}), false, {J("ポ")}},
        // A widened keyword: all its spellings, and its characters' on their own.
        {J("ポ"), true, {J("ぽ"), J("ポ"), J("ﾎﾟ"), J("ほ゜"), J("ホ゜")}},
        {engine::ComposePattern({J("名詞"), J("データ")}), true, {J("名詞")}},
        {engine::ComposePattern({J("名詞"), J("データ")}), true, {J("た"), J("タ"), J("ﾀ")}},
        // Anchors and line ends are never part of a string.
        {"^ab$", false, {"a"}},
        {"[a-c]x", false, {"ax", "bx", "cx"}},
        {"a\\nb", false, {"a"}},
        {"a\\nb", false, {"b"}},
    };
    for (const Case& c : cases) {
        const Sets sets = SetsOf(c.pattern, c.widen);
        EXPECT_TRUE(HasSet(sets, c.held))
            << cp932::ToUtf8(c.pattern) << " widen " << c.widen << ": " << Show(sets);
    }
    // The full widened keyword データ is one set of every spelling.
    const Sets data = SetsOf(J("データ"), true);
    auto full = std::find_if(data.begin(), data.end(), [](const auto& set) {
        return std::find(set.begin(), set.end(), J("データ")) != set.end();
    });
    ASSERT_NE(full, data.end()) << Show(data);
    for (const char* spelling : {"ﾃﾞｰﾀ", "て゛ーた", "デ～タ", "でた"})
        EXPECT_NE(std::find(full->begin(), full->end(), J(spelling)), full->end()) << spelling;
}

TEST(RequiredStrings, NothingWhenAMatchCanHoldAnything) {
    for (const char* pattern : {"a*", "(ab)*", ".", "a|.", "^", "\\n", "[^a]"}) {
        const Sets sets = SetsOf(pattern, false);
        EXPECT_TRUE(sets.empty()) << pattern << ": " << Show(sets);
    }
    // No set is empty, holds the empty string, a line end or a zero byte.
    for (const char* pattern : {"a?b", "(|a)b", "a(\\r|b)", "a\\x00b"})
        for (const auto& set : SetsOf(pattern, false)) {
            ASSERT_FALSE(set.empty()) << pattern;
            for (const std::string& s : set) {
                EXPECT_FALSE(s.empty()) << pattern;
                EXPECT_EQ(s.find_first_of(std::string("\n\r\0", 3)), std::string::npos) << pattern;
            }
        }
}

// Random patterns on random Shift-JIS lines: every line the reference routines report holds
// one string of every set.
TEST(RequiredStrings, EveryReportedLineHoldsEverySet) {
    const fs::path dir =
        fs::temp_directory_path() / ("quelvra_factors_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = cp932::PathFromNative((dir / "f.txt").string());
    const std::vector<std::string> chars = {"a",     "b",    "c",    J("ソ"), J("表"), J("ポ"),
                                            J("ぽ"), J("ﾎ"), J("ﾟ"), "\\",    "|"};
    const std::vector<std::string> atoms = {"a",     "b",     "c", J("ソ"), J("表"),
                                            J("ポ"), J("ﾎﾟ"), ".", "[ab]",  "(a|" + J("ポ") + ")",
                                            "\\\\",  "\\|"};
    std::mt19937 rng(5);
    int checked = 0;
    for (int n = 0; n < 400; ++n) {
        std::vector<std::string> keywords(1 + rng() % 3);
        for (std::string& k : keywords)
            for (int i = 0, len = 1 + static_cast<int>(rng() % 3); i < len; ++i) {
                k += atoms[rng() % atoms.size()];
                if (rng() % 6 == 0) k += "*";
            }
        const bool widen = rng() % 2 == 0;
        TGrep grep;
        try {
            grep.SetUseFuzzyCharDic(widen);
            grep.SetRegExp(engine::ComposePattern(keywords));
        } catch (const std::exception&) {
            continue;
        }
        const Sets& sets = grep.CurrentAutomaton().RequiredSets;
        std::string bytes;
        for (int i = 0; i < 300; ++i)
            bytes += rng() % 8 == 0 ? std::string("\n") : chars[rng() % chars.size()];
        std::ofstream(dir / "f.txt", std::ios::binary | std::ios::trunc) << bytes;
        grep.UseReference = true;
        grep.OnMatch = [&](TGrep&, RE_LineInfo_t info) {
            ++checked;
            for (const auto& set : sets)
                EXPECT_TRUE(std::any_of(
                    set.begin(), set.end(),
                    [&](const std::string& s) { return info.Line.find(s) != std::string::npos; }))
                    << cp932::ToUtf8(grep.CompiledText()) << " line " << cp932::ToUtf8(info.Line);
        };
        grep.Grep(file);
    }
    fs::remove_all(dir);
    EXPECT_GT(checked, 100);
}

} // namespace
