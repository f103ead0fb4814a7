#!/usr/bin/env bash
# The Windows zip: build-packages/brakkel-VERSION-windows-x64.zip, holding soloplay.exe,
# netplay.exe, the SDL DLLs, the game data and its font, a README.txt (Korean and English)
# and the licences of everything shipped.
#   scripts/windows/package.sh [BUILD_DIR]    (default build-windows; built here without tests
#                                              when it holds no programs yet)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-windows}
if [[ ! -f $build/bin/soloplay.exe || ! -f $build/bin/netplay.exe ]]; then
  BRAKKEL_WIN_TESTS=0 "$here/build.sh" "$build"
fi
cmake --build "$build" --target soloplay netplay brakkel_data brakkel_dlls >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || { echo "package.sh: no project version in $build/CMakeCache.txt" >&2; exit 1; }
prefix=$("$here/deps.sh" | tail -n 1)
sources=$(dirname "$prefix")/src
name=brakkel-$version-windows-x64
out=$root/build-packages
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dir=$stage/$name
mkdir -p "$dir/data" "$dir/licences" "$out"

cp "$build/bin/soloplay.exe" "$build/bin/netplay.exe" "$build"/bin/SDL2*.dll "$dir/"
# The players' programs without the build's debugging information.
x86_64-w64-mingw32-strip --strip-debug "$dir/soloplay.exe" "$dir/netplay.exe"
for file in logo.pcx level.pcx back.pcx chicken.ani foot.ani mop.ani bgm.mp3 NanumGothicCoding.ttf; do
  cp "$build/data/$file" "$dir/data/"
done

# The licences: the game's own, the SDL family's (zlib; the Debian copyright files also name
# what each carries inside: dr_mp3, stb_image, miniz), FreeType's (FTL), the font's (OFL) and
# the compiler runtime and zlib linked into the programs.
licence() { cp "$1" "$dir/licences/$2"; }
licence "$root/LICENSE" brakkel.txt
for part in libsdl2:SDL2 libsdl2-ttf:SDL2_ttf libsdl2-mixer:SDL2_mixer libsdl2-image:SDL2_image; do
  src=$(ls -d "$sources/${part%%:*}/${part%%:*}"-*/ | head -n 1)
  licence "$src/LICENSE.txt" "${part#*:}.txt"
  licence "$src/debian/copyright" "${part#*:}-debian-copyright.txt"
done
freetype=$(ls -d "$sources"/freetype/freetype-*/ | head -n 1)
licence "$freetype/docs/FTL.TXT" FreeType-FTL.txt
licence /usr/share/doc/fonts-nanum-coding/copyright NanumGothicCoding-OFL.txt
licence /usr/share/doc/mingw-w64-common/copyright mingw-w64-runtime.txt
licence /usr/share/doc/libz-mingw-w64/copyright zlib.txt
# Windows' own editors read these best with CRLF line ends.
for f in "$dir"/licences/*.txt; do sed -i 's/\r\?$/\r/' "$f"; done
# The README: UTF-8 with its byte-order mark (so every Notepad takes it as UTF-8), CRLF.
{ printf '\xEF\xBB\xBF'; sed "s/@VERSION@/$version/g" "$here/README.txt.in"; } | sed 's/\r\?$/\r/' >"$dir/README.txt"

rm -f "$out/$name.zip"
(cd "$stage" && zip -q -r -X "$out/$name.zip" "$name")
echo "$out/$name.zip"
