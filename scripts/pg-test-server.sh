#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests of rankd's PostgreSQL engine.
#   eval "$(scripts/pg-test-server.sh start)"   starts one on a free local port and prints
#                                               the exports the tests read:
#                                               BRAKKEL_TEST_PG_URI (no database name) and
#                                               BRAKKEL_TEST_PG_DIR (its folder)
#   scripts/pg-test-server.sh stop              stops it and removes its folder
# PostgreSQL refuses to run as root: as root the server runs as the user nobody.
set -euo pipefail
bin=${BRAKKEL_PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}

as_owner() {
  if [[ $(id -u) -eq 0 ]]; then runuser -u nobody -- "$@"; else "$@"; fi
}

case "${1:-}" in
start)
  [[ -x "$bin/initdb" ]] || { echo "pg-test-server: no PostgreSQL in ${bin:-/usr/lib/postgresql}" >&2; exit 1; }
  dir=$(mktemp -d /tmp/brakkel-pg.XXXXXX)
  [[ $(id -u) -eq 0 ]] && chown nobody "$dir"
  as_owner "$bin/initdb" -D "$dir/data" -U rankd --auth=trust -E UTF8 --no-locale >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  # A random port, tried again if something else holds it.
  for attempt in $(seq 1 20); do
    port=$((20000 + RANDOM % 30000))
    if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
      -o "-p $port -c listen_addresses=127.0.0.1 -c unix_socket_directories=$dir -c max_connections=200" \
      start >/dev/null 2>&1; then
      echo "export BRAKKEL_TEST_PG_URI=postgresql://rankd@127.0.0.1:$port BRAKKEL_TEST_PG_DIR=$dir"
      echo "pg-test-server: PostgreSQL on 127.0.0.1:$port, in $dir" >&2
      exit 0
    fi
  done
  tail -n 20 "$dir/server.log" >&2 || true
  echo "pg-test-server: PostgreSQL did not start" >&2
  exit 1
  ;;
stop)
  dir=${BRAKKEL_TEST_PG_DIR:-}
  [[ -n "$dir" && -d "$dir/data" ]] || exit 0
  as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start|stop" >&2
  exit 2
  ;;
esac
