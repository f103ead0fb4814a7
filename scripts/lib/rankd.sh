# The ranking server started for a test or a measurement, on the port asked for (port 0: a
# free one the system picks), with its log in a file. Source it from bash; it sets no shell
# options and works under `set -euo pipefail`.
#   rankd_start RANKD LOG ARGS...   starts it; its id in RANKD_PID, its port in RANKD_PORT
#   rankd_stop                      stops it; returns its exit status
#   rankd_clean_up_at_exit FOLDER   at the script's end: the server stopped, FOLDER removed

# Starts the program RANKD with ARGS (e.g. --port 0 --db FILE), its standard error into
# file LOG, and waits (up to 60 s) for its "listening on ADDRESS:PORT" line (an IPv6 address
# in brackets); sets RANKD_PORT
# to the port of its first one. Returns 1, with the server ended, when it stopped before or
# never said it listens: the reason is in LOG.
rankd_start() {
  local program=$1 log=$2 began=$SECONDS
  shift 2
  "$program" "$@" 2>"$log" &
  RANKD_PID=$!
  RANKD_PORT=
  while ((SECONDS - began < 60)); do
    RANKD_PORT=$(sed -n 's/.*listening on \(\[[0-9a-f:.]*\]\|[0-9.]*\):\([0-9]*\).*/\2/p' "$log" | head -n 1)
    [[ -n $RANKD_PORT ]] && return 0
    kill -0 "$RANKD_PID" 2>/dev/null || break
    sleep 0.1
  done
  rankd_stop || true
  return 1
}

# Stops the server rankd_start started as a service manager does (SIGTERM) and waits for
# it; returns its exit status (0 for a clean stop).
rankd_stop() {
  local status=0
  [[ -n ${RANKD_PID:-} ]] || return 0
  kill -TERM "$RANKD_PID" 2>/dev/null || true
  wait "$RANKD_PID" || status=$?
  RANKD_PID=
  return "$status"
}

# At the end of the script, however it ends: stops the server if it still runs and removes
# the folder FOLDER (a test's own, with the log and the database in it).
rankd_clean_up_at_exit() {
  RANKD_WORK=$1
  trap _rankd_clean_up EXIT
}

_rankd_clean_up() {
  rankd_stop 2>/dev/null || true
  rm -rf "$RANKD_WORK"
}
