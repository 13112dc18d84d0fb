#!/usr/bin/env bash
# A real panel from Debian: xfce4-panel with its notification area alone, hosting the D-Bus
# tray on a private session bus, starts two seconds after the program, as at login. The icon
# appears in it and the window never shows; a real double-click on the icon shows the window
# and leaves it shown; a restarted panel takes the icon back.
PRIVATE_BUS=1
. "$(dirname "$0")/desktop.sh" "$1"
command -v xfce4-panel >/dev/null 2>&1 || skip "xfce4-panel is not installed"
# The panel's settings service, started by the bus, is to read the test's folders too.
export NO_AT_BRIDGE=1
dbus-update-activation-environment HOME XDG_CONFIG_HOME XDG_RUNTIME_DIR NO_AT_BRIDGE ||
    skip "the session bus takes no environment"
# One panel along the whole bottom edge, 26 px high, holding the notification area alone.
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<channel name="xfce4-panel" version="1.0"><property name="configver" type="int" value="2"/>
<property name="panels" type="array"><value type="int" value="1"/><property name="panel-1" type="empty">
<property name="position" type="string" value="p=8;x=0;y=0"/><property name="size" type="uint" value="26"/>
<property name="length" type="uint" value="100"/><property name="position-locked" type="bool" value="true"/>
<property name="plugin-ids" type="array"><value type="int" value="1"/></property></property></property>
<property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/></property></channel>
XML
start_panel() {
    xfce4-panel >>"$WORK/panel.log" 2>&1 &
    PANEL_PID=$!
    PIDS+=("$PANEL_PID")
}
# The icon's centre on the screen: what stands out, icon-sized, in the middle of the panel.
panel_icon() {
    import -window root "$WORK/panel.png" 2>/dev/null || return 1
    read -r x y w h < <(convert "$WORK/panel.png" -crop 1024x20+0+746 +repage -trim \
        -format '%X %Y %w %h' info: | tr -d +) || true # (no line end)
    [ "${w:-0}" -ge 12 ] && [ "${w:-0}" -le 40 ] && [ "${h:-0}" -ge 12 ] &&
        echo $((x + w / 2)) $((746 + y + h / 2))
}
# The panel and its tray are gone from the bus.
panel_gone() {
    ! grep -qE '"(org\.xfce\.Panel|org\.kde\.StatusNotifierWatcher)"' <<<"$(dbus-send --session \
        --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.ListNames)"
}
double_click_icon() {
    read -r x y < <(panel_icon) || fail "no icon in the panel"
    between_gestures
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
}

start_desktop
start_program
watch_window
sleep 2 # the panel comes two seconds after the program, as at login
start_panel
wait_for 20 panel_icon || fail "no icon in the panel that came after the program"
note "the icon is in the panel; watching the window past the wait for a tray"
holds 5 window_hidden && window_never_shown || fail "the window showed although the panel came in time"
shot 18-panel-tray
# The panel hosts XEmbed icons too, and the program takes that way if Qt missed the D-Bus
# tray: the icon is then a window of the program's own inside the panel.
[ "$(tray_icon_count)" -eq 0 ] || fail "the icon went to the panel's XEmbed tray, not the D-Bus one"

note "a real double-click on the icon shows the window, and it stays shown"
double_click_icon
wait_for 5 window_mapped || fail "a double-click did not show the window"
holds 1.5 window_mapped || fail "a double-click showed and hid the window"
shot 19-panel-tray-window

note "a restarted panel takes the icon back"
stop "$PANEL_PID"
wait_for 5 panel_gone || fail "the panel stayed on the bus"
start_panel
wait_for 20 panel_icon || fail "the icon did not come back to the restarted panel"
pass
