#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Idempotent: what is already there is kept. Must run as root.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
say() { printf '[setup] %s\n' "$*"; }
die() { printf '[setup] ERROR: %s\n' "$*" >&2; exit 1; }

# fonts-dejavu-core: the text of make bench's chart (ImageMagick comes without a font here).
# gcc, make: the DNS-SD responder's POSIX daemon; iproute2: the real-peer tests' namespaces.
# mmdebstrap: builds the 32-bit Wine root (scripts/root32_setup.sh); nothing 32-bit comes here.
PACKAGES=(mingw-w64 g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 cmake ninja-build
          wine64 xvfb xauth libboost-dev googletest dpkg-dev xdotool imagemagick fonts-dejavu-core
          gcc make iproute2 mmdebstrap)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

need_src=0
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    need_src=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" = 1 ]; then
    [ "$(id -u)" = 0 ] || die "packages missing (${missing[*]}) and not running as root"
fi

if [ "$need_src" = 1 ]; then
    say "adding a deb-src entry for the Debian main archive"
    cat > /etc/apt/sources.list.d/zanvi-debsrc.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" = 1 ]; then
    say "apt-get update"
    apt-get update -qq -o DPkg::Lock::Timeout=600 || die "apt-get update failed"
fi
if [ "${#missing[@]}" -gt 0 ]; then
    say "installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "${missing[@]}" \
        || die "could not install: ${missing[*]}"
else
    say "Debian packages present"
fi

"$ROOT/scripts/build_boost_thread.sh"
"$ROOT/scripts/build_mdns.sh"
"$ROOT/scripts/wine_prefix.sh"
say "done"
