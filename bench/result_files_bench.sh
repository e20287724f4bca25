#!/usr/bin/env bash
# Times saving the result pane as a rich text file and loading it again (and loading the same
# text as a plain file), for panes of 20000 and 100000 hit lines, in a Release build.
#
#   bench/result_files_bench.sh
#
# Builds into build-bench/ (shared with the other benchmarks).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-bench
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target result_files_bench >/dev/null
BIN=$(find "$BUILD" -name result_files_bench -type f -perm -u+x | head -n 1)
for lines in 20000 100000; do
    QT_QPA_PLATFORM=offscreen "$BIN" "$lines" 2>/dev/null
    echo
done
