# Sourced by the 32-bit helpers: where the 32-bit Wine root and its prefix template live.
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
# The root file system with 32-bit Wine (scripts/root32_setup.sh builds it once).
ROOT32="$ROOT/build/root32"
# The 64-bit prefix with its 32-bit half, made once inside the root; copied for each program.
WINEPREFIX32_TEMPLATE="$ROOT/build/wineprefix32"
ROOT32_WINE=/usr/lib/wine/wine64
ROOT32_WINESERVER=/usr/lib/wine/wineserver
