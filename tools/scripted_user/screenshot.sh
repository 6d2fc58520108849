#!/usr/bin/env bash
# Screenshots of the selector's dialog in both variants while it lists VCIs of the dnssd
# stand-in, for review: build/screenshots/selector_corvex.png and
# build/screenshots/selector_bay_steward.png. Needs the x86_64 build and ImageMagick's import;
# runs inside a virtual X display of its own when there is none.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
. "$ROOT/scripts/wine_env.sh"

BIN="$ROOT/build/x86_64/bin"
SIM="$ROOT/build/x86_64/sim"
OUT="$ROOT/build/screenshots"
RUN="$OUT/run"
rm -rf "$RUN"
mkdir -p "$RUN"
cp "$BIN/ZanviSelector.exe" "$SIM/dnssd.dll" "$RUN/"
{
    for type in _zeb_vci._tcp _wyn_vci._tcp; do
        printf 'instance DEMO-01 %s\n  txt "usb=true" "wifi=true" "eth=false"\n' "$type"
        printf 'instance DEMO-02 %s\n  txt "usb=true" "wifi=true" "eth=true"\n' "$type"
        printf 'instance LAB-07 %s\n  txt "usb=false" "wifi=false" "eth=true"\n' "$type"
    done
} > "$RUN/dnssd_scenario.txt"

"$WINE" wineboot >/dev/null 2>&1 </dev/null

# The Corvex variant needs the host INI file; one is put in the prefix's Windows folder for
# this run only (with a saved choice, so that its check mark shows) unless there is one.
INI="$WINEPREFIX/drive_c/windows/HXSystem.ini"
made_ini=0
if [ ! -e "$INI" ]; then
    printf '[SD_HARDWARE]\r\nInterface=Zanvi\r\n[Zanvi]\r\nDevice=srv[DEMO-02._zeb_vci._tcp.local,58713,usb]\r\n' > "$INI"
    made_ini=1
fi
trap 'if [ "$made_ini" = 1 ]; then rm -f "$INI"; fi' EXIT

# shot <arguments> <dialog title> <png>: starts the selector; once the tree lists the last
# VCI's link (a redraw puts the check mark back on the saved choice, so the pick comes after
# the last one) the scripted user picks DEMO-01 WiFi; photographs the dialog, then cancels it.
shot() {
    "$WINE" "$RUN/ZanviSelector.exe" "$1" </dev/null >/dev/null 2>&1 &
    local pid=$!
    "$WINE" "$SIM/scripted_user.exe" "$2" LAB-07 Ethernet none 30 </dev/null >/dev/null
    local rect
    rect=$("$WINE" "$SIM/scripted_user.exe" "$2" DEMO-01 WiFi none 30 </dev/null | tr -d '\r' | grep '^rect:')
    sleep 1
    local x y w h
    read -r _ x y w h <<< "$rect"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$3"
    "$WINE" "$SIM/scripted_user.exe" "$2" DEMO-01 WiFi cancel 30 </dev/null >/dev/null
    wait "$pid"
    echo "[screenshot] $3"
}

shot "" "Zanvi Selector - Corvex" "$OUT/selector_corvex.png"
shot "mode=2" "Zanvi Selector - Bay Steward" "$OUT/selector_bay_steward.png"
rm -rf "$RUN"
