#!/usr/bin/env bash
# The tray picture on a screen with twice the pixel density (QT_SCALE_FACTOR=2): the tray
# host gives the icon as many screen pixels as before, and the picture must fill them with
# its own drawing at that size, the very pixels of the normal density, not a half-size
# picture blown up.
. "$(dirname "$0")/desktop.sh" "$1"

start_desktop
start_tray

# The tray icon's window as the screen shows it, once the picture is in it: the arrows stand
# out from their background (eight colours at least), not a flat tile.
tray_window() {
    local x y w h
    read -r x y w h < <(tray_icon_boxes | head -n1)
    [ "$h" -ge 22 ] && [ "$w" -ge 22 ] && import -window root -crop "${w}x$h+$x+$y" +repage "$1" &&
        [ "$(convert "$1" -format '%k' info:)" -ge 8 ]
}

for scale in 1 2; do
    PROGRAM_ENV=("QT_SCALE_FACTOR=$scale")
    start_program
    PID=$LAST_PID
    wait_for 30 has_tray_icon || fail "no tray icon at scale $scale"
    wait_for 5 tray_window "$WORK/tray-$scale.png" ||
        fail "at scale $scale no tray picture of 22 px and 8 colours: icon at $(tray_icon_boxes)"
    stop "$PID"
    wait_for 10 no_tray_window || fail "the tray icon stayed after the program ended"
done
cp "$WORK/tray-2.png" "$SHOTS/16-tray-double-density.png"
convert "$WORK/tray-2.png" -scale 800% "$SHOTS/16-tray-double-density-zoomed.png"
# The picture of the normal density, found somewhere in the wider window of the double one.
[ "$(convert "$WORK/tray-1.png" -format '%wx%h' info:)" = 22x22 ] ||
    fail "a tray icon window of $(convert "$WORK/tray-1.png" -format '%wx%h' info:) at scale 1"
found=$(compare -metric AE -subimage-search "$WORK/tray-2.png" "$WORK/tray-1.png" null: 2>&1 || true)
[ "${found%% *}" = 0 ] || fail "at twice the density the tray picture is not the sharp one: $found"
pass
