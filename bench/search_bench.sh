#!/usr/bin/env bash
# Times quelvra-grep against ripgrep (-E shift_jis) and grep -F on two Shift-JIS corpora: a folder
# of Japanese man pages (prose) and one note of about 90 MB of short dense dictionary lines (the
# IPA dictionary's word list from mecab-ipadic, converted from EUC-JP). Keywords in kana, kanji,
# full-width letters and mixed, one to three of them, with and without the dictionary; rg runs
# the very pattern quelvra-grep compiles (composed and widened, from `quelvra-grep --pattern`)
# and also one plain keyword. Prints median wall times, hit counts (checked against quelvra's
# reference routines, QUELVRA_GREP_REFERENCE=1), peak resident memory of every quelvra run,
# then a 10 MB line of partial matches, a folder of 10000 small notes, a 1 GB note, the compile
# time of three long keywords, and whether each target is met.
#
#   bench/search_bench.sh [RUNS]      (default 5 runs per command)
#
# With QUELVRA_BENCH_BEFORE=/path/to/an/older/quelvra-grep the same searches are also timed with
# that program, in the same runs, for a "before" column.
#
# Everything it makes goes under bench/out/ (corpora) and build-bench/ (a Release build).
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
[ -x /usr/bin/time ] || missing+=(time)
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

# ---- corpus: the IPA dictionary's word list in code page 932, one note of about 90 MB ---------
# Short lines dense in kana and kanji ("データ,1285,1285,...,名詞,一般,...,データ,データ").
DIC=$OUT/dic
DIC_BASE=$OUT/ipadic.sjis
if [ ! -s "$DIC_BASE" ]; then
    cat /usr/share/mecab/dic/ipadic/*.csv | iconv -f EUC-JP -t CP932 -c >"$DIC_BASE" || true
fi
if [ ! -s "$DIC/dic.txt" ] || [ "$(stat -c %s "$DIC/dic.txt")" -lt $((85 * 1024 * 1024)) ]; then
    mkdir -p "$DIC"
    for _ in 1 2 3; do cat "$DIC_BASE"; done >"$DIC/dic.txt"
fi
dic_total=$(stat -c %s "$DIC/dic.txt")
echo "corpus: $DIC, 1 file, $((dic_total / 1024 / 1024)) MB, $(wc -l <"$DIC/dic.txt") lines" >&2

# ---- quelvra-grep, Release ------------------------------------------------------------------
LAUNCHER=""
command -v ccache >/dev/null && LAUNCHER=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF $LAUNCHER >/dev/null
cmake --build "$BUILD" -j2 --target quelvra-grep compile_bench >/dev/null
QG=$BUILD/bin/quelvra-grep
BEFORE=${QUELVRA_BENCH_BEFORE:-}
echo "command: bench/search_bench.sh $RUNS ($(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))"

# ---- timing ---------------------------------------------------------------------------------
# Median wall seconds of RUNS runs of a shell command (output discarded).
median() {
    local cmd=$1 times=() cpus=() i s e
    for ((i = 0; i < RUNS; i++)); do
        s=$(date +%s%N)
        # (To a file, not /dev/null: GNU grep stops at the first match when its output is
        # /dev/null, even with -c.)
        /usr/bin/time -f '%U %S' -o "$OUT/cpu.out" bash -c "$cmd" >"$OUT/timing.out" 2>&1 || true
        e=$(date +%s%N)
        times+=($(((e - s) / 1000)))
        cpus+=($(tail -n 1 "$OUT/cpu.out" | awk '{printf "%d", ($1 + $2) * 1e6}'))
    done
    local mid='{a[NR]=$1} END {m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.3f", m / 1e6 }'
    # The processor time (user and system) of the same runs, for cpu_of_last.
    printf '%s\n' "${cpus[@]}" | sort -n | awk "$mid" >"$OUT/median_cpu"
    printf '%s\n' "${times[@]}" | sort -n | awk "$mid"
}
# The median processor seconds of the last median's runs: steadier than wall time on a busy
# machine (rg searches a folder on several threads, so its processor time can exceed its wall).
cpu_of_last() { cat "$OUT/median_cpu"; }

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
grep_cmd() { # folder keywords...
    local dir=$1 i=0 cmd="" k
    shift
    for k in "$@"; do
        i=$((i + 1))
        local c=""
        [ $i -eq $# ] && c="-c"
        if [ $i -eq 1 ]; then
            cmd="LC_ALL=C grep -F $c -h -- $(printf '%q' "$(sj "$k")") $dir/*.txt"
        else
            cmd="$cmd | LC_ALL=C grep -F $c -- $(printf '%q' "$(sj "$k")")"
        fi
    done
    printf '%s' "$cmd"
}
sum() { awk '{s += $1} END {print s + 0}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

q() { printf '%q ' "$@"; }

# Peak resident memory (MB) of one run of a shell command.
peak_mb() {
    /usr/bin/time -f %M -o "$OUT/time.out" bash -c "$1" >/dev/null 2>&1 || true
    tail -n 1 "$OUT/time.out" | awk '{printf "%.1f", $1 / 1024}'
}

# Keywords: katakana, kanji, full-width letters, mixed two, three.
SEARCHES=(
    "ファイル"
    "データ"
    "東京"
    "ＯＳ"
    "表示|する"
    "ファイル|指定|オプション"
    "名詞|一般|データ"
)

# The program's start alone: an empty folder and a one-letter keyword.
EMPTY=$OUT/empty
mkdir -p "$EMPTY"
start_t=$(median "LC_ALL=C.UTF-8 $QG -c -d $EMPTY -E a")

# Targets over every row: quelvra at least 3x faster than rg with the same pattern, faster than
# rg with one plain keyword; one keyword with the dictionary off within 1.5x of grep -F; memory
# of every search under 32 MB.
T_RG3=met T_RG1=met T_GREP=met T_MEM=met T_SAME=met
WORST_RG3="" WORST_RG1="" WORST_GREP="" MAX_MEM=0
run_corpus() { # label folder
    local label=$1 dir=$2 search kws rg1cmd rg1_t rg1_hits g_t g_hits dict
    echo
    echo "== $label =="
    printf '%-4s %-24s %8s %6s %8s %8s %7s %8s %6s %8s %8s %8s %8s %7s %7s %7s %7s %8s\n' "dict" \
        "keywords" "quelvra" "cpu" "hits" "ref" "MB" "rg same" "cpu" "hits" "rg 1kw" "grep -F" \
        "hits" "rg/q" "cpu" "rg1/q" "q/grep" "before"
    for search in "${SEARCHES[@]}"; do
        IFS='|' read -r -a kws <<<"$search"
        # rg on the first keyword alone, plain: what a one-keyword search costs it at best.
        rg1cmd="rg -E shift_jis --no-ignore --hidden -c --no-filename -- $(printf '%q' "${kws[0]}") $dir"
        rg1_t=$(median "$rg1cmd")
        g_t="-" g_hits="-"
        if [ ${#kws[@]} -eq 1 ]; then
            local gcmd
            gcmd=$(grep_cmd "$dir" "${kws[@]}")
            g_hits=$( (bash -c "$gcmd" || true) | sum)
            g_t=$(median "$gcmd")
        fi
        for dict in off on; do
            local flags="-c -d $dir" qcmd q_t q_cpu q_hits ref_hits mem pat rgcmd rg_t rg_cpu rg_hits
            [ $dict = off ] && flags="$flags -E"
            qcmd="LC_ALL=C.UTF-8 $QG $flags $(q "${kws[@]}")"
            q_hits=$(bash -c "$qcmd" 2>/dev/null || true)
            ref_hits=$(bash -c "QUELVRA_GREP_REFERENCE=1 $qcmd" 2>/dev/null || true)
            [ "$ref_hits" = "$q_hits" ] || ref_hits="$ref_hits DIFFERS"
            q_t=$(median "$qcmd")
            q_cpu=$(cpu_of_last)
            mem=$(peak_mb "$qcmd")
            local before_t=-
            [ -n "$BEFORE" ] && before_t=$(median "LC_ALL=C.UTF-8 $BEFORE $flags $(q "${kws[@]}")")
            # The pattern quelvra compiles, composed and (dictionary on) widened, for rg.
            local exact=""
            [ $dict = off ] && exact=-E
            pat=$(LC_ALL=C.UTF-8 $QG --pattern $exact "${kws[@]}")
            rgcmd="rg -E shift_jis --no-ignore --hidden -c --no-filename -- $(printf '%q' "$pat") $dir"
            rg_hits=$( (bash -c "$rgcmd" || true) | sum)
            rg_t=$(median "$rgcmd")
            rg_cpu=$(cpu_of_last)
            local r3 r1 rg=- r3cpu
            r3cpu=$(awk -v a="$rg_cpu" -v b="$q_cpu" 'BEGIN {printf "%.2f", a / (b > 0 ? b : 0.001)}')
            r3=$(ratio "$rg_t" "$q_t")
            r1=$(ratio "$rg1_t" "$q_t")
            awk -v a="$r3" 'BEGIN {exit !(a >= 3)}' || { T_RG3=MISSED; WORST_RG3="$WORST_RG3 [$label $dict ${kws[*]}: ${r3}x]"; }
            awk -v a="$r1" 'BEGIN {exit !(a > 1)}' || { T_RG1=MISSED; WORST_RG1="$WORST_RG1 [$label $dict ${kws[*]}: ${r1}x]"; }
            awk -v a="$mem" 'BEGIN {exit !(a < 32)}' || T_MEM=MISSED
            MAX_MEM=$(awk -v a="$mem" -v b="$MAX_MEM" 'BEGIN {print (a > b) ? a : b}')
            [ "$ref_hits" = "$q_hits" ] || T_SAME=MISSED
            if [ "$g_t" != "-" ]; then
                rg=$(ratio "$q_t" "$g_t")
                if [ $dict = off ]; then
                    awk -v a="$rg" 'BEGIN {exit !(a <= 1.5)}' || { T_GREP=MISSED; WORST_GREP="$WORST_GREP [$label ${kws[*]}: ${rg}x]"; }
                fi
            fi
            printf '%-4s %-24s %8s %6s %8s %8s %7s %8s %6s %8s %8s %8s %8s %7s %7s %7s %7s %8s\n' "$dict" \
                "${kws[*]}" "$q_t" "$q_cpu" "$q_hits" "$ref_hits" "$mem" "$rg_t" "$rg_cpu" "$rg_hits" \
                "$rg1_t" "$g_t" "$g_hits" "$r3" "$r3cpu" "$r1" "$rg" "$before_t"
        done
    done
}
run_corpus "man pages, $((total / 1024 / 1024)) MB in $(ls "$CORPUS" | wc -l) files" "$CORPUS"
run_corpus "dictionary lines, $((dic_total / 1024 / 1024)) MB in one note" "$DIC"

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
printf '%-28s %10s %8s %8s\n' "10000 files of 2 KB, ファイル" "seconds" "hits" "MB"
declare -A MT
for dict in off on; do
    flags="-c -d $MANY"
    [ $dict = off ] && flags="$flags -E"
    qcmd="LC_ALL=C.UTF-8 $QG $flags $(q ファイル)"
    MT[$dict]=$(median "$qcmd")
    printf '%-28s %10s %8s %8s\n' "quelvra dict $dict" "${MT[$dict]}" "$(bash -c "$qcmd" 2>/dev/null || true)" "$(peak_mb "$qcmd")"
    if [ -n "$BEFORE" ]; then
        bcmd="LC_ALL=C.UTF-8 $BEFORE $flags $(q ファイル)"
        printf '%-28s %10s %8s\n' "before, dict $dict" "$(median "$bcmd")" "$(bash -c "$bcmd" 2>/dev/null || true)"
    fi
done
rgcmd="rg -E shift_jis --no-ignore -c --no-filename -- ファイル $MANY"
MANY_RG=$(median "$rgcmd")
printf '%-28s %10s %8s\n' "rg" "$MANY_RG" "$( (bash -c "$rgcmd" || true) | awk '{s += $1} END {print s + 0}')"
gcmd="cd $MANY && LC_ALL=C grep -F -c -h -- $(printf '%q' "$(sj ファイル)") *.txt >$OUT/many.out"
MANY_G=$(median "$gcmd")
printf '%-28s %10s %8s\n' "grep -F" "$MANY_G" "$(bash -c "$gcmd"; awk '{s += $1} END {print s + 0}' $OUT/many.out)"

# ---- a 1 GB note: the dictionary lines eleven times over ------------------------------------
BIG=$OUT/big
if [ ! -s "$BIG/big.txt" ] || [ "$(stat -c %s "$BIG/big.txt")" -lt $((1000 * 1000 * 1000)) ]; then
    mkdir -p "$BIG"
    for _ in $(seq 1 11); do cat "$DIC/dic.txt"; done | head -c $((1024 * 1024 * 1024)) >"$BIG/big.txt"
fi
echo
printf '%-36s %10s %8s %8s\n' "a 1 GB note of dictionary lines" "seconds" "hits" "MB"
BIG_MEM=0
big_row() { # label command
    local t hits mem
    t=$(median "$2")
    hits=$( (bash -c "$2" 2>/dev/null || true) | sum)
    mem=$(peak_mb "$2")
    printf '%-36s %10s %8s %8s\n' "$1" "$t" "$hits" "$mem"
    BIG_MEM=$(awk -v a="$mem" -v b="$BIG_MEM" 'BEGIN {print (a > b) ? a : b}')
}
big_row "quelvra dict off, データ" "LC_ALL=C.UTF-8 $QG -c -E -d $BIG データ"
big_row "quelvra dict on, データ" "LC_ALL=C.UTF-8 $QG -c -d $BIG データ"
big_row "quelvra dict on, 名詞 一般 データ" "LC_ALL=C.UTF-8 $QG -c -d $BIG 名詞 一般 データ"
QBIG_MEM=$BIG_MEM
[ -n "$BEFORE" ] && big_row "before, dict on, 名詞 一般 データ" "LC_ALL=C.UTF-8 $BEFORE -c -d $BIG 名詞 一般 データ"
big_row "rg, データ" "rg -E shift_jis --no-ignore -c --no-filename -- データ $BIG"

# ---- compile time: three ten-character keywords, dictionary on ------------------------------
echo
COMPILE=$("$BUILD/bin/compile_bench" 9)
echo "$COMPILE"
compile_ms=$(printf '%s\n' "$COMPILE" | sed -n '/^compile,/ s/.*dictionary on: \([0-9.]*\) ms.*/\1/p' | head -n 1)

# ---- targets --------------------------------------------------------------------------------
verdict() { awk "BEGIN {exit !($1)}" && echo met || echo MISSED; }
echo
echo "targets (program start, $start_t s, included in every time above):"
echo "  same hits as the reference routines, every row:           $T_SAME"
echo "  every search >= 3x faster than rg with the same pattern:  $T_RG3"
[ -n "$WORST_RG3" ] && echo "      missed:$WORST_RG3"
echo "  every search faster than rg on one plain keyword:         $T_RG1"
[ -n "$WORST_RG1" ] && echo "      missed:$WORST_RG1"
echo "  one keyword, dict off, within 1.5x of LC_ALL=C grep -F:   $T_GREP"
[ -n "$WORST_GREP" ] && echo "      missed:$WORST_GREP"
echo "  peak memory of every corpus search under 32 MB:           $T_MEM (largest $MAX_MEM MB)"
echo "  1 GB note searched in under 32 MB:                        $(verdict "$QBIG_MEM < 32") ($QBIG_MEM MB)"
echo "  10000 small notes faster than rg and grep -F:             $(verdict "${MT[on]} < $MANY_RG && ${MT[on]} < $MANY_G && ${MT[off]} < $MANY_RG && ${MT[off]} < $MANY_G")"
echo "  10 MB line no slower per byte than the corpus:            $([ $LONG_OK = 1 ] && echo met || echo MISSED)"
echo "  compile under 50 ms:                                      $(verdict "$compile_ms < 50")"
echo "  (the window's time, button to summary, is measured by the result pane's benchmark)"
echo
echo "Median of $RUNS runs, wall seconds; MB: peak resident memory of one run. rg same: rg with"
echo "the pattern quelvra compiles (composed, and widened when the dictionary is on); rg 1kw: rg"
echo "with the first keyword alone. cpu: median processor seconds (user and system) of the same"
echo "runs. rg/q and rg1/q: how many times faster quelvra is (wall; the cpu column beside rg/q is"
echo "the same ratio in processor time); q/grep: quelvra's time over grep -F's (one keyword);"
echo "before: the program of QUELVRA_BENCH_BEFORE, when given."
echo "Targets are judged on wall time."
