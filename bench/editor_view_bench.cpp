// Editor drawing benchmark: a generated Shift-JIS text (mixed kanji, kana, ASCII, numbers, URLs,
// reserve words) in a TEditor of 1280 x 1024 with wrapping, numbered rows, a ruler and coloured
// tokens; times a page-down frame (scroll and paint, flushed), a one-row scroll frame and a full
// repaint of a screen of rows, for several text sizes side by side: a frame must not cost more
// for a larger text. Two kinds of text: prose (long lines, wrapped) and dense short lines.
//
//   editor_view_bench [MEGABYTES...]      (default: 1 20; needs a display: xvfb-run)
//   editor_view_bench --show [MEGABYTES [SECONDS]]   the test window (editor_screenshot.sh)
#include "codec.h"
#include "editor.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace editor;
using Clock = std::chrono::steady_clock;

namespace {

std::string MakeText(size_t bytes, bool prose, unsigned seed) {
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
                           "http://example.jp/a",
                           "user@example.jp",
                           "です",
                           "ます",
                           "ー",
                           "begin",
                           "end"};
    std::vector<std::string> pool;
    for (const char* w : words)
        pool.push_back(cp932::FromUtf8(w));
    std::mt19937 rng(seed);
    std::string text;
    text.reserve(bytes + 1024);
    while (text.size() < bytes) {
        size_t target = prose ? 200 + rng() % 400 : 4 + rng() % 30;
        size_t start = text.size();
        while (text.size() - start < target)
            text += pool[rng() % pool.size()];
        text += "\r\n";
    }
    return text;
}

struct Stats {
    double median, p95;
};

Stats Measure(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)]};
}

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

struct Result {
    double mb;
    int rows;
    double load;
    Stats page, line, full;
};

Result Run(double mb, bool prose) {
    const std::string text = MakeText(static_cast<size_t>(mb * 1024 * 1024), prose, 7);
    TEditor e;
    e.resize(1280, 1024);
    e.move(0, 0);
    e.Leftbar().SetVisible(true);
    e.Ruler().SetVisible(true);
    e.Marks().RetMark().SetVisible(true);
    e.Marks().WrapMark().SetVisible(true);
    e.Marks().Underline().SetVisible(true);
    e.View().SetUrl(true);
    e.View().SetMail(true);
    e.View().Colors().Int().SetColor(clRed);
    e.View().Colors().Str().SetColor(clGreen);
    e.View().Colors().Reserve().SetColor(clBlue);
    e.View().Colors().Reserve().SetStyle(fsBold);
    e.View().Colors().Url().SetColor(clPurple);
    e.View().Colors().Url().SetStyle(fsUnderline);
    e.View().Colors().Mail().SetColor(clTeal);
    TStringList words;
    words.Add("begin");
    words.Add("end");
    words.Add(cp932::FromUtf8("消費税"));
    e.SetReserveWordList(words);
    e.WrapOption().SetWrapByte(120);
    e.SetWordWrap(true);
    e.show();
    QApplication::processEvents();
    auto t0 = Clock::now();
    e.List().LoadText(text);
    auto t1 = Clock::now();
    e.viewport()->repaint();
    QApplication::processEvents();
    Result r{mb, e.RowCount(), Ms(t0, t1), {}, {}, {}};

    // Page down through the middle of the text, one frame per page.
    std::vector<double> page, line, full;
    e.SetTopRow(e.RowCount() / 2);
    e.SetRow(e.RowCount() / 2);
    e.viewport()->repaint();
    for (int i = 0; i < 150; ++i) {
        auto a = Clock::now();
        e.ScrollRows(e.VisibleRowCount());
        e.viewport()->repaint();
        QApplication::processEvents();
        page.push_back(Ms(a, Clock::now()));
    }
    for (int i = 0; i < 150; ++i) {
        auto a = Clock::now();
        e.ScrollRows(1);
        e.viewport()->repaint();
        QApplication::processEvents();
        line.push_back(Ms(a, Clock::now()));
    }
    for (int i = 0; i < 150; ++i) {
        auto a = Clock::now();
        e.viewport()->repaint();
        QApplication::processEvents();
        full.push_back(Ms(a, Clock::now()));
    }
    r.page = Measure(page);
    r.line = Measure(line);
    r.full = Measure(full);
    return r;
}

} // namespace

// The test window: two editors sharing one row list of a wrapped Japanese text, the upper with a
// box selection, the lower with a search hit; stays open for Seconds (for a screenshot).
int Show(double mb, int seconds) {
    const std::string text = MakeText(static_cast<size_t>(mb * 1024 * 1024), true, 7);
    QWidget window;
    window.setWindowTitle(QString::fromUtf8("Quelvra editor"));
    window.resize(1280, 1024);
    window.move(0, 0);
    TEditor top(&window), bottom(&window);
    top.setGeometry(0, 0, 1280, 600);
    bottom.setGeometry(0, 604, 1280, 420);
    for (TEditor* e : {&top, &bottom}) {
        e->Leftbar().SetVisible(true);
        e->Leftbar().SetShowNumberMode(nmLine);
        e->Ruler().SetVisible(true);
        e->Marks().EofMark().SetVisible(true);
        e->Marks().RetMark().SetVisible(true);
        e->Marks().RetMark().SetColor(clTeal);
        e->Marks().WrapMark().SetVisible(true);
        e->Marks().WrapMark().SetColor(clFuchsia);
        e->View().SetUrl(true);
        e->View().SetMail(true);
        e->View().Colors().Int().SetColor(clRed);
        e->View().Colors().Reserve().SetColor(clBlue);
        e->View().Colors().Reserve().SetStyle(fsBold);
        e->View().Colors().Url().SetColor(clPurple);
        e->View().Colors().Url().SetStyle(fsUnderline);
        e->View().Colors().Mail().SetColor(clGreen);
        e->View().Colors().DBCS().SetColor(0x202020);
        e->View().Colors().Hit().SetBkColor(0x00FFFF);
        e->View().Colors().Hit().SetColor(clBlack);
        TStringList words;
        words.Add(cp932::FromUtf8("消費税"));
        words.Add("quick");
        e->SetReserveWordList(words);
    }
    top.WrapOption().SetWrapByte(100);
    top.SetWordWrap(true);
    top.List().LoadText(text);
    bottom.ShareList(top);
    window.show();
    QApplication::processEvents();
    // Upper: a box selection a little way into the text.
    const int row = top.RowCount() / 3;
    top.SetTopRow(row - 5);
    top.SetSelectionMode(true);
    top.SetRowCol(row, 10);
    top.StartSelection();
    top.SetRowCol(row + 6, 36);
    top.UpdateSelection();
    top.SetRowMarks(row + 2, 1 << 1);
    top.SetRowMarks(row + 4, 1 << 10);
    // Lower: a search hit drawn in the hit colours.
    bottom.SetHitStyle(hsDraw);
    bottom.SetTopRow(top.RowCount() / 2);
    bottom.SetRowCol(top.RowCount() / 2, 0);
    bottom.Search(cp932::FromUtf8("漢字変換"), 1);
    bottom.setFocus();
    QTimer::singleShot(seconds * 1000, qApp, &QApplication::quit);
    return QApplication::exec();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc >= 2 && std::string(argv[1]) == "--show")
        return Show(argc >= 3 ? std::atof(argv[2]) : 20, argc >= 4 ? std::atoi(argv[3]) : 30);
    std::vector<double> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atof(argv[i]));
    if (sizes.empty()) sizes = {1, 20};
    QSize screen = app.primaryScreen() ? app.primaryScreen()->size() : QSize();
    std::printf("editor drawing at 1280 x 1024 (screen %d x %d, platform %s), wrapped at 120, "
                "numbered rows, ruler, coloured tokens; medians (p95) in ms over 150 frames\n\n",
                screen.width(), screen.height(), qPrintable(QGuiApplication::platformName()));
    for (bool prose : {true, false}) {
        std::printf("%s\n", prose ? "prose (lines of 200-600 bytes, wrapped)"
                                  : "dense short lines (4-34 bytes)");
        std::printf("  %6s %9s %8s %18s %18s %18s %10s\n", "MB", "rows", "load ms",
                    "page-down frame", "one-row scroll", "full repaint", "page fps");
        for (double mb : sizes) {
            Result r = Run(mb, prose);
            std::printf("  %6.1f %9d %8.0f %10.2f (%5.2f) %10.2f (%5.2f) %10.2f (%5.2f) %10.0f\n",
                        r.mb, r.rows, r.load, r.page.median, r.page.p95, r.line.median, r.line.p95,
                        r.full.median, r.full.p95, 1000.0 / r.page.median);
        }
    }
    return 0;
}
