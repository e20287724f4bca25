#!/usr/bin/env bash
# Installs what is missing, builds Quelvra with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test (GUI tests on Qt's offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DQUELVRA_SANITIZE=ON >/dev/null
cmake --build build-test -j"$(nproc)"
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
