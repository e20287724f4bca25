// Editor text model benchmark: loads a generated Shift-JIS text into screen rows, wraps it at 84
// columns with every wrap rule on, parses every row's colour state, then times single-character
// edits scattered through it, for a 1 MB and a 20 MB text side by side (an edit must cost the
// same in both: it touches one line, not the text).
//
//   editor_bench [MEGABYTES...]      (default: 1 20)
#include "codec.h"
#include "screen_rows.h"

#include <sys/resource.h>
#include <unistd.h>

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

} // namespace

int main(int argc, char** argv) {
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
    return 0;
}
