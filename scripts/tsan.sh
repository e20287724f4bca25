#!/usr/bin/env bash
# The searches that run on more than one thread, under ThreadSanitizer: builds the engine's
# tests, quelvra-grep and the window's tests with -fsanitize=thread (in build-tsan) and runs
# those where threads meet: the ordered search of a file list, a pattern shared between threads,
# quelvra-grep's folder searches (its own runs report too) and the window's search runs. Any
# report fails it.
#   bash scripts/tsan.sh           everything above
#   bash scripts/tsan.sh engine    without the window (what the test command runs: a minute)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-tsan
window=yes
[ "${1:-}" = engine ] && window=no

bash scripts/setup-debian.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUELVRA_TSAN=ON \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
targets=(engine_tests cli_tests quelvra-grep)
[ $window = yes ] && targets+=(searchwin_tests quelvra program_folder)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
"$build/bin/engine_tests" --gtest_brief=1 \
    --gtest_filter='OrderedSearch.*:GrepReader.ASharedPattern*:GrepReader.Fifo*'
"$build/bin/cli_tests" --gtest_brief=1
if [ $window = yes ]; then
    QT_QPA_PLATFORM=offscreen "$build/bin/searchwin_tests" --gtest_brief=1 \
        --gtest_filter='SearchRun*:SampleData*'
fi
echo "ThreadSanitizer: nothing reported"
