#!/usr/bin/env bash
# Whole recorded games kept in tests/replays/ play again, without a display, to the result
# written beside them in expected.txt ("FILE mode=M stage=S score=N combo=C seconds=T" a line).
# A change to the rules that changes how a game ends fails here: record the games again
# (README.md, "Replays") only when the change is meant.
# Usage: replay_regression_check.sh BIN_DIR REPLAYS_DIR
set -u
bin=$(cd "$1" && pwd)
replays=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
count=0
while read -r name expected; do
  [[ -z $name || $name == \#* ]] && continue
  count=$((count + 1))
  (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME="$work" XDG_CONFIG_HOME="$work/config" \
    XDG_DATA_HOME="$work/data" "$bin/soloplay" --verify "$replays/$name" >"$work/out" 2>"$work/err")
  status=$?
  got=$(cat "$work/out")
  if [[ $status -ne 0 || $got != "$expected" ]]; then
    echo "FAIL: $name: status $status, '$got' where '$expected' was expected: $(cat "$work/err")"
    failures=$((failures + 1))
  else
    echo "$name: $got"
  fi
done <"$replays/expected.txt"
[[ $count -ge 6 ]] || { echo "FAIL: $count games in expected.txt"; failures=$((failures + 1)); }
[[ $failures -eq 0 ]] && echo "every kept game played again to its expected result"
exit $((failures > 0))
