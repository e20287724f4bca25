#include "listing.h"

#include "codec.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ListingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("quelvra-listing-" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }
    void Touch(const std::string& rel) {
        fs::create_directories((root_ / rel).parent_path());
        std::ofstream(root_ / rel) << "x";
    }
    std::string Root() const { return cp932::PathFromNative(root_.string()); }
    fs::path root_;
};

TEST_F(ListingTest, OneLevelMatchesExtensionWithoutRegardToCaseAndSorts) {
    for (const char* f : {"b.txt", "A.TXT", "c.html", "d.txt.bak", "sub/e.txt", "東京.txt"})
        Touch(f);
    const auto files = listing::ListFiles(Root(), "txt");
    const std::vector<std::string> expected = {"A.TXT", "b.txt", cp932::FromUtf8("東京.txt")};
    EXPECT_EQ(files, expected);
    EXPECT_TRUE(listing::ListFiles(Root() + "/missing", "txt").empty());
}

// Only regular files (and links to them) are notes: a FIFO, a socket or a dangling link named
// like a note is left out of both listings.
TEST_F(ListingTest, SpecialFilesAreNeverListed) {
    for (const char* f : {"a.txt", "sub/b.txt"})
        Touch(f);
    for (const char* f : {"m.txt", "sub/n.txt"})
        ASSERT_EQ(::mkfifo((root_ / f).c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = (root_ / "s.txt").string();
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sockPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    fs::create_symlink(root_ / "a.txt", root_ / cp932::PathToNative(cp932::FromUtf8("表.txt")));
    fs::create_symlink(root_ / "m.txt", root_ / "tofifo.txt");
    fs::create_symlink(root_ / "gone", root_ / "dangling.txt");

    EXPECT_EQ(listing::ListFiles(Root(), "txt"),
              (std::vector<std::string>{"a.txt", cp932::FromUtf8("表.txt")}));
    EXPECT_EQ(listing::ListFilesInTree(Root(), ".txt"),
              (std::vector<std::string>{"a.txt", "sub/b.txt", cp932::FromUtf8("表.txt")}));
    ::close(sock);
}

TEST_F(ListingTest, SubtreeSkipsDotFoldersAndGivesRelativePaths) {
    for (const char* f : {"a.txt", "data/b.txt", "data/data/c.txt", ".git/d.txt", "x/.hidden.txt"})
        Touch(f);
    const auto files = listing::ListFilesInTree(Root(), ".txt");
    const std::vector<std::string> expected = {"a.txt", "data/b.txt", "data/data/c.txt"};
    EXPECT_EQ(files, expected);
}

TEST_F(ListingTest, SubtreeSurvivesSymbolicLinkCyclesAndListsEachFileOnce) {
    Touch("a/one.txt");
    fs::create_directory_symlink(root_ / "a", root_ / "a" / "loop");
    fs::create_directory_symlink(root_, root_ / "a" / "up");
    const auto files = listing::ListFilesInTree(Root(), ".txt");
    EXPECT_EQ(files, std::vector<std::string>{"a/one.txt"});
}

TEST_F(ListingTest, FoldersAreSortedAndSkipDotNames) {
    for (const char* f : {"b/x", "A/x", ".git/x", "資料◆/x", "v1.2/x", "trailing./x"})
        Touch(f);
    Touch("noextension"); // a file, not a folder
    Touch("plain.txt");
    const std::vector<std::string> expected = {"A", "b", cp932::FromUtf8("資料◆")};
    EXPECT_EQ(listing::ListFolders(Root()), expected);
}

TEST_F(ListingTest, SubtreeListsFilesUnderTheirRealPathBeforeLinks) {
    Touch("real/x.txt");
    fs::create_directory_symlink(root_ / "real", root_ / "alink");
    fs::create_directory_symlink(root_ / "real", root_ / "zlink");
    EXPECT_EQ(listing::ListFilesInTree(Root(), ".txt"), std::vector<std::string>{"real/x.txt"});
    // A link to a folder outside the tree is followed.
    fs::create_directories(root_ / "outside");
    std::ofstream(root_ / "outside" / "o.txt") << "x";
    fs::create_directory_symlink(root_ / "outside", root_ / "real" / "out");
    EXPECT_EQ(listing::ListFilesInTree(Root() + "/real", ".txt"),
              (std::vector<std::string>{"out/o.txt", "x.txt"}));
}

TEST_F(ListingTest, NamesWithoutAShiftJisFormAreListedAndOpen) {
    const std::vector<std::string> natives = {"memo\xF0\x9F\x98\x80.txt", "\xE3\x80\x9Cwave.txt",
                                              "bad\xFF.txt"};
    for (const auto& n : natives)
        std::ofstream(root_ / n) << n;
    for (const auto& files :
         {listing::ListFiles(Root(), "txt"), listing::ListFilesInTree(Root(), ".txt")}) {
        ASSERT_EQ(files.size(), natives.size());
        for (const auto& item : files) {
            std::ifstream in(cp932::PathToNative(listing::JoinPath(Root(), item)));
            std::string content;
            std::getline(in, content);
            EXPECT_EQ(content, cp932::PathToNative(item));
        }
    }
}

} // namespace
