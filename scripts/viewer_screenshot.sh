#!/usr/bin/env bash
# Takes docs/viewer-from-search.png: starts Quelvra from a copy of its program folder in a virtual
# display, searches the sample notes for a keyword, puts the caret on a hit line and opens it,
# and saves the screen with the viewer over the main window. The copy keeps the notes and
# settings of the program folder as they were.
# Needs the Release build of scripts/run.sh (build/program) and xvfb, xdotool, imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh xvfb xdotool imagemagick
out="$(realpath -m "${1:-docs/viewer-from-search.png}")"
prog="${PROG:-$(pwd)/build/program}"
copy="$(mktemp -d)"
trap 'rm -rf "$copy"' EXIT
cp -r "$prog/." "$copy"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -e
    cd "$1"
    ASAN_OPTIONS=detect_leaks=0 ./quelvra &
    pid=$!
    for i in $(seq 100); do
        win=$(xdotool search --name "Quelvra" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
        sleep 0.3
    done
    sleep 2
    # The sample notes (the second entry of the folder list), then "USB" in the first field.
    xdotool mousemove 290 33 click 1; sleep 1
    xdotool key Down Return; sleep 1
    xdotool mousemove 420 30 click 1; sleep 0.5
    xdotool type --delay 150 "USB"; sleep 0.5
    xdotool key Return; sleep 4
    # The caret on the second hit line, then the open button.
    xdotool mousemove 150 236 click 1; sleep 0.5
    xdotool mousemove 524 98 click 1; sleep 4
    import -window root -crop 1101x697+0+0 "$2"
    kill $pid
    wait $pid || true
' _ "$copy" "$out"
echo "wrote $out"
