#!/usr/bin/env bash
# Builds sdl_probe.c against the Windows SDL family of the cache (scripts/windows/deps.sh) and
# runs it under Wine on a private Xvfb: does SDL's Windows video start there, and do
# SDL_ttf, SDL_mixer (MP3) and SDL_image (PNG) load. Prints what the probe printed; exits
# with its status.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/lib/x_session.sh"
prefix=$("$here/deps.sh" | tail -n 1)
work=$(mktemp -d)
trap 'xvfb_stop; rm -rf "$work"' EXIT
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
# SDL2main gives WinMain; the DLLs lie beside the program, where Windows looks first.
x86_64-w64-mingw32-gcc-posix -O1 -Wall -Wextra -o "$work/sdl_probe.exe" "$here/sdl_probe.c" \
  $(pkg-config --cflags --libs sdl2 SDL2_ttf SDL2_mixer SDL2_image) -static-libgcc
cp "$prefix"/bin/*.dll "$work/"
xvfb_start 640x480x24 "$work/xvfb.log" || { echo "sdl-probe: Xvfb did not start" >&2; exit 1; }
export WINEPREFIX=${WINEPREFIX:-${BRAKKEL_WIN_CACHE:-$HOME/.cache/brakkel-windows}/wine} WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
status=0
(cd "$work" && timeout 300 wine ./sdl_probe.exe) || status=$?
# Wine's own desktop process keeps the display until the prefix's server ends: let it go first.
timeout 60 wineserver -w || true
exit $status
