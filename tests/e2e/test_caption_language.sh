#!/usr/bin/env bash
# A language file may give the window another caption. A later start looks for the window by
# the versioned caption, so it does not find such a copy: it ends with code 0 and shows
# nothing. With the shipped English file, which keeps the caption, it shows the running copy.
. "$(dirname "$0")/desktop.sh" "$1"

[ -f "$PROG/english.lng" ] || skip "no english.lng beside the executable"
! grep -q '^frmMain\.Caption:=' "$PROG/english.lng" || skip "english.lng sets a caption itself"
# The English texts with one more line, for the window's caption.
{
    cat "$PROG/english.lng"
    printf 'frmMain.Caption:=Something else\r\n'
} >"$PROG/caption.lng"
printf '%s\r\n' "$PROG/caption.lng" >"$PROG/language.cfg"

# Visible windows with exactly this name.
shown() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -q .; }
none_shown() { ! shown "Something else" && ! shown "Torvane v$TORVANE_VERSION"; }

start_desktop
start_tray
start_program
FIRST=$LAST_PID
wait_for 30 has_tray_icon || fail "no tray icon after start"

note "a second start does not find the window with the other caption"
start_program
SECOND=$LAST_PID
expect_exit_0 "$SECOND" 20
holds 1.5 none_shown || fail "the second start showed a window: $(xdotool search --onlyvisible --class torvane getwindowname %@)"
alive "$FIRST" || fail "the first copy ended"
[ "$(tray_icon_count)" -eq 1 ] || fail "expected one tray icon, there are $(tray_icon_count)"

note "the tray shows that window, with the caption of the language file"
click_tray 1
wait_for 10 shown "Something else" || fail "the tray did not show the window 'Something else'"
shot 15-caption-from-language-file
stop "$FIRST"

note "with english.lng a second start shows the running copy"
printf '%s\r\n' "$PROG/english.lng" >"$PROG/language.cfg"
start_program
FIRST=$LAST_PID
wait_for 30 has_tray_icon || fail "no tray icon after the restart"
window_hidden || fail "the window shows at start"
start_program
expect_exit_0 "$LAST_PID" 20
wait_for 10 shown "Torvane v$TORVANE_VERSION" || fail "the second start did not show the running copy"
alive "$FIRST" || fail "the first copy ended"
pass
