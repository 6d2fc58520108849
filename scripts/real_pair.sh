# Sourced by the real-peer suite (tests/realpeer/realpeer.sh) and `make demo REAL=1`: a PC and a
# VCI joined by a veth pair, each in a network namespace of its own with the DNS-SD responder's
# daemon (build/mdns/linux, scripts/build_mdns.sh), and the VCI's announcements.
#
#   <tag>pc   the PC; its veth is named rndis<tag> so that the resolver's USB rule ("rndis" in the
#             adapter's description) picks it: Wine reports a Linux interface with its name as
#             the description, type 6 (Ethernet) and the Linux ifindex as its index.
#   <tag>vci  the VCI: announces with the daemon's own dns-sd -R (or browse_record_only).
#
# Each namespace has its own host name (a UTS namespace for its daemon) and an empty resolv.conf,
# and the only addresses are those of a private test subnet on the veth, so nothing leaves them.
# The caller runs pair_down on every exit (a trap): it ends every process started here, by its
# id, and removes the namespaces.
MDNS="${MDNS:-$ROOT/build/mdns/linux}"
PAIR_ADDR_VCI=10.226.26.1
PAIR_ADDR_PC=10.226.26.2
PAIR_NAMESPACES=()
PAIR_PIDS=()

# Empty when namespaces can be made here; else the reason why not.
pair_unavailable() {
    [ "$(id -u)" = 0 ] || { echo "network namespaces need root (running as uid $(id -u))"; return; }
    command -v ip >/dev/null || { echo "ip (iproute2) is not installed"; return; }
    command -v unshare >/dev/null || { echo "unshare (util-linux) is not installed"; return; }
    local f
    for f in mdnsd dns-sd browse_record_only; do
        [ -x "$MDNS/$f" ] || { echo "$MDNS/$f is missing (scripts/build_mdns.sh builds it)"; return; }
    done
}

pair_in_pc()  { ip netns exec "$PAIR_NS_PC" "$@"; }
pair_in_vci() { ip netns exec "$PAIR_NS_VCI" "$@"; }

# pair_up <tag> <folder for logs and pid files>: unique names per tag (a run's own pid).
pair_up() {
    PAIR_NS_PC="$1pc"
    PAIR_NS_VCI="$1vci"
    PAIR_IF_PC="rndis$1"
    PAIR_IF_VCI="vci$1"
    PAIR_RUN="$2"
    PAIR_PEERS="$PAIR_RUN/peers"
    mkdir -p "$PAIR_PEERS"
    local ns
    for ns in "$PAIR_NS_PC" "$PAIR_NS_VCI"; do
        ip netns add "$ns" 2>"$PAIR_RUN/ns.err" || { echo "cannot create a network namespace: $(cat "$PAIR_RUN/ns.err")"; return 1; }
        PAIR_NAMESPACES+=("$ns")
        mkdir -p "/etc/netns/$ns" && : > "/etc/netns/$ns/resolv.conf"
        ip -n "$ns" link set lo up || return 1
    done
    ip link add "$PAIR_IF_PC" netns "$PAIR_NS_PC" type veth peer name "$PAIR_IF_VCI" netns "$PAIR_NS_VCI" &&
        ip -n "$PAIR_NS_PC" addr add "$PAIR_ADDR_PC/24" dev "$PAIR_IF_PC" &&
        ip -n "$PAIR_NS_VCI" addr add "$PAIR_ADDR_VCI/24" dev "$PAIR_IF_VCI" &&
        ip -n "$PAIR_NS_PC" link set "$PAIR_IF_PC" up &&
        ip -n "$PAIR_NS_VCI" link set "$PAIR_IF_VCI" up || { echo "cannot set up the veth pair"; return 1; }
    _pair_daemon "$PAIR_NS_VCI" "vci-$1"
    _pair_daemon "$PAIR_NS_PC" "pc-$1"
    # Each daemon is there once its TCP port answers.
    local ok
    for ns in "$PAIR_NS_PC" "$PAIR_NS_VCI"; do
        ok=0
        for _ in $(seq 100); do
            ip netns exec "$ns" bash -c 'exec 3<>/dev/tcp/127.0.0.1/5354' 2>/dev/null && { ok=1; break; }
            sleep 0.05
        done
        [ $ok = 1 ] || { echo "the DNS-SD daemon in $ns does not listen"; cat "$PAIR_RUN"/mdnsd_*.log; return 1; }
    done
}

_pair_daemon() {  # namespace host-name
    ip netns exec "$1" unshare --uts sh -c 'hostname "$1" && exec "$2" -foreground' sh "$2" "$MDNS/mdnsd" \
        >"$PAIR_RUN/mdnsd_$1.log" 2>&1 </dev/null &
    PAIR_PIDS+=($!)
}

_pair_wait_for() {  # file text seconds
    local n=$(( $3 * 20 ))
    while [ $n -gt 0 ]; do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.05; n=$((n - 1)); done
    return 1
}

# pair_announce <name> <type> <port> [txt...]: true once the VCI's daemon has registered it
# (after probing, about 0.8 s).
pair_announce() {
    local key="$1.$2"
    # Started directly (not through a function) so that $! is the announcer itself.
    ip netns exec "$PAIR_NS_VCI" env LD_LIBRARY_PATH="$MDNS" "$MDNS/dns-sd" -R "$1" "$2" local "$3" "${@:4}" \
        >"$PAIR_PEERS/$key.log" 2>&1 </dev/null &
    echo $! > "$PAIR_PEERS/$key.pid"
    _pair_wait_for "$PAIR_PEERS/$key.log" "Name now registered and active" 10
}

# pair_announce_browse_only <name> <type>: the browse record alone; no TXT, SRV or address.
pair_announce_browse_only() {
    local key="$1.$2"
    ip netns exec "$PAIR_NS_VCI" "$MDNS/browse_record_only" "$1" "$2" >"$PAIR_PEERS/$key.log" 2>&1 </dev/null &
    echo $! > "$PAIR_PEERS/$key.pid"
    _pair_wait_for "$PAIR_PEERS/$key.log" "^registered" 10
}

# pair_withdraw <name> <type>: ends the announcement; the daemon sends its goodbye.
pair_withdraw() {
    local file="$PAIR_PEERS/$1.$2.pid" pid
    [ -f "$file" ] || return 1
    pid=$(cat "$file")
    rm -f "$file"
    kill "$pid" 2>/dev/null
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.05; done
    return 1
}

# Serves requests that a Windows program writes into <folder> as <n>.cmd (one line), answering
# each in <n>.done ("ok" or "error: ..."):
#   announce <name> <type> <port> [txt...] | announce-browse-only <name> <type> | withdraw <name> <type>
pair_start_server() {
    _pair_serve "$1" &
    PAIR_SERVER_PID=$!
}
_pair_serve() {
    local f words
    while :; do
        for f in "$1"/*.cmd; do
            [ -f "$f" ] || continue
            read -r -a words < "$f"
            case "${words[0]:-}" in
                announce) pair_announce "${words[@]:1}" ;;
                announce-browse-only) pair_announce_browse_only "${words[@]:1}" ;;
                withdraw) pair_withdraw "${words[@]:1}" ;;
                *) false ;;
            esac && echo ok > "${f%.cmd}.tmp" || echo "error: ${words[*]}" > "${f%.cmd}.tmp"
            mv "${f%.cmd}.tmp" "${f%.cmd}.done"
            rm -f "$f"
        done
        sleep 0.05
    done
}

# Ends every announcer and daemon started here and removes the namespaces.
pair_down() {
    local f pid ns
    if [ -n "${PAIR_SERVER_PID:-}" ]; then
        kill "$PAIR_SERVER_PID" 2>/dev/null
        wait "$PAIR_SERVER_PID" 2>/dev/null
        PAIR_SERVER_PID=""
    fi
    for f in "${PAIR_PEERS:-/nonexistent}"/*.pid; do [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null; done
    for pid in "${PAIR_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${PAIR_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    for ns in "${PAIR_NAMESPACES[@]}"; do
        ip netns del "$ns" 2>/dev/null
        rm -rf "/etc/netns/$ns"
    done
    PAIR_PIDS=()
    PAIR_NAMESPACES=()
}
