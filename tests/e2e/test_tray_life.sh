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
holds 0.5 window_hidden || fail "the window shows at start"
[ "$(tray_icon_count)" -eq 1 ] || fail "expected one tray icon"
shot 01-started-in-tray

note "a click shows the window"
click_tray 1
wait_for 5 window_shown || fail "a click did not show the window"
[ "$(xdotool getwindowname "$(main_window)")" = "Torvane v$TORVANE_VERSION" ] || fail "caption"
shot 02-window-shown

note "the window has a fixed size and cannot be maximised"
W=$(main_window)
hints=$(xprop -id "$W" WM_NORMAL_HINTS)
grep -q 'minimum size: 469 by 308' <<<"$hints" && grep -q 'maximum size: 469 by 308' <<<"$hints" ||
    fail "size hints: $hints"
actions=$(xprop -id "$W" _NET_WM_ALLOWED_ACTIONS)
grep -qE 'MAXIMIZE|_RESIZE' <<<"$actions" && fail "the window manager offers: $actions"
grep -q MINIMIZE <<<"$actions" && grep -q CLOSE <<<"$actions" || fail "no minimise or close: $actions"
# The caption asks for the system menu and the minimise button, and for no maximise button
# (Motif hints: flags, functions, decorations; maximise is 0x10 and 0x40, menu and minimise
# decorations 0x30).
read -r _ functions decorations _ < <(xprop -id "$W" _MOTIF_WM_HINTS | sed 's/.*= //; s/,//g')
((functions & 0x10 || decorations & 0x40 || (decorations & 0x30) != 0x30)) &&
    fail "the caption's hints: functions $functions, decorations $decorations"
geometry() { xwininfo -id "$W" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
    /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'; }
before=$(geometry)
read -r WX _ _ _ <<<"$before"
# A double-click on the title bar, in the frame the window manager put around the window.
top=$(xprop -id "$W" _NET_FRAME_EXTENTS | awk -F', ' '{print $3}')
frame=$(xwininfo -id "$W" -tree | awk '/Parent window id/ {print $4}')
click_in "$frame" 150 $((${top:-20} / 2)) 1 2
# Openbox 3.6 keeps a maximise button in the title bar of a window that cannot be maximised
# (drawn like the others, it does nothing) so that the buttons beside it keep their place.
# Its clicks must change nothing either: it is the middle one of three buttons right of the
# title text, each a window of its own.
buttons=$(xwininfo -id "$frame" -tree | awk '$NF ~ /^\+[0-9]+\+[0-9]+$/ && $(NF-1) ~ /^1[0-9]x1[0-9]\+/ {
    split($NF, p, "+"); print $1, p[2]}' | while read -r id x; do
    if xwininfo -id "$id" | grep -q IsViewable; then echo "$id $x"; fi
done | sort -n -k2 | awk -v left=$((WX + 200)) '$2 > left')
if [ "$(wc -l <<<"$buttons")" -eq 3 ]; then
    read -r maximise _ < <(sed -n 2p <<<"$buttons")
    for button in 1 2 3; do click_in "$maximise" 6 6 $button; done
fi
xdotool windowsize "$W" 900 700
unchanged() { window_mapped && ! xprop -id "$W" _NET_WM_STATE | grep -q MAXIMIZED && [ "$(geometry)" = "$before" ]; }
holds 1 unchanged || fail "the attempts to maximise changed the window from $before to $(geometry)," \
    "mapped: $(window_mapped && echo yes), $(xprop -id "$W" _NET_WM_STATE)"

note "another click hides it"
click_tray 1
wait_for 5 window_hidden || fail "a second click did not hide the window"

note "a double-click toggles once"
click_tray 1 2
wait_for 5 window_mapped || fail "a double-click did not show the window"
holds 1 window_mapped || fail "a double-click toggled twice"
click_tray 1 2
wait_for 5 window_hidden || fail "a double-click did not hide the window"
holds 1 window_hidden || fail "a double-click toggled twice"

note "Alt+F4 hides the window, the program stays"
click_tray 1
wait_for 5 window_mapped || fail "the window did not show"
alt_f4_main_window || fail "Alt+F4 did not close the window"
wait_for 5 window_hidden || fail "Alt+F4 did not hide the window"
holds 1 alive "$PID" || fail "Alt+F4 ended the program"
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
no_panel() { ! tray_panel_shown; }
wait_for 5 no_panel || fail "the stopped tray host's panel stayed"
start_tray
wait_for 15 has_tray_icon || fail "the icon did not come back to the new tray"

note "the tray menu's Exit ends the program"
click_tray 3
menu=$(popup_window 101 10000 61 299) || fail "the tray menu did not open"
shot 03-tray-menu
# "Exit" is the menu's last item.
read -r _ height < <(window_size "$menu")
click_in "$menu" 40 $((height - 12))
expect_exit_0 "$PID" 10
wait_for 5 no_tray_window || fail "the tray icon stayed after Exit"
pass
