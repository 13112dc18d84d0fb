# Shared by the end-to-end tests: a private X desktop (Xvfb, openbox, optionally trayer as
# the tray host), a private program folder with a copy of the executable, private settings
# and runtime folders, and helpers to find, click and photograph the program's windows.
# Every process started here is ended by its id when the test exits.
#
# Use: . desktop.sh "$1"   (the path of the built executable)
# With PRIVATE_BUS=1 set before, the whole test runs inside a private session bus of its own.
# TORVANE_VERSION is the build's version (ctest passes it), as the window's caption shows it.

set -euo pipefail
if [ -n "${PRIVATE_BUS:-}" ] && [ -z "${TORVANE_PRIVATE_BUS:-}" ]; then
    command -v dbus-run-session >/dev/null 2>&1 || { echo "SKIP: no dbus-run-session"; exit 77; }
    exec env TORVANE_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi

EXE=${1:?usage: test.sh path/to/torvane}
EXE=$(cd "$(dirname "$EXE")" && pwd)/$(basename "$EXE")
SHOTS="$(dirname "$EXE")/tests/e2e/screenshots"
TEST_NAME=$(basename "$0" .sh)
PIDS=()
: "${TORVANE_VERSION:?the version of the build (ctest passes it)}"
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

# at_exit COMMAND [ARGS...]: run when the test ends, after its processes are ended and
# before the folders go, the latest first (mounts, namespaces). The words are kept apart by
# a control character, so arguments with spaces come back whole.
AT_EXIT=()
at_exit() { AT_EXIT=("$(IFS=$'\x1f' && echo "$*")" "${AT_EXIT[@]}"); }
cleanup() {
    local pid entry words
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait_for 3 none_alive || for pid in "${PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    for entry in "${AT_EXIT[@]}"; do
        IFS=$'\x1f' read -ra words <<<"$entry"
        "${words[@]}" >/dev/null 2>&1 || true
    done
    rm -rf "$WORK"
}
# E2E_KEEP=1 leaves the desktop and the folders in place for a look after a failure.
if [ -z "${E2E_KEEP:-}" ]; then trap cleanup EXIT; fi

# wait_for SECONDS COMMAND...: true as soon as the command succeeds, looked at ten times a
# second; false once SECONDS (whole or with a fraction: "1.5") are over.
wait_for() {
    local end=$(($(now_us) + $(micros "$1")))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(now_us)" -lt $end ] || return 1
        sleep 0.1 # the pace of the looks
    done
}
# holds SECONDS COMMAND...: true when the command succeeds all through SECONDS (looked at ten
# times a second, and once more at the end); false as soon as it fails.
holds() {
    local end=$(($(now_us) + $(micros "$1")))
    shift
    while "$@" >/dev/null 2>&1; do
        [ "$(now_us)" -lt $end ] || return 0
        sleep 0.1 # the pace of the looks
    done
    return 1
}
now_us() { echo "${EPOCHREALTIME//[.,]/}"; }
# micros SECONDS: "1.5" as 1500000.
micros() { local s=${1%.*} f=${1#*.}; [ "$f" != "$1" ] || f=; f=${f}000000; echo $((10#${s:-0} * 1000000 + 10#${f:0:6})); }

start_desktop() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    PIDS+=("$!")
    wait_for 10 test -s "$WORK/display" || skip "Xvfb did not start"
    DISPLAY=":$(head -n1 "$WORK/display")" && export DISPLAY
    # Openbox announces itself before it takes over the screen, and a window mapped in between
    # may never be managed; the start-up command runs once it manages the screen.
    openbox --sm-disable --startup "touch $WORK/wm-ready" >"$WORK/openbox.log" 2>&1 &
    PIDS+=("$!")
    wait_for 10 test -e "$WORK/wm-ready" || skip "openbox did not start"
}

start_tray() {
    command -v trayer >/dev/null 2>&1 || skip "trayer is not installed"
    trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
        --transparent false --tint 0x333333 >>"$WORK/trayer.log" 2>&1 &
    TRAY_PID=$!
    PIDS+=("$TRAY_PID")
    wait_for 10 tray_panel_shown || skip "trayer did not start"
}
# (The whole tree is read first: a grep that stops early would end xwininfo with a broken pipe.)
tray_panel_shown() { grep -q '"panel"' <<<"$(xwininfo -root -tree)"; }
stop_tray() { stop "$TRAY_PID"; }
# stop PID: ends the process and waits for it.
stop() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

# start_program [ARGS...]: runs the program copy in the background; its id in LAST_PID.
# The launch prefix and env exec the program in place, so the id is the program's own.
start_program() {
    local command=("${PROGRAM_COMMAND[@]}")
    [ ${#command[@]} -gt 0 ] || command=("$PROG/torvane")
    "${LAUNCH[@]}" env "${PROGRAM_ENV[@]}" "${command[@]}" "$@" >>"$WORK/program.log" 2>&1 &
    LAST_PID=$!
    PIDS+=("$LAST_PID")
}

# A process that ended but was not waited for yet counts as ended.
alive() { kill -0 "$1" 2>/dev/null && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; }
ended() { ! alive "$1"; }
none_alive() {
    local pid
    for pid in "${PIDS[@]}"; do ended "$pid" || return 1; done
}

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
# No window of the program's tray icon anywhere.
no_tray_window() { ! grep -q '"Torvane": ("torvane"' <<<"$(xwininfo -root -tree)"; }

# click_in WINDOW X Y [BUTTON] [REPEAT]: clicks at X, Y of the window's own area, counted
# from its top left corner. Not from a position on the screen: the place xdotool
# getwindowgeometry reports is off by the frame under some window managers.
click_in() {
    xdotool mousemove --window "$1" "$2" "$3" click --repeat "${5:-1}" --delay 90 "${4:-1}"
}
# window_size WINDOW: "width height" of the window's own area.
window_size() { xwininfo -id "$1" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w, h}'; }

# A pause before a click or an Activate on the tray icon: gestures closer together than the
# double-click time would make one.
between_gestures() { sleep 0.6; }
click_tray() { # click_tray BUTTON [REPEAT]
    local id='' w=0 h=0
    read -r id _ _ w h < <(tray_icon_windows | head -n1) || true
    [ -n "$id" ] || fail "no tray icon to click"
    between_gestures
    click_in "$id" $((w / 2)) $((h / 2)) "$1" "${2:-1}"
}

# popup_window MIN_WIDTH MAX_WIDTH MIN_HEIGHT MAX_HEIGHT: a visible window of the program
# other than the main window, of a size in these bounds, waited for up to five seconds: a
# drop-down list or a menu. Its id on stdout.
popup_window() { wait_for 5 find_popup "$@" && echo "$POPUP"; }
find_popup() {
    local w width height
    for w in $(xdotool search --onlyvisible --class torvane 2>/dev/null); do
        [ "$w" != "$(main_window)" ] || continue
        read -r width height < <(window_size "$w")
        [ "$width" -ge "$1" ] && [ "$width" -le "$2" ] && [ "$height" -ge "$3" ] &&
            [ "$height" -le "$4" ] && POPUP=$w && return 0
    done
    return 1
}

# The main window: its X window id, whether mapped or not.
main_window() { xdotool search --name '^Torvane v' 2>/dev/null | head -n1 || true; }
window_mapped() {
    local w
    w=$(main_window)
    [ -n "$w" ] && xwininfo -id "$w" | grep -q 'IsViewable'
}
window_hidden() { ! window_mapped; }
# The main window shown and managed: the window manager has set the actions it allows, so
# it takes clicks and activation now.
window_shown() { window_mapped && xprop -id "$(main_window)" _NET_WM_ALLOWED_ACTIONS | grep -q ' = '; }
# watch_window: from now on every moment the main window is mapped is written down;
# window_never_shown stops that and says whether it never was.
watch_window() {
    (while :; do
        window_mapped && echo "mapped"
        sleep 0.05 # the pace of the looks, finer than any flash a person would see
    done) >"$WORK/mapped" 2>/dev/null &
    WATCH_PID=$!
    PIDS+=("$WATCH_PID")
}
window_never_shown() { kill "$WATCH_PID" && [ ! -s "$WORK/mapped" ]; }
# Alt+F4 in the program's window, as a person presses it: the window is activated first. A
# window the window manager has not settled yet refuses activation, and on a loaded machine
# a key sent right after activation can reach the window before it takes the focus; so both
# are tried again, for a few seconds, until the window is gone from the screen.
alt_f4_main_window() {
    local _
    for _ in 1 2 3 4 5; do
        # A slow build may close the window only after the wait below gave up: a window
        # that is gone by the next round was closed by the keys already sent.
        window_hidden && return 0
        wait_for 1 xdotool windowactivate --sync "$(main_window)" && xdotool key alt+F4 &&
            wait_for 1 window_hidden && return 0
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
probe() { sed -n "s/^$1=//p" "$PROBE_OUT" 2>/dev/null | head -n1 || true; }
# probe_is KEY VALUE: true when the probe shows exactly VALUE.
probe_is() { [ "$(probe "$1")" = "$2" ]; }
# has_focus NAME: the named control (or the one a focused part belongs to) has the focus.
has_focus() { probe_is focus "$1"; }

# use_browser: a stand-in for the desktop's opener, first on the program's path, that only
# records each call: the number of its arguments and the arguments, one line a call.
use_browser() {
    OPENED="$WORK/opened" OPENED_SEEN=0
    mkdir -p "$WORK/bin"
    printf '#!/bin/sh\n{ printf %%s "$#"; printf " %%s" "$@"; echo; } >>"%s"\n' "$OPENED" \
        >"$WORK/bin/xdg-open"
    chmod +x "$WORK/bin/xdg-open"
    PROGRAM_ENV+=("PATH=$WORK/bin:$PATH")
}
opened_count() { if [ -f "$OPENED" ]; then wc -l <"$OPENED"; else echo 0; fi; }
opened_at_least() { [ "$(opened_count)" -ge "$1" ]; }
# expect_opened ADDRESS: the browser's next call, waited for, hands it ADDRESS and nothing else.
expect_opened() {
    OPENED_SEEN=$((OPENED_SEEN + 1))
    wait_for 10 opened_at_least "$OPENED_SEEN" ||
        fail "call $OPENED_SEEN did not reach the browser (calls: $(opened_count)): $1"
    [ "$(sed -n "${OPENED_SEEN}p" "$OPENED")" = "1 $1" ] ||
        fail "call $OPENED_SEEN handed the browser '$(sed -n "${OPENED_SEEN}p" "$OPENED")', not '1 $1'"
}

# private_net VAR: a network namespace of this test alone (root only), its name in VAR, its
# loopback up and no IPv6 (so no router or neighbour chatter crosses its links); it goes when
# the test ends.
private_net() {
    [ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
    command -v ip >/dev/null 2>&1 || skip "iproute2 is not installed"
    printf -v "$1" 'torvane-e2e-%s-%s' $$ "$1"
    ip netns add "${!1}" 2>/dev/null || skip "network namespaces cannot be made here"
    at_exit ip netns del "${!1}"
    ip -n "${!1}" link set lo up || fail "no loopback in the namespace"
    ip netns exec "${!1}" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 \
        net.ipv6.conf.default.disable_ipv6=1 2>/dev/null || true
}
# veth NS DEV MAC PEER_NS PEER_DEV [PEER_MAC]: a veth link from DEV (address MAC) in the
# namespace NS to PEER_DEV in PEER_NS (the same or another), both ends up.
veth() {
    ip -n "$1" link add "$2" address "$3" type veth peer name "$5" ${6:+address "$6"} \
        netns "$4" && ip -n "$1" link set "$2" up && ip -n "$4" link set "$5" up
}

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
    local rc=0
    wait "$1" || rc=$?
    [ $rc -eq 0 ] || fail "process $1 ended with code $rc"
}
