#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quelvra need, when missing.
set -euo pipefail

packages=(
    build-essential cmake
    qt6-base-dev libgl-dev libegl-dev
    libgtest-dev
    fonts-ipafont-gothic
    xvfb xauth
    desktop-file-utils appstream man-db
    # The accessibility and end-to-end tests: a session bus and the accessibility bus, the
    # end-to-end test's reader of it, real X input with a key map for Japanese characters,
    # screenshots.
    dbus-daemon dbus-bin dbus-x11 at-spi2-core python3-pyatspi xdotool x11-xserver-utils
    imagemagick
)
if [ "$#" -gt 0 ]; then packages+=("$@"); fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
