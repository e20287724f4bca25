#include "ordered_search.h"

#include "codec.h"
#include "result_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using engine::EGrepCancel;
using engine::RE_LineInfo_t;
using engine::TGrep;

namespace {

namespace fs = std::filesystem;

// Writes down everything a search hands on, in the order it comes.
class Recorder : public engine::THitSink {
  public:
    void FileBegins(std::size_t file) override {
        log += "begin " + std::to_string(file) + "\n";
        current = file;
        if (onBegin) onBegin(file);
    }
    void Hit(const RE_LineInfo_t& hit) override {
        log += "  " + std::to_string(hit.LineNo) + ": " + hit.Line + "\n";
        ++lines;
        if (onHit) onHit(current);
    }
    void FileEnds(std::size_t file, std::size_t hits) override {
        log += "end " + std::to_string(file) + " " + std::to_string(hits) + "\n";
        ends.push_back(hits);
    }

    std::string log;
    std::size_t current = 0, lines = 0;
    std::vector<std::size_t> ends;
    std::function<void(std::size_t)> onBegin, onHit;
};

class OrderedSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra_ordered_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A note of `hits` lines holding the keyword 東京 among lines without it (Shift-JIS, CR LF),
    // padded to at least `bytes` bytes.
    std::string Note(int i, int hits, std::size_t bytes = 0) {
        std::string text;
        for (int h = 0; h < hits; ++h)
            text += cp932::FromUtf8("ソ表能ポ " + std::to_string(i) + "-" + std::to_string(h) +
                                    " 東京\r\nなし\r\n");
        while (text.size() < bytes)
            text += std::string(99, 'x') + "\n";
        char name[32];
        std::snprintf(name, sizeof name, "n%04d.txt", i);
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return cp932::PathFromNative((dir_ / name).string());
    }

    // The files' search with `helpers` threads besides the caller; what was handed on, and what
    // ended it ("" when nothing did).
    std::string Search(const std::vector<std::string>& paths, engine::TOrderedSearchOptions options,
                       Recorder& sink, std::size_t* ahead = nullptr) {
        std::string ended;
        engine::TOrderedSearch search(grep_, paths, options);
        try {
            search.Run(sink);
        } catch (const engine::Exception& e) {
            ended = e.Message();
        }
        if (ahead) *ahead = search.SearchedAhead();
        return ended;
    }

    fs::path dir_;
    TGrep grep_;
};

// Whichever thread searches a file, the sink sees each file's hits in the list's order, and a
// file that fails ends the search right after the hits before it, as file after file.
TEST_F(OrderedSearch, HandsOnWhatFileAfterFileGives) {
    grep_.SetRegExp(cp932::FromUtf8("東京"));
    std::vector<std::string> paths;
    for (int i = 0; i < 300; ++i)
        paths.push_back(Note(i, i % 4));
    for (const bool vanished : {false, true}) {
        if (vanished) fs::remove(cp932::PathToNative(paths[250]));
        Recorder one;
        engine::TOrderedSearchOptions options;
        options.helpers = 0;
        const std::string oneEnded = Search(paths, options, one);
        EXPECT_EQ(oneEnded, vanished ? cp932::FromUtf8("ファイルが見つかりません") : "");
        EXPECT_EQ(one.ends.size(), vanished ? 251u : 300u);
        EXPECT_EQ(one.lines, vanished ? 373u : 450u);
        for (const std::size_t helpers : {1, 3}) {
            SCOPED_TRACE(std::to_string(helpers) + " helpers" + (vanished ? ", vanished" : ""));
            Recorder many;
            // A slow caller now and then lets the helpers get ahead.
            many.onBegin = [](std::size_t file) {
                if (file % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            };
            options.helpers = helpers;
            std::size_t ahead = 0;
            EXPECT_EQ(Search(paths, options, many, &ahead), oneEnded);
            EXPECT_EQ(many.log, one.log);
            EXPECT_GT(ahead, 0u);
        }
    }
    EXPECT_TRUE(grep_.OnMatch == nullptr); // the caller's grep is left as it was
}

// Only the number of hits, when the lines are not wanted.
TEST_F(OrderedSearch, CountsWithoutLines) {
    grep_.SetRegExp(cp932::FromUtf8("東京"));
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i)
        paths.push_back(Note(i, i % 3));
    engine::TOrderedSearchOptions options;
    options.lines = false;
    options.helpers = 2;
    Recorder sink;
    EXPECT_EQ(Search(paths, options, sink), "");
    EXPECT_EQ(sink.lines, 0u);
    ASSERT_EQ(sink.ends.size(), 40u);
    for (std::size_t i = 0; i < 40; ++i)
        EXPECT_EQ(sink.ends[i], i % 3) << i;
}

// A file searched ahead keeps hits only up to the first one past the cap (the pane takes no
// more); a large file is never searched ahead, so all its hits are handed on as found.
TEST_F(OrderedSearch, CapOnHitsKeptAheadAndLargeFilesLeftToTheCaller) {
    grep_.SetRegExp(cp932::FromUtf8("東京"));
    std::vector<std::string> paths;
    std::vector<bool> large;
    for (int i = 0; i < 30; ++i) {
        large.push_back(i % 3 == 2);
        paths.push_back(Note(i, 10, large.back() ? 40000 : 0));
    }
    for (const bool byLines : {true, false}) {
        SCOPED_TRACE(byLines ? "lines" : "bytes");
        engine::TOrderedSearchOptions options;
        options.helpers = 1;
        // Four hits whichever cap stops them: a hit line here is 17 or 18 bytes, counted as 23
        // or 24.
        if (byLines)
            options.maxLines = 3;
        else
            options.maxBytes = 72;
        options.largeFile = 30000;
        Recorder sink;
        sink.onBegin = [](std::size_t) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        };
        std::size_t ahead = 0;
        EXPECT_EQ(Search(paths, options, sink, &ahead), "");
        ASSERT_EQ(sink.ends.size(), 30u);
        std::size_t capped = 0;
        for (std::size_t i = 0; i < 30; ++i) {
            if (large[i] || i == 0) {
                EXPECT_EQ(sink.ends[i], 10u) << i;
            } else {
                EXPECT_TRUE(sink.ends[i] == 10 || sink.ends[i] == 4) << i << ": " << sink.ends[i];
                if (sink.ends[i] == 4) ++capped;
            }
        }
        EXPECT_EQ(capped, ahead);
        EXPECT_GT(ahead, 0u);
    }
}

// A cancel from the host's events, or from the sink, stops the search where it is: no hit of
// a later file is handed on, and the helpers stop with it.
TEST_F(OrderedSearch, CancelStopsAtOnce) {
    grep_.SetRegExp(cp932::FromUtf8("東京"));
    std::vector<std::string> paths;
    for (int i = 0; i < 200; ++i)
        paths.push_back(Note(i, 2));
    for (const std::size_t helpers : {0, 1, 3}) {
        SCOPED_TRACE(std::to_string(helpers) + " helpers");
        engine::TOrderedSearchOptions options;
        options.helpers = helpers;

        // From the events, once the search has come to file 120.
        Recorder byEvents;
        grep_.ProcessMessages = [&] {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            if (byEvents.current == 120) grep_.Cancel = true;
        };
        bool cancelled = false;
        try {
            engine::TOrderedSearch(grep_, paths, options).Run(byEvents);
        } catch (const EGrepCancel&) {
            cancelled = true;
        }
        grep_.ProcessMessages = nullptr;
        EXPECT_TRUE(cancelled);
        EXPECT_EQ(byEvents.lines, 240u);
        EXPECT_EQ(byEvents.ends.size(), 120u);

        // From the sink, at the last hit of file 150.
        Recorder bySink;
        std::size_t hitsOf150 = 0;
        bySink.onHit = [&](std::size_t file) {
            if (file == 150 && ++hitsOf150 == 2) grep_.Cancel = true;
        };
        cancelled = false;
        try {
            engine::TOrderedSearch(grep_, paths, options).Run(bySink);
        } catch (const EGrepCancel&) {
            cancelled = true;
        }
        EXPECT_TRUE(cancelled);
        EXPECT_EQ(bySink.lines, 302u);
        EXPECT_EQ(bySink.ends.size(), 150u);
    }
}

TEST_F(OrderedSearch, AnEmptyListHandsOnNothing) {
    grep_.SetRegExp("a");
    Recorder sink;
    EXPECT_EQ(Search({}, {}, sink), "");
    EXPECT_EQ(sink.log, "");
}

// The texts both front ends show.
TEST(ResultText, HeadersHitLinesAndSummary) {
    const auto S = [](const char* utf8) { return cp932::FromUtf8(utf8); };
    struct Case {
        std::string path, base;
        bool subfolders;
        std::string header;
    } cases[] = {
        {"data/sub/x.txt", "data", true, "sub/x.txt"},
        {"DATA/sub/x.txt", "data", true, "sub/x.txt"}, // letter case aside
        {"other/sub/x.txt", "data", true, "other/sub/x.txt"},
        {"data/sub/x.txt", "data", false, "x.txt"},
        {"x.txt", "", true, "x.txt"},
        // ヂ and ア differ only in a second byte, 'a' and 'A' when taken alone.
        {S("ヂ/表.txt"), S("ア"), true, S("ヂ/表.txt")},
        {S("ヂ/表.txt"), S("ヂ"), true, S("表.txt")},
        {S("ソ表/能.txt"), "", false, S("能.txt")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(engine::HeaderText(c.path, c.base, c.subfolders), c.header) << c.path;

    std::string line = "x";
    engine::AppendHitLine(line, S("ソ表"), false);
    engine::AppendHitLine(line, S("能"), true);
    EXPECT_EQ(line, "x    " + S("ソ表") + "    " + S("★能"));

    EXPECT_EQ(engine::SummaryLine({S("東京"), "", " abc"}, 12),
              S("　　検索キーワード　　　東京　　　　 abc　　　12個マッチしました"));
    EXPECT_EQ(engine::BadPatternMessage(), S("検索語に正規表現に違反する入力があります"));
}

} // namespace
