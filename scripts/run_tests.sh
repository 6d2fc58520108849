#!/usr/bin/env bash
# Runs the x86_64 test programs under Wine with one wineserver for the whole run, inside a
# virtual X display (when there is none) so that tests may open windows.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
. "$ROOT/scripts/wine_env.sh"

"$WINESERVER" -p
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
# Start the prefix's own background processes now, detached from ctest's output pipes: a test
# that started them would hand them its pipe and ctest would wait for them until the timeout.
"$WINE" wineboot >/dev/null 2>&1 </dev/null

cd "$ROOT/build/x86_64"
ctest --output-on-failure "$@"
