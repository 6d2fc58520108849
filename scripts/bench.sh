#!/usr/bin/env bash
# make bench: the system's latencies and idle CPU on the stand-ins under Wine, each set against
# the floor that the design's own waits allow. Stages the x86_64 build in build/bench/ with a Wine
# prefix of its own, takes the samples (build/x86_64/sim/bench.exe, and the selector's CPU time
# from /proc), then prints one table and writes build/bench/results.csv and
# build/bench/results.png, and the host-responsiveness table. Exits non-zero when a measurement
# fails or an export misses its target. `scripts/bench.sh responsiveness` takes that table alone,
# `scripts/bench.sh load` the LoadLibrary + Init rows alone.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

OUT="$ROOT/build/bench"
STAGE="$OUT/stage"
export ZANVI_WINEPREFIX="$OUT/wineprefix"
. "$ROOT/scripts/wine_env.sh"
BIN="$ROOT/build/x86_64/bin"
SIM="$ROOT/build/x86_64/sim"
TESTS="$ROOT/build/x86_64/tests"
BENCH="$SIM/bench.exe"
SAMPLES="$OUT/samples.txt"
TITLE="Zanvi Selector - Corvex"
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
STEP_TIMEOUT=600

# Repetitions: enough for a stable median, within a run of about ten minutes.
SELECTOR_REPS=(1:15 10:12 20:12)  # VCIs listed : repetitions
CPU_VCIS=(3 20)
CPU_WINDOWS=3
CPU_WINDOW_S=30
RESOLVE_REPS=10
INIT_PROCESSES=8                  # one cold sample each
INIT_REPS=6                       # in each process: the cold one, then warm ones
UPDATE_REPS=10
# The runtime stand-in's install: 8 components, each reported after its own 50 ms delay.
INSTALL_COMPONENTS=8
INSTALL_DELAY_MS=50

winpath() { sed 's|/|\\|g; s|^|Z:|' <<<"$1"; }
die() { echo "bench: FAILED: $*" >&2; exit 1; }
# A Windows program, bounded in time; its samples are kept and shown.
measure() {
    timeout -k 5 "$STEP_TIMEOUT" "$WINE" "$BENCH" "$@" </dev/null | sed -u 's/\r$//' | tee -a "$SAMPLES" |
        sed -u 's/^/   /'
    [ "${PIPESTATUS[0]}" -eq 0 ] || die "bench $*"
}

stage() {
    for f in "$BIN/ZanviSelector.exe" "$BIN/ZanviResolver.dll" "$BIN/zeb_fw_update.dll" "$SIM/dnssd.dll" \
             "$SIM/drx_runtime.dll" "$SIM/scripted_user.exe" "$BENCH" "$SIM/bench_stub.dll" "$TESTS/ZanviResolverSeams.dll" \
             "$TESTS/e2e_resolver/ZanviResolver.dll"; do
        [ -f "$f" ] || die "${f#"$ROOT"/} is not built (make build)"
    done
    find "$OUT" -mindepth 1 -maxdepth 1 ! -name wineprefix -exec rm -rf {} +
    mkdir -p "$STAGE"/{selector,resolver,resolver_plain,update}
    cp "$BIN/ZanviSelector.exe" "$SIM/dnssd.dll" "$STAGE/selector/"
    # Under Wine no adapter of the PC leads to a VCI: the resolver's test build runs behind the
    # demo's ZanviResolver.dll, which hands it the demo network's adapters (as in make demo).
    cp "$TESTS/e2e_resolver/ZanviResolver.dll" "$TESTS/ZanviResolverSeams.dll" "$SIM/dnssd.dll" \
       "$STAGE/resolver/"
    cp "$ROOT/demo/dnssd_scenario.txt" "$STAGE/resolver/"
    # Loading and Init are measured on the shipping build itself.
    cp "$BIN/ZanviResolver.dll" "$SIM/dnssd.dll" "$SIM/bench_stub.dll" "$STAGE/resolver_plain/"
    cp "$BIN/zeb_fw_update.dll" "$SIM/drx_runtime.dll" "$SIM/bench_stub.dll" "$STAGE/update/"
    cat >"$STAGE/update/drx_runtime.scenario" <<EOF
module 1 6 1 DEMO-01
pcapp zvci 1.3.0.3 2013-05-17
vciapp 1 5 zvci 1.3.0.2 2013-01-01 running
server 2.1.0.15 2013-02-01 DRX Product Version
install $INSTALL_COMPONENTS
delay $INSTALL_DELAY_MS
EOF
}

prepare_prefix() {
    bash "$ROOT/scripts/wine_prefix.sh" >/dev/null || die "Wine prefix"
    "$WINESERVER" -p
    trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
    "$WINE" wineboot >/dev/null 2>&1 </dev/null
    # The Corvex host's INI file names DEMO-01 on USB: the selector shows it, the update finds it.
    printf '[Zanvi]\r\nDevice=srv[DEMO-01._zeb_vci._tcp.local,58713,usb]\r\n' \
        >"$WINEPREFIX/drive_c/windows/HXSystem.ini"
    local compat="$WINEPREFIX/drive_c/ProgramData/Quellar/DRX-VCI/Zanvi/app-compatibility"
    mkdir -p "$compat"
    cp "$ROOT/demo/zvci_app_compatibility.config" "$compat/"
    "$WINE" reg add 'HKLM\SOFTWARE\Quellar\DRX-VCI\Zanvi\RT Support' /v FunctionLibrary \
        /d "$(winpath "$STAGE/update/drx_runtime.dll")" /f >/dev/null 2>&1 || die "registering the runtime"
}

# User and system CPU time of a process in clock ticks (fields 14 and 15 of its stat line).
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }

# The first process's CPU time as a share of one core in consecutive windows, "sample <figure>
# <percent>" each, and the second's over all of them together. Clock ticks are 10 ms: a 30 s
# window reads 0.3 % to within a fifth, the whole span a smaller share (the floor) as well.
sample_cpu() {  # sample_cpu <figure> <pid> <figure> <pid>
    local a a2 b b2 w
    a=$(cpu_ticks "$2") && b=$(cpu_ticks "$4") || return 1
    for w in $(seq "$CPU_WINDOWS"); do
        sleep "$CPU_WINDOW_S"
        a2=$(cpu_ticks "$2") || return 1
        percent "$1" $((a2 - a)) "$CPU_WINDOW_S"
        a=$a2
    done
    b2=$(cpu_ticks "$4") || return 1
    percent "$3" $((b2 - b)) $((CPU_WINDOWS * CPU_WINDOW_S))
}
percent() {  # percent <figure> <ticks> <seconds>
    awk -v f="$1" -v d="$2" -v hz="$(getconf CLK_TCK)" -v s="$3" \
        'BEGIN { printf "sample %s %.3f\n", f, d * 100 / hz / s }' | tee -a "$SAMPLES" | sed 's/^/   /'
}

# The selector listing vcis VCIs, each with its USB and Wi-Fi links, idle once all are shown;
# beside it the design's wake-ups alone (bench wakeups), over the same windows.
idle_cpu() {  # idle_cpu <vcis>
    local scenario="$STAGE/selector/idle_$1.txt" i last selector wakeups
    : >"$scenario"
    for i in $(seq 1 "$1"); do
        printf 'instance VCI-%02d _zeb_vci._tcp local.\n  interfaces 2\n  txt "usb=true" "wifi=true"\n' "$i" \
            >>"$scenario"
    done
    last=$(printf 'VCI-%02d' "$1")
    # Both started without a time bound of their own, so that their process ids are the
    # programs': the scripted user's Cancel ends the selector (or the script does), the wake-ups
    # end by themselves two seconds after the last window.
    (cd "$STAGE/selector" && ZANVI_DNSSD_SCENARIO="$(winpath "$scenario")" \
        exec "$WINE" ZanviSelector.exe </dev/null >/dev/null 2>&1) &
    selector=$!
    # The scripted user waits until the last VCI's links are listed: the first TXT pass is over.
    if ! timeout -k 5 120 "$WINE" "$SIM/scripted_user.exe" "$TITLE" "$last" WiFi none 60 </dev/null >/dev/null; then
        kill "$selector" 2>/dev/null
        die "the selector did not list $1 VCIs"
    fi
    "$WINE" "$BENCH" wakeups "$1" $((CPU_WINDOWS * CPU_WINDOW_S + 3)) </dev/null &
    wakeups=$!
    sleep 1
    if ! sample_cpu "selector.cpu.$1" "$selector" "selector.cpu.$1.bare" "$wakeups" ||
       ! timeout -k 5 60 "$WINE" "$SIM/scripted_user.exe" "$TITLE" "$last" WiFi cancel 30 </dev/null >/dev/null; then
        kill "$selector" "$wakeups" 2>/dev/null
        die "no idle CPU time of the selector listing $1 VCIs"
    fi
    wait "$selector"
    wait "$wakeups" || die "bench wakeups $1"
}

take_samples() {
    : >"$SAMPLES"
    local entry
    echo "-- Selector: announcement -> row and links, removal -> row gone (steered through the dnssd stand-in)"
    for entry in "${SELECTOR_REPS[@]}"; do
        measure selector "$(winpath "$STAGE/selector")" "${entry%%:*}" "${entry##*:}"
    done
    echo "-- Selector: idle CPU, and the design's wake-ups alone"
    for entry in "${CPU_VCIS[@]}"; do idle_cpu "$entry"; done
    echo "-- Resolver: Execute -> Ready per link"
    for entry in usb wifi eth; do measure resolve "$(winpath "$STAGE/resolver")" "$entry" "$RESOLVE_REPS"; done
    take_load_cost
    echo "-- Update plug-in: an update, Free during an install"
    measure update "$(winpath "$STAGE/update")" "$UPDATE_REPS" $((INSTALL_COMPONENTS * INSTALL_DELAY_MS))
    measure update-free "$(winpath "$STAGE/update")" plugin "$UPDATE_REPS"
    measure update-free "$(winpath "$STAGE/update")" bare "$UPDATE_REPS"
}

# LoadLibrary + Init of each plug-in, beside the same outside work done bare, in processes of
# their own so that each gives one cold sample.
take_load_cost() {
    local entry lines
    echo "-- LoadLibrary + Init: the resolver, the update plug-in (first the trace lines Init sends)"
    lines=$(init_trace_lines resolver-init "$STAGE/resolver_plain" resolver.init.lines) || die "the resolver's trace lines"
    for entry in $(seq "$INIT_PROCESSES"); do
        measure resolver-init "$(winpath "$STAGE/resolver_plain")" plugin "$INIT_REPS"
        measure resolver-init "$(winpath "$STAGE/resolver_plain")" bare "$INIT_REPS" "$lines"
    done
    lines=$(init_trace_lines update-init "$STAGE/update" update.init.lines) || die "the update plug-in's trace lines"
    for entry in $(seq "$INIT_PROCESSES"); do
        measure update-init "$(winpath "$STAGE/update")" plugin "$INIT_REPS"
        measure update-init "$(winpath "$STAGE/update")" bare "$INIT_REPS" "$lines"
    done
}

# The lines a plug-in sends to the debugger output during LoadLibrary + Init, caught in a process
# of their own (before a debugger would see them); shown as a sample, the number printed alone.
init_trace_lines() {  # init_trace_lines <command> <folder> <figure>
    measure "$1" "$(winpath "$2")" lines 1 >&2
    sample_of "$3"
}

# The last sample of a figure; fails when there is none.
sample_of() {  # sample_of <figure>
    awk -v f="$1" '$1 == "sample" && $2 == f { n = $3 } END { if (n == "") exit 1; print n + 0 }' "$SAMPLES"
}

# Host responsiveness: each plug-in's exports timed from a second host thread while the stand-ins
# are held in each of their calls in turn, and through whole runs.
take_responsiveness() {
    echo "-- Host responsiveness: each export from a second host thread, the stand-ins held in each call, through runs"
    measure resolver-responsiveness "$(winpath "$STAGE/resolver")"
    measure update-responsiveness "$(winpath "$STAGE/update")"
}

# The rows of the table: figure | unit | what (no apostrophes: the chart quotes with them) |
# floor (a number, or "bare" for the median of the figure's .bare samples) | where the floor
# comes from | the worst alignment of the loops (a number, or empty). The design's constants: a
# 250 ms tick, worker passes of a 300 ms wait and a 10 ms select, a 100 ms sleep in Execute; the
# stand-in replies 2 ms after a change.
#
# A selector floor is what the design's waits take at a random moment of its loops, as the
# samples come: the browse thread sees a reply at the end of its pass, on average half a pass
# (155 ms) away, and the tick draws it on average half a tick (125 ms) later. The links also wait
# for the VCI's own TXT query (two ticks) and for the queries of the other N - 1 names ahead of it
# when a re-query pass is under way: those take 2 (N - 1) of every 2 (N - 1) + 9 ticks, and at a
# random moment the median number of ticks ahead is then N - 1 - 4.5 (0 when that is below 0).
rows() {
    local entry n ahead
    for entry in "${SELECTOR_REPS[@]}"; do
        n=${entry%%:*}
        ahead=$(awk -v m=$((n - 1)) 'BEGIN { a = m - 4.5; print (a > 0 ? a : 0) }')
        echo "selector.row.$n|ms|selector: announcement -> row, $n listed|282|reply 2 + half a browse pass 155 + half a tick 125|562"
        echo "selector.links.$n|ms|selector: announcement -> links, $n listed|$(awk -v a="$ahead" 'BEGIN { print 782 + 250 * a }')|$(
            )row 282 + own query 2 ticks + median $ahead ticks of queries ahead|$((312 + 250 * (2 * n + 1)))"
        echo "selector.gone.$n|ms|selector: removal -> row gone, $n listed|282|reply 2 + half a browse pass 155 + half a tick 125|562"
        echo "selector.wmnull.$n|ms|selector: worst WM_NULL round trip during rebuilds, $n listed (50 ms allowed)|bare|$(
            )the worst round trip over the quiet wait before, bare|"
    done
    for n in "${CPU_VCIS[@]}"; do
        echo "selector.cpu.$n|%|selector: idle CPU, $n listed, ${CPU_WINDOW_S} s|bare|$(
            )the wake-ups of the design alone, over $((CPU_WINDOWS * CPU_WINDOW_S)) s (bench wakeups $n)"
    done
    for n in usb wifi eth; do
        echo "resolver.$n|ms|resolver: Execute -> Ready, $n|714|sleep 100 + 2 phases x (wait 300 + reply 2) + poll 10"
    done
    local lines
    lines=$(sample_of resolver.init.lines)
    for n in cold warm; do
        echo "resolver.init.$n|ms|resolver: LoadLibrary + Init, $n|bare|$(
            )a library + dnssd.dll + Iphlpapi + one survey + ${lines:-?} trace lines, bare"
    done
    lines=$(sample_of update.init.lines)
    for n in cold warm; do
        echo "update.init.$n|ms|update: LoadLibrary + Init, $n|bare|$(
            )a library + the runtime loaded, bound, constructed + ${lines:-?} log lines, bare"
    done
    echo "update.beyond|ms|update: FWUpdate -> Ready, beyond the runtime delays|10|$(
        )no wait in the design: one host poll (the $INSTALL_COMPONENTS x $INSTALL_DELAY_MS ms of the runtime taken off)"
    echo "update.free|ms|update: Free during an install|bare|disconnect + destruct + unload the runtime, bare"
}

# Per row, tab-separated: figure, unit, what, floor, where the floor comes from, n, min, median,
# max, median / floor, the worst alignment (or empty).
figures() {
    rows | grep -E "^[^|]*${ROWS_ONLY:-}" | awk -F'|' -v OFS='\t' -v samples="$SAMPLES" '
        # Sorts the n values of list into s (insertion sort: a few dozen values).
        function sort(list, n,    i, j, t) {
            for (i = 1; i <= n; i++) s[i] = list[i]
            for (i = 2; i <= n; i++)
                for (j = i; j > 1 && s[j - 1] > s[j]; j--) { t = s[j]; s[j] = s[j - 1]; s[j - 1] = t }
            return n % 2 ? s[(n + 1) / 2] : (s[n / 2] + s[n / 2 + 1]) / 2
        }
        function take(id,    i) {
            for (i = 1; i <= count[id]; i++) v[i] = values[id, i]
            return sort(v, count[id])
        }
        BEGIN {
            while ((getline line < samples) > 0)
                if (split(line, w, " ") == 3 && w[1] == "sample") values[w[2], ++count[w[2]]] = w[3] + 0
        }
        {
            id = $1; floor = $4
            if (floor == "bare") {
                if (!count[id ".bare"]) { print "bench: no samples of " id ".bare" > "/dev/stderr"; failed = 1; next }
                floor = take(id ".bare")
            }
            if (!count[id]) { print "bench: no samples of " id > "/dev/stderr"; failed = 1; next }
            if (floor <= 0) { print "bench: the floor of " id " is 0" > "/dev/stderr"; failed = 1; next }
            med = take(id)
            print id, $2, $3, floor, $5, count[id], s[1], med, s[count[id]], med / floor, $6
        }
        END { exit failed }'
}

# The host-responsiveness table, tab-separated: plug-in, export, worst ms, target ms, from the
# samples "sample resp.<plug-in>.<export> <ms>" and the targets "target resp.<plug-in>.<export> <ms>"
# that the measuring program prints. Fails when an export with a target has no sample.
responsiveness() {
    awk -v OFS='\t' '
        $1 == "target" && $2 ~ /^resp\./ { target[$2] = $3 + 0 }
        $1 == "sample" && $2 ~ /^resp\./ { v = $3 + 0; if (!($2 in worst) || v > worst[$2]) worst[$2] = v }
        END {
            for (id in target) {
                if (!(id in worst)) { print "bench: no samples of " id > "/dev/stderr"; failed = 1; continue }
                split(id, part, ".")
                print part[2], part[3], worst[id], target[id]
            }
            exit failed
        }' "$SAMPLES" | sort -k1,1 -k4,4n -k2,2
}

# Prints the table of <rows>; fails when an export took longer than its target.
print_responsiveness() {  # print_responsiveness <rows>
    echo "| plug-in | export | worst ms | target ms |"
    echo "|---|---|---|---|"
    awk -F'\t' '{ printf "| %s | %s | %.1f | %d |\n", $1, $2, $3, $4 }' "$1"
    awk -F'\t' '$3 > $4 { printf "bench: %s %s took %.1f ms, over its %d ms\n", $1, $2, $3, $4; late = 1 }
        END { exit late }' "$1" >&2
}

# Writes build/bench/responsiveness.tsv and prints its table.
report_responsiveness() {
    responsiveness >"$OUT/responsiveness.tsv" || die "incomplete responsiveness samples"
    echo
    echo "== Host responsiveness: the worst time of each export over the hostile runs (build/bench/responsiveness.tsv)"
    print_responsiveness "$OUT/responsiveness.tsv"
}

write_csv() {  # write_csv <figures> <csv>
    awk -F'\t' 'BEGIN { print "figure,unit,what,floor,floor_from,n,min,median,max,ratio,worst_alignment" }
        { printf "%s,%s,\"%s\",%.3f,\"%s\",%d,%.3f,%.3f,%.3f,%.2f,%s\n", $1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11 }' \
        "$1" >"$2"
}

# A figure as the table and the chart show it: percent with two decimals, milliseconds whole
# (with one decimal below 10).
SHOW='function show(v, unit) { return unit == "%" ? sprintf("%.2f %%", v) : sprintf(v < 10 ? "%.1f ms" : "%.0f ms", v) }'

print_table() {  # print_table <figures>
    echo "| figure | floor | floor from | worst alignment | n | min / median / max | ratio |"
    echo "|---|---|---|---|---|---|---|"
    awk -F'\t' "$SHOW"'
        { printf "| %s | %s | %s | %s | %d | %s / %s / %s | %.2f |\n", $3, show($4, $2), $5,
                 $11 == "" ? "-" : show($11, $2), $6, show($7, $2), show($8, $2), show($9, $2), $10 }' "$1"
}

# One bar per figure: its median as a multiple of its floor, against a line at the floor.
draw_chart() {  # draw_chart <figures> <png>
    local rows height mvg
    rows=$(wc -l <"$1")
    height=$((64 + rows * 24))
    # Drawing primitives, each text in apostrophes.
    mvg=$(awk -F'\t' -v h="$height" "$SHOW"'
        BEGIN {
            left = 400; scale = 160
            print "text 10,22 \x27median / floor  (blue: within the floor, amber: up to 1.5, red: above; > cut at 3)\x27"
        }
        {
            y = 36 + (NR - 1) * 24
            w = $10 * scale; cut = w > 3 * scale; if (cut) w = 3 * scale
            colour = $10 <= 1 ? "#4a90d9" : ($10 <= 1.5 ? "#e0a030" : "#d04040")
            printf "fill \x27%s\x27 rectangle %d,%d %d,%d\n", colour, left, y, left + w, y + 17
            printf "fill black text 10,%d \x27%s\x27\n", y + 13, $3
            printf "text %d,%d \x27%.2f%s   (%s / %s)\x27\n", left + w + 8, y + 13, $10, cut ? " >" : "",
                   show($8, $2), show($4, $2)
        }
        END { printf "stroke black line %d,30 %d,%d\n", left + scale, left + scale, h - 8 }' "$1")
    convert -size 1180x"$height" xc:white -font "$FONT" -pointsize 13 -draw "$mvg" "$2"
}

echo "== Zanvi bench: latencies and idle CPU on the stand-ins, against the design's floors"
stage
prepare_prefix
if [ "${1:-}" = load ]; then
    : >"$SAMPLES"
    take_load_cost
    ROWS_ONLY='[.]init[.]'
    figures >"$OUT/figures.tsv" || die "incomplete samples"
    print_table "$OUT/figures.tsv"
    exit 0
fi
if [ "${1:-}" = responsiveness ]; then
    : >"$SAMPLES"
    take_responsiveness
    report_responsiveness || die "an export past its target"
    exit 0
fi
take_samples
take_responsiveness
figures >"$OUT/figures.tsv" || die "incomplete samples"
write_csv "$OUT/figures.tsv" "$OUT/results.csv"
echo
echo "== Results on $(hostname) ($(nproc) cores), $(date '+%Y-%m-%d %H:%M'): build/bench/results.csv, results.png"
print_table "$OUT/figures.tsv"
draw_chart "$OUT/figures.tsv" "$OUT/results.png" || die "the chart"
report_responsiveness || die "an export past its target"
