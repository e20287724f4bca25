// The viewer's text work without a window: tag removal, line ends and the safe save.
#include "note_text.h"

#include "codec.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace fs = std::filesystem;
using namespace viewer;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

TEST(RemoveTags, KeepsTheTextBetweenTags) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"A<b>B</b>D>", "AB"},  // what follows the last tag is dropped
        {"x>y<b>z>", "x>yy"},   // a ">" before the "<" ends the tag
        {"<p>x</p>\r\n>", "x"}, // as the viewer calls it, with a ">" appended
        {"no tags at all", ""},
        {"a<b", "a"},
        {"", ""},
        // Two-byte characters, some with a second byte in the ASCII range, pass whole.
        {S("<p>表ソ能ポ</p><br>ｶﾅ<i>漢字</i>>"), S("表ソ能ポｶﾅ漢字")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RemoveTags(c.in), c.out) << c.in;
}

TEST(CollapseBlankLines, OnePassAtATime) {
    auto ends = [](int n) {
        std::string s = "a";
        for (int k = 0; k < n; ++k)
            s += "\r\n";
        return s + "b";
    };
    EXPECT_EQ(CollapseBlankLines(ends(7)), ends(3));
    EXPECT_EQ(CollapseBlankLines(CollapseBlankLines(ends(7))), ends(1));
    EXPECT_EQ(CollapseBlankLines(ends(4)), ends(2));
    EXPECT_EQ(CollapseBlankLines(ends(2)), ends(2));
    EXPECT_EQ(CollapseBlankLines(S("表\r\n\r\n\r\nソ")), S("表\r\nソ"));
}

TEST(FaithfulLineEnds, FindsTheOneKindOfLineEndOrNone) {
    struct Case {
        std::string file, editor;
        std::optional<TLineEnds> want;
    } cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n", TLineEnds::CrLf},
        {"a\nb\n", "a\r\nb\r\n", TLineEnds::Lf},
        {"a\rb", "a\r\nb", TLineEnds::Cr},
        {"one line", "one line", TLineEnds::CrLf},
        {"", "", TLineEnds::CrLf},
        {"a\nb\r\n", "a\r\nb\r\n", std::nullopt},    // mixed
        {"a\r\nb\x1A tail", "a\r\nb", std::nullopt}, // cut at a Ctrl-Z
        {std::string("a\0b", 3), "a", std::nullopt}, // an editor that dropped a NUL
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FaithfulLineEnds(c.file, c.editor), c.want) << c.file;
        if (c.want) {
            EXPECT_EQ(ToNoteBytes(c.editor, *c.want), c.file);
        }
    }
}

TEST(ExcerptHeightAndRecentring, FollowTheirRules) {
    EXPECT_EQ(ExcerptHeight(400, 3), 74);
    EXPECT_EQ(ExcerptHeight(400, 100), 320);
    // 20 visible rows: rows 4..16 below the top stay, others put the row a third down.
    struct Case {
        int row, top;
        std::optional<int> want;
    } cases[] = {
        {110, 100, std::nullopt},
        {104, 100, std::nullopt},
        {116, 100, std::nullopt},
        {117, 100, 111},
        {119, 100, 113},
        {103, 100, 97},
        {5, 0, std::nullopt},
        // Rows in the first third of the text go as far down as the top of the text allows.
        {3, 200, 0},
        {5, 200, 0},
        {6, 200, 0},
        {7, 200, 1},
        {2, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecentredTopRow(c.row, c.top, 20), c.want) << c.row << " " << c.top;
}

class SaveNoteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra-save-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        note_ = dir_ / "note.txt";
        std::ofstream(note_, std::ios::binary) << "old text\r\n";
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    std::string Read(const fs::path& p) const {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    size_t Entries() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir_))
            n += e.exists();
        return n;
    }
    fs::path dir_, note_;
};

TEST_F(SaveNoteTest, ReplacesTheNoteKeepingItsPermissions) {
    fs::permissions(note_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string bytes = S("訂正した本文\r\n") + std::string("\0x", 2);
    SaveNoteAtomically(note_.string(), bytes);
    EXPECT_EQ(Read(note_), bytes);
    EXPECT_EQ(fs::status(note_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Entries(), 1u); // nothing left beside it
}

TEST_F(SaveNoteTest, ALinkKeepsPointingAtTheCorrectedNote) {
    const fs::path link = dir_ / "link.txt";
    fs::create_symlink(note_, link);
    SaveNoteAtomically(link.string(), "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(note_), "new");
}

TEST_F(SaveNoteTest, ANoteThatCannotBeWrittenIsLeftAsItWas) {
    // Read-only note.
    fs::permissions(note_, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_THROW(SaveNoteAtomically(note_.string(), "new"), TSaveError);
    EXPECT_EQ(Read(note_), "old text\r\n");
    fs::permissions(note_, fs::perms::owner_read | fs::perms::owner_write);
    // Vanished note and vanished folder.
    EXPECT_THROW(SaveNoteAtomically((dir_ / "gone.txt").string(), "new"), TSaveError);
    EXPECT_THROW(SaveNoteAtomically((dir_ / "gone" / "note.txt").string(), "new"), TSaveError);
    // A folder is no note.
    EXPECT_THROW(SaveNoteAtomically(dir_.string(), "new"), TSaveError);
    try {
        SaveNoteAtomically((dir_ / "gone.txt").string(), "new");
    } catch (const TSaveError& e) {
        EXPECT_NE(std::string(e.what()).find("gone.txt"), std::string::npos) << e.what();
    }
    // A folder that takes no new file (the superuser writes anywhere).
    if (::geteuid() != 0) {
        fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_THROW(SaveNoteAtomically(note_.string(), "new"), TSaveError);
        fs::permissions(dir_, fs::perms::owner_all);
        EXPECT_EQ(Read(note_), "old text\r\n");
    }
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(SaveNoteTest, AFullDiskLeavesTheNoteWhole) {
    // /dev/shm or a tmpfs is not always there to fill; a file size limit fails the write alike.
    if (!fs::exists("/proc/self")) GTEST_SKIP();
    const std::string big(1 << 20, 'x');
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            4096, 4096
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            SaveNoteAtomically(note_.string(), big);
        } catch (const TSaveError&) {
            ::_exit(7);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
    EXPECT_EQ(Read(note_), "old text\r\n");
    EXPECT_EQ(Entries(), 1u);
}

} // namespace
