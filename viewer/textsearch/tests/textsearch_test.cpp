// The text search routine: its tables, a table of searches in both directions, and random
// Shift-JIS buffers checked against a plain restatement of the rules.
#include "textsearch.h"

#include "codec.h"
#include "reference_search.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace textsearch;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

std::string Code(std::uint16_t c) {
    return std::string{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
}

TEST(TextSearchTables, FullWidthFormsAreTheCodePagesOwn) {
    // Every entry spelled out as the character it stands for.
    const char* half = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                       "abcdefghijklmnopqrstuvwxyz{|}~";
    const char* full =
        "　！”＃＄％＆’（）＊＋，－．／０１２３４５６７８９：；＜＝＞？＠ＡＢＣＤＥＦＧＨＩＪ"
        "ＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ［￥］＾＿｀ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗ"
        "ｘｙｚ｛｜｝￣";
    EXPECT_EQ(ToFullWidth(half), S(full));
    EXPECT_EQ(ToFullWidth(S("｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ")),
              S("。「」、．ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
                "ハヒフヘホマミムメモヤユヨラリルレロワン゛゜"));
    for (unsigned char b : {0x00, 0x09, 0x0D, 0x1F, 0x7F, 0x80, 0xA0, 0xFD, 0xFE, 0xFF}) {
        EXPECT_EQ(FullWidthOf(b), 0) << int(b);
        EXPECT_EQ(ToFullWidth(std::string(1, static_cast<char>(b))), std::string(1, char(b)));
    }
}

TEST(TextSearchTables, KanaWithSoundMarksBecomeOneCharacter) {
    struct Case {
        const char* half;
        const char* full;
    } cases[] = {
        {"ｶﾞｷﾞﾄﾞ", "ガギド"},
        {"ﾊﾞﾊﾟﾎﾟ", "バパポ"},
        {"ｳﾞ", "ヴ"},
        // Only ﾊ-ﾎ take the semi-voiced mark: the others keep it as a character of its own.
        {"ｶﾟｳﾟ", "カ゜ウ゜"},
        {"ｱﾞ", "ア゛"},
        {"ﾞｶ", "゛カ"},
        {"表ソ能ポ", "表ソ能ポ"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToFullWidth(S(c.half)), S(c.full)) << c.half;
    // A lone lead byte at the end is kept.
    EXPECT_EQ(ToFullWidth("a\x82"), S("ａ") + "\x82");
}

TEST(TextSearchTables, TwoByteLowerCaseFoldsToItsCapital) {
    struct Case {
        const char* text;
        const char* pattern;
        bool same;
    } cases[] = {
        {"ａ", "Ａ", true}, {"ｚ", "Ｚ", true}, {"Ａ", "Ａ", true},  {"Ａ", "ａ", false},
        {"σ", "Σ", true},   {"ω", "Ω", true},   {"а", "А", true},    {"н", "Н", true},
        {"о", "О", true},   {"я", "Я", true},   {"ё", "Ё", true},    {"ⅰ", "Ⅰ", true},
        {"ⅹ", "Ⅹ", true},   {"ア", "ア", true}, {"ア", "イ", false}, {"ソ", "ゾ", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SameCharIgnoreCase(S(c.pattern).c_str(), S(c.text).c_str()), c.same)
            << c.text << " " << c.pattern;
    // Both code positions of the small Roman numerals.
    EXPECT_TRUE(SameCharIgnoreCase(Code(0x8754).c_str(), Code(0xEEEF).c_str()));
    EXPECT_TRUE(SameCharIgnoreCase(Code(0x875D).c_str(), Code(0xFA49).c_str()));
    EXPECT_EQ(UpperCaseCode(0xFA40), 0x8754);
    EXPECT_EQ(UpperCaseCode(0x8341), 0x8341); // ア: its second byte is "A", not a letter
}

TEST(TextSearchTables, DelimitersAndUpperCase) {
    int count = 0;
    for (int b = 0; b < 256; ++b)
        count += IsDelimiter(static_cast<unsigned char>(b));
    EXPECT_EQ(count, 76);
    for (int b : {0x5F, 0x20, 0x2D, 0x5C, 0x7C, 0x7E, 0x80, 0xA0, 0xA5, 0xFD})
        EXPECT_TRUE(IsDelimiter(static_cast<unsigned char>(b))) << b;
    for (int b : {0x30, 0x61, 0x5A, 0xA6, 0xB1, 0xDF, 0x81, 0xFC})
        EXPECT_FALSE(IsDelimiter(static_cast<unsigned char>(b))) << b;
    for (int b = 0; b < 256; ++b) {
        const int want = b >= 'a' && b <= 'z' ? b - 32 : b;
        EXPECT_EQ(UpperCaseByte(static_cast<unsigned char>(b)), want);
    }
}

struct Search {
    const char* text; // UTF-8
    const char* pattern;
    TSearchOptions options;
    int start, length; // the selection searched from, in Shift-JIS bytes
    int found;         // -1: not found
    int foundLength;
};

void Check(const Search& c) {
    const std::string text = S(c.text), pattern = S(c.pattern);
    std::int32_t start = c.start, length = c.length;
    const bool found = FindInBuffer(text, start, length, pattern, c.options);
    SCOPED_TRACE(std::string(c.text) + " / " + c.pattern + " options " + std::to_string(c.options) +
                 " from " + std::to_string(c.start) + "+" + std::to_string(c.length));
    EXPECT_EQ(found, c.found >= 0);
    if (found && c.found >= 0) {
        EXPECT_EQ(start, c.found);
        EXPECT_EQ(length, c.foundLength);
    }
    std::int32_t rs = c.start, rl = c.length;
    const bool ref = textsearch_reference::Find(text, rs, rl, pattern, c.options);
    EXPECT_EQ(ref, found) << "reference differs";
    if (ref && found) {
        EXPECT_EQ(std::make_pair(rs, rl), std::make_pair(start, length));
    }
}

constexpr TSearchOptions D = soDown, C = soMatchCase, W = soWholeWord, Z = soNoMatchZenkaku,
                         B = soIgnoreLineEnds | soIgnoreSpaces;

TEST(FindInBuffer, CaseFolding) {
    const Search cases[] = {
        {"xx abc", "ABC", D, 0, 0, 3, 3},
        {"xx aBc", "ABC", D, 0, 0, 3, 3},
        {"xx aBc", "abc", D, 0, 0, 3, 3},
        {"xx aBc", "abc", D | C, 0, 0, -1, 0},
        {"xx abc", "abc", D | C, 0, 0, 3, 3},
        {"・ａｂ", "ＡＢ", D, 0, 0, 2, 4},
        {"・ＡＢ", "ａｂ", D, 0, 0, 2, 4},
        {"・ａｂ", "ＡＢ", D | C, 0, 0, -1, 0},
        {"ΣσΣ", "Σ", D, 2, 0, 2, 2},
        {"ΣσΣ", "σ", D | C, 0, 0, 2, 2},
        {"Привет мир", "МИР", D, 0, 0, 13, 6},
        {"ⅰとⅡ", "Ⅰ", D, 0, 0, 0, 2},
        // A second byte in the ASCII letter range is no letter: ア is 83 41, ソ 83 5C.
        {"アa", "A", D, 0, 0, 2, 1},
        {"アa", "a", soDown, 0, 0, 2, 1},
        {"ソ表能\\", "\\", D, 0, 0, 6, 1},
        {"ポ|", "|", D, 0, 0, 2, 1},
        {"ア", "A", D, 0, 0, -1, 0},
        {"ソ", "\\", D | C, 0, 0, -1, 0},
    };
    for (const Search& c : cases)
        Check(c);
}

TEST(FindInBuffer, DirectionsAndStarts) {
    const Search cases[] = {
        {"abcabc", "abc", D, 0, 0, 0, 3},
        {"abcabc", "abc", D, 0, 3, 3, 3}, // after the selection
        {"abcabc", "abc", D, 1, 0, 3, 3},
        {"abcabc", "abc", D, 4, 0, -1, 0},
        {"abcabc", "abc", 0, 6, 0, 3, 3},
        {"abcabc", "abc", 0, 3, 3, 0, 3}, // backward from the selection's start
        {"abcabc", "abc", 0, 2, 0, -1, 0},
        {"abcabc", "abc", 0, 7, 0, -1, 0}, // beyond the buffer
        {"abcabc", "abc", D, -1, 0, -1, 0},
        {"abcabc", "abc", D, 0, -1, -1, 0},
        // An end offset on the second byte of a character: the search starts after it.
        {"表表", "表", D, 0, 1, 2, 2},
        {"アアア", "ア", 0, 3, 0, 0, 2}, // backward from a second byte: start moves back
        {"漢字漢字", "漢字", 0, 8, 0, 4, 4},
        {"漢字漢字", "漢字", 0, 4, 4, 0, 4},
    };
    for (const Search& c : cases)
        Check(c);
}

TEST(FindInBuffer, WidthInsensitive) {
    const Search cases[] = {
        {"このｶﾞｲﾄﾞです", "ガイド", D | Z, 0, 0, 4, 5},
        {"このガイドです", "ｶﾞｲﾄﾞ", D | Z, 0, 0, 4, 6},
        {"このガイドです", "ｶﾞｲﾄﾞ", D, 0, 0, -1, 0},
        {"xａｂｃ", "abc", D | Z, 0, 0, 1, 6},
        {"xＡＢＣ", "abc", D | Z, 0, 0, 1, 6},
        {"xＡＢＣ", "abc", D | Z | C, 0, 0, -1, 0},
        {"xabc", "ＡＢＣ", D | Z, 0, 0, 1, 3},
        {"xabc", "ａｂｃ", D | Z, 0, 0, 1, 3},
        {"xabc", "ａｂｃ", D | Z | C, 0, 0, 1, 3},
        {"xABC", "ａｂｃ", D | Z | C, 0, 0, -1, 0},
        {"ﾊﾟﾊﾞ", "バ", D | Z, 0, 0, 2, 2},
        {"ｳﾞｧ", "ヴァ", D | Z, 0, 0, 0, 3},
        // ｶﾟ is カ and a semi-voiced mark, never キ.
        {"ｶﾟ", "キ", D | Z, 0, 0, -1, 0},
        {"ｶﾟ", "カ゜", D | Z, 0, 0, 0, 2},
        {"ｳﾟ", "ウ゜", D | Z, 0, 0, 0, 2},
        // Backward: a kana with its mark counts as one character.
        {"ｶﾞｶﾞ", "ガ", Z, 4, 0, 2, 2},
        {"ｶﾞｶﾞ", "ガ", Z, 2, 2, 0, 2},
        {"ｶﾞｶﾞ", "ガ", Z, 1, 0, 0, 2}, // one character back from 1 is 0
        {"1２3", "１23", D | Z, 0, 0, 0, 4},
    };
    for (const Search& c : cases)
        Check(c);
}

TEST(FindInBuffer, LineEndsAndBlanks) {
    const Search cases[] = {
        {"xabc\r\ndef", "abcdef", D | B, 0, 0, 1, 8},
        {"xabc\r\ndef", "abcdef", D, 0, 0, -1, 0},
        {"xabc\r\ndef", "abcdef", D | soIgnoreLineEnds, 0, 0, 1, 8},
        {"a b", "ab", D | soIgnoreSpaces, 0, 0, 0, 3},
        {"a b", "ab", D | soIgnoreLineEnds, 0, 0, -1, 0},
        {"a　b", "ab", D | B, 0, 0, 0, 4},
        {"a\t\tb", "ab", 0 | B, 4, 0, 0, 4},
        // No skipping before the first character, and a match never ends on skipped bytes.
        {" ab", "ab", D | B, 0, 0, 1, 2},
        {"ab \r\n", "ab", D | B, 0, 0, 0, 2},
        // Full-width space: two bytes skipped together, never half of it.
        {"表　能", "表能", D | B, 0, 0, 0, 6},
        {"ｶﾞ ｲﾄﾞ", "ガイド", D | B | Z, 0, 0, 0, 6},
    };
    for (const Search& c : cases)
        Check(c);
}

TEST(FindInBuffer, WholeWords) {
    const Search cases[] = {
        {"concatenate cat_x", "cat", D | W, 0, 0, 12, 3},
        {"concatenate cat_x", "cat", D, 0, 0, 3, 3},
        {"concatenate cat_x", "cat", W, 17, 0, 12, 3},
        {"concatenate", "concatenate", W, 11, 0, 0, 11},
        // Only the beginning of a word is no whole word, at either end of the buffer.
        {"concatenate", "con", W, 11, 0, -1, 0},
        {"xcat", "cat", D | W, 0, 0, -1, 0},
        {"cat", "cat", D | W, 0, 0, 0, 3},
        {"(cat)", "cat", D | W, 0, 0, 1, 3},
        {"cat2 cat", "cat", D | W, 0, 0, 5, 3},
        // A two-byte character is a word character, whatever its second byte is.
        {"表cat ソcat cat", "cat", D | W, 0, 0, 12, 3},
        {"アcat", "cat", D | W, 0, 0, -1, 0},
        {"漢字 漢字を", "漢字", D | W, 0, 0, 0, 4},
        {"漢字を 漢字", "漢字", D | W, 0, 0, 7, 4},
        {"ﾃｽﾄ ﾃｽﾄ", "ﾃｽﾄ", 0 | W, 7, 0, 4, 3},
        // The full-width space (81 40) separates words as a blank does, on either side and both
        // ways; another character ending in 40 ("@") does not.
        {"表示　漢字　能", "漢字", D | W, 0, 0, 6, 4},
        {"表示　漢字　能", "漢字", W, 14, 0, 6, 4},
        {"漢字　cat", "cat", D | W, 0, 0, 6, 3},
        {"cat　漢字", "cat", W, 9, 0, 0, 3},
        {"ァcat　ソcat cat", "cat", D | W, 0, 0, 13, 3}, // ァ is 83 40
        {"　ポ", "ポ", D | W, 0, 0, 2, 2},
        {"ポ　", "ポ", W, 4, 0, 0, 2},
        {"表示漢字　", "漢字", D | W, 0, 0, -1, 0},
    };
    for (const Search& c : cases)
        Check(c);
}

TEST(FindInBuffer, EmptyInputsLeaveTheSelectionAlone) {
    std::int32_t start = 5, length = 7;
    EXPECT_FALSE(FindInBuffer("abc", start, length, "", soDown));
    EXPECT_FALSE(FindInBuffer("", start, length, "a", soDown));
    EXPECT_FALSE(FindInBuffer("abc", start, length, std::string_view("\0a", 2), soDown));
    EXPECT_EQ(start, 5);
    EXPECT_EQ(length, 7);
    // Huge selections do not overflow.
    start = 1;
    length = INT32_MAX;
    EXPECT_FALSE(FindInBuffer("abc", start, length, "a", soDown));
}

TEST(FindInBuffer, BufferEdgesAndStrayBytes) {
    // A lead byte at the very end is a character of its own and never reaches past the buffer.
    std::string text = "ab\x82";
    std::int32_t start = 0, length = 0;
    EXPECT_FALSE(FindInBuffer(text, start, length, "\x82\xA0", soDown));
    start = length = 0;
    EXPECT_TRUE(FindInBuffer(text, start, length, "\x82", soDown | soMatchCase));
    EXPECT_EQ(start, 2);
    EXPECT_EQ(length, 1);
    // A NUL inside the buffer is an ordinary byte: the text after it is searched too.
    text = std::string("a\0b", 3);
    start = length = 0;
    EXPECT_TRUE(FindInBuffer(text, start, length, "b", soDown));
    EXPECT_EQ(start, 2);
    // A run of lead-valued bytes longer than the local look-back: the map of the whole buffer.
    std::string run;
    for (int k = 0; k < 700; ++k)
        run += S("ぁ"); // 82 9F: both bytes lead-valued
    const std::string long1 = run + S("ぁア"), long2 = "\x82" + run + S("ア");
    start = length = 0;
    EXPECT_TRUE(FindInBuffer(long1, start, length, S("ア"), soDown));
    EXPECT_EQ(start, 1402);
    start = 0;
    length = 0;
    EXPECT_TRUE(FindInBuffer(long2, start, length, "\x9F\x82", soDown | soMatchCase));
    EXPECT_EQ(start, 2); // the leading byte pairs with the next: 82 82, 9F 82, 9F 82, ...
    // so ぁ (82 9F) lies only across characters and is never found.
    start = static_cast<std::int32_t>(long2.size());
    length = 0;
    EXPECT_FALSE(FindInBuffer(long2, start, length, S("ぁ"), soMatchCase));
    start = length = 0;
    EXPECT_FALSE(FindInBuffer(long2, start, length, S("ぁ"), soMatchCase | soDown));
}

// Random Shift-JIS buffers from a small alphabet that makes matches likely.
std::string RandomText(std::mt19937& rng, const std::vector<std::string>& alphabet, int chars) {
    std::string s;
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    for (int k = 0; k < chars; ++k)
        s += alphabet[pick(rng)];
    return s;
}

TEST(FindInBuffer, AgreesWithThePlainRestatementOnRandomText) {
    std::vector<std::string> alphabet;
    for (const char* u :
         {"a",  "A",  "b",  "B",  "z",  " ",  "_",  "\\", "|",  "\r", "\n", "\t", "ｱ",  "ｶ",
          "ﾊ",  "ｳ",  "ﾞ",  "ﾟ",  "ア", "ガ", "カ", "パ", "ヴ", "ソ", "表", "能", "ポ", "ａ",
          "Ａ", "ｂ", "Ｂ", "　", "σ",  "Σ",  "ⅰ",  "Ⅰ",  "ぁ", "。", "ァ", "@"})
        alphabet.push_back(S(u));
    alphabet.push_back("\xEE\xEF"); // ⅰ in its other position
    std::mt19937 rng(20261210);
    const TSearchOptions optionSets[] = {0, C, W, Z, Z | C, B, W | Z | B, C | W | Z | B};
    int found = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(rng, alphabet, 1 + static_cast<int>(rng() % 24));
        std::string pattern = RandomText(rng, alphabet, 1 + static_cast<int>(rng() % 3));
        if (rng() % 5 == 0) pattern = text.substr(rng() % text.size(), 1 + rng() % 4);
        for (TSearchOptions o : optionSets) {
            for (TSearchOptions dir : {TSearchOptions{0}, soDown}) {
                const std::int32_t s0 = static_cast<std::int32_t>(rng() % (text.size() + 1));
                const std::int32_t n0 = static_cast<std::int32_t>(rng() % 3);
                std::int32_t s = s0, n = n0, rs = s0, rn = n0;
                const bool got = FindInBuffer(text, s, n, pattern, o | dir);
                const bool want = textsearch_reference::Find(text, rs, rn, pattern, o | dir);
                ASSERT_EQ(got, want) << "options " << (o | dir) << " from " << s0 << "+" << n0;
                if (got) {
                    ASSERT_EQ(std::make_pair(s, n), std::make_pair(rs, rn));
                    ASSERT_LE(s + n, static_cast<std::int32_t>(text.size()));
                    ++found;
                }
            }
        }
    }
    EXPECT_GT(found, 2500); // the alphabet makes hits common enough to mean something
}

TEST(SkipToWordStart, MovesToTheNearestWordStart) {
    const std::string text = S("ab  表c_d");
    std::int32_t pos = 1, remaining = 20;
    EXPECT_TRUE(SkipToWordStart(text, pos, remaining, +1));
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(remaining, 17);
    pos = 5; // second byte of 表
    remaining = 5;
    EXPECT_TRUE(SkipToWordStart(text, pos, remaining, -1));
    EXPECT_EQ(pos, 4);
    pos = 6; // c, after 表: inside a word
    remaining = 1;
    EXPECT_FALSE(SkipToWordStart(text, pos, remaining, +1));
    EXPECT_EQ(remaining, 0);
    pos = 7; // _ before d
    remaining = 9;
    EXPECT_TRUE(SkipToWordStart(text, pos, remaining, +1));
    EXPECT_EQ(pos, 8);
}

} // namespace
