#!/usr/bin/env bash
# Times quelvra-grep on UTF-8 notes beside ripgrep on the very same text, and on their
# Shift-JIS twins beside an earlier build: a folder of Japanese man pages (prose) and one note of
# short dense dictionary lines (the IPA dictionary's word list from mecab-ipadic). Every search
# runs with the dictionary off and on; rg (UTF-8, its default) is given the pattern quelvra-grep
# compiles (`quelvra-grep --pattern`), so both look for the same lines. Hit counts are checked
# against quelvra's reference routines and against the Shift-JIS twins'.
#
#   bench/utf8_bench.sh [RUNS]      (default 5 runs per command)
#
# QUELVRA_BENCH_BEFORE=/path/to/an/older/quelvra-grep times that build on the Shift-JIS twins in
# the same runs (without it, the Shift-JIS column of the new build stands alone).
#
# Targets: on UTF-8, every search at least as fast as rg with the same pattern, and those with the
# dictionary on at least twice as fast; on Shift-JIS, no slower than the earlier build (5% slack
# for noise).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/bench/out/utf8
BUILD=$ROOT/build-bench
RUNS=${1:-5}
BEFORE=${QUELVRA_BENCH_BEFORE:-}

missing=()
command -v rg >/dev/null || missing+=(ripgrep)
command -v iconv >/dev/null || missing+=(libc-bin)
[ -n "$(find /usr/share/mecab/dic/ipadic -name '*.csv' -print -quit 2>/dev/null)" ] ||
    missing+=(mecab-ipadic)
[ -d /usr/share/man/ja ] && [ -n "$(find /usr/share/man/ja -name '*.gz' -print -quit)" ] ||
    missing+=(manpages-ja)
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}" >&2
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# ---- corpora: UTF-8 text that code page 932 can hold, and its Shift-JIS twin ----------------
# (Each text goes through Shift-JIS once, so that both forms hold the same characters.)
mkdir -p "$OUT/man-utf8" "$OUT/man-sjis" "$OUT/dic-utf8" "$OUT/dic-sjis"
if [ ! -s "$OUT/man.sjis" ]; then
    find /usr/share/man/ja -name '*.gz' -print0 | sort -z | xargs -0 zcat |
        iconv -f UTF-8 -t CP932 -c >"$OUT/man.sjis" || true
fi
if [ ! -s "$OUT/dic.sjis" ]; then
    cat /usr/share/mecab/dic/ipadic/*.csv | iconv -f EUC-JP -t CP932 -c >"$OUT/dic.sjis" || true
fi
# As many copies as make 50 MB of Shift-JIS, one note each: a folder, as the window searches.
copies=$(((50 * 1024 * 1024 + $(stat -c %s "$OUT/man.sjis") - 1) / $(stat -c %s "$OUT/man.sjis")))
if [ "$(ls "$OUT/man-utf8" | wc -l)" -ne "$copies" ]; then
    rm -f "$OUT"/man-utf8/*.txt "$OUT"/man-sjis/*.txt
    iconv -f CP932 -t UTF-8 "$OUT/man.sjis" >"$OUT/man.utf8"
    for i in $(seq -w 1 "$copies"); do
        cp "$OUT/man.sjis" "$OUT/man-sjis/man$i.txt"
        cp "$OUT/man.utf8" "$OUT/man-utf8/man$i.txt"
    done
fi
if [ ! -s "$OUT/dic-utf8/dic.txt" ]; then
    for _ in 1 2 3; do cat "$OUT/dic.sjis"; done >"$OUT/dic-sjis/dic.txt"
    iconv -f CP932 -t UTF-8 "$OUT/dic-sjis/dic.txt" >"$OUT/dic-utf8/dic.txt"
fi
mb() { du -sm "$1" | cut -f1; }

# ---- quelvra-grep, Release ------------------------------------------------------------------
LAUNCHER=""
command -v ccache >/dev/null && LAUNCHER=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF $LAUNCHER >/dev/null
cmake --build "$BUILD" -j2 --target quelvra-grep >/dev/null
QG=$BUILD/bin/quelvra-grep
echo "command: bench/utf8_bench.sh $RUNS ($(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))"

# Median wall seconds of RUNS runs of a shell command (output to a file, not /dev/null).
median() {
    local i s e times=()
    for ((i = 0; i < RUNS; i++)); do
        s=$(date +%s%N)
        bash -c "$1" >"$OUT/timing.out" 2>&1 || true
        e=$(date +%s%N)
        times+=($(((e - s) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n |
        awk '{a[NR]=$1} END {m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.3f", m / 1e6}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
q() { printf '%q ' "$@"; }

SEARCHES=(
    "ファイル"
    "データ"
    "東京"
    "ＯＳ"
    "表示|する"
    "ファイル|指定|オプション"
    "名詞|一般|データ"
)

T_RG=met T_RG2=met T_BEFORE=met T_SAME=met MISSES=""
run_corpus() { # label utf8-folder sjis-folder
    local label=$1 u=$2 s=$3 search kws dict
    echo
    echo "== $label =="
    printf '%-4s %-24s %8s %8s %8s %8s %7s %8s %8s %8s %7s\n' dict keywords "q utf8" hits \
        "rg utf8" "rg hits" "rg/q" "q sjis" "hits" before "q/bef"
    for search in "${SEARCHES[@]}"; do
        IFS='|' read -r -a kws <<<"$search"
        for dict in off on; do
            local flags="-c" exact=""
            [ $dict = off ] && flags="-c -E" exact=-E
            local qu="LC_ALL=C.UTF-8 $QG $flags -d $u $(q "${kws[@]}")"
            local qs="LC_ALL=C.UTF-8 $QG $flags -d $s $(q "${kws[@]}")"
            local pat rgcmd
            pat=$(LC_ALL=C.UTF-8 $QG --pattern $exact "${kws[@]}")
            rgcmd="rg --no-ignore --hidden -c --no-filename -- $(printf '%q' "$pat") $u"
            local hu hs href rgh
            hu=$(bash -c "$qu" 2>/dev/null || true)
            hs=$(bash -c "$qs" 2>/dev/null || true)
            href=$(bash -c "QUELVRA_GREP_REFERENCE=1 $qu" 2>/dev/null || true)
            rgh=$( (bash -c "$rgcmd" || true) | awk '{s += $1} END {print s + 0}')
            if [ "$hu" != "$hs" ] || [ "$hu" != "$href" ]; then
                T_SAME=MISSED
                hu="$hu!"
            fi
            local tu ts tr tb=- qb=-
            tu=$(median "$qu")
            tr=$(median "$rgcmd")
            ts=$(median "$qs")
            if [ -n "$BEFORE" ]; then
                tb=$(median "LC_ALL=C.UTF-8 $BEFORE $flags -d $s $(q "${kws[@]}")")
                qb=$(ratio "$ts" "$tb")
                awk -v a="$qb" 'BEGIN {exit !(a <= 1.05)}' ||
                    { T_BEFORE=MISSED; MISSES="$MISSES [$label $dict ${kws[*]}: sjis ${qb}x before]"; }
            fi
            local r
            r=$(ratio "$tr" "$tu")
            awk -v a="$r" 'BEGIN {exit !(a >= 1)}' ||
                { T_RG=MISSED; MISSES="$MISSES [$label $dict ${kws[*]}: rg/q ${r}]"; }
            if [ $dict = on ]; then
                awk -v a="$r" 'BEGIN {exit !(a >= 2)}' ||
                    { T_RG2=MISSED; MISSES="$MISSES [$label on ${kws[*]}: rg/q ${r} < 2]"; }
            fi
            printf '%-4s %-24s %8s %8s %8s %8s %7s %8s %8s %8s %7s\n' $dict "${kws[*]}" "$tu" \
                "$hu" "$tr" "$rgh" "$r" "$ts" "$hs" "$tb" "$qb"
        done
    done
}
run_corpus "man pages, $(mb "$OUT/man-utf8") MB of UTF-8 in $copies notes" "$OUT/man-utf8" "$OUT/man-sjis"
run_corpus "dictionary lines, $(mb "$OUT/dic-utf8") MB of UTF-8 in one note" "$OUT/dic-utf8" "$OUT/dic-sjis"

echo
echo "targets:"
echo "  same hits on UTF-8, on Shift-JIS and by the reference routines:  $T_SAME"
echo "  UTF-8: every search at least as fast as rg (same pattern):       $T_RG"
echo "  UTF-8: dictionary on at least twice as fast as rg:               $T_RG2"
if [ -n "$BEFORE" ]; then
    echo "  Shift-JIS no slower than the earlier build (5% slack):           $T_BEFORE"
else
    echo "  Shift-JIS against an earlier build:                              (QUELVRA_BENCH_BEFORE not given)"
fi
[ -n "$MISSES" ] && echo "  missed:$MISSES"
echo
echo "Median of $RUNS runs, wall seconds. rg/q: how many times faster quelvra is on UTF-8; hits"
echo "marked ! differ between UTF-8, Shift-JIS or the reference routines. rg's hits may differ"
echo "from quelvra's where rg's '.' takes a line's CR or its case rules differ."
