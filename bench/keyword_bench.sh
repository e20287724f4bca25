#!/usr/bin/env bash
# Times the keyword colour list painting the result pane (four words on every hit line), for
# panes of 2000 and 20000 hit lines, in a Release build.
#
#   bench/keyword_bench.sh
#
# Builds into build-bench/ (shared with the other benchmarks).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-bench
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target keyword_bench >/dev/null
BIN=$(find "$BUILD" -name keyword_bench -type f -perm -u+x | head -n 1)
for lines in 2000 20000; do
    QT_QPA_PLATFORM=offscreen "$BIN" "$lines" 2>/dev/null
done
