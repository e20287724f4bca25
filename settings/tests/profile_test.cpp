// The private-profile functions against the properties the settings component relies on.
#include "profile.h"

#include "codec.h"
#include "files.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

class ProfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra-profile-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = cp932::PathFromNative((dir_ / "Test.ini").string());
    }
    void TearDown() override {
        files::testing_hooks::StopWritesAfter(-1);
        fs::remove_all(dir_);
    }
    void WriteFile(const std::string& bytes) {
        std::ofstream(dir_ / "Test.ini", std::ios::binary) << bytes;
    }
    std::string FileText() const {
        std::ifstream in(dir_ / "Test.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& def = "<default>") const {
        return app::GetProfileString(section, key, def, path_);
    }
    bool Put(const std::string& section, const std::string& key, const std::string& value) {
        return app::WriteProfileString(section, key, value, path_);
    }
    size_t FilesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(ProfileTest, MissingFileGivesTheDefault) {
    EXPECT_EQ(Get("form", "key", "fallback"), "fallback");
    EXPECT_EQ(Get("form", "key", ""), "");
}

TEST_F(ProfileTest, ReadsTrimUnquoteAndIgnoreCase) {
    WriteFile("; a comment=1\r\n"
              "[Form]\r\n"
              "  Key1 =  value with blanks  \t\r\n"
              "dq=\"  in quotes  \"\r\n"
              "sq='single'\r\n"
              "twice=\"\"x\"\"\r\n"
              "half=\"open\r\n"
              "mixed=\"a'\r\n"
              "empty=\r\n"
              "eq=a=b\n" // a line end without CR is read too
              "[other]\r\n"
              "key1=other\r\n"
              "[FORM]\r\n"
              "key1=second section of that name\r\n" +
              S("[ゾ]\r\nk=sjis section\r\n"));
    const struct {
        const char *section, *key;
        std::string expected;
    } cases[] = {
        {"form", "KEY1", "value with blanks"},
        {"FORM", "key1", "value with blanks"},
        {"form", "dq", "  in quotes  "},
        {"form", "sq", "single"},
        {"form", "twice", "\"x\""}, // one pair only
        {"form", "half", "\"open"},
        {"form", "mixed", "\"a'"},
        {"form", "empty", ""},
        {"form", "eq", "a=b"},
        {"other", "key1", "other"},
        {"form", "missing", "<default>"},
        {"nosection", "key1", "<default>"},
        {"; a comment", "1", "<default>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Get(c.section, c.key), c.expected) << c.section << "/" << c.key;
    // "ゾ" ends in the byte of "]": the header is still read as the whole name.
    EXPECT_EQ(Get(S("ゾ"), "k"), "sjis section");
}

TEST_F(ProfileTest, SecondBytesOfTwoByteNamesAreNotFolded) {
    // "ア" is 83 41 and "ツ" is 83 61: folding the second byte as a letter would merge them.
    ASSERT_TRUE(Put(S("ア"), S("キー"), "a"));
    EXPECT_EQ(Get(S("ツ"), S("キー")), "<default>");
    EXPECT_EQ(Get(S("ア"), S("キー")), "a");
}

TEST_F(ProfileTest, LongValuesComeBackCutWithoutSplittingACharacter) {
    const std::string ascii(3000, 'x');
    ASSERT_TRUE(Put("s", "ascii", ascii));
    EXPECT_EQ(Get("s", "ascii"), std::string(app::kMaxProfileValue, 'x'));
    std::string kana;
    for (int i = 0; i < 1500; ++i)
        kana += S("あ");
    ASSERT_TRUE(Put("s", "kana", kana));
    EXPECT_EQ(Get("s", "kana"), kana.substr(0, 2046)); // 2047 would end in half a character
    EXPECT_NE(FileText().find(ascii), std::string::npos) << "the file keeps the whole value";
}

TEST_F(ProfileTest, WritesReplaceOrAddKeysAndSectionsWithCrLf) {
    WriteFile("; keep me\r\n[a]\r\nx=1\r\ny=2\r\n\r\n[b]\r\nz=3\r\n");
    ASSERT_TRUE(Put("A", "X", "one"));     // replaces, whatever the case
    ASSERT_TRUE(Put("a", "new", "added")); // after the section's last line, before the blank
    ASSERT_TRUE(Put("c", "w", "9"));       // a new section at the end
    EXPECT_EQ(FileText(), "; keep me\r\n[a]\r\nX=one\r\ny=2\r\nnew=added\r\n\r\n[b]\r\nz=3\r\n"
                          "\r\n[c]\r\nw=9\r\n");
    EXPECT_EQ(Get("a", "x"), "one");
    EXPECT_EQ(Get("C", "W"), "9");
}

TEST_F(ProfileTest, FirstWriteCreatesTheFile) {
    ASSERT_TRUE(Put("form", "k", S("値")));
    EXPECT_EQ(FileText(), "[form]\r\nk=" + S("値") + "\r\n");
}

TEST_F(ProfileTest, LineBreaksCannotInjectKeys) {
    ASSERT_TRUE(Put("s", "k", "a\r\n[evil]\r\nx=1"));
    EXPECT_EQ(Get("s", "k"), "a  [evil]  x=1");
    EXPECT_EQ(Get("evil", "x"), "<default>");
    EXPECT_FALSE(Put("s", "a=b", "v"));
    EXPECT_FALSE(Put("s]", "k", "v"));
    EXPECT_FALSE(Put("", "k", "v"));
    EXPECT_FALSE(Put("s", "", "v"));
    EXPECT_FALSE(Put("s\n", "k", "v"));
}

// Every name a write accepts reads back; names it could not store readably are refused and
// leave the file as it was, however often they are written.
TEST_F(ProfileTest, WrittenNamesReadBackAndUnreadableOnesAreRefused) {
    const std::string kanji = cp932::FromUtf8("ソ表"); // second bytes 0x5C and 0x5C
    struct Case {
        std::string section, key;
    };
    for (const Case& c : std::vector<Case>{
             {" s ", " k "}, {"\ts", "k\t"}, {kanji, kanji + " "}, {" " + kanji, "a" + kanji}}) {
        ASSERT_TRUE(Put(c.section, c.key, "v")) << c.section << "/" << c.key;
        EXPECT_EQ(Get(c.section, c.key), "v") << c.section << "/" << c.key;
    }
    const std::string before = FileText();
    for (const Case& c : std::vector<Case>{
             {"s", "k\x81"}, {"s\x81", "k"}, {"s", "k\x81 "}, {"s" + kanji + "\xE0", "k"}}) {
        EXPECT_FALSE(Put(c.section, c.key, "v"));
        EXPECT_FALSE(Put(c.section, c.key, "w"));
        EXPECT_EQ(Get(c.section, c.key), "<default>");
    }
    EXPECT_EQ(FileText(), before);
}

TEST_F(ProfileTest, FailedWriteLeavesTheOldFileIntact) {
    const std::string before = "[form]\r\nk=old\r\nother=kept\r\n";
    WriteFile(before);
    files::testing_hooks::StopWritesAfter(5); // the disk fills up after five bytes
    EXPECT_FALSE(Put("form", "k", "new"));
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(FilesInDir(), 1u) << "no temporary file is left behind";
    // A value that is already so needs no write and succeeds.
    EXPECT_TRUE(Put("form", "k", "old"));
    files::testing_hooks::StopWritesAfter(-1);
    EXPECT_TRUE(Put("form", "k", "new"));
    EXPECT_EQ(Get("form", "k"), "new");
    EXPECT_EQ(Get("form", "other"), "kept");
}

TEST_F(ProfileTest, UnwritablePlacesAreRefused) {
    EXPECT_FALSE(app::WriteProfileString(
        "s", "k", "v", cp932::PathFromNative((dir_ / "missing" / "x.ini").string())));
    fs::create_directory(dir_ / "Test.ini"); // a folder where the file should be
    EXPECT_FALSE(Put("s", "k", "v"));
    EXPECT_EQ(Get("s", "k", "d"), "d");
}

TEST_F(ProfileTest, WriteThroughALinkKeepsTheLink) {
    fs::create_directory(dir_ / "real");
    std::ofstream(dir_ / "real" / "x.ini", std::ios::binary) << "[s]\r\nk=1\r\n";
    fs::create_symlink(dir_ / "real" / "x.ini", dir_ / "Test.ini");
    ASSERT_TRUE(Put("s", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "Test.ini"));
    EXPECT_EQ(Get("s", "k"), "2");
}

} // namespace
