#!/usr/bin/env bash
# The game's message box as a player meets it, under a real window manager (openbox) in a
# real X server: a damaged sprite file makes the game show its box; the box belongs to the
# game window (the window manager keeps it above the game and gives it the keyboard), and
# Return, in a second start Escape, presses its OK so that the game goes on to its logo.
# Usage: messagebox_e2e.sh <soloplay> <xclose>
set -euo pipefail
E2E_BIN=$(cd "$(dirname "$2")" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

e2e_work_folder soloplay.log openbox.log
e2e_start_x
e2e_start_openbox "$work/openbox.log"

# The game as installed beside its data, whose foot sprites are damaged.
mkdir -p "$work/bin" "$work/data" "$work/play"
cp "$1" "$work/bin/soloplay"
cp "$(dirname "$1")/../data/"* "$work/data/"
head -c 64 /dev/zero >"$work/data/foot.ani"
export XDG_DATA_HOME=$work/xdg XDG_CONFIG_HOME=$work/config

# Starts the game, waits for its box to have the keyboard, presses key $1 as the player
# would (to whatever has the focus), and checks that the box is gone and the game goes on.
answer_box_with() {
  local key=$1 wid box=
  e2e_start_game "$work/bin/soloplay" "$work/play" "$work/soloplay.log"
  wid=$E2E_WID
  for _ in $(seq 400); do
    box=$(xdotool getwindowfocus 2>/dev/null || true)
    if [[ -n "$box" && "$box" != "$wid" ]] &&
       xprop -id "$box" WM_TRANSIENT_FOR 2>/dev/null | grep -qi "$(printf '0x%x' "$wid")\$"; then
      break
    fi
    box=
    kill -0 "$E2E_GAME_PID" 2>/dev/null || e2e_fail "the game ended before its box showed"
    sleep 0.1
  done
  [[ -n "$box" ]] || e2e_fail "no box of the game window got the keyboard in 40 s"
  xprop -id "$box" _NET_WM_NAME | grep -q '"멀봐?"' || e2e_fail "the box is not the sprite loader's"
  import -window root "$work/box-$key.png"
  xdotool key "$key"
  for _ in $(seq 400); do
    [[ "$(xdotool getwindowfocus 2>/dev/null)" == "$wid" ]] && break
    sleep 0.1
  done
  [[ "$(xdotool getwindowfocus)" == "$wid" ]] || e2e_fail "$key did not close the box"
  xwininfo -id "$box" 2>/dev/null | grep -q IsViewable && e2e_fail "the box still shows after $key"
  kill -0 "$E2E_GAME_PID" 2>/dev/null || e2e_fail "the game ended after the box"
  xdotool key x  # on to the menu, without the logo
  e2e_close_and_wait "$wid" "$E2E_GAME_PID"
  echo "$key pressed the box's OK"
}
answer_box_with Return
answer_box_with Escape
