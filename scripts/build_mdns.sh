#!/usr/bin/env bash
# Builds the real DNS-SD pair that the real-peer tests and `make demo REAL=1` run against, from
# the open-source responder's tarball beside the repository (../shared/third_party):
#   build/mdns/linux/   mdnsd (the POSIX daemon) and dns-sd (its command-line client), both
#                       speaking to each other over TCP 127.0.0.1:5354 like the Windows library
#   build/mdns/<target>/dnssd.dll   the Windows client library, for i686 and x86_64
#   build/mdns/linux/browse_record_only   the real-peer tests' announcer of a browse record alone
# The sources are unpacked under build/mdns/src only; our own shims are in scripts/mdns/.
# The result is cached; a present cache built from the same tarball with the same flags is kept.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
CACHE="$ROOT/build/mdns"
SHIMS="$ROOT/scripts/mdns"
TARBALL="${ZANVI_MDNS_TARBALL:-$ROOT/../shared/third_party/mDNSResponder-2600.100.147.tar.gz}"
say() { printf '[mdns] %s\n' "$*"; }
die() { printf '[mdns] ERROR: %s\n' "$*" >&2; exit 1; }

# The daemon and dns-sd listen and connect on the Windows library's TCP channel; no pid file so
# that one daemon per network namespace can run; no TLS (nothing here uses DNS over TLS). The
# client stub on that channel names the service-disabled check and the Centennial port, which only
# matter on Windows: on Linux the service is never disabled.
POSIX_CFLAGS="-DUSE_TCP_LOOPBACK -DNO_PID_FILE '-DIsSystemServiceDisabled()=0' -DMDNS_TCP_SERVERPORT_CENTENNIAL=MDNS_TCP_SERVERPORT"
# Windows: the same channel; Winsock's sockaddr has no length member.
WIN_CFLAGS=(-O2 -DUSE_TCP_LOOPBACK -DNOT_HAVE_SA_LEN -DMDNS_TCP_SERVERPORT_CENTENNIAL=MDNS_TCP_SERVERPORT
            -w -I "$SHIMS" -include win_prelude.h)
WIN_SOURCES=(dnssd_clientstub dnssd_ipc dnssd_clientlib dnssd_errstring)

[ -f "$TARBALL" ] || die "responder source not found: $TARBALL"
PEER_TOOL="$ROOT/tests/realpeer/browse_record_only.c"
BUILD_TAG="$(basename "$TARBALL") $(cat "$0" "$SHIMS"/* "$PEER_TOOL" | sha256sum | cut -c1-16)"
cached() {
    [ "$(cat "$CACHE/built" 2>/dev/null)" = "$BUILD_TAG" ] &&
        [ -x "$CACHE/linux/mdnsd" ] && [ -x "$CACHE/linux/dns-sd" ] && [ -x "$CACHE/linux/browse_record_only" ] &&
        [ -f "$CACHE/i686/dnssd.dll" ] && [ -f "$CACHE/x86_64/dnssd.dll" ]
}
if cached; then
    say "cached in $CACHE"
    exit 0
fi

rm -rf "$CACHE" && mkdir -p "$CACHE/src"
say "unpacking $(basename "$TARBALL")"
tar -xzf "$TARBALL" -C "$CACHE/src" --strip-components=1
SRC="$CACHE/src"

say "building mdnsd and dns-sd"
make -s -C "$SRC/mDNSPosix" os=linux tls=no CFLAGS="$POSIX_CFLAGS" Daemon Clients \
    >"$CACHE/posix.log" 2>&1 || { tail -n 20 "$CACHE/posix.log" >&2; die "POSIX build failed (log: $CACHE/posix.log)"; }
mkdir -p "$CACHE/linux"
cp "$SRC/mDNSPosix/build/prod/mdnsd" "$SRC/mDNSPosix/build/prod/libdns_sd.so" "$SRC/Clients/build/dns-sd" "$CACHE/linux/"
# The real-peer tests' own announcer of a browse record alone, on the same client library.
gcc -O2 -Wall -Werror -DUSE_TCP_LOOPBACK -I "$SRC/mDNSShared" "$PEER_TOOL" -o "$CACHE/linux/browse_record_only" \
    -L "$CACHE/linux" -ldns_sd -Wl,-rpath,'$ORIGIN' || die "building browse_record_only failed"

for t in i686 x86_64; do
    cc="$t-w64-mingw32-gcc"
    command -v "$cc" >/dev/null || die "$cc missing (mingw-w64)"
    say "building dnssd.dll for $t"
    obj="$CACHE/$t/obj" && mkdir -p "$obj"
    for f in "${WIN_SOURCES[@]}"; do
        "$cc" "${WIN_CFLAGS[@]}" -I "$SRC/mDNSShared" -I "$SRC/mDNSCore" -I "$SRC/mDNSShared/utilities" \
            -c "$SRC/mDNSShared/$f.c" -o "$obj/$f.o" || die "compiling $f.c for $t failed"
    done
    "$cc" -O2 -c "$SHIMS/service_state.c" -o "$obj/service_state.o" || die "compiling the shim for $t failed"
    # i686: the functions are __stdcall (name@N); the .def exports them under their plain names,
    # which is what GetProcAddress callers ask for.
    "$cc" -shared -static-libgcc -o "$CACHE/$t/dnssd.dll" "$obj"/*.o "$SRC/mDNSWindows/DLL/dnssd.def" \
        -Wl,--enable-stdcall-fixup -lws2_32 || die "linking dnssd.dll for $t failed"
    rm -rf "$obj"
done
echo "$BUILD_TAG" > "$CACHE/built"
say "built into $CACHE"
