#!/usr/bin/env bash
# Takes docs/viewer.png: the viewer on a sample note, opened at a hit line with the keyword
# list's words highlighted and a width-insensitive search hit (ＵＳＢ found by "USB") selected,
# drawn on Qt's offscreen platform.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-rel
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
nice -n 10 cmake --build "$BUILD" -j2 --target viewer_open_bench >/dev/null
OUT=${1:-$ROOT/docs/viewer.png}
QT_QPA_PLATFORM=offscreen "$BUILD/bin/viewer_open_bench" --screenshot \
    "$ROOT/data/samples/サンプル/パソコン.txt" "$ROOT/data/samples/color.ini" "$OUT"
echo "wrote $OUT"
