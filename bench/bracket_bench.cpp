// How long the pane's bracket removal takes on a large selection: many short lines with nested
// groups, and one long line (an HTML note without line breaks) with many groups.
//   bracket_bench [LINES] [GROUPS_IN_THE_LONG_LINE]
#include "codec.h"
#include "fake_platform.h"
#include "main_window.h"
#include "result_pane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

double TimeRemoval(TForm1& form) {
    form.RichEdit1->SelectAllText();
    QElapsedTimer t;
    t.start();
    form.N1->trigger();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int groups = argc > 2 ? std::atoi(argv[2]) : 2000;
    app::FakePlatform platform; // messages and the clipboard stay in the process

    // A program folder with a data folder, so that the window starts quietly.
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / "quelvra-bracket-bench";
    std::filesystem::create_directories(root / "data");
    TForm1 form(cp932::PathFromNative(root.string()));
    form.resize(800, 600);
    form.show();
    QCoreApplication::processEvents();

    const std::string line = "    " + cp932::FromUtf8("本文（注）続き（注（２））です");
    form.RichEdit1->Clear();
    for (int i = 0; i < lines; ++i)
        form.RichEdit1->AppendLine(line);
    const double linesMs = TimeRemoval(form);

    std::string one;
    for (int i = 0; i < groups; ++i)
        one += cp932::FromUtf8("本文（注）");
    form.RichEdit1->Clear();
    form.RichEdit1->AppendLine(one);
    const double longMs = TimeRemoval(form);

    std::printf("%6d lines, 2 groups each     %8.1f ms\n", lines, linesMs);
    std::printf("one line of %6d bytes, %d groups %8.1f ms\n", static_cast<int>(one.size()), groups,
                longMs);
    std::filesystem::remove_all(root);
    return 0;
}
