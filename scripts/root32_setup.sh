#!/usr/bin/env bash
# Builds, once, what the 32-bit build's tests run in (cached under build/, rebuilt only when
# missing): the root file system with 32-bit Wine (build/root32) and the Wine prefix template
# with its 32-bit half (build/wineprefix32). This machine's kernel runs no 32-bit code, so the
# 32-bit Wine loader runs under user-mode emulation inside the root; the 64-bit Wine and the
# wineserver run natively. Nothing 32-bit is installed on the machine itself (a machine with
# 32-bit Wine would make every 64-bit prefix set up its 32-bit half too). Must run as root.
set -euo pipefail
. "$(dirname "$0")/root32_env.sh"
say() { printf '[root32] %s\n' "$*"; }
die() { printf '[root32] ERROR: %s\n' "$*" >&2; exit 1; }

# The Debian archive that the machine's own apt uses.
debian_mirror() {
    local uri
    uri="$(grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' |
           grep -v -- '-security' | grep '/debian/\?$' | head -n 1)"
    [ -n "$uri" ] || uri="$(grep -hs '^deb ' /etc/apt/sources.list | awk '{print $2}' |
                            grep -v -- '-security' | grep '/debian/\?$' | head -n 1)"
    echo "${uri:-http://deb.debian.org/debian}"
}

build_root() {
    local mirror partial="$ROOT32.partial"
    mirror="$(debian_mirror)"
    say "building the 32-bit Wine root in $ROOT32 from $mirror (bookworm, backports for qemu-user)"
    rm -rf "$partial"
    # Bookworm's own qemu-user (7.2) ignores MAP_FIXED_NOREPLACE: Wine's address-space
    # reservation then probes for a minute at every start of a 32-bit process.
    mmdebstrap --quiet --variant=minbase --architectures=amd64,i386 --format=directory \
        --aptopt='Acquire::Check-Valid-Until "false"' --aptopt='APT::Install-Recommends "false"' \
        --aptopt='DPkg::Lock::Timeout "600"' \
        --include='wine,wine64,wine32:i386,libwine:i386,qemu-user/bookworm-backports' \
        bookworm "$partial" "deb $mirror bookworm main" "deb $mirror bookworm-backports main" \
        || die "mmdebstrap failed"
    # The 32-bit loader runs emulated. -0 keeps its argv[0]: a 32-bit Wine process starts the
    # loader of its child processes by that name.
    chroot "$partial" dpkg-divert --quiet --local --rename --divert /usr/lib/wine/wine.i386 \
        --add /usr/lib/wine/wine
    cat >"$partial/usr/lib/wine/wine" <<'WRAP'
#!/bin/sh
exec /usr/bin/qemu-i386 -0 /usr/lib/wine/wine /usr/lib/wine/wine.i386 "$@"
WRAP
    chmod 755 "$partial/usr/lib/wine/wine"
    # Mount points that root32_run.sh binds over (files must exist as files).
    rm -f "$partial/etc/resolv.conf" "$partial/etc/hosts"
    : >"$partial/etc/resolv.conf"
    : >"$partial/etc/hosts"
    chroot "$partial" qemu-i386 --version | head -n 1 | sed 's/^/[root32] /'
    touch "$partial/.zanvi-root32"
    mv "$partial" "$ROOT32"
}

# Replaces the prefix's copies of Wine's builtin DLLs and programs by links to the installed
# files (1.3 GB -> about 30 MB); the links resolve inside the root.
link_builtins() {
    local f lib dir
    find "$1/drive_c" -type f \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' \
         -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.tlb' \) -print0 |
    while IFS= read -r -d '' f; do
        for dir in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows; do
            lib="$dir/$(basename "$f")"
            if [ -f "$ROOT32$lib" ] && cmp -s "$f" "$ROOT32$lib"; then ln -sf "$lib" "$f"; break; fi
        done
    done
}

build_prefix_template() {
    local partial="$WINEPREFIX32_TEMPLATE.partial"
    say "making the Wine prefix template with its 32-bit half in $WINEPREFIX32_TEMPLATE"
    rm -rf "$partial"
    mkdir -p "$partial"
    local run=("$ROOT/scripts/root32_run.sh" env WINEPREFIX="$partial" WINEARCH=win64 WINEDEBUG=-all
               "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d")
    "${run[@]}" "$ROOT32_WINE" wineboot -i >/dev/null 2>&1 </dev/null || die "wineboot -i failed"
    # Windows not managed by an X window manager (under Xvfb there is none; see wine_prefix.sh).
    "${run[@]}" "$ROOT32_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >/dev/null 2>&1 </dev/null || die "reg add failed"
    # A program that crashes ends at once (Wine's one line on its output says where): Wine's
    # debugger, which it starts for an unhandled exception unless the debugger command is
    # empty, waits on an emulated process until the test's timeout.
    local view
    for view in 64 32; do
        "${run[@]}" "$ROOT32_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /d '' /f /reg:$view >/dev/null 2>&1 </dev/null || die "reg add failed"
    done
    "${run[@]}" "$ROOT32_WINESERVER" -w
    [ -f "$partial/system.reg" ] && grep -q '^"Managed"="N"' "$partial/user.reg" || die "prefix incomplete"
    [ -d "$partial/drive_c/windows/syswow64" ] || die "prefix has no 32-bit half"
    link_builtins "$partial"
    mv "$partial" "$WINEPREFIX32_TEMPLATE"
}

[ "$(id -u)" = 0 ] || die "must run as root"
if [ -f "$ROOT32/.zanvi-root32" ]; then
    say "root ready at $ROOT32"
else
    command -v mmdebstrap >/dev/null || die "mmdebstrap missing (scripts/setup.sh installs it)"
    rm -rf "$ROOT32" "$WINEPREFIX32_TEMPLATE"
    build_root
fi
if [ -f "$WINEPREFIX32_TEMPLATE/system.reg" ]; then
    say "prefix template ready at $WINEPREFIX32_TEMPLATE"
else
    build_prefix_template
fi
say "du: $(du -sh "$ROOT32" | cut -f1) root, $(du -sh "$WINEPREFIX32_TEMPLATE" | cut -f1) prefix template"
