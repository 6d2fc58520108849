#!/usr/bin/env bash
# The real-peer suite: realpeer_test.exe runs under Wine against the real DNS-SD client library
# (dnssd.dll) and the open-source responder's daemon, with the VCI at the other end of a veth
# pair announced by that daemon's own tools (scripts/real_pair.sh). The namespaces are this run's
# own and are removed when it ends, also when it fails or is interrupted.
#
#   realpeer.sh [--target x86_64|i686] [--build DIR] [-- gtest arguments...]
#
# Every Wine process, wineboot and the wineserver included, runs in the PC's namespace, in a prefix
# of the suite's own (build/realpeer/<target>/wineprefix): the wineserver owns the sockets. How
# Wine is started is a parameter: ZANVI_REALPEER_WINE (default /usr/lib/wine/wine64 for x86_64;
# for i686 a command that runs 32-bit Wine, e.g. inside a 32-bit root) and
# ZANVI_REALPEER_WINESERVER (default /usr/lib/wine/wineserver); both are run under
# `ip netns exec`. Exit code: the test program's; 77 (skipped) where namespaces cannot be made.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
TARGET=x86_64
BUILD=""
GTEST_ARGS=()
while [ $# -gt 0 ]; do
    case "$1" in
        --target) TARGET="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        --) shift; GTEST_ARGS=("$@"); break ;;
        *) echo "realpeer: unknown argument $1" >&2; exit 2 ;;
    esac
done
[ -n "$BUILD" ] || BUILD="$ROOT/build/$TARGET"
say() { printf '[realpeer] %s\n' "$*"; }
skip() { printf '[realpeer] SKIPPED, not run: %s\n' "$*"; exit 77; }
die() { printf '[realpeer] ERROR: %s\n' "$*" >&2; exit 1; }

. "$ROOT/scripts/real_pair.sh"
DNSSD_DLL="$ROOT/build/mdns/$TARGET/dnssd.dll"
TEST_EXE="$BUILD/tests/realpeer_test.exe"
case "$TARGET" in
    x86_64) WINE_CMD="${ZANVI_REALPEER_WINE:-/usr/lib/wine/wine64}"; WINEARCH=win64 ;;
    i686)   # 32-bit Wine runs in its root (scripts/root32_run.sh), in a 64-bit prefix with its
            # 32-bit half made from the root's template.
            . "$ROOT/scripts/wine32_prefix.sh"
            WINE_CMD="${ZANVI_REALPEER_WINE:-$WINE}"
            ZANVI_REALPEER_WINESERVER="${ZANVI_REALPEER_WINESERVER:-$WINESERVER}"
            WINEARCH=win64
            [ -f "$ROOT32/.zanvi-root32" ] || [ -n "${ZANVI_REALPEER_WINE:-}" ] ||
                skip "the 32-bit Wine root is not set up (make setup32)" ;;
    *) die "unknown target $TARGET" ;;
esac
WINESERVER_CMD="${ZANVI_REALPEER_WINESERVER:-/usr/lib/wine/wineserver}"
PREFIX="$ROOT/build/realpeer/$TARGET/wineprefix"
# The test program's own bound, below ctest's (300 s): the script then still cleans up.
RUN_LIMIT_S=240
for f in "$DNSSD_DLL" "$TEST_EXE"; do [ -e "$f" ] || die "missing $f"; done
why="$(pair_unavailable)"
[ -z "$why" ] || skip "$why"

RUN="$(mktemp -d /tmp/zanvi_realpeer.XXXXXX)"
# The 32-bit root sees the run's folder (the spool) at its own path.
export ZANVI_ROOT32_BINDS="$RUN${ZANVI_ROOT32_BINDS:+:$ZANVI_ROOT32_BINDS}"
SPOOL="$RUN/spool"
mkdir -p "$SPOOL"
WINE_ENV=(env WINEPREFIX="$PREFIX" WINEARCH="$WINEARCH" WINEDEBUG=-all
          WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
cleanup() {
    local rc=$?
    trap - EXIT INT TERM
    [ -n "${TEST_PID:-}" ] && kill "$TEST_PID" 2>/dev/null
    # The prefix's own wineserver ends the Wine processes of this run, then the pair goes.
    [ "${WINE_STARTED:-0}" = 1 ] && pair_in_pc "${WINE_ENV[@]}" $WINESERVER_CMD -k >/dev/null 2>&1
    pair_down
    rm -rf "$RUN"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

started_ms=$(date +%s%3N)
# Unique per run: other developers' suites may run at the same time.
if ! pair_up "zrp$$" "$RUN"; then
    # Not even the first namespace: this machine does not let us make them.
    [ ${#PAIR_NAMESPACES[@]} = 0 ] && skip "network namespaces cannot be created here"
    die "the network pair could not be set up"
fi
pair_start_server "$SPOOL"

mkdir -p "$(dirname "$PREFIX")"
# A wineserver of this prefix left by a run that was killed outright would still live in that
# run's namespace, and every Wine process would join it there: it is ended first.
pair_in_pc "${WINE_ENV[@]}" $WINESERVER_CMD -k >/dev/null 2>&1
WINE_STARTED=1
if [ ! -f "$PREFIX/system.reg" ] && [ "$TARGET" = i686 ] && [ -z "${ZANVI_REALPEER_WINE:-}" ]; then
    say "copying the 32-bit prefix template to $PREFIX"
    wine32_fresh_prefix "$PREFIX" || die "no 32-bit prefix template"
elif [ ! -f "$PREFIX/system.reg" ]; then
    say "creating the suite's Wine prefix at $PREFIX"
    pair_in_pc "${WINE_ENV[@]}" $WINE_CMD wineboot -i >/dev/null 2>&1 </dev/null || die "wineboot -i failed"
    pair_in_pc "${WINE_ENV[@]}" $WINESERVER_CMD -w
    # Dialogs not managed by an X window manager: under Xvfb there is none.
    pair_in_pc "${WINE_ENV[@]}" $WINE_CMD reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi
pair_in_pc "${WINE_ENV[@]}" $WINESERVER_CMD -p >/dev/null 2>&1 </dev/null
pair_in_pc "${WINE_ENV[@]}" $WINE_CMD wineboot >/dev/null 2>&1 </dev/null
say "$TARGET: PC $PAIR_NS_PC ($PAIR_IF_PC $PAIR_ADDR_PC), VCI $PAIR_NS_VCI ($PAIR_IF_VCI $PAIR_ADDR_VCI), set up in $(( $(date +%s%3N) - started_ms )) ms"

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Started directly (not through a function) so that $! is the bound's own process.
ip netns exec "$PAIR_NS_PC" "${WINE_ENV[@]}" \
    ZANVI_REALPEER_SPOOL="$(winpath "$SPOOL")" \
    ZANVI_REALPEER_DNSSD="$(winpath "$DNSSD_DLL")" \
    ZANVI_REALPEER_VCI_ADDRESS="$PAIR_ADDR_VCI" \
    ZANVI_REALPEER_USB_ADAPTER="$PAIR_IF_PC" \
    timeout -k 10 "$RUN_LIMIT_S" $WINE_CMD "$TEST_EXE" "${GTEST_ARGS[@]}" </dev/null &
TEST_PID=$!
# Waited for in the background, so that an interruption is handled at once (the EXIT trap).
wait "$TEST_PID"
rc=$?
TEST_PID=""
[ $rc = 124 ] && echo "[realpeer] the test program did not end within $RUN_LIMIT_S s" >&2
if [ $rc != 0 ]; then
    for f in "$RUN"/mdnsd_*.log "$PAIR_PEERS"/*.log; do [ -f "$f" ] && { echo "--- $f"; tail -n 20 "$f"; }; done
fi
exit $rc
