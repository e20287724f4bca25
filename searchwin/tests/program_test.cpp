// The program as a user starts it: one instance per executable name, signals close the window.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

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
    void Start(QProcess& p, const QString& display = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (display.isEmpty()) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            env.insert(QStringLiteral("DISPLAY"), display);
        }
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(dir_.string()));
        p.start(QString::fromStdString(exe_.string()), {});
        ASSERT_TRUE(p.waitForStarted(10000));
    }

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

} // namespace
