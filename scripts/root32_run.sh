#!/usr/bin/env bash
# Runs one command inside the 32-bit Wine root (build/root32), e.g.
#   scripts/root32_run.sh /usr/lib/wine/wine64 build/i686/tests/some_test.exe
# The command runs chrooted in a private mount namespace of its own, so nothing stays mounted on
# the machine: /proc, /sys, /dev, the X socket folder, the X authority file's folder, the
# repository and every folder named in ZANVI_ROOT32_BINDS (colon-separated) appear at their own
# paths. The machine's current /etc/resolv.conf and /etc/hosts (with its host name added) are
# the root's, so a run under `ip netns exec NS` sees that namespace's network, /sys and files.
# Working directory and environment carry over (PATH becomes the root's); the exit status is
# the command's. Needs root (mount namespaces) and the root built by scripts/root32_setup.sh.
set -euo pipefail
. "$(dirname "$0")/root32_env.sh"

[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
[ -f "$ROOT32/.zanvi-root32" ] || { echo "[root32] ERROR: $ROOT32 is not built (scripts/root32_setup.sh)" >&2; exit 2; }

if [ -z "${ZANVI_ROOT32_UNSHARED:-}" ]; then
    ZANVI_ROOT32_UNSHARED=1 exec unshare -m --propagation private bash "$0" "$@"
fi
unset ZANVI_ROOT32_UNSHARED

# Binds a file or folder of the machine at the same path inside the root.
bind_same() {
    local src="$1" dst="$ROOT32$1"
    if [ -d "$src" ]; then mkdir -p "$dst"; else mkdir -p "$(dirname "$dst")"; [ -e "$dst" ] || : >"$dst"; fi
    mount --rbind "$src" "$dst"
}

mount -t proc proc "$ROOT32/proc"
mount --rbind /sys "$ROOT32/sys"
mount --rbind /dev "$ROOT32/dev"
bind_same "$ROOT"
[ -d /tmp/.X11-unix ] && bind_same /tmp/.X11-unix
[ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ] && bind_same "$(dirname "$XAUTHORITY")"
IFS=: read -r -a extra <<<"${ZANVI_ROOT32_BINDS:-}"
for dir in "${extra[@]}"; do [ -n "$dir" ] && bind_same "$dir"; done

# Wine asks for the host's address by its name at start-up.
hosts="$(mktemp)"
cat /etc/hosts >"$hosts" 2>/dev/null || true
name="$(hostname)"
grep -qw -- "$name" "$hosts" || printf '127.0.1.1\t%s\n' "$name" >>"$hosts"
mount --bind "$hosts" "$ROOT32/etc/hosts"
rm -f "$hosts"
[ -e /etc/resolv.conf ] && mount --bind /etc/resolv.conf "$ROOT32/etc/resolv.conf"

exec chroot "$ROOT32" /usr/bin/env PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/sh -c 'cd "$0" 2>/dev/null || cd /; exec "$@"' "$PWD" "$@"
