// TIniGT: file location, value forms, fences, lists, placements and write failures.
#include "inigt.h"

#include "codec.h"
#include "files.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

class IniGTTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra-inigt-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ini_.SetExecutable(cp932::PathFromNative((dir_ / "quelvra").string()));
        ini_.Loaded();
    }
    void TearDown() override {
        files::testing_hooks::StopWritesAfter(-1);
        fs::remove_all(dir_);
    }
    std::string FileText() const {
        std::ifstream in(dir_ / "Quelvra.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool FileHas(const std::string& line) const {
        return FileText().find(line + "\r\n") != std::string::npos;
    }

    fs::path dir_;
    TIniGT ini_;
};

TEST(IniGTName, DefaultFileNameFollowsTheExecutable) {
    const struct {
        std::string exe, expected;
    } cases[] = {
        {"/opt/q/quelvra", "Quelvra.ini"},
        {"/opt/q/Search.exe", "Search.ini"},
        {"/b/SEARCHWIN_TESTS", "Searchwin_tests.ini"},
        {"/b/my.tool.bin", "My.tool.ini"},
        {"/b/1st", "1st.ini"},
        {"/b/.hidden", ".hidden.ini"},
        // The second byte of "ア" (41) is no letter to fold.
        {S("/b/アZ.EXE"), S("アz.ini")},
        {"quelvra", "Quelvra.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TIniGT::DefaultFileName(c.exe), c.expected) << c.exe;
}

TEST(IniGTName, PathFollowsDefaultDirUnlessTheNameHasAFolder) {
    TIniGT ini;
    ini.SetExecutable("/opt/q/quelvra");
    EXPECT_EQ(ini.DefaultDir(), ddApplication);
    EXPECT_EQ(ini.Fence(), fnNone);
    ini.Loaded();
    EXPECT_EQ(ini.FileName(), "Quelvra.ini");
    EXPECT_EQ(ini.Path(), "/opt/q/Quelvra.ini");
    ini.SetDefaultDir(ddNone);
    EXPECT_EQ(ini.Path(), "Quelvra.ini");
    ini.SetDefaultDir(ddWindows);
    EXPECT_EQ(ini.Path(), std::string(TIniGT::kSystemFolder) + "/Quelvra.ini");
    ini.SetFileName("/elsewhere/own.ini");
    EXPECT_EQ(ini.Path(), "/elsewhere/own.ini");
    ini.SetDefaultDir(ddApplication);
    EXPECT_EQ(ini.Path(), "/elsewhere/own.ini");
    ini.Loaded(); // a name already set stays
    EXPECT_EQ(ini.FileName(), "/elsewhere/own.ini");
}

TEST_F(IniGTTest, FencedStringsRoundTripAndShowTheirFence) {
    const std::string open = S("｢"), close = S("｣");
    ASSERT_EQ(open, "\xA2");
    const struct {
        TIniGTFence fence;
        std::string value, stored, readBack;
    } cases[] = {
        {fnParenthesis, "  spaced  ", open + "  spaced  " + close, "  spaced  "},
        {fnParenthesis, "\"quoted\"", open + "\"quoted\"" + close, "\"quoted\""},
        {fnVer11Mode, "\"quoted\"", open + "\"quoted\"" + close, "\"quoted\""},
        {fnParenthesis, "", open + close, ""},
        {fnParenthesis, S("日本語"), open + S("日本語") + close, S("日本語")},
        {fnDoubleQuote, "  a  ", "\"  a  \"", "  a  "},
        {fnNone, "  a  ", "  a  ", "a"},
    };
    for (const auto& c : cases) {
        ini_.SetFence(c.fence);
        ini_.WriteString("s", "k", c.value);
        EXPECT_TRUE(FileHas("k=" + c.stored)) << c.value;
        EXPECT_EQ(ini_.ReadString("s", "k", "d"), c.readBack) << c.value;
    }
}

TEST_F(IniGTTest, ReadingRemovesOnlyTheFencesOfTheMode) {
    const std::string corners = S("｢x｣");
    const struct {
        TIniGTFence fence;
        std::string raw, expected;
    } cases[] = {
        // Quotes inside blanks survive the platform's trimming only when the fence is read.
        {fnVer11Mode, "\"\"old\"\"", "old"}, // one pair by the platform, one by the fence
        {fnVer11Mode, corners, "x"},           {fnDoubleQuote, corners, corners},
        {fnParenthesis, "\"\"q\"\"", "\"q\""}, {fnNone, corners, corners},
        {fnParenthesis, S("｢"), S("｢")}, // one byte: no pair to remove
    };
    for (const auto& c : cases) {
        ini_.SetFence(fnNone);
        ini_.WriteStringRaw("s", "k", c.raw);
        ini_.SetFence(c.fence);
        EXPECT_EQ(ini_.ReadString("s", "k", "d"), c.expected) << c.raw;
    }
    // With fnVer11Mode a value an earlier writer stored in double quotes comes back bare.
    ini_.WriteStringRaw("s", "old", "\"  padded  \"");
    EXPECT_EQ(ini_.ReadString("s", "old", ""), "  padded  ");
}

TEST_F(IniGTTest, MissingKeysGiveTheDefaultUnfenced) {
    ini_.SetFence(fnParenthesis);
    EXPECT_EQ(ini_.ReadString("s", "none", "  d  "), "  d  ");
    EXPECT_EQ(ini_.ReadString("s", "none", ""), "");
    ini_.SetFence(fnDoubleQuote);
    EXPECT_EQ(ini_.ReadString("s", "none", "c:\\"), "c:\\");
    EXPECT_FALSE(fs::exists(dir_ / "Quelvra.ini")) << "reads never create the file";
}

TEST_F(IniGTTest, IntegersAndBooleans) {
    const struct {
        std::string raw;
        std::int32_t expected; // with the default 77
    } cases[] = {
        {"42", 42},
        {"-42", -42},
        {"+7", 7},
        {" 5 ", 5},
        {"$FF", 255},
        {"0x1f", 31},
        {"0X1F", 31},
        {"$FFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 77},
        {"0x", 77},
        {"12a", 77},
        {"", 77},
        {"$", 77},
        {"$123456789", 77},
        {"yes", 77},
        {"1.5", 77},
    };
    for (const auto& c : cases) {
        ini_.WriteStringRaw("n", "k", c.raw);
        EXPECT_EQ(ini_.ReadInteger("n", "k", 77), c.expected) << c.raw;
    }
    ini_.WriteInteger("n", "i", -12345);
    EXPECT_TRUE(FileHas("i=-12345"));
    EXPECT_EQ(ini_.ReadInteger("n", "i", 0), -12345);

    ini_.WriteBool("b", "t", true);
    ini_.WriteBool("b", "f", false);
    EXPECT_TRUE(FileHas("t=1"));
    EXPECT_TRUE(FileHas("f=0"));
    EXPECT_TRUE(ini_.ReadBool("b", "t", false));
    EXPECT_FALSE(ini_.ReadBool("b", "f", true));
    for (const char* raw : {"7", "-1", "0x10"}) {
        ini_.WriteStringRaw("b", "x", raw);
        EXPECT_TRUE(ini_.ReadBool("b", "x", false)) << raw;
    }
    for (const char* raw : {"yes", "true", ""}) {
        ini_.WriteStringRaw("b", "x", raw);
        EXPECT_TRUE(ini_.ReadBool("b", "x", true)) << raw;
        EXPECT_FALSE(ini_.ReadBool("b", "x", false)) << raw;
    }
    EXPECT_TRUE(ini_.ReadBool("b", "missing", true));
}

TEST_F(IniGTTest, HexadecimalColours) {
    ini_.WriteColor("color", "cl1", 0xff0000);
    EXPECT_TRUE(FileHas("cl1=0x00FF0000"));
    EXPECT_EQ(ini_.ReadColor("color", "cl1", 0), 0xff0000);
    ini_.WriteHex("color", "neg", -1);
    EXPECT_TRUE(FileHas("neg=0xFFFFFFFF"));
    EXPECT_EQ(ini_.ReadHex("color", "neg", 0), -1);
    EXPECT_EQ(ini_.ReadColor("color", "missing", 0xff00ff), 0xff00ff);
    const struct {
        std::string raw;
        std::int32_t expected; // with the default 0x123
    } cases[] = {
        {"255", 5}, // the first two characters are taken for "0x" unchecked
        {"0xff", 255},
        {"$$0000FF", 255},
        {"0x00FF0000trailing", 0xff0000},
        // Not a hexadecimal number: the default, so that the window goes on restoring.
        {"", 0x123},
        {"0x", 0x123},
        {"0xGG", 0x123},
        {"blue", 0x123},
    };
    for (const auto& c : cases) {
        ini_.WriteStringRaw("color", "x", c.raw);
        EXPECT_EQ(ini_.ReadHex("color", "x", 0x123), c.expected) << c.raw;
    }
}

TEST_F(IniGTTest, StringListsKeepStaleKeysAndReadTheCount) {
    ini_.SetFence(fnParenthesis);
    ini_.WriteStrings("combobox", "combobox1", {"a", "b", "c", "d", "e"});
    ini_.WriteStrings("combobox", "combobox1", {" one ", "two", ""});
    EXPECT_TRUE(FileHas("combobox1.Count=3"));
    EXPECT_TRUE(FileHas("combobox1.4=" + S("｢e｣")));
    std::vector<std::string> list{"x"};
    ini_.ReadStrings("combobox", "combobox1", list);
    EXPECT_EQ(list, (std::vector<std::string>{" one ", "two", ""}));

    // Nothing stored: the list stays as it was.
    std::vector<std::string> untouched{"p", "q"};
    ini_.ReadStrings("combobox", "none", untouched);
    EXPECT_EQ(untouched, (std::vector<std::string>{"p", "q"}));

    // A count beyond the stored items: the rest come from the list, then empty.
    ini_.WriteInteger("combobox", "more.Count", 4);
    ini_.WriteString("combobox", "more.1", "stored");
    std::vector<std::string> more{"m0", "m1", "m2"};
    ini_.ReadStrings("combobox", "more", more);
    EXPECT_EQ(more, (std::vector<std::string>{"m0", "stored", "m2", ""}));

    ini_.WriteStringRaw("combobox", "neg.Count", "-3");
    std::vector<std::string> neg{"z"};
    ini_.ReadStrings("combobox", "neg", neg);
    EXPECT_TRUE(neg.empty());

    // A damaged count does not make the read run for ever.
    ini_.WriteStringRaw("combobox", "huge.Count", "2000000000");
    std::vector<std::string> huge;
    ini_.ReadStrings("combobox", "huge", huge);
    EXPECT_EQ(huge.size(), static_cast<size_t>(TIniGT::kMaxListItems));
}

TEST_F(IniGTTest, WindowPlacementUsesEightKeysWithEdges) {
    const app::WindowPlacement p{0, 3, -1, -1, 10, 20, 810, 637};
    ini_.WriteWindowPlacement("form", "form1", p);
    for (const char* line : {"form1.Flags=0", "form1.Show=3", "form1.MaxX=-1", "form1.MaxY=-1",
                             "form1.X=10", "form1.Y=20", "form1.XSize=810", "form1.YSize=637"})
        EXPECT_TRUE(FileHas(line)) << line;
    EXPECT_EQ(ini_.ReadWindowPlacement("form", "form1", {}), p);

    // Keys that are missing or damaged keep the current values.
    ini_.WriteStringRaw("form", "form4.X", "300");
    ini_.WriteStringRaw("form", "form4.Y", "wide");
    const app::WindowPlacement current{0, 1, -1, -1, 1, 2, 3, 4};
    const app::WindowPlacement read = ini_.ReadWindowPlacement("form", "form4", current);
    EXPECT_EQ(read.Left, 300);
    EXPECT_EQ(read.Top, 2);
    EXPECT_EQ(read.Right, 3);
    EXPECT_EQ(read.Show, 1);
}

TEST_F(IniGTTest, RefusedWriteRaisesWithThePath) {
    ini_.WriteInteger("s", "k", 1);
    files::testing_hooks::StopWritesAfter(0);
    try {
        ini_.WriteInteger("s", "k", 2);
        FAIL() << "no exception";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), ini_.Path() + S(" に書き込めません"));
    }
    EXPECT_THROW(ini_.WriteString("s", "new", "v"), EIniFileException);
    files::testing_hooks::StopWritesAfter(-1);
    EXPECT_EQ(ini_.ReadInteger("s", "k", 0), 1) << "the file on disk is as before";
}

} // namespace
