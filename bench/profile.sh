#!/usr/bin/env bash
# Where parcelo's time goes, on one generated mailbox (default 32 MiB):
# system calls per message (strace -c), peak RSS (/usr/bin/time), a sampled
# profile of user and kernel code (perf, cpu-clock) and exact instruction
# counts of our own code (valgrind --tool=callgrind), each with /n and with
# subject names.
#
#   bench/profile.sh [SIZE] [BINARY]      e.g. bench/profile.sh 32M
#
# Reports go to $PARCELO_BENCH_DIR/profile-SIZE/ (default /tmp/parcelo-bench).
set -euo pipefail

SIZE=${1:-32M}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
BIN=${2:-${PARCELO_NATIVE:-$ROOT/build/release/parcelo}}
WORK=${PARCELO_BENCH_DIR:-/tmp/parcelo-bench}
BOX="$WORK/cache/box-$SIZE.mbox"
REP="$WORK/profile-$SIZE"
OUT="$REP/out"

# The measuring tools, for the benchmark only (CI does not need them).
# shellcheck source=../tools/packages.sh
source "$ROOT/tools/packages.sh"
install_missing time strace valgrind linux-perf >&2 || exit 2

mkdir -p "$WORK/cache" "$REP" "$WORK/tmp"
[[ -s "$BOX.meta" ]] || /usr/bin/python3 "$HERE/generate_mailbox.py" "$SIZE" "$BOX" >&2
MESSAGES=$(sed -n 's/^boundaries=//p' "$BOX.meta")
BYTES=$(sed -n 's/^bytes=//p' "$BOX.meta")
export TMPDIR=$WORK/tmp
rm -rf "$OUT"
cat "$BOX" >/dev/null

step=0
next_out() { step=$((step + 1)); dir=$(printf '%s/%02d' "$OUT" "$step"); }

for mode in n subject; do
    args=(/p)
    [[ $mode == n ]] && args=(/n /p)

    next_out
    /usr/bin/time -f '%e s wall, %U s user, %S s sys, %M KiB peak RSS' -o "$REP/time-$mode.txt" \
        "$BIN" "$BOX" "$dir" "${args[@]}" >/dev/null 2>&1
    echo "== $mode: $(cat "$REP/time-$mode.txt")"

    next_out
    env -u TZ strace -f -c -o "$REP/strace-$mode.txt" "$BIN" "$BOX" "$dir" "${args[@]}" >/dev/null 2>&1
    echo "== $mode: system calls per message ($MESSAGES messages)"
    awk -v n="$MESSAGES" '$1 ~ /^[0-9.]+$/ && NF >= 5 {
            name = $NF; calls = $4
            if (calls ~ /^[0-9]+$/) printf "  %-16s %9d calls  %6.2f per message\n", name, calls, calls / n
        }' "$REP/strace-$mode.txt" | sort -k2 -n -r >"$REP/strace-summary-$mode.txt"
    sed -n 1,15p "$REP/strace-summary-$mode.txt"

    next_out
    if perf record -q -e cpu-clock -g -o "$REP/perf-$mode.data" -- \
        "$BIN" "$BOX" "$dir" "${args[@]}" >/dev/null 2>&1; then
        perf report -i "$REP/perf-$mode.data" --stdio --no-children -g none --sort dso,symbol \
            >"$REP/perf-report-$mode.txt" 2>/dev/null || true
        grep -E '^ +[0-9]' "$REP/perf-report-$mode.txt" >"$REP/perf-$mode.txt" || true
        echo "== $mode: perf, top self time"
        sed -n 1,20p "$REP/perf-$mode.txt"
    fi

    next_out
    env -u TZ valgrind --tool=callgrind --callgrind-out-file="$REP/callgrind-$mode.out" \
        "$BIN" "$BOX" "$dir" "${args[@]}" >/dev/null 2>"$REP/valgrind-$mode.log"
    callgrind_annotate --inclusive=no "$REP/callgrind-$mode.out" >"$REP/callgrind-$mode.txt" 2>/dev/null || true
    callgrind_annotate --inclusive=yes "$REP/callgrind-$mode.out" >"$REP/callgrind-incl-$mode.txt" 2>/dev/null || true
    total=$(grep -m1 -E 'PROGRAM TOTALS' "$REP/callgrind-$mode.txt" | awk '{gsub(",", "", $1); print $1}')
    echo "== $mode: callgrind, $total instructions = $((total / MESSAGES)) per message, $(awk -v t="$total" -v b="$BYTES" 'BEGIN { printf "%.1f", t / b }') per byte"
    awk '/file:function/ { on = 1; skip = 1; next } on && skip { skip = 0; next } on && NF' \
        "$REP/callgrind-$mode.txt" | sed -n 1,20p
done
# Peak RSS where lines are long or few (LONG_MB MiB each, default 1024, 0 skips): one body
# line of that size, and a file of that size whose lines end in CR only. Body lines longer
# than the reader's buffer go out in pieces, so both stay flat, far below the size.
LONG_MB=${LONG_MB:-1024}
if ((LONG_MB > 0)); then
    LONG="$WORK/cache/long-line-${LONG_MB}M.mbox"
    CR_ONLY="$WORK/cache/cr-only-${LONG_MB}M.mbox"
    header() {
        printf 'From a@example.org Mon Jan  1 00:00:00 2024%sDate: Mon, 1 Jan 2024 10:00:00 +0000%s' "$1" "$1"
        printf 'From: a@example.org%sSubject: long%s%s' "$1" "$1" "$1"
    }
    if [[ ! -s $LONG ]]; then
        { header $'\n'; head -c "$((LONG_MB * 1048576))" /dev/zero | tr '\0' x; printf '\nend\n'; } >"$LONG"
    fi
    if [[ ! -s $CR_ONLY ]]; then
        # (yes through a process substitution: its broken pipe must not end the script)
        { header $'\r'; head -c "$((LONG_MB * 1048576))" < <(yes 'a body line of a mailbox written with CR line ends only') |
            tr '\n' '\r'; } >"$CR_ONLY"
    fi
    for case in long-line cr-only; do
        box=$LONG
        [[ $case == cr-only ]] && box=$CR_ONLY
        next_out
        /usr/bin/time -f '%M %e' -o "$REP/time-$case.txt" "$BIN" "$box" "$dir" /n /p >/dev/null 2>&1
        read -r rss wall <"$REP/time-$case.txt"
        echo "== $case, $LONG_MB MiB: $rss KiB peak RSS ($(awk -v r="$rss" 'BEGIN { printf "%.1f", r / 1024 }') MiB), ${wall} s"
        rm -rf "$dir"
    done
fi
echo "(reports in $REP)"
rm -rf "$OUT"
