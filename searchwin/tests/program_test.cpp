// The program as a user starts it: one instance per executable name, signals close the window.
#include <QProcess>
#include <QProcessEnvironment>
#include <QUuid>
#include <csignal>
#include <filesystem>
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

    void Start(QProcess& p) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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

} // namespace
