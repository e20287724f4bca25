#include "wrap.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}
std::string Rep(const char* u8, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += Sjis(u8);
    return r;
}

struct Row {
    std::string text;
    int attr;
    friend bool operator==(const Row&, const Row&) = default;
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << cp932::ToUtf8(r.text) << ", " << r.attr << "}";
}

std::vector<Row> Cut(const std::string& line, const TEditorWrapOption& o, int tab = 8) {
    TWrapContext c{true, &o, tab};
    std::vector<Row> rows;
    CutLine(line, c, [&](std::string_view r, int a) { rows.push_back({std::string(r), a}); });
    EXPECT_EQ(RowCountOf(line, c), static_cast<int>(rows.size())) << cp932::ToUtf8(line);
    return rows;
}

TEST(ColumnMap, CodesTabsAndLimits) {
    TColumnMetrics off{4, false, 20};
    EXPECT_EQ(ColumnMap(Sjis("a b\t漢ｱ_9,"), off), "1212451112");
    EXPECT_EQ(ColumnMap("\tx", off), "23331");
    EXPECT_EQ(ColumnMap("ab\tx", off), "11231");
    EXPECT_EQ(StrWidth(Sjis("ab\t漢"), off), 6);
    EXPECT_EQ(ExpandTab(Sjis("ab\t漢\t"), off), Sjis("ab  漢  "));
    EXPECT_EQ(ExpandTab("plain", off), "plain");
    // A lead byte at the very end is a one-byte character.
    EXPECT_EQ(ColumnMap("a\x88", off), "11");
    // With wrapping a tab never runs past the wrap column.
    TColumnMetrics on{8, true, 20};
    EXPECT_EQ(ColumnMap(std::string(17, 'a') + "\tb", on), std::string(17, '1') + "2331");
    EXPECT_EQ(StrWidth(std::string(17, 'a') + "\t", on), 20);
    EXPECT_EQ(ColumnMap(std::string(17, 'a') + "\tb", off).size(), 17u + 3 + 1);
    // The map stops at WrapByte + 3 (on) or 1000 (off), the crossing character whole.
    EXPECT_EQ(ColumnMap(std::string(30, 'a'), on).size(), 23u);
    EXPECT_EQ(ColumnMap(std::string(22, 'a') + Sjis("漢漢"), on).size(), 24u);
    EXPECT_EQ(ColumnMap(std::string(1200, 'a'), off).size(), 1000u);
    EXPECT_EQ(StrWidth(std::string(1200, 'a'), off), 1200);
    // The delimiter set: punctuation but not the underscore, letters, digits or narrow kana.
    for (int b : {0, 32, 47, 58, 64, 91, 94, 96, 123, 128, 160, 165, 253, 255})
        EXPECT_TRUE(IsWordDelimiter(static_cast<unsigned char>(b))) << b;
    for (int b : {48, 57, 65, 90, 95, 97, 122, 166, 223, 129})
        EXPECT_FALSE(IsWordDelimiter(static_cast<unsigned char>(b))) << b;
}

TEST(ColumnMap, TheWalkerCountsBytesBothWays) {
    TColumnMetrics m{4, false, 20};
    const std::string t = Sjis("a\t漢b");
    const std::string map = ColumnMap(t, m);
    ASSERT_EQ(map, "1233451");
    TEditorAttributeArray a;
    a.Reset(t, map);
    EXPECT_EQ(a.Position(), 1);
    EXPECT_EQ(a.Count(), 1);
    const int counts[] = {0, 1, 2, 2, 2, 3, 4, 5};
    const char* chars[] = {"", "a", "\t", "\t", "\t", "漢", "漢", "b"};
    for (int p = 1; p <= 7; ++p) {
        a.MoveTo(p);
        EXPECT_EQ(a.Count(), counts[p]) << "forward " << p;
        EXPECT_EQ(std::string(a.CurrentChar()), Sjis(chars[p])) << p;
    }
    for (int p = 7; p >= 1; --p) {
        a.MoveTo(p);
        EXPECT_EQ(a.Count(), counts[p]) << "back " << p;
    }
    a.MoveTo(100);
    EXPECT_EQ(a.Code(), kcEnd);
    EXPECT_EQ(a.Count(), 5);
    EXPECT_TRUE(a.CurrentChar().empty());
    a.MoveTo(6);
    a.Prev2();
    EXPECT_EQ(a.Position(), 4) << "Prev2 from a trail column lands before the character";
    a.MoveTo(1);
    EXPECT_EQ(std::string(a.NextChar()), "\t");
    EXPECT_EQ(a.Position(), 1);
}

TEST(Wrap, EachRule) {
    const int L = LineEnd, W = Wrapped;
    struct Case {
        const char* name;
        bool retMark, punct, leading, wordBreak;
        std::string line;
        std::vector<Row> rows;
    };
    const std::string a19(19, 'a'), a20(20, 'a');
    const Case cases[] = {
        {"narrower than W", false, false, false, false, a19, {{a19, L}}},
        {"exactly W", false, false, false, false, a20, {{a20, W}, {"", L}}},
        {"exactly W, FollowRetMark", true, false, false, false, a20, {{a20, L}}},
        {"three rows",
         false,
         false,
         false,
         false,
         std::string(45, 'a'),
         {{a20, W}, {a20, W}, {"aaaaa", L}}},
        {"two-byte character at W",
         false,
         false,
         false,
         false,
         a19 + Sjis("漢字"),
         {{a19, W}, {Sjis("漢字"), L}}},
        {"empty line", false, false, false, false, "", {{"", L}}},
        {"punctuation hangs",
         false,
         true,
         false,
         false,
         a20 + Sjis("、、b"),
         {{a20 + Sjis("、"), W}, {Sjis("、b"), L}}},
        {"punctuation after a moved kanji",
         false,
         true,
         false,
         false,
         a19 + Sjis("漢、x"),
         {{a19, W}, {Sjis("漢、x"), L}}},
        {"no hanging without the rule",
         false,
         false,
         false,
         false,
         a20 + Sjis("、b"),
         {{a20, W}, {Sjis("、b"), L}}},
        {"opening bracket does not end a row",
         false,
         false,
         true,
         false,
         std::string(18, 'a') + Sjis("「") + "bcd",
         {{std::string(18, 'a'), W}, {Sjis("「") + "bcd", L}}},
        {"closing bracket does not begin a row",
         false,
         false,
         true,
         false,
         a20 + Sjis("」x"),
         {{a19, W}, {Sjis("a」x"), L}}},
        {"the cut stops at four fifths",
         false,
         false,
         true,
         false,
         Rep("「", 10) + Sjis("」x"),
         {{Rep("「", 8), W}, {Rep("「", 2) + Sjis("」x"), L}}},
        {"kinsoku pulls back past an opening bracket",
         false,
         false,
         true,
         false,
         std::string(18, 'a') + Sjis("（」") + "x",
         {{std::string(18, 'a'), W}, {Sjis("（」") + "x", L}}},
        {"word break after the blank",
         false,
         false,
         false,
         true,
         std::string(15, 'a') + " " + std::string(10, 'b'),
         {{std::string(15, 'a') + " ", W}, {std::string(10, 'b'), L}}},
        {"a long word is cut at W",
         false,
         false,
         false,
         true,
         std::string(45, 'a'),
         {{a20, W}, {a20, W}, {"aaaaa", L}}},
        {"a blank in the first third does not count",
         false,
         false,
         false,
         true,
         "aaaa " + std::string(30, 'b'),
         {{"aaaa " + std::string(15, 'b'), W}, {std::string(15, 'b'), L}}},
        {"word break after a kanji",
         false,
         false,
         false,
         true,
         std::string(10, 'a') + " " + Sjis("漢字漢字") + "bbbbbbbbb",
         {{std::string(10, 'a') + " " + Sjis("漢字漢字"), W}, {"bbbbbbbbb", L}}},
        {"tab narrowed at the wrap column",
         false,
         false,
         false,
         false,
         std::string(17, 'a') + "\t" + std::string(10, 'b'),
         {{std::string(17, 'a') + "\t", W}, {std::string(10, 'b'), L}}},
    };
    for (const Case& c : cases) {
        TEditorWrapOption o;
        o.SetWrapByte(20);
        o.SetFollowRetMark(c.retMark);
        o.SetFollowPunctuation(c.punct);
        o.SetLeading(c.leading);
        o.SetWordBreak(c.wordBreak);
        EXPECT_EQ(Cut(c.line, o), c.rows) << c.name;
    }
}

TEST(Wrap, StrToRowsSplitsLinesAndWrapsEach) {
    TEditorWrapOption o;
    o.SetWrapByte(20);
    TRowAttributeStringList rows;
    auto texts = [&] {
        std::vector<Row> r;
        for (int i = 0; i < rows.Count(); ++i)
            r.push_back({rows[i], rows.RowAttr(i)});
        return r;
    };
    StrToRows("a\rb\nc\r\nd\r\n", TWrapContext{false, &o, 8}, rows);
    EXPECT_EQ(texts(), (std::vector<Row>{{"a", 0}, {"b", 0}, {"c", 0}, {"d", 0}}));
    StrToRows("", TWrapContext{false, &o, 8}, rows);
    EXPECT_EQ(texts(), (std::vector<Row>{{"", 0}}));
    StrToRows(std::string(25, 'x') + "\r\n\r\nz", TWrapContext{true, &o, 8}, rows);
    EXPECT_EQ(texts(),
              (std::vector<Row>{{std::string(20, 'x'), 1}, {"xxxxx", 0}, {"", 0}, {"z", 0}}));
    // Without wrapping a line is one row however long.
    EXPECT_EQ(RowCountOf(std::string(3000, 'x'), TWrapContext{false, &o, 8}), 1);
}

// Random Shift-JIS lines under random rules: rows join back to the line, never split a
// character, respect the width and agree with RowCountOf. Hanging punctuation may start in the
// last two columns, so a full-width mark can end one column further still.
TEST(Wrap, RandomLinesKeepEveryRule) {
    std::mt19937 rng(7);
    const std::vector<std::string> pieces = {
        "a",        "b",        " ",        "\t",       ",",          "9",
        Sjis("漢"), Sjis("か"), Sjis("カ"), Sjis("、"), Sjis("。"),   Sjis("「"),
        Sjis("」"), Sjis("（"), Sjis("）"), Sjis("ｱ"),  Sjis("ｰ"),    "(",
        ")",        Sjis("ー"), ".",        "word",     Sjis("全角"), "\x81\x40",
    };
    for (int iter = 0; iter < 3000; ++iter) {
        TEditorWrapOption o;
        o.SetWrapByte(20 + static_cast<int>(rng() % 30));
        o.SetFollowRetMark(rng() % 2);
        o.SetFollowPunctuation(rng() % 2);
        o.SetLeading(rng() % 2);
        o.SetWordBreak(rng() % 2);
        int tab = 2 + 2 * static_cast<int>(rng() % 4);
        std::string line;
        int n = static_cast<int>(rng() % 120);
        for (int i = 0; i < n; ++i)
            line += pieces[rng() % pieces.size()];
        std::vector<Row> rows = Cut(line, o, tab);
        ASSERT_FALSE(rows.empty());
        std::string joined;
        TColumnMetrics m{tab, true, o.WrapByte()};
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            joined += r.text;
            EXPECT_EQ(r.attr, i + 1 == rows.size() ? LineEnd : Wrapped);
            if (r.attr == Wrapped) {
                EXPECT_FALSE(r.text.empty());
            }
            EXPECT_LE(StrWidth(r.text, m), o.WrapByte() + (o.FollowPunctuation() ? 3 : 0))
                << iter << " row " << i << " " << cp932::ToUtf8(r.text);
            if (!r.text.empty()) {
                EXPECT_FALSE(IsLeadByteAt(r.text, static_cast<int>(r.text.size())))
                    << "row ends inside a character";
            }
        }
        ASSERT_EQ(joined, line) << iter;
        if (!o.Leading()) continue;
        // Where the cut could move back (above four fifths of the width, with room for the row
        // and what follows), a row does not end with an opening bracket and the next does not
        // begin with a closing one or with punctuation. (A cut inside a tab's blanks is left
        // out: the tab goes with its row.)
        const int floor45 = o.WrapByte() / 5 * 4;
        std::string rest = line;
        for (size_t i = 0; i + 1 < rows.size(); ++i) {
            const std::string& t = rows[i].text;
            rest.erase(0, t.size());
            const int w = StrWidth(t, m);
            if (t.back() == '\t' || w <= floor45 || w > o.WrapByte() + 1 || StrWidth(rest, m) < 2)
                continue;
            std::string last = t.substr(
                IsTrailByteAt(t, static_cast<int>(t.size())) ? t.size() - 2 : t.size() - 1);
            std::string first = rest.substr(0, IsLeadByteAt(rest, 1) ? 2 : 1);
            EXPECT_FALSE(CharInStr(last, o.LeadStr()))
                << iter << " row " << i << " ends with " << cp932::ToUtf8(last);
            EXPECT_FALSE(CharInStr(first, o.FollowStr()))
                << iter << " row " << i + 1 << " begins with " << cp932::ToUtf8(first);
        }
    }
}

// With word breaks alone a row ends at the last break (a delimiter, a tab's column or the end
// of a two-byte character) after the first third of the width; without one it is cut at the
// width; a two-byte character straddling the width moves whole to the next row.
TEST(Wrap, WordBreakCutsAtTheLastBreakAfterTheFirstThird) {
    std::mt19937 rng(3);
    const std::vector<std::string> pieces = {
        "a", "bb", "ccc", "word",     " ",          "\t",       ",",
        "-", "_",  "9",   Sjis("漢"), Sjis("かな"), Sjis("ｱｲ"),
    };
    for (int iter = 0; iter < 2000; ++iter) {
        TEditorWrapOption o;
        const int W = 20 + static_cast<int>(rng() % 20);
        o.SetWrapByte(W);
        o.SetWordBreak(true);
        o.SetFollowRetMark(rng() % 2);
        const int tab = 2 + 2 * static_cast<int>(rng() % 4);
        std::string line;
        for (int i = 0, n = static_cast<int>(rng() % 60); i < n; ++i)
            line += pieces[rng() % pieces.size()];
        std::vector<Row> rows = Cut(line, o, tab);
        const TColumnMetrics m{tab, true, W};
        std::string rest = line;
        for (size_t i = 0; i + 1 < rows.size(); ++i) {
            const std::string map = ColumnMap(rest, m);
            if (static_cast<int>(map.size()) <= W) break; // the last full row: cut at the width
            // Bytes covered by columns 1..c: a tab's blank columns hold none.
            auto bytesTo = [&](int c) {
                return static_cast<size_t>(std::count_if(map.begin(), map.begin() + c,
                                                         [](char k) { return k != kcTabBlank; }));
            };
            int cut = W;
            if (map[W - 1] == kcLead) {
                cut = W - 1;
            } else {
                for (int c = W; c > W / 3; --c)
                    if (map[c - 1] == kcDelimiter || map[c - 1] == kcTabBlank ||
                        map[c - 1] == kcTrail) {
                        cut = c;
                        break;
                    }
            }
            EXPECT_EQ(rows[i].text, rest.substr(0, bytesTo(cut)))
                << iter << " row " << i << " of " << cp932::ToUtf8(line) << " map " << map;
            rest.erase(0, rows[i].text.size());
        }
    }
}

} // namespace
} // namespace editor
