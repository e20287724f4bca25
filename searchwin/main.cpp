// The program's entry point: the command line, one instance per executable file name and user,
// the program folder, then the main window, the search dialog and the keyword window, and the
// event loop.
#include "codec.h"
#include "command_line.h"
#include "form_search.h"
#include "inigt.h"
#include "keyword_window.h"
#include "main_window.h"
#include "platform.h"
#include "program_folder.h"
#include "single_instance.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM and SIGINT close the main window as the user's close would: the handler only writes
// a byte; the event loop reads it and closes the window.
int g_signalPipe[2] = {-1, -1};
bool g_closeRequested = false;

void OnSignal(int) {
    const char b = 1;
    [[maybe_unused]] auto r = ::write(g_signalPipe[1], &b, 1);
}

void InstallCloseOnSignal(QWidget* window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char b;
        [[maybe_unused]] auto r = ::read(g_signalPipe[0], &b, 1);
        g_closeRequested = true;
        // A message box still open (one at start-up, say) would hold the program after the
        // window closed.
        while (QWidget* modal = QApplication::activeModalWidget()) {
            if (modal == window || !modal->close()) break;
        }
        window->close();
    });
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

// Writes the --help or --version text, or the error; the exit status, or -1 to go on and run.
int Answer(const TCommandLine& c) {
    switch (c.action) {
    case TCommandLine::Action::Help:
        std::fputs(CommandLineUsage(), stdout);
        return 0;
    case TCommandLine::Action::Version:
        std::fputs(VersionLine().c_str(), stdout);
        return 0;
    case TCommandLine::Action::Error:
        std::fprintf(stderr, "quelvra: %s\n%s", c.error.c_str(), CommandLineUsage());
        return 2;
    case TCommandLine::Action::Run:
        break;
    }
    return -1;
}

// The program folder of this start (see program_folder.h), Shift-JIS; a problem on the way is
// reported on the terminal and the program goes on with what it could have.
std::string ProgramFolder() {
    const std::string exe =
        QFile::encodeName(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
            .toStdString();
    const app::ProgramFolderChoice choice = app::ChooseProgramFolder(app::RunningProgramPlaces(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(),
        TIniGT::DefaultFileName(exe.empty() ? std::string("quelvra") : exe)));
    if (!choice.problem.empty())
        std::fprintf(stderr, "quelvra: %s; using %s\n", choice.problem.c_str(),
                     choice.folder.c_str());
    return cp932::PathFromNative(choice.folder.string());
}

} // namespace

int main(int argc, char** argv) {
    // --help and --version need no display; the rest of the command line is read once the
    // display system has taken its own options out of it.
    {
        const TCommandLine early =
            ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (early.action == TCommandLine::Action::Help ||
            early.action == TCommandLine::Action::Version)
            return Answer(early);
    }
    QApplication application(argc, argv); // takes its own options out of argc and argv
    const TCommandLine commandLine =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const int status = Answer(commandLine); status >= 0) return status;
    // A relative folder is taken from where the program was started.
    std::string folder;
    if (!commandLine.folder.empty()) {
        std::error_code ec;
        const std::filesystem::path start = std::filesystem::current_path(ec);
        folder = cp932::PathFromNative(AbsoluteFolder(commandLine.folder, start).string());
    }

    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();

    app::SingleInstance instance(name);
    switch (instance.TryStart()) {
    case app::SingleInstance::Start::Handed:
        return 0;
    case app::SingleInstance::Start::Failed:
        app::platform().ShowMessage(cp932::FromUtf8("起動できません"));
        return 1;
    case app::SingleInstance::Start::First:
        break;
    }

    // The application title. No display name: the platform would add it to every window's
    // title bar ("... — Quelvra"), and the caption must read exactly as the window sets it.
    QApplication::setApplicationName(QStringLiteral("Quelvra"));
    // The desktop entry's name: the desktop finds the window's icon and name through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quelvra.Quelvra"));
    TForm1 form1(ProgramFolder());
    QObject::connect(&instance, &app::SingleInstance::RaiseRequested, &form1, [&form1] {
        form1.setWindowState((form1.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        form1.show();
        form1.raise();
        form1.activateWindow();
    });
    // A hit opens its note in the viewer, modally; it throws before showing anything when the
    // note cannot be read, which the open button reports.
    form1.ShowViewer = ShowHitInViewer;
    // Before the other windows: the keyword window may show a message while it is made.
    InstallCloseOnSignal(&form1);
    TFormSearch formSearch(&form1);
    TForm2 form2(form1.ProgramDir(), &form1);
    form1.AttachKeywordWindow(&form2);
    if (g_closeRequested) return 0;
    form1.show();
    // After showing, which restores the settings: the folder is listed with the extension and
    // subfolder choice the user left.
    if (!folder.empty()) form1.OpenFolder(folder);
    return QApplication::exec();
}
