#!/usr/bin/env bash
# netplay from start to end in a real X server, against a scripted ranking server on
# 127.0.0.1 port 20: skip the logo, choose easy, attack until the score is above 0, end the
# stage with Escape, type a 15-letter name, see the server's ranking text, close the window.
# Then the server must hold the request (0, 0) and a 124-byte submission with the name cut
# to 9 bytes and the right check code, and the screenshot must show the text's lines.
# Usage: netplay_e2e.sh <netplay> <xclose> [folder to keep the screenshots in]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
netplay=$(realpath "$1")
E2E_BIN=$(dirname "$(realpath "$2")")  # where xclose is
keep=${3:-}

# Port 20 is taken for this test alone in a network namespace of its own, when one can be
# made (root); otherwise the machine's own loopback is used.
if [[ -z "${E2E_NETNS:-}" ]] && command -v ip >/dev/null && unshare -n true 2>/dev/null; then
  exec env E2E_NETNS=1 unshare -n bash -c 'ip link set lo up && exec bash "$@"' bash "$0" "$@"
fi
source "$here/lib.sh"

work=$(mktemp -d /tmp/netplay-e2e-XXXXXX)
server_pid=
cleanup() {
  local status=$?
  set +e
  e2e_show_logs "$status" "$work/netplay.log" "$work/server.log"
  e2e_stop_game
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  xvfb_stop
  [[ -n "$keep" ]] && mkdir -p "$keep" && cp "$work"/*.png "$work"/*.txt "$work"/*.log "$keep"/ 2>/dev/null
  rm -rf "$work"
  return 0
}
trap cleanup EXIT

# The ranking text: 22 lines of 57 bytes with CR LF, like a real listing, except that
# lines 4, 5 and 12 are empty, so the picture can be checked line by line.
python3 - "$work/text.bin" <<'EOF'
import sys
lines = []
for i in range(22):
    if i in (3, 4, 11):
        lines.append(b"")
    else:
        lines.append(("%6d\ub4f1 E2E%-6d%10d\uc810%4d\ud310" % (i + 1, i, 9000 - i, 1)).encode("cp949"))
open(sys.argv[1], "wb").write(b"".join(l + b"\r\n" for l in lines))
EOF

python3 "$here/ranking_script_server.py" 20 0 "$work/text.bin" "$work/record.txt" "$work/ready" \
  2> "$work/server.log" &
server_pid=$!
for _ in $(seq 100); do
  [[ -e "$work/ready" ]] && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    status=0
    wait "$server_pid" || status=$?
    server_pid=
    [[ $status == 77 ]] && { echo "SKIP: port 20 cannot be listened on here (not root)"; exit 77; }
    break
  fi
  sleep 0.05
done
[[ -e "$work/ready" ]] || e2e_fail "the scripted server did not start: $(cat "$work/server.log")"

e2e_start_x
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
e2e_start_game "$netplay" "$work" "$work/netplay.log" 60
id=$E2E_WID
eval "$(xdotool getwindowgeometry --shell "$id")"  # X, Y of the window
wx=$X
wy=$Y

shot() { import -window root "$work/$1.png"; }
# A part of the window (x, y, width, height in window coordinates) as raw RGB bytes.
crop() { convert "$work/$1.png" -crop "$4x$5+$((wx + $2))+$((wy + $3))" +repage -depth 8 rgb:-; }
# Waits (up to $2 seconds) until the record holds a line starting with $1.
await_record() {
  local i
  for i in $(seq $(($2 * 10))); do
    grep -q "^$1 " "$work/record.txt" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

xdotool key x                         # skip the logo
e2e_choose_easy "$id"
shot menu
e2e_attack_until_scored "$id" "$work"   # takes stage-start.png itself
shot scored
e2e_escape "$id"                      # until the name dialog shows

await_record request 60 || e2e_fail "the server got no request"
shot name
xdotool type --delay 40 ABCDEFGHIJKLMNO
xdotool key Return
await_record submission 60 || e2e_fail "the server got no submission: $(cat "$work/record.txt")"
# The name dialog has ended before the submission went out: the dialog now is the ranking's.
e2e_wait_dialog "$id"
shot ranking
xdotool key Return
shot after
e2e_close_and_wait "$id" "$E2E_GAME_PID"

# What the server received, checked here byte by byte; and the ranking text in the
# screenshot: inside the dialog's text box, at its 12-pixel line pitch, every line of the
# text has dark letters except the three empty ones.
edit_x=41 edit_y=66 edit_w=344 edit_h=273   # the ranking dialog's text box, inside its border
crop ranking "$edit_x" "$edit_y" "$edit_w" "$edit_h" > "$work/edit.rgb"
crop name "$edit_x" "$edit_y" "$edit_w" "$edit_h" > "$work/edit-before.rgb"
python3 - "$work/record.txt" "$work/edit.rgb" "$work/edit-before.rgb" "$edit_w" "$edit_h" <<'EOF' ||
import struct, sys
record, shown, before, width, height = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
lines = dict(l.split() for l in open(record))
assert lines.get("request") == "0000", "request: %r" % lines.get("request")
sub = bytes.fromhex(lines["submission"])
assert len(sub) == 124 and sub[0] == 2, "submission: %d bytes, type %d" % (len(sub), sub[0])
assert sub[1:10] == b"ABCDEFGHI" and sub[10:104] == bytes(94), "name field: %r" % sub[1:104]
stage, score, combo, seconds, check = struct.unpack("<iIiIi", sub[104:124])
assert stage == 1 and score > 0 and combo >= 1, (stage, score, combo)
combo100 = (combo * 100 + 2**31) % 2**32 - 2**31
expected = ((score % 10) * stage * 24151 + int(combo100 / 9) - seconds + 350927) % 2**32
assert check % 2**32 == expected, "check code %d, expected %d" % (check, expected)
print("submission: stage %d, score %d, best combo %d, %d s, check code %d" % (stage, score, combo, seconds, check))

def inked_lines(path):
    data = open(path, "rb").read()
    rows = [any(max(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) < 80 for x in range(width))
            for y in range(height)]
    starts = [y for y in range(height) if rows[y] and (y == 0 or not rows[y - 1])]
    return sorted({(y - starts[0] + 6) // 12 for y in starts}) if starts else []

expected_lines = [i for i in range(22) if i not in (3, 4, 11)]
got = inked_lines(shown)
assert got == expected_lines, "text lines in the ranking dialog: %s" % got
assert inked_lines(before) != expected_lines, "the same lines were there before the dialog"
print("ranking dialog: dark letters on lines", got)
EOF
  e2e_fail "what the server received or what the dialog showed is wrong"

cat "$work/record.txt"
echo "netplay end to end: passed"
