#!/usr/bin/env bash
# Times parcelo against the floors and peer splitters on one generated mbox.
#
#   bench/run.sh SIZE [REPS]        e.g. bench/run.sh 256M, bench/run.sh 1G 3
#
# Environment: PARCELO_BENCH_DIR (work folder, default /tmp/parcelo-bench),
# PARCELO_NATIVE and PARCELO_EXE (the binaries, default build/native/parcelo
# and build/windows/parcelo.exe), BENCH_TOOLS (a subset of the tool names
# below), BENCH_KEEP=1 (keep the output trees), BENCH_SLOW_REPS=N (run
# formail and the Wine rows in the first N repetitions only; default REPS).
#
# The disk may be slow for minutes after many files were deleted, so the
# output trees of all repetitions stay until every timing is done, the tools
# are interleaved within each repetition, and only ratios measured in one run
# should be compared. Peers: apt-get install -y procmail git time
set -euo pipefail

SIZE=${1:?usage: bench/run.sh SIZE [REPS]  (SIZE e.g. 256M or 1G)}
REPS=${2:-3}
SLOW_REPS=${BENCH_SLOW_REPS:-$REPS}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
WORK=${PARCELO_BENCH_DIR:-/tmp/parcelo-bench}
NATIVE=${PARCELO_NATIVE:-$ROOT/build/native/parcelo}
WINEXE=${PARCELO_EXE:-$ROOT/build/windows/parcelo.exe}
ALL_TOOLS="read floor git formail python native-n native-subject wine-n wine-subject"
TOOLS=${BENCH_TOOLS:-$ALL_TOOLS}
PY=/usr/bin/python3
WINE=/usr/lib/wine/wine64

wants_wine() { [[ " $TOOLS " == *" wine-"* ]]; }

# parcelo.exe opens a window: give the whole run one X display.
if wants_wine && [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

for tool in time git formail; do
    if ! command -v "$tool" >/dev/null && [[ ! -x /usr/bin/$tool ]]; then
        echo "missing $tool: apt-get install -y procmail git time" >&2
        exit 2
    fi
done

mkdir -p "$WORK/cache" "$WORK/bin" "$WORK/tmp"
BOX="$WORK/cache/box-$SIZE.mbox"
if [[ ! -s "$BOX" || ! -s "$BOX.meta" ]]; then
    echo "generating $BOX ..." >&2
    "$PY" "$HERE/generate_mailbox.py" "$SIZE" "$BOX" >&2
fi
if ! grep -q '^lines=' "$BOX.meta"; then
    echo "lines=$(wc -l <"$BOX")" >>"$BOX.meta"
fi
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
    echo "no $NATIVE: cmake --preset native && cmake --build build/native --target parcelo -j2" >&2
    exit 2
fi
if wants_wine; then
    if [[ ! -f "$WINEXE" ]]; then
        echo "no $WINEXE: cmake --preset windows && cmake --build build/windows --target parcelo -j2" >&2
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
    trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
fi
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

RUN=$WORK/out/run-$(date +%Y%m%d-%H%M%S)-$$
mkdir -p "$RUN"
RAW=$RUN.tsv
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
    native-n) "${T[@]}" "$NATIVE" "$BOX" "$out" /n /p ;;
    native-subject) "${T[@]}" "$NATIVE" "$BOX" "$out" /p ;;
    wine-n) "${T[@]}" "$WINE" "$WINEXE" "$(winpath "$BOX")" "$(winpath "$out")" /n /p ;;
    wine-subject) "${T[@]}" "$WINE" "$WINEXE" "$(winpath "$BOX")" "$(winpath "$out")" /p ;;
    *) echo "unknown tool $tool" >&2; return 2 ;;
    esac
}

read -r -a tools <<<"$TOOLS"
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
    done
done

# Message counts, after all timings: files in each output tree of rep 1.
COUNTS=$RUN.counts
: >"$COUNTS"
for tool in "${tools[@]}"; do
    [[ $tool == read ]] && continue
    printf '%s\t%s\n' "$tool" "$(find "$RUN/1/$tool" -type f 2>/dev/null | wc -l)" >>"$COUNTS"
done

TABLE=$WORK/results-$SIZE-$(date +%Y%m%d-%H%M%S).md
"$PY" - "$RAW" "$COUNTS" "$BYTES" "$LINES" "$EXPECTED" "$SIZE" >"$TABLE" <<'EOF'
import statistics, sys
raw, counts_file, size, lines, expected, label = sys.argv[1:7]
size, lines, expected = int(size), int(lines), int(expected)
rows = [l.rstrip("\n").split("\t") for l in open(raw)][1:]
counts = dict(l.rstrip("\n").split("\t") for l in open(counts_file) if l.strip())
names = {
    "read": "`cat FILE >/dev/null` (read floor)",
    "floor": "C floor splitter (write floor)",
    "git": "`git mailsplit`",
    "formail": "`formail -s` + static sink",
    "python": "Python `mailbox.mbox`",
    "native-n": "parcelo native /n",
    "native-subject": "parcelo native, subject names",
    "wine-n": "parcelo.exe Wine /n",
    "wine-subject": "parcelo.exe Wine, subject names",
}
by = {}
for rep, tool, wall, user, sys_, rss, code in rows:
    by.setdefault(tool, {})[rep] = (float(wall), float(user), float(sys_), int(rss), code)
def ratio(tool, ref):
    if ref not in by:
        return None
    r = [by[tool][k][0] / by[ref][k][0] for k in by[tool] if k in by[ref] and by[ref][k][0] > 0]
    return statistics.median(r) if r else None
mib = size / 2**20
print("Mailbox: %s, %.0f MiB, %d lines, %d messages expected; each row the median of its runs.\n"
      % (label, mib, lines, expected))
print("| tool | runs | wall s | MiB/s | messages | msg/s | peak RSS MiB | user s | sys s | user % | × floor | × git |")
print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
notes = []
for tool in by:
    runs = sorted(by[tool].values())
    wall, user, sys_, rss, code = runs[len(runs) // 2]
    n = counts.get(tool)
    msgs = int(n) if n is not None else None
    f = lambda x: "–" if x is None else "%.2f" % x
    bad = [c for *_, c in runs if c != "0"]
    label_ = names.get(tool, tool) + (" (exit %s)" % ",".join(sorted(set(bad))) if bad else "")
    print("| %s | %d | %.2f | %.0f | %s | %s | %.1f | %.2f | %.2f | %.0f | %s | %s |" % (
        label_, len(runs), wall, mib / wall if wall else 0,
        "–" if msgs is None else msgs,
        "–" if msgs is None or not wall else "%.0f" % (msgs / wall),
        rss / 1024, user, sys_, 100 * user / wall if wall else 0,
        f(ratio(tool, "floor")), f(ratio(tool, "git"))))
    if tool.startswith(("native", "wine")) and wall:
        notes.append("%s: %.2f M lines/s" % (tool, lines / wall / 1e6))
    if tool.startswith(("native", "wine", "floor")) and msgs is not None and msgs != expected:
        notes.append("**%s wrote %d files, expected %d**" % (tool, msgs, expected))
if "native-n" in by and "wine-n" in by:
    notes.append("Wine /n speed = %.2f of native /n" % ratio("native-n", "wine-n"))
if notes:
    print("\n" + "; ".join(notes) + ".")
EOF
cat "$TABLE"
echo "(table: $TABLE, raw timings: $RAW)" >&2

if [[ "${BENCH_KEEP:-0}" != 1 ]]; then
    echo "deleting $RUN; the disk may create files slowly for a few minutes after this" >&2
    rm -rf "$RUN"
fi
