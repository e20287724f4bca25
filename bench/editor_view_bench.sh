#!/usr/bin/env bash
# Builds the editor drawing benchmark (Release, in build-rel/) and runs it under a virtual
# display of 1280 x 1024: page-down, one-row scroll and full-repaint frames of a wrapped,
# numbered, coloured Japanese text of 1 MB and 20 MB (or the sizes given).
#
#   bench/editor_view_bench.sh [MEGABYTES...]      (default: 1 20)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-rel
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
nice -n 10 cmake --build "$BUILD" -j2 --target editor_view_bench >/dev/null
BIN=$(find "$BUILD" -type f -name editor_view_bench -perm -u+x | head -1)
xvfb-run -a -s "-screen 0 1280x1024x24" nice -n 10 "$BIN" "$@"
