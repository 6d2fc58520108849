#!/usr/bin/env bash
# Makes the shipping set of one target's built deliverables: each stripped, with its debug
# information in a file of its own beside it (named by a debug link in the binary), the text
# for host makers, SHA-256 sums, and a zip named with the project version that holds all of
# them but the debug files.
#   scripts/dist.sh [TARGET [OUT]]   TARGET: i686 (default, the shipping build) or x86_64;
#                                    OUT: build/dist (emptied first)
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
TARGET="${1:-i686}"
OUT="${2:-$ROOT/build/dist}"
BIN="$ROOT/build/$TARGET/bin"
DELIVERABLES=(ZanviSelector.exe ZanviResolver.dll zeb_fw_update.dll)
say() { printf '[dist] %s\n' "$*"; }
die() { printf '[dist] ERROR: %s\n' "$*" >&2; exit 1; }

case "$TARGET" in
    i686) zip_suffix="" ;;
    x86_64) zip_suffix="-x86_64" ;;
    *) die "unknown target '$TARGET' (i686 or x86_64)" ;;
esac
VERSION="$(head -n 1 "$ROOT/VERSION")"
[[ "$VERSION" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "VERSION holds '$VERSION', not a.b.c.d"
for f in "${DELIVERABLES[@]}"; do
    [ -f "$BIN/$f" ] || die "$BIN/$f missing: build it first (make $TARGET)"
done
OBJCOPY="$TARGET-w64-mingw32-objcopy"
STRIP="$TARGET-w64-mingw32-strip"

rm -rf "$OUT"
mkdir -p "$OUT"
cd "$OUT"
for f in "${DELIVERABLES[@]}"; do
    "$OBJCOPY" --only-keep-debug "$BIN/$f" "$f.debug"
    "$STRIP" --strip-all -o "$f" "$BIN/$f"
    # The link holds the debug file's name and checksum; tools look for it beside the binary.
    "$OBJCOPY" --add-gnu-debuglink="$f.debug" "$f"
done
# Windows line endings: the text is read on Windows.
sed -e "s/@ZANVI_VERSION@/$VERSION/" -e 's/$/\r/' "$ROOT/release/README.txt" > README.txt
sha256sum "${DELIVERABLES[@]}" README.txt > SHA256SUMS

ZIP="Zanvi-$VERSION$zip_suffix.zip"
cmake -E tar cf "$ZIP" --format=zip "${DELIVERABLES[@]}" README.txt SHA256SUMS
for f in "${DELIVERABLES[@]}"; do
    say "$(printf '%-18s %8d bytes, debug information %9d bytes' "$f" "$(stat -c %s "$f")" \
        "$(stat -c %s "$f.debug")")"
done
say "$OUT/$ZIP"
