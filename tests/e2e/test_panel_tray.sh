#!/usr/bin/env bash
# A real panel from Debian instead of a stand-in: xfce4-panel with its notification area
# alone, on a private session bus, where it hosts the D-Bus tray (StatusNotifierItem). The
# panel starts two seconds after the program, as at login: the icon appears in it, and the
# window never shows on the way. A real double-click on the icon shows the window and leaves
# it shown, another hides it; a restarted panel takes the icon back.

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
export DBUS_SESSION_BUS_ADDRESS=$BUS NO_AT_BRIDGE=1
command -v xfce4-panel >/dev/null 2>&1 || skip "xfce4-panel is not installed"
# The panel's settings service is started by the bus: it too is to read the private folders.
dbus-update-activation-environment HOME XDG_CONFIG_HOME XDG_RUNTIME_DIR NO_AT_BRIDGE ||
    skip "the session bus takes no environment"

# One panel along the bottom edge, 26 px high, holding only the notification area.
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="icon-size" type="uint" value="16"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML

start_panel() {
    xfce4-panel >>"$WORK/panel.log" 2>&1 &
    PANEL_PID=$!
    PIDS+=($PANEL_PID)
}
# The icon's centre on the screen, once the panel draws one: whatever stands out from the
# panel's background in the middle of its strip, icon-sized.
panel_icon() {
    local x y w h top=746
    import -window root "$WORK/panel.png" 2>/dev/null || return 1
    read -r x y w h < <(convert "$WORK/panel.png" -crop 1024x20+0+$top +repage -trim \
        -format '%X %Y %w %h' info: | tr -d +)
    [ "${w:-0}" -ge 12 ] && [ "${w:-0}" -le 40 ] && [ "${h:-0}" -ge 12 ] || return 1
    echo $((x + w / 2)) $((top + y + h / 2))
}
double_click_icon() {
    local x y
    read -r x y < <(panel_icon) || fail "no icon in the panel"
    sleep 0.6 # well apart from the gesture before
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
}
watcher_gone() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher | grep -q false
}

start_desktop
start_program
PID=$LAST_PID
(while :; do
    window_mapped && echo "mapped"
    sleep 0.05
done) >"$WORK/mapped" 2>/dev/null &
WATCH=$!
PIDS+=($WATCH)
sleep 2
start_panel
wait_for 20 panel_icon || fail "no icon in the panel that came after the program"
note "the icon is in the panel; watching the window past the wait for a tray"
sleep 5
kill "$WATCH"
[ -s "$WORK/mapped" ] && fail "the window showed although the panel came in time"
shot 18-panel-tray
# An XEmbed icon would be a window of the program's own inside the panel.
note "the icon went to the panel's $([ "$(tray_icon_count)" -eq 0 ] && echo D-Bus || echo XEmbed) tray"

note "a real double-click on the icon shows the window, and it stays shown"
double_click_icon
wait_for 5 window_mapped || fail "a double-click did not show the window"
sleep 1.5
window_mapped || fail "a double-click showed and hid the window"
shot 19-panel-tray-window
double_click_icon
wait_for 5 window_hidden || fail "a double-click did not hide the window"
sleep 1.5
window_hidden || fail "a double-click hid and showed the window"

note "a restarted panel takes the icon back"
kill "$PANEL_PID"
wait "$PANEL_PID" 2>/dev/null
wait_for 10 watcher_gone || fail "the panel did not end"
start_panel
wait_for 20 panel_icon || fail "the icon did not come back to the restarted panel"
double_click_icon
wait_for 5 window_mapped || fail "the icon in the restarted panel does not show the window"
alive "$PID" || fail "the program ended"
pass
