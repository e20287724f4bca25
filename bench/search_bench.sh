#!/usr/bin/env bash
# Times quelvra-grep against ripgrep (-E shift_jis) and grep -F on a Shift-JIS corpus of
# Japanese man pages: one, two and three keywords, with and without the dictionary.
# Prints the median wall time of several runs, the hit counts (a check that the tools agree, and
# that quelvra-grep's fast search agrees with its reference routines, QUELVRA_GREP_REFERENCE=1)
# and quelvra-grep's time relative to the others; then a 10 MB line of partial matches, the
# compile time of three long keywords, and whether each speed target is met.
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
cmake --build "$BUILD" -j2 --target quelvra-grep compile_bench >/dev/null
QG=$BUILD/bin/quelvra-grep
echo "command: bench/search_bench.sh $RUNS ($(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))"

# ---- timing ---------------------------------------------------------------------------------
# Median wall seconds of RUNS runs of a shell command (output discarded).
median() {
    local cmd=$1 times=() i s e
    for ((i = 0; i < RUNS; i++)); do
        s=$(date +%s%N)
        # (To a file, not /dev/null: GNU grep stops at the first match when its output is
        # /dev/null, even with -c.)
        bash -c "$cmd" >"$OUT/timing.out" 2>&1 || true
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

# grep -F cannot express "all keywords in any order" in one pass: a pipeline, one per keyword;
# the last one counts (one count per file when there is only one).
grep_cmd() {
    local i=0 cmd="" k
    for k in "$@"; do
        i=$((i + 1))
        local c=""
        [ $i -eq $# ] && c="-c"
        if [ $i -eq 1 ]; then
            cmd="LC_ALL=C grep -F $c -h -- $(printf '%q' "$(sj "$k")") $CORPUS/*.txt"
        else
            cmd="$cmd | LC_ALL=C grep -F $c -- $(printf '%q' "$(sj "$k")")"
        fi
    done
    printf '%s' "$cmd"
}
sum() { awk '{s += $1} END {print s + 0}'; }

q() { printf '%q ' "$@"; }

SEARCHES=(
    "ファイル"
    "ファイル|指定"
    "ファイル|指定|オプション"
)

# The program's start alone: an empty folder and a one-letter keyword.
EMPTY=$OUT/empty
mkdir -p "$EMPTY"
start_t=$(median "LC_ALL=C.UTF-8 $QG -c -d $EMPTY -E a")

declare -A QT
printf '\n%-5s %10s %8s %8s %10s %8s %10s %8s %8s %8s  %s\n' "dict" "quelvra s" "hits" "ref" \
    "rg s" "hits" "grep s" "hits" "q/rg" "q/grep" "keywords"
for search in "${SEARCHES[@]}"; do
    IFS='|' read -r -a kws <<<"$search"
    rgcmd="rg -E shift_jis --no-ignore --hidden -c --no-filename -- $(printf '%q' "$(rg_pattern "${kws[@]}")") $CORPUS"
    gcmd=$(grep_cmd "${kws[@]}")
    # (bench/out is ignored by git, hence --no-ignore; no hit is no failure here.)
    rg_hits=$( (bash -c "$rgcmd" || true) | sum)
    g_hits=$( (bash -c "$gcmd" || true) | sum)
    rg_t=$(median "$rgcmd")
    g_t=$(median "$gcmd")
    for dict in off on; do
        flags="-c -d $CORPUS"
        [ $dict = off ] && flags="$flags -E"
        qcmd="LC_ALL=C.UTF-8 $QG $flags $(q "${kws[@]}")"
        q_hits=$(bash -c "$qcmd" 2>/dev/null || true)
        ref_hits=$(bash -c "QUELVRA_GREP_REFERENCE=1 $qcmd" 2>/dev/null || true)
        [ "$ref_hits" = "$q_hits" ] || ref_hits="$ref_hits DIFFERS"
        q_t=$(median "$qcmd")
        QT[$dict ${#kws[@]}]=$q_t
        [ ${#kws[@]} -eq 1 ] && { RG1=$rg_t; G1=$g_t; }
        printf '%-5s %10s %8s %8s %10s %8s %10s %8s %8s %8s  %s\n' "$dict" "$q_t" "$q_hits" \
            "$ref_hits" "$rg_t" "$rg_hits" "$g_t" "$g_hits" \
            "$(awk -v a="$q_t" -v b="$rg_t" 'BEGIN {printf "%.2fx", a / b}')" \
            "$(awk -v a="$q_t" -v b="$g_t" 'BEGIN {printf "%.2fx", a / b}')" "${kws[*]}"
    done
done

# ---- one 10 MB line of partial matches and no full match ------------------------------------
# Every "ファイ" starts an attempt that fails on its last character; on the second line every
# "ファイル" and every "指定" starts one that runs on to the end of the line looking for the
# third keyword. The time per byte (program start taken off) should stay that of the corpus
# searched on one core (the line is one file, searched by one worker).
LONG=$OUT/longline
mkdir -p "$LONG/one" "$LONG/three"
if [ ! -s "$LONG/one/line.txt" ] || [ ! -s "$LONG/three/line.txt" ]; then
    piece=$(printf 'ファイ%.0s' $(seq 1 1000))
    for _ in $(seq 1 1750); do printf '%s' "$piece"; done | iconv -f UTF-8 -t CP932 >"$LONG/one/line.txt"
    piece=$(printf 'ファイル指定%.0s' $(seq 1 1000))
    for _ in $(seq 1 875); do printf '%s' "$piece"; done | iconv -f UTF-8 -t CP932 >"$LONG/three/line.txt"
fi
corpus_mb=$(awk -v b="$total" 'BEGIN {print b / 1048576}')
per_mb() { awk -v t="$1" -v s="$start_t" -v mb="$2" 'BEGIN {v = (t - s) * 1000 / mb; if (v < 0) v = 0; printf "%.2f", v}'; }
echo
printf '%-36s %8s %6s %6s %10s %12s\n' "10 MB line of partial matches" "seconds" "hits" "ref" "ms per MB" "corpus, 1 core"
LONG_OK=1
long_row() { # label folder dict reference(yes/no) keywords...
    local label=$1 dir=$2 dict=$3 ref=$4
    shift 4
    local flags="-c -d $dir" n=$#
    [ "$dict" = off ] && flags="$flags -E"
    local qcmd="LC_ALL=C.UTF-8 $QG $flags $(q "$@")"
    local t hits ref_hits mb
    t=$(median "$qcmd")
    hits=$(bash -c "$qcmd" 2>/dev/null || true)
    ref_hits="-"
    if [ "$ref" = yes ]; then
        ref_hits=$(bash -c "QUELVRA_GREP_REFERENCE=1 $qcmd" 2>/dev/null || true)
        [ "$ref_hits" = "$hits" ] || ref_hits="$ref_hits DIFFERS"
    fi
    mb=$(awk -v b="$(stat -c %s "$dir/line.txt")" 'BEGIN {print b / 1048576}')
    local line_pm corpus_pm
    line_pm=$(per_mb "$t" "$mb")
    # The corpus on one core, as the line is one file searched by one worker.
    local c1
    c1=$(median "taskset -c 0 env LC_ALL=C.UTF-8 $QG ${flags/-d $dir/-d $CORPUS} $(q "$@")")
    corpus_pm=$(per_mb "$c1" "$corpus_mb")
    awk -v a="$line_pm" -v b="$corpus_pm" 'BEGIN {exit !(a <= b * 1.1 + 0.05)}' || LONG_OK=0
    printf '%-36s %8s %6s %6s %10s %12s\n' "$label" "$t" "$hits" "$ref_hits" "$line_pm" "$corpus_pm"
}
long_row "quelvra dict off, ファイル" "$LONG/one" off yes ファイル
long_row "quelvra dict on, ファイル" "$LONG/one" on yes ファイル
# (The reference routines take the square of the line here: no reference run.)
long_row "quelvra dict off, three keywords" "$LONG/three" off no ファイル 指定 オプション
long_row "quelvra dict on, three keywords" "$LONG/three" on no ファイル 指定 オプション
rgcmd="rg -E shift_jis --no-ignore -c -- $(printf '%q' "$(rg_pattern ファイル 指定 オプション)") $LONG/three"
printf '%-36s %8s %6s\n' "rg, three keywords" "$(median "$rgcmd")" "$( (bash -c "$rgcmd" || true) | sum)"

# ---- a folder of many small notes: what each file costs ----------------------------------------
# 10000 files of 2 KB each (a piece of the man pages from the first line with the keyword).
MANY=$OUT/many
if [ "$(find "$MANY" -name '*.txt' 2>/dev/null | wc -l)" -ne 10000 ]; then
    rm -rf "$MANY"
    mkdir -p "$MANY"
    at=$(LC_ALL=C grep -a -b -m1 -F -- "$(sj ファイル)" "$BASE" | cut -d: -f1)
    head -c $((at + 2048)) "$BASE" | tail -c 2048 >"$MANY/n00000.txt"
    for i in $(seq -w 1 9999); do cp "$MANY/n00000.txt" "$MANY/n0$i.txt"; done
fi
echo
printf '%-28s %10s %8s\n' "10000 files of 2 KB, ファイル" "seconds" "hits"
for dict in off on; do
    flags="-c -d $MANY"
    [ $dict = off ] && flags="$flags -E"
    qcmd="LC_ALL=C.UTF-8 $QG $flags $(q ファイル)"
    printf '%-28s %10s %8s\n' "quelvra dict $dict" "$(median "$qcmd")" "$(bash -c "$qcmd" 2>/dev/null || true)"
done
rgcmd="rg -E shift_jis --no-ignore -c --no-filename -- ファイル $MANY"
printf '%-28s %10s %8s\n' "rg" "$(median "$rgcmd")" "$( (bash -c "$rgcmd" || true) | awk '{s += $1} END {print s + 0}')"
gcmd="cd $MANY && LC_ALL=C grep -F -c -h -- $(printf '%q' "$(sj ファイル)") *.txt >$OUT/many.out"
printf '%-28s %10s %8s\n' "grep -F" "$(median "$gcmd")" "$(bash -c "$gcmd"; awk '{s += $1} END {print s + 0}' $OUT/many.out)"

# ---- compile time: three ten-character keywords, dictionary on ------------------------------
echo
COMPILE=$("$BUILD/bin/compile_bench" 9)
echo "$COMPILE"
compile_ms=$(printf '%s' "$COMPILE" | sed -n 's/.*dictionary on: \([0-9.]*\) ms.*/\1/p')

# ---- targets --------------------------------------------------------------------------------
verdict() { awk "BEGIN {exit !($1)}" && echo met || echo MISSED; }
echo
echo "targets (program start, $start_t s, included in every time above):"
echo "  one keyword, dict off, >= 3x faster than rg:      rg/q = $(awk -v a="$RG1" -v b="${QT[off 1]}" 'BEGIN {printf "%.1f", a / b}')  $(verdict "$RG1 >= 3 * ${QT[off 1]}")"
echo "  one keyword, dict off, within 3x of grep -F:      q/grep = $(awk -v a="${QT[off 1]}" -v b="$G1" 'BEGIN {printf "%.1f", a / b}')  $(verdict "${QT[off 1]} <= 3 * $G1")"
echo "  one keyword, dict on, faster than rg one keyword: $(verdict "${QT[on 1]} < $RG1")"
echo "  three keywords, dict on, faster than rg one kw:   $(verdict "${QT[on 3]} < $RG1")"
echo "  10 MB line no slower per byte than the corpus:    $([ $LONG_OK = 1 ] && echo met || echo MISSED)"
echo "  compile under 50 ms:                              $(verdict "$compile_ms < 50")"
echo
echo "Median of $RUNS runs, wall seconds. rg and grep search exactly (they have no equivalence"
echo "dictionary): their times are the reference for both quelvra rows. Ratios: quelvra / other."
