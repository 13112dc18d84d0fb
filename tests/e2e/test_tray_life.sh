#!/usr/bin/env bash
# The program starts hidden with a tray icon; clicks and double-clicks on the icon show and
# hide the window; Alt+F4 and minimising hide it; "Exit" in the tray menu ends the program
# with code 0 and takes the icon away; a restarted tray host gets the icon back.
. "$(dirname "$0")/desktop.sh" "$1"

start_desktop
start_tray
start_program
PID=$LAST_PID

wait_for 15 has_tray_icon || fail "no tray icon after start"
sleep 0.5
window_hidden || fail "the window shows at start"
[ "$(tray_icon_count)" -eq 1 ] || fail "expected one tray icon"
shot 01-started-in-tray

note "a click shows the window"
click_tray 1
wait_for 5 window_mapped || fail "a click did not show the window"
[ "$(xdotool getwindowname "$(main_window)")" = "Torvane v1.0.2.200" ] || fail "caption"
sleep 0.5
shot 02-window-shown

note "another click hides it"
click_tray 1
wait_for 5 window_hidden || fail "a second click did not hide the window"

note "a double-click toggles once"
click_tray 1 2
wait_for 5 window_mapped || fail "a double-click did not show the window"
sleep 1
window_mapped || fail "a double-click toggled twice"
click_tray 1 2
wait_for 5 window_hidden || fail "a double-click did not hide the window"
sleep 1
window_hidden || fail "a double-click toggled twice"

note "Alt+F4 hides the window, the program stays"
click_tray 1
wait_for 5 window_mapped || fail "the window did not show"
xdotool windowactivate --sync "$(main_window)" key alt+F4
wait_for 5 window_hidden || fail "Alt+F4 did not hide the window"
sleep 0.5
alive "$PID" || fail "Alt+F4 ended the program"
has_tray_icon || fail "the tray icon went away with the window"

note "minimising hides the window to the tray"
click_tray 1
wait_for 5 window_mapped || fail "the window did not show"
xdotool windowminimize "$(main_window)"
wait_for 5 window_hidden || fail "minimising did not hide the window"
alive "$PID" || fail "minimising ended the program"
click_tray 1
wait_for 5 window_mapped || fail "the window did not come back after minimising"
click_tray 1
wait_for 5 window_hidden || fail "the window did not hide"

note "a restarted tray host gets the icon back"
stop_tray
wait_for 5 sh -c '[ "$(xwininfo -root -tree | grep -c panel)" -eq 0 ]'
start_tray
wait_for 15 has_tray_icon || fail "the icon did not come back to the new tray"

note "the tray menu's Exit ends the program"
click_tray 3
menu=""
for _ in $(seq 50); do
    menu=$(xdotool search --onlyvisible --class torvane 2>/dev/null | while read -r w; do
        geo=$(xwininfo -id "$w" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
        set -- $geo
        [ "$1" -gt 100 ] && [ "$2" -gt 60 ] && [ "$2" -lt 300 ] && echo "$w"
    done | head -n1)
    [ -n "$menu" ] && break
    sleep 0.1
done
[ -n "$menu" ] || fail "the tray menu did not open"
sleep 0.3
shot 03-tray-menu
eval "$(xdotool getwindowgeometry --shell "$menu")"
xdotool mousemove $((X + 40)) $((Y + HEIGHT - 12)) click 1
expect_exit_0 "$PID" 10
wait_for 5 sh -c '! xwininfo -root -tree | grep -q "\"Torvane\": (\"torvane\""' ||
    fail "the tray icon stayed after Exit"
echo "PASS"
