// Reading regular files without waiting, stamps that tell versions apart, and the replacement
// that keeps a file's permissions, attributes and links and never leaves half of it.
#include "files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            Base() / ("quelvra-files-" +
                      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        files::testing_hooks::StopWritesAfter(-1);
        fs::remove_all(dir_);
    }
    virtual fs::path Base() const { return fs::temp_directory_path(); }

    fs::path Put(const char* name, const std::string& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return dir_ / name;
    }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::set<std::string> Names() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_))
            out.insert(e.path().filename().string());
        return out;
    }

    fs::path dir_;
};

// A child process that must end within five seconds; its exit status, or -1 when it hung.
template <class F> int InChild(F&& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FilesTest, OnlyRegularFilesAreReadAndNothingWaits) {
    const std::string bytes = std::string("\x83\x5C\x95\x5C\x94\x5C\x83\x7C\0end", 12);
    const fs::path note = Put("note.txt", bytes);
    fs::create_symlink(note, dir_ / "link.txt");
    ASSERT_EQ(::mkfifo((dir_ / "fifo.txt").c_str(), 0600), 0);
    fs::create_directory(dir_ / "folder.txt");

    files::Stamp stamp;
    EXPECT_EQ(files::ReadRegular(note.string(), &stamp), bytes);
    EXPECT_TRUE(stamp.exists);
    EXPECT_EQ(stamp.size, bytes.size());
    struct stat st {};
    ASSERT_EQ(::stat(note.c_str(), &st), 0);
    EXPECT_EQ(stamp.inode, static_cast<std::uint64_t>(st.st_ino));
    EXPECT_EQ(stamp.device, static_cast<std::uint64_t>(st.st_dev));
    EXPECT_EQ(files::ReadRegular((dir_ / "link.txt").string()), bytes);

    // A FIFO with no writer, a device and a folder are refused at once, each with its reason.
    const struct {
        fs::path path;
        int error;
    } refused[] = {
        {dir_ / "fifo.txt", ENODEV},    {"/dev/zero", ENODEV},     {dir_ / "folder.txt", EISDIR},
        {dir_ / "missing.txt", ENOENT}, {note / "below", ENOTDIR},
    };
    for (const auto& r : refused) {
        const int status = InChild([&] {
            errno = 0;
            const bool read = files::ReadRegular(r.path.string()).has_value();
            return read ? 100 : errno;
        });
        EXPECT_EQ(status, r.error) << r.path;
    }
}

TEST_F(FilesTest, StampsTellEveryChangeApart) {
    const fs::path note = Put("note.txt", "first version\r\n");
    files::Stamp loaded;
    ASSERT_TRUE(files::ReadRegular(note.string(), &loaded));
    EXPECT_EQ(files::StampOf(note.string()), loaded);

    // Same size, the modification time set back: only the bytes tell.
    struct stat before {};
    ::stat(note.c_str(), &before);
    std::ofstream(note, std::ios::binary | std::ios::in) << "FIRST";
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, note.c_str(), times, 0), 0);
    auto now = files::StampOf(note.string());
    ASSERT_TRUE(now);
    EXPECT_EQ(now->size, loaded.size);
    EXPECT_EQ(now->modifiedNs, loaded.modifiedNs);
    EXPECT_NE(*now, loaded);

    // The same bytes in a new file put in its place, with the same modification time.
    Put("other.txt", "first version\r\n");
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir_ / "other.txt").c_str(), times, 0), 0);
    fs::rename(dir_ / "other.txt", note);
    now = files::StampOf(note.string());
    ASSERT_TRUE(now);
    EXPECT_EQ(now->hash, loaded.hash);
    EXPECT_EQ(now->modifiedNs, loaded.modifiedNs);
    EXPECT_NE(*now, loaded);

    // Removed; something that cannot be read is no version of it.
    fs::remove(note);
    EXPECT_EQ(files::StampOf(note.string()), files::Stamp{});
    fs::create_directory(note);
    EXPECT_EQ(files::StampOf(note.string()), std::nullopt);

    // Hashes differ for a changed byte anywhere, and for a changed length.
    const std::string base(100, 'a');
    std::set<std::uint64_t> hashes{files::HashBytes(base), files::HashBytes(""),
                                   files::HashBytes(base + '\0')};
    for (size_t i = 0; i < base.size(); ++i) {
        std::string s = base;
        s[i] = 'b';
        hashes.insert(files::HashBytes(s));
    }
    EXPECT_EQ(hashes.size(), base.size() + 3);
}

TEST_F(FilesTest, ReplacesKeepingPermissionsAndLeavesNothingBeside) {
    const fs::path note = Put("note.txt", "old\r\n");
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(note, perms);
    const std::string bytes = std::string("\x90\x56\x82\xB5\x82\xA2\0\r\n", 9);
    files::Stamp written;
    ASSERT_EQ(files::Replace(note.string(), bytes, &written), 0);
    EXPECT_EQ(Read(note), bytes);
    EXPECT_EQ(fs::status(note).permissions() & fs::perms::all, perms);
    EXPECT_EQ(Names(), std::set<std::string>{"note.txt"});
    EXPECT_EQ(files::StampOf(note.string()), written);

    // A new file gets what a new file gets in its folder.
    const mode_t mask = ::umask(022);
    ASSERT_EQ(files::Replace((dir_ / "new.txt").string(), "n"), 0);
    ::umask(mask);
    EXPECT_EQ(Read(dir_ / "new.txt"), "n");
    EXPECT_EQ(fs::status(dir_ / "new.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);

    // A name as long as the file system allows (85 three-byte characters) leaves no room for
    // anything added to it; the file beside takes a shorter one.
    std::string longName;
    for (int k = 0; k < 85; ++k)
        longName += "\xE8\xA1\xA8"; // 表
    const fs::path longPath = Put(longName.c_str(), "old");
    ASSERT_EQ(files::Replace(longPath.string(), "new"), 0); // a new file, renamed
    EXPECT_EQ(Read(longPath), "new");
    fs::create_hard_link(longPath, dir_ / "long-link.txt");
    ASSERT_EQ(files::Replace(longPath.string(), "newer"), 0); // in place, a copy beside
    EXPECT_EQ(Read(dir_ / "long-link.txt"), "newer");
    fs::remove(longPath);
    fs::remove(dir_ / "long-link.txt");

    // Through a link: the file it names is replaced, the link stays.
    fs::create_symlink(note, dir_ / "link.txt");
    ASSERT_EQ(files::Replace((dir_ / "link.txt").string(), "via link"), 0);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
    EXPECT_EQ(Read(note), "via link");
    EXPECT_EQ(Names(), (std::set<std::string>{"note.txt", "new.txt", "link.txt"}));
}

TEST_F(FilesTest, HardLinksKeepSharingTheFile) {
    const std::string old = "old bytes of a linked note\r\n";
    const fs::path note = Put("note.txt", old);
    fs::create_hard_link(note, dir_ / "other-name.txt");
    const std::string bytes = std::string(100000, 'x') + "\r\n";
    files::Stamp written;
    ASSERT_EQ(files::Replace(note.string(), bytes, &written), 0);
    EXPECT_EQ(Read(note), bytes);
    EXPECT_EQ(Read(dir_ / "other-name.txt"), bytes);
    EXPECT_EQ(fs::hard_link_count(note), 2u);
    EXPECT_EQ(Names(), (std::set<std::string>{"note.txt", "other-name.txt"}));
    EXPECT_EQ(files::StampOf(note.string()), written);
    // Shorter than before: nothing of the old bytes is left at the end.
    ASSERT_EQ(files::Replace((dir_ / "other-name.txt").string(), "short"), 0);
    EXPECT_EQ(Read(note), "short");
}

TEST_F(FilesTest, AFailedWriteLeavesTheOldBytes) {
    const std::string old = "old bytes\r\n";
    const fs::path note = Put("note.txt", old);
    const fs::path linked = Put("linked.txt", old);
    fs::create_hard_link(linked, dir_ / "linked-too.txt");
    files::testing_hooks::StopWritesAfter(4); // the disk fills up after four bytes
    for (const fs::path& p : {note, linked}) {
        EXPECT_EQ(files::Replace(p.string(), "new bytes that do not fit"), ENOSPC) << p;
        EXPECT_EQ(Read(p), old) << p;
    }
    EXPECT_EQ(Read(dir_ / "linked-too.txt"), old);
    EXPECT_EQ(fs::hard_link_count(linked), 2u);
    EXPECT_EQ(files::Replace((dir_ / "new.txt").string(), "new bytes"), ENOSPC);
    EXPECT_EQ(Names(), (std::set<std::string>{"note.txt", "linked.txt", "linked-too.txt"}));
    files::testing_hooks::StopWritesAfter(-1);

    // Places that take no file; refusals that hold for the superuser too.
    ASSERT_EQ(::mkfifo((dir_ / "fifo.txt").c_str(), 0600), 0);
    fs::create_directory(dir_ / "folder.txt");
    const fs::path locked = Put("locked.txt", old);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
    const struct {
        fs::path path;
        int error;
    } refused[] = {
        {note / "below.txt", ENOTDIR},        // a folder that is a file
        {dir_ / "gone" / "note.txt", ENOENT}, // a folder that vanished
        {dir_ / "folder.txt", EISDIR},        //
        {dir_ / "fifo.txt", ENODEV},          // never opened, never waited on
        {locked, EACCES},                     // nobody may write it
    };
    for (const auto& r : refused) {
        EXPECT_EQ(InChild([&] { return files::Replace(r.path.string(), "x"); }), r.error) << r.path;
    }
    EXPECT_EQ(Read(locked), old);
    EXPECT_EQ(Names(), (std::set<std::string>{"note.txt", "linked.txt", "linked-too.txt",
                                              "fifo.txt", "folder.txt", "locked.txt"}));
}

TEST_F(FilesTest, AFullDiskLeavesTheOldBytes) {
    // A file size limit fails the writes as a full disk does.
    const std::string old = "old bytes\r\n";
    const fs::path alone = Put("alone.txt", old);
    const fs::path linked = Put("linked.txt", old);
    fs::create_hard_link(linked, dir_ / "linked-too.txt");
    const std::string big(1 << 20, 'x');
    for (const fs::path& p : {alone, linked}) {
        const int status = InChild([&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit { 4096, 4096 };
            ::setrlimit(RLIMIT_FSIZE, &limit);
            return files::Replace(p.string(), big);
        });
        EXPECT_EQ(status, EFBIG) << p;
        EXPECT_EQ(Read(p), old) << p;
    }
    EXPECT_EQ(Names(), (std::set<std::string>{"alone.txt", "linked.txt", "linked-too.txt"}));
}

TEST_F(FilesTest, ACrashLeavesTheOldBytesWhole) {
    const std::string old = std::string(70000, 'o') + "\r\n";
    const std::string bytes = std::string(90000, 'n') + "\r\n";
    const fs::path alone = Put("alone.txt", old);
    const fs::path linked = Put("linked.txt", old);
    fs::create_hard_link(linked, dir_ / "linked-too.txt");
    for (const fs::path& p : {alone, linked}) {
        const int status = InChild([&] {
            files::testing_hooks::StopWritesAfter(50000, true);
            files::Replace(p.string(), bytes);
            return 0;
        });
        ASSERT_EQ(status, 86) << p;
    }
    // Written beside and renamed: the file was never touched.
    EXPECT_EQ(Read(alone), old);
    // Written in place: half written, and the whole old bytes are beside it.
    EXPECT_EQ(Read(linked), bytes.substr(0, 50000) + old.substr(50000));
    std::vector<std::string> copies;
    for (const std::string& name : Names())
        if (name.rfind("linked.txt.quelvra-old-", 0) == 0) copies.push_back(name);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(Read(dir_ / copies[0]), old);
}

// Extended attributes need a file system that keeps them; the temporary folder usually does.
class FilesAttributesTest : public FilesTest {
  protected:
    void SetUp() override {
        FilesTest::SetUp();
        const fs::path probe = Put("probe", "");
        if (::setxattr(probe.c_str(), "user.quelvra.probe", "1", 1, 0) != 0)
            GTEST_SKIP() << "the file system of " << dir_
                         << " keeps no user attributes: " << std::strerror(errno);
        fs::remove(probe);
    }
};

std::string Attribute(const fs::path& p, const char* name) {
    char value[256];
    const ssize_t n = ::getxattr(p.c_str(), name, value, sizeof value);
    return n < 0 ? "<none>" : std::string(value, static_cast<size_t>(n));
}

// An access list in the kernel's attribute form: owner rw, user 12345 r, group r, mask r, other
// none.
std::string AccessList(std::uint32_t user) {
    std::string out;
    auto put16 = [&](std::uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); };
    auto put32 = [&](std::uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    put32(2); // version
    const struct {
        std::uint16_t tag, perm;
        std::uint32_t id;
    } entries[] = {{0x01, 6, ~0u}, {0x02, 4, user}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
    for (const auto& e : entries) {
        put16(e.tag);
        put16(e.perm);
        put32(e.id);
    }
    return out;
}

TEST_F(FilesAttributesTest, AttributesAndAccessListsAreKept) {
    const fs::path note = Put("note.txt", "old\r\n");
    ASSERT_EQ(::setxattr(note.c_str(), "user.origin", "sync tool", 9, 0), 0);
    ASSERT_EQ(::setxattr(note.c_str(), "user.empty", "", 0, 0), 0);
    const std::string acl = AccessList(12345);
    const bool hasAcl =
        ::setxattr(note.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
    if (!hasAcl) std::cout << "[ NOTE     ] access lists are not kept here; attributes only\n";
    ASSERT_EQ(files::Replace(note.string(), "new\r\n"), 0);
    EXPECT_EQ(Read(note), "new\r\n");
    EXPECT_EQ(Attribute(note, "user.origin"), "sync tool");
    EXPECT_EQ(Attribute(note, "user.empty"), "");
    if (hasAcl) {
        EXPECT_EQ(Attribute(note, "system.posix_acl_access"), acl);
    }
    EXPECT_EQ(Names(), std::set<std::string>{"note.txt"});

    // A folder whose default access list a new file would inherit: the replacement has no
    // access list that the old file did not have.
    const fs::path plain = Put("plain.txt", "old\r\n");
    std::string deflt = AccessList(54321);
    if (::setxattr(dir_.c_str(), "system.posix_acl_default", deflt.data(), deflt.size(), 0) == 0) {
        ASSERT_EQ(files::Replace(plain.string(), "new\r\n"), 0);
        EXPECT_EQ(Attribute(plain, "system.posix_acl_access"), "<none>");
        // A new file takes the folder's.
        ASSERT_EQ(files::Replace((dir_ / "fresh.txt").string(), "fresh"), 0);
        EXPECT_NE(Attribute(dir_ / "fresh.txt", "system.posix_acl_access"), "<none>");
    }
}

} // namespace
