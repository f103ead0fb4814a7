#!/usr/bin/env bash
# Sets up, builds and plays. The game runs in a per-user folder (XDG data home, brakkel/),
# where its data is refreshed from the build and its rankings survive rebuilds.
# Usage: scripts/play.sh [soloplay|netplay]
# netplay needs a ranking server on 127.0.0.1 port 20: when none answers there, a local
# rankd is started for the game (its database and log in the same folder) and stopped after.
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
if [[ $program != netplay ]]; then
  exec "$root/build/bin/$program"
fi

answers() { (exec 3<>/dev/tcp/127.0.0.1/20) 2>/dev/null; }
rankd_pid=
if ! answers; then
  rankd=$root/build/bin/rankd
  if [[ $(id -u) -ne 0 ]] && ! /sbin/getcap "$rankd" 2>/dev/null | grep -q cap_net_bind_service; then
    # Port 20 is privileged: rankd gets that one capability (a rebuild drops it again).
    echo "play.sh: letting rankd listen on port 20 (sudo setcap cap_net_bind_service=+ep)"
    sudo setcap cap_net_bind_service=+ep "$rankd" || true
  fi
  "$rankd" --db "$home/rankd.sqlite" 2>>"$home/rankd.log" &
  rankd_pid=$!
  for _ in $(seq 50); do answers && break; sleep 0.1; done
  answers || echo "play.sh: no ranking server could be started (see $home/rankd.log);" \
    "netplay will say the server is down" >&2
fi
status=0
"$root/build/bin/netplay" || status=$?
if [[ -n $rankd_pid ]]; then
  kill -TERM "$rankd_pid" 2>/dev/null || true
  wait "$rankd_pid" 2>/dev/null || true
fi
exit $status
