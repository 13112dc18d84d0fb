#!/usr/bin/env bash
# The D-Bus tray (StatusNotifierItem, as KDE Plasma and GNOME with the AppIndicator extension
# host it), with a watcher of our own on a private session bus and no XEmbed tray: the
# watcher comes two seconds after the program, as a panel at login does; the program
# registers an item then and stays hidden; Activate shows and hides the window, and a
# double-click as the panels send it (two Activates 80 ms apart as xfce and LXQt, three as
# waybar) toggles it once, without a flash; the pictures sent are at most 64 px; with the
# adapter offline neither the icon nor the tooltip is sent again over ten quiet seconds; the
# menu's "Exit" ends the program with code 0 and takes the item away.

PRIVATE_BUS=1
. "$(dirname "$0")/desktop.sh" "$1"

WATCHER=$(dirname "$EXE")/tests/e2e/sni_watcher
[ -x "$WATCHER" ] || skip "no watcher at $WATCHER (build the target sni_watcher)"
LOG="$WORK/watcher.log"
count() { grep -c "^$1 " "$LOG" || true; }

start_desktop
start_program
PID=$LAST_PID
watch_window
sleep 2 # the panel comes two seconds after the program
"$WATCHER" serve "$LOG" >>"$WORK/watcher.out" 2>&1 &
PIDS+=("$!")
wait_for 10 grep -q '^ready$' "$LOG" || fail "the watcher did not start: $(cat "$WORK/watcher.out")"
wait_for 15 grep -q '^registered ' "$LOG" || fail "the program registered no item with a late watcher"
note "the watcher came 2 s after the program; watching the window past the wait for a tray"
holds 5 window_hidden && window_never_shown || fail "the window showed although a tray came in time"
tip=$("$WATCHER" tooltip) || fail "the item's tooltip could not be read"
note "tooltip: $tip"
[ "$tip" = "Pellmor ( OFFline )" ] || fail "tooltip '$tip'"

note "the pictures sent"
pictures=$("$WATCHER" pictures) || fail "the item's pictures could not be read"
echo "$pictures"
grep -q '^IconPixmap ' <<<"$pictures" || fail "the item sends no icon"
grep -q ' bad$' <<<"$pictures" && fail "a picture's bytes do not match its size"
awk '{split($2, s, "x"); if (s[1] > 64 || s[2] > 64) exit 1}' <<<"$pictures" ||
    fail "a picture larger than 64 px is sent"

# activate [MS...]: one gesture as a panel sends it, well apart from the one before.
activate() {
    between_gestures
    "$WATCHER" activate "$@" || fail "Activate failed"
}
note "Activate shows the window, and hides it again"
activate
wait_for 5 window_mapped || fail "Activate did not show the window"
shot 17-dbus-tray-window
activate
wait_for 5 window_hidden || fail "a second Activate did not hide the window"

note "a double-click as xfce and LXQt send it toggles once"
activate 80
wait_for 5 window_mapped || fail "a double-click did not show the window"
holds 1 window_mapped || fail "a double-click showed and hid the window"

note "a double-click as waybar sends it toggles once, without a flash"
# Every window the window manager maps or unmaps on the screen is written down.
xev -root -event substructure >"$WORK/xev" 2>&1 &
PIDS+=("$!")
activate 150 1
wait_for 5 window_hidden || fail "a double-click did not hide the window"
holds 1 window_hidden || fail "a double-click hid and showed the window"
grep -q MapNotify "$WORK/xev" && fail "the window was mapped again on the way: a flash"

note "ten quiet seconds: the icon and the tooltip are not sent again"
sleep 1 # what the last gesture sent arrives before the count starts
icons=$(count NewIcon)
tips=$(count NewToolTip)
quiet() { [ "$(count NewIcon)" -eq "$icons" ] && [ "$(count NewToolTip)" -eq "$tips" ]; }
holds 10 quiet || fail "in ten quiet seconds the icon was sent $(($(count NewIcon) - icons))" \
    "times, the tooltip $(($(count NewToolTip) - tips)) times"
# The start-up sets the tooltip once (and the watcher sees it): the counting works.
[ "$(count NewToolTip)" -ge 1 ] || fail "not even the tooltip of the start-up was seen"
note "sent over the whole run: NewIcon $(count NewIcon), NewToolTip $(count NewToolTip)"

note "the menu's Exit ends the program"
"$WATCHER" menu || fail "the item's menu could not be read"
"$WATCHER" click Exit || fail "the menu has no Exit to click"
expect_exit_0 "$PID" 10
wait_for 5 grep -q '^unregistered ' "$LOG" || fail "the item stayed registered after Exit"
pass
