#!/usr/bin/env bash
# A private desktop with a real Korean input method, to try the game's typing by hand or
# from a test: an X server (Xvfb), a D-Bus session bus and IBus with its Hangul engine (or
# fcitx5 with its Hangul engine), with HOME and the XDG folders in a folder of their own.
#   eval "$(scripts/ime-session.sh start [ibus|fcitx5|none] [hangul|latin] [folder])"
#       starts it all and prints the exports a program needs to run in it (DISPLAY, the bus,
#       HOME, XDG_*, XMODIFIERS...) and BRAKKEL_IME_SESSION, the session's folder (a new
#       one under /tmp unless given). hangul (the default) sets the engine to start in
#       Hangul mode, as Korean players have it; latin to start in Latin mode; none starts no
#       input method, to compare. Logs go to the folder. BRAKKEL_IME_SCREEN sets the
#       screen's size (default 1024x768).
#   scripts/ime-session.sh stop
#       (with BRAKKEL_IME_SESSION set) stops what start started, in reverse order.
# Exits 77 when the input method's programs are not installed.
# The README shows a session in use.
set -euo pipefail
source "$(dirname "$0")/lib/x_session.sh"

# Ends the processes whose ids the session's folder lists, last started first.
stop_session() {
  local dir=$1 pid
  [[ -f "$dir/pids" ]] || return 0
  for pid in $(tac "$dir/pids"); do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $(tac "$dir/pids"); do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  rm -f "$dir/pids"
}

fail() {
  echo "ime-session: $*" >&2
  stop_session "$dir"
  exit 1
}

start_x() {
  xvfb_start "${BRAKKEL_IME_SCREEN:-1024x768}x24" "$dir/xvfb.log" ||
    fail "no X server could be started or it does not answer (see $dir/xvfb.log)"
  echo "$XVFB_PID" >>"$dir/pids"
}

start_bus() {
  local told
  told=$(dbus-daemon --session --fork --nosyslog --print-address=1 --print-pid=1) ||
    fail "no D-Bus session bus could be started"
  export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$told")
  sed -n 2p <<<"$told" >>"$dir/pids"
}

# IBus with the Hangul engine as its only engine. The engine reads its mode when it is made,
# so the settings (dconf, through the bus) are written before the daemon starts.
start_ibus() {
  local s=org.freedesktop.ibus
  gsettings set $s.engine.hangul initial-input-mode "$mode" &&
    gsettings set $s.general preload-engines "['hangul']" &&
    gsettings set $s.general engines-order "['hangul']" ||
    fail "the IBus settings could not be written (dconf-gsettings-backend missing?)"
  [[ $(gsettings get $s.engine.hangul initial-input-mode) == "'$mode'" ]] ||
    fail "the IBus settings do not hold (is dconf the settings backend?)"
  # As a daemon of its own: ibus-daemon ends when the process that started it ends. Its
  # process id is in the address file it writes for its clients.
  ibus-daemon --daemonize --replace --xim --panel=disable >"$dir/ibus.log" 2>&1 </dev/null
  wait_until 30 ibus list-engine || fail "ibus-daemon does not answer (see $dir/ibus.log)"
  sed -n 's/^IBUS_DAEMON_PID=//p' "$XDG_CONFIG_HOME"/ibus/bus/* >>"$dir/pids"
  ibus engine hangul || fail "IBus has no Hangul engine (ibus-hangul missing?)"
  echo "export XMODIFIERS=@im=ibus GTK_IM_MODULE=ibus QT_IM_MODULE=ibus"
}

# fcitx5 with one group holding the US keyboard and the Hangul engine, Hangul first and
# active from the start (latin: the group starts on the keyboard instead).
start_fcitx5() {
  local first=hangul
  [[ $mode == latin ]] && first=keyboard-us
  mkdir -p "$XDG_CONFIG_HOME/fcitx5/conf"
  cat >"$XDG_CONFIG_HOME/fcitx5/profile" <<EOF
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=$first

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=hangul
Layout=

[GroupOrder]
0=Default
EOF
  local active=True
  [[ $mode == latin ]] && active=False
  printf '[Behavior]\nActiveByDefault=%s\n' "$active" >"$XDG_CONFIG_HOME/fcitx5/config"
  # Only what a headless session can run: no tray, no notifications, no panel.
  fcitx5 --disable=classicui,kimpanel,notificationitem,notifications,clipboard,emoji,quickphrase,spell,unicode,wayland,waylandim \
    >"$dir/fcitx5.log" 2>&1 &
  echo $! >>"$dir/pids"
  wait_until 30 dbus-send --session --print-reply --dest=org.fcitx.Fcitx5 /controller \
    org.fcitx.Fcitx.Controller1.CurrentInputMethod ||
    fail "fcitx5 does not answer on the bus (see $dir/fcitx5.log)"
  echo "export XMODIFIERS=@im=fcitx GTK_IM_MODULE=fcitx QT_IM_MODULE=fcitx"
}

# No input method at all: the desktop and the bus alone, to compare with.
start_none() {
  echo "unset XMODIFIERS GTK_IM_MODULE QT_IM_MODULE"
}

case "${1:-}" in
start)
  im=${2:-ibus}
  mode=${3:-hangul}
  case $im in
  ibus) needed=(ibus-daemon ibus gsettings /usr/share/ibus/component/hangul.xml) ;;
  fcitx5) needed=(fcitx5 /usr/share/fcitx5/inputmethod/hangul.conf) ;;
  none) needed=() ;;
  *) echo "usage: $0 start [ibus|fcitx5|none] [hangul|latin] [folder]" >&2; exit 2 ;;
  esac
  [[ $mode == hangul || $mode == latin ]] || { echo "ime-session: mode hangul or latin" >&2; exit 2; }
  for need in "${needed[@]}" Xvfb xdpyinfo dbus-daemon dbus-send; do
    if [[ $need == /* ]]; then [[ -e $need ]]; else command -v "$need"; fi >/dev/null ||
      { echo "ime-session: $need is not installed" >&2; exit 77; }
  done
  dir=${4:-$(mktemp -d /tmp/brakkel-ime.XXXXXX)}
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  : >"$dir/pids"
  export HOME=$dir/home XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data \
    XDG_CACHE_HOME=$dir/cache XDG_RUNTIME_DIR=$dir/runtime
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  start_x
  start_bus
  exports=$("start_$im") || exit 1
  echo "$im $mode" >"$dir/method"
  echo "export BRAKKEL_IME_SESSION=$dir DISPLAY=$DISPLAY DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
  echo "export HOME=$HOME XDG_CONFIG_HOME=$XDG_CONFIG_HOME XDG_DATA_HOME=$XDG_DATA_HOME"
  echo "export XDG_CACHE_HOME=$XDG_CACHE_HOME XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"
  echo "$exports"
  echo "ime-session: $im ($mode mode) on $DISPLAY, in $dir" >&2
  ;;
stop)
  [[ -n "${BRAKKEL_IME_SESSION:-}" ]] || { echo "ime-session: BRAKKEL_IME_SESSION is not set" >&2; exit 2; }
  dir=$BRAKKEL_IME_SESSION
  stop_session "$dir"
  ;;
*)
  echo "usage: $0 start [ibus|fcitx5|none] [hangul|latin] [folder] | $0 stop" >&2
  exit 2
  ;;
esac
