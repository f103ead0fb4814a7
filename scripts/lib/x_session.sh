# A private X server (Xvfb) and a window manager (openbox) on it, for the scripts and the
# end-to-end tests that drive the real programs. Source it from bash; it sets no shell
# options and works under `set -euo pipefail`.
#   xvfb_start SCREEN LOG [NUMBER]   an X server; exports DISPLAY, its id in XVFB_PID
#   xvfb_stop                        ends it
#   openbox_start LOG [SECONDS]      openbox managing its screen; its id in OPENBOX_PID
#   openbox_stop                     ends it
#   wait_until SECONDS COMMAND...    waits for a command to succeed
# A start function returns 1, having left nothing of its own running, when its program does
# not come up; what to say then is the caller's.

# Runs COMMAND, its output dropped, every tenth of a second until it succeeds, for up to
# SECONDS seconds; returns 1 when it never did.
wait_until() {
  local limit=$1 began=$SECONDS
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS - began < limit)) || return 1
    sleep 0.1
  done
}

# Starts Xvfb with a screen of SCREEN (WxHxDEPTH), its output into file LOG, on display
# NUMBER when given; else Xvfb picks a free display itself and tells which (-displayfd),
# so a server of someone else's is never mistaken for ours. Exports DISPLAY once the
# server answers (within 20 s).
# -noreset: an X server resets itself when its last client leaves (the check here, each
# xdotool call) and drops whoever connects meanwhile, so a program would at times find no
# display.
xvfb_start() {
  local screen=$1 log=$2 number=${3:-} told
  if [[ -n $number ]]; then
    Xvfb ":$number" -screen 0 "$screen" -nolisten tcp -noreset >"$log" 2>&1 &
    XVFB_PID=$!
  else
    told=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$told" >"$log" 2>&1 &
    XVFB_PID=$!
    # The number comes once the server takes clients; an Xvfb that fails ends instead.
    if wait_until 20 _xvfb_told "$told" "$XVFB_PID"; then number=$(head -n 1 "$told" | tr -dc 0-9); fi
    rm -f "$told"
  fi
  XVFB_NUMBER=$number
  if [[ -n $number ]]; then
    export DISPLAY=:$number
    wait_until 20 xdpyinfo && return 0
  fi
  xvfb_stop
  return 1
}

# True when file $1 holds a display number, or when process $2 has ended.
_xvfb_told() { grep -q '^[0-9]' "$1" || ! kill -0 "$2"; }

# Ends the X server xvfb_start started, and waits (up to 5 s) until its display is free for
# another server.
xvfb_stop() {
  if [[ -n ${XVFB_PID:-} ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  if [[ -n ${XVFB_NUMBER:-} ]]; then
    wait_until 5 test ! -e "/tmp/.X$XVFB_NUMBER-lock" || true
  fi
  XVFB_PID= XVFB_NUMBER=
}

# Starts openbox on the X server of DISPLAY, its output into file LOG, and waits (up to
# SECONDS, default 40) until it manages the screen. Returns 1 too without openbox.
openbox_start() {
  command -v openbox >/dev/null || return 1
  openbox --sm-disable >"$1" 2>&1 &
  OPENBOX_PID=$!
  wait_until "${2:-40}" _openbox_manages && return 0
  openbox_stop
  return 1
}

_openbox_manages() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }

# Ends the openbox openbox_start started.
openbox_stop() {
  if [[ -n ${OPENBOX_PID:-} ]]; then
    kill "$OPENBOX_PID" 2>/dev/null || true
    wait "$OPENBOX_PID" 2>/dev/null || true
  fi
  OPENBOX_PID=
}
