// Text search benchmark: FindInBuffer over a 20 MB Shift-JIS text for each option set, beside a
// plain memmem of the same bytes, on sparse prose (long lines of mixed kanji and kana) and on
// dense short lines. The search text lies only at the very end, so every call reads the whole
// buffer; backward searches start from the end with it placed at the very start.
//
//   textsearch_bench [MEGABYTES]      (default: 20)
#include "codec.h"
#include "textsearch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace textsearch;
using Clock = std::chrono::steady_clock;

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

std::string MakeText(size_t bytes, bool dense, unsigned seed) {
    const char* words[] = {"検索",     "全文", "テキスト", "ファイル", "ひらがな", "カタカナ",
                           "漢字変換", "、",   "。",       "「引用」", "（注）",   "the",
                           "quick",    "fox",  "1234",     " ",        "ﾊﾝｶｸ",     "ＡＢＣ",
                           "１２３",   "表示", "ソフト",   "能力",     "ポイント", "データ",
                           "です",     "ます", "ある"};
    std::vector<std::string> sj;
    for (const char* w : words)
        sj.push_back(S(w));
    std::mt19937 rng(seed);
    std::string out;
    out.reserve(bytes + 256);
    while (out.size() < bytes) {
        const size_t line = dense ? 8 + rng() % 30 : 200 + rng() % 1800;
        const size_t end = out.size() + line;
        while (out.size() < end)
            out += sj[rng() % sj.size()];
        out += "\r\n";
    }
    out.resize(bytes);
    // No cut character at the end.
    while (!out.empty() && cp932::IsLeadByte(static_cast<unsigned char>(out.back())))
        out.pop_back();
    return out;
}

template <class F> double MedianMs(int runs, F f) {
    std::vector<double> t;
    for (int k = 0; k < runs; ++k) {
        const auto a = Clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - a).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const double mb = argc > 1 ? std::atof(argv[1]) : 20;
    const size_t bytes = static_cast<size_t>(mb * 1024 * 1024);
    struct OptionSet {
        const char* name;
        TSearchOptions options;
    } sets[] = {
        {"case folded", 0},
        {"match case", soMatchCase},
        {"whole word", soWholeWord},
        {"width-insensitive", soNoMatchZenkaku},
        {"width + match case", soNoMatchZenkaku | soMatchCase},
        {"line ends and blanks", soIgnoreLineEnds | soIgnoreSpaces},
        {"all options", soNoMatchZenkaku | soWholeWord | soIgnoreLineEnds | soIgnoreSpaces},
    };
    const int runs = 7;
    double worst = 0;
    std::printf("FindInBuffer over %.0f MB, median of %d runs; memmem of the same bytes beside\n",
                mb, runs);
    for (bool dense : {false, true}) {
        for (const char* word : {"Quelvra", "索引語"}) {
            const std::string needle = S(word);
            const std::string body = MakeText(bytes, dense, 7);
            const std::string forward = body + " " + needle;
            const std::string backward = needle + " " + body;
            volatile const void* sink = nullptr;
            const double mm = MedianMs(runs, [&] {
                sink = memmem(forward.data(), forward.size(), needle.data(), needle.size());
            });
            if (sink == nullptr) return 1;
            std::printf("\n%s text, search text \"%s\": memmem %.2f ms (%.0f MB/s)\n",
                        dense ? "dense short-line" : "sparse prose", word, mm, mb / mm * 1000);
            std::printf("  %-22s %10s %10s %8s %10s %8s\n", "options", "down ms", "MB/s",
                        "x memmem", "up ms", "x memmem");
            for (const OptionSet& o : sets) {
                bool ok = true;
                const double down = MedianMs(runs, [&] {
                    std::int32_t s = 0, n = 0;
                    ok &= FindInBuffer(forward, s, n, needle, o.options | soDown) &&
                          s == static_cast<std::int32_t>(body.size() + 1);
                });
                const double up = MedianMs(runs, [&] {
                    std::int32_t s = static_cast<std::int32_t>(backward.size()), n = 0;
                    ok &= FindInBuffer(backward, s, n, needle, o.options) && s == 0;
                });
                if (!ok) {
                    std::printf("  %s: wrong result\n", o.name);
                    return 1;
                }
                worst = std::max({worst, down / mm, up / mm});
                std::printf("  %-22s %10.2f %10.0f %8.1f %10.2f %8.1f\n", o.name, down,
                            mb / down * 1000, down / mm, up, up / mm);
            }
        }
    }
    std::printf("\nslowest option set: %.1fx memmem (target: no more than 20x)\n", worst);
    return worst <= 20 ? 0 : 2;
}
