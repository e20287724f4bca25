#include "grep.h"

#include "codec.h"
#include "query.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using engine::EFileNotFound;
using engine::EGrepCancel;
using engine::ERegExpParser;
using engine::Exception;
using engine::RE_LineInfo_t;
using engine::TGrep;
using engine::TTxtFile;

namespace {

namespace fs = std::filesystem;

using Hits = std::vector<std::pair<int, std::string>>;

// A scratch folder per test with helpers to write byte-exact files into it.
class GrepReader : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra_grep_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        grep_.OnMatch = [this](TGrep&, RE_LineInfo_t info) {
            hits_.emplace_back(info.LineNo, info.Line);
        };
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return cp932::PathFromNative((dir_ / name).string());
    }
    Hits Run(const std::string& pattern, const std::string& bytes) {
        grep_.SetRegExp(pattern);
        hits_.clear();
        grep_.Grep(Write("f.txt", bytes));
        return hits_;
    }

    fs::path dir_;
    TGrep grep_;
    Hits hits_;
};

constexpr std::size_t kBlock = TTxtFile::BlockSize;

TEST_F(GrepReader, EveryLineEndMakesOneBreak) {
    struct Case {
        const char* what;
        std::string bytes;
        Hits hits;
    } cases[] = {
        {"CR LF, lone CR, LF, none",
         "p1\r\nq1\rr1\ns1",
         {{1, "p1"}, {2, "q1"}, {3, "r1"}, {4, "s1"}}},
        {"final LF", "a1\nb1\n", {{1, "a1"}, {2, "b1"}}},
        {"final CR LF", "a1\r\nb1\r\n", {{1, "a1"}, {2, "b1"}}},
        {"final lone CR", "a1\rb1\r", {{1, "a1"}, {2, "b1"}}},
        {"empty lines between", "\n\r\n\r1x\n\n1", {{4, "1x"}, {6, "1"}}},
        {"CR CR LF", "1\r\r\n1", {{1, "1"}, {3, "1"}}},
        {"LF CR", "1\n\r1", {{1, "1"}, {3, "1"}}},
        {"keyword three times", "x111x\n", {{1, "x111x"}}},
        {"only a line feed", "\n", {}},
        {"empty file", "", {}},
        {"zero byte reads as space",
         std::string("a\0"
                     "1b\n",
                     5),
         {{1, "a 1b"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Run("1", c.bytes), c.hits) << c.what;
}

TEST_F(GrepReader, DoubleByteCharactersAreWhole) {
    const std::string ka = cp932::FromUtf8("カ"); // 0x83 0x4A: second byte is "J"
    const std::string lines = "J\n" + ka + "\n" + ka + "J\n";
    EXPECT_EQ(Run("J", lines), (Hits{{1, "J"}, {3, ka + "J"}}));
    EXPECT_EQ(Run(ka, lines), (Hits{{2, ka}, {3, ka + "J"}}));
}

TEST_F(GrepReader, TrailingLeadByteAtEndOfFile) {
    const std::string bytes = "ab\nx1\x83";
    EXPECT_EQ(Run("1", bytes), (Hits{{2, "x1\x83"}}));
    EXPECT_EQ(Run("b", bytes), (Hits{{1, "ab"}}));
    EXPECT_THROW(grep_.SetRegExp("\x83"), ERegExpParser); // no whole character
}

TEST_F(GrepReader, BlockBoundaries) {
    // The first block holds kBlock bytes of the file; byte kBlock is the first of the second.
    struct Case {
        const char* what;
        std::size_t at; // where "abc" starts (file offset), in a line of its own
        const char* sep;
    } cases[] = {
        {"keyword across the boundary", kBlock - 1, "\n"},
        {"keyword across the boundary, 2 bytes before", kBlock - 2, "\n"},
        {"keyword right after the boundary", kBlock, "\n"},
        {"keyword ends the first block", kBlock - 3, "\n"},
        {"CR LF lines", kBlock - 1, "\r\n"},
        {"CR lines", kBlock - 1, "\r"},
    };
    for (const auto& c : cases) {
        // Lines of 9 characters and a separator before the keyword's line.
        std::string bytes;
        int lineNo = 1;
        const std::string sep = c.sep;
        while (bytes.size() + 10 + sep.size() < c.at) {
            bytes += "123456789" + sep;
            ++lineNo;
        }
        std::string line(c.at - bytes.size(), 'x');
        line += "abc" + std::string(20, 'y');
        bytes += line + sep + "abc" + sep;
        EXPECT_EQ(Run("abc", bytes), (Hits{{lineNo, line}, {lineNo + 1, "abc"}})) << c.what;
    }
}

TEST_F(GrepReader, LineBreakSplitAcrossTheBoundary) {
    // CR as the last byte of the first block and its LF as the first of the second: one break.
    for (const char* sep : {"\r\n", "\r", "\n"}) {
        std::string bytes(kBlock - 1, 'x');
        bytes += sep;
        bytes += "k1\nk2";
        EXPECT_EQ(Run("k", bytes), (Hits{{2, "k1"}, {3, "k2"}})) << (sep[1] ? "CR LF" : sep);
    }
    // The same at the boundary of the second and third blocks.
    std::string bytes(2 * kBlock - 1, 'x');
    bytes += "\r\nk\n";
    EXPECT_EQ(Run("k", bytes), (Hits{{2, "k"}}));
}

TEST_F(GrepReader, FileOfExactlyOneBlock) {
    std::string bytes(kBlock - 3, 'x');
    bytes += "z\n";
    bytes += "z"; // kBlock bytes, no final line end
    EXPECT_EQ(Run("z", bytes), (Hits{{1, std::string(kBlock - 3, 'x') + "z"}, {2, "z"}}));
    bytes.back() = '\n'; // ends with its line end exactly at the boundary
    EXPECT_EQ(Run("z", bytes), (Hits{{1, std::string(kBlock - 3, 'x') + "z"}}));
}

TEST_F(GrepReader, LineLongerThanTwoBlocksIsReportedWhole) {
    std::string longLine(2 * kBlock + 777, 'q');
    longLine += "needle";
    const std::string bytes = "first\n" + longLine + "\nneedle last";
    EXPECT_EQ(Run("needle", bytes), (Hits{{2, longLine}, {3, "needle last"}}));
}

TEST_F(GrepReader, TwentyMegabyteSingleLine) {
    std::string line(20u << 20, 'm');
    line.replace(line.size() / 2, 3, "key");
    line.replace(line.size() - 3, 3, "key");
    const Hits hits = Run("key", line);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].first, 1);
    EXPECT_TRUE(hits[0].second == line);
}

TEST_F(GrepReader, CancelFromOnMatchStopsBeforeTheNextLine) {
    grep_.SetRegExp("1");
    grep_.OnMatch = [this](TGrep& sender, RE_LineInfo_t info) {
        hits_.emplace_back(info.LineNo, info.Line);
        sender.Cancel = true;
    };
    EXPECT_THROW(grep_.Grep(Write("f.txt", "a1\nb1\nc1\n")), EGrepCancel);
    EXPECT_EQ(hits_, (Hits{{1, "a1"}}));
    EXPECT_TRUE(grep_.Cancel);
    // The next file starts afresh.
    grep_.OnMatch = [this](TGrep&, RE_LineInfo_t info) {
        hits_.emplace_back(info.LineNo, info.Line);
    };
    hits_.clear();
    grep_.Grep(Write("g.txt", "1\n"));
    EXPECT_EQ(hits_, (Hits{{1, "1"}}));
    EXPECT_FALSE(grep_.Cancel);
}

TEST_F(GrepReader, CancelFromThePumpTakesEffectAtTheNextBlock) {
    // Pumps: first block, first hit's line, second block (cancelled there).
    int pumps = 0;
    grep_.ProcessMessages = [&] {
        if (++pumps == 3) grep_.Cancel = true;
    };
    std::string bytes;
    for (int i = 0; i < 3; ++i)
        bytes += std::string(kBlock - 2, 'x') + "1\n"; // one hit at the end of each block
    try {
        Run("1", bytes);
        FAIL() << "no cancel";
    } catch (const EGrepCancel& e) {
        EXPECT_EQ(e.Message(), "CancelRequest");
    }
    EXPECT_EQ(pumps, 3);
    EXPECT_EQ(hits_.size(), 1u);
}

TEST_F(GrepReader, MissingFileThenAWorkingOne) {
    grep_.SetRegExp("1");
    try {
        grep_.Grep(cp932::PathFromNative((dir_ / "missing.txt").string()));
        FAIL() << "no exception";
    } catch (const EFileNotFound& e) {
        EXPECT_EQ(e.Message(), cp932::FromUtf8("ファイルが見つかりません"));
    }
    EXPECT_THROW(grep_.Grep(cp932::PathFromNative(dir_.string())), EFileNotFound); // a folder
    grep_.Grep(Write("f.txt", "1\n"));
    EXPECT_EQ(hits_, (Hits{{1, "1"}}));
}

// A lead byte right before a line end is a character of its own: it never takes the CR or LF
// as its second byte, so a match never joins two lines, in either routine.
TEST_F(GrepReader, LeadByteBeforeALineEndStandsAlone) {
    struct Case {
        const char* what;
        std::string pattern;
        std::string bytes;
        Hits hits;
    } cases[] = {
        {"any order across LF", engine::ComposePattern({"a", "b"}), "a\x81\nb\n", {}},
        {"any order across CR LF", engine::ComposePattern({"a", "b"}), "a\x81\r\nb\n", {}},
        {"any order across lone CR", engine::ComposePattern({"a", "b"}), "a\x81\rb\n", {}},
        {"hit on the line before a lone CR", "q.", "q\x95\rdef\n", {{1, "q\x95"}}},
        {"hit on the line before a LF", "q.", "q\xE0\ndef\n", {{1, "q\xE0"}}},
        {"kanji keyword after a stray lead", "def", "q\x95\rdef\n", {{2, "def"}}},
        {"line-head anchor after the lead", "^b", "a\x81\nb\n", {{2, "b"}}},
        {"lead byte at the end of the file", "a", "xa\x81", {{1, "xa\x81"}}},
        {"lead byte before CR LF, keyword after",
         engine::ComposePattern({"x", "y"}),
         "x\x9F\r\ny\nxy\n",
         {{3, "xy"}}},
    };
    for (const bool reference : {true, false}) {
        grep_.UseReference = reference;
        for (const Case& c : cases)
            EXPECT_EQ(Run(c.pattern, c.bytes), c.hits) << c.what << " reference " << reference;
    }
}

// A FIFO (or a device) given to the grep is refused at once, never waited on for a writer,
// by every routine; the next file is searched as usual.
TEST_F(GrepReader, FifoAndDeviceAreRefusedWithoutWaiting) {
    const fs::path fifo = dir_ / "m.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string fifoName = cp932::PathFromNative(fifo.string());
    // A blocked open would hang the test: a writer that comes late frees it, and tells.
    std::atomic<bool> done{false}, rescued{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 100 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        while (!done) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                rescued = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    for (const bool reference : {true, false})
        for (const char* pattern : {"hit", "h[i]t"}) {
            grep_.UseReference = reference;
            grep_.SetRegExp(pattern);
            hits_.clear();
            EXPECT_THROW(grep_.Grep(fifoName), EFileNotFound) << reference << pattern;
            EXPECT_THROW(grep_.Grep("/dev/null"), EFileNotFound) << reference << pattern;
            grep_.Grep(Write("z.txt", "last hit\n"));
            EXPECT_EQ(hits_, (Hits{{1, "last hit"}})) << reference << pattern;
        }
    done = true;
    watchdog.join();
    EXPECT_FALSE(rescued) << "an open waited for a writer";
}

TEST_F(GrepReader, WithoutOnMatchTheFileIsNotOpened) {
    grep_.OnMatch = nullptr;
    grep_.SetRegExp("1");
    grep_.Cancel = true;
    EXPECT_NO_THROW(grep_.Grep(cp932::PathFromNative((dir_ / "missing.txt").string())));
    EXPECT_FALSE(grep_.Cancel);
}

TEST_F(GrepReader, ShiftJisFileNames) {
    const std::string name = cp932::FromUtf8("日本語.txt");
    std::ofstream(dir_ / cp932::PathToNative(name), std::ios::binary) << "x1\n";
    grep_.SetRegExp("1");
    grep_.Grep(cp932::PathFromNative(dir_.string()) + "/" + name);
    EXPECT_EQ(hits_, (Hits{{1, "x1"}}));
}

TEST_F(GrepReader, PatternCannotChangeWhileGrepRuns) {
    grep_.SetRegExp("1");
    bool refused = false;
    grep_.OnMatch = [&](TGrep& sender, RE_LineInfo_t) {
        try {
            sender.SetRegExp("2");
        } catch (const Exception&) {
            refused = true;
        }
    };
    grep_.Grep(Write("f.txt", "1\n"));
    EXPECT_TRUE(refused);
    EXPECT_EQ(grep_.RegExp(), "1");
    grep_.SetRegExp("2"); // allowed again afterwards
    EXPECT_EQ(grep_.RegExp(), "2");
}

// ---- patterns through the automaton ---------------------------------------------------------

std::string U(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

TEST_F(GrepReader, AnchorsBindToLineBreaks) {
    const std::string file = "abc first\nx abc\r\nabc\rabcabc\nzabc";
    struct Case {
        const char* pattern;
        Hits hits;
    } cases[] = {
        {".", {{1, "abc first"}, {2, "x abc"}, {3, "abc"}, {4, "abcabc"}, {5, "zabc"}}},
        {"^abc", {{1, "abc first"}, {3, "abc"}, {4, "abcabc"}}},
        {"abc$", {{2, "x abc"}, {3, "abc"}, {4, "abcabc"}, {5, "zabc"}}},
        {"^abc$", {{3, "abc"}}},
        {"^(abc)+$", {{3, "abc"}, {4, "abcabc"}}},
        {"^x|z", {{2, "x abc"}, {5, "zabc"}}},
        {"a^b", {}},                   // a literal caret in the middle
        {"t\\nx", {{1, "abc first"}}}, // reaches over the line break into line 2
        {"", {}},
        {"[^a-z ]", {}},
        {"t$|^z", {{1, "abc first"}, {5, "zabc"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Run(c.pattern, file), c.hits) << c.pattern;
}

TEST_F(GrepReader, PatternOverEveryLineEnd) {
    EXPECT_EQ(Run(".", "p\r\nq\rr\ns"), (Hits{{1, "p"}, {2, "q"}, {3, "r"}, {4, "s"}}));
    EXPECT_EQ(Run("q$", "p\r\nq\rr\ns"), (Hits{{2, "q"}}));
    EXPECT_EQ(Run("^[qs]", "p\r\nq\rr\ns"), (Hits{{2, "q"}, {4, "s"}}));
}

TEST_F(GrepReader, AnchorsAtBlockBoundaries) {
    // A line that begins right after the boundary and one that ends right before it.
    std::string bytes(kBlock - 4, 'x');
    bytes += "abc\nabcz\n";
    EXPECT_EQ(Run("abc$", bytes), (Hits{{1, std::string(kBlock - 4, 'x') + "abc"}}));
    EXPECT_EQ(Run("^abc", bytes), (Hits{{2, "abcz"}}));
    std::string crlf(kBlock - 4, 'y');
    crlf += "ab\r\nab\r\n";
    EXPECT_EQ(Run("^ab$", crlf), (Hits{{2, "ab"}}));
}

TEST_F(GrepReader, TheDictionaryFindsEveryForm) {
    const std::string file = U("abc\nＡＢＣ\nａｂｃ\nAbC\nab c\nａｂ\n");
    grep_.SetUseFuzzyCharDic(true);
    EXPECT_EQ(Run(U("ａｂｃ"), file),
              (Hits{{1, "abc"}, {2, U("ＡＢＣ")}, {3, U("ａｂｃ")}, {4, "AbC"}}));
    EXPECT_FALSE(grep_.UsesLiteral());
    EXPECT_EQ(Run("abc", file), (Hits{{1, "abc"}, {2, U("ＡＢＣ")}, {3, U("ａｂｃ")}, {4, "AbC"}}));
    grep_.SetUseFuzzyCharDic(false);
    EXPECT_TRUE(grep_.UsesLiteral());
    EXPECT_EQ(Run(U("ａｂｃ"), file), (Hits{{3, U("ａｂｃ")}}));
    EXPECT_EQ(Run("abc", file), (Hits{{1, "abc"}}));
}

TEST_F(GrepReader, DictionaryRowsInFiles) {
    grep_.SetUseFuzzyCharDic(true);
    struct Case {
        const char* pattern;
        const char* file;
        Hits hits;
    } cases[] = {
        {"ば", "ｳﾞｧ\nう゛ぁ\nば\nは\n", {{1, U("ｳﾞｧ")}, {2, U("う゛ぁ")}, {3, U("ば")}}},
        {"コーヒー",
         "コヒ\nｺｰﾋｰ\nこ～ひ～\nコ-ヒ\n",
         {{1, U("コヒ")}, {2, U("ｺｰﾋｰ")}, {3, U("こ～ひ～")}}},
        {"3月", "３月\n三月\nⅢ月\n4月\n", {{1, U("３月")}, {2, U("三月")}, {3, U("Ⅲ月")}}},
        {"東京", "東京\n東 京\n", {{1, U("東京")}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Run(U(c.pattern), U(c.file)), c.hits) << c.pattern;
}

TEST_F(GrepReader, KeywordsInAnyOrder) {
    const std::string file = U("東京 大阪 名古屋\n名古屋と東京と大阪\n大阪 名古屋\n大阪名古屋東京\n"
                               "東京東京大阪\n");
    for (bool fuzzy : {false, true}) {
        grep_.SetUseFuzzyCharDic(fuzzy);
        EXPECT_EQ(Run(engine::ComposePattern({U("東京"), U("大阪"), U("名古屋")}), file),
                  (Hits{{1, U("東京 大阪 名古屋")},
                        {2, U("名古屋と東京と大阪")},
                        {4, U("大阪名古屋東京")}}));
        EXPECT_EQ(Run(engine::ComposePattern({U("大阪"), "", U("東京")}), file),
                  (Hits{{1, U("東京 大阪 名古屋")},
                        {2, U("名古屋と東京と大阪")},
                        {4, U("大阪名古屋東京")},
                        {5, U("東京東京大阪")}}));
    }
}

TEST_F(GrepReader, PatternsNamingCodeZeroEndAtTheEndOfTheData) {
    EXPECT_EQ(Run("a\\0*b", "xa"), Hits{});
    EXPECT_EQ(Run("a[\\0-\\x09]*$", "xa"), (Hits{{1, "xa"}}));
    EXPECT_EQ(Run("a\\0", std::string("a\0b", 3)), Hits{}); // a zero byte reads as a space
    EXPECT_EQ(Run("a ", std::string("a\0b", 3)), (Hits{{1, "a b"}}));
}

TEST_F(GrepReader, AFailedPatternNeverLeavesTheOldOneSearching) {
    EXPECT_EQ(Run("abc", "abc\n"), (Hits{{1, "abc"}}));
    EXPECT_THROW(grep_.SetRegExp("(abc"), ERegExpParser);
    EXPECT_EQ(grep_.RegExp(), "");
    hits_.clear();
    grep_.Grep(Write("g.txt", "abc\n"));
    EXPECT_EQ(hits_, Hits{});
    // A preprocessing error keeps the previous pattern, which goes on searching.
    grep_.SetUseFuzzyCharDic(true);
    grep_.SetRegExp("abc");
    EXPECT_THROW(grep_.SetRegExp("abc\x82"), ERegExpParser);
    EXPECT_EQ(grep_.RegExp(), "abc");
    hits_.clear();
    grep_.Grep(Write("g.txt", "ABC\n"));
    EXPECT_EQ(hits_, (Hits{{1, "ABC"}}));
}

TEST_F(GrepReader, CancelStopsTheAutomatonToo) {
    grep_.SetRegExp("[0-9]");
    grep_.OnMatch = [this](TGrep& sender, RE_LineInfo_t info) {
        hits_.emplace_back(info.LineNo, info.Line);
        sender.Cancel = true;
    };
    EXPECT_THROW(grep_.Grep(Write("f.txt", "a1\nb2\n")), EGrepCancel);
    EXPECT_EQ(hits_, (Hits{{1, "a1"}}));
}

// Greps that take a pattern from another share its compiled automaton: nothing is compiled
// again, and several threads search with it at once and each finds every hit.
TEST_F(GrepReader, ASharedPatternIsCompiledOnceAndSearchesFromThreads) {
    const std::string J = cp932::FromUtf8("ソ表");
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += i % 7 == 0 ? "x" + J + cp932::FromUtf8("能ポ") + "\n" : "yyy\n";
    const std::string file = Write("f.txt", bytes);
    for (const bool dictionary : {true, false}) {
        TGrep source;
        source.SetUseFuzzyCharDic(dictionary);
        source.SetRegExp(engine::ComposePattern({J, cp932::FromUtf8("ポ"), "x"}));
        std::vector<std::unique_ptr<TGrep>> workers;
        for (int w = 0; w < 4; ++w) {
            workers.push_back(std::make_unique<TGrep>());
            const int before = workers.back()->CompileCount();
            workers.back()->ShareCurrentOf(source);
            EXPECT_EQ(workers.back()->CompileCount(), before);
            EXPECT_EQ(workers.back()->RegExp(), source.RegExp());
            EXPECT_EQ(workers.back()->UseFuzzyCharDic(), dictionary);
            EXPECT_EQ(workers.back()->UsesLiteral(), source.UsesLiteral());
        }
        std::vector<std::size_t> counts(workers.size());
        std::vector<std::thread> threads;
        for (std::size_t w = 0; w < workers.size(); ++w)
            threads.emplace_back([&, w] {
                workers[w]->OnMatch = [&, w](TGrep&, RE_LineInfo_t) { ++counts[w]; };
                for (int round = 0; round < 3; ++round)
                    workers[w]->Grep(file);
            });
        for (std::thread& t : threads)
            t.join();
        for (std::size_t c : counts)
            EXPECT_EQ(c, 3u * 429) << dictionary;
    }
}

} // namespace
