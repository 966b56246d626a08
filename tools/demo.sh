#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for the POSIX build, builds it and splits the
# example mailboxes twice: named after the subjects and numbered (/n).
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh

install_missing cmake g++ googletest || exit 1
cmake --preset native >/dev/null && cmake --build --preset native --target parcelo -j"$(nproc)" || {
    echo "the build failed" >&2
    exit 1
}

OUT=build/demo
rm -rf "$OUT"
mkdir -p "$OUT/tmp"
# /p: no questions; the log then goes to the temporary directory, kept here.
export TMPDIR=$PWD/$OUT/tmp

split() {
    local title=$1 target=$2
    shift 2
    echo
    echo "== $title"
    echo "\$ build/native/parcelo \"examples/*\" $target $*"
    build/native/parcelo "examples/*" "$target" "$@"
    local rc=$?
    echo "exit code: $rc"
    echo "written (last-write time from the Date field, then the file):"
    (cd "$target" 2>/dev/null && find . -type f -printf '%P|%TY-%Tm-%Td %TH:%TM\n' |
        LC_ALL=C sort | awk -F'|' '{ printf "  %s  %s\n", $2, $1 }')
}

split "one folder per mailbox, files named after their subjects" "$OUT/subjects" /p
split "the same with running numbers" "$OUT/numbered" /p /n

echo
echo "== the log ($TMPDIR/parcelo.log)"
cat "$TMPDIR/parcelo.log" 2>/dev/null || echo "(no log written)"
