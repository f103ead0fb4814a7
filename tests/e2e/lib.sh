# Shared steps of the end-to-end tests: a private X server, the game's window, input, and
# the closing of the window. Source it from a test script run with bash.

# Starts a private Xvfb and exports DISPLAY. Xvfb picks a free display itself and tells
# which (-displayfd), so a server of someone else's is never mistaken for ours.
e2e_start_x() {
  local told i
  told=$(mktemp)
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$told" >/dev/null 2>&1 &
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

# Waits (up to $2 seconds, default 40) for a window titled $1 and prints its id.
e2e_window() {
  local name=$1 limit=${2:-40} i id
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
