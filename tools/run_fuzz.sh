#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz (clang, libFuzzer, ASan, UBSan) and runs each for a
# bounded time, starting from our seed corpus, which holds every input that once failed.
# A crash, leak, sanitizer report, hang or memory blow-up fails the run.
#
#   FUZZ_SECONDS   seconds per target (default 60); 0 only replays the seed corpus
#   FUZZ_FIXED=1   instead of a time: a fixed number of inputs per target (FIXED_RUNS,
#                  or FUZZ_RUNS for all) from the fixed seed FUZZ_SEED (default 1), so
#                  that a run tries the same inputs on any machine, fast or slow: what CI
#                  uses
#   FUZZ_TARGETS   targets to run, e.g. "dates splitter" (default: all)
#   FUZZ_BUILD     build directory (default build/fuzz)
#   FUZZ_CXX       the compiler (default clang++-14, else clang++)
#   JOBS           parallel compile jobs (default 2)
set -uo pipefail
cd "$(dirname "$0")/.."

BUILD=${FUZZ_BUILD:-build/fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-60}
CXX=${FUZZ_CXX:-$(command -v clang++-14 || command -v clang++)}
CORPUS=tests/fuzz/corpus

# Longest input per target: long enough for what the target parses, short enough that
# each run stays quick.
declare -A MAX_LEN=(
    [dates]=256 [encoded_words]=2048 [header]=4096 [settings]=2048
    [file_names]=4096 [splitter]=16384
)

# About half a minute each on two loaded cores.
declare -A FIXED_RUNS=(
    [dates]=1000000 [encoded_words]=300000 [header]=25000 [settings]=40000
    [file_names]=5000 [splitter]=8000
)

if [ -z "$CXX" ]; then
    echo "run_fuzz: no clang++ found" >&2
    exit 1
fi
mkdir -p "$BUILD"
cmake -S tests/fuzz -B "$BUILD" -DCMAKE_CXX_COMPILER="$CXX" >"$BUILD/configure.log" 2>&1 ||
    { cat "$BUILD/configure.log"; echo "run_fuzz: configuring failed" >&2; exit 1; }
cmake --build "$BUILD" -j"${JOBS:-2}" >"$BUILD/build.log" 2>&1 ||
    { grep -E 'error|undefined reference' "$BUILD/build.log" | head -40; echo "run_fuzz: build failed" >&2; exit 1; }

targets=${FUZZ_TARGETS:-${!MAX_LEN[*]}}
# A fixed order, so that logs compare between runs.
targets=$(tr ' ' '\n' <<<"$targets" | sort | tr '\n' ' ')

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
summary=()
mkdir -p "$BUILD/logs"
for name in $targets; do
    binary=$BUILD/fuzz_$name
    if [ ! -x "$binary" ] || [ -z "${MAX_LEN[$name]:-}" ]; then
        echo "run_fuzz: unknown target '$name'" >&2
        failed=1
        continue
    fi
    seeds=$CORPUS/$name
    work=$BUILD/corpus/$name
    artifacts=$BUILD/artifacts/$name
    # The splitter target makes and removes folders all the time: memory is far quicker.
    if [ -d /dev/shm ] && [ -w /dev/shm ]; then
        scratch=/dev/shm/parcelo-fuzz-$$-$name
    else
        scratch=$BUILD/tmp/$name
    fi
    log=$BUILD/logs/$name.log
    mkdir -p "$seeds" "$work" "$artifacts" "$scratch"
    if [ "${FUZZ_FIXED:-0}" = 1 ]; then
        # A fresh corpus each time: what an earlier run found would change the inputs.
        rm -rf "$work" && mkdir -p "$work"
        mode=(-runs="${FUZZ_RUNS:-${FIXED_RUNS[$name]}}" -seed="${FUZZ_SEED:-1}" "$work" "$seeds")
    elif [ "$SECONDS_EACH" -gt 0 ]; then
        mode=(-max_total_time="$SECONDS_EACH" "$work" "$seeds")
    else
        mode=(-runs=0 "$seeds")
    fi
    # TMPDIR: the splitter target writes its mailboxes there, and we clear it afterwards.
    # -timeout only catches real hangs: no input takes a second, but a loaded machine may
    # stall a process for many.
    TMPDIR=$scratch "$binary" -timeout=120 -rss_limit_mb=2048 -max_len="${MAX_LEN[$name]}" \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "${mode[@]}" >"$log" 2>&1
    rc=$?
    rm -rf "$scratch"

    execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log" | tail -n 1)
    coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
    problem=""
    [ $rc -ne 0 ] && problem="exit $rc"
    if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: (Address|Undefined|Leak)' "$log"; then
        problem="${problem:+$problem, }sanitizer report"
    fi
    if [ -n "$problem" ]; then
        failed=1
        echo "== $name FAILED ($problem); end of $log:"
        tail -n 40 "$log"
        ls "$artifacts" | sed 's/^/   artifact: /'
    fi
    line=$(printf '%-14s %10s execs  %-22s %s' "$name" "${execs:-?}" "${coverage:-cov: ?}" "${problem:-ok}")
    echo "$line"
    summary+=("$name ${execs:-?} execs ${coverage:-}")
done

echo "fuzz: $(IFS=';'; echo "${summary[*]}")"
if [ $failed -ne 0 ]; then
    echo "fuzz: FAILED (logs and crashing inputs in $BUILD/logs and $BUILD/artifacts)"
    exit 1
fi
if [ "${FUZZ_FIXED:-0}" = 1 ]; then
    echo "fuzz: every target ran clean (fixed inputs, seed ${FUZZ_SEED:-1})"
else
    echo "fuzz: every target ran clean (${SECONDS_EACH} s each)"
fi
