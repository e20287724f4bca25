// Opening a hit in a large note: from the request to the viewer painting the hit line selected,
// beside the time to read the file's bytes; then a search down and up through the note, the
// responsiveness the user feels once it is open. With --memory, in a process of its own: the
// viewer's peak memory over the note's size, and what the process still holds once it closed.
//
//   viewer_open_bench [MEGABYTES]                    (default: 50)
//   viewer_open_bench --memory NOTE HITLINE-FILE
#include "codec.h"
#include "editor.h"
#include "tagjanp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// `bytes` of lines `shortest` to `shortest + spread` bytes long, of random words, the hit line
// placed at 90%.
std::string MakeLines(size_t bytes, const std::string& hitLine,
                      const std::vector<const char*>& words, size_t shortest, size_t spread,
                      unsigned seed) {
    std::vector<std::string> sj;
    for (const char* w : words)
        sj.push_back(S(w));
    std::mt19937 rng(seed);
    std::string out;
    out.reserve(bytes + 1024);
    bool placed = false;
    while (out.size() < bytes) {
        const size_t end = out.size() + shortest + rng() % (spread + 1);
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

// A note of prose.
std::string MakeNote(size_t bytes, const std::string& hitLine) {
    return MakeLines(bytes, hitLine,
                     {"検索", "全文", "テキスト", "ファイル", "ひらがな", "カタカナ", "漢字変換",
                      "、",   "。",   "「引用」", "（注）",   "the",      "quick",    "fox",
                      "1234", " ",    "ﾊﾝｶｸ",     "ＡＢＣ",   "表示",     "ソフト",   "です"},
                     20, 139, 11);
}

// A note of short dense lines (a word list, a log of numbers): 10 to 30 bytes a line.
std::string MakeDenseNote(size_t bytes, const std::string& hitLine) {
    return MakeLines(bytes, hitLine, {"ソ", "表", "能", "ポ", "a", "1", "23", "ｶﾅ", "、", "x"}, 10,
                     20, 12);
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
    return -1;
}

// Opens the note as the program does (ShowFileViewer, modal), closes it with its button once the
// hit is shown, and prints "peak-KiB kept-KiB": the peak over the resident size before opening,
// and what is still resident beyond it after closing.
int Memory(const std::string& notePath, const std::string& hitPath) {
    std::ifstream hin(hitPath, std::ios::binary);
    const std::string hitLine((std::istreambuf_iterator<char>(hin)),
                              std::istreambuf_iterator<char>());
    const fs::path dir = fs::path(notePath).parent_path();
    const std::string d = cp932::PathFromNative(dir.string());
    const TViewerHit hit{cp932::PathFromNative(notePath), "note.txt", hitLine};
    // A first small note, so that fonts, styles and the window machinery count as the baseline.
    {
        std::ofstream(dir / "warm.txt", std::ios::binary) << hitLine << "\r\n";
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* v = qobject_cast<TForm4*>(w)) QTimer::singleShot(200, v, &QDialog::close);
        });
        ShowFileViewer({d + "/warm.txt", "warm.txt", hitLine}, d);
    }
    for (int k = 0; k < 10; ++k)
        QApplication::processEvents();
    const long before = StatusKiB("VmRSS");
    long peak = 0; // KiB
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<TForm4*>(w);
                v && v->isVisible() && v->Editor1->SelLength()) {
                shown = true;
                v->BitBtn5->click();
            }
    });
    poll.start(20);
    ShowFileViewer(hit, d);
    poll.stop();
    peak = StatusKiB("VmHWM");
    for (int k = 0; k < 10; ++k)
        QApplication::processEvents();
    const long after = StatusKiB("VmRSS");
    if (!shown) return 2;
    std::printf("%ld %ld\n", peak - before, after - before);
    return 0;
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The process's CPU time in ms: the open's own work, whatever else the machine runs.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

const char* Met(bool met) {
    return met ? "met" : "NOT met";
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 5 && std::string(argv[1]) == "--screenshot")
        return Screenshot(argv[2], argv[3], QString::fromLocal8Bit(argv[4]));
    if (argc == 4 && std::string(argv[1]) == "--memory") return Memory(argv[2], argv[3]);
    const double mb = argc > 1 ? std::atof(argv[1]) : 50;
    const std::string loadBefore = LoadAverage();
    const fs::path dir = fs::temp_directory_path() / "quelvra-viewer-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string hitLine = S("ここが検索で見つかった行です 目印");
    const std::string note = MakeNote(static_cast<size_t>(mb * 1024 * 1024), hitLine);
    std::ofstream(dir / "note.txt", std::ios::binary) << note;
    std::ofstream(dir / "hit.txt", std::ios::binary) << hitLine;
    std::ofstream(dir / "color.ini", std::ios::binary) << S("検索\r\nテキスト\r\n");
    const std::string d = cp932::PathFromNative(dir.string());
    TViewerHit hit{d + "/note.txt", "note.txt", hitLine};

    std::vector<double> reads, opens, openCpus, downs, ups;
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

        // Until the editor has painted with the hit selected.
        t.restart();
        const double cpu = CpuMs();
        TForm4 form(hit, d);
        form.IniGT4.SetExecutable(d + "/quelvra");
        form.IniGT4.Loaded();
        form.LoadNote();
        form.show();
        bool painted = false;
        struct PaintWatch : QObject {
            TForm4* form;
            bool* painted;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint && form->Editor1->SelLength() > 0) *painted = true;
                return false;
            }
        } watch;
        watch.form = &form;
        watch.painted = &painted;
        form.Editor1->viewport()->installEventFilter(&watch);
        while (!painted)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        opens.push_back(t.nsecsElapsed() / 1e6);
        openCpus.push_back(CpuMs() - cpu);
        form.Editor1->viewport()->removeEventFilter(&watch);
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

    // Memory, each run in a process of its own: the note of prose, then 20 MB of short lines.
    struct MemoryRow {
        const char* what;
        size_t bytes;
        std::vector<double> peak, kept; // MiB
    };
    std::vector<MemoryRow> memory = {{"prose", note.size(), {}, {}},
                                     {"short dense lines", 20u << 20, {}, {}}};
    for (MemoryRow& m : memory) {
        const fs::path path = dir / (std::string(m.what) == "prose" ? "note.txt" : "dense.txt");
        if (path.filename() == "dense.txt") {
            const std::string dense = MakeDenseNote(m.bytes, hitLine);
            m.bytes = dense.size();
            std::ofstream(path, std::ios::binary) << dense;
        }
        for (int run = 0; run < 3; ++run) {
            std::string cmd;
            for (const std::string& arg :
                 {QCoreApplication::applicationFilePath().toStdString(), std::string("--memory"),
                  path.string(), (dir / "hit.txt").string()})
                cmd += "'" + arg + "' ";
            cmd += "2>/dev/null";
            FILE* p = popen(cmd.c_str(), "r");
            long peak = -1, kept = -1;
            if (!p || std::fscanf(p, "%ld %ld", &peak, &kept) != 2) return 5;
            if (pclose(p) != 0) return 6;
            m.peak.push_back(peak / 1024.0);
            m.kept.push_back(kept / 1024.0);
        }
    }

    std::printf("load average before: %s, after: %s (2 cores)\n", loadBefore.c_str(),
                LoadAverage().c_str());
    std::printf("note of %.0f MB, hit line at 90%%, medians of 5 runs (ms)\n", mb);
    std::printf("  read the file's bytes          %9.1f\n", Median(reads));
    const double open = Median(opens);
    std::printf("  open the viewer at the hit     %9.1f  (%.1fx the read)   target < 300 ms: %s\n",
                open, open / Median(reads), Met(open < 300));
    std::printf("  the same, CPU time of the process %6.1f   target < 300 ms: %s\n",
                Median(openCpus), Met(Median(openCpus) < 300));
    std::printf("  search down from the top       %9.1f\n", Median(downs));
    std::printf("  search up from the end         %9.1f\n", Median(ups));
    std::printf("the viewer's memory, each opened alone in a new process, medians of 3 (MiB)\n");
    for (const MemoryRow& m : memory) {
        const double size = m.bytes / 1048576.0, peak = Median(m.peak), kept = Median(m.kept);
        std::printf("  %-18s %5.1f MiB note: peak %6.1f (%.2fx the note)  target < 3x: %s\n",
                    m.what, size, peak, peak / size, Met(peak < 3 * size));
        std::printf("  %-18s kept after closing %6.1f of %6.1f        target <= 5 MiB: %s\n", "",
                    kept, peak, Met(kept <= 5));
    }
    fs::remove_all(dir);
    return 0;
}
