#!/usr/bin/env bash
# The selector takes dnssd.dll only from its own folder, also when the program's path is longer
# than MAX_PATH, however the current folder is set: a library planted there is never loaded.
# Wine's CreateProcessW refuses a program path that long, so the probe is started here with
# the Wine loader.
#   long_program_path_test.sh [x86_64|i686]   (i686: under 32-bit Wine in its root, own prefix)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
TARGET="${1:-x86_64}"
TESTS="$ROOT/build/$TARGET/tests"
RUN="$(mktemp -d "$ROOT/build/$TARGET/long_program_path.XXXXXX")"
if [ "$TARGET" = i686 ]; then
    . "$ROOT/scripts/wine32_prefix.sh"
    wine32_fresh_prefix "$RUN/wineprefix"
    trap '"$WINESERVER" -k >/dev/null 2>&1; rm -rf "$RUN"' EXIT
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINE" wineboot </dev/null >/dev/null 2>&1
    # The 32-bit loader itself: the 64-bit one hands a 32-bit program on through CreateProcess.
    LOADER=("$ROOT/scripts/root32_run.sh" /usr/lib/wine/wine)
else
    . "$ROOT/scripts/wine_env.sh"
    trap 'rm -rf "$RUN"' EXIT
    LOADER=("$WINE")
fi

# winepath cuts long paths: the long part is added here.
run_dos="$("$WINE" winepath -w "$RUN" 2>/dev/null | tr -d '\r')"
part="$(printf 'x%.0s' {1..60})"
program="$RUN" program_dos="$run_dos"
while [ "${#program_dos}" -lt 300 ]; do program="$program/$part" program_dos="$program_dos\\$part"; done
mkdir -p "$program" "$RUN/planted"
cp "$TESTS/selector_probe.exe" "$program/"
cp "$TESTS/dnssd.dll" "$RUN/planted/"
tried="$program_dos\\dnssd.dll"
boxes=$'16384 |DLL dnssd did not load\n16384 |'"$tried"

failed=0
# expect <what> <lines>: runs the probe from the long path in the planted folder.
expect() {
    rm -f "$RUN/result.txt"
    (cd "$RUN/planted" && "${LOADER[@]}" "$program/selector_probe.exe" load-dnssd \
        "$run_dos\\result.txt" </dev/null >/dev/null 2>&1) || true
    local got
    got="$(tr -d '\r' < "$RUN/result.txt" 2>/dev/null || true)"
    if [ "$got" = "$2" ]; then
        echo "[ok] $1"
    else
        printf '[FAILED] %s\n  expected:\n%s\n  got:\n%s\n' "$1" "$2" "$got"
        failed=1
    fi
}

expect "planted in the current folder only: not loaded, the two boxes name the path tried" \
    "$boxes"$'\nloaded 0'
cp "$TESTS/dnssd.dll" "$program/"
expect "beside the program too: loaded from there" "loaded 1"
exit "$failed"
