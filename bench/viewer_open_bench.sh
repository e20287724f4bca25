#!/usr/bin/env bash
# Builds the viewer benchmark (Release, in build-rel/) and runs it on Qt's offscreen platform:
# opening a hit in a 50 MB note beside reading the file, then a search down and up in it.
#
#   bench/viewer_open_bench.sh [MEGABYTES]      (default: 50)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-rel
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
nice -n 10 cmake --build "$BUILD" -j2 --target viewer_open_bench >/dev/null
QT_QPA_PLATFORM=offscreen nice -n 10 "$BUILD/bin/viewer_open_bench" "$@"
