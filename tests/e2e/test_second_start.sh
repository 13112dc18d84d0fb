#!/usr/bin/env bash
# One copy per user: a second start shows the running copy's window and ends with code 0;
# "/NEW" runs a second copy with its own icon; the lock of a killed copy does not block the
# next start; a broken mechanism is reported in an error box.
. "$(dirname "$0")/desktop.sh" "$1"

start_desktop
start_tray
start_program
FIRST=$LAST_PID
wait_for 15 has_tray_icon || fail "no tray icon after start"
window_hidden || fail "the window shows at start"

note "a second start shows the first copy's window and ends"
start_program
SECOND=$LAST_PID
expect_exit_0 "$SECOND" 10
wait_for 5 window_mapped || fail "the running copy's window was not shown"
alive "$FIRST" || fail "the first copy ended"
[ "$(tray_icon_count)" -eq 1 ] || fail "the second start left a tray icon"
shot 04-second-start-showed-first

note "/NEW runs a second copy beside the first"
alt_f4_main_window || fail "Alt+F4 did not close the window"
wait_for 5 window_hidden || fail "Alt+F4 did not hide the window"
start_program /NEW
BESIDE=$LAST_PID
two_icons() { [ "$(tray_icon_count)" -ge 2 ]; }
wait_for 15 two_icons || fail "the /NEW copy has no tray icon of its own"
holds 1 alive "$BESIDE" || fail "the /NEW copy ended"
alive "$FIRST" || fail "the first copy ended"
shot 05-two-copies

note "a killed copy's lock does not block the next start"
kill -9 "$FIRST" "$BESIDE"
wait "$FIRST" "$BESIDE" 2>/dev/null || true
[ -e "$XDG_RUNTIME_DIR/Torvane v1.01.lock" ] || fail "no lock file was left to test with"
start_program
NEXT=$LAST_PID
wait_for 15 has_tray_icon || fail "the start after a killed copy shows no tray icon"
holds 1 alive "$NEXT" || fail "the start after a killed copy ended"
window_hidden || fail "the start after a killed copy showed a window"
stop "$NEXT"

note "a runtime folder that cannot hold the lock is reported"
long="$WORK/long"
while [ ${#long} -lt 4060 ]; do long="$long/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"; done
long=${long:0:4085}
mkdir -p "$long" && chmod 700 "$long"
XDG_RUNTIME_DIR="$long" start_program
BROKEN=$LAST_PID
wait_for 10 xdotool search --onlyvisible --name '^Error$' ||
    fail "no error box for a broken single-instance mechanism"
shot 06-error-box
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Error$' | head -n1)" \
    key Return
expect_exit_0 "$BROKEN" 10
! has_tray_icon || fail "the failed start left a tray icon"
pass
