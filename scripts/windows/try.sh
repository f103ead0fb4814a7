#!/usr/bin/env bash
# The Windows zip tried under Wine on a private X server, as a player would use it:
#   soloplay.exe --version; --verify on every kept game of tests/replays (the lines of
#   expected.txt, the Linux build's verdicts) and on one kept under a Korean folder's name
#   given as C:\users\NAME\한글\게임.replay; --help naming %APPDATA%\brakkel and README.txt; the real window: the title logo (logo.png), a
#   click on easy, a stage played with space held until a mob dies, Escape, a name typed
#   (닭다리 as ekfrekfl through IBus's Hangul engine over XIM when it is installed, else
#   Chicken) and confirmed, the ranking (ranking.png); easy.dat and 순위.txt in %APPDATA%\brakkel of the
#   Wine prefix in the layout the game writes on Linux;
#   netplay.exe's exchange with the Linux rankd on 127.0.0.1 port 20 (skipped, said so, when
#   the port cannot be had): the result stored and verified by its replay.
# Usage: scripts/windows/try.sh [ZIP] [LINUX_BIN]
#   ZIP        default build-packages/brakkel-*-windows-x64.zip (scripts/windows/package.sh);
#              a relative path is taken from the working directory
#   LINUX_BIN  a Linux build's bin folder with rankd (default build/bin)
# The pictures and logs stay in the folder it prints (BRAKKEL_TRY_KEEP=1 keeps it on success).
# Uses the Windows build's Wine prefix (~/.cache/brakkel-windows/wine, or WINEPREFIX), whose
# %APPDATA%\brakkel it empties first. Every wait is on a condition, with a generous limit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
zip=${1:-$(ls "$root"/build-packages/brakkel-*-windows-x64.zip 2>/dev/null | tail -n 1)}
linux_bin=$(realpath "${2:-$root/build/bin}")
[[ -f $zip ]] || { echo "try.sh: no zip (scripts/windows/package.sh makes it)" >&2; exit 1; }
zip=$(realpath "$zip")
export E2E_BIN=$linux_bin
source "$root/tests/e2e/lib.sh"
source "$root/scripts/lib/rankd.sh"

export WINEPREFIX=${WINEPREFIX:-${BRAKKEL_WIN_CACHE:-$HOME/.cache/brakkel-windows}/wine}
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= SDL_AUDIODRIVER=dummy
# Wine reads the arguments and file names it is given in the locale's character set.
export LC_ALL=C.UTF-8
unset SDL_VIDEODRIVER
work=$(mktemp -d /tmp/brakkel-try-XXXXXX)
began=$SECONDS
step() { echo "[$((SECONDS - began)) s] $*"; }
# Closes the game's window as its close box does (the Linux build's xclose) and waits for the
# program to end with status 0; without xclose the program is ended.
close_game() {
  if [[ -x $E2E_BIN/xclose ]]; then
    e2e_close_and_wait "$E2E_WID" "$E2E_GAME_PID"
  else
    kill "$E2E_GAME_PID" && wait "$E2E_GAME_PID" || true
    E2E_GAME_PID=
  fi
}
finish() {
  local status=$?
  set +e
  e2e_stop_game
  rankd_stop >/dev/null 2>&1
  # Wine's desktop process ends with the prefix's last program: while the X server still runs.
  timeout 60 wineserver -w
  openbox_stop
  xvfb_stop
  [[ -n ${BRAKKEL_IME_SESSION:-} ]] && "$root/scripts/ime-session.sh" stop
  if ((status != 0)); then
    e2e_show_logs "$status" "$work/soloplay.log" "$work/netplay.log" "$work/rankd.log"
    echo "try.sh: FAILED; pictures and logs in $work" >&2
  elif [[ ${BRAKKEL_TRY_KEEP:-0} == 1 ]]; then
    echo "pictures and logs in $work"
  else
    rm -rf "$work"
  fi
}
trap finish EXIT

(cd "$work" && unzip -q "$zip")
game=$(ls -d "$work"/brakkel-*-windows-x64)
step "unpacked $(basename "$zip")"

# Wine's own start (the prefix's first use is slow) happens here, not inside a wait below.
version=$(cd "$game" && wine ./soloplay.exe --version | tr -d '\r')
[[ $version == "soloplay "* ]] || e2e_fail "--version printed '$version'"
step "--version: $version"

# Every kept game to the Linux build's verdict.
while read -r name expected; do
  [[ -z $name || $name == \#* ]] && continue
  got=$(cd "$game" && wine ./soloplay.exe --verify "$root/tests/replays/$name" 2>"$work/verify.err" | tr -d '\r')
  [[ $got == "$expected" ]] || e2e_fail "$name: '$got' where '$expected' was expected: $(cat "$work/verify.err")"
done <"$root/tests/replays/expected.txt"
step "--verify: every kept game of tests/replays as in expected.txt"

# Where settings and the game folder are, told as Windows has them.
usage=$(cd "$game" && wine ./soloplay.exe --help | tr -d '\r')
grep -qF '%APPDATA%\brakkel\settings.ini' <<<"$usage" && ! grep -q XDG_ <<<"$usage" ||
  e2e_fail "--help does not name the Windows folders: $usage"
# Windows has no manual pages: the last line sends the player to the README in the zip.
[[ $(tail -n 1 <<<"$usage") == "See README.txt beside the game's programs." ]] ||
  e2e_fail "--help does not end with the README: $(tail -n 1 <<<"$usage")"
step "--help names %APPDATA%\\brakkel and the README"

# A kept game under a Korean folder's name, given as Windows writes it: the arguments must not
# pass through the ANSI code page.
appdata=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Roaming | head -n 1)
[[ -d $appdata ]] || e2e_fail "no AppData/Roaming in $WINEPREFIX"
user=$(basename "$(dirname "$(dirname "$appdata")")")
read -r name expected < <(grep -v '^#' "$root/tests/replays/expected.txt" | head -n 1)
korean=$WINEPREFIX/drive_c/users/$user/한글
rm -rf "$korean" && mkdir -p "$korean"
cp "$root/tests/replays/$name" "$korean/게임.replay"
path="C:\\users\\$user\\한글\\게임.replay"
got=$(cd "$game" && wine ./soloplay.exe --verify "$path" 2>"$work/verify.err" | tr -d '\r')
[[ $got == "$expected" ]] || e2e_fail "$path: '$got' where '$expected' was expected: $(cat "$work/verify.err")"
rm -rf "$korean"
step "--verify $path: $got"

# A game as a player plays it.
rm -rf "$appdata/brakkel"
# A Wine desktop process left from an earlier X server would fail to open windows on this one.
timeout 120 wineserver -w || true
# The name is typed in Korean through Windows' input method as Wine gives it: IBus's Hangul
# engine offered over XIM (scripts/ime-session.sh), Wine in a Korean locale (made here by
# localedef when the system has none) so that its keyboard is Korean's. Without them the name
# is typed in Latin letters.
typed=(C h i c k e n) named=Chicken wine_locale=
if mkdir -p "$work/locale" && localedef -i ko_KR -f UTF-8 "$work/locale/ko_KR.UTF-8" >/dev/null 2>&1 &&
  session=$("$root/scripts/ime-session.sh" start ibus hangul "$work/session" 2>"$work/session.log"); then
  eval "$session"
  typed=(e k f r e k f l) named=닭다리 wine_locale="LOCPATH=$work/locale LC_ALL=ko_KR.UTF-8 LANG=ko_KR.UTF-8"
else
  step "(no Korean input method here: the name is typed in Latin letters)"
  xvfb_start 1024x768x24 "$work/xvfb.log" ${BRAKKEL_TRY_DISPLAY:-} || e2e_fail "no X server"
fi
openbox_start "$work/openbox.log" 40 || echo "(no openbox: the window goes without a manager)"
printf '#!/bin/sh\ncd "%s" && exec env %s wine ./"$1".exe\n' "$game" "$wine_locale" >"$work/start"
chmod +x "$work/start"
printf '#!/bin/sh\nexec "%s/start" soloplay\n' "$work" >"$work/soloplay"
printf '#!/bin/sh\nexec "%s/start" netplay\n' "$work" >"$work/netplay"
chmod +x "$work/soloplay" "$work/netplay"
e2e_start_game "$work/soloplay" "$work" "$work/soloplay.log" 120
step "soloplay.exe window $E2E_WID"
sleep 1
import -window root "$work/logo.png"
e2e_choose_easy "$E2E_WID"
step "easy chosen, a stage plays"
e2e_attack_until_scored "$E2E_WID" "$work"
e2e_escape "$E2E_WID"
# ibus-hangul takes the Escape that ended the stage as its switch to Latin: the Hangul key
# switches back, as a player would.
[[ $named == Chicken ]] || xdotool key Hangul
xdotool key --delay 150 "${typed[@]}"
xdotool key Return
step "name $named typed and confirmed"
wait_until 60 test -s "$appdata/brakkel/순위.txt" || e2e_fail "no 순위.txt in $appdata/brakkel"
e2e_wait_dialog "$E2E_WID"
sleep 0.5
import -window root "$work/ranking.png"
xdotool key Return
close_game
step "easy.dat and 순위.txt written"

# The files in the layout the game writes everywhere (wire/rank_text.h): easy.dat is a 39-byte
# header and 20 rows of a 100-byte name and four little-endian integers, one row filled;
# 순위.txt the 22-line listing in code page 949 with CR LF, its first row that row.
python3 - "$appdata/brakkel" "$root/text/texts.txt" "$named" <<'PY'
import re, struct, sys
folder, texts, named = sys.argv[1], sys.argv[2], sys.argv[3].encode("cp949")
data = open(f"{folder}/easy.dat", "rb").read()
assert len(data) == 2359, f"easy.dat holds {len(data)} bytes"
table = open(texts, encoding="utf-8").read()
headers = [h.encode("cp949") for h in re.findall(r'^kScoreFileHeaders\[\d+\] = "(.*)"$', table, re.M)]
column_line = re.search(r'^kRankTextHeaderLine = "(.*)"$', table, re.M).group(1).encode("cp949")
assert len(headers) == 10 and data[:39] in headers, f"easy.dat begins {data[:39]!r}"
rows = [data[39 + 116 * i: 39 + 116 * (i + 1)] for i in range(20)]
name, (stage, score, combo, seconds) = rows[0][:100].split(b"\0")[0], struct.unpack("<iIiI", rows[0][100:])
assert name == named, f"row 1 is named {name!r}, not {named!r}"
assert score > 0 and stage == 1 and combo >= 1 and seconds > 0, (stage, score, combo, seconds)
assert all(r == bytes(116) for r in rows[1:]), "rows 2..20 are not empty"
def line(rank, n, st, sc, co, se):
    return (b"%6d" % rank + "등".encode("cp949") + n.rjust(10) + b"%10d" % sc + "점".encode("cp949") +
            b"%4d" % st + "판".encode("cp949") + b"%4d" % co + "콤보".encode("cp949") + b"%11d" % se +
            "초".encode("cp949"))
text = open(f"{folder}/순위.txt", "rb").read()
lines = text.split(b"\r\n")
assert lines[-1] == b"" and len(lines) == 23, f"{len(lines) - 1} lines"
assert lines[0] == column_line and lines[1] == b"-" * 57, lines[:2]
assert lines[2] == line(1, name, stage, score, combo, seconds), lines[2]
assert all(lines[2 + i] == line(1 + i, b"", 0, 0, 0, 0) for i in range(1, 20))
print(f"easy.dat and 순위.txt: {named.decode('cp949')} in code page 949, {score} points, stage {stage}, combo {combo}, {seconds} s")
PY

# netplay.exe against the Linux ranking server on 127.0.0.1 port 20 (netplay's address).
if [[ ! -x $linux_bin/rankd ]]; then
  step "SKIP netplay: no rankd in $linux_bin"
elif ss -ltn 2>/dev/null | grep -qE '127\.0\.0\.1:20 |\*:20 |0\.0\.0\.0:20 '; then
  step "SKIP netplay: port 20 is taken on this machine"
elif ! rankd_start "$linux_bin/rankd" "$work/rankd.log" --port 20 --db "$work/rankd.sqlite"; then
  step "SKIP netplay: rankd cannot listen on port 20 here: $(tail -n 1 "$work/rankd.log")"
else
  e2e_start_game "$work/netplay" "$work" "$work/netplay.log" 120
  step "netplay.exe window $E2E_WID, rankd on port 20"
  e2e_choose_easy "$E2E_WID"
  e2e_attack_until_scored "$E2E_WID" "$work"
  e2e_escape "$E2E_WID"
  xdotool type --delay 60 ABCDEFGHIJKLMNO
  xdotool key Return
  wait_until 120 grep -q "mode 0 stored" "$work/rankd.log" || e2e_fail "rankd stored nothing"
  e2e_wait_dialog "$E2E_WID"
  import -window root "$work/netplay-ranking.png"
  xdotool key Return
  # The replay goes after the exchange; the server plays it again and marks the score verified.
  wait_until 120 bash -c "[[ \$(sqlite3 '$work/rankd.sqlite' 'SELECT checked FROM scores WHERE mode = 0') == 1 ]]" ||
    e2e_fail "the score was not verified by its replay"
  row=$(sqlite3 "$work/rankd.sqlite" "SELECT name || ' ' || score || ' ' || stage FROM scores WHERE mode = 0")
  [[ $row == "ABCDEFGHI "* ]] || e2e_fail "rankd stored '$row'"
  close_game
  step "netplay exchange: rankd stored '$row', verified by its replay"
fi
step "done"
