#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix (ctest's cross-compiling emulator).
. "$(dirname "$0")/wine_env.sh"
exec "$WINE" "$@"
