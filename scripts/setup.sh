#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test, if any is missing.
# Safe to run again: it only calls apt-get when something is not installed yet.
set -euo pipefail

packages=(
    # build
    cmake g++ make pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools libqt6svg6
    libjpeg62-turbo-dev libmnl-dev libudev-dev libxcb1-dev
    # run: every HTTP request runs in a curl child
    curl
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
    iproute2 iperf3 xvfb openbox trayer xdotool x11-utils imagemagick
    # the installation's launcher check, and a private session bus for the D-Bus tray
    desktop-file-utils dbus-daemon dbus-bin
    # a real panel that hosts the D-Bus tray, for one end-to-end run
    xfce4-panel
    # fuzzing (`make fuzz`): clang and its libFuzzer and sanitizer runtimes
    clang libclang-rt-14-dev
    # a font for the window's texts under Xvfb
    fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
