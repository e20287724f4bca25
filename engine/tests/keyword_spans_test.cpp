#include "keyword_spans.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

// Spans as "keyword:start-end", for readable failures.
std::string Spans(const std::vector<engine::TKeywordSpans::TSpan>& spans) {
    std::string out;
    for (const auto& s : spans)
        out += std::to_string(s.keyword) + ":" + std::to_string(s.start) + "-" +
               std::to_string(s.end) + " ";
    return out;
}

TEST(KeywordSpans, WhereEachKeywordMatchesInALine) {
    struct Case {
        std::vector<std::string> keywords;
        bool fuzzy;
        std::string line, spans;
    } cases[] = {
        {{S("東京")}, false, S("東京と東京"), "0:0-4 0:6-10 "},
        // Widened by the dictionary: ＡＢＣ and abc alike.
        {{"abc"}, true, S("ＡＢＣ abc"), "0:0-6 0:7-10 "},
        {{"abc"}, false, S("ＡＢＣ abc"), "0:7-10 "},
        // A letter is never the second byte of a two-byte character (ア is 0x83 0x41).
        {{"A"}, false, S("アA"), "0:2-3 "},
        // The line anchors lie at the line's ends.
        {{"^ab", "c$"}, false, "abcabc", "0:0-2 1:5-6 "},
        // Each keyword by its field; an empty field takes no part; the longest match.
        {{S("大阪"), "", "x+"}, false, S("xx大阪x"), "2:0-2 0:2-6 2:6-7 "},
        // A keyword the engine rejects on its own matches nothing.
        {{"(ab", "b"}, false, "ab", "1:1-2 "},
    };
    for (const Case& c : cases) {
        const engine::TKeywordSpans spans(c.keywords, c.fuzzy);
        EXPECT_EQ(Spans(spans.Find(c.line)), c.spans) << cp932::ToUtf8(c.line);
    }
    EXPECT_EQ(Spans(engine::TKeywordSpans::Merged({{4, 6, 1}, {0, 2, 0}, {1, 3, 2}, {3, 4, 0}})),
              "0:0-6 ");
}

} // namespace
