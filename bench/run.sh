#!/usr/bin/env bash
# Times parcelo against the floors and peer splitters on one generated mbox.
#
#   bench/run.sh SIZE [REPS]        e.g. bench/run.sh 256M 5, bench/run.sh 1G 3
#
# Environment: PARCELO_BENCH_DIR (work folder, default /tmp/parcelo-bench),
# PARCELO_NATIVE and PARCELO_EXE (the binaries, default build/release/parcelo
# and build/windows-release/parcelo.exe), BENCH_TOOLS (a subset of the tool
# names below), BENCH_KEEP=1 (keep the output trees), BENCH_SLOW_REPS=N (run
# formail and the Wine rows in the first N repetitions only; default REPS),
# BENCH_TMPFS=1 (write the output trees to a tmpfs, so that the disk adds no
# noise; each tree is deleted right after its run), BENCH_IPB_SIZE (mailbox
# for the instructions-per-byte column, counted once per tool by callgrind
# with TZ unset; default 16M, 0 leaves the column out). The rows native-crlf
# (the same mailbox with every LF written as CR LF, as on Windows) and
# native-filtered (/MinDate=2099-1-1: every message read and skipped) are
# parcelo native with /n. Rows ending in -1w or -2w (native-n-1w, native-subject-2w, ...)
# run parcelo with that many writer threads ([Mailboxes] Writers in a settings folder
# of their own); the other native rows with the default (one per processor, at most 8).
#
# On a disk, file creation may be slow for minutes after many files were
# deleted, so there the output trees of all repetitions stay until every
# timing is done. The tools are interleaved within each repetition, and only
# ratios measured in one run should be compared. Beside the table goes a
# chart (PNG, MiB/s per tool).
set -euo pipefail

SIZE=${1:?usage: bench/run.sh SIZE [REPS]  (SIZE e.g. 256M or 1G)}
REPS=${2:-3}
SLOW_REPS=${BENCH_SLOW_REPS:-$REPS}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
WORK=${PARCELO_BENCH_DIR:-/tmp/parcelo-bench}
NATIVE=${PARCELO_NATIVE:-$ROOT/build/release/parcelo}
WINEXE=${PARCELO_EXE:-$ROOT/build/windows-release/parcelo.exe}
TMPFS=${BENCH_TMPFS:-0}
IPB_SIZE=${BENCH_IPB_SIZE:-16M}
ALL_TOOLS="read floor git formail python native-n native-n-1w native-n-2w native-subject native-subject-1w native-subject-2w native-crlf native-filtered wine-n wine-subject"
TOOLS=${BENCH_TOOLS:-$ALL_TOOLS}
PY=/usr/bin/python3
WINE=/usr/lib/wine/wine64

wants_wine() { [[ " $TOOLS " == *" wine-"* ]]; }

# parcelo.exe opens a window: give the whole run one X display.
if wants_wine && [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

# The peers and the measuring tools, for the benchmark only (CI does not need them).
# shellcheck source=../tools/packages.sh
source "$ROOT/tools/packages.sh"
install_missing procmail git time valgrind gnuplot-nox xvfb >&2 || exit 2

mkdir -p "$WORK/cache" "$WORK/bin" "$WORK/tmp"
BOX="$WORK/cache/box-$SIZE.mbox"
if [[ ! -s "$BOX" || ! -s "$BOX.meta" ]]; then
    echo "generating $BOX ..." >&2
    "$PY" "$HERE/generate_mailbox.py" "$SIZE" "$BOX" >&2
fi
if ! grep -q '^lines=' "$BOX.meta"; then
    echo "lines=$(wc -l <"$BOX")" >>"$BOX.meta"
fi
# The same mailbox as Windows writes it; made only when a row needs it.
crlf_copy() {  # mailbox -> its CR LF copy
    local copy="${1%.mbox}-crlf.mbox"
    [[ -s "$copy" && "$copy" -nt "$1" ]] || sed 's/$/\r/' "$1" >"$copy"
    printf '%s' "$copy"
}
meta() { sed -n "s/^$1=//p" "$BOX.meta"; }
BYTES=$(meta bytes)
LINES=$(meta lines)
EXPECTED=$(meta boundaries)

build_c() {  # name, extra flags
    local src="$HERE/$1.c" bin="$WORK/bin/$1"
    if [[ ! -x "$bin" || "$src" -nt "$bin" ]]; then
        gcc -O2 -Wall -Wextra $2 -o "$bin" "$src"
    fi
}
build_c floor_split ""
build_c formail_sink "-static"

if [[ " $TOOLS " == *" native-"* && ! -x "$NATIVE" ]]; then
    echo "no $NATIVE: cmake --preset release && cmake --build --preset release -j2" >&2
    exit 2
fi
if wants_wine; then
    if [[ ! -f "$WINEXE" ]]; then
        echo "no $WINEXE: cmake --preset windows-release && cmake --build --preset windows-release -j2" >&2
        exit 2
    fi
    export WINEPREFIX=${WINEPREFIX:-$WORK/wine}
    export WINEDEBUG=-all LANG=C.UTF-8  # Wine maps non-ASCII names only in a UTF-8 locale
    if [[ ! -d "$WINEPREFIX" ]]; then
        echo "creating the Wine prefix $WINEPREFIX ..." >&2
        "$WINE" wineboot -i >/dev/null 2>&1 || true
    fi
    # One server for all runs, so that no timing pays its start-up.
    /usr/lib/wine/wineserver -p 2>/dev/null || true  # exits 2 when one already runs
fi
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

# The settings folder of a native row: Writers = N for a row ending in -Nw, else none, so
# that no settings file of the user's own counts.
config_for() {  # tool -> XDG_CONFIG_HOME
    local writers=default
    [[ $1 =~ -([0-9]+)w$ ]] && writers=${BASH_REMATCH[1]}
    local dir=$WORK/config-$writers
    mkdir -p "$dir/parcelo"
    if [[ $writers == default ]]; then
        rm -f "$dir/parcelo/parcelo.ini"
    else
        printf '[Mailboxes]\nWriters = %s\n' "$writers" >"$dir/parcelo/parcelo.ini"
    fi
    printf '%s' "$dir"
}

STAMP=$(date +%Y%m%d-%H%M%S)
if [[ $TMPFS == 1 ]]; then
    RUN=/dev/shm/parcelo-bench-$STAMP-$$
    [[ $(stat -f -c %T /dev/shm) == tmpfs ]] || { echo "/dev/shm is not a tmpfs" >&2; exit 2; }
else
    RUN=$WORK/out/run-$STAMP-$$
fi
finish() {
    if wants_wine; then /usr/lib/wine/wineserver -k 2>/dev/null || true; fi
    if [[ $TMPFS == 1 ]]; then rm -rf "$RUN"; fi
}
trap finish EXIT
mkdir -p "$RUN" "$WORK/out"
RAW=$WORK/out/run-$STAMP-$$.tsv
COUNTS=$WORK/out/run-$STAMP-$$.counts
: >"$COUNTS"
printf 'rep\ttool\twall\tuser\tsys\trss_kib\texit\n' >"$RAW"
export TMPDIR=$WORK/tmp   # parcelo's log with /p goes here natively

# Runs one tool under /usr/bin/time; OUT exists and is empty.
run_one() {  # tool out timefile
    local tool=$1 out=$2 tf=$3
    local T=(/usr/bin/time -f '%e %U %S %M %x' -o "$tf")
    case $tool in
    read) "${T[@]}" cat "$BOX" >/dev/null ;;
    floor) "${T[@]}" "$WORK/bin/floor_split" "$BOX" "$out" ;;
    git) "${T[@]}" git mailsplit -o"$out" "$BOX" ;;
    formail) SINK_DIR=$out "${T[@]}" formail -s "$WORK/bin/formail_sink" <"$BOX" ;;
    python) "${T[@]}" "$PY" "$HERE/python_split.py" "$BOX" "$out" ;;
    native-n | native-n-*w) XDG_CONFIG_HOME=$(config_for "$tool") "${T[@]}" "$NATIVE" "$BOX" "$out" /n /p ;;
    native-subject*) XDG_CONFIG_HOME=$(config_for "$tool") "${T[@]}" "$NATIVE" "$BOX" "$out" /p ;;
    native-crlf) XDG_CONFIG_HOME=$(config_for "$tool") "${T[@]}" "$NATIVE" "$CRLF_BOX" "$out" /n /p ;;
    native-filtered) XDG_CONFIG_HOME=$(config_for "$tool") "${T[@]}" "$NATIVE" "$BOX" "$out" /MinDate=2099-1-1 /n /p ;;
    wine-n) "${T[@]}" "$WINE" "$WINEXE" "$(winpath "$BOX")" "$(winpath "$out")" /n /p ;;
    wine-subject) "${T[@]}" "$WINE" "$WINEXE" "$(winpath "$BOX")" "$(winpath "$out")" /p ;;
    *) echo "unknown tool $tool" >&2; return 2 ;;
    esac
}

read -r -a tools <<<"$TOOLS"
CRLF_BOX=
[[ " $TOOLS " == *" native-crlf "* ]] && CRLF_BOX=$(crlf_copy "$BOX") && cat "$CRLF_BOX" >/dev/null
cat "$BOX" >/dev/null   # every tool reads from the page cache
echo "mailbox $BOX: $BYTES bytes, $LINES lines, $EXPECTED messages expected" >&2
for ((rep = 1; rep <= REPS; rep++)); do
    # Rotate the order so that no tool always follows the same neighbour.
    n=${#tools[@]}
    for ((i = 0; i < n; i++)); do
        tool=${tools[$(((i + rep - 1) % n))]}
        if ((rep > SLOW_REPS)) && [[ $tool == formail || $tool == wine-* ]]; then continue; fi
        out=$RUN/$rep/$tool
        tf=$RUN/$rep.$tool.time
        [[ $tool == read ]] || mkdir -p "$out"
        sync
        set +e
        run_one "$tool" "$out" "$tf" >"$RUN/$rep.$tool.log" 2>&1
        set -e
        read -r wall user sys rss code < <(tail -n 1 "$tf")
        printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$rep" "$tool" "$wall" "$user" "$sys" "$rss" "$code" >>"$RAW"
        echo "rep $rep $tool: ${wall}s (exit $code)" >&2
        # In memory the trees cannot wait: count the messages of rep 1 and free the space.
        if [[ $TMPFS == 1 && $tool != read ]]; then
            ((rep == 1)) && printf '%s\t%s\n' "$tool" "$(find "$out" -type f | wc -l)" >>"$COUNTS"
            rm -rf "$out"
        fi
    done
done

# Message counts on disk, after all timings: files in each output tree of rep 1.
if [[ $TMPFS != 1 ]]; then
    for tool in "${tools[@]}"; do
        [[ $tool == read ]] && continue
        printf '%s\t%s\n' "$tool" "$(find "$RUN/1/$tool" -type f 2>/dev/null | wc -l)" >>"$COUNTS"
    done
fi

# Instructions per mailbox byte: exact counts, the same on every run however busy the
# machine is. TZ unset, as on most machines. Not for formail (one process per message),
# Python and Wine (an interpreter or an emulated loader would be counted).
IPB=$WORK/out/run-$STAMP-$$.ipb
: >"$IPB"
if [[ $IPB_SIZE != 0 ]]; then
    IPB_BOX="$WORK/cache/box-$IPB_SIZE.mbox"
    [[ -s "$IPB_BOX.meta" ]] || "$PY" "$HERE/generate_mailbox.py" "$IPB_SIZE" "$IPB_BOX" >&2
    BOX=$IPB_BOX
    for tool in "${tools[@]}"; do
        case $tool in read | floor | git | native-*) ;; *) continue ;; esac
        out=$RUN/ipb/$tool
        rm -rf "$out"
        mkdir -p "$out"
        T=(env -u TZ XDG_CONFIG_HOME="$(config_for "$tool")" valgrind --tool=callgrind
           --callgrind-out-file="$RUN/ipb.$tool.out")
        case $tool in
        read) "${T[@]}" cat "$BOX" >/dev/null ;;
        floor) "${T[@]}" "$WORK/bin/floor_split" "$BOX" "$out" ;;
        git) "${T[@]}" git mailsplit -o"$out" "$BOX" ;;
        native-n | native-n-*w) "${T[@]}" "$NATIVE" "$BOX" "$out" /n /p ;;
        native-subject*) "${T[@]}" "$NATIVE" "$BOX" "$out" /p ;;
        native-crlf) "${T[@]}" "$NATIVE" "$(crlf_copy "$BOX")" "$out" /n /p ;;
        native-filtered) "${T[@]}" "$NATIVE" "$BOX" "$out" /MinDate=2099-1-1 /n /p ;;
        esac >/dev/null 2>"$RUN/ipb.$tool.log" || true
        total=$(sed -n 's/^summary: //p' "$RUN/ipb.$tool.out" 2>/dev/null)
        bytes=$(stat -c %s "$BOX")
        [[ $tool == native-crlf ]] && bytes=$(stat -c %s "$(crlf_copy "$BOX")")
        [[ -n $total ]] && printf '%s\t%s\t%s\n' "$tool" "$total" "$bytes" >>"$IPB"
        echo "instructions $tool: ${total:-?}" >&2
        rm -rf "$out" "$RUN/ipb.$tool.out"
    done
fi

TABLE=$WORK/results-$SIZE-$STAMP.md
CHART_DATA=$WORK/out/run-$STAMP-$$.chart
MODE="output on disk"
[[ $TMPFS == 1 ]] && MODE="output on tmpfs"
"$PY" - "$RAW" "$COUNTS" "$BYTES" "$LINES" "$EXPECTED" "$SIZE" "$IPB" "$IPB_SIZE" "$CHART_DATA" "$MODE" \
    >"$TABLE" <<'EOF'
import statistics, sys
raw, counts_file, size, lines, expected, label, ipb_file, ipb_label, chart_file, mode = sys.argv[1:11]
size, lines, expected = int(size), int(lines), int(expected)
rows = [l.rstrip("\n").split("\t") for l in open(raw)][1:]
counts = dict(l.rstrip("\n").split("\t") for l in open(counts_file) if l.strip())
ipb = {}
for l in open(ipb_file):
    tool, total, box_bytes = l.split()
    ipb[tool] = int(total) / int(box_bytes)
names = {
    "read": "`cat FILE >/dev/null` (read floor)",
    "floor": "C floor splitter (write floor)",
    "git": "`git mailsplit`",
    "formail": "`formail -s` + static sink",
    "python": "Python `mailbox.mbox`",
    "native-n": "parcelo native /n",
    "native-subject": "parcelo native, subject names",
    "native-crlf": "parcelo native /n, CR LF copy",
    "native-filtered": "parcelo native /n, every message skipped",
    "wine-n": "parcelo.exe Wine /n",
    "wine-subject": "parcelo.exe Wine, subject names",
}
for base in ("native-n", "native-subject"):
    for n in (1, 2):
        names["%s-%dw" % (base, n)] = "%s, %d writer%s" % (names[base], n, "s" if n > 1 else "")
by = {}
for rep, tool, wall, user, sys_, rss, code in rows:
    by.setdefault(tool, {})[rep] = (float(wall), float(user), float(sys_), int(rss), code)
def ratio(tool, ref):
    if ref not in by:
        return None
    r = [by[tool][k][0] / by[ref][k][0] for k in by[tool] if k in by[ref] and by[ref][k][0] > 0]
    return statistics.median(r) if r else None
mib = size / 2**20
print("Mailbox: %s, %.0f MiB, %d lines, %d messages expected, %s; each row the median of its runs."
      % (label, mib, lines, expected, mode))
if ipb:
    print("Instructions per byte: callgrind on the %s mailbox, TZ unset." % ipb_label)
print()
print("| tool | runs | wall s | MiB/s | messages | msg/s | peak RSS MiB | user s | sys s | user % | instr/byte"
      " | × floor | × git |")
print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
notes = []
chart = open(chart_file, "w")
for tool in by:
    runs = sorted(by[tool].values())
    wall, user, sys_, rss, code = runs[len(runs) // 2]
    n = counts.get(tool)
    msgs = int(n) if n is not None else None
    f = lambda x: "–" if x is None else "%.2f" % x
    bad = [c for *_, c in runs if c != "0"]
    label_ = names.get(tool, tool) + (" (exit %s)" % ",".join(sorted(set(bad))) if bad else "")
    print("| %s | %d | %.2f | %.0f | %s | %s | %.1f | %.2f | %.2f | %.0f | %s | %s | %s |" % (
        label_, len(runs), wall, mib / wall if wall else 0,
        "–" if msgs is None else msgs,
        "–" if msgs is None or not wall else "%.0f" % (msgs / wall),
        rss / 1024, user, sys_, 100 * user / wall if wall else 0,
        f(ipb.get(tool)), f(ratio(tool, "floor")), f(ratio(tool, "git"))))
    if tool != "read" and wall:
        chart.write('"%s"\t%.1f\n' % (names.get(tool, tool).replace("`", ""), mib / wall))
    if tool.startswith(("native", "wine")) and wall:
        notes.append("%s: %.2f M lines/s" % (tool, lines / wall / 1e6))
    want = 0 if tool == "native-filtered" else expected
    if tool.startswith(("native", "wine", "floor")) and msgs is not None and msgs != want:
        notes.append("**%s wrote %d files, expected %d**" % (tool, msgs, want))
if "native-n" in by and "wine-n" in by:
    notes.append("Wine /n speed = %.2f of native /n" % ratio("native-n", "wine-n"))
if notes:
    print("\n" + "; ".join(notes) + ".")
EOF
CHART=${TABLE%.md}.png
gnuplot <<EOF
set terminal pngcairo size 900,$((140 + 34 * $(wc -l <"$CHART_DATA"))) font "sans,10"
set output "$CHART"
set title "Splitting a $SIZE mailbox ($MODE): MiB/s, median of each tool's runs, higher is faster"
set style fill solid 0.8 noborder
set yrange [-0.6:*] reverse
set xrange [0:*]
set offsets 0, graph 0.15, 0, 0
set grid x
unset key
set ytics nomirror
set xtics nomirror
plot "$CHART_DATA" using 2:0:(0):2:(\$0-0.35):(\$0+0.35):ytic(1) with boxxyerror lc rgb "#4a7ab5", \
     "" using 2:0:(sprintf("%.0f", \$2)) with labels left offset 0.5,0
EOF
cat "$TABLE"
echo "(table: $TABLE, chart: $CHART, raw timings: $RAW)" >&2

if [[ "${BENCH_KEEP:-0}" != 1 && $TMPFS != 1 ]]; then
    echo "deleting $RUN; the disk may create files slowly for a few minutes after this" >&2
    rm -rf "$RUN"
fi
