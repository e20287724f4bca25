// Editor text model benchmark: loads a generated Shift-JIS text into screen rows, wraps it at 84
// columns with every wrap rule on, parses every row's colour state, then times single-character
// edits scattered through it, for a 1 MB and a 20 MB text side by side (an edit must cost the
// same in both: it touches one line, not the text).
//
// Then, through the editor model as the widget drives it:
// - loading a file (LoadFromFile, wrapped at 84 and parsed) of 20 MB and 200 MB of prose and of
//   20 MB of short dense lines, each in a process of its own: time and peak resident memory
//   against the file's size;
// - 1000 characters typed at scattered places, then 1000 undos and 1000 redos, at 1 MB and
//   20 MB: per-step median and p99 (a step must not cost more in the larger text);
// - a 1000-line paste into a wrapped line, its undo and redo;
// - a text that is one 20 MB line: wrapping it, typing into it, undoing and redoing;
// - with the text followed as characters for assistive technology, 1000 caret moves and 1000
//   typed characters in a 1 MB and a 50 MB text.
//
//   editor_bench [MEGABYTES...]      (default: 1 20, then all of the above)
//   editor_bench --line MEGABYTES    (only the text of one line)
//   editor_bench --followed          (only the text followed as characters)
#include "codec.h"
#include "editor_model.h"
#include "screen_rows.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace editor;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Resident memory now, in kilobytes.
long RssKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::string Memory() {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.0f MB resident, %.0f MB peak", RssKb() / 1024.0,
                  PeakRssKb() / 1024.0);
    return buf;
}

struct EditTimes {
    double mean = 0, median = 0, p99 = 0, worst = 0;
    double open = 0, close = 0; // an unclosed bracket put in, then closed
};

// Mixed kanji, kana and ASCII lines of 10 to 160 columns, some with brackets, URLs and mail.
std::string MakeText(size_t bytes, unsigned seed) {
    const char* words[] = {"検索",
                           "全文",
                           "テキスト",
                           "ファイル",
                           "ひらがな",
                           "カタカナ",
                           "漢字変換",
                           "消費税",
                           "、",
                           "。",
                           "「引用」",
                           "（注）",
                           "the",
                           "quick",
                           "fox",
                           "12345",
                           " ",
                           "\t",
                           "ﾊﾝｶｸ",
                           "ＡＢＣ",
                           "１２３",
                           "(paren)",
                           "http://example.jp/a",
                           "user@example.jp",
                           "です",
                           "ます",
                           "ー"};
    std::vector<std::string> pool;
    for (const char* w : words)
        pool.push_back(cp932::FromUtf8(w));
    std::mt19937 rng(seed);
    std::string text;
    text.reserve(bytes + 256);
    while (text.size() < bytes) {
        size_t target = 10 + rng() % 150;
        size_t start = text.size();
        while (text.size() - start < target)
            text += pool[rng() % pool.size()];
        text += "\r\n";
    }
    return text;
}

struct BenchEditor : TEditorClient {
    TEditorFountain fountain;
    bool loading = false;
    bool Loading() const override { return loading; }
    int ScreenHeight() const override { return 40 * 16; }
    int RowHeight() const override { return 16; }
    bool InitBracketsFull() const override { return true; }
    TFountain* ActiveFountain() override { return &fountain; }
};

EditTimes Run(double megabytes) {
    const size_t bytes = static_cast<size_t>(megabytes * 1024 * 1024);
    auto t0 = Clock::now();
    std::string text = MakeText(bytes, 1);
    auto t1 = Clock::now();

    BenchEditor ed;
    auto* b = ed.fountain.Brackets().Add();
    // (assign, not operator= of a literal: GCC 12 warns falsely about that in Release)
    b->LeftBracket.assign(1, '(');
    b->RightBracket.assign(1, ')');
    auto* b2 = ed.fountain.Brackets().Add();
    b2->LeftBracket = cp932::FromUtf8("「");
    b2->RightBracket = cp932::FromUtf8("」");
    // A pair that the text never holds: opening it changes the state of every row below.
    auto* b3 = ed.fountain.Brackets().Add();
    b3->LeftBracket.assign(1, '[');
    b3->RightBracket.assign(1, ']');
    ed.fountain.SetUrl(true);
    ed.fountain.SetMail(true);
    ed.fountain.ReserveWordList().Add(cp932::FromUtf8("消費税"));

    TEditorScreenStrings list;
    list.AddEditor(&ed);
    TEditorWrapOption& o = list.WrapOption();
    ed.loading = true; // settings first, then one wrap and one parse
    o.SetWrapByte(84);
    o.SetWordBreak(true);
    o.SetFollowPunctuation(true);
    o.SetLeading(true);
    o.SetFollowRetMark(true);
    list.LoadText(text);
    list.SetWordWrap(true); // while loading: stored, nothing re-wrapped yet
    auto t2 = Clock::now();
    const std::string memLoaded = Memory();
    ed.loading = false;
    const int lines = list.Count();
    list.WrapAll();
    auto t3 = Clock::now();
    const std::string memWrapped = Memory();
    list.ReparseAll();
    auto t4 = Clock::now();
    const std::string memParsed = Memory();

    // A thousand single-character insertions at random rows and character boundaries.
    std::mt19937 rng(2);
    const std::string ch = cp932::FromUtf8("字");
    const int edits = 1000;
    std::vector<double> times;
    times.reserve(edits);
    const long rssBeforeEdits = RssKb();
    auto e0 = Clock::now();
    for (int i = 0; i < edits; ++i) {
        int row = static_cast<int>(rng() % static_cast<unsigned>(list.Count()));
        std::string t = list.Text(row);
        size_t at = 0;
        size_t stop = t.empty() ? 0 : rng() % (t.size() + 1);
        while (at < stop && at < t.size())
            at += cp932::IsLeadByte(static_cast<unsigned char>(t[at])) ? 2 : 1;
        t.insert(std::min(at, t.size()), ch);
        if (list.RowAttr(row) == LineEnd) t += "\r\n";
        auto a = Clock::now();
        list.ReplaceRows(row, 1, t);
        double ms = Ms(a, Clock::now());
        if (ms > 0.5 && std::getenv("EDITOR_BENCH_SLOW"))
            std::printf("  slow edit %d: row %d, %.2f ms, last row parsed %d, rows %d\n", i, row,
                        ms, list.Parsed(list.Count() - 1), list.Count());
        times.push_back(ms);
    }
    auto e1 = Clock::now();
    const long rssAfterEdits = RssKb();
    EditTimes et;
    et.mean = Ms(e0, e1) / edits;
    std::sort(times.begin(), times.end());
    et.median = times[times.size() / 2];
    et.p99 = times[times.size() * 99 / 100];
    et.worst = times.back();

    // An opening bracket that never closes, a tenth of the way in: the re-parse cannot converge,
    // goes two screens down and leaves every row below unparsed. Then its closing bracket.
    const int at = list.Count() / 10;
    auto edit = [&](int row, const char* put) {
        std::string t = put + list.Text(row);
        if (list.RowAttr(row) == LineEnd) t += "\r\n";
        auto a = Clock::now();
        list.ReplaceRows(row, 1, t);
        return Ms(a, Clock::now());
    };
    et.open = edit(at, "[");
    et.close = edit(at + 3, "]");

    std::printf("%6.1f MB text: %d lines -> %d rows\n", megabytes, lines, list.Count());
    std::printf("  generate %.0f ms\n", Ms(t0, t1));
    std::printf("  load into rows %.0f ms (%s)\n", Ms(t1, t2), memLoaded.c_str());
    std::printf("  WrapAll at 84, every rule %.0f ms (%s)\n", Ms(t2, t3), memWrapped.c_str());
    std::printf("  ReparseAll, InitBracketsFull %.0f ms (%s)\n", Ms(t3, t4), memParsed.c_str());
    std::printf("  %d edits: %.1f ms total; per edit %.1f us mean, %.1f us median, %.1f us p99, "
                "%.1f us worst; resident %+ld kB\n",
                edits, Ms(e0, e1), et.mean * 1000.0, et.median * 1000.0, et.p99 * 1000.0,
                et.worst * 1000.0, rssAfterEdits - rssBeforeEdits);
    std::printf("  opening a bracket that never closes %.1f us, closing it %.1f us\n",
                et.open * 1000.0, et.close * 1000.0);
    return et;
}

// The editor model as the widget uses it: a view of 40 rows, wrapped at 84 columns.
struct BenchModel : TEditorModel {
    BenchModel() {
        MutableMetrics().VisibleRowCount = 40;
        MutableMetrics().VisibleColCount = 100;
        WrapOption().SetWrapByte(84);
        SetWordWrap(true);
    }
    bool Focused() const override { return true; }
    bool HandleAllocated() const override { return true; }
};

struct Steps {
    double median = 0, p99 = 0, worst = 0;
};
Steps Summary(std::vector<double> v) {
    Steps s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.median = v[v.size() / 2];
    s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    s.worst = v.back();
    return s;
}
std::string Us(const Steps& s) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "median %.0f us, p99 %.0f us, worst %.0f us", s.median * 1000,
                  s.p99 * 1000, s.worst * 1000);
    return buf;
}

// Short dense lines: 2 to 14 bytes of kana, digits and symbols.
std::string MakeDenseText(size_t bytes, unsigned seed) {
    const std::string pool[] = {cp932::FromUtf8("あ"),
                                cp932::FromUtf8("ソ"),
                                cp932::FromUtf8("表"),
                                "1",
                                "2",
                                "-",
                                ":",
                                "x"};
    std::mt19937 rng(seed);
    std::string text;
    text.reserve(bytes + 64);
    while (text.size() < bytes) {
        size_t n = 1 + rng() % 7;
        for (size_t i = 0; i < n; ++i)
            text += pool[rng() % 8];
        text += "\r\n";
    }
    return text;
}

// Loads a file in a process of its own (this program started again), so that the peak resident
// memory is the load's alone.
int LoadFileChild(const char* path, const char* kind) {
    const long base = RssKb();
    BenchModel m;
    m.Speed().InitBracketsFull = true;
    auto a = Clock::now();
    m.Lines().LoadFromFile(path);
    const double ms = Ms(a, Clock::now());
    const double peak = (PeakRssKb() - base) / 1024.0;
    const double now = (RssKb() - base) / 1024.0;
    std::FILE* f = std::fopen(path, "rb");
    std::fseek(f, 0, SEEK_END);
    const double fileMb = static_cast<double>(std::ftell(f)) / (1024 * 1024);
    std::fclose(f);
    std::printf("  %-6s %6.0f MB file: %d rows, LoadFromFile + wrap + parse %.0f ms; resident "
                "%.0f MB (%.1fx the file), peak %.0f MB (%.1fx)\n",
                kind, fileMb, m.RowCount(), ms, now, now / fileMb, peak, peak / fileMb);
    return 0;
}

void LoadFile(const char* kind, double megabytes, bool dense) {
    const size_t bytes = static_cast<size_t>(megabytes * 1024 * 1024);
    char path[128];
    std::snprintf(path, sizeof path, "/tmp/quelvra-editor-bench-%s-%.0f.txt", kind, megabytes);
    {
        std::string text = dense ? MakeDenseText(bytes, 3) : MakeText(bytes, 3);
        std::ofstream(path, std::ios::binary) << text;
    }
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", "editor_bench", "--load", path, kind, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::remove(path);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::printf("  %s %.0f MB: the loading process failed (status %d)\n", kind, megabytes,
                    status);
}

struct TypingResult {
    Steps type, undo, redo;
};

// 1000 characters typed at scattered places (every other one a kanji, typed as its two bytes),
// then every step undone and redone.
TypingResult Typing(double megabytes) {
    const size_t bytes = static_cast<size_t>(megabytes * 1024 * 1024);
    BenchModel m;
    // Every row parsed at once, as in the edits above: a first edit far down the text would
    // otherwise pay for parsing the rows above it.
    m.Speed().InitBracketsFull = true;
    m.Lines().SetText(MakeText(bytes, 1));
    m.SetUndoListMax(1000);
    const std::string original = m.Lines().Text();
    std::mt19937 rng(5);
    const std::string kanji = cp932::FromUtf8("字");
    std::vector<double> type, undo, redo;
    for (int i = 0; i < 1000; ++i) {
        m.SetRowCol(static_cast<int>(rng() % static_cast<unsigned>(m.RowCount())),
                    static_cast<int>(rng() % 90));
        auto a = Clock::now();
        if (i % 2) {
            m.KeyChar(static_cast<unsigned char>(kanji[0]));
            m.KeyChar(static_cast<unsigned char>(kanji[1]));
        } else {
            m.KeyChar('x');
        }
        type.push_back(Ms(a, Clock::now()));
    }
    const std::string typed = m.Lines().Text();
    while (m.CanUndo()) {
        auto a = Clock::now();
        m.Undo();
        undo.push_back(Ms(a, Clock::now()));
    }
    const bool backOk = m.Lines().Text() == original;
    while (m.CanRedo()) {
        auto a = Clock::now();
        m.Redo();
        redo.push_back(Ms(a, Clock::now()));
    }
    const bool againOk = m.Lines().Text() == typed;
    TypingResult r{Summary(type), Summary(undo), Summary(redo)};
    std::printf("  %5.0f MB text, %d rows: %zu undos, %zu redos%s\n", megabytes, m.RowCount(),
                undo.size(), redo.size(),
                backOk && againOk ? "" : "  (TEXT NOT RESTORED: a fault)");
    std::printf("    typing %s\n    undo   %s\n    redo   %s\n", Us(r.type).c_str(),
                Us(r.undo).c_str(), Us(r.redo).c_str());
    return r;
}

// 1000 lines pasted into the middle of a wrapped line of a 1 MB text, undone and redone.
void PasteIntoWrappedLine() {
    BenchModel m;
    m.Speed().InitBracketsFull = true; // the paste's cost, not that of parsing the rows above it
    std::string text = MakeText(1024 * 1024, 7);
    const std::string longLine(5000, 'w');
    text.insert(text.size() / 2, longLine + "\r\n");
    m.Lines().SetText(text);
    int row = 0;
    while (row < m.RowCount() && m.List().Text(row).find("wwww") == std::string::npos)
        ++row;
    std::string paste;
    for (int i = 0; i < 1000; ++i)
        paste += cp932::FromUtf8("貼り付けた行 ") + std::to_string(i) + "\r\n";
    m.SetRowCol(row + 20, 40);
    const std::string before = m.Lines().Text();
    auto a = Clock::now();
    m.SetSelText(paste);
    const double tp = Ms(a, Clock::now());
    a = Clock::now();
    m.Undo();
    const double tu = Ms(a, Clock::now());
    const bool ok = m.Lines().Text() == before;
    a = Clock::now();
    m.Redo();
    const double tr = Ms(a, Clock::now());
    std::printf("  1000-line paste (%zu bytes) into a 5000-byte wrapped line of a 1 MB text: paste "
                "%.1f ms, undo %.1f ms, redo %.1f ms%s\n",
                paste.size(), tp, tu, tr, ok ? "" : "  (TEXT NOT RESTORED: a fault)");
}

// A text that is one line of 20 MB: wrapped, typed into, undone, redone.
void OneLongLine(double megabytes) {
    const size_t bytes = static_cast<size_t>(megabytes * 1024 * 1024);
    std::string line = MakeText(bytes, 9);
    line.erase(
        std::remove_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }),
        line.end());
    const long base = RssKb();
    BenchModel m;
    m.Speed().InitBracketsFull = true; // the edits' cost, not that of parsing the rows above
    m.SetUndoListMax(100);
    auto a = Clock::now();
    m.Lines().SetText(line);
    const double tw = Ms(a, Clock::now());
    const std::string original = m.Lines().Text();
    std::mt19937 rng(11);
    std::vector<double> type, undo, redo;
    const int steps = 50;
    for (int i = 0; i < steps; ++i) {
        m.SetRowCol(static_cast<int>(rng() % static_cast<unsigned>(m.RowCount())),
                    static_cast<int>(rng() % 80));
        a = Clock::now();
        m.KeyChar('x');
        type.push_back(Ms(a, Clock::now()));
    }
    const std::string typed = m.Lines().Text();
    while (m.CanUndo()) {
        a = Clock::now();
        m.Undo();
        undo.push_back(Ms(a, Clock::now()));
    }
    const bool backOk = m.Lines().Text() == original;
    while (m.CanRedo()) {
        a = Clock::now();
        m.Redo();
        redo.push_back(Ms(a, Clock::now()));
    }
    const bool againOk = m.Lines().Text() == typed;
    const double mem = (RssKb() - base) / 1024.0;
    std::printf("  one line of %.0f MB -> %d rows: set and wrap %.0f ms; %d steps each%s\n",
                megabytes, m.RowCount(), tw, steps,
                backOk && againOk ? "" : "  (TEXT NOT RESTORED: a fault)");
    auto ms = [](const Steps& s) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "median %.1f ms, p99 %.1f ms", s.median, s.p99);
        return std::string(buf);
    };
    std::printf("    typing %s\n    undo   %s\n    redo   %s\n    resident after %.0f MB "
                "(the line and its %d undo steps)\n",
                ms(Summary(type)).c_str(), ms(Summary(undo)).c_str(), ms(Summary(redo)).c_str(),
                mem, steps);
}

} // namespace

// With assistive technology listening, the text is also followed as characters: the first
// question counts them once; after that a caret move costs its row and an edit its rows plus a
// pass over the row offsets, whatever the text's size.
struct FollowedModel : BenchModel {
    bool TextEditsWanted() const override { return true; }
};

struct FollowedResult {
    Steps move, type, plain;
};

// The same typing without the text followed, for comparison.
Steps PlainTyping(const std::string& Text) {
    BenchModel m;
    m.Speed().InitBracketsFull = true;
    m.Lines().SetText(Text);
    std::mt19937 rng(5);
    std::vector<double> type;
    for (int i = 0; i < 1000; ++i) {
        const int row = static_cast<int>(rng() % static_cast<unsigned>(m.RowCount()));
        m.SetRowCol(row, static_cast<int>(rng() % 90));
        auto a = Clock::now();
        m.KeyChar('x');
        type.push_back(Ms(a, Clock::now()));
    }
    return Summary(type);
}

FollowedResult Followed(double megabytes) {
    const size_t bytes = static_cast<size_t>(megabytes * 1024 * 1024);
    const std::string text = MakeText(bytes, 1);
    FollowedModel m;
    m.Speed().InitBracketsFull = true;
    m.Lines().SetText(text);
    auto a = Clock::now();
    const int length = m.CharOffsets().Length();
    const double count = Ms(a, Clock::now());
    std::mt19937 rng(5);
    std::vector<double> move, type;
    long sum = 0; // (kept, so that the offsets asked for are not optimised away)
    for (int i = 0; i < 1000; ++i) {
        const int row = static_cast<int>(rng() % static_cast<unsigned>(m.RowCount()));
        a = Clock::now();
        m.SetRowCol(row, static_cast<int>(rng() % 90));
        sum += m.CaretOffset();
        move.push_back(Ms(a, Clock::now()));
        a = Clock::now();
        m.KeyChar('x');
        sum += m.CaretOffset();
        type.push_back(Ms(a, Clock::now()));
    }
    FollowedResult r{Summary(move), Summary(type), PlainTyping(text)};
    std::printf("  %5.0f MB text, %d characters (%.0f ms to count them once; %ld):\n", megabytes,
                length, count, sum % 10);
    std::printf("    caret move %s\n    typing     %s\n    not followed, typing %s\n",
                Us(r.move).c_str(), Us(r.type).c_str(), Us(r.plain).c_str());
    return r;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--load") return LoadFileChild(argv[2], argv[3]);
    if (argc == 2 && std::string(argv[1]) == "--followed") {
        FollowedResult f1 = Followed(1), f50 = Followed(50);
        std::printf("  per step, 50 MB against 1 MB: caret move %.2fx, typing %.2fx (medians)\n",
                    f50.move.median / f1.move.median, f50.type.median / f1.type.median);
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--line") {
        OneLongLine(std::atof(argv[2]));
        return 0;
    }
    std::vector<double> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atof(argv[i]));
    if (sizes.empty()) sizes = {1, 20};
    std::vector<EditTimes> results;
    for (double mb : sizes)
        results.push_back(Run(mb));
    // An edit touches one line: its cost must not grow with the text.
    if (results.size() > 1) {
        std::printf("per-edit cost, %.0f MB against %.0f MB text: median %.2fx, mean %.2fx\n",
                    sizes.back(), sizes.front(), results.back().median / results.front().median,
                    results.back().mean / results.front().mean);
        std::printf("unclosed bracket edit, %.0f MB against %.0f MB text: %.2fx\n", sizes.back(),
                    sizes.front(), results.back().open / results.front().open);
    }
    if (argc > 1) return 0;

    std::printf("\nLoading a file (wrapped at 84, every row parsed), each in its own process:\n");
    LoadFile("prose", 20, false);
    LoadFile("prose", 200, false);
    LoadFile("dense", 20, true);

    std::printf("\n1000 typed characters at scattered places, 1000 undos, 1000 redos:\n");
    TypingResult small = Typing(1), large = Typing(20);
    std::printf("  per step, 20 MB against 1 MB: typing %.2fx, undo %.2fx, redo %.2fx (medians)\n",
                large.type.median / small.type.median, large.undo.median / small.undo.median,
                large.redo.median / small.redo.median);

    std::printf("\nPaste into a wrapped line:\n");
    PasteIntoWrappedLine();

    std::printf("\nA text of one line:\n");
    OneLongLine(1);
    OneLongLine(20);

    std::printf("\nFollowed as characters for assistive technology (caret move and its offset, a\n"
                "typed character with the edit reported):\n");
    FollowedResult f1 = Followed(1), f50 = Followed(50);
    std::printf("  per step, 50 MB against 1 MB: caret move %.2fx, typing %.2fx (medians)\n",
                f50.move.median / f1.move.median, f50.type.median / f1.type.median);
    return 0;
}
