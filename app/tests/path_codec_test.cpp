// File names on disk and inside: the way there and back is exact, also for names that code page
// 932 cannot spell.
#include "codec.h"
#include "qtext.h"

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
