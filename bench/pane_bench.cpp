// How long the result pane takes to receive the hit lines of a search, as the search run feeds
// it (headers, hit lines, a publish per event pump), next to the bare conversion cost.
// Also the grep alone finding as many hit lines in a file ten times their number of lines, with
// the fast search and with the reference routines.
//   pane_bench [HIT_LINES]
#include "codec.h"
#include "grep.h"
#include "qtext.h"
#include "result_pane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using engine::RE_LineInfo_t;
using engine::TGrep;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int hits = argc > 1 ? std::atoi(argv[1]) : 20000;
    const std::string line =
        "    " +
        cp932::FromUtf8("Ａ．東京駅から新大阪駅までは、のぞみで約２時間３０分です。abc 123");

    QElapsedTimer t;
    t.start();
    std::size_t sink = 0;
    for (int i = 0; i < hits; ++i)
        sink += app::ToQ(line).size();
    const double convertMs = t.nsecsElapsed() / 1e6;

    // The grep alone over a file where every tenth line is a hit.
    const std::string path =
        (std::filesystem::temp_directory_path() / "quelvra-pane-bench.txt").string();
    {
        std::ofstream out(path, std::ios::binary);
        const std::string filler = cp932::FromUtf8("関係のない行です。大阪から名古屋へ。xyz 456");
        for (int i = 0; i < hits; ++i) {
            out << line << "\r\n";
            for (int k = 0; k < 9; ++k)
                out << filler << "\r\n";
        }
    }
    TGrep grep;
    grep.SetRegExp(cp932::FromUtf8("東京駅"));
    int found = 0;
    grep.OnMatch = [&](TGrep&, RE_LineInfo_t) { ++found; };
    t.restart();
    grep.Grep(path);
    const double grepMs = t.nsecsElapsed() / 1e6;
    // The same with the plain routines that start an attempt at every character.
    grep.UseReference = true;
    int foundByReference = 0;
    grep.OnMatch = [&](TGrep&, RE_LineInfo_t) { ++foundByReference; };
    t.restart();
    grep.Grep(path);
    const double referenceMs = t.nsecsElapsed() / 1e6;
    std::filesystem::remove(path);

    TResultPane pane;
    pane.resize(800, 500);
    pane.show();
    QCoreApplication::processEvents();
    t.restart();
    pane.Clear();
    pane.BeginBulkAppend();
    for (int i = 0; i < hits; ++i) {
        if (i % 50 == 0) {
            pane.AppendLine("");
            pane.SetInsertBold(true);
            pane.AppendLine("file" + std::to_string(i / 50) + ".txt");
            pane.SetInsertBold(false);
        }
        pane.AppendLine(line);
        if (i % 64 == 0) {
            pane.PublishIfDue();
            QCoreApplication::processEvents();
        }
    }
    const double appendMs = t.nsecsElapsed() / 1e6;
    pane.ReplaceLine(0, "summary\r\n");
    pane.EndBulkAppend();
    pane.SetSelStart(0);
    QCoreApplication::processEvents();
    const double paneMs = t.nsecsElapsed() / 1e6;

    std::printf("hit lines        %d\n", hits);
    std::printf("grep alone       %8.1f ms  (%d hit lines in %d lines)\n", grepMs, found,
                hits * 10);
    std::printf("grep, reference  %8.1f ms  (%d hit lines)\n", referenceMs, foundByReference);
    std::printf("conversion only  %8.1f ms\n", convertMs);
    std::printf("  of which append %8.1f ms\n", appendMs);
    std::printf("into the pane    %8.1f ms  (%.1f us per hit line)\n", paneMs,
                paneMs * 1000.0 / hits);
    return sink == 0;
}
