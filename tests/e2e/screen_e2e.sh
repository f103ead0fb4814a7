#!/usr/bin/env bash
# The picture's size on a real desktop, under a real window manager (openbox) in Xvfb: on a
# 1920x1080 screen soloplay opens at twice the picture's size (1280x960); a click on the
# hardcore chicken's place at that size starts a hardcore game; F11 fills the screen with
# the picture centred and F11 again gives the window back; on a 3840x2160 screen it opens at
# four times (2560x1920).
# Usage: screen_e2e.sh <soloplay> <xclose>
set -euo pipefail
E2E_BIN=$(cd "$(dirname "$2")" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

e2e_work_folder soloplay.log openbox.log
export XDG_DATA_HOME=$work/xdg XDG_CONFIG_HOME=$work/config

# On a screen of $2 (WxH) under openbox, starts the game $1 and waits for its window to open
# at $3 (WxH); leaves its id in wid and the logo ended by a typed character.
open_on_screen() {
  e2e_start_x "$2x24"
  e2e_start_openbox "$work/openbox.log"
  e2e_start_game "$1" "$work" "$work/soloplay.log"
  wid=$E2E_WID
  e2e_wait_size "$wid" "$3"
  echo "$2: the window opened at $3"
  xdotool windowfocus --sync "$wid"
  xdotool key a # a typed character ends the logo
}

open_on_screen "$1" 1920x1080 1280x960

# The hardcore chicken's area is (54, 321) to (244, 473) in the picture: (150, 400) is
# (300, 800) in the window. The HUD's first line names the difficulty: "하드코어게임" is two
# letters (96 window pixels) longer than "쉬운게임", so, before any point is scored, only a
# hardcore game has letters in the first line between 744 and 816.
e2e_choose_at "$wid" 300 800 320x48+0+0
import -window root "$work/hardcore-2x.png"
letters=$(e2e_count_colour "$wid" '#0000FF' 72x48+744+0)
((letters > 20)) || e2e_fail "the game that started is not hardcore ($letters letter pixels past easy's line)"
echo "a click at the hardcore chicken at 2x started a hardcore game"

xdotool key F11
e2e_wait_size "$wid" 1920x1080
# The picture in the screen's middle at 2x: the HUD at (320, 60), black bars beside it.
for _ in $(seq 50); do
  (($(e2e_count_colour "$wid" '#0000FF' 320x48+320+60) > 20)) && break
  sleep 0.2
done
import -window root "$work/fullscreen.png"
(($(e2e_count_colour "$wid" '#0000FF' 320x48+320+60) > 20)) || e2e_fail "no HUD at the centred picture's top left"
bar=$(e2e_count_colour "$wid" '#000000' 320x1080+0+0)
((bar == 320 * 1080)) || e2e_fail "the left bar is not black ($bar of $((320 * 1080)) pixels)"
echo "F11 filled 1920x1080 with the picture centred"
xdotool key F11
e2e_wait_size "$wid" 1280x960
echo "F11 again gave the 1280x960 window back"
e2e_close_and_wait "$wid" "$E2E_GAME_PID"
openbox_stop
xvfb_stop

open_on_screen "$1" 3840x2160 2560x1920
e2e_close_and_wait "$wid" "$E2E_GAME_PID"
