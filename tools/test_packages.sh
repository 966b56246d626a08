#!/usr/bin/env bash
# Builds the release packages (tools/package.sh) and tries them as a user would:
# the zip unpacked into a fresh folder and parcelo.exe run from there under Wine,
# the .deb unpacked with dpkg -x (nothing is installed) and its usr/bin/parcelo
# run, both on examples/; lintian on the .deb; the manual page rendered with man.
# Needs an X display for Wine; without one it starts Xvfb itself.
# --no-build tests the packages already in build/dist/; --reuse-builds takes
# parcelo.exe from build/windows (see tools/package.sh), as test_all has built it.
set -uo pipefail
cd "$(dirname "$0")/.."
REPO=$PWD

source tools/packages.sh
install_missing wine64 xvfb xauth || { echo "package installation failed" >&2; exit 1; }
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$@"
fi
if [ "${1:-}" != --no-build ]; then
    [ "${1:-}" = --reuse-builds ] && export PARCELO_EXE_BUILD=build/windows
    bash tools/package.sh || { echo "building the packages failed" >&2; exit 1; }
fi

DIST=$REPO/build/dist
ZIP=$(ls "$DIST"/parcelo-*-win64.zip)
DEB=$(ls "$DIST"/parcelo_*.deb)
WINE=/usr/lib/wine/wine64
WORK=$(mktemp -d /tmp/parcelo-packages.XXXXXX)
export LANG=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=$WORK/wine
unset LC_ALL

passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAILED: $what"
        failed=$((failed + 1))
    fi
}

finish() {
    "${WINE%/*}/wineserver" -k 2>/dev/null
    rm -rf "$WORK"
}
trap finish EXIT

# What a run left in a folder: names, bytes and last-write times.
tree_listing() {
    (cd "$1" && find . -type f -printf '%P %T@ ' -exec sha256sum {} \; | LC_ALL=C sort)
}

same_trees() {
    local first second
    first=$(tree_listing "$1")
    second=$(tree_listing "$2")
    [ -n "$first" ] || { echo "nothing written to $1"; return 1; }
    [ "$first" = "$second" ] || { diff <(echo "$first") <(echo "$second") | head -n 20; return 1; }
}

# ---------------------------------------------------------------- the zip

(cd "$DIST" && sha256sum --quiet -c SHA256SUMS) >/dev/null
check "SHA256SUMS matches the zip and the .deb" test $? -eq 0

USER_DIR=$WORK/Benutzer
mkdir -p "$USER_DIR"
unzip -q "$ZIP" -d "$USER_DIR"
check "the zip holds parcelo/ with the program, LIESMICH.txt and the example settings" \
    test -f "$USER_DIR/parcelo/parcelo.exe" -a -f "$USER_DIR/parcelo/LIESMICH.txt" -a \
    -f "$USER_DIR/parcelo/parcelo.ini.beispiel"
(cd "$USER_DIR" && sha256sum --quiet -c SHA256SUMS) >/dev/null
check "the SHA256SUMS in the zip match the unpacked files" test $? -eq 0

windows_text_ok() {
    local file=$1
    # Every line ends in CR LF, and the bytes are Windows-1252, not UTF-8.
    [ "$(LC_ALL=C grep -c $'\r$' "$file")" = "$(wc -l <"$file")" ] &&
        ! LC_ALL=C grep -q $'\xc3' "$file" &&
        iconv -f CP1252 -t UTF-8 "$file" | grep -q "$2"
}
check "LIESMICH.txt is Windows-1252 with CR LF" windows_text_ok "$USER_DIR/parcelo/LIESMICH.txt" 'Möchten Sie das Programm wirklich abbrechen?'
check "parcelo.ini.beispiel is Windows-1252 with CR LF" windows_text_ok "$USER_DIR/parcelo/parcelo.ini.beispiel" 'Beispiel für'

wine_temp_log() {
    local temp
    temp=$("$WINE" cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r')
    echo "$("$WINE" winepath -u "$temp" 2>/dev/null)/parcelo.log"
}

run_exe() {
    local out=$1
    (cd "$USER_DIR/parcelo" && "$WINE" parcelo.exe "Z:${REPO//\//\\}\\examples\\*" "Z:${out//\//\\}" /p \
        </dev/null >"$out.stdout" 2>&1)
}

"$WINE" wineboot -i >/dev/null 2>&1
WINE_LOG=$(wine_temp_log)
run_exe "$WORK/exe-plain"
check "parcelo.exe from the zip ends with exit code 0" test $? -eq 0
check "parcelo.exe from the zip wrote the e-mail files" test -n "$(find "$WORK/exe-plain" -name '*.eml' 2>/dev/null)"
check "the log of parcelo.exe counts 0 errors" grep -q '^0 Fehler\.' "$WINE_LOG"

mv "$USER_DIR/parcelo/parcelo.ini.beispiel" "$USER_DIR/parcelo/parcelo.ini"
run_exe "$WORK/exe-ini"
check "parcelo.exe with parcelo.ini.beispiel as parcelo.ini ends with exit code 0" test $? -eq 0
check "parcelo.exe writes the same files with parcelo.ini.beispiel as parcelo.ini" \
    same_trees "$WORK/exe-plain" "$WORK/exe-ini"

# ---------------------------------------------------------------- the .deb

ROOT=$WORK/root
dpkg -x "$DEB" "$ROOT"
PROGRAM=$ROOT/usr/bin/parcelo
check "the .deb holds usr/bin/parcelo, its manual page, README, copyright, changelog and example" \
    test -x "$PROGRAM" -a -f "$ROOT/usr/share/man/man1/parcelo.1.gz" -a \
    -f "$ROOT/usr/share/doc/parcelo/copyright" -a -f "$ROOT/usr/share/doc/parcelo/changelog.Debian.gz" -a \
    -f "$ROOT/usr/share/doc/parcelo/README.md.gz" -a -f "$ROOT/usr/share/doc/parcelo/parcelo.ini.beispiel"
check "usr/bin/parcelo is stripped" bash -c "! readelf -S '$PROGRAM' | grep -q -e '\.symtab' -e '\.debug_'"

run_deb() {
    local out=$1
    shift
    env "$@" TMPDIR="$WORK/tmp" HOME="$WORK/home" "$PROGRAM" "$REPO/examples/*" "$out" /p \
        </dev/null >"$out.stdout" 2>&1
}

mkdir -p "$WORK/tmp" "$WORK/home"
run_deb "$WORK/deb-plain" -u XDG_CONFIG_HOME
check "usr/bin/parcelo from the .deb ends with exit code 0" test $? -eq 0
check "usr/bin/parcelo writes the same files as parcelo.exe" same_trees "$WORK/exe-plain" "$WORK/deb-plain"

# An installed program finds its settings in the user's folder, not beside itself.
mkdir -p "$WORK/home/.config/parcelo"
cp "$ROOT/usr/share/doc/parcelo/parcelo.ini.beispiel" "$WORK/home/.config/parcelo/parcelo.ini"
printf '[nonsense\n' >"$ROOT/usr/bin/parcelo.ini"
run_deb "$WORK/deb-ini" -u XDG_CONFIG_HOME
check "usr/bin/parcelo with the example in ~/.config/parcelo/parcelo.ini ends with exit code 0" test $? -eq 0
check "usr/bin/parcelo writes the same files with the example settings" same_trees "$WORK/deb-plain" "$WORK/deb-ini"
rm "$ROOT/usr/bin/parcelo.ini"

# ---------------------------------------------------------------- lintian and the manual page

LINTIAN_OUT=$WORK/lintian.txt
lintian --fail-on error,warning --info "$DEB" >"$LINTIAN_OUT" 2>&1
lintian_rc=$?
echo "-- lintian $(basename "$DEB") (exit $lintian_rc):"
grep -v '^running with root privileges' "$LINTIAN_OUT"
check "lintian reports no error and no warning" test $lintian_rc -eq 0

MAN_OUT=$WORK/man.txt
MANWIDTH=80 man --warnings -l "$ROOT/usr/share/man/man1/parcelo.1.gz" >"$MAN_OUT" 2>"$WORK/man.err"
check "man -l renders the manual page without warnings" test $? -eq 0 -a ! -s "$WORK/man.err"
check "the manual page quotes the German texts" grep -q 'Möchten Sie das Programm wirklich abbrechen?' "$MAN_OUT"
cat "$WORK/man.err"

echo "packages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
