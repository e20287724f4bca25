#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, in build-fuzz) and runs each for a given time under nice,
# printing executions, coverage and whether anything was found.
#   bash scripts/fuzz.sh [SECONDS-PER-TARGET] [TARGET...]
# Each target starts from its checked-in seeds and keeps what it learns in build-fuzz/corpus/;
# a finding is written to build-fuzz/findings/ and reproduces with
#   build-fuzz/bin/TARGET FILE   (or the replay test: build-test/bin/TARGET_replay FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
build=build-fuzz

bash scripts/setup-debian.sh clang

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUELVRA_SANITIZE=ON -DQUELVRA_FUZZ=ON -DQUELVRA_TESTS=OFF \
        $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
fi
mapfile -t lines <"$build/fuzz-targets.txt"
targets=()
for line in "${lines[@]}"; do targets+=("${line%% *}"); done
[ $# -gt 0 ] && targets=("$@")
nice cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null

mkdir -p "$build/findings"
printf '%-18s %12s %8s %8s  %s\n' target executions cov ft result
for line in "${lines[@]}"; do
    name="${line%% *}"
    seeds="${line#* }"
    [[ " ${targets[*]} " == *" $name "* ]] || continue
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    log="$build/findings/$name.log"
    status=0
    nice -n 19 "$build/bin/$name" "$corpus" "$seeds" -max_total_time="$seconds" -timeout=60 \
        -rss_limit_mb=1024 -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$name-" >"$log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)
    cov=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
    ft=$( (grep -o 'ft: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
    result="nothing found"
    [ "$status" -ne 0 ] && result="FOUND: see $log"
    printf '%-18s %12s %8s %8s  %s\n' "$name" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
