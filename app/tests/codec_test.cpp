#include "codec.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

TEST(Codec, RoundTripsJapaneseAndAscii) {
    struct Case {
        const char* utf8;
        const char* sjis;
    } cases[] = {
        {"abc", "abc"},      {"テスト", "\x83\x65\x83\x58\x83\x67"},
        {"①", "\x87\x40"},   // NEC special row: Microsoft mapping
        {"～", "\x81\x60"},  // FULLWIDTH TILDE, as code page 932 has it
        {"ｱ", "\xB1"},       // half-width katakana is one byte
        {"\\~", "\x5C\x7E"}, // ASCII stays ASCII
        {"表", "\x95\x5C"},  // trail byte that looks like a backslash
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp932::FromUtf8(c.utf8), c.sjis) << c.utf8;
        EXPECT_EQ(cp932::ToUtf8(c.sjis), c.utf8) << c.utf8;
    }
}

TEST(Codec, UnrepresentableCharacters) {
    EXPECT_THROW(cp932::FromUtf8("a\xF0\x9F\x98\x80"), cp932::CodecError); // emoji
    EXPECT_FALSE(cp932::TryFromUtf8("\xE2\x82\xAC").has_value());          // euro sign
    EXPECT_EQ(cp932::FromUtf8Lossy("a\xE2\x82\xAC"
                                   "b"),
              "a?b");
}

TEST(Codec, InvalidShiftJisBecomesReplacementAndKeepsLineFeeds) {
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(cp932::ToUtf8("\x81\nA"), r + "\nA"); // lead byte before a line feed
    EXPECT_EQ(cp932::ToUtf8("A\x81"), "A" + r);     // lead byte at the very end
    EXPECT_EQ(cp932::ToUtf8("\xFF"
                            "B"),
              r + "B");
}

TEST(Codec, LeadAndTrailBytes) {
    EXPECT_TRUE(cp932::IsLeadByte(0x81));
    EXPECT_TRUE(cp932::IsLeadByte(0x9F));
    EXPECT_TRUE(cp932::IsLeadByte(0xE0));
    EXPECT_TRUE(cp932::IsLeadByte(0xFC));
    EXPECT_FALSE(cp932::IsLeadByte(0x80));
    EXPECT_FALSE(cp932::IsLeadByte(0xA0));
    EXPECT_FALSE(cp932::IsLeadByte(0xDF));
    EXPECT_FALSE(cp932::IsLeadByte(0xFD));
    EXPECT_TRUE(cp932::IsTrailByte(0x40));
    EXPECT_FALSE(cp932::IsTrailByte(0x7F));
}

} // namespace

namespace {

TEST(Codec, Utf16UnitWidthsAgreeWithLossyConversion) {
    const char16_t units[] = {u'a', u'\\', u'ｱ', u'あ', u'漢', u'①', u'€', 0xFFFD, 0x00A5};
    for (char16_t u : units) {
        const std::string utf8 = QString(QChar(u)).toStdString();
        EXPECT_EQ(cp932::Utf16UnitWidth(u), static_cast<int>(cp932::FromUtf8Lossy(utf8).size()))
            << static_cast<int>(u);
    }
}

// The table behind the fast way from UTF-16 gives what the way through UTF-8 gives, for every
// code unit and for pairs.
TEST(Codec, Utf16TableAgreesWithTheWayThroughUtf8) {
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        const std::u16string one(1, static_cast<char16_t>(u));
        const std::string utf8 = QString(QChar(static_cast<char16_t>(u))).toStdString();
        ASSERT_EQ(cp932::FromUtf16Lossy(one), cp932::FromUtf8Lossy(utf8)) << u;
    }
    const std::u16string mixed = u"a\U0001F600b漢\U00020BB7ｱ";
    EXPECT_EQ(cp932::FromUtf16Lossy(mixed, "_"),
              cp932::FromUtf8Lossy(QString::fromStdU16String(mixed).toStdString(), "_"));
}

TEST(Codec, SingleByteCodePages) {
    EXPECT_EQ(cp932::SingleByteCodePageChar(1251, 0xC0), u'\u0410'); // Cyrillic A
    EXPECT_EQ(cp932::SingleByteCodePageChar(1253, 0xE1), u'\u03B1'); // Greek alpha
    EXPECT_EQ(cp932::SingleByteCodePageChar(1252, 0x80), u'\u20AC'); // euro sign
    EXPECT_EQ(cp932::SingleByteCodePageChar(874, 0xA1), u'\u0E01');  // Thai ko kai
    EXPECT_EQ(cp932::SingleByteCodePageChar(1251, 'a'), u'a');
    EXPECT_EQ(cp932::SingleByteCodePageChar(1250, 0x98), 0);  // undefined there
    EXPECT_EQ(cp932::SingleByteCodePageChar(932, 0x41), 0);   // not a single-byte code page
    EXPECT_EQ(cp932::SingleByteCodePageChar(65001, 0x41), 0); // nor UTF-8
}

} // namespace
