#!/usr/bin/env bash
# Checks that both targets built every deliverable and stand-in whose sources exist.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
fail=0
while read -r dir file; do
    case "$dir" in ''|'#'*) continue ;; esac
    [ -f "$ROOT/$dir/CMakeLists.txt" ] || continue
    for t in i686 x86_64; do
        if [ -f "$ROOT/build/$t/$file" ]; then
            echo "[check] build/$t/$file"
        else
            echo "[check] MISSING build/$t/$file" >&2
            fail=1
        fi
    done
done < "$ROOT/scripts/deliverables.txt"
exit $fail
