#!/usr/bin/env bash
# rankd under a few seconds of load from rankload: every exchange completes, every
# acknowledged submission is in the database once, and the server stops cleanly (status 0:
# under the sanitizers any report of theirs fails it). On SQLite, and on PostgreSQL when the
# test command started one (BRAKKEL_TEST_PG_URI).
# Usage: under_load.sh <bin folder> sqlite|postgresql
set -euo pipefail
bin=$1
engine=$2
work=$(mktemp -d)
server=
cleanup() {
  [[ -n "$server" ]] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if [[ $engine == postgresql ]]; then
  if [[ -z "${BRAKKEL_TEST_PG_URI:-}" ]]; then
    echo "SKIP: no PostgreSQL server (run through scripts/test.sh)"
    exit 77
  fi
  name=load_$$_$RANDOM
  psql -q "$BRAKKEL_TEST_PG_URI/postgres" -c "CREATE DATABASE $name" || { echo "FAIL: no database"; exit 1; }
  db=$BRAKKEL_TEST_PG_URI/$name
else
  db=$work/rankd.sqlite
fi

"$bin/rankd" --port 0 --db "$db" 2>"$work/rankd.log" &
server=$!
for _ in $(seq 600); do grep -q "listening on" "$work/rankd.log" && break; sleep 0.1; done
port=$(grep -o "listening on [0-9.]*:[0-9]*" "$work/rankd.log" | head -n 1 | sed 's/.*://')
[[ -n "$port" ]] || { cat "$work/rankd.log"; echo "FAIL: rankd did not start"; exit 1; }

status=0
"$bin/rankload" --port "$port" --seconds 3 --clients 50 --idle 200 --pid "$server" --db "$db" || status=$?
kill -TERM "$server"
server_status=0
wait "$server" || server_status=$?
server=
if [[ $engine == postgresql ]]; then
  psql -q "$BRAKKEL_TEST_PG_URI/postgres" -c "DROP DATABASE $name" || true
fi
grep -v " ms$" "$work/rankd.log" | tail -n 20
[[ $status -eq 0 ]] || { echo "FAIL: rankload found a fault"; exit 1; }
[[ $server_status -eq 0 ]] || { echo "FAIL: rankd ended with status $server_status"; exit 1; }
echo "rankd under load on $engine: every exchange complete, nothing lost, a clean stop"
