#!/usr/bin/env bash
# Runs a program as on a desktop with assistive technology: in a virtual X display, with a
# session bus of its own and the accessibility bus started on it (Qt turns its accessibility on
# once it finds that bus). Usage: with_accessibility_bus.sh program [arguments...]
set -euo pipefail
exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null
    exec "$@"' with_accessibility_bus "$@"
