#!/usr/bin/env bash
# Builds and tests the ranking server alone (-DBRAKKEL_GAME=OFF) on a system from which every
# SDL package is hidden: in a mount namespace of its own, each file of the installed SDL
# packages reads as empty and their folders as empty folders. Shows that the server needs
# nothing of SDL, at build time or at run time. Needs root (or unshare's rights); exits 77
# when no mount namespace can be made.
#   scripts/server-alone.sh BUILD_DIR   (PostgreSQL tests use BRAKKEL_TEST_PG_URI if set)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: $0 BUILD_DIR}
jobs=$(nproc)

if [[ ${BRAKKEL_SDL_HIDDEN:-} != 1 ]]; then
  unshare -m true 2>/dev/null || { echo "server-alone: no mount namespace here; skipped"; exit 77; }
  exec unshare -m env BRAKKEL_SDL_HIDDEN=1 "$0" "$@"
fi

mount --make-rprivate /
empty=$(mktemp -d)
hidden=0
for pkg in $(dpkg-query -W -f='${Package}\n' 'libsdl2*' 2>/dev/null); do
  while read -r path; do
    if [[ -d $path && ! -L $path ]]; then
      [[ $path == */SDL2 ]] && mount --bind "$empty" "$path" && hidden=$((hidden + 1))
    elif [[ -e $path ]]; then
      mount --bind /dev/null "$path" && hidden=$((hidden + 1))
    fi
  done < <(dpkg -L "$pkg")
done
echo "server-alone: $hidden files and folders of the SDL packages hidden"
if pkg-config --exists sdl2 2>/dev/null || [[ -s /usr/include/SDL2/SDL.h ]]; then
  echo "server-alone: SDL is still visible" >&2
  exit 1
fi

cmake -S "$root" -B "$build" -DBRAKKEL_GAME=OFF -DBRAKKEL_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs"
if ldd "$build"/bin/rankd "$build"/bin/rankload | grep -i sdl; then
  echo "server-alone: the server links SDL" >&2
  exit 1
fi
ctest --test-dir "$build" --output-on-failure -j "$jobs"
echo "server-alone: built and tested without SDL"
