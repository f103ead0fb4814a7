#!/usr/bin/env bash
# Builds the SDL family for 64-bit Windows from Debian's own source packages, of the versions
# the Linux build uses (those of the installed -dev packages), with the mingw-w64 toolchain of
# cmake/mingw-w64-x86_64.cmake: SDL2, FreeType (for SDL2_ttf), SDL2_ttf, SDL2_mixer (WAVE and
# MP3 through its built-in dr_mp3, nothing else), SDL2_image (PNG read through its built-in
# stb_image, PNG written through its built-in miniz: no libpng or zlib to build) and
# GoogleTest for the test programs. zlib is Debian's libz-mingw-w64-dev.
#
# Everything lands in a cache folder outside the clone, one per set of source versions:
#   ${BRAKKEL_WIN_CACHE:-$HOME/.cache/brakkel-windows}/deps-<key>/prefix
# with DLLs in bin/, import libraries, pkg-config files and CMake configs. A later run with the
# same versions finds the finished parts there and only prints the prefix, its last line.
# Sources come from the distribution's own archive only (a deb-src entry for the same mirror
# and suites is added once, in a list file of its own).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
toolchain=$root/cmake/mingw-w64-x86_64.cmake
cache=${BRAKKEL_WIN_CACHE:-$HOME/.cache/brakkel-windows}
jobs=${BRAKKEL_WIN_JOBS:-2}
# The -dev packages whose sources are built, in build order.
dev_packages=(libsdl2-dev libfreetype-dev libsdl2-ttf-dev libsdl2-mixer-dev libsdl2-image-dev libgtest-dev)

say() { echo "windows deps: $*" >&2; }

# "source=version" of each package's source, from the installed binary package.
source_versions() {
  local pkg line
  for pkg in "${dev_packages[@]}"; do
    line=$(dpkg-query -W -f='${source:Package}=${source:Version}' "$pkg" 2>/dev/null) || {
      say "$pkg is not installed (scripts/install-deps.sh windows installs it)"
      exit 1
    }
    echo "$line"
  done
}

# Adds deb-src entries for the mirrors and suites of this distribution's own deb entries.
add_deb_src() {
  local list=/etc/apt/sources.list.d/brakkel-deb-src.sources codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  [[ -e $list ]] && return 0
  say "adding deb-src entries for $codename in $list"
  {
    # deb822 stanzas: every "Types: deb" stanza of the release's suites, as deb-src.
    for f in /etc/apt/sources.list.d/*.sources; do
      [[ -e $f ]] || continue
      awk -v release="$codename" '
        function flush() {
          if (isdeb && suites ~ ("(^| )" release "($| |-)")) { print "Types: deb-src"; printf "%s\n", body }
          isdeb = 0; suites = ""; body = ""
        }
        /^[ \t]*$/ { flush(); next }
        /^#/ { next }
        /^Types:/ { if ($0 ~ /(^|[ :])deb( |$)/) isdeb = 1; next }
        /^Suites:/ { suites = $0; sub(/^Suites:[ \t]*/, "", suites) }
        { body = body $0 "\n" }
        END { flush() }' "$f"
    done
    # One-line entries, turned into stanzas.
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do if [[ -e $f ]]; then cat "$f"; fi; done |
      awk -v release="$codename" '$1 == "deb" && $2 !~ /^\[/ && ($3 == release || index($3, release "-") == 1) {
        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $2, $3
        for (i = 4; i <= NF; i++) printf " %s", $i
        printf "\n\n" }'
  } > "$list"
  if ! grep -q '^Types: deb-src' "$list"; then
    rm -f "$list"
    say "no deb entry of $codename found in /etc/apt: cannot add deb-src"
    exit 1
  fi
  apt-get update -qq
}

# Fetches and unpacks one source package of an exact version into src/, once.
fetch_source() {
  local wanted=$1 dir
  dir=$src/${wanted%%=*}
  [[ -e $dir/.unpacked ]] && return 0
  add_deb_src
  say "fetching $wanted"
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" && apt-get source -qq "$wanted" >/dev/null 2>"$dir.log") || {
    cat "$dir.log" >&2
    say "apt-get source $wanted failed"
    exit 1
  }
  touch "$dir/.unpacked"
}

# The unpacked tree of a source package (the only folder apt-get source made).
tree_of() { find "$src/$1" -mindepth 1 -maxdepth 1 -type d | head -n 1; }

# Configures, builds and installs one package with CMake into the prefix, once.
build_one() {
  local name=$1 tree=$2
  shift 2
  [[ -e $stamps/$name ]] && return 0
  say "building $name"
  local log=$logs/$name.log
  rm -rf "$work/$name"
  if ! {
    cmake -S "$tree" -B "$work/$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" "$@" &&
      cmake --build "$work/$name" -j "$jobs" && cmake --install "$work/$name"
  } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    say "$name failed (whole log: $log)"
    exit 1
  fi
  touch "$stamps/$name"
}

versions=$(source_versions)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
key=$( (echo "$versions" && echo "gcc=$compiler" && cat "$0") | sha256sum | cut -c1-12)
base=$cache/deps-$key
src=$base/src work=$base/build prefix=$base/prefix stamps=$base/stamps logs=$base/logs
if [[ -e $stamps/done ]]; then
  echo "$prefix"
  exit 0
fi
mkdir -p "$src" "$work" "$prefix" "$stamps" "$logs"
echo "$versions" > "$base/versions.txt"
started=$SECONDS
for wanted in $versions; do fetch_source "$wanted"; done

build_one sdl2 "$(tree_of libsdl2)" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL_TESTS=OFF
# FreeType alone: no zlib, bzip2, PNG, HarfBuzz or Brotli (the game's font is a plain TrueType).
build_one freetype "$(tree_of freetype)" -DBUILD_SHARED_LIBS=OFF -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON \
  -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
build_one sdl2_ttf "$(tree_of libsdl2-ttf)" -DSDL2TTF_VENDORED=OFF -DSDL2TTF_SAMPLES=OFF -DSDL2TTF_HARFBUZZ=OFF
build_one sdl2_mixer "$(tree_of libsdl2-mixer)" -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_SAMPLES=OFF \
  -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF \
  -DSDL2MIXER_VORBIS=OFF -DSDL2MIXER_WAVE=ON -DSDL2MIXER_MP3=ON -DSDL2MIXER_MP3_DRMP3=ON -DSDL2MIXER_MP3_MPG123=OFF
image_formats=()
for format in AVIF BMP GIF JPG JXL LBM PCX PNM QOI SVG TGA TIF WEBP XCF XPM XV; do
  image_formats+=("-DSDL2IMAGE_$format=OFF")
done
build_one sdl2_image "$(tree_of libsdl2-image)" -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_SAMPLES=OFF \
  -DSDL2IMAGE_BACKEND_STB=ON -DSDL2IMAGE_BACKEND_WIC=OFF -DSDL2IMAGE_PNG=ON -DSDL2IMAGE_PNG_SAVE=ON "${image_formats[@]}"
build_one googletest "$(tree_of googletest)" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=ON

touch "$stamps/done"
say "built in $((SECONDS - started)) s into $prefix"
echo "$prefix"
