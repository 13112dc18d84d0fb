#!/usr/bin/env bash
# Installation for one user into a prefix of its own (a space in its name): the program
# folder with the executable and the language files, the command on the PATH, the launcher
# and the autostart entry (both valid desktop entries), the icon in every size. The command
# the launcher names starts the installed program, which docks into the tray and keeps its
# files in the program folder. The uninstall removes what was installed and the folders the
# install made, and keeps everything the user or the program made.
. "$(dirname "$0")/desktop.sh" "$1"

BUILD=$(dirname "$EXE")
[ -f "$BUILD/cmake_install.cmake" ] && [ -f "$BUILD/uninstall.cmake" ] ||
    skip "no install script in the build folder"
command -v desktop-file-validate >/dev/null 2>&1 || skip "desktop-file-validate is not installed"
command -v identify >/dev/null 2>&1 || skip "identify (ImageMagick) is not installed"

PREFIX="$WORK/home/my prefix"
FOLDER="$PREFIX/lib/torvane"
LAUNCHER="$PREFIX/share/applications/torvane.desktop"
AUTOSTART="$XDG_CONFIG_HOME/autostart/torvane.desktop"
# What the user has under the prefix already, and must keep.
mkdir -p "$PREFIX/bin" "$PREFIX/share/applications" "$PREFIX/share/icons/hicolor/48x48/apps"
printf '#!/bin/sh\n' >"$PREFIX/bin/other-tool"
printf '[Desktop Entry]\nType=Application\nName=Other\nExec=other-tool\n' \
    >"$PREFIX/share/applications/other.desktop"
tree() { find "$PREFIX" "$XDG_CONFIG_HOME" -path "$XDG_CONFIG_HOME/Quendra" -prune -o -print | sort; }
before=$(tree)

note "install"
cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 &&
    cmake --install "$BUILD" --prefix "$PREFIX" --component autostart >>"$WORK/install.log" 2>&1 ||
    fail "the install failed: $(cat "$WORK/install.log")"
for file in torvane english.lng russian.lng; do
    [ -f "$FOLDER/$file" ] || fail "no $file in the program folder"
done
[ -x "$FOLDER/torvane" ] || fail "the installed program is not executable"
[ -O "$FOLDER" ] && [ -w "$FOLDER" ] || fail "the program folder is not the user's own"
[ -L "$PREFIX/bin/torvane" ] && [ "$(readlink -f "$PREFIX/bin/torvane")" = "$(readlink -f "$FOLDER/torvane")" ] ||
    fail "bin/torvane does not lead to the installed program"
for size in 16 22 24 32 48 64 128 256; do
    icon="$PREFIX/share/icons/hicolor/${size}x$size/apps/torvane.png"
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x$size" ] || fail "no $size px icon"
done
grep -q '<svg ' "$PREFIX/share/icons/hicolor/scalable/apps/torvane.svg" || fail "no scalable icon"

note "the launcher and the autostart entry"
for entry in "$LAUNCHER" "$AUTOSTART"; do
    [ -f "$entry" ] || fail "no $entry"
    verdict=$(desktop-file-validate "$entry" 2>&1) && [ -z "$verdict" ] ||
        fail "desktop-file-validate: $verdict"
    grep -qx 'Icon=torvane' "$entry" && grep -qx 'Categories=Network;Monitor;' "$entry" ||
        fail "icon or categories of $entry"
done
exec_line=$(sed -n 's/^Exec=//p' "$LAUNCHER")
# Its words as the desktop splits them: quotes keep a space in a word.
mapfile -t PROGRAM_COMMAND < <(xargs printf '%s\n' <<<"$exec_line")
[ "${PROGRAM_COMMAND[*]}" = "$PREFIX/bin/torvane" ] || fail "the launcher starts '$exec_line'"

note "the launcher's command starts the installed program"
start_desktop
start_tray
start_program
PID=$LAST_PID
wait_for 15 has_tray_icon || fail "the installed program has no tray icon"
# Start-up makes the search history in the program folder: the folder is the installed one.
wait_for 5 test -f "$FOLDER/search.csv" || fail "the program keeps no files in $FOLDER"
click_tray 1
wait_for 5 window_mapped || fail "a click did not show the window"
shot 18-installed-window
stop "$PID"

note "uninstall"
# What the program and the user made in the program folder.
for file in inet.stat language.cfg tvr.bak mine.lng; do
    printf 'kept\r\n' >"$FOLDER/$file"
done
cmake -DTORVANE_PREFIX="$PREFIX" -P "$BUILD/uninstall.cmake" >"$WORK/uninstall.log" 2>&1 ||
    fail "the uninstall failed: $(cat "$WORK/uninstall.log")"
expected=$(
    echo "$before"
    printf '%s\n' "$PREFIX/lib" "$FOLDER"
    for file in inet.stat language.cfg mine.lng search.csv tvr.bak; do echo "$FOLDER/$file"; done
)
diff <(echo "$expected" | sort) <(tree) >"$WORK/left.diff" ||
    fail "after the uninstall (< missing, > left over): $(cat "$WORK/left.diff")"
pass
