// How long the grep takes to compile the window's pattern for three keywords of ten characters
// each with the character-equivalence dictionary on (a fresh component each time, so that the
// cache does not answer), and the size of the automaton it builds; then how long a pattern too
// large for the engine (three keywords of 3330 characters) takes to be refused, set as the
// window sets it (the pattern, then the dictionary flag).
//   compile_bench [RUNS]
#include "codec.h"
#include "grep.h"
#include "query.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

using engine::TGrep;

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::vector<std::string> keywords = {cp932::FromUtf8("ファイルシステム管理"),
                                               cp932::FromUtf8("オプション指定の方法"),
                                               cp932::FromUtf8("コマンドラインの引数")};
    const std::string pattern = engine::ComposePattern(keywords);
    std::vector<double> ms;
    std::size_t states = 0;
    for (int i = 0; i < runs; ++i) {
        TGrep grep;
        const auto start = std::chrono::steady_clock::now();
        grep.SetUseFuzzyCharDic(true);
        grep.SetRegExp(pattern);
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        states = grep.CurrentAutomaton().StateList.size();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("compile, three ten-character keywords, dictionary on: %.1f ms median of %d "
                "(min %.1f, max %.1f), %zu automaton states\n",
                ms[ms.size() / 2], runs, ms.front(), ms.back(), states);

    std::string keyword;
    for (int i = 0; i < 1110; ++i)
        keyword += cp932::FromUtf8("あいう");
    const std::string large = engine::ComposePattern({keyword, keyword, keyword});
    for (const bool dictionary : {false, true}) {
        std::vector<double> cpu;
        for (int i = 0; i < std::max(1, runs / 3); ++i) {
            TGrep grep;
            const std::clock_t start = std::clock();
            bool refused = false;
            try {
                grep.SetRegExp(large);
            } catch (const engine::ERegExpParser&) {
                refused = true;
            }
            try {
                grep.SetUseFuzzyCharDic(dictionary);
            } catch (const engine::ERegExpParser&) {
                refused = true;
            }
            cpu.push_back(1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
            if (!refused) std::printf("(the large pattern was accepted)\n");
        }
        std::sort(cpu.begin(), cpu.end());
        std::printf("refusing three 3330-character keywords, dictionary %s: %.0f ms cpu median of "
                    "%zu\n",
                    dictionary ? "on" : "off", cpu[cpu.size() / 2], cpu.size());
    }
    return 0;
}
