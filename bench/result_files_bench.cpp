// How long the window takes to save the result pane as a rich text file and to load it again,
// for a pane shaped like a search's results (red file headers, hit lines, painted words), and
// to load a plain text file of the same text.
//   result_files_bench [HIT_LINES]
#include "codec.h"
#include "fake_platform.h"
#include "main_window.h"
#include "result_pane.h"
#include "rtf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int hits = argc > 1 ? std::atoi(argv[1]) : 20000;
    app::FakePlatform platform;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "quelvra-result-files-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "data");
    TForm1 form(cp932::PathFromNative(dir.string()));
    form.show();
    TResultPane& pane = *form.RichEdit1;

    const std::string header = cp932::FromUtf8("■ファイル：資料/東京.txt");
    const std::string line =
        "    " +
        cp932::FromUtf8("Ａ．東京駅から新大阪駅までは、のぞみで約２時間３０分です。abc 123");
    const std::string word = cp932::FromUtf8("東京駅");
    pane.Clear();
    pane.BeginBulkAppend();
    for (int i = 0; i < hits; ++i) {
        if (i % 20 == 0) {
            pane.SetInsertColor(255);
            pane.AppendLine(header);
            pane.SetInsertColor(0);
        }
        pane.AppendLine(line);
    }
    pane.EndBulkAppend();
    // Every tenth hit line gets a marker on its keyword.
    for (int i = 0; i < pane.LineCount(); i += 10) {
        const std::int64_t at = pane.FindText(word, pane.PositionOfLine(i));
        if (at >= 0)
            pane.PaintRange(at, static_cast<std::int64_t>(word.size()), 0x8000, true, false);
    }
    const std::string text = pane.Text();

    QElapsedTimer t;
    t.start();
    const bool saved = form.SavePane(form.ProgramPath("bench.doc"));
    const double saveMs = t.nsecsElapsed() / 1e6;
    const auto rtfBytes = std::filesystem::file_size(dir / "bench.doc");

    pane.Clear();
    t.restart();
    const bool loaded = form.LoadPane(form.ProgramPath("bench.doc"));
    const double loadMs = t.nsecsElapsed() / 1e6;
    const bool same = pane.Text() == text;

    // The reader alone on the same file.
    std::string data(rtfBytes, '\0');
    std::ifstream(dir / "bench.doc", std::ios::binary).read(data.data(), data.size());
    t.restart();
    const auto runs = rtf::Read(data);
    const double readMs = t.nsecsElapsed() / 1e6;

    std::ofstream(dir / "bench.txt", std::ios::binary) << text;
    pane.Clear();
    t.restart();
    const bool loadedPlain = form.LoadPane(form.ProgramPath("bench.txt"));
    const double plainMs = t.nsecsElapsed() / 1e6;

    std::printf("pane: %d lines, %zu bytes of text\n", pane.LineCount(), text.size());
    std::printf("save as rich text: %8.1f ms (%ju bytes)%s\n", saveMs,
                static_cast<std::uintmax_t>(rtfBytes), saved ? "" : " FAILED");
    std::printf("load rich text:    %8.1f ms%s\n", loadMs,
                loaded && same ? "" : " FAILED (or text differs)");
    std::printf("  of which reading the RTF: %8.1f ms (%zu runs)\n", readMs,
                runs ? runs->size() : 0);
    std::printf("load plain text:   %8.1f ms%s\n", plainMs, loadedPlain ? "" : " FAILED");
    std::filesystem::remove_all(dir);
    return saved && loaded && same && loadedPlain ? 0 : 1;
}
