# Shared by the end-to-end tests: a private X desktop (Xvfb, openbox, optionally trayer as
# the tray host), a private program folder with a copy of the executable, private settings
# and runtime folders, and helpers to find, click and photograph the program's windows.
# Every process started here is ended by its id when the test exits.
#
# Use: . desktop.sh "$1"   (the path of the built executable)

set -u

EXE=${1:?usage: test.sh path/to/torvane}
EXE=$(cd "$(dirname "$EXE")" && pwd)/$(basename "$EXE")
SHOTS="$(dirname "$EXE")/tests/e2e/screenshots"
TEST_NAME=$(basename "$0" .sh)
PIDS=()

skip() {
    echo "SKIP: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    shot "failure-$TEST_NAME" || true
    exit 1
}
note() { echo "-- $*"; }

for tool in Xvfb openbox xdotool xwininfo import; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -x "$EXE" ] || skip "no executable at $EXE"

WORK=$(mktemp -d -t tv-e2e.XXXXXX)
PROG="$WORK/prog"
mkdir -p "$PROG" "$WORK/run" "$WORK/cfg" "$WORK/home" "$SHOTS"
chmod 700 "$WORK/run"
cp "$EXE" "$PROG/torvane"
cp "$(dirname "$EXE")"/*.lng "$PROG/" 2>/dev/null || true

export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/cfg" HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER

cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    sleep 0.3
    for pid in "${PIDS[@]}"; do kill -9 "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
# E2E_KEEP=1 leaves the desktop and the folders in place for a look after a failure.
[ -n "${E2E_KEEP:-}" ] && trap - EXIT

# wait_for SECONDS COMMAND...: true as soon as the command succeeds.
wait_for() {
    local limit=$(($1 * 10)) i=0
    shift
    while [ $i -lt $limit ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

start_desktop() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    PIDS+=($!)
    wait_for 10 test -s "$WORK/display" || skip "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$WORK/display")"
    openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
    PIDS+=($!)
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window' ||
        skip "openbox did not start"
    # Openbox announces itself before it takes over the screen; a window mapped in between
    # may never be managed. Give it a moment to settle.
    sleep 1
}

start_tray() {
    command -v trayer >/dev/null 2>&1 || skip "trayer is not installed"
    trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
        --transparent false --tint 0x333333 >>"$WORK/trayer.log" 2>&1 &
    TRAY_PID=$!
    PIDS+=($TRAY_PID)
    wait_for 10 sh -c "xprop -root | grep -q . && xwininfo -root -tree | grep -q '\"panel\"'" ||
        skip "trayer did not start"
}

stop_tray() {
    kill "$TRAY_PID"
    wait "$TRAY_PID" 2>/dev/null
}

# start_program [ARGS...]: runs the program copy in the background; its id in LAST_PID.
start_program() {
    "$PROG/torvane" "$@" >>"$WORK/program.log" 2>&1 &
    LAST_PID=$!
    PIDS+=($LAST_PID)
}

# A process that ended but was not waited for yet counts as ended.
alive() { kill -0 "$1" 2>/dev/null && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; }
ended() { ! alive "$1"; }

# The docked tray icons of the program: "x y" of each icon's centre, one per line.
tray_icons() {
    xwininfo -root -tree | awk '/"Torvane": \("torvane" "Torvane"\)/ {
        split($0, a, "  "); for (i in a) if (a[i] ~ /^[0-9]+x[0-9]+\+/) { split(a[i], g, /[x+]/); w = g[1]; h = g[2] }
        for (i in a) if (a[i] ~ /^\+-?[0-9]+\+-?[0-9]+$/) { split(a[i], p, "+"); x = p[2]; y = p[3] }
        if (w > 8 && w <= 64 && h > 8 && h <= 64) print x + int(w / 2), y + int(h / 2) }'
}
tray_icon_count() { tray_icons | wc -l; }
has_tray_icon() { [ "$(tray_icon_count)" -ge 1 ]; }

click_tray() { # click_tray BUTTON [REPEAT]
    local pos
    pos=$(tray_icons | head -n1)
    [ -n "$pos" ] || fail "no tray icon to click"
    # Clicks closer together than the double-click time would make one gesture.
    sleep 0.6
    # shellcheck disable=SC2086
    xdotool mousemove $pos click --repeat "${2:-1}" --delay 90 "$1"
}

# The main window: its X window id, whether mapped or not.
main_window() { xdotool search --name '^Torvane v' 2>/dev/null | head -n1; }
window_mapped() {
    local w
    w=$(main_window)
    [ -n "$w" ] && xwininfo -id "$w" | grep -q 'IsViewable'
}
window_hidden() { ! window_mapped; }

shot() {
    import -window root "$SHOTS/$1.png" 2>/dev/null && note "screenshot $SHOTS/$1.png"
}

# Waits for the program to end and checks its exit code.
expect_exit_0() { # expect_exit_0 PID SECONDS
    wait_for "$2" ended "$1" || fail "process $1 did not end"
    wait "$1"
    local rc=$?
    [ $rc -eq 0 ] || fail "process $1 ended with code $rc"
}
