# Shared steps of the end-to-end tests: a private X server, the game's window, input, and
# the closing of the window. Source it from a test script run with bash.

# Starts a private Xvfb and exports DISPLAY. Xvfb picks a free display itself and tells
# which (-displayfd), so a server of someone else's is never mistaken for ours.
# -noreset: an X server resets itself when its last client leaves (the check below, each
# xdotool call) and drops whoever connects meanwhile, so the game would at times find no
# display.
e2e_start_x() {
  local told i
  told=$(mktemp)
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$told" >/dev/null 2>&1 &
  E2E_XVFB_PID=$!
  for i in $(seq 200); do
    if [[ -s "$told" ]] && grep -q '^[0-9]' "$told"; then
      export DISPLAY=":$(head -n 1 "$told" | tr -dc 0-9)"
      rm -f "$told"
      xdpyinfo >/dev/null 2>&1 && return 0
      break
    fi
    kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$told"
  echo "e2e: no X server could be started" >&2
  return 1
}

e2e_stop_x() {
  [[ -n "${E2E_XVFB_PID:-}" ]] && kill "$E2E_XVFB_PID" 2>/dev/null && wait "$E2E_XVFB_PID" 2>/dev/null
  E2E_XVFB_PID=
  return 0
}

# Waits (up to $2 seconds, default 40) for a window titled $1 and prints its id. With a
# process id as $3, stops waiting as soon as that process has ended.
e2e_window() {
  local name=$1 limit=${2:-40} pid=${3:-} i id
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

# From the title logo of window $1 into a stage of the easy game: a typed key ends the
# logo, then a press held a moment inside the easy area (as a hand clicks: a press and its
# release that arrive together are no press for the game).
e2e_choose_easy() {
  xdotool mousemove --sync --window "$1" 320 240
  sleep 0.5
  xdotool key x
  sleep 1
  xdotool mousemove --sync --window "$1" 127 110 mousedown 1 sleep 0.2 mouseup 1
  sleep 1
}

# Ends the stage: Escape held across a frame, since the stage looks at it once a frame.
e2e_escape() {
  xdotool keydown Escape sleep 0.3 keyup Escape
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
  [[ $status -eq 0 ]] || e2e_fail "the program ended with status $status"
}

# In a stage of window $1: holds space while the chicken walks up and down (its reach sweeps
# every height the mobs walk at) until the score in the HUD's first line changes, at most
# 40 s; pictures go to folder $2. Fails the test when no mob died. Leaves the keys up.
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
  while ((SECONDS - started < 40)); do
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
  e2e_fail "no mob was killed in 40 seconds of attacks"
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
