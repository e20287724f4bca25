#!/usr/bin/env bash
# Builds with clang, warnings as errors, everything that needs no Qt: the Qt-free libraries,
# quelvra-grep, the benchmarks' programs and the libFuzzer targets (in build-clang), then runs
# each fuzz target once over its seeds. The test command runs it beside the GCC build, so that
# the code stays clean with both compilers.
#   bash scripts/clang_build.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-clang

bash scripts/setup-debian.sh clang libclang-rt-dev
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUELVRA_SANITIZE=ON \
    -DQUELVRA_FUZZ=ON -DQUELVRA_TESTS=OFF -DCMAKE_CXX_FLAGS=-Werror \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
cmake --build "$build" -j"$(nproc)" --target qt_free
mapfile -t lines <"$build/fuzz-targets.txt"
for line in "${lines[@]}"; do
    "$build/bin/${line%% *}" -runs=0 "${line#* }" 2>"$build/fuzz-seeds.log" ||
        { cat "$build/fuzz-seeds.log"; exit 1; }
done
echo "clang build: ${#lines[@]} fuzz targets and the Qt-free code built, seeds ran"
