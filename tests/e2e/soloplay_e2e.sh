#!/usr/bin/env bash
# soloplay as a player meets it, in a real X server: the logo skipped with a key, easy
# chosen with the mouse, space held (the chicken sweeping up and down) until a mob has died,
# Escape, a 15-letter name typed and confirmed, the ranking confirmed, the window closed by
# its close box. Then the ranking file and the listing in the player's folder are checked.
# Usage: soloplay_e2e.sh <bin folder>
set -euo pipefail
bin=$1
E2E_BIN=$bin
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

e2e_work_folder soloplay.log
e2e_start_x

export XDG_DATA_HOME=$work/xdg XDG_CONFIG_HOME=$work/config
# In a folder without game data: the game moves into the player's own.
e2e_start_game "$bin/soloplay" "$work" "$work/soloplay.log"
wid=$E2E_WID
xdotool windowfocus --sync "$wid"
folder=$XDG_DATA_HOME/brakkel
[[ -f "$folder/logo.pcx" ]] || e2e_fail "the game folder did not get its data"

xdotool key a                                  # a typed character ends the logo
e2e_choose_easy "$wid"
e2e_attack_until_scored "$wid" "$work"
e2e_escape "$wid"                              # until the name dialog shows
xdotool type --delay 60 'ChickenRunner15'
xdotool key Return
# The listing is written between the name dialog and the ranking dialog.
for _ in $(seq 600); do grep -q ChickenRunn "$folder/순위.txt" 2>/dev/null && break; sleep 0.1; done
grep -q ChickenRunn "$folder/순위.txt" || e2e_fail "no listing with the name after 60 s"
e2e_wait_dialog "$wid"
xdotool key Return                             # the ranking dialog's OK
kill -0 "$E2E_GAME_PID" 2>/dev/null || e2e_fail "the game ended before its window was closed"
e2e_close_and_wait "$wid" "$E2E_GAME_PID"

dat=$folder/easy.dat
[[ -f "$dat" ]] || e2e_fail "no easy.dat"
[[ $(stat -c %s "$dat") -eq 2359 ]] || e2e_fail "easy.dat is $(stat -c %s "$dat") bytes"
name=$(dd if="$dat" bs=1 skip=39 count=12 status=none | tr -d '\0')
[[ "$name" == "ChickenRunn" ]] || e2e_fail "the first row's name is '$name'"
score=$(od -An -t u4 -j $((39 + 104)) -N 4 "$dat" | tr -d ' ')
(( score > 0 )) || e2e_fail "the first row's score is $score: no mob died"
listing=$folder/$(printf '\xec\x88\x9c\xec\x9c\x84.txt')
[[ -f "$listing" ]] || e2e_fail "no listing"
[[ $(grep -c $'\r$' "$listing") -eq 22 && $(wc -l <"$listing") -eq 22 ]] ||
  e2e_fail "the listing does not have 22 CR LF lines"
grep -q "ChickenRunn" "$listing" || e2e_fail "the listing does not show the name"
echo "soloplay end to end: ChickenRunn ranked first in easy with $score points"
