#!/usr/bin/env bash
# The search box as a person uses it: the window opens from the tray, a click puts the
# cursor into the box, the query is typed and Enter pressed; F1 asks for the help page; Tab
# goes on to "Search", which Space, Enter and a click press. The browser (a stand-in for
# xdg-open, first on PATH, that only records) receives the results page for the query
# exactly as typed, every byte as %XX; the box keeps what was typed, and only a query new to
# the list joins the history file.
. "$(dirname "$0")/desktop.sh" "$1"

use_probe
use_browser
# Without a network of its own the program's other requests (the banner) go nowhere.
private_net NS
LAUNCH=(ip netns exec "$NS")
printf '07.12.2026;weather\r\n' >"$PROG/search.csv"

page() { echo "http://search.example.com/rsearch?text=$1&from=prgTVR"; }
HELP="http://www.example.com/tvr.html"
# typed TEXT: the box shows TEXT, and still does a moment later (nothing completes it).
typed() {
    wait_for 5 probe_is SearchText "$1" || fail "the box shows '$(probe SearchText)', not '$1'"
    holds 0.5 probe_is SearchText "$1" || fail "the box changed '$1' into '$(probe SearchText)'"
}

start_desktop
start_tray
start_program
wait_for 30 has_tray_icon || fail "no tray icon after start"
wait_for 10 probe_is SearchText.items weather || fail "history: '$(probe SearchText.items)'"
click_tray 1
wait_for 10 window_shown || fail "a click did not show the window"
W=$(main_window)

note "a click into the box, a query in other letter case than the entry, Enter"
click_in "$W" 188 67
wait_for 5 has_focus SearchText || fail "the click left the focus in '$(probe focus)'"
xdotool type --delay 80 "Weather"
typed "Weather"
shot 17-search-typed
xdotool key Return
expect_opened "$(page %57%65%61%74%68%65%72)"
probe_is SearchText "Weather" || fail "after the search the box shows '$(probe SearchText)'"

note "F1 in the box opens the help page"
xdotool key F1
expect_opened "$HELP"

note "the beginning of an entry stays as typed; Tab, then Space and Enter on Search"
xdotool key ctrl+a
xdotool type --delay 80 "weat"
typed "weat"
xdotool key Tab
wait_for 5 has_focus btnSearch || fail "Tab took the focus to '$(probe focus)'"
xdotool key space
expect_opened "$(page %77%65%61%74)"
xdotool key Return
expect_opened "$(page %77%65%61%74)"
xdotool key F1
expect_opened "$HELP"

note "a click on Search"
click_in "$W" 416 66
expect_opened "$(page %77%65%61%74)"
probe_is SearchText "weat" || fail "after the searches the box shows '$(probe SearchText)'"
shot 18-search-done
[ "$(opened_count)" -eq 6 ] || fail "the browser was called $(opened_count) times, not 6"

# The new query was recorded once; the known one, in other letter case, not at all.
grep -c ';' "$PROG/search.csv" | grep -qx 2 && tail -n1 "$PROG/search.csv" | grep -q $';weat\r$' ||
    fail "search.csv: $(cat -A "$PROG/search.csv")"
wait_for 5 probe_is SearchText.items "weat|weather" || fail "list: '$(probe SearchText.items)'"
pass
