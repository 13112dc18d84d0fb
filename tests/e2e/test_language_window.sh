#!/usr/bin/env bash
# The window with the shipped Russian texts: the program starts, shows its window (no tray
# here, so it shows when the wait for one is over) with the versioned caption, and is
# photographed for a look at how the longer texts fit.
. "$(dirname "$0")/desktop.sh" "$1"

[ -f "$PROG/russian.lng" ] || skip "no russian.lng beside the executable"
printf '%s\r\n' "$PROG/russian.lng" >"$PROG/language.cfg"
start_desktop
start_program
PID=$LAST_PID
wait_for 15 window_shown || fail "the window did not show"
[ "$(xdotool getwindowname "$(main_window)")" = "Torvane v$TORVANE_VERSION" ] || fail "caption"
shot 08-russian-window
alt_f4_main_window || fail "Alt+F4 did not close the window"
expect_exit_0 "$PID" 10
pass
