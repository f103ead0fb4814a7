#!/usr/bin/env bash
# The game programs' command line, run for real with no display at all (so any attempt at a
# window would fail): --help and --version answer on standard output with status 0, a bad
# option or value with one line on standard error and status 2, and none of them makes a
# file or a folder. Usage: program_options_check.sh BIN_DIR VERSION
set -u
bin=$(cd "$1" && pwd)
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home=$work/home
mkdir "$home"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run PROGRAM ARGS...: status in $status, standard output and error in $work/out and $work/err.
run() {
  (cd "$home" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_DATA_HOME="$home/data" "$bin/$1" "${@:2}" >"$work/out" 2>"$work/err")
  status=$?
}
lines() { wc -l <"$1"; }

for program in soloplay netplay; do
  run $program --help
  [[ $status -eq 0 ]] || fail "$program --help: status $status"
  [[ $(head -n 1 "$work/out") == "Usage: $program [options]" ]] || fail "$program --help: $(head -n 1 "$work/out")"
  for option in --fullscreen --window "--scale N" --mute --help --version; do
    grep -q -- "^  $option " "$work/out" || fail "$program --help does not name $option"
  done
  # The folders as this system has them (Windows' are checked by scripts/windows/try.sh).
  for folder in '$XDG_CONFIG_HOME/brakkel/settings.ini' '$XDG_DATA_HOME/brakkel'; do
    grep -qF -- "  $folder" "$work/out" || fail "$program --help does not name $folder"
  done
  [[ -s $work/err ]] && fail "$program --help wrote on standard error: $(cat "$work/err")"
  # Only netplay has a ranking server to name.
  if [[ $program == netplay ]]; then
    grep -q -- "^  --server HOST\[:PORT\] " "$work/out" || fail "netplay --help does not name --server"
  else
    grep -q -- "--server" "$work/out" && fail "soloplay --help names --server"
  fi

  run $program --version
  [[ $status -eq 0 && $(cat "$work/out") == "$program $version" && ! -s $work/err ]] ||
    fail "$program --version: status $status, '$(cat "$work/out")' '$(cat "$work/err")'"

  for bad in "--no-such-option" "--scale 9" "--scale" "--scale=0" "--mute=yes" "extra" "--fullscreen --scale x" \
    "--server" "--server=" "--server [::1" "--server host:0" "--server host:65536" "--server a:b:c" \
    "--watch normal:0" "--watch=hard:3" "--watch" "--watch easy:1 --replay x"; do
    # shellcheck disable=SC2086 # the words of one command line
    run $program $bad
    [[ $status -eq 2 && ! -s $work/out && $(lines "$work/err") -eq 1 && $(cat "$work/err") == "$program: "* ]] ||
      fail "$program $bad: status $status, out '$(cat "$work/out")', err '$(cat "$work/err")'"
  done
done
# Only netplay has a server to watch a listed game from: soloplay says so, as for a bad option.
run soloplay --watch normal:3
[[ $status -eq 2 && ! -s $work/out && $(lines "$work/err") -eq 1 && $(cat "$work/err") == "soloplay: --watch needs"* ]] ||
  fail "soloplay --watch normal:3: status $status, err '$(cat "$work/err")'"
run netplay --help
grep -q -- "^  --watch DIFFICULTY:PLACE" "$work/out" || fail "netplay --help does not name --watch"
run soloplay --help
grep -q -- "--watch" "$work/out" && fail "soloplay --help names --watch"

[[ -z $(ls -A "$home") ]] || fail "the answers made files: $(cd "$home" && find .)"
# soloplay has no ranking server: a good --server is refused all the same.
run soloplay --server localhost:2020
[[ $status -eq 2 && $(lines "$work/err") -eq 1 ]] || fail "soloplay --server: status $status, '$(cat "$work/err")'"

# The check above means something only if a game started here cannot open its window.
run soloplay
[[ $status -eq 1 ]] || fail "soloplay without a display: status $status (a window opened?)"

[[ $failures -eq 0 ]] && echo "the command line answers as it should"
exit $((failures > 0))
