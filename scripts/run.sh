#!/usr/bin/env bash
# Installs what is missing, builds Quelvra and starts it from its program folder, whose data
# folders hold the bundled sample notes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUELVRA_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quelvra is a desktop program and there is no display here (DISPLAY is not set)." >&2
    echo "Run it on a desktop, or inside a virtual display:  xvfb-run -a bash scripts/run.sh" >&2
    exit 1
fi
cd build/program
exec ./quelvra
