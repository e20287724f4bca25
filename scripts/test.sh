#!/usr/bin/env bash
# Installs what is missing, builds Quelvra with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test (GUI tests on Qt's offscreen platform); builds what needs no Qt with clang
# too (scripts/clang_build.sh) and runs the engine's threaded searches under ThreadSanitizer
# (scripts/tsan.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DQUELVRA_SANITIZE=ON >/dev/null
cmake --build build-test -j"$(nproc)"
# What needs no Qt, and the fuzz targets, with clang too.
bash scripts/clang_build.sh
# The engine's searches on several threads under ThreadSanitizer.
bash scripts/tsan.sh engine
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
