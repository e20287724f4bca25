// The real main window (offscreen) searching a folder, timed as a user sees it: from a press of
// "検索" to the summary in the pane, until the pane is complete (every hit line in it) and
// painted, and how long the window went without answering meanwhile; the time a press of the
// cancel button takes to end a run; a check button painting a keyword, and stopped by the
// cancel button.
//
//   window_bench FOLDER KEYWORD [RUNS] [--exact] [--cancel-after MS] [--check WORD]
//               [--check-cancel-after MS] [--settle MS] [--key-after MS]
//
// FOLDER is a native path (chosen as with the folder button), KEYWORD UTF-8. Prints one line of
// figures per measurement, "name=value" pairs, medians over RUNS.
//
// cpu_ms is the processor time of the window's process (every thread of it: the window's and
// the one searching ahead) from the press to the painted pane; beside it, beside_cpu_ms is the
// command's. On a machine shared with other work the wall times move with the load, the
// processor times much less.
// "Answering" is measured by a prober thread that posts an event to the window every 2 ms and
// notes how late each is delivered: a key or a click waits as long in the same queue. The
// longest delay is gap_ms; it covers the press, the run, the filling of the pane and `settle`
// ms after it (a view that lays out its text later would freeze the window then).
// With --key-after, Ctrl+End is posted to the pane that many ms after the press; key_ms is the
// time until it has been handled.
// With --beside COMMAND, the shell command (quelvra-grep listing the same lines into a file) is
// run and timed before each search, so that both are measured side by side under the same load;
// beside_ms is its median wall time, the process's start included.
#include "codec.h"
#include "fake_platform.h"
#include "main_window.h"
#include "qtext.h"
#include "result_pane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// User and system processor time in ms, of this process or of its children that have ended.
double CpuMs(int who) {
    rusage u;
    getrusage(who, &u);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Events posted from another thread every 2 ms; the receiver keeps the longest wait.
class Prober : public QObject {
  public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 77);
    struct Probe : QEvent {
        explicit Probe(std::int64_t at) : QEvent(kType), postedNs(at) {}
        std::int64_t postedNs;
    };
    void Start() {
        longestNs_ = 0;
        running_ = true;
        thread_ = std::thread([this] {
            while (running_) {
                QCoreApplication::postEvent(this, new Probe(NowNs()));
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    // Stops posting, takes what is still queued, returns the longest wait in ms.
    double Stop() {
        running_ = false;
        thread_.join();
        QCoreApplication::sendPostedEvents(this, kType);
        return longestNs_ / 1e6;
    }
    bool event(QEvent* e) override {
        if (e->type() != kType) return QObject::event(e);
        longestNs_ = std::max(longestNs_, NowNs() - static_cast<Probe*>(e)->postedNs);
        return true;
    }

  private:
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::int64_t longestNs_ = 0;
};

// Marks the moment every event posted before it has been handled.
class Marker : public QObject {
  public:
    std::int64_t handledNs = -1;
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) return QObject::event(e);
        handledNs = NowNs();
        return true;
    }
};

// Whether every line is in the pane: a pane that fills after the run says so (an older build's,
// which the script can time side by side); one that takes its lines as they come always is.
template <class Pane> bool Whole(const Pane& pane) {
    if constexpr (requires { pane.IsWhole(); })
        return pane.IsWhole();
    else
        return true;
}

// Runs the event loop for `ms` milliseconds, as the program idles.
void Idle(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_bench FOLDER KEYWORD [RUNS] [--exact] "
                             "[--cancel-after MS] [--check WORD] [--check-cancel-after MS] "
                             "[--settle MS] [--key-after MS] [--beside COMMAND]\n");
        return 2;
    }
    const std::string folder = std::filesystem::absolute(argv[1]).string();
    const char* keyword = argv[2];
    int runs = 5;
    bool exact = false;
    int cancelAfter = -1;
    const char* check = nullptr;
    int checkCancelAfter = -1;
    int settleMs = 1000;
    int keyAfter = -1;
    const char* beside = nullptr;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--exact"))
            exact = true;
        else if (!std::strcmp(argv[i], "--cancel-after") && i + 1 < argc)
            cancelAfter = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--check") && i + 1 < argc)
            check = argv[++i];
        else if (!std::strcmp(argv[i], "--check-cancel-after") && i + 1 < argc)
            checkCancelAfter = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--settle") && i + 1 < argc)
            settleMs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--key-after") && i + 1 < argc)
            keyAfter = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--beside") && i + 1 < argc)
            beside = argv[++i];
        else
            runs = std::max(1, std::atoi(argv[i]));
    }

    // Dialogs answered without a person; the event pump is the real one.
    app::FakePlatform platform;
    platform.onPump = [] { app::PumpEvents(); }; // as the program pumps
    const std::filesystem::path programDir =
        std::filesystem::temp_directory_path() / "quelvra-window-bench";
    std::filesystem::remove_all(programDir);
    std::filesystem::create_directories(programDir);
    TForm1 form(cp932::PathFromNative(programDir.string()));
    form.resize(807, 617);
    form.show();
    QCoreApplication::processEvents();
    platform.folderAnswers.push_back(cp932::PathFromNative(folder));
    form.SpeedButton1->click();
    form.CheckBox1->setChecked(!exact);
    form.ComboBox1->setEditText(QString::fromUtf8(keyword));
    TResultPane& pane = *form.RichEdit1;
    Prober prober;
    Marker marker;

    std::vector<double> summary, whole, gap, key, besideMs, besideCpu, cpu;
    for (int r = 0; r < runs; ++r) {
        if (beside) {
            QElapsedTimer t;
            t.start();
            const double childCpu = CpuMs(RUSAGE_CHILDREN);
            if (std::system(beside) != 0) std::fprintf(stderr, "failed: %s\n", beside);
            besideMs.push_back(t.nsecsElapsed() / 1e6);
            besideCpu.push_back(CpuMs(RUSAGE_CHILDREN) - childCpu);
        }
        Idle(50); // the last run's leftovers
        // A key posted during the run or the filling, as a person presses one.
        QTimer keyTimer;
        keyTimer.setSingleShot(true);
        std::int64_t keyPostedNs = -1;
        marker.handledNs = -1;
        if (keyAfter >= 0) {
            QObject::connect(&keyTimer, &QTimer::timeout, [&] {
                keyPostedNs = NowNs();
                QCoreApplication::postEvent(
                    &pane, new QKeyEvent(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier));
                QCoreApplication::postEvent(
                    &pane, new QKeyEvent(QEvent::KeyRelease, Qt::Key_End, Qt::ControlModifier));
                QCoreApplication::postEvent(&marker, new QEvent(QEvent::User));
            });
            keyTimer.start(keyAfter);
        }
        prober.Start();
        const double cpuStart = CpuMs(RUSAGE_SELF);
        QElapsedTimer t;
        t.start();
        form.SearchBtn->click();
        summary.push_back(t.nsecsElapsed() / 1e6);
        // A pane that fills after the run: until every line is in it.
        while (!Whole(pane))
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        pane.viewport()->repaint();
        whole.push_back(t.nsecsElapsed() / 1e6);
        cpu.push_back(CpuMs(RUSAGE_SELF) - cpuStart);
        Idle(std::max(settleMs, keyAfter >= 0 ? keyAfter + 50 : 0) -
             static_cast<int>(t.elapsed() - whole.back()));
        gap.push_back(prober.Stop());
        if (keyAfter >= 0 && keyPostedNs >= 0 && marker.handledNs >= 0)
            key.push_back((marker.handledNs - keyPostedNs) / 1e6);
    }
    std::printf("search files=%d hits=%d summary_ms=%.1f whole_ms=%.1f cpu_ms=%.1f gap_ms=%.1f "
                "lines=%d messages=%zu",
                form.ListBox1->count(), form.HitCount, Median(summary), Median(whole), Median(cpu),
                Median(gap), pane.LineCount(), platform.messages.size());
    if (keyAfter >= 0) std::printf(" key_ms=%.1f keys=%zu", Median(key), key.size());
    if (beside)
        std::printf(" beside_ms=%.1f beside_cpu_ms=%.1f", Median(besideMs), Median(besideCpu));
    std::printf("\n");

    if (cancelAfter >= 0) {
        // The cancel button pressed once the run has lasted cancelAfter ms; timed from the press
        // to the end of the run (the "検索中断しました" message is answered at once).
        std::vector<double> latency, toMessage;
        int hitsAtEnd = 0;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer run, sincePress;
            bool pressed = false;
            platform.onPump = [&] {
                app::PumpEvents();
                if (!pressed && run.elapsed() >= cancelAfter) {
                    pressed = true;
                    sincePress.start();
                    form.BitBtn5->click();
                }
            };
            double messageMs = -1;
            platform.onMessage = [&](const std::string&) {
                if (pressed) messageMs = sincePress.nsecsElapsed() / 1e6;
            };
            run.start();
            form.SearchBtn->click();
            platform.onMessage = nullptr;
            latency.push_back(pressed ? sincePress.nsecsElapsed() / 1e6 : -1);
            toMessage.push_back(messageMs);
            hitsAtEnd = form.HitCount;
        }
        platform.onPump = [] { app::PumpEvents(); }; // as the program pumps
        std::printf("cancel after_ms=%d latency_ms=%.1f to_message_ms=%.1f hits_at_end=%d\n",
                    cancelAfter, Median(latency), Median(toMessage), hitsAtEnd);
    }

    if (check) {
        // The top check button painting a word over the pane the last search left, a few
        // seconds after the search as a person would press it.
        const std::string word = cp932::FromUtf8(check);
        std::vector<double> paint, paintGap, cancelLatency;
        int painted = 0;
        for (int r = 0; r < runs; ++r) {
            form.ComboBox1->setEditText(QString::fromUtf8(keyword));
            form.SearchBtn->click();
            while (!Whole(pane))
                QCoreApplication::processEvents();
            Idle(settleMs);
            form.ComboBox1->setEditText(QString::fromUtf8(check));
            QElapsedTimer t, sincePress;
            bool pressed = false;
            if (checkCancelAfter >= 0)
                platform.onPump = [&] {
                    app::PumpEvents();
                    if (!pressed && t.elapsed() >= checkCancelAfter) {
                        pressed = true;
                        sincePress.start();
                        form.BitBtn5->click();
                    }
                };
            prober.Start();
            t.start();
            form.BitBtn7->click();
            QCoreApplication::processEvents();
            pane.viewport()->repaint();
            paint.push_back(t.nsecsElapsed() / 1e6);
            if (checkCancelAfter >= 0)
                cancelLatency.push_back(pressed ? sincePress.nsecsElapsed() / 1e6 : -1);
            paintGap.push_back(prober.Stop());
            platform.onPump = [] { app::PumpEvents(); };
        }
        // Occurrences painted in the last run: those now in the colour of the top button.
        for (std::int64_t at = pane.FindText(word, 0); at >= 0; at = pane.FindText(word, at + 1)) {
            pane.Select(at, static_cast<std::int64_t>(word.size()));
            if (pane.SelColor() == 0x800080u) ++painted;
        }
        std::printf("check lines=%d occurrences=%d paint_ms=%.1f gap_ms=%.1f", pane.LineCount(),
                    painted, Median(paint), Median(paintGap));
        if (checkCancelAfter >= 0)
            std::printf(" cancel_after_ms=%d cancel_latency_ms=%.1f", checkCancelAfter,
                        Median(cancelLatency));
        std::printf("\n");
    }
    for (const std::string& m : platform.MessageTexts())
        std::printf("message: %s\n", cp932::ToUtf8(m).c_str());
    std::filesystem::remove_all(programDir);
    return 0;
}
