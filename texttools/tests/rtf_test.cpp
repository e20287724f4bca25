// The RTF writer and reader.
#include "rtf.h"

#include "codec.h"

#include <gtest/gtest.h>

namespace {

using rtf::kAutoColor;
using rtf::Run;
using Runs = std::vector<rtf::Run>;

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

Run R(const std::string& text, std::uint32_t color = kAutoColor, double points = 0,
      bool bold = false, bool underline = false) {
    return Run{text, color, points, bold, underline};
}

Runs ReadOk(const std::string& data) {
    auto runs = rtf::Read(data);
    EXPECT_TRUE(runs.has_value()) << data;
    return runs.value_or(Runs{});
}

std::string Text(const Runs& runs) {
    std::string t;
    for (const Run& r : runs)
        t += r.text;
    return t;
}

void PrintTo(const Run& r, std::ostream* os) {
    *os << "{\"" << cp932::ToUtf8(r.text) << "\" color=" << std::hex << r.color << std::dec
        << " pt=" << r.points << " b=" << r.bold << " ul=" << r.underline << "}";
}

} // namespace

namespace rtf {
void PrintTo(const Run& r, std::ostream* os) {
    ::PrintTo(r, os);
}
} // namespace rtf

TEST(RtfTest, OwnDocumentsReadBackExactly) {
    // Characters whose second byte is "\\" (表, ソ, 能) or a brace (＋, ±), ASCII with the
    // characters RTF escapes, half-width kana, tabs, empty lines at both ends, every attribute.
    const Runs runs = {
        R("\r\n" + S("表示ソフト：能力＋±") + "\t{a\\b}\r\n"),
        R(S("赤い太字"), 255, 0, true),
        R(S("ｶﾀｶﾅ") + " 12pt", 0x8000, 12),
        R(S("下線付き青"), 0xff0000, 13, false, true),
        R(S("黒（明示）") + "\r\n\r\n", 0),
        R(S("太字で下線、白"), 0xffffff, 9, true, true),
        R("10.5pt", kAutoColor, 10.5),
        R(S("最後の行") + "\r\n"),
    };
    rtf::WriteOptions opt;
    opt.fontName = S("ＭＳ Ｐゴシック");
    opt.plainPoints = 11;
    const std::string doc = rtf::Write(runs, opt);
    EXPECT_TRUE(rtf::IsRtf(doc));
    EXPECT_NE(doc.find("\\ansicpg932"), std::string::npos);
    EXPECT_NE(doc.find("\\fcharset128"), std::string::npos);
    // Japanese text in the document's font and language for word processors, too.
    EXPECT_NE(doc.find("\\dbch\\af0"), std::string::npos);
    EXPECT_NE(doc.find("\\deflangfe1041"), std::string::npos);
    for (unsigned char c : doc)
        EXPECT_LT(c, 0x80) << "raw bytes above 0x7F in the file";
    EXPECT_EQ(ReadOk(doc), runs);
}

TEST(RtfTest, LineEndsOfEveryKindBecomeCrLf) {
    const std::string doc = rtf::Write({R("a\rb\nc\r\nd")});
    EXPECT_EQ(Text(ReadOk(doc)), "a\r\nb\r\nc\r\nd");
}

TEST(RtfTest, ExplicitSizeEqualToThePlainSizeComesBackWithoutASize) {
    rtf::WriteOptions opt;
    opt.plainPoints = 10;
    const auto runs = ReadOk(rtf::Write({R("x", kAutoColor, 10), R("y", kAutoColor, 12)}, opt));
    EXPECT_EQ(runs, (Runs{R("x"), R("y", kAutoColor, 12)}));
}

TEST(RtfTest, WordProcessorStyleDocument) {
    // The shape a word processor writes: tables and metadata to skip, \uN with fallbacks of
    // several widths, \'hh in a Japanese font, \plain, \pard, a field whose result shows.
    const std::string doc =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
        "{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Times New Roman;}"
        "{\\f1\\fnil\\fcharset128{\\*\\panose 02020609040205080304}\\'82\\'6c\\'82\\'72 Mincho;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "{\\stylesheet{\\s0\\snext0 Normal;}{\\s1 heading 1;}}"
        "{\\info{\\title Secret title}{\\author Someone}}"
        "{\\*\\generator Writer;}{\\*\\rsidtbl \\rsid123}"
        "\\pard\\plain \\s0\\f0\\fs24 caf\\'93x\\'94 \\u26481\\'3f\\uc2\\u20140\\'3f\\'3f!"
        "{\\*\\bkmkstart x}{\\*\\bkmkend x}\\par\n"
        "\\pard\\plain \\f1\\fs20\\cf1\\b \\'93\\'8c\\'8b\\'9e\\b0\\line "
        "\\cf2\\ul under\\ulnone  plain\\tab end"
        "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}\\par\n"
        "{\\pict\\wmetafile8 0123456789abcdef}"
        "\\plain after\\par}";
    const auto runs = ReadOk(doc);
    EXPECT_EQ(runs, (Runs{
                        R("caf" + S("“x” 東京") + "!\r\n", kAutoColor, 12),
                        R(S("東京"), 255, 10, true),
                        R("\r\n", 255, 10),
                        R("under", 0xff0000, 10, false, true),
                        R(" plain\tendlink\r\n", 0xff0000, 10),
                        R("after"),
                    }))
        << cp932::ToUtf8(Text(runs));
}

TEST(RtfTest, ControlSymbolsAndSpecialCharacters) {
    const auto runs = ReadOk("{\\rtf1\\ansi\\ansicpg932 a\\~b\\_c\\-d\\{\\}\\\\"
                             "\\emdash\\lquote x\\rquote\\ldblquote y\\rdblquote\\bullet}");
    EXPECT_EQ(Text(runs), "a b-cd{}\\" + S("―‘x’“y”・"));
}

TEST(RtfTest, SurrogatePairsAndUnmappableCharacters) {
    // U+1F600 has no Shift-JIS form; Hangul neither; both become "?".
    const auto runs = ReadOk("{\\rtf1\\ansi\\uc1 a\\u-10179?\\u-8704?b\\u54620?c}");
    EXPECT_EQ(Text(runs), "a?b?c");
}

// Control codes written as characters, or after a lead byte, put no bare CR, LF or NUL into the
// pane's text (whose line breaks are CR LF); a tab stays. Saved and read again, the text is
// the same.
TEST(RtfTest, ControlCodesAsCharactersLeaveNoBareControlByte) {
    struct Case {
        std::string doc, text;
    };
    for (const Case& c : std::vector<Case>{
             {"{\\rtf1\\uc1 a\\u13?\\u10?b\\u0?c}", "abc"},
             {"{\\rtf1\\ansicpg932\\uc1 \\'83\\'5c\\u9?\\'95\\'5c\\u31?}", S("ソ\t表")},
             {"{\\rtf1\\uc0 x\\u12\\u13\\par y}", "x\r\ny"},
             {"{\\rtf1\\ansicpg932 a\\'81\\'0ab\\'95\\'5c}", "ab" + S("表")},
             {"{\\rtf1\\ansicpg932 a\x81" + std::string(1, '\0') + "b\x95\x01" + "c}", "abc"},
         }) {
        const Runs runs = ReadOk(c.doc);
        EXPECT_EQ(Text(runs), c.text) << c.doc;
        EXPECT_EQ(Text(ReadOk(rtf::Write(runs))), c.text) << c.doc;
    }
}

TEST(RtfTest, RawShiftJisWithBackslashSecondBytes) {
    // 表 is 0x95 0x5C: a writer that puts Shift-JIS out raw must not lose it to "\".
    const std::string doc = "{\\rtf1\\ansi\\ansicpg932 " + S("表示") + "}";
    EXPECT_EQ(Text(ReadOk(doc)), S("表示"));
}

TEST(RtfTest, NotRtfDamagedAndHostileInput) {
    EXPECT_FALSE(rtf::Read("plain text").has_value());
    EXPECT_FALSE(rtf::Read("").has_value());
    EXPECT_TRUE(rtf::IsRtf("\xEF\xBB\xBF \r\n{\\rtf1}"));

    struct Case {
        const char* name;
        std::string data;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"truncated in the middle of text", "{\\rtf1\\ansi abc\\b de", "abcde"},
        {"truncated in a control word", "{\\rtf1 abc\\par\\colortb", "abc"},
        {"truncated in a hex escape", "{\\rtf1 abc\\'8", "abc8"},
        {"truncated lead byte", "{\\rtf1\\ansicpg932 abc\\'93", "abc"},
        {"bad hex escape", "{\\rtf1 a\\'zzb}", "azzb"},
        {"too many closing braces", "{\\rtf1 a}}}b", "a"},
        {"huge parameters", "{\\rtf1\\fs99999999999999999999 a\\cf-99999999 b\\uc99999 c}", "abc"},
        {"binary data skipped", std::string("{\\rtf1 a{\\bin5 \0}{\\}b}", 22), "ab"},
        {"binary length past the end", "{\\rtf1 a\\bin999999 xyz", "a"},
        {"deep nesting", "{\\rtf1 " + std::string(100000, '{') + "x", "x"},
        {"unknown destinations", "{\\rtf1 a{\\*\\unknownthing {nested b} c}d}", "ad"},
    };
    for (const Case& c : cases) {
        const auto runs = rtf::Read(c.data);
        ASSERT_TRUE(runs.has_value()) << c.name;
        EXPECT_EQ(Text(*runs), c.text) << c.name;
    }
}

TEST(RtfTest, GroupsNestedPastAnyWordProcessorsDepthStillCloseInOrder) {
    // A thousand groups deep: the text inside takes the formatting set there, and the formatting
    // ends when the groups have closed again, however deep they went.
    const std::string deep = std::string(1000, '{') + "\\b\\ul b" + std::string(1000, '}');
    EXPECT_EQ(ReadOk("{\\rtf1 a" + deep + "c{\\b d}e}"),
              (Runs{R("a"), R("b", kAutoColor, 0, true, true), R("c"), R("d", kAutoColor, 0, true),
                    R("e")}));
    // Two hundred groups deep, a group still keeps its own formatting.
    EXPECT_EQ(
        ReadOk("{\\rtf1 " + std::string(200, '{') + "{\\b x}y" + std::string(200, '}') + "z}"),
        (Runs{R("x", kAutoColor, 0, true), R("yz")}));
}

TEST(RtfTest, BytesOfOtherScriptsFollowTheirFontsCharacterSet) {
    // Cyrillic and Greek, which Shift-JIS has, under fonts of their character sets in a
    // Western document; the document's own code page counts where a font names none.
    EXPECT_EQ(Text(ReadOk("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset0 Arial;}"
                          "{\\f1\\fcharset204 Arial Cyr;}{\\f2\\fcharset161 Arial Greek;}}"
                          "\\f1 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\f2 \\'e1\\'e2\\'e3\\f0  "
                          "\\'e9}")), // é, which Shift-JIS lacks
              S("Привет αβγ ") + "?");
    EXPECT_EQ(Text(ReadOk("{\\rtf1\\ansi\\ansicpg1251 \\'c4\\'e0}")), S("Да"));
    // Letters Shift-JIS lacks, and bytes a code page leaves undefined, show as "?".
    EXPECT_EQ(Text(ReadOk("{\\rtf1\\ansi\\ansicpg1250 \\'b9\\'98x}")), "??x");
}

TEST(RtfTest, ColourTableEdges) {
    // An entry without components is the automatic colour; \cf past the table too.
    const auto runs = ReadOk("{\\rtf1{\\colortbl\\red1\\green2\\blue3;;\\red0\\green0\\blue0;}"
                             "\\cf0 a\\cf1 b\\cf2 c\\cf9 d}");
    EXPECT_EQ(runs, (Runs{R("a", 0x030201), R("b"), R("c", 0), R("d")}));
}

TEST(RtfTest, DoubleByteTextTakesItsAssociatedSizeAndBold) {
    // One word processor gives Japanese text its size and bold as associated properties after
    // \dbch, Latin text its own after \loch; properties after \rtlch are for other scripts.
    const std::string doc =
        "{\\rtf1\\ansi{\\colortbl;\\red0\\green0\\blue0;}"
        "\\pard\\plain \\rtlch\\afs40\\ab \\ltrch\\fs24\\dbch "
        "{\\hich\\loch\\cf1\\fs22\\dbch\\afs26\\ab\\dbch\\uc2 \\u26412\\'96\\'7b\\uc1 }"
        "{\\hich\\loch\\cf1\\fs22\\b0\\loch abc}"
        "{\\dbch\\u25991\\'3f}"
        "\\par}";
    EXPECT_EQ(ReadOk(doc),
              (Runs{R(S("本"), 0, 13, true), R("abc", 0, 11), R(S("文"), kAutoColor, 12)}));
    // Another gives every script the same \b and \fs and only names fonts per script.
    const std::string other = "{\\rtf1\\ansi\\ansicpg932{\\rtlch\\fcs1 \\af0\\afs40 \\ltrch\\fcs0 "
                              "\\b\\fs28\\loch\\af1\\hich\\af1\\dbch\\af1 \\'93\\'fa\\'96\\'7b}}";
    EXPECT_EQ(ReadOk(other), (Runs{R(S("日本"), kAutoColor, 14, true)}));
}

TEST(RtfTest, AlternativeFormsOfTheSameTextShowOnce) {
    struct Case {
        const char* name;
        std::string data;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"picture and its fallback",
         "{\\rtf1 a{\\*\\shppict{\\pict\\pngblip 89504e47}}{\\nonshppict{\\pict 0102}}b}", "ab"},
        {"code page text and its Unicode twin",
         "{\\rtf1\\ansi\\ansicpg932 {\\upr{a\\'82\\'a0}{\\*\\ud{a\\u12354?}}}b}",
         "a" + S("あ") + "b"},
        {"field instruction and its result", "{\\rtf1 {\\field{\\*\\fldinst PAGE}{\\fldrslt 3}}.}",
         "3."},
        {"headers, footers and footnotes", "{\\rtf1 {\\header h}{\\footer f}a{\\footnote n}b}",
         "ab"},
        {"list numbers written for older readers", "{\\rtf1 {\\listtext 1.\\tab}item}", "1.\titem"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(ReadOk(c.data)), c.text) << c.name;
}
