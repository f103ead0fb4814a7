#!/usr/bin/env bash
# Measures how much of one processor core the game takes on each screen, in a real X server
# (Xvfb) driven by xdotool: the whole process, from /proc/<pid>/stat (user + system time),
# over several seconds per figure. Prints one line per figure beside its goal.
#
# Usage: scripts/cpu.sh [display-number]
#   display-number: the Xvfb display to start (default: the first free one from :90 on).
#   BRAKKEL_CPU_SECONDS: seconds per figure (default 6, at least 5).
#   BRAKKEL_BUILD_DIR: the build to measure (default build/).
# Needs a build: bin/soloplay, bin/stageview and data/ in it.
# The first scenes run on a 1024x768 screen (the picture at 1x); the last on a 1920x1080
# screen under openbox (2x, then F11 for the whole screen), left out without openbox.
#
# The figures run in scenes: one program started once, its screens measured in the order a
# player meets them. To add a figure, write a figure_* function that brings the program to
# its screen and calls `measure`, and list it in the scene where it belongs (a dialog wait,
# for instance, after a game of the soloplay scene has ended).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/x_session.sh"
build=${BRAKKEL_BUILD_DIR:-$root/build}
bin=$build/bin
seconds=${BRAKKEL_CPU_SECONDS:-6}
(( seconds >= 5 )) || seconds=5
hz=$(getconf CLK_TCK)

for need in "$bin/soloplay" "$bin/stageview" "$build/data/logo.pcx"; do
  [[ -e $need ]] || { echo "cpu.sh: $need is missing: build first" >&2; exit 1; }
done

if [[ $# -ge 1 ]]; then
  display=$1
else
  display=90
  while [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
fi
export DISPLAY=:$display
unset SDL_VIDEODRIVER
# The music is decoded and played at its own pace, as with a sound card.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

work=$(mktemp -d)
started=()
cleanup() {
  for p in "${started[@]}"; do kill "$p" 2>/dev/null || true; done
  openbox_stop
  xvfb_stop
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts Xvfb with a screen of size $1 (WxH) on the display, in place of the one before.
start_x() {
  openbox_stop
  xvfb_stop
  xvfb_start "$1x24" "$work/xvfb.log" "$display" || { echo "cpu.sh: Xvfb :$display did not start" >&2; exit 1; }
}
# A window manager carries out fullscreen; without openbox the figures that need it are left out.
start_wm() { openbox_start "$work/openbox.log" 10; }

# The game's per-user folder for this measurement: the data, nothing else. soloplay moves
# there itself (and brings the data up to date); stageview runs in it.
# The player's remembered settings stay out of the figures, and the figures out of them.
export XDG_DATA_HOME=$work/xdg XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_DATA_HOME/brakkel"
cp "$build"/data/* "$XDG_DATA_HOME/brakkel/"

pid=
wid=
# Starts a program in the game folder and waits for its window.
start() {
  (cd "$XDG_DATA_HOME/brakkel" && exec "$bin/$1" "${@:2}") >"$work/$1.log" 2>&1 &
  pid=$!
  started+=("$pid")
  wid=$(timeout 10 xdotool search --sync --onlyvisible --pid "$pid" | head -1)
  xdotool windowfocus --sync "$wid"
}
stop() {
  kill -TERM "$pid" 2>/dev/null || true  # the game takes it as a closed window
  wait "$pid" 2>/dev/null || true
}

# Clock ticks (user + system) the process has used so far.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }

# measure NAME GOAL: the process's share of one core over the next $seconds seconds.
measure() {
  local before after share verdict
  before=$(ticks "$pid")
  sleep "$seconds"
  kill -0 "$pid" 2>/dev/null || { printf '%-44s  (the program ended)\n' "$1"; return; }
  after=$(ticks "$pid")
  share=$(awk -v d=$((after - before)) -v s="$seconds" -v hz="$hz" 'BEGIN { printf "%.1f", d * 100 / (s * hz) }')
  verdict=ok
  awk -v m="$share" -v g="$2" 'BEGIN { exit !(m <= g) }' || verdict=OVER
  printf '%-44s %5s %% of one core   goal <= %2s %%   %s\n' "$1" "$share" "$2" "$verdict"
}

figure_logo() {
  sleep 0.5
  measure "title logo (fades and hold)" 3
}

figure_menu_still() {
  xdotool key a  # a typed character ends the logo
  xdotool mousemove --window "$wid" 400 300
  sleep 0.5
  measure "mode menu, pointer still" 3
}

# The pointer sweeps the whole window about a hundred times a second, across the three
# areas and the empty parts alike (the button stays up, so nothing is chosen).
# $1: the picture's multiple (default 1).
figure_menu_moving() {
  local moves=() i x y m=${1:-1}
  for ((i = 0; i < (seconds + 2) * 100; i++)); do
    x=$(((10 + (i * 7) % 620) * m))
    y=$(((10 + (i * 13) % 460) * m))
    moves+=(mousemove --window "$wid" "$x" "$y" sleep 0.01)
  done
  xdotool "${moves[@]}" &
  local mover=$!
  sleep 0.5
  measure "mode menu, pointer moving${2:-}" 10
  kill "$mover" 2>/dev/null || true
  wait "$mover" 2>/dev/null || true
}

figure_soloplay_stage() {
  # Easy: a press held a moment, as a hand clicks (a press and its release that arrive
  # together are no press for the game).
  xdotool mousemove --window "$wid" 100 100 mousedown 1 sleep 0.1 mouseup 1
  sleep 0.5
  xdotool keydown space
  sleep 1
  measure "stage 1 in soloplay (100 mobs), space held" 5
  xdotool keyup space
}

# Escape ends the stage; the name entry (or, without a kill, the ranking) then waits.
figure_dialog_wait() {
  xdotool keydown Escape sleep 0.2 keyup Escape
  sleep 1
  measure "a dialog waiting (the game ended)" 2
}

figure_stage_300() {
  xdotool keydown space
  sleep 1
  measure "stage 3 (300 mobs), space held" 5
  xdotool keyup space
}

echo "Processor use on Xvfb :$display, $seconds s per figure, whole process:"
start_x 1024x768
start soloplay
figure_logo
figure_menu_still
figure_menu_moving
figure_soloplay_stage
figure_dialog_wait
stop

start stageview 3
figure_stage_300
stop

# A 1920x1080 screen under a window manager: the window opens at twice the picture's size;
# then F11, the whole screen with the picture centred at 2x.
if start_x 1920x1080 && start_wm; then
  start soloplay
  xdotool key a
  figure_menu_moving 2 " at 2x (1280x960)"
  xdotool mousemove --window "$wid" 200 200 mousedown 1 sleep 0.1 mouseup 1
  sleep 0.5
  xdotool keydown space
  sleep 1
  measure "stage 1 at 2x (1280x960), space held" 5
  xdotool key F11
  sleep 1
  measure "stage 1 fullscreen 1920x1080 at 2x, space held" 5
  xdotool keyup space
  stop
else
  echo "(no openbox: the figures at 2x and in fullscreen are left out)"
fi
