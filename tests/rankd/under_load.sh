#!/usr/bin/env bash
# rankd under a few seconds of load from rankload, its clients in a closed loop and then on a
# fixed schedule (--rate): every exchange completes, every scheduled one is started and
# reported with its latency figures and the server's processor time, every acknowledged
# submission is in the database once, and the server stops cleanly (status 0:
# under the sanitizers any report of theirs fails it). On SQLite, and on PostgreSQL when the
# test command started one (BRAKKEL_TEST_PG_URI). On SQLite also rankload's replay mode: a kept
# game's result under 20 names, its replay uploaded for each, and all 20 checked.
# Usage: under_load.sh <bin folder> sqlite|postgresql
set -euo pipefail
bin=$1
engine=$2
source "$(dirname "$0")/../../scripts/lib/rankd.sh"
work=$(mktemp -d)
rankd_clean_up_at_exit "$work"

# rankload's own command line, checked once (on the SQLite pass): --help answers on standard
# output with status 0; a bad option or value gives one line on standard error, "rankload: "
# first, and status 2, before anything is played.
if [[ $engine == sqlite ]]; then
  for args in "--help" "--port 1 --help"; do
    # shellcheck disable=SC2086 # the words of one command line
    "$bin/rankload" $args >"$work/out" 2>"$work/err" && status=0 || status=$?
    [[ $status -eq 0 && $(head -n 1 "$work/out") == "Usage: rankload [options]" && ! -s $work/err ]] ||
      { echo "FAIL: rankload $args: status $status, '$(cat "$work/err")'"; exit 1; }
  done
  for args in "--port" "--port x" "--port 70000" "--clients 0" "--frob 1" "--help=1"; do
    # shellcheck disable=SC2086
    "$bin/rankload" $args >"$work/out" 2>"$work/err" && status=0 || status=$?
    [[ $status -eq 2 && ! -s $work/out && $(wc -l <"$work/err") -eq 1 && $(cat "$work/err") == "rankload: "* ]] ||
      { echo "FAIL: rankload $args: status $status, out '$(cat "$work/out")', err '$(cat "$work/err")'"; exit 1; }
  done
fi

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

rankd_start "$bin/rankd" "$work/rankd.log" --port 0 --db "$db" ||
  { cat "$work/rankd.log"; echo "FAIL: rankd did not start"; exit 1; }

status=0
"$bin/rankload" --port "$RANKD_PORT" --seconds 3 --clients 50 --idle 200 --pid "$RANKD_PID" --db "$db" || status=$?
# 1000 exchanges due over two seconds; however late the machine lets them start, each must be
# started, answered and counted once.
open_status=0
"$bin/rankload" --port "$RANKD_PORT" --seconds 2 --rate 500 --idle 50 --pid "$RANKD_PID" --db "$db" >"$work/open.txt" || open_status=$?
cat "$work/open.txt"
server_status=0
rankd_stop || server_status=$?
if [[ $engine == postgresql ]]; then
  psql -q "$BRAKKEL_TEST_PG_URI/postgres" -c "DROP DATABASE $name" || true
fi
grep -v " ms$" "$work/rankd.log" | tail -n 20
[[ $status -eq 0 ]] || { echo "FAIL: rankload found a fault"; exit 1; }
[[ $open_status -eq 0 ]] || { echo "FAIL: rankload on a schedule found a fault"; exit 1; }
expect() { grep -Eq "$1" "$work/open.txt" || { echo "FAIL: no line like: $1"; exit 1; }; }
expect '^rankload: 500 exchanges a second offered for 2\.0 s \(open loop'
expect '^exchanges: 1000 complete \([0-9]+ declines, [0-9]+ submissions\) in [0-9.]+ s = [0-9]+ per second$'
expect '^schedule: 1000 exchanges started, [0-9]+ of them late by more than 1 ms \(the latest [0-9.]+ ms\)'
num='[0-9]+\.[0-9]{2}'
expect "^latency: p50 $num ms, p90 $num ms, p99 $num ms, p99\.9 $num ms, max $num ms"
expect "^machine: a thread sleeping 1 ms at a time woke up to [0-9.]+ ms late, [0-9]+ times over 20 ms late"
expect '^errors: 0 exchanges; idle connections: 50 held, 50 answered at the end, 0 failed$'
expect '^server processor time: [0-9.]+ us per exchange \(user [0-9.]+, system [0-9.]+; [0-9.]+ s in all\)$'
expect '^check of the database: [0-9]+ rows of this run kept; of [0-9]+ acknowledged: 0 missing, 0 different, 0 kept twice$'
[[ $server_status -eq 0 ]] || { echo "FAIL: rankd ended with status $server_status"; exit 1; }
if [[ $engine == sqlite ]]; then
  rankd_start "$bin/rankd" "$work/replays.log" --port 0 --db "$work/replays.sqlite" --require-verified \
    --http 127.0.0.1:0 || { cat "$work/replays.log"; echo "FAIL: rankd did not start"; exit 1; }
  http=$(sed -n 's|.*web page on http://\([^/]*\)/.*|\1|p' "$work/replays.log" | head -n 1)
  "$bin/rankload" --port "$RANKD_PORT" --http "$http" --idle 0 --seconds 60 --uploads 20 \
    --replay "$(dirname "$0")/../replays/netplay-normal.replay" >"$work/replays.txt" || status=$?
  cat "$work/replays.txt"
  rankd_stop || server_status=$?
  [[ $status -eq 0 && $server_status -eq 0 ]] || { echo "FAIL: replay mode: rankload $status, rankd $server_status"; exit 1; }
  grep -Eq '^replays: 20 games of [0-9]+ frames \(.*\) checked in [0-9.]+ s = [0-9.]+ a second, 0 hostile' \
    "$work/replays.txt" || { echo "FAIL: not every uploaded game was checked"; exit 1; }
  # rankfloor, the floor under numbers.sh's figures, plays the exchange as rankd does.
  rankd_start "$bin/rankfloor" "$work/floor.log" --port 0 || { cat "$work/floor.log"; echo "FAIL: rankfloor did not start"; exit 1; }
  "$bin/rankload" --port "$RANKD_PORT" --seconds 1 --rate 200 --idle 20 --submit-percent 0 --pid "$RANKD_PID" \
    >"$work/floor.txt" || status=$?
  rankd_stop || server_status=$?
  [[ $status -eq 0 && $server_status -eq 0 ]] &&
    grep -q '^errors: 0 exchanges; idle connections: 20 held, 20 answered at the end, 0 failed$' "$work/floor.txt" ||
    { cat "$work/floor.txt"; echo "FAIL: rankfloor: rankload $status, rankfloor $server_status"; exit 1; }
fi
echo "rankd under load on $engine, closed loop and on a schedule: every exchange complete, nothing lost, a clean stop"
