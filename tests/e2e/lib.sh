# Shared steps of the end-to-end tests: a private X server, the game's start and window,
# input, and the closing of the window. Source it from a test script run with bash. The X
# server and openbox are those of scripts/lib/x_session.sh.

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/x_session.sh"

# Starts a private Xvfb (screen $1, default 800x600x24) on a display it picks itself, and
# exports DISPLAY (xvfb_start of scripts/lib/x_session.sh; xvfb_stop ends it).
e2e_start_x() {
  xvfb_start "${1:-800x600x24}" /dev/null && return 0
  echo "e2e: no X server could be started" >&2
  return 1
}

# Waits (up to $2 seconds, default 60) for a window titled $1 and prints its id. With a
# process id as $3, stops waiting as soon as that process has ended.
e2e_window() {
  local name=$1 limit=${2:-60} pid=${3:-} i id
  for i in $(seq $((limit * 10))); do
    id=$(xdotool search --name "^${name}\$" 2>/dev/null | head -n 1)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    if [[ -n "$pid" ]] && ! kill -0 "$pid" 2>/dev/null; then
      echo "e2e: the program ended without opening a window named '$name'" >&2
      return 1
    fi
    sleep 0.1
  done
  echo "e2e: no window named '$name' after $limit s" >&2
  return 1
}

# Starts the game program $1 as a player does, in folder $2, on the X server of DISPLAY, its
# output into file $3: SDL finds the display itself (SDL_VIDEODRIVER unset), the sound goes to
# the dummy driver, the player's folders are what XDG_DATA_HOME and XDG_CONFIG_HOME say.
# E2E_GAME_PID holds its process id at once (for e2e_stop_game); waits up to $4 seconds
# (default 40) for its window, whose id it leaves in E2E_WID. Fails the test without one.
# Arguments after $4 go to the program.
e2e_start_game() {
  unset SDL_VIDEODRIVER
  export SDL_AUDIODRIVER=dummy
  (cd "$2" && exec "$1" "${@:5}") >"$3" 2>&1 &
  E2E_GAME_PID=$!
  E2E_WID=$(e2e_window 'Brakkel!!' "${4:-40}" "$E2E_GAME_PID") || e2e_fail "no game window"
}

# Ends the game that e2e_start_game started, when it still runs.
e2e_stop_game() {
  [[ -n "${E2E_GAME_PID:-}" ]] && kill "$E2E_GAME_PID" 2>/dev/null && wait "$E2E_GAME_PID" 2>/dev/null
  E2E_GAME_PID=
  return 0
}

# How many pixels of colour $2 (#RRGGBB) window $1 shows inside the rectangle $3
# (WxH+X+Y, in the window's client coordinates; the whole window when left out).
e2e_count_colour() {
  local id=$1 colour=$2 area=${3:-} X Y WIDTH HEIGHT w h x y
  # The window's place on the screen from xwininfo: under a window manager xdotool's
  # geometry counts the frame's offset twice.
  eval "$(xwininfo -id "$id" | awk -F: '/Absolute upper-left X/ { print "X=" $2 } /Absolute upper-left Y/ { print "Y=" $2 }
    /^ *Width/ { print "WIDTH=" $2 } /^ *Height/ { print "HEIGHT=" $2 }' | tr -d ' ')"
  if [[ -n "$area" ]]; then
    IFS='x+' read -r w h x y <<<"$area"
  else
    w=$WIDTH h=$HEIGHT x=0 y=0
  fi
  import -window root png:- 2>/dev/null |
    convert - -crop "${w}x${h}+$((X + x))+$((Y + y))" +repage -fill black +opaque "$colour" \
      -fill white -opaque "$colour" -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null || echo 0
}

# Waits (up to $2 seconds, default 60) until a dialog shows in window $1: the dark blue at
# the start of a dialog's caption bar, a colour no game picture can have (the pictures' 5-bit
# components widen to other values).
e2e_wait_dialog() {
  local id=$1 limit=${2:-60} started=$SECONDS
  while ((SECONDS - started < limit)); do
    (($(e2e_count_colour "$id" '#0A246A') > 0)) && return 0
    sleep 0.2
  done
  e2e_fail "no dialog showed in $limit s"
}

# From the title logo of window $1 into a stage of the easy game: a press held a moment
# inside the easy area (as a hand clicks: a press and its release that arrive together are
# no press for the game), again until the stage's HUD shows: the first press may only end
# the logo, however long the machine takes to get there. Up to 180 s: each look at the screen
# is a whole screenshot, and under the sanitizers on a loaded machine the logo alone has
# taken over a minute.
e2e_choose_easy() { e2e_choose_at "$1" 127 110 160x24+0+0; }

# The same with a press at ($2, $3) in window $1, the HUD's first line looked for in the
# window's area $4 (WxH+X+Y).
e2e_choose_at() {
  local id=$1 started=$SECONDS i
  xdotool mousemove --sync --window "$id" "$2" "$3"
  while ((SECONDS - started < 180)); do
    xdotool mousedown 1 sleep 0.2 mouseup 1
    for i in $(seq 10); do
      # The HUD's first line: the game's blue letters at the picture's top left.
      (($(e2e_count_colour "$id" '#0000FF' "$4") > 20)) && return 0
      sleep 0.2
    done
  done
  e2e_fail "no stage began in 180 s"
}

# Starts openbox on the X server and waits (up to 40 s) until it manages the screen; its
# output goes to file $1. Skips the test (status 77) without openbox; fails it when openbox
# does not start (openbox_stop ends it).
e2e_start_openbox() {
  command -v openbox >/dev/null || { echo "e2e: no openbox, skipped"; exit 77; }
  openbox_start "$1" 40 || e2e_fail "openbox did not start"
}

# Waits (up to $3 seconds, default 30) until window $1 is $2 (WxH) in size.
e2e_wait_size() {
  local id=$1 want=$2 limit=${3:-30} started=$SECONDS WIDTH HEIGHT X Y SCREEN
  while ((SECONDS - started < limit)); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    [[ "${WIDTH}x${HEIGHT}" == "$want" ]] && return 0
    sleep 0.2
  done
  e2e_fail "the window is ${WIDTH}x${HEIGHT}, not $want, after $limit s"
}

# Ends the stage of window $1: Escape held until the dialog after the stage shows, since the
# stage looks at the key once a frame, and a frame may be late on a loaded machine.
e2e_escape() {
  xdotool keydown Escape
  e2e_wait_dialog "$1"
  xdotool keyup Escape
}

# Asks window $1 to close (as a close box does) and waits for process $2 to end by itself;
# fails unless it ends with status 0.
e2e_close_and_wait() {
  local id=$1 pid=$2 status=0
  "$E2E_BIN/xclose" "$id" || e2e_fail "the window could not be asked to close"
  # Generous: the title logo runs to its end (about 13 s) before the game looks at a close.
  for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && e2e_fail "the program did not end after its window was closed"
  wait "$pid" || status=$?
  [[ "${E2E_GAME_PID:-}" == "$pid" ]] && E2E_GAME_PID=
  [[ $status -eq 0 ]] || e2e_fail "the program ended with status $status"
}

# In a stage of window $1: holds space while the chicken walks up and down (its reach sweeps
# every height the mobs walk at) until the score in the HUD's first line changes, at most
# 90 s; pictures go to folder $2. Fails the test when no mob died. Leaves the keys up.
e2e_attack_until_scored() {
  local id=$1 dir=$2 way=Up started=$SECONDS i=0 X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$id")"
  # Only the HUD's blue letters where the score stands (after the mode's name): the
  # scrolling background behind them is left out.
  local crop="48x24+$((X + 100))+$Y"
  import -window root "$dir/stage-start.png"
  convert "$dir/stage-start.png" -crop "$crop" +repage -fill black +opaque "#0000FF" -depth 8 rgb:- \
    >"$dir/score0.rgb"
  xdotool keydown space
  while ((SECONDS - started < 90)); do
    if ((i++ % 4 == 0)); then
      xdotool keyup Up keyup Down keydown "$way"
      if [[ $way == Up ]]; then way=Down; else way=Up; fi
    fi
    sleep 0.25
    import -window root "$dir/stage.png"
    convert "$dir/stage.png" -crop "$crop" +repage -fill black +opaque "#0000FF" -depth 8 rgb:- \
      >"$dir/score.rgb"
    if ! cmp -s "$dir/score0.rgb" "$dir/score.rgb"; then
      xdotool keyup Up keyup Down keyup space
      echo "first points after $((SECONDS - started)) s of attacks"
      return 0
    fi
  done
  xdotool keyup Up keyup Down keyup space
  e2e_fail "no mob was killed in 90 seconds of attacks"
}

# Makes the test's own folder, named in `work`; at the script's end, however it ends, stops
# what the shared steps started (the game, openbox, the X server), shows the log files of
# that folder named $1... when the test failed, and removes the folder.
e2e_work_folder() {
  work=$(mktemp -d)
  E2E_WORK=$work
  E2E_LOGS=("${@/#/$work/}")
  trap e2e_clean_up EXIT
}

e2e_clean_up() {
  local status=$?
  set +e
  e2e_stop_game
  e2e_show_logs "$status" "${E2E_LOGS[@]}"
  openbox_stop
  xvfb_stop
  rm -rf "$E2E_WORK"
}

# When the test is failing (status $1), prints each of the given log files that has
# anything in it, so that what the programs said is seen wherever the test ran.
e2e_show_logs() {
  local status=$1 log
  shift
  ((status == 0)) && return 0
  for log in "$@"; do
    [[ -s "$log" ]] || continue
    echo "--- $(basename "$log"):" >&2
    tail -n 40 "$log" >&2
  done
  return 0
}

# Fails the test with a message.
e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}
