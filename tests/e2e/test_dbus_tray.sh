#!/usr/bin/env bash
# The D-Bus tray (StatusNotifierItem, as KDE Plasma and GNOME with the AppIndicator extension
# host it), with a watcher of our own on a private session bus and no XEmbed tray: the
# program registers an item and stays hidden; Activate shows and hides the window; the
# pictures sent are at most 64 px; with the adapter offline neither the icon nor the tooltip
# is sent again over ten quiet seconds; the menu's "Exit" ends the program with code 0 and
# takes the item away.

# The whole test runs inside a private session bus, which ends with it.
if [ -z "${TORVANE_PRIVATE_BUS:-}" ]; then
    if ! command -v dbus-run-session >/dev/null 2>&1; then
        echo "SKIP: dbus-run-session is not installed"
        exit 77
    fi
    exec env TORVANE_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
BUS=$DBUS_SESSION_BUS_ADDRESS
. "$(dirname "$0")/desktop.sh" "$1"
export DBUS_SESSION_BUS_ADDRESS=$BUS

WATCHER=$(dirname "$EXE")/tests/e2e/sni_watcher
[ -x "$WATCHER" ] || skip "no watcher at $WATCHER (build the target sni_watcher)"
LOG="$WORK/watcher.log"
count() { grep -c "^$1 " "$LOG"; }

start_desktop
"$WATCHER" serve "$LOG" >>"$WORK/watcher.out" 2>&1 &
PIDS+=($!)
wait_for 10 grep -q '^ready$' "$LOG" || fail "the watcher did not start: $(cat "$WORK/watcher.out")"

start_program
PID=$LAST_PID
wait_for 15 grep -q '^registered ' "$LOG" || fail "the program registered no item"
sleep 1
window_hidden || fail "the window shows at start although a tray is there"
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

note "Activate shows the window, and hides it again"
"$WATCHER" activate || fail "Activate failed"
wait_for 5 window_mapped || fail "Activate did not show the window"
sleep 1
shot 17-dbus-tray-window
"$WATCHER" activate || fail "Activate failed"
wait_for 5 window_hidden || fail "a second Activate did not hide the window"

note "ten quiet seconds: the icon and the tooltip are not sent again"
sleep 1
icons=$(count NewIcon)
tips=$(count NewToolTip)
sleep 10
icons=$(($(count NewIcon) - icons))
tips=$(($(count NewToolTip) - tips))
[ "$icons" -eq 0 ] && [ "$tips" -eq 0 ] ||
    fail "in ten quiet seconds the icon was sent $icons times, the tooltip $tips times"
# The start-up sets the tooltip once (and the watcher sees it): the counting works.
[ "$(count NewToolTip)" -ge 1 ] || fail "not even the tooltip of the start-up was seen"
note "sent over the whole run: NewIcon $(count NewIcon), NewToolTip $(count NewToolTip)"

note "the menu's Exit ends the program"
"$WATCHER" menu || fail "the item's menu could not be read"
"$WATCHER" click Exit || fail "the menu has no Exit to click"
expect_exit_0 "$PID" 10
wait_for 5 grep -q '^unregistered ' "$LOG" || fail "the item stayed registered after Exit"
pass
