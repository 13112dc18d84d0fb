#!/usr/bin/env bash
# Without a tray host the program waits a few seconds for one (at login the panel may come up
# after it), then shows its window, and closing the window ends the program; a tray host that
# appears later takes the program in, and closing then only hides the window.
. "$(dirname "$0")/desktop.sh" "$1"

GRACE_MS=5000
now_ms() { echo $(($(date +%s%N) / 1000000)); }

start_desktop
started=$(now_ms)
start_program
PID=$LAST_PID
wait_for 20 window_mapped || fail "without a tray the window did not show"
waited=$(($(now_ms) - started))
note "the window showed after $waited ms"
# A little slack for the clock's and the poll's granularity.
[ "$waited" -ge $((GRACE_MS - 300)) ] || fail "the window showed after $waited ms, before the wait for a tray was over"
shot 07-no-tray-window
note "closing the window ends the program"
alt_f4_main_window || fail "Alt+F4 did not close the window"
expect_exit_0 "$PID" 10

note "a tray that appears later takes the program in"
start_program
PID=$LAST_PID
wait_for 20 window_mapped || fail "the window did not show"
start_tray
wait_for 15 has_tray_icon || fail "the program did not dock into the new tray"
alt_f4_main_window || fail "Alt+F4 did not close the window"
wait_for 5 window_hidden || fail "Alt+F4 did not hide the window"
holds 1 alive "$PID" || fail "closing ended the program although a tray exists now"
pass
