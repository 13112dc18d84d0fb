#!/usr/bin/env bash
# The program folder read-only, then full (a 64 KiB tmpfs filled to its last page), each
# holding an earlier inet.stat, search.csv and language.cfg. The program starts from it with
# an online adapter remembered, the user opens the window from the tray, searches, picks a
# language and saves it, and a few ticks pass. The program is still running and its window
# answers, the search opened its page and joined the list, the files in the folder are the
# same byte for byte, and no message box came up.

# Every mount of this run stays in a mount namespace of its own and goes with it.
if [ -z "${TORVANE_FAULTS_PRIVATE:-}" ]; then
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: the faulty folders need root"; exit 77; }
    unshare -m --propagation private true 2>/dev/null ||
        { echo "SKIP: no private mount namespace here"; exit 77; }
    TORVANE_FAULTS_PRIVATE=1 exec unshare -m --propagation private bash "$0" "$@"
fi
. "$(dirname "$0")/desktop.sh" "$1"

[ -f "$PROG/english.lng" ] && [ -f "$PROG/russian.lng" ] || skip "no shipped language files"
use_probe

# The program gets a network namespace of its own with one veth pair, v0 remembered.
private_net NS
veth "$NS" v0 02:54:56:00:00:11 "$NS" v1 || skip "veth links cannot be made here"
ITEM="v0 (veth) [02-54-56-00-00-11]"
LAUNCH=(ip netns exec "$NS")
mkdir -p "$XDG_CONFIG_HOME/Quendra"
printf '[General]\nadapter=%s\n' "$ITEM" >"$XDG_CONFIG_HOME/Quendra/TVR.conf"

use_browser
mkdir -p "$WORK/langs"
cp "$PROG"/*.lng "$WORK/langs/"
SOURCE=$PROG

# log_of_size SIZE: Status lines of an earlier run, SIZE bytes in all (some hundreds at
# least); the totals take as many digits as it needs.
log_of_size() {
    local lines=$(($1 / 66)) extra i d r digits=4294967295
    extra=$(($1 - lines * 57))
    for ((i = 0; i < lines; i++)); do
        d=$((extra > 18 ? 18 : extra))
        extra=$((extra - d))
        r=$((d > 9 ? 9 : d))
        printf 'Status      [06/12/2026 22:%02d:00] [100000000] [r:%s w:%s]\r\n' $((i % 60)) \
            "${digits:0:r+1}" "${digits:0:d-r+1}"
    done
}
# searches_of_size SIZE: history lines of an earlier run, SIZE bytes in all.
searches_of_size() {
    local out="" i=0
    while [ $((${#out} + 60)) -lt "$1" ]; do
        out+=$(printf '06/12/2026;earlier query %d\r\n_' $i)
        out=${out%_}
        i=$((i + 1))
    done
    printf '%s06/12/2026;%s\r\n' "$out" "$(printf "%$(($1 - ${#out} - 13))s" '' | tr ' ' q)"
}

# make_folder ro|full: the program folder of one run in $PROG, with its files (a little
# less room left in each file's last page than a line takes) and a copy in $WORK/before-KIND.
make_folder() {
    local dir=$WORK/$1
    mkdir -p "$dir"
    if [ "$1" = full ]; then
        mount -t tmpfs -o size=64k tmpfs "$dir" || fail "no tmpfs"
        at_exit umount -l "$dir"
        # The executable stays on its own disk; the program still sees it in this folder.
        : >"$dir/torvane"
        mount --bind "$SOURCE/torvane" "$dir/torvane" || fail "no bind mount of the program"
    else
        cp "$SOURCE/torvane" "$dir/"
    fi
    log_of_size $((2 * 4096 - 20)) >"$dir/inet.stat"
    searches_of_size $((4096 - 10)) >"$dir/search.csv"
    printf '%s\r\n' "$WORK/langs/russian.lng" >"$dir/language.cfg"
    [ "$(stat -c %s "$dir/inet.stat")" -eq 8172 ] || fail "inet.stat is not of the size meant"
    [ "$(stat -c %s "$dir/search.csv")" -eq 4086 ] || fail "search.csv is not of the size meant"
    mkdir "$WORK/before-$1"
    cp "$dir/inet.stat" "$dir/search.csv" "$dir/language.cfg" "$WORK/before-$1/"
    if [ "$1" = full ]; then
        dd if=/dev/zero of="$dir/zz-filler" bs=4096 2>/dev/null || true # up to "no space left"
        [ "$(df -B1 --output=avail "$dir" | tail -n1 | tr -d ' ')" = 0 ] ||
            fail "the tmpfs still has room"
    else
        mount --bind "$dir" "$dir" && mount -o remount,bind,ro "$dir" ||
            fail "no read-only bind mount"
        at_exit umount -l "$dir"
        touch "$dir/probe" 2>/dev/null && fail "the folder takes new files"
    fi
    PROG=$dir
}

# The visible windows of the program that are neither the main window nor its tray icon.
other_windows() {
    local w width
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        [ "$w" != "$(main_window)" ] || continue
        read -r width _ < <(window_size "$w")
        [ "$width" -le 64 ] || echo "$w"
    done
}
dialog_open() { DIALOG=$(other_windows "$pid" | head -n1); [ -n "$DIALOG" ]; }

in_search_list() { grep -qx "$1" <<<"$(probe SearchText.items | tr '|' '\n')"; }
click_at() { xdotool mousemove --window "$(main_window)" "$1" "$2" click 1; }

run_with() {
    local kind=$1 pid
    note "the program folder $kind"
    make_folder "$kind"
    rm -f "$PROBE_OUT"  # nothing of the run before
    start_program
    pid=$LAST_PID
    wait_for 30 has_tray_icon || fail "$kind: no tray icon after start"
    wait_for 10 probe_is lblInetStat Online || fail "$kind: v0 is not Online"
    probe_is pnlLanguage "Русский" || fail "$kind: the remembered language: $(probe pnlLanguage)"
    click_tray 1
    wait_for 10 window_shown || fail "$kind: a click did not show the window"

    note "$kind: a search with the Search button"
    click_at 150 67
    wait_for 5 has_focus SearchText || fail "$kind: the click left the focus in $(probe focus)"
    xdotool type --delay 40 fault
    click_at 416 66
    expect_opened "http://search.example.com/rsearch?text=%66%61%75%6C%74&from=prgTVR"
    wait_for 5 in_search_list fault ||
        fail "$kind: 'fault' is not in the list: $(probe SearchText.items | cut -c1-200)"

    note "$kind: English picked and saved"
    click_at 252 192
    wait_for 5 dialog_open || fail "$kind: the file dialog did not open"
    xdotool windowactivate --sync "$DIALOG"
    wait_for 5 has_focus fileNameEdit || fail "$kind: the dialog's focus is in '$(probe focus)'"
    xdotool type --delay 20 "$WORK/langs/english.lng"
    xdotool key Return
    wait_for 10 probe_is pnlLanguage English || fail "$kind: English was not applied"
    wait_for 5 probe_is btnSaveOptions.visible 1 || fail "$kind: Save Options is not shown"
    click_at 394 192
    wait_for 5 probe_is btnSaveOptions.visible 0 || fail "$kind: Save Options did not hide"

    note "$kind: a few ticks later"
    xdotool mousemove 0 0
    local before
    before=$(probe probe.time)
    holds 2.5 alive "$pid" || fail "$kind: the program ended"
    [ "$(probe probe.time)" != "$before" ] || fail "$kind: the window stopped answering"
    [ "$(xdotool getwindowname "$(main_window)")" = "Torvane v$TORVANE_VERSION" ] ||
        fail "$kind: caption '$(xdotool getwindowname "$(main_window)")'"
    probe_is lblInetStat Online || fail "$kind: the monitor lost its adapter"
    [ -z "$(other_windows "$pid")" ] || fail "$kind: a window came up: $(other_windows "$pid" |
        xargs -r -n1 xdotool getwindowname)"
    shot "faults-$kind"

    local f files=("$PROG"/*)
    for f in inet.stat search.csv language.cfg; do
        cmp -s "$WORK/before-$kind/$f" "$PROG/$f" ||
            fail "$kind: $f changed ($(stat -c %s "$PROG/$f") bytes)"
    done
    [ "${files[*]##*/}" = "inet.stat language.cfg search.csv torvane$(
        [ "$kind" = ro ] || echo ' zz-filler')" ] || fail "$kind: the folder holds ${files[*]##*/}"

    kill "$pid"
    wait_for 10 ended "$pid" || fail "$kind: the program did not end"
}

start_desktop
start_tray
run_with ro
run_with full
pass
