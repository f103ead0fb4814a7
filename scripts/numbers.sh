#!/usr/bin/env bash
# Every performance figure of the game in one table, each beside its goal: the frame times
# and their ratios to the memory floor (Google Benchmark programs, each ratio from one run of
# one program), sprite drawing against SDL's blitter, the processor share of the screens in a
# real X server (scripts/cpu.sh), and the ranking server's throughput (closed loop), latency
# (open loop, from each exchange's scheduled start), memory, processor time per exchange and
# replay checks a second on both storage engines (rankload against rankd; the replay checks on
# SQLite), with the floor of processor time this machine's kernel sets (rankfloor).
#
# Usage: scripts/numbers.sh [display-number]
#   display-number: the Xvfb display for the processor figures (default: cpu.sh's choice).
#   BRAKKEL_NUMBERS_DIR: the build folder (default build-numbers/, optimised as the game
#     ships: RelWithDebInfo, -O2).
#   BRAKKEL_NUMBERS_REPS: repetitions of each benchmark (default 10); figures are medians.
#   BRAKKEL_CPU_SECONDS: seconds per processor figure (cpu.sh's default when unset).
#   BRAKKEL_RANKLOAD_SECONDS: seconds of each load on each storage engine (default 10).
#   BRAKKEL_RANKLOAD_RATE: exchanges a second offered in the open loop (default 10000).
#   BRAKKEL_RANKLOAD_COST_RATE: the open loop of the figures this machine can judge beside
#     rankload (rankd's processor time per exchange, p99): exchanges a second (default 3000).
#   BRAKKEL_RANKLOAD_COST_RUNS: runs of that loop on each engine, figures medians (default 3).
# The PostgreSQL figures use a throwaway server (scripts/pg-test-server.sh).
# Prints a Markdown table on standard output; progress goes to standard error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/rankd.sh"
build=${BRAKKEL_NUMBERS_DIR:-$root/build-numbers}
reps=${BRAKKEL_NUMBERS_REPS:-10}
display=${1:-}

for tool in jq awk cmake; do
  command -v "$tool" >/dev/null || { echo "numbers.sh: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
pg_started=
cleanup() {
  rankd_stop 2>/dev/null || true
  [[ -n $pg_started ]] && "$root/scripts/pg-test-server.sh" stop || true
  rm -rf "$work"
}
trap cleanup EXIT
say() { echo "numbers.sh: $*" >&2; }

say "building in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRAKKEL_WERROR=ON >/dev/null
cmake --build "$build" -j2 >/dev/null

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
rows=()
# row WHAT GOAL MEASURED VERDICT
row() { rows+=("| $1 | $2 | $3 | $4 |"); }
# verdict VALUE OP LIMIT: ok when VALUE OP LIMIT holds (OP is <= or >=).
verdict() { awk -v v="$1" -v l="$3" -v op="$2" 'BEGIN { ok = op == "<=" ? v <= l : v >= l; print ok ? "ok" : "**not met**" }'; }
fmt() { awk -v v="$1" -v d="${2:-3}" 'BEGIN { printf "%.*f", d, v }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# bench PROGRAM: runs it with repetitions, interleaved, into $work/PROGRAM.json.
bench() {
  say "running $1 ($reps repetitions each)"
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$build/bin/$1" --benchmark_repetitions="$reps" \
    --benchmark_enable_random_interleaving=true --benchmark_format=json \
    --benchmark_out="$work/$1.json" --benchmark_out_format=json >/dev/null 2>"$work/$1.log" ||
    { cat "$work/$1.log" >&2; exit 1; }
}
# median PROGRAM BENCHMARK: its median real time in milliseconds.
median() {
  jq -r --arg n "$2" '.benchmarks[] | select(.run_name == $n and .aggregate_name == "median")
    | .real_time * (if .time_unit == "us" then 0.001 elif .time_unit == "ns" then 0.000001 else 1 end)' \
    "$work/$1.json"
}

bench present_bench
bench stage_bench
bench sprite_bench
bench replay_bench
floor_present=$(median present_bench BM_MemoryFloor)
present=$(median present_bench BM_PresentFrame)
floor_stage=$(median stage_bench BM_MemoryFloor)
stage=$(median stage_bench BM_StageFrameFullPool)
ours=$(median sprite_bench BM_SpritesOurs)
sdl_palette=$(median sprite_bench BM_SpritesSdlPalette)
sdl_pretinted=$(median sprite_bench BM_SpritesSdlPretinted)
sdl_rle=$(median sprite_bench BM_SpritesSdlScreenFormatRle)

# A recorded game verified: how many times faster than real time, from the median run of the
# benchmark's long game (its length in the benchmark's "frames" counter, 50 ms each); and the
# games checked a second on one and on two threads, each game in a world of its own.
replay_ms=$(median replay_bench BM_VerifyLongGame/real_time)
replay_frames=$(jq -r '[.benchmarks[] | select(.run_name == "BM_VerifyLongGame/real_time")][0].frames' "$work/replay_bench.json")
replay_times=$(awk -v ms="$replay_ms" -v f="$replay_frames" 'BEGIN { printf "%.0f", f * 50 / ms }')
replay_ten=$(awk -v ms="$replay_ms" -v f="$replay_frames" 'BEGIN { printf "%.1f", ms / f * 12000 }')
one_thread=$(median replay_bench BM_VerifyOnThreads/1/real_time)
two_threads=$(median replay_bench BM_VerifyOnThreads/2/real_time)
# Each thread checks the same number of games: two threads do twice the work of one.
speedup=$(awk -v a="$one_thread" -v b="$two_threads" 'BEGIN { printf "%.2f", 2 * a / b }')
r=$(ratio "$present" "$floor_present")
row "Memory floor: a 614,400-byte copy into the FrameBuffer and the conversion of that frame to 32-bit window pixels (present_bench's run)" \
  "—" "$(fmt "$floor_present") ms" ""
row "Presentation path: scrolled background, copy to the off-screen surface, four HUD lines, present" \
  "≤ 2 × floor" "$(fmt "$present") ms = $r × floor" "$(verdict "$r" "<=" 2)"
r=$(ratio "$stage" "$floor_stage")
row "Full stage frame at the heaviest load: 5000 mobs active, 250 on screen, HUD, stage banner at its largest (floor $(fmt "$floor_stage") ms in stage_bench's run)" \
  "≤ 4 × floor" "$(fmt "$stage") ms = $r × floor" "$(verdict "$r" "<=" 4)"
r=$(ratio "$sdl_palette" "$ours")
row "Sprites of that frame (250 tinted mobs, the chicken): the game against SDL_BlitSurface from 8-bit colour-keyed surfaces, palette entry changed per mob" \
  "≥ 2 × faster" "$(fmt "$ours") ms against $(fmt "$sdl_palette") ms: $r × faster" "$(verdict "$r" ">=" 2)"
r=$(ratio "$sdl_pretinted" "$ours")
row "The same against SDL with a pretinted 8-bit surface per frame and colour (no palette change)" \
  "≥ 2 × faster" "$(fmt "$ours") ms against $(fmt "$sdl_pretinted") ms: $r × faster" "$(verdict "$r" ">=" 2)"
r=$(ratio "$sdl_rle" "$ours")
row "For comparison: SDL with those surfaces converted to RGB555 and run-length coded (not 8-bit)" \
  "—" "$(fmt "$ours") ms against $(fmt "$sdl_rle") ms: $r × as fast" ""

row "A recorded game played again headless (soloplay --verify), times faster than real time on one core" \
  "≥ 20,000 ×" "$replay_times × (a 10-minute game in $replay_ten ms)" "$(verdict "$replay_times" ">=" 20000)"
row "Recorded games checked at once on two threads against one, each in a world of its own (load average before: $load_before)" \
  "≥ 1.8 ×" "$speedup × as many games a second" "$(verdict "$speedup" ">=" 1.8)"

say "processor shares in Xvfb (scripts/cpu.sh)"
BRAKKEL_BUILD_DIR=$build "$root/scripts/cpu.sh" ${display:+"$display"} >"$work/cpu.txt" 2>&1 ||
  { cat "$work/cpu.txt" >&2; exit 1; }
while IFS= read -r line; do
  [[ $line =~ ^(.*[^ ])\ +([0-9.]+)\ %\ of\ one\ core\ +goal\ \<=\ +([0-9]+)\ % ]] || continue
row "Processor share: ${BASH_REMATCH[1]} (whole process, Xvfb)" "≤ ${BASH_REMATCH[3]} %" \
    "${BASH_REMATCH[2]} %" "$(verdict "${BASH_REMATCH[2]}" "<=" "${BASH_REMATCH[3]}")"
done <"$work/cpu.txt"

# The ranking server on one engine: rankd on a free port, then rankload twice against it for
# $BRAKKEL_RANKLOAD_SECONDS seconds each, both while 2000 idle connections wait for a name: a
# closed loop of 200 clients (the most exchanges a second it keeps up) and an open loop that
# starts $BRAKKEL_RANKLOAD_RATE exchanges a second on a fixed schedule (latency from each
# scheduled start); then rankd is stopped. Each figure carries the 1-minute load average at
# its start. rankd_engine NAME DATABASE
rankd_engine() {
  local name=$1 db=$2 log=$work/rankd-$1.log closed=$work/closed-$1.txt open=$work/open-$1.txt
  say "rankd on $name: rankload for $rank_seconds s closed, $rank_seconds s at $rank_rate a second"
  if ! rankd_start "$build/bin/rankd" "$log" --port 0 --db "$db"; then
    row "Ranking server on $name" "—" "not measured: rankd did not start ($(tail -n 1 "$log"))" "**not met**"
    return
  fi
  local load_closed load_open
  load_closed=$(cut -d' ' -f1 /proc/loadavg)
  "$build/bin/rankload" --port "$RANKD_PORT" --seconds "$rank_seconds" --pid "$RANKD_PID" --db "$db" >"$closed" 2>&1 || true
  load_open=$(cut -d' ' -f1 /proc/loadavg)
  "$build/bin/rankload" --port "$RANKD_PORT" --seconds "$rank_seconds" --rate "$rank_rate" --db "$db" >"$open" 2>&1 || true
  rankd_stop 2>/dev/null || true
  # figure FILE 'p50': the number after that word on the latency line.
  figure() { sed -n "s/^latency:.*[ (]$2 \([0-9.]*\) ms.*/\1/p" "$1"; }
  local rate hwm result
  rate=$(sed -n 's/^exchanges: .*= \([0-9]*\) per second.*/\1/p' "$closed")
  hwm=$(sed -n 's/^server peak memory (VmHWM): \([0-9]*\) kB.*/\1/p' "$closed")
  result=$(sed -n 's/^result: //p' "$closed")
  if [[ -z $rate ]]; then
    row "Ranking server on $name, closed loop" "—" "not measured: $(tail -n 1 "$closed")" "**not met**"
  else
    row "Ranking server on $name, closed loop: most exchanges per second (rankload, 200 clients, 2000 idle; result $result; load average $load_closed)" \
      "≥ 15000" "$rate" "$(verdict "$rate" ">=" 15000)"
    row "Ranking server on $name, closed loop: latency, mostly rankload's own queue of 200 clients (p50 $(figure "$closed" p50) ms)" \
      "—" "p99 $(figure "$closed" p99) ms" ""
    row "Ranking server on $name: peak memory of rankd (VmHWM)" "—" \
      "$(awk -v k="${hwm:-0}" 'BEGIN { printf "%.1f MB", k / 1024 }')" ""
  fi
  local achieved p99 late
  achieved=$(sed -n 's/^exchanges: .*= \([0-9]*\) per second.*/\1/p' "$open")
  p99=$(figure "$open" p99)
  late=$(sed -n 's/^schedule: [0-9]* exchanges started, \([0-9]*\) of them late.*/\1/p' "$open")
  result=$(sed -n 's/^result: //p' "$open")
  if [[ -z $achieved || -z $p99 ]]; then
    row "Ranking server on $name, open loop" "—" "not measured: $(tail -n 1 "$open")" "**not met**"
    return
  fi
  local errors behind= paused
  errors=$(sed -n 's/^errors: \([0-9]*\) exchanges.*/\1/p' "$open")
  paused=$(sed -n 's/^machine: .* woke up to \([0-9.]*\) ms late, \([0-9]*\) times over \([0-9]*\) ms.*/the machine paused \2 times over \3 ms, the longest \1 ms/p' "$open")
  grep -q '^schedule: BEHIND' "$open" && behind="; **rankload behind its schedule**"
  row "Ranking server on $name, open loop: latency p99 from the scheduled start, $rank_rate a second offered, 2000 idle (achieved $achieved a second; p50 $(figure "$open" p50), p90 $(figure "$open" p90), p99.9 $(figure "$open" p99.9), max $(figure "$open" max) ms; $errors errors; $late started over 1 ms late$behind; ${paused:-no pause watch}; result $result; load average $load_open)" \
    "≤ 10 ms" "$p99 ms" "$(verdict "$p99" "<=" 10)"
}

# The figures this 2-core machine can judge with the load program beside the server: its own
# processor time per exchange (user + system of every thread, from /proc/PID/stat as the
# clients begin and end, which holds the kernel's work on its sockets) and the p99 of an open
# loop of $cost_rate a second and 2000 idle connections, each the median of $cost_runs runs
# against one fresh server, with the machine's pauses of every run beside; the first run
# begins once the connections of the loads before have closed (settle).
# cost_loop NAME [RANKLOAD-ARGS...]: the runs against the server rankd_start started (and
# stops here); sets cost_cpu, cost_p99 (medians), cost_text (the runs), false when none gave
# a figure (the reason in cost_text).
cost_loop() {
  local name=$1 out cpus=() p99s=() pauses=() loads=()
  shift
  settle
  for ((run = 1; run <= cost_runs; ++run)); do
    out=$work/cost-$name-$run.txt
    loads+=("$(cut -d' ' -f1 /proc/loadavg)")
    "$build/bin/rankload" --port "$RANKD_PORT" --seconds "$rank_seconds" --rate "$cost_rate" --pid "$RANKD_PID" "$@" \
      >"$out" 2>&1 || true
    cpus+=("$(sed -n 's/^server processor time: \([0-9.]*\) us.*/\1/p' "$out")")
    p99s+=("$(sed -n 's/^latency:.*[ (]p99 \([0-9.]*\) ms.*/\1/p' "$out")")
    pauses+=("$(sed -n 's/^machine: .* woke up to \([0-9.]*\) ms late, \([0-9]*\) times over.*/\2 over 20 ms, longest \1 ms/p' "$out")")
  done
  rankd_stop 2>/dev/null || true
  if [[ -z ${cpus[*]// /} || -z ${p99s[*]// /} ]]; then
    cost_text="not measured: $(tail -n 1 "$out")"
    return 1
  fi
  cost_cpu=$(printf '%s\n' "${cpus[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  cost_p99=$(printf '%s\n' "${p99s[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  cost_text="runs: ${cpus[*]} µs; load average $(IFS=/; echo "${loads[*]}")"
  cost_pauses="runs: ${p99s[*]} ms; the machine paused $(IFS=';'; echo "${pauses[*]}" | sed 's/;/; /g')"
}

# Waits (75 s at most) until the connections of the loads before have left TIME_WAIT: the
# server closes each exchange's connection first, so the kernel keeps it for a minute, and
# with a hundred thousand of them every new connection costs the server half as much again.
settle() {
  command -v ss >/dev/null || return 0
  local waited
  for ((waited = 0; waited < 75; ++waited)); do
    (($(ss -tan state time-wait | wc -l) < 1000)) && return 0
    sleep 1
  done
}

# rankd_cost NAME DATABASE CPU-GOAL-US: rankd with 10 % submissions, then with declines only
# (what the commits cost is the difference).
rankd_cost() {
  local name=$1 db=$2 goal=$3 log=$work/rankd-cost-$1.log
  say "rankd on $name: processor time per exchange, $cost_runs runs of $rank_seconds s at $cost_rate a second"
  if ! rankd_start "$build/bin/rankd" "$log" --port 0 --db "$db"; then
    row "Ranking server on $name: processor time per exchange" "—" "not measured: rankd did not start" "**not met**"
    return
  fi
  if ! cost_loop "$name"; then
    row "Ranking server on $name: processor time per exchange" "—" "$cost_text" "**not met**"
    return
  fi
  row "Ranking server on $name: rankd's processor time per exchange, user + system of all its threads, open loop of $cost_rate a second, 2000 idle, 10 % submissions ($cost_text)" \
    "≤ $goal µs" "$cost_cpu µs" "$(verdict "$cost_cpu" "<=" "$goal")"
  row "Ranking server on $name, open loop at $cost_rate a second, 2000 idle: latency p99 from the scheduled start ($cost_pauses)" \
    "≤ 3 ms" "$cost_p99 ms" "$(verdict "$cost_p99" "<=" 3)"
  say "rankd on $name: the same with declines only"
  cost_text="not measured: rankd did not start"
  if rankd_start "$build/bin/rankd" "$log" --port 0 --db "$db" && cost_loop "$name-declines" --submit-percent 0; then
    row "The same with declines only: what the exchange costs without the commits ($cost_text)" "—" "$cost_cpu µs" ""
  else
    row "The same with declines only" "—" "$cost_text" ""
  fi
}

# The floor under those figures: the same loop against rankfloor, which answers with fixed
# bytes and keeps nothing, so its processor time is nearly all the kernel's work on the
# connections (accepting, reading, sending, closing, waking up) on this machine.
rankd_floor() {
  say "rankfloor: processor time per exchange, $cost_runs runs"
  cost_text="not measured: rankfloor did not start"
  if rankd_start "$build/bin/rankfloor" "$work/rankfloor.log" --port 0 && cost_loop floor --submit-percent 0; then
    row "The floor under those: a server that answers with fixed bytes and keeps nothing (rankfloor), same loop, declines ($cost_text)" \
      "—" "$cost_cpu µs" ""
  else
    row "The floor under those (rankfloor)" "—" "$cost_text" ""
  fi
}

# Replay checks through rankd itself (SQLite): the longest kept game's result kept under many
# names, then its replay uploaded for each (rankload --replay), and the games verified a
# second; then the same on a fresh server behind ten hostile uploads of a game that never
# ends a stage. Two checking threads where rankd has --check-threads, else its one.
# rankd_replays GAME SECONDS-OF-PLAY
rankd_replays() {
  local game=$1 played=$2 threads=1 args=() out figures=() hostile
  if "$build/bin/rankd" --help | grep -q -- --check-threads; then
    threads=2
    args=(--check-threads 2)
  fi
  for hostile in 0 10; do
    say "rankd checking replays on $threads threads, $hostile hostile uploads first"
    out=$work/replays-$hostile.txt
    rm -f "$work/replays.sqlite"
    if ! rankd_start "$build/bin/rankd" "$work/replays-$hostile.log" --port 0 --db "$work/replays.sqlite" \
      --require-verified --http 127.0.0.1:0 "${args[@]}"; then
      echo "rankd did not start" >"$out"
    else
      "$build/bin/rankload" --port "$RANKD_PORT" --idle 0 --seconds 20 --uploads 1000 --replay "$game" \
        --hostile "$hostile" --http "$(sed -n 's|.*web page on http://\([^/]*\)/.*|\1|p' "$work/replays-$hostile.log")" \
        >"$out" 2>&1 || true
      rankd_stop 2>/dev/null || true
    fi
    figures+=("$(sed -n 's/^replays: .* = \([0-9.]*\) a second.*/\1/p' "$out")")
  done
  if [[ -z ${figures[0]} || -z ${figures[1]} ]]; then
    row "Replay checks through rankd" "—" "not measured: $(tail -n 1 "$out")" "**not met**"
    return
  fi
  local goal
  goal=$(awk -v t="$threads" -v s="$played" 'BEGIN { printf "%.0f", t * 20000 / s }')
  local threads_text="one checking thread (this rankd has no --check-threads)"
  ((threads == 1)) || threads_text="$threads checking threads"
  row "Replay checks through rankd on $threads_text: honest games of $played s of play ($(basename "$game")) checked a second ($(sed -n 's/^replays: \([0-9]*\) games.* checked in \([0-9.]*\) s.*/\1 in \2 s/p' "$work/replays-0.txt"))" \
    "≥ $goal (20,000 × real time a thread)" "${figures[0]} a second" "$(verdict "${figures[0]}" ">=" "$goal")"
  row "The same while ten hostile uploads wait before them (one mob at x = 2^31 − 1, six hours of frames; $(sed -n 's/^replays: \([0-9]*\) games.* checked in \([0-9.]*\) s.*; \([0-9]*\) uploads lost.*/\1 in \2 s, \3 uploads dropped by the server/p' "$work/replays-10.txt"))" \
    "≥ half the above" "${figures[1]} a second" "$(verdict "${figures[1]}" ">=" "$(awk -v f="${figures[0]}" 'BEGIN { print f / 2 }')")"
}

rankd_rows() {
  if [[ ! -x $build/bin/rankd || ! -x $build/bin/rankload ]]; then
    row "Ranking server: throughput, p99 latency, peak memory (SQLite, PostgreSQL)" "—" \
      "not measured: no rankd and rankload in this tree" ""
    return
  fi
  rank_seconds=${BRAKKEL_RANKLOAD_SECONDS:-10}
  rank_rate=${BRAKKEL_RANKLOAD_RATE:-10000}
  cost_rate=${BRAKKEL_RANKLOAD_COST_RATE:-3000}
  cost_runs=${BRAKKEL_RANKLOAD_COST_RUNS:-3}
  rankd_engine SQLite "$work/rankd.sqlite"
  rankd_cost SQLite "$work/rankd-cost.sqlite" 40
  rankd_floor
  local game=easy-hunted-to-stage-5.replay  # the longest kept game
  rankd_replays "$root/tests/replays/$game" "$(sed -n "s/^$game .*seconds=\([0-9]*\).*/\1/p" "$root/tests/replays/expected.txt")"
  # A throwaway PostgreSQL server, as the tests use, with a database of its own.
  local pg
  if ! pg=$("$root/scripts/pg-test-server.sh" start 2>"$work/pg.log"); then
    row "Ranking server on PostgreSQL" "—" "not measured: $(tail -n 1 "$work/pg.log")" "**not met**"
    return
  fi
  eval "$pg"
  pg_started=1
  psql -q "$BRAKKEL_TEST_PG_URI/postgres" -c "CREATE DATABASE rankload"
  rankd_engine PostgreSQL "$BRAKKEL_TEST_PG_URI/rankload"
  psql -q "$BRAKKEL_TEST_PG_URI/postgres" -c "CREATE DATABASE rankcost"
  rankd_cost PostgreSQL "$BRAKKEL_TEST_PG_URI/rankcost" 60
}
rankd_rows

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores of \"$cpu\"; load average"
echo "$load_before before, $load_after after; medians of $reps repetitions."
echo
echo "| What | Goal | Measured | |"
echo "|---|---|---|---|"
printf '%s\n' "${rows[@]}"
