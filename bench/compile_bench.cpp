// How long the grep takes to compile the window's pattern for three keywords of ten characters
// each with the character-equivalence dictionary on (a fresh component each time, so that the
// cache does not answer), and the size of the automaton it builds.
//   compile_bench [RUNS]
#include "codec.h"
#include "grep.h"
#include "query.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

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
    return 0;
}
