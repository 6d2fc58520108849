#!/usr/bin/env bash
# The end-to-end demonstration on the simulated VCI network (run by `make demo` after the build):
# the selector saves a user's choice, the host stand-in shows it, resolves it with the resolver
# plug-in, updates the VCI with the update plug-in, and ends with the diagnostic report
# (zanvi_host doctor). Every step is bounded in time; a step whose program is not built yet is
# named as such and skipped. Exits non-zero when a step fails.
# REAL=1 plays the same session over the real DNS-SD pair (scripts/real_pair.sh): the demo's VCIs
# announced by the responder's daemon in a namespace of their own, the PC's Wine in another with
# the real dnssd.dll, the resolver plug-in itself and zanvi_host's own adapter survey.
#   demo.sh [x86_64|i686]   (i686: the shipping build under 32-bit Wine in its root, make demo32)
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

REAL="${REAL:-0}"
TARGET="${1:-x86_64}"
case "$TARGET" in
    x86_64)
        STAGE="$ROOT/build/demo"
        # A prefix of the demo's own, so that its host files and registry entries never meet
        # the tests'; over the real pair another one, whose wineserver lives in the PC's
        # namespace.
        if [ "$REAL" = 1 ]; then export ZANVI_WINEPREFIX="$STAGE/wineprefix-real"
        else export ZANVI_WINEPREFIX="$STAGE/wineprefix"; fi
        . "$ROOT/scripts/wine_env.sh"
        prepare_prefix() { "${IN_PC[@]}" bash "$ROOT/scripts/wine_prefix.sh" >/dev/null; }
        REG_VIEW=64 ;;
    i686)
        [ "$REAL" = 1 ] && { echo "REAL=1 plays the x86_64 build (make demo REAL=1)" >&2; exit 2; }
        STAGE="$ROOT/build/demo32"
        . "$ROOT/scripts/wine32_prefix.sh"
        export WINEPREFIX="$STAGE/wineprefix"
        # Each run starts from the template, as a freshly installed PC.
        prepare_prefix() { wine32_fresh_prefix "$STAGE/wineprefix"; }
        REG_VIEW=32 ;;
    *) echo "usage: $0 [x86_64|i686]" >&2; exit 2 ;;
esac
# Every Wine process of the demo starts through this (empty on the simulated network).
IN_PC=()
BIN="$ROOT/build/$TARGET/bin"
SIM="$ROOT/build/$TARGET/sim"
TESTS="$ROOT/build/$TARGET/tests"
SHOWN="${STAGE#"$ROOT/"}"  # the stage as the messages name it
RESOLVER_SHIM="$TESTS/e2e_resolver/ZanviResolver.dll"
DEMO_HOST="$TESTS/demo_host/zanvi_host.exe"
SCRIPTED_USER="$SIM/scripted_user.exe"
STEP_TIMEOUT=120
# What the selector saves when the user picks DEMO-01 on USB in the Corvex variant.
FALLBACK_CHOICE="srv[DEMO-01._zeb_vci._tcp.local,58713,usb]"

failures=()
summary=()
winpath() { sed 's|/|\\|g; s|^|Z:|' <<<"$1"; }
note() { summary+=("$1"); }
fail() {
    echo "FAILED: $1" >&2
    failures+=("$1")
    note "FAILED: $1"
}
# A Windows program of the stage, bounded in time; its output goes through unchanged.
run_wine() { timeout -k 5 "$STEP_TIMEOUT" "${IN_PC[@]}" "$WINE" "$@"; }

if [ "$REAL" = 1 ]; then
    . "$ROOT/scripts/real_pair.sh"
    why="$(pair_unavailable)"
    [ -z "$why" ] || { echo "FAILED: the real DNS-SD pair cannot run here: $why" >&2; exit 1; }
    echo "== Zanvi demo: VCI selection, resolution and update over the real DNS-SD pair"
else
    echo "== Zanvi demo ($TARGET build): VCI selection, resolution and update on the simulated network"
fi
for f in ZanviSelector.exe ZanviResolver.dll zeb_fw_update.dll zanvi_host.exe; do
    if [ -f "$BIN/$f" ]; then echo "built:         $f"; else echo "NOT BUILT YET: $f"; fi
done
have() { [ -f "$STAGE/$1" ]; }
# Whether a step that works on the saved choice with a staged program can run; says why not.
ready_for() {  # ready_for <step> <file>
    local why=""
    if [ -z "$chosen" ]; then why="skipped, no saved selection"
    elif ! have "$2"; then why="NOT BUILT YET ($2)"
    else return 0
    fi
    echo "-- $1: $why"
    note "$1: $why"
    return 1
}

echo
echo "-- Staging the $TARGET deliverables and both stand-ins in $SHOWN/"
mkdir -p "$STAGE"
find "$STAGE" -mindepth 1 -maxdepth 1 ! -name wineprefix -exec rm -rf {} +
for f in ZanviSelector.exe zeb_fw_update.dll zanvi_host.exe; do
    [ -f "$BIN/$f" ] && cp "$BIN/$f" "$STAGE/"
done
# Under Wine no adapter of the PC leads to a VCI, so the resolver runs as its test build behind a
# ZanviResolver.dll that hands it the demo network's adapters (tests/e2e/resolver_shim), and
# zanvi_host as its demo build, whose doctor surveys the same adapters.
# Over the real pair the PC has a Remote NDIS adapter of its own: the plug-in and the host as built.
if [ "$REAL" = 1 ]; then
    [ -f "$BIN/ZanviResolver.dll" ] && cp "$BIN/ZanviResolver.dll" "$STAGE/"
    [ -f "$BIN/zanvi_host.exe" ] && cp "$BIN/zanvi_host.exe" "$STAGE/"
    cp "$ROOT/build/mdns/x86_64/dnssd.dll" "$STAGE/" || fail "the real dnssd.dll is missing (scripts/build_mdns.sh)"
elif [ -f "$BIN/ZanviResolver.dll" ] && [ -f "$RESOLVER_SHIM" ] && [ -f "$TESTS/ZanviResolverSeams.dll" ]; then
    cp "$RESOLVER_SHIM" "$TESTS/ZanviResolverSeams.dll" "$STAGE/"
fi
[ "$REAL" != 1 ] && [ -f "$BIN/zanvi_host.exe" ] && [ -f "$DEMO_HOST" ] && cp "$DEMO_HOST" "$STAGE/"
stand_ins=(drx_runtime.dll VciManager.exe)
[ "$REAL" = 1 ] || stand_ins+=(dnssd.dll)
for f in "${stand_ins[@]}"; do
    if [ -f "$SIM/$f" ]; then cp "$SIM/$f" "$STAGE/"; else fail "stand-in $f is missing from build/$TARGET/sim"; fi
done
# Each stand-in reads its scenario from beside its library.
cp "$ROOT/demo/dnssd_scenario.txt" "$STAGE/dnssd_scenario.txt"
cp "$ROOT/demo/drx_runtime.scenario" "$STAGE/drx_runtime.scenario"
ls "$STAGE" | grep -v '^wineprefix' | sed 's/^/   /'
echo "   DNS-SD scenario: DEMO-01 (USB, Wi-Fi), DEMO-02 (Ethernet), DEMO-03 (Wi-Fi, Ethernet)"

if [ "$REAL" = 1 ]; then
    echo
    echo "-- The real pair: a PC and a VCI namespace joined by a veth pair, a DNS-SD daemon in each"
    PAIR_DIR="$(mktemp -d /tmp/zanvi_demo_real.XXXXXX)"
    trap 'pair_down; rm -rf "$PAIR_DIR"' EXIT
    # Interrupted, it still ends its processes and removes the namespaces (the EXIT trap).
    trap 'exit 130' INT TERM
    pair_up "zdm$$" "$PAIR_DIR" || { echo "FAILED: the network pair could not be set up" >&2; exit 1; }
    IN_PC=(ip netns exec "$PAIR_NS_PC")
    echo "   PC $PAIR_NS_PC: $PAIR_IF_PC $PAIR_ADDR_PC (a Remote NDIS adapter by its name); VCI $PAIR_NS_VCI: $PAIR_ADDR_VCI"
    # The demo's VCIs, as the scenario file lists them, announced by the VCI's own daemon.
    for type_port in _zeb_vci._tcp:58713 _wyn_vci._tcp:6800; do
        type="${type_port%:*}" port="${type_port#*:}"
        pair_announce DEMO-01 "$type" "$port" usb=true wifi=true eth=false &&
            pair_announce DEMO-02 "$type" "$port" usb=false wifi=false eth=true &&
            pair_announce DEMO-03 "$type" "$port" usb=false wifi=true eth=true ||
            { echo "FAILED: announcing the demo's VCIs under $type" >&2; exit 1; }
    done
    echo "   announced with dns-sd -R: DEMO-01, DEMO-02, DEMO-03 under _zeb_vci._tcp and _wyn_vci._tcp"
    note "real pair: $PAIR_IF_PC on the PC, VCIs at $PAIR_ADDR_VCI announced by the responder's daemon"
fi

echo
echo "-- Preparing the demo's Wine prefix (hosts installed, runtime registered)"
prepare_prefix || { echo "FAILED: Wine prefix" >&2; exit 1; }
"${IN_PC[@]}" "$WINESERVER" -p
if [ "$REAL" = 1 ]; then
    trap '"${IN_PC[@]}" "$WINESERVER" -k 2>/dev/null; pair_down; rm -rf "$PAIR_DIR"' EXIT
else
    trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
fi
# The prefix's own background processes start here, detached from this script's output.
"${IN_PC[@]}" "$WINE" wineboot >/dev/null 2>&1 </dev/null

windows_dir="$WINEPREFIX/drive_c/windows"
program_data="$WINEPREFIX/drive_c/ProgramData"
# The Corvex host is installed: its INI file exists, with no VCI chosen yet.
printf '' >"$windows_dir/HXSystem.ini"
compat_dir="$program_data/Quellar/DRX-VCI/Zanvi/app-compatibility"
mkdir -p "$compat_dir"
cp "$ROOT/demo/zvci_app_compatibility.config" "$compat_dir/"
# The runtime's installer registers it in the registry view of the plug-in's build (a 32-bit
# plug-in reads the 32-bit view).
if ! run_wine reg add 'HKLM\SOFTWARE\Quellar\DRX-VCI\Zanvi\RT Support' /v FunctionLibrary \
        /d "$(winpath "$STAGE/drx_runtime.dll")" /f /reg:$REG_VIEW >/dev/null 2>&1; then
    fail "registering the VCI runtime stand-in"
fi
if ! run_wine reg add 'HKLM\Software\QUELLAR\DRX-VCI\Zanvi' /v TaviManager \
        /d "$(winpath "$STAGE/VciManager.exe")" /f /reg:32 >/dev/null 2>&1; then
    fail "registering the VCI manager stand-in"
fi
echo "   HXSystem.ini (empty), the compatibility file, FunctionLibrary -> drx_runtime.dll,"
echo "   TaviManager -> VciManager.exe"

# Step 1: the selector in its window, with a scripted user.
run_selector() {
    local title="Zanvi Selector - Corvex" place=""
    echo "-- Selector: started for the Corvex host; the user picks DEMO-01 on USB and presses Save"
    (cd "$STAGE" && exec timeout -k 5 "$STEP_TIMEOUT" "${IN_PC[@]}" "$WINE" "$STAGE/ZanviSelector.exe" </dev/null >/dev/null 2>&1) &
    local selector=$!
    # The pick comes once the tree is complete (DEMO-03's Ethernet link is listed last): a redraw
    # after it would clear the check mark in the screenshot.
    if ! run_wine "$SCRIPTED_USER" "$title" DEMO-03 Ethernet none 30 </dev/null >/dev/null ||
       ! place="$(run_wine "$SCRIPTED_USER" "$title" DEMO-01 USB none 30 </dev/null 2>&1)"; then
        fail "the scripted user could not pick DEMO-01 USB in the selector"
        kill "$selector" 2>/dev/null
        return
    fi
    sed -n 's/\r$//; s/^picked: /   selection box: /p' <<<"$place"
    local x y w h
    read -r x y w h <<<"$(sed -n 's/\r$//; s/^rect: //p' <<<"$place")"
    sleep 0.5  # let the dialog paint the check mark
    if [ -n "$h" ] && import -window root -crop "${w}x${h}+${x}+${y}" +repage "$STAGE/selector.png" 2>/dev/null; then
        echo "   screenshot of the dialog before Save: $SHOWN/selector.png"
    else
        fail "no screenshot of the selector"
    fi
    run_wine "$SCRIPTED_USER" "$title" DEMO-01 USB save 30 </dev/null | sed -n 's/\r$//; s/^pressed: save/   pressed Save/p'
    [ "${PIPESTATUS[0]}" -eq 0 ] || fail "the scripted user could not press Save"
    # Save ends the program about a second later.
    local waited=0
    while kill -0 "$selector" 2>/dev/null && [ $waited -lt 200 ]; do sleep 0.1; waited=$((waited + 1)); done
    if kill -0 "$selector" 2>/dev/null; then
        fail "the selector did not end after Save"
        kill "$selector" 2>/dev/null
    else
        note "selector: DEMO-01 on USB saved; screenshot $SHOWN/selector.png"
    fi
}

echo
chosen=""
if ! have ZanviSelector.exe; then
    echo "-- Selector: NOT BUILT YET (ZanviSelector.exe); no dialog and no screenshot"
    # The rest of the chain still runs: the demo writes the entry the selector would save.
    printf '[Zanvi]\r\nDevice=%s\r\n' "$FALLBACK_CHOICE" >"$windows_dir/HXSystem.ini"
    echo "   instead the demo wrote HXSystem.ini [Zanvi] Device=$FALLBACK_CHOICE itself"
    note "selector: NOT BUILT YET; choice written by the demo, not by the selector"
elif [ ! -f "$SCRIPTED_USER" ]; then
    echo "-- Selector: NOT BUILT YET (the scripted user, build/$TARGET/sim/scripted_user.exe)"
    note "selector: built, scripted user NOT BUILT YET"
else
    run_selector
fi

# Step 2: the host reads the saved selection.
echo
echo "-- Host: zanvi_host show"
if ! have zanvi_host.exe; then
    echo "   NOT BUILT YET: zanvi_host.exe"
    note "host: NOT BUILT YET"
else
    show_out="$(run_wine "$STAGE/zanvi_host.exe" show 2>&1 </dev/null)"
    show_rc=$?
    sed 's/\r$//; s/^/   /' <<<"$show_out"
    chosen="$(sed -n 's/.*\(srv\[[^]]*\]\).*/\1/p' <<<"$show_out" | head -n 1)"
    if [ $show_rc -eq 0 ] && [ -n "$chosen" ]; then
        note "host: saved selection $chosen"
    elif have ZanviSelector.exe && [ -f "$SCRIPTED_USER" ]; then
        fail "zanvi_host show found no saved selection (exit $show_rc)"
    else
        note "host: no saved selection (nothing saved it)"
    fi
fi

# Step 3: the resolver turns the choice into an address.
echo
if ready_for resolver ZanviResolver.dll; then
    echo "-- Host: zanvi_host resolve (the saved selection, without its srv[...] wrapping)"
    if [ "$REAL" = 1 ]; then
        echo "   (the resolver plug-in itself; its USB adapter is $PAIR_IF_PC)"
    else
        echo "   (the resolver's test build, with the demo's adapters: 2 Remote NDIS, 3 Wi-Fi, 4 Ethernet)"
    fi
    resolve_out="$(run_wine "$STAGE/zanvi_host.exe" resolve --source ini --timeout 90 2>&1 </dev/null)"
    resolve_rc=$?
    sed 's/\r$//; s/^/   /' <<<"$resolve_out"
    address="$(sed -n 's/^Address: *\([0-9.]*\).*/\1/p' <<<"$resolve_out" | head -n 1)"
    port="$(sed -n 's/^Port: *\([0-9]*\).*/\1/p' <<<"$resolve_out" | head -n 1)"
    if [ $resolve_rc -eq 0 ] && [ -n "$address" ]; then
        note "resolver: $address port $port"
    else
        fail "zanvi_host resolve (exit $resolve_rc)"
    fi
fi

# Step 4: the update application brings the VCI's application up to date.
echo
if ready_for update zeb_fw_update.dll; then
    echo "-- Host: zanvi_host update Zanvi (FWUpdate on the VCI named in HXSystem.ini)"
    run_wine "$STAGE/zanvi_host.exe" update Zanvi FWUpdate --timeout 60 </dev/null 2>&1 | sed 's/\r$//; s/^/   /'
    update_rc=${PIPESTATUS[0]}
    if [ "$update_rc" -eq 0 ]; then
        note "update: zvci 1.3.0.3 installed on the VCI (US_Ready); log $SHOWN/zeb_fw_update.dll.log"
    else
        fail "zanvi_host update (exit $update_rc)"
    fi
fi

# Step 5: the report a support engineer asks for when a workshop says "no VCI".
echo
if ! have zanvi_host.exe; then
    echo "-- doctor: NOT BUILT YET (zanvi_host.exe)"
    note "doctor: NOT BUILT YET"
else
    echo "-- Host: zanvi_host doctor (saved as $SHOWN/doctor_report.txt)"
    run_wine "$STAGE/zanvi_host.exe" doctor --out "$(winpath "$STAGE/doctor_report.txt")" </dev/null 2>&1 |
        sed 's/\r$//; s/^/   /'
    doctor_rc=${PIPESTATUS[0]}
    if [ "$doctor_rc" -eq 0 ]; then
        note "doctor: a saved selection resolves and the runtime loads; report $SHOWN/doctor_report.txt"
    else
        fail "zanvi_host doctor (exit $doctor_rc)"
    fi
fi

echo
echo "== Summary"
for line in "${summary[@]}"; do echo "   $line"; done
[ ${#failures[@]} -eq 0 ]
