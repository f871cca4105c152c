#!/usr/bin/env bash
# Builds the Debian packages from this tree into BUILD_DIR/deb:
#   packaging/deb/build.sh BUILD_DIR [CMAKE_OPTION...]
# The tree is configured for /usr with Debian's compiler and linker flags
# (dpkg-buildflags: hardening, optimisation), without the tests, then CPack
# makes libpclxl1, libpclxl-dev, pclxl-tools, printer-driver-pclxl and
# pclxl-printer-app (those whose parts the build has). Options worth giving:
# -DPCLXL_DEB_MAINTAINER="Name <address>" (who made them; by default
# "libpclxl developers <developers@libpclxl.example>") and
# -DPCLXL_DEB_REVISION=N (a rebuild of the same version that apt sees as
# newer).
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: $0 BUILD_DIR [CMAKE_OPTION...]}
shift
# CMake reads CFLAGS, CXXFLAGS and LDFLAGS from the environment, not CPPFLAGS.
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DPCLXL_SYSTEMD_UNIT_DIR=/lib/systemd/system -DPCLXL_BUILD_TESTS=OFF \
  -DPCLXL_DEB_PACKAGES=ON "$@"
cmake --build "$build" -j2
rm -f "$build"/deb/*.deb
(cd "$build" && cpack -G DEB)
ls "$build"/deb/*.deb
