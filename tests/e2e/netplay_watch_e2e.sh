#!/usr/bin/env bash
# netplay --watch in a real X server: a listed game's replay fetched from the ranking server
# on 127.0.0.1 port 20 (in a network namespace of its own when one can be made) and shown.
#   scripted  a scripted server answers the fetch with tests/replays/hardcore-one-life.replay
#   rankd     the real rankd with a fresh SQLite database: a game of easy is played and ranked
#             first (its replay sent and verified), then easy:1 is watched. Exits 77, a skip,
#             while rankd closes the fetch unanswered (a rankd that keeps no replays).
# The watched game, sped up with the 8 key, must come to rest on the very picture that
# `netplay --replay` of the same game rests on; Escape must end the watching with status 0,
# and the server must have been asked for the difficulty and place given.
# Usage: netplay_watch_e2e.sh <bin folder> scripted|rankd [folder to keep the pictures in]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
E2E_BIN=$(realpath "$1")
export E2E_BIN
server=$2
keep=${3:-}
[[ $server == scripted || $server == rankd ]] || { echo "usage: $0 BIN scripted|rankd [KEEP]" >&2; exit 2; }

if [[ -z "${E2E_NETNS:-}" ]] && command -v ip >/dev/null && unshare -n true 2>/dev/null; then
  exec env E2E_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$@"' bash "$0" "$@"
fi
source "$here/lib.sh"
source "$here/../../scripts/lib/rankd.sh"

work=$(mktemp -d /tmp/netplay-watch-e2e-XXXXXX)
server_pid=
cleanup() {
  local status=$?
  set +e
  e2e_show_logs "$status" "$work"/*.log
  e2e_stop_game
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rankd_stop
  xvfb_stop
  [[ -n "$keep" ]] && mkdir -p "$keep" && cp "$work"/*.png "$work"/*.log "$keep"/ 2>/dev/null
  rm -rf "$work"
  return 0
}
trap cleanup EXIT
skip_without_port_20() { echo "SKIP: port 20 cannot be listened on here (not root)"; exit 77; }

# Window $1's picture as raw RGB bytes into file $2; its size (WxH) in shown_size.
shown_size=
window_rgb() {
  # shellcheck disable=SC2034 # SCREEN: set by the eval, unused
  local X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  shown_size=${WIDTH}x$HEIGHT
  import -window root png:- | convert - -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage -depth 8 rgb:- >"$2"
}

# Runs netplay with the arguments after $1, which names the run: the game it shows is sped up
# with the 8 key and watched (up to 180 s) until its picture, once it has moved, stays the same
# for 3 s: the game's last picture, kept in $work/$1.rgb and $work/$1.png. Escape then ends
# the showing, and netplay must end with status 0.
show_to_the_end() {
  local name=$1 still=0 moved=0 started=$SECONDS status=0
  shift
  e2e_start_game "$E2E_BIN/netplay" "$work" "$work/$name.log" 60 --window --scale 1 "$@"
  local id=$E2E_WID pid=$E2E_GAME_PID
  xdotool key 8
  window_rgb "$id" "$work/$name.rgb"
  while ((moved == 0 || still < 8)); do
    ((SECONDS - started < 180)) || e2e_fail "$name: the picture never came to rest"
    sleep 0.4
    window_rgb "$id" "$work/$name.next.rgb"
    if cmp -s "$work/$name.rgb" "$work/$name.next.rgb"; then
      still=$((still + 1))
    else
      moved=1 still=0
      mv "$work/$name.next.rgb" "$work/$name.rgb"
    fi
  done
  import -window root "$work/$name.png"
  xdotool key Escape
  for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && e2e_fail "$name: Escape did not end the showing"
  wait "$pid" || status=$?
  E2E_GAME_PID=
  ((status == 0)) || e2e_fail "$name: netplay ended with status $status"
}

# The scripted server: every connection's first 3 bytes go into file $2, a line each, and it
# is answered with the replay file $1 (its length, its bytes) and closed.
start_scripted_server() {
  python3 - "$1" "$2" "$work/ready" >"$work/server.log" 2>&1 <<'PY' &
import socket, struct, sys
replay = open(sys.argv[1], "rb").read()
listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
try:
    listener.bind(("127.0.0.1", 20))
except PermissionError:
    sys.exit(77)
listener.listen(4)
open(sys.argv[3], "w").close()
while True:
    conn, _ = listener.accept()
    with conn:
        conn.settimeout(60)
        asked = b""
        while len(asked) < 3:
            chunk = conn.recv(3 - len(asked))
            if not chunk:
                break
            asked += chunk
        with open(sys.argv[2], "a") as record:
            record.write(asked.hex() + "\n")
        conn.sendall(struct.pack("<I", len(replay)) + replay)
PY
  server_pid=$!
  for _ in $(seq 100); do
    [[ -e "$work/ready" ]] && return 0
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
  done
  local status=0
  wait "$server_pid" || status=$?
  server_pid=
  ((status == 77)) && skip_without_port_20
  e2e_fail "the scripted server did not start: $(cat "$work/server.log")"
}

# A game of easy played, ranked under a name and closed; its replay goes to rankd, which
# must mark it verified. Leaves the game's recorded replay in $work/played.replay.
play_a_ranked_game() {
  e2e_start_game "$E2E_BIN/netplay" "$work" "$work/played.log"
  local id=$E2E_WID checked=
  e2e_choose_easy "$id"
  e2e_attack_until_scored "$id" "$work"
  e2e_escape "$id"
  xdotool type --delay 40 WATCHED
  xdotool key Return
  e2e_wait_dialog "$id"
  xdotool key Return
  sleep 0.5
  e2e_close_and_wait "$id" "$E2E_GAME_PID"
  for _ in $(seq 300); do
    checked=$(sqlite3 "$work/rankd.sqlite" "SELECT checked FROM scores WHERE mode = 0")
    [[ "$checked" == 1 ]] && break
    sleep 0.1
  done
  [[ "$checked" == 1 ]] || e2e_fail "the game's score was not verified by its replay (checked: $checked)"
  local played=("$work"/data/brakkel/replays/*-easy.replay)
  cp "${played[0]}" "$work/played.replay"
}

# What the server answers to a fetch of easy:1 now: "none" when it closes (or resets) without
# a byte, else the length it announces.
probe_fetch() {
  python3 - <<'PY'
import socket
with socket.create_connection(("127.0.0.1", 20), timeout=30) as s:
    s.sendall(bytes([4, 0, 1]))
    reply = b""
    try:
        while chunk := s.recv(65536):
            reply += chunk
    except ConnectionResetError:  # a server that closes on a message it has not read
        pass
print("none" if not reply else int.from_bytes(reply[:4], "little"))
PY
}

e2e_start_x
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
if [[ $server == scripted ]]; then
  cp "$here/../replays/hardcore-one-life.replay" "$work/served.replay"
  start_scripted_server "$work/served.replay" "$work/asked.txt"
  show_to_the_end watched --watch hardcore:1
  [[ "$(cat "$work/asked.txt")" == "040201" ]] || e2e_fail "the server was asked: $(cat "$work/asked.txt")"
  shown_file=$work/served.replay
else
  if ! rankd_start "$E2E_BIN/rankd" "$work/rankd.log" --port 20 --db "$work/rankd.sqlite"; then
    grep -qi "permission\|denied\|not permitted" "$work/rankd.log" && skip_without_port_20
    e2e_fail "rankd did not start: $(cat "$work/rankd.log")"
  fi
  play_a_ranked_game
  answer=$(probe_fetch)
  [[ $answer == none ]] && { echo "SKIP: this rankd closes the replay fetch unanswered (it keeps no replays)"; exit 77; }
  ((answer > 0)) || e2e_fail "rankd keeps no replay of the verified game at easy:1 (length $answer)"
  show_to_the_end watched --watch easy:1
  shown_file=$work/played.replay
fi

# The same game from its file: the watched game must have rested on the very same picture.
show_to_the_end from-file --replay "$shown_file"
cmp -s "$work/watched.rgb" "$work/from-file.rgb" ||
  e2e_fail "the watched game ended on another picture than the same game shown from its file"
colours=$(convert -size "$shown_size" -depth 8 "rgb:$work/watched.rgb" -format "%k" info:)
((colours > 16)) || e2e_fail "the watched game's last picture has only $colours colours"
echo "netplay --watch end to end ($server): the watched game rested on the picture of its file ($colours colours)"
