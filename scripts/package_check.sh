#!/usr/bin/env bash
# Checks Quelvra's Debian package as a distribution would, then tries it on a clean Debian 12:
#  1. builds the package (scripts/package.sh); lintian, desktop-file-validate and appstreamcli
#     on it;
#  2. makes a minimal Debian 12 with debootstrap (the base is kept in build-chroot/base for the
#     next run; every trial starts from a fresh copy of it) and installs the package there with
#     apt, as a user would;
#  3. starts /usr/bin/quelvra there as a new user with an empty home, on a virtual display of
#     this machine: the user's folder must be made and filled, the folder list must offer the
#     samples (a search in them is taken as build-chroot/first-start.png), and closing the window
#     must leave the settings file in the user's folder;
#  4. removes the package (purge) and checks that the user's folder is as it was.
# Needs root (debootstrap, chroot, mounts) and the Debian mirror. Prints what it does; ends with
# "package check: all right" or the checks that failed.
#   bash scripts/package_check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || {
    echo "package_check.sh needs root: it makes a chroot" >&2
    exit 2
}
# In a mount namespace of its own: the chroot's mounts end with the script, however it ends.
if [ -z "${QUELVRA_PACKAGE_CHECK_NAMESPACE:-}" ]; then
    QUELVRA_PACKAGE_CHECK_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
bash scripts/setup-debian.sh lintian desktop-file-utils appstream debootstrap xvfb xdotool \
    imagemagick

out="$(pwd)/build-chroot"
mkdir -p "$out"
failed=()
check() { # check WHAT COMMAND...: runs the command, notes WHAT when it fails
    local what="$1"
    shift
    if "$@"; then echo "ok: $what"; else
        echo "FAILED: $what"
        failed+=("$what")
    fi
}

echo "== building the package"
deb="$(bash scripts/package.sh | tail -n 1)"
echo "$deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
dpkg-deb --contents "$deb"

echo "== lintian"
lintian --info --display-info --fail-on error "$deb" | tee "$out/lintian.txt" ||
    failed+=("lintian reports errors")

echo "== the package's menu entry and metadata"
files="$out/files"
rm -rf "$files"
dpkg-deb -x "$deb" "$files"
check "desktop-file-validate" desktop-file-validate \
    "$files/usr/share/applications/org.quelvra.Quelvra.desktop"
check "appstreamcli validate" appstreamcli validate --no-net --pedantic \
    "$files/usr/share/metainfo/org.quelvra.Quelvra.metainfo.xml"

echo "== a clean Debian 12"
base="$out/base"
if [ ! -x "$base/usr/bin/apt-get" ]; then
    rm -rf --one-file-system "$base"
    debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian
fi
root="$out/trial"
mounts=()
display_pid=""
cleanup() {
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
    local m
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
# No mount may be left under the trial's folder when it is removed: rm would go through it.
if findmnt -rn -o TARGET | grep -q "^$root/"; then
    echo "something is still mounted under $root; unmount it first" >&2
    exit 2
fi
rm -rf --one-file-system "$root"
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc" && mounts+=("$root/proc")
mount --bind /dev "$root/dev" && mounts+=("$root/dev")
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

echo "== installing the package with apt"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")" |
    tail -n 5
check "quelvra installed" test -x "$root/usr/bin/quelvra"

echo "== first start of /usr/bin/quelvra with an empty home"
in_root useradd -M -d /home/tester -s /bin/sh tester
mkdir -p "$root/home/tester"
in_root chown tester:tester /home/tester
home="$root/home/tester"
user_folder="$home/.local/share/quelvra"
# A virtual display of this machine; the program in the chroot reaches it through its abstract
# socket, which needs nothing of this machine's /tmp. Xvfb picks a free display and writes its
# number when it takes connections.
rm -f "$out/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1100x760x24 3>"$out/display" 2>"$out/xvfb.log" &
display_pid=$!
for _ in $(seq 100); do
    [ -s "$out/display" ] && break
    sleep 0.1
done
export DISPLAY=":$(head -n 1 "$out/display")"
echo "display $DISPLAY"
chroot --userspec=tester:tester "$root" env -i HOME=/home/tester USER=tester LOGNAME=tester \
    PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" /usr/bin/quelvra &
quelvra_pid=$!
window=""
for _ in $(seq 100); do
    window="$(xdotool search --name 'Quelvra' 2>/dev/null | head -n 1)" && [ -n "$window" ] && break
    sleep 0.2
done
check "the window came up" test -n "$window"
sleep 1
check "the user's folder was made" test -d "$user_folder"
echo "the user's folder after the first start:"
(cd "$user_folder" && find . | LC_ALL=C sort)
for f in help.txt color.ini サンプル/旅行.txt ウェブ◇/案内.html; do
    check "$f copied" cmp -s "$root/usr/share/quelvra/$f" "$user_folder/$f"
done
# The folder list's arrow, then the sample notes (its second entry); a keyword and a search.
xdotool mousemove 290 33 click 1
sleep 0.5
xdotool key Down Return
sleep 0.5
xdotool mousemove 420 30 click 1
sleep 0.3
xdotool type --delay 100 USB
xdotool key Return
sleep 2
import -window root "$out/first-start.png"
echo "screenshot: $out/first-start.png"
kill -TERM "$quelvra_pid"
wait "$quelvra_pid" || true
check "the settings file is in the user's folder" test -s "$user_folder/Quelvra.ini"
check "nothing written beside the program" test ! -e "$root/usr/bin/Quelvra.ini"
check "quelvra-grep searches the user's samples" \
    chroot --userspec=tester:tester "$root" env -i HOME=/home/tester LANG=C.UTF-8 \
    /usr/bin/quelvra-grep -d /home/tester/.local/share/quelvra/サンプル USB

echo "== removing the package"
before="$(cd "$user_folder" && find . -type f -exec sha256sum {} + | LC_ALL=C sort)"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q quelvra | tail -n 3
check "the program is gone" test ! -e "$root/usr/bin/quelvra" -a ! -e "$root/usr/share/quelvra"
after="$(cd "$user_folder" && find . -type f -exec sha256sum {} + | LC_ALL=C sort)"
check "the user's folder is untouched" test "$before" = "$after"

if [ "${#failed[@]}" -eq 0 ]; then
    echo "package check: all right"
else
    printf 'package check FAILED: %s\n' "${failed[@]}"
    exit 1
fi
