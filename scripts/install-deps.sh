#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing: those the tests need
# (everything), or with "play" those the game's build and play need, or with "server" those
# that build and test the ranking server alone, with "windows" those of the Windows cross
# build (scripts/windows/), or with "deb" those that build and try the Debian packages. Quiet
# when everything is there. Uses apt-get as root, sudo otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
use=${1:-tests}
case $use in play | server | tests | windows | deb) ;; *) echo "usage: $0 [play|server|tests|windows|deb]" >&2; exit 2 ;; esac
missing=()
while read -r pkg uses; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  [[ " $uses " == *" $use "* ]] || continue
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done < "$here/packages.txt"
[[ ${#missing[@]} -eq 0 ]] && exit 0
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
