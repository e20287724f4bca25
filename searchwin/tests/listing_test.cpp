#include "listing.h"

#include "codec.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

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
    for (const char* f : {"b/x", "A/x", ".git/x", "資料◆/x"})
        Touch(f);
    Touch("plain.txt");
    const std::vector<std::string> expected = {"A", "b", cp932::FromUtf8("資料◆")};
    EXPECT_EQ(listing::ListFolders(Root()), expected);
}

} // namespace
