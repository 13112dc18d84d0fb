#!/usr/bin/env bash
# The self-update, end to end. The loopback copy of the program (its update service is
# 127.0.0.1:18083) runs in a private network namespace beside a local update service that
# offers a new build of another size: a 10 MiB copy of the program.
#   1. A first run (no settings yet) in the tray: three seconds after start the window shows,
#      the progress bar over the adapter list moves, the program ends, and the swap leaves
#      "tvr.bak" as the old file and the download as the executable, running with "/new";
#      the script is gone and "chkdate" is set (the new copy does not check again).
#   2. The same with a download cut short: the program keeps running, the executable is
#      untouched, no script is left.
#   3. Without pacing: the time from the HEAD to the new copy running.
. "$(dirname "$0")/desktop.sh" "$1"

SERVER="$(dirname "$EXE")/tests/e2e/update_server"
[ -x "$SERVER" ] || skip "no update server at $SERVER (build the target update_server)"
use_probe

private_net NS
LAUNCH=(ip netns exec "$NS")

CONF="$XDG_CONFIG_HOME/Quendra/TVR.conf"
SIZE=10485760
NEW="$WORK/new-build"
# The new build: the program without its debugging sections, made up to 10 MiB (an ELF file
# runs with bytes after its sections).
strip --strip-debug -o "$NEW" "$EXE" 2>/dev/null || cp "$EXE" "$NEW"
[ "$(stat -c %s "$NEW")" -lt $SIZE ] || SIZE=$(($(stat -c %s "$NEW") + 200000))
truncate -s $SIZE "$NEW"
[ "$(stat -c %s "$PROG/torvane")" -ne $SIZE ] || fail "the new build has the old one's size"

start_server() { # start_server [OPTIONS...]
    [ -z "${SERVER_PID:-}" ] || stop "$SERVER_PID"
    : >"$WORK/server.out"
    : >"$WORK/server.log"
    "${LAUNCH[@]}" "$SERVER" --port 18083 --build "$NEW" --log "$WORK/server.log" \
        --lifetime 240 "$@" >>"$WORK/server.out" 2>&1 &
    SERVER_PID=$!
    PIDS+=("$SERVER_PID")
    wait_for 10 grep -q listening "$WORK/server.out" || fail "the update server did not start"
}

# A fresh first run: the old program in place, no settings, no files of an earlier update.
fresh_start() {
    cp "$EXE" "$PROG/torvane"
    rm -f "$CONF" "$PROG/tvr.bak" "$PROG/tvr_update.exe" "$PROG/tvr_update.sh" "$PROBE_OUT"
    start_program
    PID=$LAST_PID
}

# The id of the process that runs "$PROG/torvane /new", if there is one. Bash alone, so that
# it can look often.
new_copy() {
    local f a0 a1
    for f in /proc/[0-9]*/cmdline; do
        { IFS= read -r -d "" a0 && IFS= read -r -d "" a1; } 2>/dev/null <"$f" || continue
        [ "$a0" = "$PROG/torvane" ] && [ "$a1" = /new ] && { f=${f#/proc/}; echo "${f%/cmdline}"; return 0; }
    done
    return 1
}
progress_value() { probe ProgressBar2 | cut -d/ -f1; }
progress_moving() { probe_is ProgressBar2.visible 1 && [ "$(progress_value)" -gt 0 ]; }
requests() { grep -c " $1 /cgi-bin/download.pl?get=tvr_update&cv=$TORVANE_VERSION$" "$WORK/server.log" || true; }
settled_after_failure() { probe_is stbar "" && probe_is ProgressBar2.visible 0; }

start_desktop
start_tray

note "1. a first run finds a new build of $SIZE bytes and replaces itself"
start_server --block-delay-ms 20
fresh_start
wait_for 30 has_tray_icon || fail "no tray icon after start"
window_hidden || fail "the window shows at start"
wait_for 15 window_mapped || fail "the window did not show for the download"
wait_for 10 probe_is stbar "Идет заказчка новой версии программы размером $SIZE байт." ||
    fail "status line during the download: '$(probe stbar)'"
wait_for 10 progress_moving || fail "the progress bar does not move: $(probe ProgressBar2)"
first=$(progress_value)
shot 20-update-downloading
further() { [ "$(progress_value)" -gt "$first" ]; }
wait_for 10 further || fail "the progress bar stopped at $first"
probe ProgressBar2 | grep -q "/$SIZE\$" || fail "progress maximum: $(probe ProgressBar2)"
shot 21-update-progress-further
expect_exit_0 "$PID" 30
wait_for 10 new_copy || fail "no new copy runs with /new"
NEWPID=$(new_copy)
PIDS+=("$NEWPID")
wait_for 10 test ! -e "$PROG/tvr_update.sh" || fail "the swap script is still there"
cmp -s "$PROG/tvr.bak" "$EXE" || fail "tvr.bak is not the old program"
cmp -s "$PROG/torvane" "$NEW" || fail "the executable is not the download"
[ ! -e "$PROG/tvr_update.exe" ] || fail "the download is still there under its own name"
[ "$(tr '\0' ' ' <"/proc/$NEWPID/cmdline")" = "$PROG/torvane /new " ] ||
    fail "the new copy runs as '$(tr '\0' ' ' <"/proc/$NEWPID/cmdline")'"
# The settings file quotes a value whose bytes happen to hold ';' or ','.
grep -q '^chkdate="\?@ByteArray(' "$CONF" || fail "no chkdate in the settings: $(cat "$CONF")"
wait_for 15 has_tray_icon || fail "the new copy has no tray icon"
# Past the new copy's own due test: it runs on and asks for nothing more.
new_copy_quiet() { alive "$NEWPID" && [ "$(requests HEAD)" -eq 1 ] && [ "$(requests GET)" -eq 1 ]; }
holds 4 new_copy_quiet || fail "the new copy ended or asked again: $(cat "$WORK/server.log")"
shot 22-update-new-copy
kill "$NEWPID"
wait_for 10 ended "$NEWPID" || fail "the new copy did not end"

note "2. a download cut short leaves the program as it was"
start_server --cut 3000000
fresh_start
wait_for 30 has_tray_icon || fail "no tray icon after start"
wait_for 20 grep -q ' GET ' "$WORK/server.log" || fail "no download asked for"
# A picture the probe took before the update began shows an empty status line too; one taken
# after the GET shows the download's until the failure is over.
get_at=$(awk '$2 == "GET" {print $1; exit}' "$WORK/server.log")
failure_over() { [ "$(probe probe.time)" -gt "$get_at" ] && settled_after_failure; }
wait_for 10 failure_over ||
    fail "after the failure: status line '$(probe stbar)', progress bar visible $(probe ProgressBar2.visible)"
alive "$PID" || fail "the program ended after a failed download"
cmp -s "$PROG/torvane" "$EXE" || fail "the executable changed"
[ ! -e "$PROG/tvr_update.sh" ] || fail "a swap script was written"
[ ! -e "$PROG/tvr.bak" ] || fail "a backup was made"
! new_copy >/dev/null || fail "a new copy runs"
[ ! -e "$PROG/tvr_update.exe" ] || fail "the partial download was left behind"
shot 23-update-cut-short
stop "$PID"

note "3. unpaced: from the HEAD to the new copy running"
start_server
fresh_start
deadline=$(($(date +%s) + 30))
until NEWPID=$(new_copy); do
    [ "$(date +%s)" -lt $deadline ] || fail "no new copy runs with /new"
    sleep 0.005 # a close look, for the figure below
done
running=$(date +%s%3N)
PIDS+=("$NEWPID")
head_at=$(awk '$2 == "HEAD" {print $1; exit}' "$WORK/server.log")
get_at=$(awk '$2 == "GET" {print $1; exit}' "$WORK/server.log")
sent_at=$(awk '$2 == "SENT" {print $1; exit}' "$WORK/server.log")
cmp -s "$PROG/torvane" "$NEW" || fail "the executable is not the download"
note "figure: HEAD to the new copy running: $((running - head_at)) ms for $SIZE bytes" \
    "(GET at +$((get_at - head_at)) ms, all sent at +$((sent_at - head_at)) ms)"
wait_for 10 test ! -e "$PROG/tvr_update.sh" || fail "the swap script is still there"
pass
