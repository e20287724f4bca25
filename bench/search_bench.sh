#!/usr/bin/env bash
# Times quelvra-grep against ripgrep (-E shift_jis) and grep -F on a Shift-JIS corpus of
# Japanese man pages: one, two and three keywords, with and without the dictionary.
# Prints the median wall time of several runs, the hit counts (a check that the tools agree)
# and quelvra-grep's time relative to the others.
#
#   bench/search_bench.sh [RUNS]      (default 5 runs per command)
#
# Everything it makes goes under bench/out/ (corpus) and build-bench/ (a Release build).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/bench/out
BUILD=$ROOT/build-bench
RUNS=${1:-5}
MIN_BYTES=$((50 * 1024 * 1024))

# ---- tools ----------------------------------------------------------------------------------
missing=()
command -v rg >/dev/null || missing+=(ripgrep)
command -v grep >/dev/null || missing+=(grep)
command -v iconv >/dev/null || missing+=(libc-bin)
[ -d /usr/share/man/ja ] && [ -n "$(find /usr/share/man/ja -name '*.gz' -print -quit)" ] ||
    missing+=(manpages-ja)
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}" >&2
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# ---- corpus: Japanese man pages in code page 932, repeated past MIN_BYTES ---------------------
CORPUS=$OUT/corpus
mkdir -p "$CORPUS"
BASE=$OUT/manpages-ja.sjis
if [ ! -s "$BASE" ]; then
    find /usr/share/man/ja -name '*.gz' -print0 | sort -z | xargs -0 zcat |
        iconv -f UTF-8 -t CP932 -c >"$BASE" || true
fi
base_bytes=$(stat -c %s "$BASE")
copies=$(((MIN_BYTES + base_bytes - 1) / base_bytes))
corpus_bytes() { find "$CORPUS" -name '*.txt' -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }
total=$(corpus_bytes)
if [ "$total" -lt "$MIN_BYTES" ]; then
    rm -f "$CORPUS"/*.txt
    # One file per copy: the tools search a folder of notes, as the window does.
    for i in $(seq -w 1 "$copies"); do cp "$BASE" "$CORPUS/man$i.txt"; done
    total=$(corpus_bytes)
fi
echo "corpus: $CORPUS, $(ls "$CORPUS" | wc -l) files, $((total / 1024 / 1024)) MB" >&2

# ---- quelvra-grep, Release ------------------------------------------------------------------
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target quelvra-grep >/dev/null
QG=$BUILD/bin/quelvra-grep

# ---- timing ---------------------------------------------------------------------------------
# Median wall seconds of RUNS runs of a shell command (output discarded).
median() {
    local cmd=$1 times=() i s e
    for ((i = 0; i < RUNS; i++)); do
        s=$(date +%s%N)
        bash -c "$cmd" >/dev/null 2>&1 || true
        e=$(date +%s%N)
        times+=($(((e - s) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {
        m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.3f", m / 1e6 }'
}

sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# Patterns for ripgrep: every order of the keywords, like the window composes them.
rg_pattern() {
    case $# in
    1) printf '%s' "$1" ;;
    2) printf '%s.*%s|%s.*%s' "$1" "$2" "$2" "$1" ;;
    3) printf '%s.*%s.*%s|%s.*%s.*%s|%s.*%s.*%s|%s.*%s.*%s|%s.*%s.*%s|%s.*%s.*%s' \
        "$1" "$2" "$3" "$1" "$3" "$2" "$2" "$1" "$3" "$2" "$3" "$1" "$3" "$1" "$2" "$3" "$2" "$1" ;;
    esac
}

# grep -F cannot express "all keywords in any order" in one pass: a pipeline, one per keyword.
grep_cmd() {
    local first=1 cmd="" k
    for k in "$@"; do
        if [ $first -eq 1 ]; then
            cmd="LC_ALL=C grep -F -h -- $(printf '%q' "$(sj "$k")") $CORPUS/*.txt"
            first=0
        else
            cmd="$cmd | LC_ALL=C grep -F -- $(printf '%q' "$(sj "$k")")"
        fi
    done
    printf '%s' "$cmd"
}

q() { printf '%q ' "$@"; }

SEARCHES=(
    "ファイル"
    "ファイル|指定"
    "ファイル|指定|オプション"
)

printf '\n%-5s %10s %8s %10s %8s %10s %8s %8s %8s  %s\n' "dict" "quelvra s" "hits" \
    "rg s" "hits" "grep s" "hits" "q/rg" "q/grep" "keywords"
for search in "${SEARCHES[@]}"; do
    IFS='|' read -r -a kws <<<"$search"
    rgcmd="rg -E shift_jis --no-ignore --hidden -c --no-filename -- $(printf '%q' "$(rg_pattern "${kws[@]}")") $CORPUS"
    gcmd=$(grep_cmd "${kws[@]}")
    # (bench/out is ignored by git, hence --no-ignore; no hit is no failure here.)
    rg_hits=$( (bash -c "$rgcmd" || true) | awk '{s += $1} END {print s + 0}')
    g_hits=$( (bash -c "$gcmd" || true) | wc -l)
    rg_t=$(median "$rgcmd")
    g_t=$(median "$gcmd")
    for dict in on off; do
        flags="-c -d $CORPUS"
        [ $dict = off ] && flags="$flags -E"
        qcmd="LC_ALL=C.UTF-8 $QG $flags $(q "${kws[@]}")"
        q_hits=$(bash -c "$qcmd" 2>/dev/null || true)
        q_t=$(median "$qcmd")
        printf '%-5s %10s %8s %10s %8s %10s %8s %8s %8s  %s\n' "$dict" "$q_t" "$q_hits" "$rg_t" \
            "$rg_hits" "$g_t" "$g_hits" \
            "$(awk -v a="$q_t" -v b="$rg_t" 'BEGIN {printf "%.1fx", a / b}')" \
            "$(awk -v a="$q_t" -v b="$g_t" 'BEGIN {printf "%.1fx", a / b}')" "${kws[*]}"
    done
done

# ---- one 10 MB line of partial matches and no full match ------------------------------------
# Every "ファイ" starts an attempt that fails on its last character: the time per byte should
# stay that of the corpus.
LONG=$OUT/longline
mkdir -p "$LONG"
if [ ! -s "$LONG/line.txt" ]; then
    piece=$(printf 'ファイ%.0s' $(seq 1 1000))
    for _ in $(seq 1 580); do printf '%s' "$piece"; done | iconv -f UTF-8 -t CP932 >"$LONG/line.txt"
fi
long_bytes=$(stat -c %s "$LONG/line.txt")
echo
printf '%-28s %10s %8s %12s\n' "10 MB line, ファイル" "seconds" "hits" "ms per MB"
for dict in off on; do
    flags="-c -d $LONG"
    [ $dict = off ] && flags="$flags -E"
    qcmd="LC_ALL=C.UTF-8 $QG $flags $(q ファイル)"
    t=$(median "$qcmd")
    printf '%-28s %10s %8s %12s\n' "quelvra dict $dict" "$t" "$(bash -c "$qcmd" 2>/dev/null || true)" \
        "$(awk -v t="$t" -v b="$long_bytes" 'BEGIN {printf "%.2f", t * 1000 / (b / 1048576)}')"
done
rgcmd="rg -E shift_jis --no-ignore -c -- ファイル $LONG"
t=$(median "$rgcmd")
printf '%-28s %10s %8s %12s\n' "rg" "$t" "$( (bash -c "$rgcmd" || true) | awk '{s += $1} END {print s + 0}')" \
    "$(awk -v t="$t" -v b="$long_bytes" 'BEGIN {printf "%.2f", t * 1000 / (b / 1048576)}')"
printf '%-28s %10s %8s %12s\n' "corpus, one keyword (above)" "" "" "(q s / $((total / 1048576)) MB)"

# ---- compile time: three ten-character keywords, dictionary on ------------------------------
# quelvra-grep on an empty folder does nothing but compile; the same with a one-character
# keyword is the cost of starting the program.
EMPTY=$OUT/empty
mkdir -p "$EMPTY"
c_t=$(median "LC_ALL=C.UTF-8 $QG -c -d $EMPTY $(q ファイルシステム管理 オプション指定の方法 コマンドラインの引数)")
s_t=$(median "LC_ALL=C.UTF-8 $QG -c -d $EMPTY -E $(q a)")
echo
echo "compile, three ten-character keywords, dictionary on: $c_t s (program start alone: $s_t s)"

echo
echo "Median of $RUNS runs, wall seconds. rg and grep search exactly (they have no equivalence"
echo "dictionary): their times are the reference for both quelvra rows. Ratios: quelvra / other."
