#!/usr/bin/env bash
# Builds the Debian packages of the game (brakkel) and of its ranking server (brakkel-server)
# from debian/, into build-packages/:
#   scripts/package.sh deb
# and the Windows zip (scripts/windows/package.sh, cross-built with mingw-w64):
#   scripts/package.sh windows
# The build runs on a copy of the tree's files (tracked ones and new ones git does not
# ignore, as they stand now) in a temporary folder: the tree and its build folders are left
# as they are. Each run replaces what build-packages/ held. scripts/package-test.sh deb then
# checks the packages with lintian and installs them in a clean Debian 12 root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case ${1:-} in
  deb) ;;
  windows) shift; exec "$root/scripts/windows/package.sh" "$@" ;;
  *) echo "usage: $0 deb|windows" >&2; exit 2 ;;
esac
"$root/scripts/install-deps.sh" deb

out=$root/build-packages
work=$(mktemp -d "${TMPDIR:-/tmp}/brakkel-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
# The packages carry the project's version: a new one needs its entry in debian/changelog.
project_version=$(sed -nE 's/^project\(Brakkel VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
if [[ $version != "$project_version" ]]; then
  echo "package: debian/changelog is at $version, CMakeLists.txt at $project_version: add an entry for $project_version" >&2
  exit 1
fi
src=$work/brakkel-$version
mkdir "$src"

# The files of the tree, never its build folders or earlier packages.
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    (cd "$root" && xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh) |
    tar -C "$root" --null -T - -cf - | tar -C "$src" -xf -
else
  tar -C "$root" --exclude='./build*' --exclude=./out -cf - . | tar -C "$src" -xf -
fi

echo "package: building brakkel $version in $src"
began=$SECONDS
(cd "$src" && dpkg-buildpackage -us -uc -b) >"$work/build.log" 2>&1 || {
  tail -n 80 "$work/build.log"
  trap - EXIT
  echo "package: dpkg-buildpackage failed (the last lines above); its tree is kept in $src" >&2
  exit 1
}
rm -rf "$out"
mkdir -p "$out"
cp "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$work/build.log" "$out"/
echo "package: built in $((SECONDS - began)) s; the log is $out/build.log"
for deb in "$out"/*.deb; do
  printf 'package: %s (%s KiB)\n' "$(basename "$deb")" "$(($(stat -c %s "$deb") / 1024))"
done
