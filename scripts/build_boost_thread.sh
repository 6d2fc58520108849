#!/usr/bin/env bash
# Builds a static Boost.Thread for both mingw-w64 targets from Debian's own source package of
# the installed Boost headers. The result is cached under build/boost/; a present cache is kept.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
CACHE="$ROOT/build/boost"
SRC_FILES=(win32/thread.cpp win32/tss_pe.cpp win32/thread_primitives.cpp future.cpp)
say() { printf '[boost] %s\n' "$*"; }
die() { printf '[boost] ERROR: %s\n' "$*" >&2; exit 1; }

# The compiler a cached library was built with; another one means building again.
COMPILER_TAG="g++-win32"
# No speculative devirtualisation: with it, the destructors of Boost's exception types refer to
# boost::exception's diagnostic text, whose string streams drag the whole C++ locale machinery
# (about 0.8 MB) into every library that waits on a Boost condition.
BOOST_CXXFLAGS=(-std=c++17 -O2 -w -fno-devirtualize-speculatively)
# A cached library built with another compiler or other flags is built again.
BUILD_TAG="$COMPILER_TAG ${BOOST_CXXFLAGS[*]}"
cached() { [ -f "$CACHE/$1/libboost_thread.a" ] && [ "$(cat "$CACHE/$1/compiler" 2>/dev/null)" = "$BUILD_TAG" ]; }

all_built=1
for t in i686 x86_64; do cached "$t" || all_built=0; done
if [ "$all_built" = 1 ] && [ -e "$CACHE/include/boost" ]; then
    say "cached in $CACHE"
    exit 0
fi

[ -d /usr/include/boost/thread ] || die "Boost headers missing (libboost-dev)"
mkdir -p "$CACHE/include"
# Only the Boost headers, never the rest of /usr/include, go on the cross compiler's path.
ln -sfn /usr/include/boost "$CACHE/include/boost"

if [ ! -d "$CACHE/src/libs/thread/src" ]; then
    dl="$CACHE/download"
    rm -rf "$dl" && mkdir -p "$dl"
    say "fetching Debian's boost1.74 source package"
    (cd "$dl" && apt-get source --download-only boost1.74 >/dev/null 2>&1) \
        || die "apt-get source boost1.74 failed (is there a deb-src entry? run scripts/setup.sh)"
    orig=$(ls "$dl"/boost1.74_*.orig.tar.* 2>/dev/null | head -n 1)
    deb=$(ls "$dl"/boost1.74_*.debian.tar.* 2>/dev/null | head -n 1)
    [ -n "$orig" ] && [ -n "$deb" ] || die "source package incomplete in $dl"
    mkdir -p "$dl/x"
    tar -xf "$orig" -C "$dl/x" --wildcards '*/libs/thread/src/*'
    tar -xf "$deb" -C "$dl/x"
    top=$(ls -d "$dl"/x/*/libs/thread/src | head -n 1)
    [ -n "$top" ] || die "libs/thread/src not found in $orig"
    top="${top%/libs/thread/src}"
    # Debian's patches must be applied where they touch these sources.
    for p in $(cat "$dl/x/debian/patches/series" 2>/dev/null | grep -v '^#' || true); do
        if grep -q 'libs/thread/src' "$dl/x/debian/patches/$p"; then
            (cd "$top" && patch -p1 -s < "$dl/x/debian/patches/$p") || die "patch $p failed"
        fi
    done
    mkdir -p "$CACHE/src/libs/thread"
    cp -r "$top/libs/thread/src" "$CACHE/src/libs/thread/"
    rm -rf "$dl"
fi

for t in i686 x86_64; do
    out="$CACHE/$t"
    cached "$t" && continue
    cxx="$t-w64-mingw32-$COMPILER_TAG"
    command -v "$cxx" >/dev/null || die "$cxx missing (mingw-w64)"
    rm -rf "$out/obj" && mkdir -p "$out/obj"
    say "compiling Boost.Thread for $t"
    objs=()
    for f in "${SRC_FILES[@]}"; do
        o="$out/obj/$(echo "$f" | tr / _).o"
        "$cxx" "${BOOST_CXXFLAGS[@]}" -isystem "$CACHE/include" \
            -DBOOST_THREAD_BUILD_LIB -DBOOST_ALL_NO_LIB -DBOOST_THREAD_WIN32 \
            -c "$CACHE/src/libs/thread/src/$f" -o "$o" || die "compiling $f for $t failed"
        objs+=("$o")
    done
    rm -f "$out/libboost_thread.a"
    "$t-w64-mingw32-ar" rcs "$out/libboost_thread.a" "${objs[@]}"
    echo "$BUILD_TAG" > "$out/compiler"
    rm -rf "$out/obj"
done
say "built into $CACHE"
