// Opening a hit in a large note: from the request to the viewer showing the hit line selected,
// beside the time to read the file's bytes; then a search down and up through the note, the
// responsiveness the user feels once it is open.
//
//   viewer_open_bench [MEGABYTES]      (default: 50)
#include "codec.h"
#include "editor.h"
#include "tagjanp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

std::string MakeNote(size_t bytes, const std::string& hitLine) {
    const char* words[] = {"検索",     "全文",   "テキスト", "ファイル", "ひらがな", "カタカナ",
                           "漢字変換", "、",     "。",       "「引用」", "（注）",   "the",
                           "quick",    "fox",    "1234",     " ",        "ﾊﾝｶｸ",     "ＡＢＣ",
                           "表示",     "ソフト", "です"};
    std::vector<std::string> sj;
    for (const char* w : words)
        sj.push_back(S(w));
    std::mt19937 rng(11);
    std::string out;
    out.reserve(bytes + 1024);
    bool placed = false;
    while (out.size() < bytes) {
        const size_t end = out.size() + 20 + rng() % 140;
        while (out.size() < end)
            out += sj[rng() % sj.size()];
        out += "\r\n";
        if (!placed && out.size() > bytes * 9 / 10) {
            out += hitLine + "\r\n";
            placed = true;
        }
    }
    return out;
}

} // namespace

// The picture of the viewer in the README: a sample note (UTF-8) opened at a hit line, with the
// keyword list's words highlighted and a width-insensitive search hit selected.
int Screenshot(const std::string& noteUtf8, const std::string& colorUtf8, const QString& out) {
    auto slurp = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const fs::path dir = fs::temp_directory_path() / "quelvra-viewer-shot";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string note = cp932::FromUtf8(slurp(noteUtf8));
    std::ofstream(dir / "note.txt", std::ios::binary) << note;
    std::ofstream(dir / "color.ini", std::ios::binary) << cp932::FromUtf8(slurp(colorUtf8));
    const std::string d = cp932::PathFromNative(dir.string());
    // The second line, whatever the file's line ends.
    const size_t a = note.find('\n') + 1;
    std::string hitLine = note.substr(a, note.find('\n', a) - a);
    if (!hitLine.empty() && hitLine.back() == '\r') hitLine.pop_back();
    TForm4 form({d + "/note.txt", "note.txt", hitLine}, d);
    form.IniGT4.SetExecutable(d + "/quelvra");
    form.IniGT4.Loaded();
    form.LoadNote();
    form.resize(760, 420);
    form.show();
    while (form.Editor1->SelLength() == 0)
        QApplication::processEvents();
    form.FSearchText = S("USB");
    form.FSearchOptions = textsearch::soDown | textsearch::soNoMatchZenkaku;
    form.SearchAgain();
    form.SearchAgain();
    for (int k = 0; k < 20; ++k)
        QApplication::processEvents();
    const bool ok = form.grab().save(out);
    form.close();
    fs::remove_all(dir);
    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 5 && std::string(argv[1]) == "--screenshot")
        return Screenshot(argv[2], argv[3], QString::fromLocal8Bit(argv[4]));
    const double mb = argc > 1 ? std::atof(argv[1]) : 50;
    const fs::path dir = fs::temp_directory_path() / "quelvra-viewer-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string hitLine = S("ここが検索で見つかった行です 目印");
    const std::string note = MakeNote(static_cast<size_t>(mb * 1024 * 1024), hitLine);
    std::ofstream(dir / "note.txt", std::ios::binary) << note;
    std::ofstream(dir / "color.ini", std::ios::binary) << S("検索\r\nテキスト\r\n");
    const std::string d = cp932::PathFromNative(dir.string());
    TViewerHit hit{d + "/note.txt", "note.txt", hitLine};

    std::vector<double> reads, opens, downs, ups;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        {
            std::ifstream in(dir / "note.txt", std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            if (bytes.size() != note.size()) return 1;
        }
        reads.push_back(t.nsecsElapsed() / 1e6);

        t.restart();
        TForm4 form(hit, d);
        form.IniGT4.SetExecutable(d + "/quelvra");
        form.IniGT4.Loaded();
        form.LoadNote();
        form.show();
        while (form.Editor1->SelLength() == 0)
            QApplication::processEvents();
        opens.push_back(t.nsecsElapsed() / 1e6);
        if (form.Editor1->SelText() != hitLine) return 2;

        // A word that is only on the hit line, searched from the top down and back up.
        form.Editor1->SetSelStart(0);
        form.FSearchText = S("目印");
        form.FSearchOptions = textsearch::soDown | textsearch::soNoMatchZenkaku;
        t.restart();
        if (!form.SearchAgain()) return 3;
        downs.push_back(t.nsecsElapsed() / 1e6);
        form.Editor1->SetSelStart(static_cast<int>(note.size()));
        form.FSearchOptions = textsearch::soNoMatchZenkaku;
        t.restart();
        if (!form.SearchAgain()) return 4;
        ups.push_back(t.nsecsElapsed() / 1e6);
        form.close();
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("note of %.0f MB, hit line at 90%%, median of 5 runs (ms)\n", mb);
    std::printf("  read the file's bytes          %9.1f\n", median(reads));
    std::printf("  open the viewer at the hit     %9.1f  (%.1fx the read)\n", median(opens),
                median(opens) / median(reads));
    std::printf("  search down from the top       %9.1f\n", median(downs));
    std::printf("  search up from the end         %9.1f\n", median(ups));
    fs::remove_all(dir);
    return 0;
}
