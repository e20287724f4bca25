// The fast search against the reference routines: random patterns of the whole pattern
// language on random Shift-JIS files (every line-end kind, zero bytes, trail bytes that look
// like ASCII, lead bytes before line ends and at the end, lines longer than a block). Any
// difference fails with a shrunken reproduction. QUELVRA_DIFF_CASES=100000 runs longer,
// QUELVRA_DIFF_SEED picks other cases.
#include "grep.h"

#include "codec.h"
#include "query.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using engine::EGrepCancel;
using engine::RE_LineInfo_t;
using engine::TGrep;
using engine::TTxtFile;

namespace {

namespace fs = std::filesystem;

using Hits = std::vector<std::pair<int, std::string>>;

std::string J(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

// Characters of patterns and files: ASCII, kana and kanji whose second byte is an ASCII letter
// or a possible lead byte, and a half-width kana.
const std::vector<std::string>& Chars() {
    static const std::vector<std::string> chars = {"a",     "b",     "c",    " ", J("あ"),
                                                   J("ア"), J("検"), J("ｱ"), "A"};
    return chars;
}

std::string RandomAtom(std::mt19937& rng) {
    const auto& chars = Chars();
    switch (rng() % 14) {
    case 0:
        return ".";
    case 1:
        return "[ab" + chars[rng() % chars.size()] + "]";
    case 2:
        return "[^" + chars[rng() % chars.size()] + "]";
    case 3:
        return "[a-c]";
    case 4:
        return "\\n";
    case 5:
        return rng() % 2 ? "\\r" : "\\x61";
    case 6:
        return "[^a\\n]";
    default:
        return chars[rng() % chars.size()];
    }
}

std::string RandomPattern(std::mt19937& rng, int depth) {
    const unsigned pick = rng() % (depth > 2 ? 4 : 10);
    switch (pick) {
    case 0:
    case 1:
    case 2:
    case 3:
        return RandomAtom(rng);
    case 4:
    case 5:
    case 6:
        return RandomPattern(rng, depth + 1) + RandomPattern(rng, depth + 1);
    case 7:
        return "(" + RandomPattern(rng, depth + 1) + "|" + RandomPattern(rng, depth + 1) + ")";
    default:
        return "(" + RandomPattern(rng, depth + 1) + ")" + std::string(1, "*+?"[rng() % 3]);
    }
}

std::string RandomTopPattern(std::mt19937& rng) {
    std::string p;
    if (rng() % 3 == 0) {
        // A plain keyword, as most searches are.
        const int n = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < n; ++i)
            p += Chars()[rng() % Chars().size()];
    } else {
        p = RandomPattern(rng, 0);
    }
    if (rng() % 5 == 0) p = "^" + p;
    if (rng() % 5 == 0) p += "$";
    return p;
}

std::string RandomFile(std::mt19937& rng, std::size_t size) {
    const std::string lead(1, '\x82'), lead2(1, '\xE0');
    const std::vector<std::string> pieces = {
        "a",     "b",         "c",           " ",         "a",
        "b",     "\n",        "\r",          "\r\n",      std::string(1, '\0'),
        J("あ"), J("ア"),     J("検"),       J("ｱ"),      lead,
        lead2,   lead + "\n", lead + "\r\n", lead + "\r", "A"};
    // Short lines in most files, lines of several blocks in some.
    const unsigned breakEvery = rng() % 4 == 0 ? 200000 : 1 + rng() % 12;
    std::string bytes;
    while (bytes.size() < size) {
        std::size_t k = rng() % pieces.size();
        const bool isBreak = k >= 6 && k <= 8;
        if (isBreak && rng() % breakEvery != 0) k = rng() % 6;
        bytes += pieces[k];
    }
    return bytes;
}

std::string Escaped(const std::string& s) {
    std::ostringstream out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"')
            out << c;
        else
            out << "\\x" << std::hex << (c >> 4) << (c & 15) << std::dec;
    }
    return out.str();
}

class Differential : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quelvra_diff_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        file_ = cp932::PathFromNative((dir_ / "f.txt").string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // The lines one routine reports, and how many times the host's events ran.
    Hits Run(TGrep& grep, const std::string& bytes, bool reference) {
        std::ofstream((dir_ / "f.txt"), std::ios::binary | std::ios::trunc) << bytes;
        Hits hits;
        grep.UseReference = reference;
        grep.OnMatch = [&](TGrep&, RE_LineInfo_t info) {
            hits.emplace_back(info.LineNo, info.Line);
        };
        grep.Grep(file_);
        return hits;
    }
    bool Differs(TGrep& grep, const std::string& bytes) {
        return Run(grep, bytes, true) != Run(grep, bytes, false);
    }
    // The shortest file found by cutting pieces out that still shows the difference.
    std::string Shrink(TGrep& grep, std::string bytes) {
        for (std::size_t chunk = bytes.size() / 2; chunk >= 1; chunk /= 2) {
            for (std::size_t at = 0; at + chunk <= bytes.size();) {
                std::string cut = bytes.substr(0, at) + bytes.substr(at + chunk);
                if (!cut.empty() && Differs(grep, cut))
                    bytes = std::move(cut);
                else
                    at += chunk;
            }
        }
        return bytes;
    }

    fs::path dir_;
    std::string file_;
};

std::string Show(const Hits& hits) {
    std::string s;
    for (const auto& [n, line] : hits)
        s += std::to_string(n) + ":\"" + Escaped(line) + "\" ";
    return s;
}

TEST_F(Differential, FastSearchReportsWhatTheReferenceReports) {
    int cases = 1000;
    if (const char* env = std::getenv("QUELVRA_DIFF_CASES")) cases = std::atoi(env);
    unsigned seed = 7;
    if (const char* env = std::getenv("QUELVRA_DIFF_SEED"))
        seed = static_cast<unsigned>(std::atoi(env));
    std::mt19937 rng(seed);
    TGrep grep;
    int compiled = 0;
    for (int n = 0; n < cases; ++n) {
        const bool widen = rng() % 3 == 0;
        const std::string pattern = RandomTopPattern(rng);
        try {
            grep.SetUseFuzzyCharDic(widen);
            grep.SetRegExp(pattern);
        } catch (const std::exception&) {
            continue; // a malformed or too complex pattern
        }
        ++compiled;
        // Every twentieth file crosses block boundaries; the others are small.
        const std::size_t size = n % 20 == 0 ? 2 * TTxtFile::BlockSize + rng() % 5000 : rng() % 200;
        const std::string bytes = RandomFile(rng, size);
        const Hits reference = Run(grep, bytes, true);
        const Hits fast = Run(grep, bytes, false);
        if (reference != fast) {
            const std::string small = Shrink(grep, bytes);
            FAIL() << "case " << n << " pattern \"" << Escaped(pattern) << "\" widening " << widen
                   << "\nfile \"" << Escaped(small) << "\"\nreference "
                   << Show(Run(grep, small, true)) << "\nfast      "
                   << Show(Run(grep, small, false));
        }
    }
    EXPECT_GT(compiled, cases / 2);
}

// The tables the fast search keeps with a compiled pattern serve every later file, also when
// the pattern comes back from the cache after another one was searched.
TEST_F(Differential, PatternsKeptBetweenFilesAndTakenBackFromTheCache) {
    std::mt19937 rng(23);
    TGrep grep;
    for (int n = 0; n < 60; ++n) {
        std::string patterns[2];
        bool widen[2];
        for (int k = 0; k < 2; ++k) {
            widen[k] = rng() % 2 == 0;
            patterns[k] = RandomTopPattern(rng);
        }
        for (int file = 0; file < 6; ++file) {
            const int k = file % 3 == 2 ? 1 : 0; // a, a, b, a, a, b
            try {
                grep.SetUseFuzzyCharDic(widen[k]);
                grep.SetRegExp(patterns[k]);
            } catch (const std::exception&) {
                continue;
            }
            const std::string bytes = RandomFile(rng, rng() % 300);
            ASSERT_EQ(Show(Run(grep, bytes, false)), Show(Run(grep, bytes, true)))
                << "pattern \"" << Escaped(patterns[k]) << "\" widening " << widen[k] << " file "
                << file << " \"" << Escaped(bytes) << "\"";
        }
    }
}

// A keyword whose later bytes are missing from the start of the file is looked for by its
// rarest byte; the matches further on, misaligned look-alikes included, are the reference's.
TEST_F(Differential, KeywordWhoseRareByteComesLate) {
    std::mt19937 rng(11);
    TGrep grep;
    for (int n = 0; n < 100; ++n) {
        // The first character fills the start of the file, so a later byte is the rare one.
        const std::string first = Chars()[rng() % Chars().size()];
        std::string keyword = first;
        const int k = 1 + static_cast<int>(rng() % 3);
        for (int i = 0; i < k; ++i)
            keyword += Chars()[rng() % Chars().size()];
        grep.SetRegExp(keyword);
        ASSERT_TRUE(grep.UsesLiteral()) << Escaped(keyword);
        std::string bytes;
        while (bytes.size() < 70000)
            bytes += first;
        bytes += "\n" + RandomFile(rng, 3000);
        const Hits reference = Run(grep, bytes, true);
        const Hits fast = Run(grep, bytes, false);
        ASSERT_EQ(Show(fast), Show(reference)) << "keyword \"" << Escaped(keyword) << "\"";
    }
}

// A file of many short lines is searched a piece of whole lines at a time (by the literal and
// by an automaton whose attempts end at a line feed): hits at every piece boundary, anchored
// patterns, keywords in any order and widened keywords agree with the reference.
TEST_F(Differential, PiecesOfWholeLines) {
    std::mt19937 rng(31);
    TGrep grep;
    const std::vector<std::string> patterns = {"a",
                                               "^a",
                                               "a$",
                                               "^b",
                                               J("検") + "$",
                                               "(a|b)c",
                                               J("ア") + "." + J("あ"),
                                               "[^a]b",
                                               engine::ComposePattern({"a", J("検")}),
                                               engine::ComposePattern({"a", "b", J("ア")}),
                                               engine::ComposePattern({J("ｱ"), "c"})};
    for (int n = 0; n < 12; ++n) {
        const std::string& pattern = patterns[static_cast<std::size_t>(n) % patterns.size()];
        const bool widen = n % 2 == 1;
        grep.SetUseFuzzyCharDic(widen);
        grep.SetRegExp(pattern);
        std::string bytes;
        // Short lines, so that a piece ends close to a hit; every kind of line end.
        while (bytes.size() < 2 * TTxtFile::BlockSize + 700) {
            bytes += RandomFile(rng, 1 + rng() % 6);
            bytes += std::vector<std::string>{"\n", "\r\n", "\r"}[rng() % 3];
        }
        ASSERT_EQ(Show(Run(grep, bytes, false)), Show(Run(grep, bytes, true)))
            << "pattern \"" << Escaped(pattern) << "\" widening " << widen;
    }
}

// Every way of looking for candidates (AVX2, SSE2, none) finds the reference's hits: keywords
// widened or not, in dense kana and kanji lines long enough for the vector loops.
TEST_F(Differential, EveryVectorLevelAgrees) {
    std::mt19937 rng(41);
    TGrep grep;
    const std::vector<std::string> patterns = {J("検"),
                                               J("ア検"),
                                               "a" + J("あ"),
                                               J("ｱ") + "b",
                                               engine::ComposePattern({J("あ"), "c"}),
                                               engine::ComposePattern({J("検"), J("ア"), "b"})};
    for (int level = 0; level <= 2; ++level) {
        engine::gVectorLevelLimit = level;
        for (std::size_t k = 0; k < patterns.size(); ++k) {
            const bool widen = (k + static_cast<std::size_t>(level)) % 2 == 0;
            grep.SetUseFuzzyCharDic(widen);
            grep.SetRegExp(patterns[k]);
            // Long enough that a literal's pairs are counted (a full sample of the first data).
            const std::string bytes = RandomFile(rng, 20000 + rng() % 3000);
            const std::string reference = Show(Run(grep, bytes, true));
            const std::string fast = Show(Run(grep, bytes, false));
            if (fast != reference) engine::gVectorLevelLimit = 2;
            ASSERT_EQ(fast, reference) << "level " << level << " pattern \"" << Escaped(patterns[k])
                                       << "\" widening " << widen;
        }
    }
    engine::gVectorLevelLimit = 2;
}

// Lines are passed over when they lack every spelling of a keyword: dense lines where the last
// keyword's spellings (the starts of most attempts) are everywhere and the first keyword's are
// rare and only in the second half, with look-alikes (second bytes that read as "\\", "|" or a
// letter: ソ 表 能 ポ), at every vector level.
TEST_F(Differential, LinesLackingAKeywordsSpellingsPassedOver) {
    std::mt19937 rng(53);
    TGrep grep;
    struct Search {
        std::vector<std::string> keywords;
        std::vector<std::string> rare, common; // spellings of the first and the last keyword
    };
    const std::vector<Search> searches = {
        {{"S", J("表")}, {"S", "s", J("Ｓ"), J("ｓ")}, {J("表")}},
        {{J("データ"), J("ソ")},
         {J("データ"), J("ﾃﾞｰﾀ"), J("て゛ーた"), J("でた")},
         {J("ソ"), J("そ"), J("ｿ")}},
        {{J("ポ"), J("能")}, {J("ポ"), J("ぽ"), J("ﾎﾟ"), J("ほ゜")}, {J("能")}},
        {{J("ＯＳ"), J("名詞")}, {"OS", "os", J("ＯＳ"), J("ｏｓ")}, {J("名詞")}},
        {{J("名詞"), J("一般"), J("データ")}, {J("名詞")}, {J("データ"), J("一般"), "1"}},
    };
    const std::vector<std::string> neutral = {",",     J("、"), J("ア"), J("検"), J("名"),
                                              J("で"), J("て"), J("ほ"), "\\",    "|",
                                              "o",     "O",     J("ﾃ"),  J("ﾎ"),  J("ー")};
    for (int level = 0; level <= 2; ++level) {
        engine::gVectorLevelLimit = level;
        for (std::size_t k = 0; k < searches.size(); ++k) {
            for (bool widen : {false, true}) {
                grep.SetUseFuzzyCharDic(widen);
                grep.SetRegExp(engine::ComposePattern(searches[k].keywords));
                std::string bytes;
                while (bytes.size() < 2 * TTxtFile::BlockSize + 3000) {
                    std::string line;
                    for (int n = 1 + static_cast<int>(rng() % 16); n > 0; --n) {
                        const unsigned pick = rng() % 100;
                        const auto& from = pick < 3 && bytes.size() > 60000 ? searches[k].rare
                                           : pick < 40                      ? searches[k].common
                                                                            : neutral;
                        line += from[rng() % from.size()];
                    }
                    bytes += line + std::vector<std::string>{"\n", "\r\n", "\r"}[rng() % 3];
                }
                const std::string reference = Show(Run(grep, bytes, true));
                const std::string fast = Show(Run(grep, bytes, false));
                if (fast != reference) engine::gVectorLevelLimit = 2;
                ASSERT_EQ(fast, reference)
                    << "level " << level << " search " << k << " widening " << widen;
            }
        }
    }
    engine::gVectorLevelLimit = 2;
}

// Cancelling from the host's events stops both routines at the same block, after the same
// lines.
TEST_F(Differential, CancelAtTheSameBlock) {
    std::string bytes;
    for (int i = 0; i < 5; ++i)
        bytes += std::string(TTxtFile::BlockSize / 2 - 3, 'x') + "ab\n";
    for (bool reference : {true, false}) {
        TGrep grep;
        grep.SetRegExp("a[b-c]");
        int pumps = 0;
        grep.ProcessMessages = [&] {
            if (++pumps == 4) grep.Cancel = true;
        };
        Hits hits;
        grep.UseReference = reference;
        grep.OnMatch = [&](TGrep&, RE_LineInfo_t info) {
            hits.emplace_back(info.LineNo, info.Line);
        };
        std::ofstream((dir_ / "f.txt"), std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_THROW(grep.Grep(file_), EGrepCancel) << reference;
        EXPECT_EQ(pumps, 4) << reference;
        EXPECT_EQ(hits.size(), 2u) << reference;
    }
}

} // namespace

namespace {

// Pieces of UTF-8 notes, each with its Shift-JIS form: characters that code page 932 has (kana,
// kanji with ASCII-like second bytes, a half-width kana, both wave dashes), ones it lacks
// (emoji, a character outside the basic plane, ẞ), bytes that are no UTF-8, line ends and zero
// bytes.
struct TwinPiece {
    std::string utf8, sjis;
};
const std::vector<TwinPiece>& TwinPieces() {
    const std::string none(cp932::kNoForm);
    static const std::vector<TwinPiece> pieces = {{"a", "a"},
                                                  {"b", "b"},
                                                  {"c", "c"},
                                                  {" ", " "},
                                                  {"A", "A"},
                                                  {"あ", J("あ")},
                                                  {"ア", J("ア")},
                                                  {"検", J("検")},
                                                  {"ｱ", J("ｱ")},
                                                  {"ソ", J("ソ")},
                                                  {"表", J("表")},
                                                  {"〜", J("～")},
                                                  {"～", J("～")},
                                                  {"😀", none},
                                                  {"𠮷", none},
                                                  {"ẞ", none},
                                                  {"\xFF", none},
                                                  {"\xE6\x9Dx", none + "x"},
                                                  {"\x80", none},
                                                  {"\n", "\n"},
                                                  {"\r", "\r"},
                                                  {"\r\n", "\r\n"},
                                                  {std::string(1, '\0'), std::string(1, '\0')}};
    return pieces;
}

// A UTF-8 note and its Shift-JIS twin: short lines mostly, a few lines of several blocks.
std::pair<std::string, std::string> RandomTwins(std::mt19937& rng, std::size_t size) {
    const auto& pieces = TwinPieces();
    const unsigned breakEvery = rng() % 4 == 0 ? 200000 : 1 + rng() % 12;
    std::string utf8, sjis;
    while (utf8.size() < size) {
        std::size_t k = rng() % pieces.size();
        const bool isBreak = pieces[k].utf8.find_first_of("\r\n") != std::string::npos;
        if (isBreak && rng() % breakEvery != 0) k = rng() % 13;
        utf8 += pieces[k].utf8;
        sjis += pieces[k].sjis;
    }
    return {utf8, sjis};
}

} // namespace

// A UTF-8 note is searched in its Shift-JIS form: the fast search and the reference report what
// they report for the note's Shift-JIS twin (the same numbers and lines), characters that
// Shift-JIS lacks and bytes that are no UTF-8 matched by nothing but "."-like patterns.
TEST_F(Differential, Utf8NotesSearchedAsTheirShiftJisTwins) {
    int cases = 200;
    if (const char* env = std::getenv("QUELVRA_DIFF_CASES")) cases = std::atoi(env) / 5;
    std::mt19937 rng(61);
    TGrep grep;
    int compiled = 0, withHits = 0;
    for (int n = 0; n < cases; ++n) {
        const bool widen = rng() % 2 == 0;
        std::string pattern = RandomTopPattern(rng);
        if (n % 4 == 0) {
            // Keywords in any order, as the window composes them.
            std::vector<std::string> keywords;
            for (int k = 1 + static_cast<int>(rng() % 3); k > 0; --k)
                keywords.push_back(Chars()[rng() % Chars().size()] +
                                   (rng() % 2 ? Chars()[rng() % Chars().size()] : ""));
            pattern = engine::ComposePattern(keywords);
        }
        try {
            grep.SetUseFuzzyCharDic(widen);
            grep.SetRegExp(pattern);
        } catch (const std::exception&) {
            continue;
        }
        ++compiled;
        const std::size_t size = n % 20 == 0 ? 2 * TTxtFile::BlockSize + rng() % 5000 : rng() % 300;
        auto [utf8, sjis] = RandomTwins(rng, size);
        // Half of the notes carry a mark and are told apart by it; the others are read as UTF-8
        // by choice (without a multi-byte character near their beginning they would not be).
        const bool mark = n % 2 == 0;
        if (mark) utf8 = "\xEF\xBB\xBF" + utf8;
        grep.Encoding = cp932::EncodingChoice::ShiftJis;
        const Hits twin = Run(grep, sjis, true);
        grep.Encoding = mark ? cp932::EncodingChoice::Auto : cp932::EncodingChoice::Utf8;
        const Hits reference = Run(grep, utf8, true);
        const Hits fast = Run(grep, utf8, false);
        grep.Encoding = cp932::EncodingChoice::Auto;
        if (!twin.empty()) ++withHits;
        ASSERT_EQ(Show(reference), Show(twin))
            << "case " << n << " pattern \"" << Escaped(pattern) << "\" widening " << widen
            << "\nnote \"" << Escaped(utf8) << "\"";
        ASSERT_EQ(Show(fast), Show(twin))
            << "case " << n << " pattern \"" << Escaped(pattern) << "\" widening " << widen
            << "\nnote \"" << Escaped(utf8) << "\"";
    }
    EXPECT_GT(compiled, cases / 2);
    EXPECT_GT(withHits, compiled / 4);
}
