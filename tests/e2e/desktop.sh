# Shared by the end-to-end tests: a private X desktop (Xvfb, openbox, optionally trayer as
# the tray host), a private program folder with a copy of the executable, private settings
# and runtime folders, and helpers to find, click and photograph the program's windows.
# Every process started here is ended by its id when the test exits.
#
# Use: . desktop.sh "$1"   (the path of the built executable)
# With PRIVATE_BUS=1 set before, the whole test runs inside a private session bus of its own.

set -u
if [ -n "${PRIVATE_BUS:-}" ] && [ -z "${TORVANE_PRIVATE_BUS:-}" ]; then
    command -v dbus-run-session >/dev/null 2>&1 || { echo "SKIP: no dbus-run-session"; exit 77; }
    exec env TORVANE_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi

EXE=${1:?usage: test.sh path/to/torvane}
EXE=$(cd "$(dirname "$EXE")" && pwd)/$(basename "$EXE")
SHOTS="$(dirname "$EXE")/tests/e2e/screenshots"
TEST_NAME=$(basename "$0" .sh)
PIDS=()
# Commands run after the processes are ended, before the folders go (namespaces, links).
CLEANUP_HOOKS=()
# What the program is started with: a prefix (such as "ip netns exec NAME") and extra
# environment for the program alone.
LAUNCH=()
PROGRAM_ENV=()

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
# The command that starts the program; empty: the copy in $PROG (a test may move $PROG).
# A test that installed the program names the installed command here.
PROGRAM_COMMAND=()
mkdir -p "$PROG" "$WORK/run" "$WORK/cfg" "$WORK/home" "$SHOTS"
chmod 700 "$WORK/run"
cp "$EXE" "$PROG/torvane"
cp "$(dirname "$EXE")"/*.lng "$PROG/" 2>/dev/null || true

export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/cfg" HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb
unset SESSION_MANAGER
[ -n "${TORVANE_PRIVATE_BUS:-}" ] || unset DBUS_SESSION_BUS_ADDRESS

cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    sleep 0.3
    for pid in "${PIDS[@]}"; do kill -9 "$pid" 2>/dev/null; done
    local hook
    for hook in "${CLEANUP_HOOKS[@]}"; do eval "$hook" >/dev/null 2>&1; done
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
# The launch prefix and env exec the program in place, so the id is the program's own.
start_program() {
    local command=("${PROGRAM_COMMAND[@]}")
    [ ${#command[@]} -gt 0 ] || command=("$PROG/torvane")
    "${LAUNCH[@]}" env "${PROGRAM_ENV[@]}" "${command[@]}" "$@" >>"$WORK/program.log" 2>&1 &
    LAST_PID=$!
    PIDS+=($LAST_PID)
}

# A process that ended but was not waited for yet counts as ended.
alive() { kill -0 "$1" 2>/dev/null && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; }
ended() { ! alive "$1"; }

# The docked tray icons of the program, one per line: "window x y width height" of each
# icon's window, its place on the screen and its size.
tray_icon_windows() {
    xwininfo -root -tree | awk '/"Torvane": \("torvane" "Torvane"\)/ {
        split($0, a, "  "); for (i in a) if (a[i] ~ /^[0-9]+x[0-9]+\+/) { split(a[i], g, /[x+]/); w = g[1]; h = g[2] }
        for (i in a) if (a[i] ~ /^\+-?[0-9]+\+-?[0-9]+$/) { split(a[i], p, "+"); x = p[2]; y = p[3] }
        if (w > 8 && w <= 64 && h > 8 && h <= 64) print $1, x, y, w, h }'
}
# "x y width height" of each icon on the screen (for screenshots).
tray_icon_boxes() { tray_icon_windows | cut -d' ' -f2-; }
# "x y" of each icon's centre on the screen.
tray_icons() { tray_icon_boxes | awk '{print $1 + int($3 / 2), $2 + int($4 / 2)}'; }
tray_icon_count() { tray_icons | wc -l; }
has_tray_icon() { [ "$(tray_icon_count)" -ge 1 ]; }

# click_in WINDOW X Y [BUTTON] [REPEAT]: clicks at X, Y of the window's own area, counted
# from its top left corner. Not from a position on the screen: the place xdotool
# getwindowgeometry reports is off by the frame under some window managers.
click_in() {
    xdotool mousemove --window "$1" "$2" "$3" click --repeat "${5:-1}" --delay 90 "${4:-1}"
}
# window_size WINDOW: "width height" of the window's own area.
window_size() { xwininfo -id "$1" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w, h}'; }

click_tray() { # click_tray BUTTON [REPEAT]
    local id w h
    read -r id _ _ w h < <(tray_icon_windows | head -n1)
    [ -n "${id:-}" ] || fail "no tray icon to click"
    # Clicks closer together than the double-click time would make one gesture.
    sleep 0.6
    click_in "$id" $((w / 2)) $((h / 2)) "$1" "${2:-1}"
}

# A visible window of the program other than the main window whose size fits the test
# given (a command run with WIDTH and HEIGHT set), waited for up to five seconds: a drop-down
# list or a menu. Its id on stdout.
popup_window() {
    local w
    for _ in $(seq 50); do
        for w in $(xdotool search --onlyvisible --class torvane 2>/dev/null); do
            [ "$w" = "$(main_window)" ] && continue
            read -r WIDTH HEIGHT < <(window_size "$w")
            eval "$1" && echo "$w" && return 0
        done
        sleep 0.1
    done
    return 1
}

# The main window: its X window id, whether mapped or not.
main_window() { xdotool search --name '^Torvane v' 2>/dev/null | head -n1; }
window_mapped() {
    local w
    w=$(main_window)
    [ -n "$w" ] && xwininfo -id "$w" | grep -q 'IsViewable'
}
window_hidden() { ! window_mapped; }
# watch_window: from now on every moment the main window is mapped is written down;
# window_never_shown stops that and says whether it never was.
watch_window() {
    (while :; do
        window_mapped && echo "mapped"
        sleep 0.05
    done) >"$WORK/mapped" 2>/dev/null &
    WATCH_PID=$!
    PIDS+=($WATCH_PID)
}
window_never_shown() { kill "$WATCH_PID" && [ ! -s "$WORK/mapped" ]; }
# Alt+F4 in the program's window, as a person presses it: the window is activated first. A
# window the window manager has not settled yet refuses activation, and on a loaded machine
# a key sent right after activation can reach the window before it takes the focus; so both
# are tried again, for a few seconds, until the window is gone from the screen.
alt_f4_main_window() {
    local i
    for i in $(seq 1 10); do
        # A slow build may close the window only after the wait below gave up: a window
        # that is gone by the next round was closed by the keys already sent.
        window_hidden && return 0
        if xdotool windowactivate --sync "$(main_window)" >/dev/null 2>&1; then
            xdotool key alt+F4
            wait_for 1 window_hidden && return 0
        else
            sleep 0.25
        fi
    done
    return 1
}

# The probe (tests/e2e/aids/widget_probe.cpp), preloaded into the program, writes what the
# window shows into $PROBE_OUT; probe KEY prints one value ("lblInetStat", "RxTrayIcon.Hint").
use_probe() {
    local lib=${TORVANE_E2E_PROBE:-$(dirname "$EXE")/tests/e2e/libtorvane_e2e_probe.so}
    [ -f "$lib" ] || skip "no probe library at $lib (build the target torvane_e2e_probe)"
    PROBE_OUT="$WORK/probe.txt"
    PROGRAM_ENV+=("LD_PRELOAD=$lib" "TORVANE_PROBE_OUT=$PROBE_OUT"
        "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0")
}
probe() { sed -n "s/^$1=//p" "$PROBE_OUT" 2>/dev/null | head -n1; }
# probe_is KEY VALUE: true when the probe shows exactly VALUE.
probe_is() { [ "$(probe "$1")" = "$2" ]; }

# Client area of the main window: "x y" of its top left corner on the screen.
window_origin() {
    xwininfo -id "$(main_window)" |
        awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}'
}

shot() {
    import -window root "$SHOTS/$1.png" 2>/dev/null && note "screenshot $SHOTS/$1.png"
}

# The end of a test that went well: unless a sanitizer reported a fault of the program
# on the way (an ASan build prints it and may go on or be ended by the test).
pass() {
    if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$WORK/program.log" 2>/dev/null; then
        cat "$WORK/program.log"
        fail "a sanitizer reported a fault of the program"
    fi
    echo "PASS"
}

# Waits for the program to end and checks its exit code.
expect_exit_0() { # expect_exit_0 PID SECONDS
    wait_for "$2" ended "$1" || fail "process $1 did not end"
    wait "$1"
    local rc=$?
    [ $rc -eq 0 ] || fail "process $1 ended with code $rc"
}
