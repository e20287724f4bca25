// The real main window (offscreen) searching a folder, timed as a user sees it: from a press of
// "検索" to the summary in the pane, and until the pane has been laid out and painted; the time a
// press of the cancel button takes to end a run; a check button painting a keyword.
//
//   window_bench FOLDER KEYWORD [RUNS] [--exact] [--cancel-after MS] [--check WORD]
//               [--layout]
//
// FOLDER is a native path (chosen as with the folder button), KEYWORD UTF-8. Prints one line of
// figures per measurement, "name=value" pairs, medians over RUNS.
#include "codec.h"
#include "fake_platform.h"
#include "main_window.h"
#include "qtext.h"
#include "result_pane.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_bench FOLDER KEYWORD [RUNS] [--exact] "
                             "[--cancel-after MS] [--check WORD] [--layout]\n");
        return 2;
    }
    const std::string folder = std::filesystem::absolute(argv[1]).string();
    const char* keyword = argv[2];
    int runs = 5;
    bool exact = false;
    int cancelAfter = -1;
    const char* check = nullptr;
    bool layout = false;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--exact"))
            exact = true;
        else if (!std::strcmp(argv[i], "--cancel-after") && i + 1 < argc)
            cancelAfter = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--layout"))
            layout = true;
        else if (!std::strcmp(argv[i], "--check") && i + 1 < argc)
            check = argv[++i];
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

    std::vector<double> summary, shown, whole;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        form.SearchBtn->click();
        summary.push_back(t.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
        form.RichEdit1->viewport()->repaint();
        shown.push_back(t.nsecsElapsed() / 1e6);
        // A long run's later lines go into the pane in the background: until they are all in.
        while (!form.RichEdit1->IsWhole())
            QCoreApplication::processEvents();
        whole.push_back(t.nsecsElapsed() / 1e6);
    }
    if (layout) {
        // What laying out the whole pane costs, which the view does bit by bit when idle.
        QElapsedTimer t;
        t.start();
        const QSizeF size = form.RichEdit1->document()->documentLayout()->documentSize();
        std::printf("full layout: %.1f ms (height %.0f)\n", t.nsecsElapsed() / 1e6, size.height());
    }
    std::printf("search files=%d hits=%d summary_ms=%.1f shown_ms=%.1f whole_ms=%.1f lines=%d "
                "messages=%zu\n",
                form.ListBox1->count(), form.HitCount, Median(summary), Median(shown),
                Median(whole), form.RichEdit1->LineCount(), platform.messages.size());

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
        // The top check button painting a word over the pane the last search left.
        // Laid out first, as it is a few seconds after a search: the view lays a large pane
        // out bit by bit when idle, and the painting's event pump would do that work here.
        form.SearchBtn->click();
        QElapsedTimer t;
        t.start();
        form.RichEdit1->document()->documentLayout()->documentSize();
        const double layoutMs = t.nsecsElapsed() / 1e6;
        form.ComboBox1->setEditText(QString::fromUtf8(check));
        int painted = 0;
        const std::string word = cp932::FromUtf8(check);
        t.restart();
        form.BitBtn7->click();
        const double paintMs = t.nsecsElapsed() / 1e6;
        for (std::int64_t at = form.RichEdit1->FindText(word, 0); at >= 0;
             at = form.RichEdit1->FindText(word, at + 1))
            ++painted;
        std::printf("check lines=%d occurrences=%d paint_ms=%.1f layout_before_ms=%.1f\n",
                    form.RichEdit1->LineCount(), painted, paintMs, layoutMs);
    }
    for (const std::string& m : platform.MessageTexts())
        std::printf("message: %s\n", cp932::ToUtf8(m).c_str());
    std::filesystem::remove_all(programDir);
    return 0;
}
