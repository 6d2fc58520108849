#!/usr/bin/env bash
# Wine inside the 32-bit root (see root32_run.sh): `wine32.sh PROGRAM [ARGS...]` runs a Windows
# program (a 32-bit one goes on to the emulated 32-bit loader) in $WINEPREFIX, which must lie
# in the repository's build folder or in a folder of ZANVI_ROOT32_BINDS.
. "$(dirname "$0")/root32_env.sh"
exec "$ROOT/scripts/root32_run.sh" "$ROOT32_WINE" "$@"
