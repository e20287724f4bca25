#include "note_encoding.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using cp932::EncodingChoice;
using cp932::NoteEncoding;
using cp932::NoteKind;

namespace {

std::string J(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

// UTF-8 text as UTF-16 bytes.
std::string Utf16(const std::string& utf8, bool bigEndian) {
    std::string out;
    std::u16string units;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = cp932::DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8.data()) + i,
                                         utf8.size() - i);
        i += c.length;
        if (c.code >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c.code - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(c.code);
        }
    }
    for (char16_t u : units) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

TEST(NoteEncoding, DetectedFromTheMarkElseFromWellFormedUtf8NearTheBeginning) {
    const std::string utf8 = "東京タワー ソ表能ポ";
    const std::string cut = std::string("ab東").substr(0, 4); // 東 cut after its first byte
    const std::string asciiBlock(cp932::kEncodingPrefix, 'a');
    struct Case {
        const char* what;
        std::string head;
        bool whole;
        NoteKind kind;
    } cases[] = {
        {"empty", "", true, {}},
        {"pure ASCII", "abc\r\ndef\n", true, {}},
        {"UTF-8 mark",
         "\xEF\xBB\xBF"
         "abc",
         true,
         {NoteEncoding::Utf8, 3}},
        {"UTF-8 mark only", "\xEF\xBB\xBF", true, {NoteEncoding::Utf8, 3}},
        {"UTF-16 LE mark",
         "\xFF\xFE"
         "a\0",
         true,
         {NoteEncoding::Utf16LE, 2}},
        {"UTF-16 BE mark", "\xFE\xFF\0a", true, {NoteEncoding::Utf16BE, 2}},
        {"UTF-8 kana and kanji", utf8, true, {NoteEncoding::Utf8, 0}},
        {"Shift-JIS kana and kanji", J("東京タワー ソ表能ポ"), true, {}},
        {"Shift-JIS with ASCII-like trail bytes", J("ソ\\表|能"), true, {}},
        {"UTF-8, an invalid byte past the window",
         "東" + std::string(cp932::kEncodingWindow, 'x') + "\xFF",
         true,
         {NoteEncoding::Utf8, 0}},
        {"UTF-8, an invalid byte within the window", "東x\xFF", true, {}},
        {"a character cut by the note's end", cut, true, {}},
        {"a character cut by the end of what was read", cut, false, {NoteEncoding::Utf8, 0}},
        {"ASCII as far as the beginning is looked at", asciiBlock + utf8, false, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cp932::DetectNoteKind(c.head, c.whole), c.kind) << c.what;
}

TEST(NoteEncoding, AChosenEncodingOverridesTheRule) {
    const std::string utf8 = "東京";
    EXPECT_EQ(cp932::DetectNoteKind(utf8, true, EncodingChoice::ShiftJis), NoteKind{});
    EXPECT_EQ(cp932::DetectNoteKind(J("東京"), true, EncodingChoice::Utf8),
              (NoteKind{NoteEncoding::Utf8, 0}));
    EXPECT_EQ(cp932::DetectNoteKind("\xEF\xBB\xBF" + utf8, true, EncodingChoice::Utf8),
              (NoteKind{NoteEncoding::Utf8, 3}));
    EXPECT_EQ(cp932::DetectNoteKind("a\0", true, EncodingChoice::Utf16),
              (NoteKind{NoteEncoding::Utf16LE, 0}));
    EXPECT_EQ(cp932::DetectNoteKind("\xFE\xFF\0a", true, EncodingChoice::Utf16),
              (NoteKind{NoteEncoding::Utf16BE, 2}));
}

TEST(NoteEncoding, ShiftJisFormOfEveryCharacter) {
    const std::string noForm(cp932::kNoForm);
    struct Case {
        const char* what;
        std::string utf8, sjis;
    } cases[] = {
        {"kana, kanji, ASCII-like trail bytes", "東京 ソ表能ポ ｱｲ abc", J("東京 ソ表能ポ ｱｲ abc")},
        {"both wave dashes become one", "〜～", J("～～")},
        {"emoji and a character outside the basic plane", "a😀𠮷b", "a" + noForm + noForm + "b"},
        {"letters outside code page 932", "ẞŋ", noForm + noForm},
        {"a stray continuation byte, a cut sequence",
         "a\x80"
         "b\xE6\x9D"
         "c",
         "a" + noForm + "b" + noForm + "c"},
        {"an overlong form and an encoded surrogate", "\xC0\xAF\xED\xA0\x80",
         noForm + noForm + noForm + noForm + noForm},
    };
    for (const Case& c : cases) {
        std::string form;
        cp932::AppendShiftJisForm(form, c.utf8);
        EXPECT_EQ(form, c.sjis) << c.what;
    }
}

TEST(NoteEncoding, ShownTextReplacesOnlyIllFormedBytesAndMapsEachFormByte) {
    std::vector<std::size_t> places;
    const std::string shown = cp932::ShownUtf8("a東\xFF😀", &places);
    EXPECT_EQ(shown, "a東\xEF\xBF\xBD😀");
    // a | 東 (two Shift-JIS bytes) | the ill-formed byte | the emoji | the end
    EXPECT_EQ(places, (std::vector<std::size_t>{0, 1, 1, 4, 4, 7, 7, 11}));
}

TEST(NoteEncoding, Utf16DecodedInPiecesWhateverTheCut) {
    const std::string text = "東a😀\r\n";
    for (const bool big : {false, true}) {
        const std::string bytes = Utf16(text, big) + std::string(big ? "\xD8\x00" : "\x00\xD8", 2) +
                                  std::string("\x41", 1);
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
            cp932::Utf16ToUtf8 decoder(big);
            std::string out;
            decoder.Convert(reinterpret_cast<const unsigned char*>(bytes.data()), cut, out);
            decoder.Convert(reinterpret_cast<const unsigned char*>(bytes.data()) + cut,
                            bytes.size() - cut, out);
            decoder.Finish(out);
            // A lone high surrogate and a last odd byte: each one ill-formed byte.
            EXPECT_EQ(out, text + "\xFF\xFF") << big << " " << cut;
        }
    }
}

TEST(NoteEncoding, SpellingsOfAShiftJisString) {
    using Spellings = std::vector<std::string>;
    EXPECT_EQ(cp932::Utf8Spellings(J("東京"), 16), (Spellings{"東京"}));
    // 0x8160 is the form of both U+301C and U+FF5E.
    const auto dash = cp932::Utf8Spellings(J("～"), 16);
    ASSERT_TRUE(dash);
    EXPECT_EQ(dash->size(), 2u);
    EXPECT_EQ(cp932::Utf8Spellings(std::string(cp932::kNoForm), 16), std::nullopt);
    EXPECT_EQ(cp932::Utf8Spellings(J("～～～～～"), 16), std::nullopt); // 32 ways
}

TEST(NoteEncoding, WholeNotesComeBackByteForByte) {
    const std::string text = "東京 ソ表能ポ\r\nｱｲ abc\n";
    struct Case {
        const char* what;
        std::string bytes;
        NoteKind kind;
    } cases[] = {
        {"UTF-8", text, {NoteEncoding::Utf8, 0}},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + text, {NoteEncoding::Utf8, 3}},
        {"UTF-16 LE", "\xFF\xFE" + Utf16(text, false), {NoteEncoding::Utf16LE, 2}},
        {"UTF-16 BE", "\xFE\xFF" + Utf16(text, true), {NoteEncoding::Utf16BE, 2}},
    };
    for (const Case& c : cases) {
        const cp932::NoteText note = cp932::DecodeNote(c.bytes);
        EXPECT_EQ(note.kind, c.kind) << c.what;
        EXPECT_EQ(note.text, J("東京 ソ表能ポ\r\nｱｲ abc\n")) << c.what;
        EXPECT_TRUE(note.exact) << c.what;
        EXPECT_EQ(cp932::EncodeNote(note.text, note.kind), c.bytes) << c.what;
        // An edit changes only the bytes of what was typed.
        const std::string edited = J("表") + note.text;
        const auto back = cp932::EncodeNote(edited, note.kind);
        ASSERT_TRUE(back) << c.what;
        const std::string typed = cp932::EncodeNote(J("表"), {c.kind.encoding, 0}).value();
        EXPECT_EQ(*back,
                  c.bytes.substr(0, c.kind.markBytes) + typed + c.bytes.substr(c.kind.markBytes))
            << c.what;
    }
}

TEST(NoteEncoding, NotesThatShiftJisCannotHoldAreNotExact) {
    for (const char* utf8 : {"東京😀\n", "𠮷野家\n", "〜\n", "ok\xFF\n", "ẞ\n"}) {
        const cp932::NoteText note = cp932::DecodeNote(std::string("\xEF\xBB\xBF") + utf8);
        EXPECT_FALSE(note.exact) << utf8;
    }
    EXPECT_EQ(cp932::EncodeNote(std::string(cp932::kNoForm), {NoteEncoding::Utf8, 0}),
              std::nullopt);
    EXPECT_EQ(cp932::EncodeNote(J("東") + "\x81", {NoteEncoding::Utf8, 0}), std::nullopt);
}

} // namespace
