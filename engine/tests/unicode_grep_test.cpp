// UTF-8 and UTF-16 notes against their Shift-JIS twins: the same keywords, dictionary and
// any-order rule find the same lines, by number and in order, in the reference routines and the
// fast search alike; each hit also carries the line as the note spells it.
#include "grep.h"

#include "codec.h"
#include "note_encoding.h"
#include "query.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

using cp932::EncodingChoice;
using engine::RE_LineInfo_t;
using engine::TGrep;
using engine::TTxtFile;

namespace {

namespace fs = std::filesystem;

std::string J(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

// UTF-8 text as UTF-16 code units' bytes.
std::string Utf16(const std::string& utf8, bool bigEndian) {
    std::string out;
    const auto put = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = cp932::DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8.data()) + i,
                                         utf8.size() - i);
        i += c.length;
        if (c.code >= 0x10000) {
            put(static_cast<char16_t>(0xD800 + ((c.code - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<char16_t>(c.code));
        }
    }
    return out;
}

// Lines of notes: kana, kanji (ASCII-like second bytes: ソ 表 能 ポ), half-width and full-width
// forms, voiced marks, and characters that Shift-JIS lacks between a keyword's characters.
// Each line's Shift-JIS twin has kNoForm for those.
struct TwinLine {
    std::string utf8, sjis;
};
std::vector<TwinLine> Lines() {
    const std::string none(cp932::kNoForm);
    std::vector<TwinLine> lines;
    // Well-formed UTF-8 for more than the first 4 KiB, so that a note without a mark is read as
    // UTF-8 although it holds bytes that are no UTF-8 further on.
    std::string opening;
    while (opening.size() <= cp932::kEncodingWindow)
        opening += "あいうえお";
    lines.push_back({opening, J(opening.c_str())});
    for (const char* text : {"東京タワーへ行く", "とうきょうの地図", "ﾄｳｷｮｳ ﾀﾜｰ",
                             "ソフトの表示能力", "ﾎﾟｽﾄ ポスト ほ゜すと", "ＡＢＣ abc Abc",
                             "１２３ 123", "がっこう ｶﾞｯｺｳ か゛っこう", "", "plain ASCII only"})
        lines.push_back({text, J(text)});
    // The two wave dashes have one form.
    lines.push_back({"〜 wave", J("～ wave")});
    lines.push_back({"full-width ～", J("full-width ～")});
    lines.push_back({"東😀京", J("東") + none + J("京")});
    lines.push_back({"東京𠮷野家", J("東京") + none + J("野家")});
    lines.push_back({"ト😀ウキョウ", J("ト") + none + J("ウキョウ")});
    lines.push_back({"ソ\xFFフト", J("ソ") + none + J("フト")});
    lines.push_back({"ẞtrasse 表", none + J("trasse 表")});
    return lines;
}

class UnicodeNotes : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quelvra_unicode_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        file_ = cp932::PathFromNative((dir_ / "f.txt").string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    struct Hit {
        int no;
        std::string line, utf8;
        bool operator==(const Hit&) const = default;
    };
    std::vector<Hit> Run(const std::string& bytes, bool reference, EncodingChoice choice) {
        std::ofstream(dir_ / "f.txt", std::ios::binary | std::ios::trunc) << bytes;
        std::vector<Hit> hits;
        grep_.UseReference = reference;
        grep_.Encoding = choice;
        grep_.OnMatch = [&](TGrep&, RE_LineInfo_t info) {
            hits.push_back({info.LineNo, info.Line, info.FromUnicode ? info.Utf8 : ""});
        };
        grep_.Grep(file_);
        return hits;
    }

    fs::path dir_;
    std::string file_;
    TGrep grep_;
};

std::string Show(const std::vector<TwinLine>& lines, bool utf8) {
    std::string s;
    for (const auto& l : lines)
        s += (utf8 ? l.utf8 : l.sjis) + "\n";
    return s;
}

TEST_F(UnicodeNotes, EveryEncodingFindsWhatItsShiftJisTwinFinds) {
    const std::vector<TwinLine> base = Lines();
    // A small note, and one of several blocks whose line ends vary (CR LF, lone CR).
    std::vector<std::vector<TwinLine>> notes = {base, {}};
    while (Show(notes[1], true).size() < TTxtFile::BlockSize + TTxtFile::BlockSize / 4) {
        for (const auto& l : base)
            notes[1].push_back({l.utf8 + (notes[1].size() % 3 == 1 ? "\r" : ""),
                                l.sjis + (notes[1].size() % 3 == 1 ? "\r" : "")});
        notes[1].push_back({std::string(3000, 'x'), std::string(3000, 'x')});
    }
    struct Query {
        std::vector<std::string> keywords;
        std::vector<const char*> mustHit; // lines the dictionary-on search finds at least
    };
    const std::vector<Query> queries = {
        {{J("東京")}, {"東京タワーへ行く", "東京𠮷野家"}},
        {{J("トウキョウ")}, {"とうきょうの地図", "ﾄｳｷｮｳ ﾀﾜｰ"}},
        {{J("ソ"), J("表")}, {"ソフトの表示能力"}},
        {{J("能"), J("ソフト"), J("表示")}, {"ソフトの表示能力"}},
        {{J("ポスト")}, {"ﾎﾟｽﾄ ポスト ほ゜すと"}},
        {{"abc"}, {"ＡＢＣ abc Abc"}},
        {{J("１２")}, {"１２３ 123"}},
        {{J("がっこう")}, {"がっこう ｶﾞｯｺｳ か゛っこう"}},
        {{J("～")}, {"〜 wave", "full-width ～"}},
        {{J("東.京")}, {"東😀京"}},
        {{"^" + J("東")}, {"東京タワーへ行く", "東😀京", "東京𠮷野家"}},
        {{J("表") + "$"}, {"ẞtrasse 表"}},
    };
    for (std::size_t k = 0; k < notes.size(); ++k) {
        const std::string utf8 = Show(notes[k], true), sjis = Show(notes[k], false);
        struct Encoded {
            const char* what;
            std::string bytes;
            EncodingChoice choice;
        } encoded[] = {
            {"UTF-8", utf8, EncodingChoice::Auto},
            {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8, EncodingChoice::Auto},
            {"UTF-16 LE with its mark", "\xFF\xFE" + Utf16(utf8, false), EncodingChoice::Auto},
            {"UTF-16 BE with its mark", "\xFE\xFF" + Utf16(utf8, true), EncodingChoice::Auto},
            {"UTF-16 LE by choice", Utf16(utf8, false), EncodingChoice::Utf16},
        };
        for (const Query& q : queries) {
            for (const bool widen : {true, false}) {
                grep_.SetUseFuzzyCharDic(widen);
                grep_.SetRegExp(engine::ComposePattern(q.keywords));
                const std::vector<Hit> twin = Run(sjis, true, EncodingChoice::ShiftJis);
                ASSERT_EQ(Run(sjis, false, EncodingChoice::Auto), twin);
                // The note's own lines go with the twin's hits.
                std::vector<Hit> expected = twin;
                for (Hit& h : expected) {
                    h.utf8 = notes[k][static_cast<std::size_t>(h.no - 1)].utf8;
                    while (!h.utf8.empty() && h.utf8.back() == '\r')
                        h.utf8.pop_back();
                }
                for (const char* line : q.mustHit) {
                    if (!widen) continue;
                    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(),
                                            [&](const Hit& h) { return h.utf8 == line; }))
                        << cp932::ToUtf8(q.keywords[0]) << " " << line;
                }
                for (const Encoded& e : encoded)
                    for (const bool reference : {true, false})
                        EXPECT_EQ(Run(e.bytes, reference, e.choice), expected)
                            << e.what << " note " << k << " reference " << reference << " widening "
                            << widen << " keywords " << q.keywords.size() << " first "
                            << cp932::ToUtf8(q.keywords[0]);
            }
        }
    }
}

// A character that Shift-JIS lacks never completes a keyword: not between its characters, and
// not as a character of the keyword's own bytes spelled another way.
TEST_F(UnicodeNotes, CharactersShiftJisLacksMatchNoKeyword) {
    grep_.SetUseFuzzyCharDic(true);
    const std::string note = "東😀京\n東𠮷京\nト\xF0\x9F\x98\x80ウ\n😀\n";
    for (const bool reference : {true, false}) {
        for (const char* keyword : {"東京", "トウ", "〓", "・"}) {
            grep_.SetRegExp(J(keyword));
            EXPECT_TRUE(Run(note, reference, EncodingChoice::Utf8).empty())
                << keyword << " " << reference;
        }
        grep_.SetRegExp(J("東.京"));
        EXPECT_EQ(Run(note, reference, EncodingChoice::Utf8).size(), 2u) << reference;
    }
}

} // namespace
