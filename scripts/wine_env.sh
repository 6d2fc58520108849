# Sourced by the Wine helpers: the project's private 64-bit prefix and quiet Wine.
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${ZANVI_WINEPREFIX:-$ROOT/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
