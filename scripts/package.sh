#!/usr/bin/env bash
# Builds Quelvra's Debian package: a build with the distribution's own compiler and hardening
# flags (in build-package), laid out under /usr and packed by CPack, its dependencies computed
# by dpkg-shlibdeps. Prints the package's path as its last line.
#   bash scripts/package.sh
# Install it with:  sudo apt install ./quelvra_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-package

# dpkg-dev: dpkg-buildflags and dpkg-shlibdeps; file: CPack tells programs from data with it.
bash scripts/setup-debian.sh dpkg-dev file >&2

# Build type "None": the flags are dpkg-buildflags' alone, as a Debian package build has them.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
# Only what the package holds is built: installing does not build everything first.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DQUELVRA_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >&2
nice cmake --build "$build" -j"$(nproc)" --target quelvra quelvra-grep program_folder dist_files >&2
rm -f "$build"/quelvra_*.deb
(cd "$build" && cpack -G DEB) >&2
package="$(ls "$build"/quelvra_*.deb)"
realpath "$package"
