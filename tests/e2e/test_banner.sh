#!/usr/bin/env bash
# The banner: the program (the copy whose services are on the loopback) and a stand-in
# advertising service run in a private network namespace. Opening the window from the tray
# fetches the banner, and Image1 shows its stripes on the screen; a click on it goes through
# the click counter with the banner's cookies, newest first, and the browser (a stand-in
# xdg-open) gets the advertiser's address byte for byte.
. "$(dirname "$0")/desktop.sh" "$1"

command -v convert >/dev/null 2>&1 || skip "ImageMagick's convert is not installed"
SERVER="$(dirname "$EXE")/tests/e2e/banner_server"
[ -x "$SERVER" ] || skip "no banner server at $SERVER (build the target banner_server)"
private_net NS
use_browser

start_desktop
start_tray
ip netns exec "$NS" "$SERVER" 18084 "$WORK/requests" >"$WORK/server.log" 2>&1 &
PIDS+=("$!")
wait_for 10 grep -q ready "$WORK/server.log" || fail "the banner server did not start: $(cat "$WORK/server.log")"
LAUNCH=(ip netns exec "$NS")
start_program
wait_for 30 has_tray_icon || fail "no tray icon after start"
window_hidden || fail "the window shows at start"
[ ! -s "$WORK/requests" ] || fail "a banner was fetched before the window was opened"

note "opening the window from the tray fetches the banner"
click_tray 1
wait_for 10 window_mapped || fail "a click did not show the window"
wait_for 10 grep -q 'cmd=ad' "$WORK/requests" || fail "no banner fetch"
IFS='|' read -r line cookie referer pragma agent <"$WORK/requests"
[[ "$line" =~ ^GET\ /bb\.cgi\?cmd=ad\&pubid=4711\&pg=1\&vbn=2\&num=1\&w=468\&h=60\&nocache=[0-9]{1,4}\&ref=\&loc=http%3A//127\.0\.0\.1%3A18085/\ HTTP/1\.0$ ]] ||
    fail "fetch: $line"
[ -z "$cookie" ] && [ "$referer" = "http://127.0.0.1:18085/" ] && [ "$pragma" = no-cache ] &&
    [ "$agent" = "Mozilla/6.0 (compatible)" ] || fail "fetch headers: $(head -n1 "$WORK/requests")"

read -r WX WY < <(window_origin)
# colour X Y: the colour on the screen at a point of the window's client area.
colour() { convert "$SHOTS/20-banner-shown.png" -crop "1x1+$((WX + $1))+$((WY + $2))" -depth 8 txt:- | grep -oE '#[0-9A-F]{6}' | head -n1; }
# Image1 is at 0,226 of the client area; the stripes are 117 pixels wide.
banner_shown() {
    shot 20-banner-shown
    for spot in "50 232 #FF0000" "170 250 #00A000" "290 270 #0000FF" "400 240 #FFFFFF"; do
        read -r x y want <<<"$spot"
        got=$(colour "$x" "$y")
        [ "$got" = "$want" ] || return 1
    done
}
wait_for 10 banner_shown || fail "Image1 at $x,$y shows $got, not the banner's $want"

note "a click on the banner goes through the counter to the advertiser"
xdotool mousemove --window "$(main_window)" 100 250 click 1
wait_for 10 grep -q 'cmd=go' "$WORK/requests" || fail "no click-through: $(cat "$WORK/requests")"
IFS='|' read -r line cookie referer _ agent < <(grep 'cmd=go' "$WORK/requests")
nocache=$(grep -m1 -oE 'nocache=[0-9]+' "$WORK/requests")
[ "$line" = "GET /bb.cgi?cmd=go&pubid=4711&pg=1&vbn=2&num=1&w=468&h=60&$nocache&loc=http%3A//127.0.0.1%3A18085/&ref= HTTP/1.0" ] ||
    fail "click-through: $line"
[ "$cookie" = "seen=1;uid=42; path=/;" ] || fail "click-through cookies: '$cookie'"
[ "$referer" = "http://127.0.0.1:18085/" ] || fail "click-through referer: '$referer'"
expect_opened "http://127.0.0.1:18084/advertiser/shop?id=7&u=%41b"
# A new banner follows the click.
refetched() { [ "$(grep -c 'cmd=ad' "$WORK/requests")" -ge 2 ]; }
wait_for 10 refetched || fail "no fetch after the click"
shot 21-after-click
pass
