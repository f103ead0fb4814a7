#!/usr/bin/env bash
# The Windows cross build of what is portable today (the text converter, text/, wire/, replay/, the
# rules and their tests), its tests run under Wine by ctest.
#   scripts/windows/build.sh [BUILD_DIR]      (default build-windows)
# Installs what it needs (scripts/install-deps.sh windows), builds the SDL family once into
# the cache (scripts/windows/deps.sh), configures with cmake/mingw-w64-x86_64.cmake, builds and
# runs ctest. Exits with ctest's status.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-windows}
"$root/scripts/install-deps.sh" windows
prefix=$("$here/deps.sh" | tail -n 1)
# pkg-config sees the Windows prefix only, never the host's own .pc files.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig:$prefix/share/pkgconfig
unset PKG_CONFIG_PATH
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefix" -DBRAKKEL_GAME=OFF -DBRAKKEL_SERVER=OFF -DBRAKKEL_BENCH=OFF -DBRAKKEL_WERROR=ON
cmake --build "$build" -j "${BRAKKEL_WIN_JOBS:-2}"
ctest --test-dir "$build" --output-on-failure -j "${BRAKKEL_WIN_JOBS:-2}"
