#!/usr/bin/env bash
# soloplay with a real Korean input method, as most of its players type: IBus or fcitx5 with
# the Hangul engine, in Hangul mode unless told otherwise, and a session bus of its own
# (scripts/ime-session.sh). The game gets only what a desktop gives it (XMODIFIERS and the
# bus; no SDL_IM_MODULE). Two games, each in a fresh player's folder:
#   1. in the stage, space held and the arrows pressed kill mobs (the score changes);
#   2. "ekfrekfl" typed on the 2-set keyboard and Return: easy.dat's first row and the
#      listing hold the whole name 닭다리;
#   3. the same keys, three Backspaces (the two letters of 리 still being composed, then
#      the syllable 다 already given to the edit) and Return: the name is 닭.
# The engine is chosen once, as the session starts, and the Escape held to leave the stage
# still repeats as the name entry opens (ibus-hangul takes a fresh Escape as its switch to
# Latin mode). Each scenario that fails says what it expected and what it saw, and the next
# one still runs.
# In latin mode, or with no input method (none), the keys type Latin letters and the names
# are "ekfrekfl" and "ekfre": that checks the test's own mechanics.
# Usage: ime_e2e.sh <bin folder> <ibus|fcitx5|none> [hangul|latin]
# Exits 77, a skip, when the input method is not installed. On a failure the test's folder,
# with a picture of the screen, is kept and its path printed.
set -euo pipefail
bin=$(cd "$1" && pwd)
im=$2
mode=${3:-hangul}
[[ $im == none ]] && mode=latin
E2E_BIN=$bin
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

session_script=$here/../../scripts/ime-session.sh
work=$(mktemp -d /tmp/brakkel-ime-e2e.XXXXXX)
cleanup() {
  local status=$?
  set +e
  e2e_stop_game
  e2e_show_logs "$status" "$work"/*.log
  BRAKKEL_IME_SESSION=$work/session "$session_script" stop
  if ((status == 0 || status == 77)); then
    rm -rf "$work"
  else
    echo "the test's folder is kept: $work" >&2
  fi
}
trap cleanup EXIT

# Fails the scenario under way with a picture of the screen beside the message.
ime_fail() {
  import -window root "$work/failure-$label.png" 2>/dev/null &&
    echo "screen: $work/failure-$label.png" >&2
  e2e_fail "$label: $*; with $im in $mode mode"
}

# A name (code page 949 bytes) as the test reports it: as text and as bytes.
show_name() {
  printf '"%s" (bytes %s)' "$(iconv -f cp949 -t utf-8 <<<"$1" 2>/dev/null | tr -d '\n')" \
    "$(printf '%s' "$1" | od -An -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')"
}

session=$("$session_script" start "$im" "$mode" "$work/session") || {
  status=$?
  ((status == 77)) && echo "skipped: $im with its Hangul engine is not installed" >&2
  exit "$status"
}
eval "$session"
unset SDL_IM_MODULE

if [[ $mode == hangul ]]; then
  long=닭다리 short=닭
else
  long=ekfrekfl short=ekfre
fi

# One game in a fresh player's folder: the logo skipped, easy chosen, mobs killed, the
# stage ended, then the keys given pressed in the name entry; the name it stores and lists
# must be $want (UTF-8). Run in a subshell of its own, whose failure ends only this game.
play_and_name() {
  local started stored
  trap e2e_stop_game EXIT
  export XDG_DATA_HOME=$work/$label
  local folder=$XDG_DATA_HOME/brakkel
  mkdir -p "$work/$label-play"
  e2e_start_game "$bin/soloplay" "$work/$label-play" "$work/$label.log"
  wid=$E2E_WID
  xdotool windowfocus --sync "$wid"
  xdotool key a # a typed character ends the logo
  e2e_choose_easy "$wid"
  e2e_attack_until_scored "$wid" "$work" # (1): moving and attacking score
  e2e_escape "$wid"                      # until the name dialog shows
  xdotool key --delay 150 "$@"

  # The listing is written once the name dialog has closed.
  started=$SECONDS
  until [[ -f "$folder/$listing_name" ]]; do
    ((SECONDS - started < 30)) && { sleep 0.2; continue; }
    (($(e2e_count_colour "$wid" '#0A246A') > 0)) || ime_fail "no listing 30 s after the keys '$*'"
    ime_fail "the name dialog is still open 30 s after the keys '$*'"
  done
  e2e_wait_dialog "$wid" # the ranking, confirmed; then the window closed
  xdotool key Return
  e2e_close_and_wait "$wid" "$E2E_GAME_PID"

  # The program has ended: both files are written.
  wanted=$(printf '%s' "$want" | iconv -f utf-8 -t cp949)
  stored=$(dd if="$folder/easy.dat" bs=1 skip=39 count=12 status=none | tr -d '\0')
  [[ "$stored" == "$wanted" ]] ||
    e2e_fail "$label: after the keys '$*' easy.dat's first name is $(show_name "$stored")," \
      "expected $(show_name "$wanted"); with $im in $mode mode"
  LC_ALL=C grep -qF "$wanted" "$folder/$listing_name" ||
    e2e_fail "$label: the listing does not show $(show_name "$wanted"); it begins:" \
      "$(iconv -f cp949 -t utf-8 "$folder/$listing_name" | head -n 3)"
  echo "$label: the name $want stored and listed"
}

listing_name=$(printf '\xec\x88\x9c\xec\x9c\x84.txt') # 순위.txt
keys=(e k f r e k f l)
failed=()
# In the background and waited for, so that the scenario's own commands stop it on a fault.
label=whole want=$long play_and_name "${keys[@]}" Return &
wait $! || failed+=(whole)
label=backspace want=$short play_and_name "${keys[@]}" BackSpace BackSpace BackSpace Return &
wait $! || failed+=(backspace)
((${#failed[@]} == 0)) || e2e_fail "failed with $im in $mode mode: ${failed[*]}"
echo "input method end to end: $im in $mode mode, names $long and $short"
