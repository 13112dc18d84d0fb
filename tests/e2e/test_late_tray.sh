#!/usr/bin/env bash
# Started at login before the panel: a tray host that comes two seconds after the program
# takes it in, and the window never shows on the way. Then the tray life goes on as usual.
. "$(dirname "$0")/desktop.sh" "$1"

start_desktop
start_program
PID=$LAST_PID
watch_window

sleep 2 # the panel comes two seconds after the program, as at login
start_tray
wait_for 15 has_tray_icon || fail "the program did not dock into the tray that came late"
note "in the tray; watching the window past the longest wait for a tray"
holds 6 window_hidden && window_never_shown || fail "the window showed while the program waited for the tray"
# Openbox marks every window it ever managed; a window shown for a moment between two looks
# would carry the mark.
w=$(main_window)
[ -n "$w" ] && xprop -id "$w" _OB_APP_TYPE | grep -q '"' && fail "the window was shown at some moment"
alive "$PID" || fail "the program ended"
[ "$(tray_icon_count)" -eq 1 ] || fail "expected one tray icon, there are $(tray_icon_count)"
shot 16-late-tray

note "the icon opens the window; closing it hides it to the tray"
click_tray 1
wait_for 5 window_mapped || fail "a click did not show the window"
alt_f4_main_window || fail "Alt+F4 did not close the window"
wait_for 5 window_hidden || fail "Alt+F4 did not hide the window"
holds 1 alive "$PID" || fail "closing ended the program although it lives in the tray"
pass
