#!/usr/bin/env bash
# soloplay --verify run for real with no display at all: games recorded by the game's own
# flow (the app test that plays them writes its replay files here) are played again and
# told equal with status 0; a changed byte is refused with status 2, one line on standard
# error and nothing on standard output; a missing file likewise, and --replay of a bad file.
# Usage: replay_verify_check.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/samples" "$work/home"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
run() {
  (cd "$work/home" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME="$work/home" \
    XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" "$bin/soloplay" --verify "$1" \
    >"$work/out" 2>"$work/err")
  status=$?
}

BRAKKEL_REPLAY_SAMPLES=$work/samples SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
  "$bin/app_test" --gtest_filter='Replays.RecordedGamesPlayAgainToTheResultThatWasRanked' >"$work/record.log" 2>&1 ||
  { cat "$work/record.log"; fail "recording the games"; }
count=0
for file in "$work"/samples/*.replay; do
  [[ -e $file ]] || continue
  count=$((count + 1))
  run "$file"
  [[ $status -eq 0 ]] || fail "$(basename "$file"): status $status: $(cat "$work/err")"
  [[ $(wc -l <"$work/out") -eq 1 ]] || fail "$(basename "$file"): $(wc -l <"$work/out") lines on standard output"
  grep -Eqx 'mode=easy stage=[0-9]+ score=-?[0-9]+ combo=[0-9]+ seconds=[0-9]+' "$work/out" ||
    fail "$(basename "$file"): '$(cat "$work/out")'"
  [[ -s $work/err ]] && fail "$(basename "$file"): said on standard error: $(cat "$work/err")"
  echo "$(basename "$file"): $(cat "$work/out")"

  cp "$file" "$work/changed.replay"
  printf '\x55' | dd of="$work/changed.replay" bs=1 seek=40 conv=notrunc status=none
  run "$work/changed.replay"
  [[ $status -eq 2 ]] || fail "a changed byte: status $status"
  [[ -s $work/out ]] && fail "a changed byte: said on standard output: $(cat "$work/out")"
  [[ $(wc -l <"$work/err") -eq 1 ]] || fail "a changed byte: $(wc -l <"$work/err") lines on standard error"
  [[ $(cat "$work/err") == "soloplay: $work/changed.replay: "* ]] || fail "a changed byte: '$(cat "$work/err")'"
done
[[ $count -eq 2 ]] || fail "$count recorded games, not 2"

run "$work/none.replay"
[[ $status -eq 2 && $(wc -l <"$work/err") -eq 1 && ! -s $work/out ]] || fail "a missing file: status $status"
# --replay refuses a bad file as --verify does, before any window is opened.
(cd "$work/home" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME="$work/home" \
  XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" "$bin/soloplay" --replay "$work/changed.replay" \
  >"$work/out" 2>"$work/err")
status=$?
[[ $status -eq 2 && $(wc -l <"$work/err") -eq 1 && ! -s $work/out ]] ||
  fail "--replay of a changed file: status $status: $(cat "$work/err")"
[[ -e $work/home/config || -e $work/home/data ]] && fail "--verify or --replay made a settings or game folder"

[[ $failures -eq 0 ]] && echo "soloplay --verify: every check passed"
exit $((failures > 0))
