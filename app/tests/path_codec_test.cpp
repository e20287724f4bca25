// File names on disk and inside: the way there and back is exact, also for names that code page
// 932 cannot spell.
#include "codec.h"
#include "qtext.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace {

const char* const kNames[] = {
    "plain.txt",
    "東京◆/メモ.txt",
    "memo😀.txt",     // no code page 932 form
    "〜wave.txt",    // U+301C: only approximated (comes back as U+FF5E)
    "a—b ¥ ‖ − ¢£¬", // more approximations
    "a\xFF\xFE"
    "b.txt", // bytes that are no UTF-8
    "\xC0\xAF"
    "overlong", // an overlong "/" is no "/"
    "\xEE\x80\x80"
    "pua",                      // U+E000: a user-defined character already
    "\xEE\x9D\x97\xEE\x9D\x98", // U+E757 (last user-defined) and U+E758
    "tag\xF3\xA0\x80\x81",      // U+E0001, which the converter drops
    "😀😃",
    "",
};

TEST(PathCodec, EveryNameComesBackExactly) {
    for (const char* native : kNames) {
        const std::string inside = cp932::PathFromNative(native);
        EXPECT_EQ(cp932::PathToNative(inside), native) << native;
        // A trip through Qt's strings (list items, edits) keeps the escapes.
        EXPECT_EQ(app::FromQ(app::ToQ(inside)), inside) << native;
        EXPECT_EQ(cp932::PathToNative(app::FromQ(app::ToQ(inside))), native) << native;
    }
}

TEST(PathCodec, DistinctNamesStayDistinct) {
    std::vector<std::string> inside;
    for (const char* native : {"a😀", "a😃", "a?", "a\xEE\x80\x80", "a～", "a〜", "a\xFF"})
        inside.push_back(cp932::PathFromNative(native));
    for (size_t i = 0; i < inside.size(); ++i)
        for (size_t j = i + 1; j < inside.size(); ++j)
            EXPECT_NE(inside[i], inside[j]) << i << " " << j;
}

TEST(PathCodec, SpellableNamesAreConvertedAsText) {
    EXPECT_EQ(cp932::PathFromNative("東京/data.txt"), cp932::FromUtf8("東京/data.txt"));
    EXPECT_EQ(cp932::PathToNative(cp932::FromUtf8("表ソ/x")), "表ソ/x");
    // The escape keeps the spellable parts around it readable.
    const std::string inside = cp932::PathFromNative("メモ😀.txt");
    EXPECT_EQ(inside.substr(0, 4), cp932::FromUtf8("メモ"));
    EXPECT_EQ(inside.substr(inside.size() - 4), ".txt");
    EXPECT_EQ(app::PathToQ(inside), QString::fromUtf8("メモ😀.txt"));
}

TEST(PathCodec, HandMadeEscapesNeverMakeSeparatorsOrNul) {
    // Marker F040 and digits 0, 0x2F: the value of "/". It stays the user-defined characters.
    const std::string slash = "a\xF0\x40\xF0\x40\xF0\x6F"
                              "b";
    EXPECT_EQ(cp932::PathToNative(slash), cp932::ToUtf8(slash));
    EXPECT_EQ(cp932::PathToNative(slash).find('/'), std::string::npos);
    const std::string nul = "\xF0\x40\xF0\x40\xF0\x40";
    EXPECT_EQ(cp932::PathToNative(nul).find('\0'), std::string::npos);
    // A marker cut short at the end stays text.
    EXPECT_EQ(cp932::PathToNative("x\xF0\x40\xF0"), cp932::ToUtf8("x\xF0\x40\xF0"));
}

} // namespace

namespace {

// What the converter itself makes of the bytes: the reference for the table-driven ToQ.
QString ThroughConverter(const std::string& sjis) {
    return QString::fromStdString(cp932::ToUtf8(sjis));
}

TEST(DisplayCodec, ToQAgreesWithTheConverterOnEveryCharacterAndBrokenSequence) {
    // Every one-byte and two-byte code, each alone and between ASCII neighbours.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        ASSERT_EQ(app::ToQ(one), ThroughConverter(one)) << b;
        ASSERT_EQ(app::ToQ("a" + one + "z"), ThroughConverter("a" + one + "z")) << b;
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0; trail < 256; ++trail) {
            const std::string two{static_cast<char>(lead), static_cast<char>(trail)};
            ASSERT_EQ(app::ToQ(two), ThroughConverter(two)) << lead << " " << trail;
        }
    // Random text made mostly of lead and second bytes, line breaks and NULs: a lead byte before
    // a line break, at the end, or before a byte that cannot follow it.
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const unsigned char pool[] = {0x83, 0x5C, 0x95, 0x7C, 0x94, 0x5C, 0x83, 0x7C, '\r', '\n', 0,
                                  0x81, 0xFC, 0xE0, 0xA0, 0x80, 0xFD, 0x7F, 0x40, 'a',  0xA6};
    for (int round = 0; round < 3000; ++round) {
        std::string s(next() % 12, '\0');
        for (char& c : s)
            c = static_cast<char>(next() % 3 == 0 ? next() & 0xFF : pool[next() % sizeof pool]);
        ASSERT_EQ(app::ToQ(s), ThroughConverter(s)) << round;
    }
    EXPECT_EQ(app::ToQ(cp932::FromUtf8("ソ表能ポ")), QString::fromUtf8("ソ表能ポ"));
    EXPECT_EQ(app::ToQ(""), QString());
}

} // namespace
