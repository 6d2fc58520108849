#!/usr/bin/env bash
# Creates the private Wine prefix under build/ once.
set -euo pipefail
. "$(dirname "$0")/wine_env.sh"
if [ -f "$WINEPREFIX/system.reg" ]; then
    printf '[wine] prefix ready at %s\n' "$WINEPREFIX"
    exit 0
fi
[ -x "$WINE" ] || { printf '[wine] ERROR: %s missing (wine64)\n' "$WINE" >&2; exit 1; }
printf '[wine] creating prefix at %s\n' "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
"$WINE" wineboot -i >/dev/null 2>&1 || { printf '[wine] ERROR: wineboot failed\n' >&2; exit 1; }
"$WINESERVER" -w
[ -f "$WINEPREFIX/system.reg" ] || { printf '[wine] ERROR: prefix incomplete\n' >&2; exit 1; }
printf '[wine] prefix ready\n'
