#!/usr/bin/env bash
# Sets up the machine, builds both presets and runs every test suite: the unit
# tests natively and under Wine, the end-to-end tests and, once it exists, the
# fuzz run. Every suite runs even when an earlier one fails; the exit code is
# non-zero if any of them failed.
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh

# xauth: xvfb-run needs it, for running tests by hand.
PACKAGES=(cmake g++ googletest g++-mingw-w64-x86-64-posix wine64 xvfb python3-pytest
          imagemagick x11-utils clang libclang-rt-14-dev xauth)
WINE=/usr/lib/wine/wine64
LOGS=build/test-logs
JOBS=$(nproc)

# Wine cannot map non-ASCII file names under the plain C locale.
export LANG=C.UTF-8
unset LC_ALL
# No Gecko/Mono installer dialogs when a fresh prefix boots.
export WINEDLLOVERRIDES="mscoree,mshtml="

names=()
results=()
summaries=()
times=()

# run_step NAME SUMMARY_PATTERN TIMEOUT COMMAND...: output goes to $LOGS/NAME.log,
# not through a pipe, because Wine's helper processes may hold a pipe open.
run_step() {
    local name=$1 pattern=$2 limit=$3
    shift 3
    local log="$LOGS/$name.log" start=$SECONDS rc
    echo "== $name"
    # timeout signals its whole process group, so Xvfb and Wine go too.
    timeout --kill-after=20 "$limit" bash -c '"$@"' run_step "$@" >"$log" 2>&1
    rc=$?
    [ $rc -eq 124 ] && echo "timed out after $limit s" >>"$log"
    local summary
    summary=$(grep -E "$pattern" "$log" | tail -n 2 | tr '\n' ' ')
    [ -n "$summary" ] || summary=$(tail -n 1 "$log")
    if [ $rc -ne 0 ]; then
        echo "-- $name failed with $rc; end of $log:"
        tail -n 60 "$log"
    fi
    echo "-- $name: exit $rc, $((SECONDS - start)) s: $summary"
    names+=("$name")
    results+=("$rc")
    times+=("$((SECONDS - start))")
    summaries+=("$summary")
    return $rc
}

skip_step() {
    names+=("$1")
    results+=("skipped")
    times+=(0)
    summaries+=("$2")
    echo "-- $1 skipped: $2"
}

# Keeps going past a broken target, so that the programs the e2e tests use are
# still rebuilt when only a unit test fails to compile.
build_preset() {
    cmake --preset "$1" && cmake --build --preset "$1" -j"$JOBS" -- -k
}

# Runs a command on an X server of its own. Not "xvfb-run -a": two of those
# starting together can pick the same display, and one then dies with the
# other's server. With -displayfd, Xvfb picks a free display itself.
with_display() {
    local number_file xvfb rc
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 1200); do
        grep -q '^[0-9]' "$number_file" && break
        sleep 0.1
    done
    if ! grep -q '^[0-9]' "$number_file"; then
        echo "Xvfb did not start" >&2
        kill "$xvfb" 2>/dev/null
        rm -f "$number_file"
        return 1
    fi
    DISPLAY=":$(head -n 1 "$number_file")" "$@"
    rc=$?
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null
    rm -f "$number_file"
    return $rc
}

wine_unit_tests() {
    local prefix rc
    prefix=$(mktemp -d /tmp/parcelo-unit-wine.XXXXXX)
    WINEPREFIX=$prefix WINEDEBUG=-all with_display "$WINE" build/windows/parcelo_tests.exe --gtest_brief=1
    rc=$?
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null
    rm -rf "$prefix"
    return $rc
}

# The unit tests and a split by several writer threads, built with ThreadSanitizer; its
# first report fails the step. Only the two targets: the rest adds nothing here.
tsan_tests() {
    cmake --preset tsan && cmake --build --preset tsan -j"$JOBS" --target parcelo_tests parcelo || return
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
    build/tsan/parcelo_tests --gtest_brief=1 || return
    PARCELO_NATIVE=build/tsan/parcelo PARCELO_KINDS=native /usr/bin/python3 -m pytest -q -p no:cacheprovider \
        tests/e2e/test_writers.py
}

export WINE JOBS
export -f build_preset with_display wine_unit_tests tsan_tests

total_start=$SECONDS
install_missing "${PACKAGES[@]}" || { echo "package installation failed" >&2; exit 1; }
mkdir -p "$LOGS"

GTEST='^\[  (PASSED|FAILED)  \]|tests? from .* ran'
BUILD='error:|No rule to make target|Built target parcelo$'

if run_step build-native "$BUILD" 1800 build_preset native; then
    run_step unit-native "$GTEST" 900 build/native/parcelo_tests --gtest_brief=1
else
    skip_step unit-native "native build failed"
fi
if run_step build-windows "$BUILD" 1800 build_preset windows; then
    run_step unit-wine "$GTEST" 900 wine_unit_tests
else
    skip_step unit-wine "windows build failed"
fi
run_step tsan "$GTEST|passed|failed|error:" 1800 tsan_tests
run_step e2e '(passed|failed|error|skipped|no tests ran)' 1500 \
    with_display /usr/bin/python3 -m pytest -q -rfEs -p no:cacheprovider tests/e2e
if [ -x tools/run_fuzz.sh ]; then
    # The same inputs on every run: CI must not turn red by chance. Longer runs that
    # look for new inputs: tools/run_fuzz.sh with FUZZ_SECONDS.
    run_step fuzz '^fuzz:' 1500 env FUZZ_FIXED=1 tools/run_fuzz.sh
else
    skip_step fuzz "tools/run_fuzz.sh is not there yet"
fi
run_step packages '^packages:' 1500 with_display bash tools/test_packages.sh --reuse-builds

echo
echo "== summary (logs in $LOGS/)"
failed=0
for i in "${!names[@]}"; do
    status=${results[$i]}
    case $status in
        0) word=ok ;;
        skipped) word=skipped ;;
        *) word="FAILED ($status)"; failed=1 ;;
    esac
    printf '%-14s %-12s %5ss  %s\n' "${names[$i]}" "$word" "${times[$i]}" "${summaries[$i]}"
done
echo "total: $((SECONDS - total_start)) s"
exit $failed
