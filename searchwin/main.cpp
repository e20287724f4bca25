// The program's entry point: one instance per executable file name and user, then the main
// window, the search dialog and the keyword window, and the event loop.
#include "codec.h"
#include "form_search.h"
#include "keyword_window.h"
#include "main_window.h"
#include "platform.h"
#include "single_instance.h"

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
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

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
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
    TForm1 form1;
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
    return QApplication::exec();
}
