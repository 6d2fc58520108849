#!/usr/bin/env bash
# The wineserver of the 32-bit root for $WINEPREFIX: `wineserver32.sh -k`, `-w`, `-p`.
. "$(dirname "$0")/root32_env.sh"
exec "$ROOT/scripts/root32_run.sh" "$ROOT32_WINESERVER" "$@"
