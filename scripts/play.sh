#!/usr/bin/env bash
# Sets up, builds what playing needs and plays. The build (build-play/, optimised with debug
# information as the game ships, no tests or benchmarks) is kept, so later starts take
# seconds. The game runs in the per-user folder (XDG data home, brakkel/): the program
# itself refreshes the data there from the build's data folder and keeps the rankings.
# Usage: scripts/play.sh [soloplay|netplay]
# netplay needs a ranking server on 127.0.0.1 port 20: when none answers there, a local
# rankd is started for the game (its database and log in the same folder) and stopped after.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-soloplay}
case $program in
  soloplay) targets=(soloplay brakkel_data) ;;
  netplay) targets=(netplay rankd brakkel_data) ;;
  *) echo "play.sh: there is no $program; play soloplay or netplay" >&2; exit 1 ;;
esac
"$root/scripts/install-deps.sh" play
build=$root/build-play
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRAKKEL_TESTS=OFF -DBRAKKEL_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# Started in a folder without game data, the program plays in the player's folder; the
# build folder holds none (its data lies in data/), wherever the player called this from.
cd "$build"
if [[ ${XDG_DATA_HOME:-} == /* ]]; then home=$XDG_DATA_HOME/brakkel; else home=$HOME/.local/share/brakkel; fi
if [[ $program != netplay ]]; then
  exec "$build/bin/$program"
fi

answers() { (exec 3<>/dev/tcp/127.0.0.1/20) 2>/dev/null; }
rankd_pid=
if ! answers; then
  rankd=$build/bin/rankd
  (umask 077 && mkdir -p "$home")
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
"$build/bin/netplay" || status=$?
if [[ -n $rankd_pid ]]; then
  kill -TERM "$rankd_pid" 2>/dev/null || true
  wait "$rankd_pid" 2>/dev/null || true
fi
exit $status
