#!/usr/bin/env bash
# Runs one test program of the i686 build (ctest's cross-compiling emulator there) under 32-bit
# Wine inside the root, in a fresh copy of the prefix template with a wineserver of its own:
# what one program leaves in its prefix (registry entries, files) never meets another program.
set -uo pipefail
. "$(dirname "$0")/wine32_prefix.sh"

prefixes="$ROOT/build/i686/wineprefixes"
mkdir -p "$prefixes"
prefix="$(mktemp -d "$prefixes/$(basename "$1" .exe).XXXXXX")"
wine32_fresh_prefix "$prefix" || exit 1
# Ends every process of this prefix; the prefix goes with it.
trap '"$WINESERVER" -k >/dev/null 2>&1; rm -rf "$prefix"' EXIT
# The server and the prefix's own background processes start here, detached from ctest's
# output pipes (ctest would wait for them until the timeout).
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" wineboot </dev/null >/dev/null 2>&1
"$WINE" "$@"
