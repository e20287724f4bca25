#!/usr/bin/env bash
# Takes the README's screenshot: starts Quelvra from its program folder in a virtual display,
# picks the sample folder, types a keyword, searches, and saves the window as docs/screenshot.png.
# Needs the Release build of scripts/run.sh (build/program) and xvfb, xdotool, imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh xdotool imagemagick
out="$(realpath -m "${1:-docs/screenshot.png}")"
keyword="${2:-東京}"
prog="${PROG:-$(pwd)/build/program}"

xvfb-run -a -s "-screen 0 900x700x24" bash -c '
    set -e
    cd "$1"
    ./quelvra &
    pid=$!
    for i in $(seq 50); do
        win=$(xdotool search --name "Quelvra" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
        sleep 0.2
    done
    sleep 1
    # Open the folder list by its arrow and take the sample notes (the second entry).
    xdotool mousemove 290 33 click 1; sleep 0.5
    xdotool key Down Return; sleep 0.5
    # The first keyword field.
    xdotool mousemove 420 30 click 1; sleep 0.3
    xdotool type --delay 100 "$3"; sleep 0.3
    xdotool key Return; sleep 2
    import -window root -crop 807x617+0+0 "$2"
    kill $pid
' _ "$prog" "$out" "$keyword"
echo "wrote $out"
