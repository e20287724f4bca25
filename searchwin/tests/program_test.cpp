// The program as a user starts it: its command line, one instance per executable name, signals
// close the window.
#include "command_line.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A copy of the program under a name of its own, so the test never meets a real instance.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra-program-" + QUuid::createUuid().toString(QUuid::Id128).toStdString());
        fs::create_directories(dir_ / "data");
        exe_ =
            dir_ / ("quelvra-" + QUuid::createUuid().toString(QUuid::Id128).left(8).toStdString());
        fs::copy_file(fs::path(QUELVRA_PROGRAM_DIR) / "quelvra", exe_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // display: an X display to start on instead of the offscreen platform.
    void Start(QProcess& p, const QString& display = {}, const QStringList& args = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (display.isEmpty()) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            env.insert(QStringLiteral("DISPLAY"), display);
        }
        for (const auto& [name, value] : env_)
            env.insert(name, value);
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(dir_.string()));
        p.start(QString::fromStdString(exe_.string()), args);
        ASSERT_TRUE(p.waitForStarted(10000));
    }

    // Waits until the program has set up its close-on-signal handler, that is until the
    // window is made and SIGTERM closes it as the user would.
    bool WaitUntilUp(const QProcess& p) const {
        const std::string proc = "/proc/" + std::to_string(p.processId());
        for (int tries = 0; tries < 300; ++tries) {
            std::error_code ec;
            // (Not the test's own handlers, in the moment between fork and exec.)
            const bool started = fs::read_symlink(proc + "/exe", ec) == exe_;
            std::ifstream in(started ? proc + "/status" : std::string());
            for (std::string line; std::getline(in, line);) {
                if (line.rfind("SigCgt:", 0) != 0) continue;
                if ((std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1) return true;
            }
            if (p.state() != QProcess::Running) return false;
            QThread::msleep(100);
        }
        return false;
    }

    // Runs the program with `args` to its end: a program that stays closes with SIGTERM once it
    // is up. Its standard output and error, and its exit code.
    struct Ran {
        std::string out, err;
        int code = -1;
    };
    Ran Run(const QStringList& args, bool display = true) {
        QProcess p;
        if (!display) {
            env_.emplace_back(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none"));
            env_.emplace_back(QStringLiteral("DISPLAY"), QString());
            env_.emplace_back(QStringLiteral("WAYLAND_DISPLAY"), QString());
        }
        Start(p, {}, args);
        if (!p.waitForFinished(2000)) {
            if (WaitUntilUp(p)) ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
            EXPECT_TRUE(p.waitForFinished(20000));
        }
        return {p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString(),
                p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1};
    }
    std::string SettingsText() const {
        std::ifstream in(dir_ / ("Q" + exe_.filename().string().substr(1) + ".ini"),
                         std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::vector<std::pair<QString, QString>> env_;

    fs::path dir_, exe_;
};

TEST_F(ProgramTest, SecondStartHandsOverAndEndsAtOnce) {
    QProcess first, second;
    Start(first);
    // Give the first instance time to come up and listen.
    first.waitForFinished(3000);
    ASSERT_EQ(first.state(), QProcess::Running);

    Start(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM); // closes the window as the user would
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);

    // Once the first has ended, a new start is the running instance again.
    QProcess third;
    Start(third);
    third.waitForFinished(3000);
    EXPECT_EQ(third.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(third.processId()), SIGINT);
    ASSERT_TRUE(third.waitForFinished(10000));
    EXPECT_EQ(third.exitCode(), 0);
}

// The title bar on X11 shows the window's caption alone, without the application's name after
// it: what the window manager reads is the window's name properties.
TEST_F(ProgramTest, TitleBarShowsTheCaptionExactly) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xwininfo = QStandardPaths::findExecutable(QStringLiteral("xwininfo"));
    if (xvfb.isEmpty() || xwininfo.isEmpty()) GTEST_SKIP() << "needs Xvfb and xwininfo";
    QProcess server;
    server.start(xvfb,
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                  QStringLiteral("1024x768x24")});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(server.waitForReadyRead(10000));
    const QString display = QStringLiteral(":") + QString::fromLatin1(server.readLine()).trimmed();

    // A keyword list, so that the start has no message to show first.
    std::ofstream(dir_ / "color.ini") << "";
    QProcess program;
    Start(program, display);
    // Every named window of the display; the main window's appears once it is mapped.
    QString names;
    for (int tries = 0; tries < 100 && !names.contains(QStringLiteral("v5.7")); ++tries) {
        QThread::msleep(100);
        QProcess list;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        list.setProcessEnvironment(env);
        list.start(xwininfo, {QStringLiteral("-root"), QStringLiteral("-tree")});
        list.waitForFinished(10000);
        names = QString::fromUtf8(list.readAllStandardOutput());
    }
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    program.waitForFinished(10000);
    server.terminate();
    server.waitForFinished(10000);

    EXPECT_TRUE(names.contains(QString::fromUtf8("\"Quelvra　v5.7\""))) << names.toStdString();
    EXPECT_FALSE(names.contains(QString::fromUtf8("v5.7 —"))) << names.toStdString();
}

// Run from a folder the user may write, the program keeps its settings there and makes nothing
// in the user's data folder; a folder given on the command line is the data folder, as if
// picked with the folder button, so the folder dialog starts there next time.
TEST_F(ProgramTest, RunFromItsOwnFolderWithAFolderToSearch) {
    const fs::path home = dir_ / "home";
    fs::create_directories(home);
    env_.emplace_back(QStringLiteral("HOME"), QString::fromStdString(home.string()));
    env_.emplace_back(QStringLiteral("XDG_DATA_HOME"), QString());
    std::ofstream(dir_ / "color.ini") << ""; // no message about a new keyword list
    std::ofstream(dir_ / "data" / "a.txt") << "a";

    // Relative to where it was started, written plainly.
    const Ran r = Run({QStringLiteral("./data/")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(SettingsText().find("dirx=\xa2" + (dir_ / "data").string() + "\xa3\r\n"),
              std::string::npos)
        << SettingsText();
    EXPECT_FALSE(fs::exists(home / ".local")) << "nothing made in the user's data folder";
}

TEST_F(ProgramTest, HelpVersionAndWrongCommandLines) {
    // --help and --version answer without a display.
    Ran r = Run({QStringLiteral("--help")}, false);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("Usage: quelvra [FOLDER]\n", 0), 0u) << r.out;
    r = Run({QStringLiteral("--version")}, false);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "quelvra " QUELVRA_VERSION "\n");
    env_.clear();

    struct Case {
        QStringList args;
        const char* error;
    } const cases[] = {
        {{QStringLiteral("a"), QStringLiteral("b")}, "quelvra: one folder at most (2 given)\n"},
        {{QStringLiteral("--bogus")}, "quelvra: unknown option --bogus\n"},
        {{QStringLiteral("")}, "quelvra: the folder is an empty name\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        r = Run(c.args);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Usage: quelvra"), std::string::npos);
        EXPECT_EQ(SettingsText(), "") << "no window was made";
    }
}

TEST(CommandLine, AFolderAtMostAndTheUsualOptions) {
    using A = TCommandLine::Action;
    struct Case {
        std::vector<std::string> args;
        A action;
        const char* folder;
    } const cases[] = {
        {{}, A::Run, ""},
        {{"notes"}, A::Run, "notes"},
        {{"ノート"}, A::Run, "ノート"},
        {{"--", "-notes"}, A::Run, "-notes"},
        {{"-"}, A::Run, "-"},
        {{"-h"}, A::Help, ""},
        {{"notes", "--help"}, A::Help, ""},
        {{"--version", "--bogus"}, A::Version, ""},
        {{"--", "--help"}, A::Run, "--help"},
        {{"--bogus"}, A::Error, ""},
        {{"-x"}, A::Error, ""},
        {{"a", "b"}, A::Error, ""},
        {{"--", "a", "b"}, A::Error, ""},
        {{""}, A::Error, ""},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const auto& a : c.args)
            what += "[" + a + "]";
        SCOPED_TRACE(what);
        const TCommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.folder, c.folder);
        EXPECT_EQ(line.error.empty(), c.action != A::Error);
    }
}

TEST(CommandLine, FoldersAreMadeAbsoluteAndPlain) {
    struct Case {
        const char* given;
        const char* start;
        const char* expected;
    } const cases[] = {
        {"notes", "/w", "/w/notes"},
        {"notes/", "/w", "/w/notes"},
        {"./a/../b//", "/w", "/w/b"},
        {".", "/w", "/w"},
        {"..", "/w/v", "/w"},
        {"/abs/./x/../y", "/w", "/abs/y"},
        {"/", "/w", "/"},
        {"ノート", "/w", "/w/ノート"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AbsoluteFolder(c.given, c.start), fs::path(c.expected)) << c.given;
}

} // namespace
