#!/usr/bin/env bash
# Runs the i686 (shipping) build's test programs under 32-bit Wine inside the 32-bit root, two
# at a time, each in a fresh prefix (scripts/wine32_run_test.sh is the build's ctest emulator),
# inside a virtual X display (when there is none) so that tests may open windows.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
. "$ROOT/scripts/root32_env.sh"
[ -f "$ROOT32/.zanvi-root32" ] && [ -f "$WINEPREFIX32_TEMPLATE/system.reg" ] ||
    { echo "[test32] ERROR: the 32-bit root is not set up (scripts/root32_setup.sh)" >&2; exit 1; }

# A program that ctest ended at its timeout leaves its prefix and wineserver: ended here.
leftovers() {
    local prefix
    for prefix in "$ROOT/build/i686/wineprefixes"/*/; do
        [ -d "$prefix" ] || continue
        WINEPREFIX="${prefix%/}" "$ROOT/scripts/wineserver32.sh" -k >/dev/null 2>&1
        rm -rf "$prefix"
    done
}
trap leftovers EXIT

cd "$ROOT/build/i686"
ctest --output-on-failure -j "${ZANVI_TEST32_JOBS:-2}" "$@"
