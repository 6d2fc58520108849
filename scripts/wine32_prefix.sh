# Sourced by the 32-bit runners: wine32_fresh_prefix DIR makes DIR a fresh copy of the prefix
# template and points WINEPREFIX at it.
. "$(dirname "${BASH_SOURCE[0]}")/root32_env.sh"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINE="$ROOT/scripts/wine32.sh"
WINESERVER="$ROOT/scripts/wineserver32.sh"

wine32_fresh_prefix() {
    [ -f "$WINEPREFIX32_TEMPLATE/system.reg" ] ||
        { echo "[wine32] ERROR: no prefix template (scripts/root32_setup.sh)" >&2; return 1; }
    rm -rf "$1"
    mkdir -p "$1"
    cp -a "$WINEPREFIX32_TEMPLATE/." "$1/"
    export WINEPREFIX="$(cd "$1" && pwd)"
}
