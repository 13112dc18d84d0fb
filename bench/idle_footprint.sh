#!/usr/bin/env bash
# Idle cost of the program hidden in the tray, against a bare Qt tray program: CPU time
# over a quiet period and resident memory. Run by hand (not part of ctest):
#
#     bench/idle_footprint.sh BUILD_DIR [SECONDS]
#
# BREAKDOWN=1 also prints where each program's resident memory lies (by mapped file).
# INTERFACES=N (as root) puts N interfaces in the namespace, veth pairs beside the watched one,
# as on a host with many containers.
#
# BUILD_DIR holds torvane and tests/e2e/bare_tray_app (targets torvane and bare_tray_app);
# measure a RelWithDebInfo or Release build. Both programs run under Xvfb with openbox and
# trayer as the tray host. As root the program watches a veth link in a private network
# namespace, remembered from an earlier run, as a user's program would; otherwise it runs
# with no adapter chosen. Budget: CPU at most 0.1 % of one core, resident memory at most
# 1.4 times the bare program's, private dirty memory at most 2 times, no HTTP or TLS library
# mapped, and the tray icon no later than it came before. The bare program is measured a
# second time with a hidden window holding one line edit, the least a program with text on
# show needs. MAPS_DIR=DIR keeps the list of each program's mapped files in DIR/NAME.maps.
#
# As root the program is measured a second time with a banner shown: the copy whose
# services are on the loopback (target torvane_local) and the stand-in advertising service
# (target banner_server) run in the namespace; the window is opened once from the tray,
# which fetches and shows the banner, and hidden again.

BUILD=$(cd "${1:?usage: idle_footprint.sh BUILD_DIR [SECONDS]}" && pwd)
PERIOD=${2:-60}
WARMUP=10
BARE="$BUILD/tests/e2e/bare_tray_app"
[ -x "$BARE" ] || { echo "no $BARE: build the target bare_tray_app"; exit 1; }
. "$(dirname "$0")/../tests/e2e/desktop.sh" "$BUILD/torvane"

HZ=$(getconf CLK_TCK)
# CPU time of a process so far: "<ns on the CPU of its threads> <clock ticks of the process>".
cpu_of() {
    local ns=0 t
    for t in /proc/"$1"/task/*/schedstat; do
        read -r run _ <"$t" 2>/dev/null && ns=$((ns + run))
    done
    echo "$ns $(awk '{print $14 + $15}' /proc/"$1"/stat)"
}
kb_of() { awk -v key="$2:" '$1 == key {print $2}' /proc/"$1"/status; }
dirty_of() { awk '$1 == "Private_Dirty:" {kb += $2} END {print kb}' /proc/"$1"/smaps_rollup; }
# The HTTP and TLS libraries a program in the tray must not carry.
net_libs_of() {
    awk '$6 ~ /lib(curl|ssl|crypto|gnutls)[.-]/ {sub(/.*\//, "", $6); print $6}' /proc/"$1"/maps | sort -u | tr '\n' ' '
}
# start_timed: start_program, then the milliseconds until the tray icon shows in TRAY_MS.
start_timed() {
    local t0 i
    t0=$(date +%s%N)
    start_program
    for i in $(seq 1500); do
        has_tray_icon && break
        sleep 0.02
    done
    has_tray_icon || fail "torvane shows no tray icon"
    TRAY_MS=$((($(date +%s%N) - t0) / 1000000))
}

# breakdown NAME PID: where the resident memory lies, from smaps, one line per file (or
# [heap], [anon], [stack] ...), largest first, with the private dirty part of each.
breakdown() {
    awk -v name="$1" '
        /^[0-9a-f]+-[0-9a-f]+ / { obj = (NF >= 6) ? $6 : "[anon]"; sub(/.*\//, "", obj); next }
        $1 == "Rss:" { rss[obj] += $2; total += $2 }
        $1 == "Private_Dirty:" { dirty[obj] += $2 }
        END {
            for (o in rss) if (rss[o] >= 256) printf "%-8s %7d KiB (dirty %6d)  %s\n", name, rss[o], dirty[o], o
            printf "%-8s %7d KiB in all\n", name, total
        }' "/proc/$2/smaps" | sort -k2,2nr | head -n "${BREAKDOWN_LINES:-25}"
}

# measure NAME PID: prints the figures, sets CPU_PCT, RSS_KB and DIRTY_KB.
measure() {
    local before after ns ticks
    sleep "$WARMUP"
    before=$(cpu_of "$2")
    sleep "$PERIOD"
    after=$(cpu_of "$2")
    read -r ns ticks <<<"$(awk -v a="$before" -v b="$after" 'BEGIN {
        split(a, x, " "); split(b, y, " "); print y[1] - x[1], y[2] - x[2] }')"
    CPU_PCT=$(awk -v ns="$ns" -v s="$PERIOD" 'BEGIN {printf "%.4f", ns / (s * 1e9) * 100}')
    RSS_KB=$(kb_of "$2" VmRSS)
    DIRTY_KB=$(dirty_of "$2")
    printf '%-8s CPU %s %% of one core (%.1f ms in %s s; %s clock ticks), RSS %s KiB (peak %s KiB), private dirty %s KiB, threads %s\n' \
        "$1" "$CPU_PCT" "$(awk -v ns="$ns" 'BEGIN {print ns / 1e6}')" "$PERIOD" "$ticks" \
        "$RSS_KB" "$(kb_of "$2" VmHWM)" "$DIRTY_KB" "$(kb_of "$2" Threads)"
    printf '%-8s HTTP/TLS libraries mapped: %s\n' "$1" "$(net_libs_of "$2")"
    [ -z "${MAPS_DIR:-}" ] || awk 'NF >= 6 {print $6}' /proc/"$2"/maps | sort -u >"$MAPS_DIR/$1.maps"
}

start_desktop
start_tray

if [ "$(id -u)" -eq 0 ] && command -v ip >/dev/null 2>&1 &&
    ip netns add "torvane-idle-$$" 2>/dev/null; then
    NS="torvane-idle-$$"
    CLEANUP_HOOKS+=("ip netns del $NS")
    ip netns exec "$NS" sh -c 'for f in /proc/sys/net/ipv6/conf/all/disable_ipv6 \
        /proc/sys/net/ipv6/conf/default/disable_ipv6; do [ ! -e $f ] || echo 1 >$f; done'
    ip -n "$NS" link add veth0 address 02:54:56:00:00:01 type veth peer name veth1
    ip -n "$NS" link set veth0 up
    ip -n "$NS" link set veth1 up
    for ((i = 1; i < ${INTERFACES:-2} / 2; i++)); do
        echo "link add m${i}a type veth peer name m${i}b"
        echo "link set m${i}a up"
        echo "link set m${i}b up"
    done | ip -n "$NS" -batch - || fail "could not make ${INTERFACES:-2} interfaces"
    mkdir -p "$XDG_CONFIG_HOME/Quendra"
    printf '[General]\nadapter=veth0 (veth) [02-54-56-00-00-01]\n' >"$XDG_CONFIG_HOME/Quendra/TVR.conf"
    LAUNCH=(ip netns exec "$NS")
    echo "torvane watches veth0 in a private network namespace (online, no traffic," \
        "$(ip -n "$NS" -o link show | grep -vc ': lo:') interfaces)"
else
    echo "torvane runs with no adapter chosen (not root, or no network namespaces)"
fi

start_timed
PID=$LAST_PID
echo "torvane: tray icon $TRAY_MS ms after start"
window_hidden || fail "the window shows"
measure torvane "$PID"
[ -z "${BREAKDOWN:-}" ] || breakdown torvane "$PID"
TV_CPU=$CPU_PCT TV_RSS=$RSS_KB TV_DIRTY=$DIRTY_KB
grep -q '^Connect' "$PROG/inet.stat" 2>/dev/null && echo "(the adapter was online: inet.stat has its Connect line)"
kill "$PID"
wait "$PID" 2>/dev/null

BANNER_CPU="" BANNER_RSS="" BANNER_DIRTY=""
SERVER="$BUILD/tests/e2e/banner_server"
if [ -n "${NS:-}" ] && [ -x "$BUILD/torvane_local" ] && [ -x "$SERVER" ]; then
    ip -n "$NS" link set lo up
    ip netns exec "$NS" "$SERVER" 18084 "$WORK/banner-requests" >"$WORK/banner-server.log" 2>&1 &
    PIDS+=($!)
    wait_for 10 grep -q ready "$WORK/banner-server.log" || fail "the banner server did not start"
    cp "$BUILD/torvane_local" "$PROG/torvane"
    start_timed
    PID=$LAST_PID
    echo "torvane_local: tray icon $TRAY_MS ms after start"
    click_tray 1
    wait_for 10 window_mapped || fail "the window did not open from the tray"
    wait_for 10 grep -q 'cmd=ad' "$WORK/banner-requests" || fail "no banner was fetched"
    sleep 2
    click_tray 1
    wait_for 10 window_hidden || fail "the window did not hide again"
    echo "torvane_local shows a banner fetched from the stand-in service (window hidden again)"
    measure banner "$PID"
    [ -z "${BREAKDOWN:-}" ] || breakdown banner "$PID"
    BANNER_CPU=$CPU_PCT BANNER_RSS=$RSS_KB BANNER_DIRTY=$DIRTY_KB
    kill "$PID"
    wait "$PID" 2>/dev/null
else
    echo "no measurement with a banner (needs root, network namespaces, torvane_local and banner_server)"
fi

"$BARE" >"$WORK/bare.log" 2>&1 &
BARE_PID=$!
PIDS+=($BARE_PID)
measure bare "$BARE_PID"
[ -z "${BREAKDOWN:-}" ] || breakdown bare "$BARE_PID"
BARE_RSS=$RSS_KB BARE_DIRTY=$DIRTY_KB
kill "$BARE_PID"

# The same with a hidden window holding one line edit: the floor of a program that has any
# text to show (fonts, shaping), for a second comparison.
"$BARE" --window >"$WORK/bare.log" 2>&1 &
BARE_PID=$!
PIDS+=($BARE_PID)
measure bare+win "$BARE_PID"
TEXT_RSS=$RSS_KB

summary() { # summary NAME CPU RSS DIRTY
    awk -v name="$1" -v cpu="$2" -v rss="$3" -v dirty="$4" -v bare="$BARE_RSS" \
        -v baredirty="$BARE_DIRTY" -v text="$TEXT_RSS" 'BEGIN {
    ratio = rss / bare; dratio = dirty / baredirty
    printf "%s: idle CPU %.4f %% (budget 0.1 %%): %s\n", name, cpu, cpu <= 0.1 ? "within" : "OVER"
    printf "%s: RSS %.2f x the bare tray program (budget 1.4): %s\n", name, ratio, ratio <= 1.4 ? "within" : "OVER"
    printf "%s: private dirty %.2f x the bare tray program (budget 2.0): %s\n", name, dratio, dratio <= 2.0 ? "within" : "OVER"
    printf "%s: RSS %.2f x the bare tray program with a hidden line edit\n", name, rss / text
    }'
}
summary torvane "$TV_CPU" "$TV_RSS" "$TV_DIRTY"
[ -z "$BANNER_RSS" ] || summary "torvane with a banner" "$BANNER_CPU" "$BANNER_RSS" "$BANNER_DIRTY"
