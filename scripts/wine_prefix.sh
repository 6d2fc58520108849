#!/usr/bin/env bash
# Creates the private Wine prefix under build/ once.
set -euo pipefail
. "$(dirname "$0")/wine_env.sh"

# Windows not managed by an X window manager: under Xvfb there is none, and Wine would wait
# 2 s for it each time a managed window (every dialog) is hidden.
unmanaged_windows() {
    grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null && return 0
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$WINESERVER" -w
}

if [ -f "$WINEPREFIX/system.reg" ]; then
    unmanaged_windows
    printf '[wine] prefix ready at %s\n' "$WINEPREFIX"
    exit 0
fi
[ -x "$WINE" ] || { printf '[wine] ERROR: %s missing (wine64)\n' "$WINE" >&2; exit 1; }
printf '[wine] creating prefix at %s\n' "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
"$WINE" wineboot -i >/dev/null 2>&1 || { printf '[wine] ERROR: wineboot failed\n' >&2; exit 1; }
"$WINESERVER" -w
[ -f "$WINEPREFIX/system.reg" ] || { printf '[wine] ERROR: prefix incomplete\n' >&2; exit 1; }
unmanaged_windows
printf '[wine] prefix ready\n'
