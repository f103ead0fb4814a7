#!/usr/bin/env bash
# netplay against the real ranking server: rankd on a free port of 127.0.0.1 and ::1 (two
# --bind; ::1 when the machine has it) with a fresh SQLite database, reached through
# `netplay --server localhost:PORT` (the name looked up, the port given). A game of easy
# is played until a mob dies, a 15-letter name typed, the ranking confirmed, the window
# closed. Then the database must hold the result under the 9-byte name, and the text the
# ranking dialog showed must be the listing the server gives now (the dialog's text box is
# compared, pixel for pixel, with the same box showing that listing in dialogview).
# Usage: netplay_rankd_e2e.sh <bin folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export E2E_BIN=$(realpath "$1")
source "$here/lib.sh"
source "$here/../../scripts/lib/rankd.sh"

work=$(mktemp -d /tmp/netplay-rankd-e2e-XXXXXX)
view_pid=
cleanup() {
  local status=$?
  set +e
  e2e_show_logs "$status" "$work/netplay.log" "$work/rankd.log" "$work/view.log"
  e2e_stop_game
  [[ -n "$view_pid" ]] && kill "$view_pid" 2>/dev/null && wait "$view_pid" 2>/dev/null
  rankd_stop
  xvfb_stop
  rm -rf "$work"
  return 0
}
trap cleanup EXIT

binds=(--bind 127.0.0.1)
python3 -c 'import socket; socket.socket(socket.AF_INET6).bind(("::1", 0))' 2>/dev/null && binds+=(--bind ::1)
rankd_start "$E2E_BIN/rankd" "$work/rankd.log" --port 0 "${binds[@]}" --db "$work/rankd.sqlite" ||
  e2e_fail "rankd did not start: $(cat "$work/rankd.log")"

e2e_start_x
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
e2e_start_game "$E2E_BIN/netplay" "$work" "$work/netplay.log" 40 --server "localhost:$RANKD_PORT"
id=$E2E_WID
e2e_choose_easy "$id"
e2e_attack_until_scored "$id" "$work"
e2e_escape "$id"                            # until the name dialog shows (the threshold is 0)
xdotool type --delay 40 ABCDEFGHIJKLMNO     # the name dialog: its preset is replaced
xdotool key Return
for _ in $(seq 600); do grep -q "mode 0 stored" "$work/rankd.log" && break; sleep 0.1; done
grep -q "mode 0 stored" "$work/rankd.log" || e2e_fail "rankd stored nothing: $(cat "$work/rankd.log")"
e2e_wait_dialog "$id"                       # the ranking dialog, with the server's text
eval "$(xdotool getwindowgeometry --shell "$id")"
import -window root "$work/ranking.png"
xdotool key Return                          # the ranking dialog's OK
sleep 0.5
e2e_close_and_wait "$id" "$E2E_GAME_PID"

# The result in the database, under the name cut to 9 bytes.
row=$(sqlite3 "$work/rankd.sqlite" "SELECT hex(name) || ' ' || score || ' ' || stage FROM scores WHERE mode = 0")
read -r name score stage <<<"$row"
[[ "$name" == "$(printf ABCDEFGHI | od -An -tx1 | tr -d ' \n' | tr a-f A-F)" ]] ||
  e2e_fail "the stored name is $name"
(( score > 0 && stage == 1 )) || e2e_fail "stored: score $score, stage $stage"

# The game's replay went after the exchange on a connection of its own, and the server,
# playing it again, found the very score: verified (1), not suspect (2).
checked=
for _ in $(seq 300); do
  checked=$(sqlite3 "$work/rankd.sqlite" "SELECT checked FROM scores WHERE mode = 0")
  [[ "$checked" == 1 ]] && break
  sleep 0.1
done
[[ "$checked" == 1 ]] || e2e_fail "the score was not verified by its replay (checked: $checked)"

# The listing the server gives now, fetched with a decline of our own.
python3 - "$work/listing.bin" "$RANKD_PORT" <<'PY'
import socket, struct, sys
with socket.create_connection(("127.0.0.1", int(sys.argv[2])), timeout=10) as s:
    s.sendall(bytes([0, 0]))
    def exactly(n):
        data = b""
        while len(data) < n:
            chunk = s.recv(n - len(data))
            if not chunk:
                raise SystemExit("closed early")
            data += chunk
        return data
    exactly(56)
    s.sendall(bytes([1, 0]))
    length = struct.unpack("<I", exactly(8)[4:8])[0]
    open(sys.argv[1], "wb").write(exactly(length))
PY
grep -q "ABCDEFGHI" "$work/listing.bin" || e2e_fail "the server's listing does not hold the name"

# The same listing in the ranking dialog of dialogview, in the same X server: the two text
# boxes must be the same pixels.
(cd "$work/data/brakkel" && exec "$E2E_BIN/dialogview" listing "$work/listing.bin") >"$work/view.log" 2>&1 &
view_pid=$!
view=
for _ in $(seq 600); do
  view=$(xdotool search --pid "$view_pid" --name "Brakkel!!" 2>/dev/null | head -n 1 || true)
  [[ -n "$view" ]] && break
  kill -0 "$view_pid" 2>/dev/null || e2e_fail "dialogview ended: $(cat "$work/view.log")"
  sleep 0.1
done
[[ -n "$view" ]] || e2e_fail "no dialogview window in 60 s"
e2e_wait_dialog "$view"
gx=$X gy=$Y
eval "$(xdotool getwindowgeometry --shell "$view")"
import -window root "$work/expected.png"
box="344x273"  # the ranking dialog's text box, inside its border, at (41, 66) of the window
convert "$work/ranking.png" -crop "$box+$((gx + 41))+$((gy + 66))" +repage -depth 8 rgb:- >"$work/shown.rgb"
convert "$work/expected.png" -crop "$box+$((X + 41))+$((Y + 66))" +repage -depth 8 rgb:- >"$work/expected.rgb"
cmp -s "$work/shown.rgb" "$work/expected.rgb" ||
  e2e_fail "the ranking dialog did not show the server's listing"
# And the box is not blank: it holds the 22 lines' letters.
dark=$(convert "$work/ranking.png" -crop "$box+$((gx + 41))+$((gy + 66))" +repage -threshold 30% \
  -negate -format "%[fx:mean*w*h]" info:)
awk -v d="$dark" 'BEGIN { exit !(d > 2000) }' || e2e_fail "the ranking dialog's text box is nearly empty ($dark dark pixels)"
echo "netplay --server localhost:$RANKD_PORT with rankd (${binds[*]}) end to end: ABCDEFGHI stored with $score points, verified by its replay, and shown in the listing"
