#!/usr/bin/env bash
# The Windows cross build: the game's programs, their data and the tests, the tests run under
# Wine by ctest.
#   scripts/windows/build.sh [BUILD_DIR]      (default build-windows)
# Installs what it needs (scripts/install-deps.sh windows), builds the SDL family once into
# the cache (scripts/windows/deps.sh), draws the game data with a Linux build of the data
# generator (BRAKKEL_HOST_BUILD, default build-windows-host: the data is copied, not drawn
# again under Wine), configures with cmake/mingw-w64-x86_64.cmake, builds and runs ctest.
# BRAKKEL_WIN_TESTS=0 builds the programs and the data only, without tests.
# Exits with ctest's status.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-windows}
host=${BRAKKEL_HOST_BUILD:-$root/build-windows-host}
jobs=${BRAKKEL_WIN_JOBS:-2}
tests=${BRAKKEL_WIN_TESTS:-1}
"$root/scripts/install-deps.sh" windows
prefix=$("$here/deps.sh" | tail -n 1)

# The game data, drawn on this machine by the Linux data generator.
if [[ ! -f $host/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$host" -G Ninja -DBRAKKEL_TESTS=OFF -DBRAKKEL_BENCH=OFF -DBRAKKEL_SERVER=OFF
fi
cmake --build "$host" -j "$jobs" --target brakkel_data

# pkg-config sees the Windows prefix only, never the host's own .pc files.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig:$prefix/share/pkgconfig
unset PKG_CONFIG_PATH
testing=ON
[[ $tests == 0 ]] && testing=OFF
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefix" -DBRAKKEL_HOST_DATA="$host/data" -DBRAKKEL_SERVER=OFF -DBRAKKEL_BENCH=OFF \
  -DBRAKKEL_TESTS=$testing -DBRAKKEL_WERROR=ON
cmake --build "$build" -j "$jobs"
[[ $tests == 0 ]] && exit 0
ctest --test-dir "$build" --output-on-failure -j "$jobs"
