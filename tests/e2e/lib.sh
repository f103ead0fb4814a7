# Shared steps of the end-to-end tests: a private X server, the game's window, input, and
# the closing of the window. Source it from a test script run with bash.

# Starts Xvfb on the first free display from 90 on and exports DISPLAY.
e2e_start_x() {
  local n
  for n in $(seq 90 140); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 100); do
      xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
  done
  echo "e2e: no X server could be started" >&2
  return 1
}

e2e_stop_x() {
  [[ -n "${E2E_XVFB_PID:-}" ]] && kill "$E2E_XVFB_PID" 2>/dev/null && wait "$E2E_XVFB_PID" 2>/dev/null
  E2E_XVFB_PID=
  return 0
}

# Waits (up to $2 seconds, default 20) for a window titled $1 and prints its id.
e2e_window() {
  local name=$1 limit=${2:-20} i id
  for i in $(seq $((limit * 10))); do
    id=$(xdotool search --name "^${name}\$" 2>/dev/null | head -n 1)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "e2e: no window named '$name'" >&2
  return 1
}

# Fails the test with a message.
e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}
