#!/usr/bin/env bash
# Builds the text search benchmark (Release, in build-rel/) and runs it: FindInBuffer over a
# 20 MB Shift-JIS text for each option set, forward and backward, beside memmem.
#
#   bench/textsearch_bench.sh [MEGABYTES]      (default: 20)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-rel
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
nice -n 10 cmake --build "$BUILD" -j2 --target textsearch_bench >/dev/null
nice -n 10 "$BUILD/bin/textsearch_bench" "$@"
