#!/usr/bin/env bash
# Counts the kernel32 file calls that parcelo.exe makes per written message under Wine,
# from a relay trace: one mailbox of N generated messages and the same mailbox twice
# over, so that start-up and the end of the run cancel out.
#
#   bench/wine_calls.sh [EXE]       default build/windows-release/parcelo.exe
#
# Expect one CreateFile per message file (the time is set on the writer's own handle),
# one WriteFile for a message below 256 KiB, one SetFileTime and one CloseHandle.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
EXE=${1:-${PARCELO_EXE:-$ROOT/build/windows-release/parcelo.exe}}
WORK=${PARCELO_BENCH_DIR:-/tmp/parcelo-bench}/wine-calls
WINE=/usr/lib/wine/wine64
[[ -f $EXE ]] || { echo "no $EXE: cmake --preset windows-release && cmake --build --preset windows-release -j2" >&2; exit 2; }
# shellcheck source=../tools/packages.sh
source "$ROOT/tools/packages.sh"
install_missing wine64 xvfb >&2 || exit 2

# parcelo.exe opens a window: the whole count gets one X display.
if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

rm -rf "$WORK"
mkdir -p "$WORK"
export WINEPREFIX=$WORK/prefix LANG=C.UTF-8
WINEDEBUG=-all "$WINE" wineboot -i >/dev/null 2>&1 || true
/usr/bin/python3 "$HERE/generate_mailbox.py" 128K "$WORK/once.mbox" --seed 3 >/dev/null
cat "$WORK/once.mbox" "$WORK/once.mbox" >"$WORK/twice.mbox"
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

FILE_CALLS='CreateFileA|CreateFileW|CreateFile2|WriteFile|SetFileTime|CloseHandle|SetFilePointer|SetFilePointerEx|GetFileType|GetFileSize|GetFileSizeEx|FlushFileBuffers|GetFileInformationByHandle|DeleteFileA'

trace() {  # name
    local out=$WORK/out-$1
    mkdir -p "$out"
    WINEDEBUG=+relay "$WINE" "$EXE" "$(winpath "$WORK/$1.mbox")" "$(winpath "$out")" /n /p \
        >/dev/null 2>"$WORK/relay-$1.log" || true
    find "$out" -type f -name '*.eml' | wc -l >"$WORK/messages-$1"
    # One line per call made into kernel32 (or the kernelbase it forwards to).
    grep -oE "Call (KERNEL32|KERNELBASE)\.($FILE_CALLS)\(" "$WORK/relay-$1.log" |
        sed -E 's/^Call [A-Z0-9]+\.//; s/\($//' | sort | uniq -c | awk '{ print $2, $1 }' >"$WORK/calls-$1"
    # Opens that name a message file.
    grep -cE "Call (KERNEL32|KERNELBASE)\.CreateFile[AW]\(.*\.eml" "$WORK/relay-$1.log" >"$WORK/opens-$1" || true
}
trace once
trace twice
/usr/lib/wine/wineserver -k 2>/dev/null || true

once=$(cat "$WORK/messages-once") twice=$(cat "$WORK/messages-twice")
echo "messages written: $once and $twice"
((twice > once)) || { echo "no messages were written; see $WORK/relay-twice.log" >&2; exit 1; }
join -a1 -a2 -e 0 -o 0,1.2,2.2 <(sort "$WORK/calls-once") <(sort "$WORK/calls-twice") |
    awk -v n=$((twice - once)) '{ printf "  %-28s %6.2f per written message\n", $1, ($3 - $2) / n }'
opens=$(($(cat "$WORK/opens-twice") - $(cat "$WORK/opens-once")))
awk -v o="$opens" -v n=$((twice - once)) 'BEGIN { printf "  opens of a message file     %6.2f per written message\n", o / n }'
echo "(relay traces in $WORK)"
