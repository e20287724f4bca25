#!/usr/bin/env bash
# Builds the editor text model benchmark (Release, in build-editor-bench/) and runs it: a 1 MB
# and a 20 MB generated Shift-JIS text loaded into rows, wrapped at 84 columns with every wrap
# rule, fully parsed, then a thousand scattered single-character edits in each. Without
# arguments it goes on through the editor model: loading 20 MB and 200 MB files (time and peak
# memory against the file's size), 1000 typed characters with 1000 undos and redos at 1 MB and
# 20 MB, a 1000-line paste into a wrapped line, and a text of one 20 MB line. It writes its test
# files to /tmp (about 220 MB at most, removed after).
#
# Last, with the text followed as characters for assistive technology, caret moves and typed
# characters in a 1 MB and a 50 MB text beside the same typing without it.
#
#   bench/editor_bench.sh [MEGABYTES...]      (default: 1 20, then the rest)
#   bench/editor_bench.sh --followed          (only the text followed as characters)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-editor-bench
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_SANITIZE=OFF >/dev/null
nice -n 10 cmake --build "$BUILD" -j1 --target editor_bench >/dev/null
BIN=$(find "$BUILD" -type f -name editor_bench -perm -u+x | head -1)
"$BIN" "$@"
