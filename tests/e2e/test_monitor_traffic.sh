#!/usr/bin/env bash
# Watching a real adapter. The program runs in a private network namespace whose two veth
# links lead into a second namespace. The user opens the window from the tray, picks a link
# in the adapter list with the mouse, and a known number of frames goes over it: the number
# fields follow the kernel's counters, "Online" shows, the diagram moves, the tray tooltip
# carries the link speed and the rate, inet.stat gets one Connect line and the choice is
# remembered. Removing the link leaves the program running and "Offline"; a restart shows
# the remembered link again.
. "$(dirname "$0")/desktop.sh" "$1"

command -v compare >/dev/null 2>&1 || skip "ImageMagick's compare is not installed"
use_probe

private_net NS # the program's side
private_net PEER

MAC0=02:54:56:00:00:01 # the link the user picks
MAC1=02:54:56:00:00:02
MAC2=02:54:56:00:00:03 # a second link beside it
ITEM="veth0 (veth) [02-54-56-00-00-01]"
OTHER="veth2 (veth) [02-54-56-00-00-03]"

# Two quiet links: no IPv6 in the namespaces and fixed neighbours (no ARP), so that nothing
# but the frames sent below crosses them. The frames go to addresses nobody holds on the far
# side, which drops them without an answer.
make_links() {
    veth "$NS" veth0 $MAC0 "$PEER" veth1 $MAC1 && veth "$NS" veth2 $MAC2 "$PEER" veth3 &&
        ip -n "$NS" addr add 10.201.0.1/24 dev veth0 && ip -n "$PEER" addr add 10.201.0.2/24 dev veth1 &&
        ip -n "$NS" neigh add 10.201.0.98 lladdr $MAC1 dev veth0 nud permanent &&
        ip -n "$PEER" neigh add 10.201.0.99 lladdr $MAC0 dev veth1 nud permanent
}
make_links || skip "veth links cannot be made here"

# Kernel counters of veth0, as the program reads them.
counter() { ip netns exec "$NS" cat /sys/class/net/veth0/statistics/"$1"; }
# send FROM COUNT SIZE: COUNT UDP datagrams of SIZE bytes over the link, each one frame of
# SIZE + 42 bytes (Ethernet, IPv4 and UDP headers).
send() {
    local target=10.201.0.99 ns=$PEER
    [ "$1" = program ] && target=10.201.0.98 ns=$NS
    ip netns exec "$ns" bash -c "for ((i = 0; i < $2; i++)); do
        printf '%${3}s' '' >/dev/udp/$target/9; done"
}

start_desktop
start_tray
LAUNCH=(ip netns exec "$NS")
start_program
PID=$LAST_PID
wait_for 30 has_tray_icon || fail "no tray icon after start"
wait_for 10 probe_is RxTrayIcon.Hint "Pellmor ( OFFline )" ||
    fail "tray tooltip without an adapter: '$(probe RxTrayIcon.Hint)'"
probe_is lblInetStat Offline || fail "status without an adapter: '$(probe lblInetStat)'"
tray_pos=$(tray_icons | head -n1)
tray_picture() { # tray_picture FILE: the tray icon as it is on the screen
    read -r x y <<<"$tray_pos"
    import -window root -crop 22x22+$((x - 11))+$((y - 11)) +repage "$1"
}
tray_picture "$WORK/tray-offline.png"

note "the window opens from the tray; the user picks veth0 in the adapter list"
click_tray 1
wait_for 10 window_shown || fail "a click did not show the window"
click_in "$(main_window)" 230 214
popup=$(popup_window 400 480 0 199) || fail "the adapter list did not open"
shot 09-adapter-list-open
wait_for 10 probe_is selAdapter.items "$ITEM|$OTHER" ||
    fail "adapter list: '$(probe selAdapter.items)'"
# The first of the two items, in the upper half of the list.
read -r _ height < <(window_size "$popup")
click_in "$popup" 60 $((height / 4))
wait_for 10 probe_is selAdapter "$ITEM" || fail "the pick shows '$(probe selAdapter)'"
wait_for 10 grep -qF "adapter=$ITEM" "$XDG_CONFIG_HOME/Quendra/TVR.conf" ||
    fail "the choice was not remembered: $(cat "$XDG_CONFIG_HOME/Quendra/TVR.conf" 2>&1)"
wait_for 10 probe_is lblInetStat Online || fail "veth0 does not show Online"
wait_for 10 probe_is edtConnectedSpeed 10000000000 ||
    fail "link speed '$(probe edtConnectedSpeed)'"

note "frames over the link: the fields, the diagram and the tray follow"
BURSTS=12
rx0=$(counter rx_bytes)
tx0=$(counter tx_bytes)
wait_for 10 probe_is edtByteReadToday "$rx0" || fail "received before sending: $(probe edtByteReadToday)"
(
    for _ in $(seq $BURSTS); do
        send peer 60 1000
        send program 30 500
        sleep 0.4 # the bursts spread over several ticks
    done
) &
SENDER=$!
PIDS+=("$SENDER")
read -r WX WY < <(window_origin)
diagram() { import -window root -crop 342x39+$((WX + 4))+$((WY + 4)) +repage "$1"; }
differs() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1)" -gt 0 ] 2>/dev/null; }
: >"$WORK/hints"
diagram "$WORK/diagram-1.png"
moved=0 lit=0
# One look at the tray picture, the diagram and the tooltip: true once all three followed.
followed() {
    probe RxTrayIcon.Hint >>"$WORK/hints"
    if [ $lit -eq 0 ]; then
        tray_picture "$WORK/tray-receiving.png"
        ! differs "$WORK/tray-offline.png" "$WORK/tray-receiving.png" || lit=1
    fi
    if [ $moved -eq 0 ]; then
        diagram "$WORK/diagram-2.png"
        ! differs "$WORK/diagram-1.png" "$WORK/diagram-2.png" || { moved=1 && shot 10-traffic-flowing; }
    fi
    [ $moved -eq 1 ] && [ $lit -eq 1 ] && [ "$(sort -u "$WORK/hints" | wc -l)" -ge 3 ] &&
        grep -qE '^Pellmor \( Online 10000000000 \) [1-9][0-9]* B/s$' "$WORK/hints"
}
wait_for 10 followed || fail "the diagram moved: $moved, the tray picture changed: $lit," \
    "the tooltips (a rate, and three in all): $(sort -u "$WORK/hints" | tr '\n' ';')"
cp "$WORK/tray-offline.png" "$SHOTS/11-tray-idle.png"
cp "$WORK/tray-receiving.png" "$SHOTS/11-tray-receiving.png"
wait "$SENDER" || fail "sending frames failed"

# The kernel saw exactly the frames sent, and so did the program.
rx=$(counter rx_bytes)
tx=$(counter tx_bytes)
[ $((rx - rx0)) -eq $((BURSTS * 60 * 1042)) ] || fail "veth0 received $((rx - rx0)) bytes, not $((BURSTS * 60 * 1042))"
[ $((tx - tx0)) -eq $((BURSTS * 30 * 542)) ] || fail "veth0 sent $((tx - tx0)) bytes, not $((BURSTS * 30 * 542))"
fields_match() {
    probe_is edtByteReadTodayLastSessinon "$rx" && probe_is edtByteWriteTodayLastSessinon "$tx" &&
        probe_is edtByteReadToday "$rx" && probe_is edtByteWriteToday "$tx"
}
wait_for 10 fields_match || fail "fields $(grep ^edt "$PROBE_OUT" | tr '\n' ' ') kernel rx $rx tx $tx"
shot 12-traffic-done

note "one Connect line in inet.stat"
# (A slow run may have reached the first Status line, a minute after the pick.)
[ "$(grep -c '^Connect' "$PROG/inet.stat")" -eq 1 ] || fail "inet.stat: $(cat -A "$PROG/inet.stat")"
head -n1 "$PROG/inet.stat" | grep -qE $'^Connect     \\[[0-9]{2}[^0-9][0-9]{2}[^0-9][0-9]{4} [0-9]{2}[^0-9][0-9]{2}[^0-9][0-9]{2}\\] \\[10000000000\\] \\[r:0 w:0\\]\r$' ||
    fail "Connect line: $(cat -A "$PROG/inet.stat")"

note "the link goes away while watched: Offline, the program stays"
ip -n "$NS" link del veth0 || fail "could not remove veth0"
wait_for 10 probe_is lblInetStat Offline || fail "a removed link shows '$(probe lblInetStat)'"
wait_for 10 probe_is RxTrayIcon.Hint "Pellmor ( OFFline )" ||
    fail "tray tooltip of a removed link: '$(probe RxTrayIcon.Hint)'"
holds 1.5 alive "$PID" || fail "the program ended when its link went away"
shot 13-link-removed

note "a restart shows the remembered link"
stop "$PID"
ip -n "$NS" link del veth2 || fail "could not remove veth2"
make_links >/dev/null 2>&1 || fail "could not make the links again"
rm -f "$PROBE_OUT"
start_program
PID=$LAST_PID
wait_for 30 has_tray_icon || fail "no tray icon after the restart"
wait_for 10 probe_is selAdapter "$ITEM" || fail "the restart shows '$(probe selAdapter)'"
wait_for 10 probe_is lblInetStat Online || fail "the restored link is not Online"
click_tray 1
wait_for 10 window_mapped || fail "a click did not show the window"
shot 14-restored-choice
[ "$(grep -c '^Connect' "$PROG/inet.stat")" -eq 2 ] || fail "inet.stat: $(cat -A "$PROG/inet.stat")"
pass
