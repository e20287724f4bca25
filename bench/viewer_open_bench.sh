#!/usr/bin/env bash
# Builds the viewer benchmark (Release, in build-rel/) and runs it on Qt's offscreen platform:
# opening a hit in a 50 MB note until it is painted, beside reading the file (targets: under
# 0.3 s), then a search down and up in it; the viewer's peak memory for that note and for 20 MB of
# short dense lines (under 3x the note), and what the process keeps once the viewer closed (a few
# MiB at most). Each figure is printed beside its target with met or not, with the load average.
#
#   bench/viewer_open_bench.sh [MEGABYTES]      (default: 50)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-rel
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
nice -n 10 cmake --build "$BUILD" -j2 --target viewer_open_bench >/dev/null
QT_QPA_PLATFORM=offscreen nice -n 10 "$BUILD/bin/viewer_open_bench" "$@"
