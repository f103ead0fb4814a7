#!/usr/bin/env bash
# Sets up, builds and plays. The game runs in a per-user folder (XDG data home, brakkel/),
# where its data is refreshed from the build and its rankings survive rebuilds.
# Usage: scripts/play.sh [soloplay|netplay]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" -j "$(nproc)"

program=${1:-soloplay}
if [[ ! -x "$root/build/bin/$program" ]]; then
  echo "play.sh: there is no $program in build/bin" >&2
  exit 1
fi
home="${XDG_DATA_HOME:-$HOME/.local/share}/brakkel"
mkdir -p "$home"
cp "$root"/build/data/* "$home"/
cd "$home"
exec "$root/build/bin/$program"
