#!/usr/bin/env bash
# A fast link: iperf3 drives a veth link both ways at more than a gigabyte a second while the
# window is open. The rate labels show their whole figures (ten digits), and the byte fields
# end equal to the kernel's counters.
. "$(dirname "$0")/desktop.sh" "$1"

command -v iperf3 >/dev/null 2>&1 || skip "iperf3 is not installed"
use_probe
private_net NS
private_net PEER
ITEM="veth0 (veth) [02-54-56-00-00-21]"
veth "$NS" veth0 02:54:56:00:00:21 "$PEER" veth1 || skip "veth links cannot be made here"
ip -n "$NS" link set veth0 mtu 65000 && ip -n "$PEER" link set veth1 mtu 65000
ip -n "$NS" addr add 10.202.0.1/24 dev veth0
ip -n "$PEER" addr add 10.202.0.2/24 dev veth1

# The link chosen in an earlier run: the program starts watching it at once.
mkdir -p "$XDG_CONFIG_HOME/Quendra"
printf '[General]\nadapter=%s\n' "$ITEM" >"$XDG_CONFIG_HOME/Quendra/TVR.conf"

start_desktop
start_tray
LAUNCH=(ip netns exec "$NS")
start_program
wait_for 30 has_tray_icon || fail "no tray icon after start"
wait_for 10 probe_is lblInetStat Online || fail "veth0 is not Online: '$(probe lblInetStat)'"
click_tray 1
wait_for 10 window_mapped || fail "a click did not show the window"

note "iperf3 both ways over the link"
ip netns exec "$NS" iperf3 -s -1 -B 10.202.0.1 --forceflush >"$WORK/iperf-server.log" 2>&1 &
PIDS+=("$!")
wait_for 5 grep -q listening "$WORK/iperf-server.log" || fail "iperf3 does not listen"
ip netns exec "$PEER" iperf3 -c 10.202.0.1 -t 8 --bidir -l 1M >"$WORK/iperf.log" 2>&1 &
CLIENT=$!
PIDS+=("$CLIENT")
counter() { ip netns exec "$NS" cat /sys/class/net/veth0/statistics/"$1"; }
# Ten digits are a gigabyte a second.
fast() { probe lblLevelPerPeriod | grep -qE '^[0-9]{10,} B/s$'; }
sending_fast() { probe lblLevelPerPeriodW | grep -qE '^[0-9]{9,} B/s$'; }
seen=0
if wait_for 8 fast; then
    seen=1
    shot 30-fast-link
    wait_for 2 sending_fast || fail "sent rate $(probe lblLevelPerPeriodW)"
fi
wait "$CLIENT" || fail "iperf3 failed: $(tail -n5 "$WORK/iperf.log")"
# A busy machine may not move a gigabyte a second: then there is nothing to see.
[ $seen -eq 1 ] || [ "$(counter rx_bytes)" -ge 8000000000 ] ||
    skip "this machine moved $(counter rx_bytes) bytes in 8 s, less than 1 GB/s"
[ $seen -eq 1 ] || fail "the received rate never showed 1 GB/s: $(probe lblLevelPerPeriod)"

fields_match() {
    probe_is edtByteReadTodayLastSessinon "$(counter rx_bytes)" &&
        probe_is edtByteWriteTodayLastSessinon "$(counter tx_bytes)"
}
wait_for 10 fields_match || fail "fields $(grep ^edt "$PROBE_OUT" | tr '\n' ' ') kernel $(counter rx_bytes) $(counter tx_bytes)"
pass
