#!/usr/bin/env bash
# Installs a build into a folder of its own, as a package would lay it out under /usr, and checks
# it: every file where it belongs and nothing else, the menu entry, the AppStream metadata and
# the manual pages valid, and the installed program at its first and second start with an empty
# home folder.
#   bash dist/tests/install_test.sh BUILD-FOLDER
set -euo pipefail
build="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
fail=0
problem() {
    echo "FAIL: $*" >&2
    fail=1
}

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

# The layout, exactly.
expected="usr/bin/quelvra
usr/bin/quelvra-grep
usr/share/applications/org.quelvra.Quelvra.desktop
usr/share/doc/quelvra/changelog.gz
usr/share/doc/quelvra/copyright
usr/share/icons/hicolor/scalable/apps/org.quelvra.Quelvra.svg
usr/share/lintian/overrides/quelvra
usr/share/man/man1/quelvra-grep.1.gz
usr/share/man/man1/quelvra.1.gz
usr/share/metainfo/org.quelvra.Quelvra.metainfo.xml
usr/share/quelvra/color.ini
usr/share/quelvra/help.txt
usr/share/quelvra/ウェブ◇/案内.html
usr/share/quelvra/サンプル/パソコン.txt
usr/share/quelvra/サンプル/半角と全角.txt
usr/share/quelvra/サンプル/旅行.txt
usr/share/quelvra/サンプル/料理.txt"
actual="$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)"
if [ "$actual" != "$(LC_ALL=C sort <<<"$expected")" ]; then
    problem "installed files differ from the expected layout:"
    diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual") >&2 || true
fi
for exe in quelvra quelvra-grep; do
    [ -x "$root/usr/bin/$exe" ] || problem "usr/bin/$exe is not executable"
done
for f in help.txt color.ini; do
    cmp -s "$build/program/$f" "$root/usr/share/quelvra/$f" || problem "usr/share/quelvra/$f differs"
done

# The menu entry and the metadata, as the distribution's tools see them.
desktop="$root/usr/share/applications/org.quelvra.Quelvra.desktop"
desktop-file-validate "$desktop" || problem "desktop-file-validate"
grep -qx 'Exec=quelvra %f' "$desktop" || problem "the menu entry does not start quelvra with a folder"
grep -qx 'Icon=org.quelvra.Quelvra' "$desktop" || problem "the menu entry's icon is not the installed one"
grep -q '^Name\[ja\]=' "$desktop" || problem "no Japanese name"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.quelvra.Quelvra.metainfo.xml" ||
    problem "appstreamcli validate"
grep -q '<launchable type="desktop-id">org.quelvra.Quelvra.desktop</launchable>' \
    "$root/usr/share/metainfo/org.quelvra.Quelvra.metainfo.xml" || problem "metadata names no menu entry"
for page in quelvra quelvra-grep; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || problem "man page $page: $warnings"
done

# The command-line tool finds the installed sample notes.
"$root/usr/bin/quelvra-grep" -c -d "$root/usr/share/quelvra/サンプル" USB >"$work/count" ||
    problem "quelvra-grep on the installed samples"
[ "$(cat "$work/count")" -gt 0 ] || problem "quelvra-grep found nothing in the installed samples"
[ "$("$root/usr/bin/quelvra" --version)" = "quelvra $(sed -n 's/^quelvra (\(.*\)).*/\1/p' \
    "$(dirname "$0")/../changelog")" ] || problem "quelvra --version differs from the package's version"

# The installed program with an empty home: its folder is made in the user's data folder and
# used there. The user name keeps this start apart from any other Quelvra running meanwhile.
home="$work/home"
mkdir -p "$home" "$work/notes"
printf 'note\r\n' >"$work/notes/a.txt"
user_folder="$home/.local/share/quelvra"
run_installed() {
    env -u XDG_DATA_HOME HOME="$home" USER="quelvra-install-test-$$" \
        "$root/usr/bin/quelvra" "$@" &
    local pid=$!
    # Up when the program (not the shell that starts it) has set its close-on-signal handler:
    # SIGTERM, bit 15 of SigCgt.
    local i caught
    for i in $(seq 300); do
        caught=""
        [ "$(readlink "/proc/$pid/exe")" = "$root/usr/bin/quelvra" ] &&
            caught="$(sed -n 's/^SigCgt:\t*//p' "/proc/$pid/status" 2>/dev/null || true)"
        [ -n "$caught" ] && (((16#$caught >> 14) & 1)) && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || problem "quelvra $* ended with status $?"
}
run_installed "$work/notes"
for f in help.txt color.ini サンプル/旅行.txt ウェブ◇/案内.html; do
    cmp -s "$root/usr/share/quelvra/$f" "$user_folder/$f" || problem "first start did not copy $f"
done
ini="$user_folder/Quelvra.ini"
[ -f "$ini" ] || problem "no settings file in the user's folder"
# The folder dialog starts next where the command line pointed (the value between the settings
# file's corner brackets, bytes A2 and A3).
grep -qaF "dirx=$(printf '\xa2')$work/notes$(printf '\xa3')" "$ini" ||
    problem "the folder given on the command line was not taken"
[ ! -e "$root/usr/bin/Quelvra.ini" ] || problem "settings written beside the installed program"
[ "$(ls -A "$home/.local/share")" = quelvra ] || problem "something else left in the data home"

# The second start keeps what the user changed.
printf '[mine]\r\n' >"$user_folder/color.ini"
rm -r "$user_folder/サンプル"
run_installed
[ "$(cat "$user_folder/color.ini")" = "$(printf '[mine]\r')" ] || problem "second start replaced color.ini"
[ ! -e "$user_folder/サンプル" ] || problem "second start put the samples back"

[ "$fail" -eq 0 ] && echo "installed layout, metadata and first start: all right"
exit "$fail"
