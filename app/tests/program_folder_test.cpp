#include "program_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Kind = app::ProgramFolderChoice::Kind;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// An installed program in a folder of its own: root/usr/bin for the executable, its side files
// and samples in root/usr/share/quelvra, and an empty home folder. Whether the executable's
// folder counts as writable is the test's to say.
class ProgramFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("quelvra-program-folder-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(Bin());
        fs::create_directories(Home());
        WriteFile(Share() / "help.txt", "help\r\n");
        WriteFile(Share() / "color.ini", "[color]\r\n");
        WriteFile(Share() / "サンプル" / "旅行.txt", "\x97\xb7\x8d\x73"); // 旅行 in Shift-JIS
        WriteFile(Share() / "ウェブ◇" / "案内.html", "<p>x</p>");
        places_.executableFolder = Bin();
        places_.settingsFileName = "Quelvra.ini";
        places_.installedFiles = Share();
        places_.home = Home().string();
        places_.isWritable = [this](const fs::path& p) {
            EXPECT_EQ(p, Bin()) << "only the executable's folder is asked about";
            return binWritable_;
        };
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }
    fs::path Bin() const { return root_ / "usr" / "bin"; }
    fs::path Share() const { return root_ / "usr" / "share" / "quelvra"; }
    fs::path Home() const { return root_ / "home"; }
    fs::path UserFolder() const { return Home() / ".local" / "share" / "quelvra"; }

    fs::path root_;
    app::ProgramFolderPlaces places_;
    bool binWritable_ = false;
};

TEST_F(ProgramFolderTest, ExecutablesFolderUnlessInstalledOrReadOnly) {
    struct Case {
        const char* what;
        bool writable, settingsFile, installed;
        Kind expected;
    } const cases[] = {
        {"a build or copied program folder", true, false, false, Kind::Executable},
        {"the same with its settings", true, true, false, Kind::Executable},
        {"read-only with settings left there", false, true, false, Kind::Executable},
        {"installed, but settings put beside it", false, true, true, Kind::Executable},
        {"installed in /usr/bin", false, false, true, Kind::User},
        {"installed, run by someone who may write /usr/bin", true, false, true, Kind::User},
        {"read-only without installed files", false, false, false, Kind::User},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(UserFolder().parent_path().parent_path());
        fs::remove(Bin() / "Quelvra.ini");
        if (c.settingsFile) WriteFile(Bin() / "Quelvra.ini", "[form]\r\n");
        places_.installedFiles = c.installed ? Share() : root_ / "nowhere";
        binWritable_ = c.writable;

        const app::ProgramFolderChoice choice = app::ChooseProgramFolder(places_);
        EXPECT_EQ(choice.kind, c.expected);
        EXPECT_EQ(choice.problem, "");
        if (c.expected == Kind::Executable) {
            EXPECT_EQ(choice.folder, Bin());
            EXPECT_FALSE(choice.madeNow);
            EXPECT_FALSE(fs::exists(Home() / ".local")) << "nothing is made for the user";
        } else {
            EXPECT_EQ(choice.folder, UserFolder());
            EXPECT_TRUE(choice.madeNow);
            EXPECT_TRUE(fs::is_directory(UserFolder()));
        }
    }
}

TEST_F(ProgramFolderTest, UserFolderFollowsXdgDataHome) {
    struct Case {
        const char* what;
        std::optional<std::string> xdg, home;
        std::optional<fs::path> expected;
    } const cases[] = {
        {"unset", std::nullopt, "/h", fs::path("/h/.local/share/quelvra")},
        {"set", "/x/data", "/h", fs::path("/x/data/quelvra")},
        {"set with a trailing slash", "/x/data/", "/h", fs::path("/x/data/quelvra")},
        {"empty counts as unset", "", "/h", fs::path("/h/.local/share/quelvra")},
        {"relative is ignored", "x/data", "/h", fs::path("/h/.local/share/quelvra")},
        {"no usable home", std::nullopt, "", std::nullopt},
        {"XDG_DATA_HOME alone will do", "/x", std::nullopt, fs::path("/x/quelvra")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        places_.xdgDataHome = c.xdg;
        places_.home = c.home;
        const auto folder = app::UserDataFolder(places_);
        ASSERT_EQ(folder.has_value(), c.expected.has_value());
        if (folder) {
            EXPECT_EQ(folder->lexically_normal(), *c.expected);
        }
    }
}

TEST_F(ProgramFolderTest, FirstStartMakesTheFolderUnderXdgDataHomeWithCopies) {
    // A data home that does not exist yet: made with its parents, private to the user.
    const fs::path xdg = root_ / "data" / "home";
    places_.xdgDataHome = xdg.string();
    // Installed files that nobody may write: the user's copies are still the user's to change.
    fs::permissions(Share() / "color.ini",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const app::ProgramFolderChoice choice = app::ChooseProgramFolder(places_);
    ASSERT_EQ(choice.kind, Kind::User);
    EXPECT_EQ(choice.folder, xdg / "quelvra");
    EXPECT_TRUE(choice.madeNow);
    EXPECT_FALSE(fs::exists(UserFolder())) << "HOME is not used when XDG_DATA_HOME is set";

    for (const char* f : {"help.txt", "color.ini", "サンプル/旅行.txt", "ウェブ◇/案内.html"}) {
        SCOPED_TRACE(f);
        EXPECT_EQ(ReadFile(choice.folder / f), ReadFile(Share() / f));
    }
    EXPECT_NE(fs::status(choice.folder / "color.ini").permissions() & fs::perms::owner_write,
              fs::perms::none);
    EXPECT_EQ(fs::status(root_ / "data").permissions() & fs::perms::all, fs::perms::owner_all);
    // Nothing but the folder itself is left beside it.
    std::vector<std::string> beside;
    for (const auto& e : fs::directory_iterator(xdg))
        beside.push_back(e.path().filename().string());
    EXPECT_EQ(beside, std::vector<std::string>{"quelvra"});
}

TEST_F(ProgramFolderTest, LaterStartsLeaveTheUsersFilesAlone) {
    ASSERT_TRUE(app::ChooseProgramFolder(places_).madeNow);
    // The user changes the keyword list, removes a sample, adds notes; the program saved its
    // settings there.
    WriteFile(UserFolder() / "color.ini", "[mine]\r\n");
    fs::remove_all(UserFolder() / "サンプル");
    WriteFile(UserFolder() / "メモ" / "a.txt", "a");
    WriteFile(UserFolder() / "Quelvra.ini", "[form]\r\n");
    // And a newer package brings another help text.
    WriteFile(Share() / "help.txt", "new help\r\n");

    const app::ProgramFolderChoice again = app::ChooseProgramFolder(places_);
    EXPECT_EQ(again.kind, Kind::User);
    EXPECT_EQ(again.folder, UserFolder());
    EXPECT_FALSE(again.madeNow);
    EXPECT_EQ(ReadFile(UserFolder() / "color.ini"), "[mine]\r\n");
    EXPECT_FALSE(fs::exists(UserFolder() / "サンプル"));
    EXPECT_EQ(ReadFile(UserFolder() / "help.txt"), "help\r\n");
    EXPECT_EQ(ReadFile(UserFolder() / "メモ" / "a.txt"), "a");
}

TEST_F(ProgramFolderTest, AFolderMadeByTheUserIsTakenAsItIs) {
    // A link to a folder of notes elsewhere counts as the folder.
    WriteFile(root_ / "notes" / "a.txt", "a");
    fs::create_directories(UserFolder().parent_path());
    fs::create_directory_symlink(root_ / "notes", UserFolder());
    const app::ProgramFolderChoice choice = app::ChooseProgramFolder(places_);
    EXPECT_EQ(choice.kind, Kind::User);
    EXPECT_FALSE(choice.madeNow);
    EXPECT_FALSE(fs::exists(root_ / "notes" / "help.txt"));
}

TEST_F(ProgramFolderTest, WithoutAUserFolderTheInstalledFilesServeReadOnly) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        const char* problem; // a part of the message
    } const cases[] = {
        {"no home", [&] { places_.home.reset(); }, "no home folder"},
        {"the name is taken by a file", [&] { WriteFile(UserFolder(), "x"); }, "is not a folder"},
        {"a file where a parent folder should be",
         [&] {
             WriteFile(root_ / "file", "x"), places_.xdgDataHome = (root_ / "file" / "d").string();
         },
         "cannot make the folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        places_.home = Home().string();
        places_.xdgDataHome.reset();
        fs::remove_all(Home() / ".local");
        c.arrange();
        app::ProgramFolderChoice choice = app::ChooseProgramFolder(places_);
        EXPECT_EQ(choice.kind, Kind::Installed);
        EXPECT_EQ(choice.folder, Share());
        EXPECT_NE(choice.problem.find(c.problem), std::string::npos) << choice.problem;

        // Without installed files the executable's folder is all there is.
        places_.installedFiles = root_ / "nowhere";
        choice = app::ChooseProgramFolder(places_);
        EXPECT_EQ(choice.kind, Kind::Executable);
        EXPECT_EQ(choice.folder, Bin());
        EXPECT_NE(choice.problem, "");
        places_.installedFiles = Share();
    }
}

TEST_F(ProgramFolderTest, AFailedCopyLeavesNoFolderBehind) {
    // A file the user may not read (the test may run as root, who may: a FIFO cannot be copied
    // by anyone).
    ASSERT_EQ(::mkfifo((Share() / "pipe").c_str(), 0644), 0) << std::strerror(errno);
    const app::ProgramFolderChoice choice = app::ChooseProgramFolder(places_);
    EXPECT_EQ(choice.kind, Kind::Installed);
    EXPECT_NE(choice.problem.find("cannot copy"), std::string::npos) << choice.problem;
    EXPECT_TRUE(fs::is_empty(UserFolder().parent_path())) << "no half-filled folder";
}

// The running program's places: installed files only beside an installation's "bin" folder,
// the base directory variables from the environment.
TEST(RunningProgramPlaces, InstalledFilesAndTheEnvironment) {
    struct Case {
        const char* exeFolder;
        const char* installed;
    } const cases[] = {
        {"/usr/bin", "/usr/share/quelvra"},
        {"/opt/q/bin", "/opt/q/share/quelvra"},
        {"/home/a/src/build/program", ""},
        {"/tmp/quelvra-copy", ""},
        {"/bin", "/share/quelvra"},
        {"/", ""},
        {"/home/a/binary", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exeFolder);
        EXPECT_EQ(app::RunningProgramPlaces(c.exeFolder, "Q.ini").installedFiles,
                  fs::path(c.installed));
    }

    struct Restore {
        std::optional<std::string> xdg, home;
        static void Set(const char* name, const std::optional<std::string>& v) {
            if (v)
                ::setenv(name, v->c_str(), 1);
            else
                ::unsetenv(name);
        }
        ~Restore() { Set("XDG_DATA_HOME", xdg), Set("HOME", home); }
    } restore;
    if (const char* v = std::getenv("XDG_DATA_HOME")) restore.xdg = v;
    if (const char* v = std::getenv("HOME")) restore.home = v;
    ::setenv("XDG_DATA_HOME", "/x/data", 1);
    ::unsetenv("HOME");
    app::ProgramFolderPlaces p = app::RunningProgramPlaces("/usr/bin", "Quelvra.ini");
    EXPECT_EQ(p.xdgDataHome, std::optional<std::string>("/x/data"));
    EXPECT_EQ(p.home, std::nullopt);
    EXPECT_EQ(p.settingsFileName, "Quelvra.ini");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/h", 1);
    p = app::RunningProgramPlaces("/usr/bin", "Quelvra.ini");
    EXPECT_EQ(p.xdgDataHome, std::nullopt);
    EXPECT_EQ(p.home, std::optional<std::string>("/h"));
}

// The real check, on folders that are and are not writable.
TEST(WritableFolder, AnswersForFoldersThatCannotBeWritten) {
    const fs::path dir =
        fs::temp_directory_path() / ("quelvra-writable-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    EXPECT_TRUE(app::IsWritableFolder(dir));
    EXPECT_FALSE(app::IsWritableFolder(dir / "missing"));
    if (::geteuid() != 0) {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(app::IsWritableFolder(dir));
        fs::permissions(dir, fs::perms::owner_all);
    }
    fs::remove_all(dir);
}

// Root may write any folder whatever its permissions; a file system mounted read-only stops
// even root. The mount is made in a mount namespace of a child process of its own, so nothing
// of it outlives the test. Runs as its own CTest entry, which shows as skipped where mount
// namespaces cannot be made.
TEST(WritableFolderMount, ReadOnlyMountIsNotWritable) {
    const fs::path dir =
        fs::temp_directory_path() / ("quelvra-readonly-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // 10: no namespace to be had; 0: not writable, as it should be; 1: writable.
        // Without root, a user namespace of its own gives the right to mount in it.
        if (::unshare(::geteuid() == 0 ? CLONE_NEWNS : CLONE_NEWUSER | CLONE_NEWNS) != 0)
            ::_exit(10);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) ::_exit(10);
        if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0) ::_exit(10);
        if (::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            ::_exit(10);
        ::_exit(app::IsWritableFolder(dir) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    fs::remove_all(dir);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 10)
        GTEST_SKIP() << "no mount namespace here (needs root or user namespaces)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a read-only mount was taken as writable";
}

} // namespace
