#!/usr/bin/env bash
# A kept replay downloaded in a real browser: rankd (--require-verified --http) keeps the score
# of a recorded game with its replay (uploaded by rankload as netplay would), the row renamed to
# a Korean name; headless Chromium loads the page, the replay link of the Korean row is followed
# and Chromium saves the file under its offered name, and `soloplay --verify` plays the saved
# file again to exactly that row's listed stage, score, combo and seconds.
# Usage: replay_in_browser.sh <bin folder> <kept games folder>
set -euo pipefail
bin=$(cd "$1" && pwd)
games=$2
browser=$(command -v chromium || command -v chromium-browser || true)
if [[ -z "$browser" ]]; then
  echo "SKIP: no Chromium (Debian package chromium) to load the page"
  exit 77
fi
command -v sqlite3 >/dev/null || { echo "SKIP: no sqlite3 to rename a row"; exit 77; }
command -v curl >/dev/null || { echo "SKIP: no curl to read the JSON"; exit 77; }
[[ -x "$bin/soloplay" ]] || { echo "SKIP: no soloplay (a server-only build) to verify the file"; exit 77; }
source "$(dirname "$0")/../../scripts/lib/rankd.sh"
work=$(mktemp -d)
rankd_clean_up_at_exit "$work"

url=
rankd_start "$bin/rankd" "$work/rankd.log" --port 0 --http 127.0.0.1:0 --require-verified \
  --db "$work/rankd.sqlite" && url=$(sed -n 's|^web page on \(http://[^ ]*\)/$|\1|p' "$work/rankd.log")
[[ -n "$url" ]] || { echo "FAIL: rankd did not serve its page"; cat "$work/rankd.log"; exit 1; }

# The game's score kept and its replay uploaded as netplay sends them: from one address (one
# client, no idle ones), so that the upload comes from where the score did.
"$bin/rankload" --port "$RANKD_PORT" --replay "$games/netplay-normal.replay" --uploads 1 --seconds 60 \
  --clients 1 --idle 0 --http "${url#http://}" >"$work/rankload.log" 2>&1 ||
  { echo "FAIL: rankload did not upload the game"; cat "$work/rankload.log" "$work/rankd.log"; exit 1; }
for _ in $(seq 600); do
  curl -s "$url/api/rankings/1" | grep -q '"replay":"/replays/' && break
  sleep 0.1
done
korean=$(printf '닭고기왕' | iconv -f UTF-8 -t CP949 | od -An -tx1 | tr -d ' \n')
sqlite3 -cmd '.timeout 5000' "$work/rankd.sqlite" \
  "UPDATE scores SET name = X'$korean' WHERE id = (SELECT max(id) FROM scores WHERE replay IS NOT NULL)"

export HOME=$work
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
  --dump-dom "$url/" >"$work/dom.html" 2>"$work/browser.log" ||
  { echo "FAIL: Chromium did not load $url/"; tail -n 20 "$work/browser.log"; exit 1; }
link=$(grep -F '닭고기왕' "$work/dom.html" | grep -o 'href="/replays/[0-9]*"' | head -n 1 | cut -d'"' -f2 || true)
[[ -n "$link" ]] || { echo "FAIL: the Korean row has no replay link"; cat "$work/dom.html"; exit 1; }

# The row as the JSON lists it: place, stage, score, combo, seconds.
read -r place stage score combo seconds < <(curl -s "$url/api/rankings/1" | python3 -c '
import json, sys
rows = [r for r in json.load(sys.stdin)["rows"] if r["replay"] == sys.argv[1]]
r = rows[0]
print(r["place"], r["stage"], r["score"], r["combo"], r["seconds"])' "$link")

# Chromium follows the link and saves the file under the name the server offers.
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
  "$url$link" >/dev/null 2>>"$work/browser.log" &
browsing=$!
suffix=th
((place == 1)) && suffix=st
((place == 2)) && suffix=nd
((place == 3)) && suffix=rd
saved="$work/Downloads/brakkel-normal-$place$suffix-$score.replay"
for _ in $(seq 1200); do
  [[ -s "$saved" ]] && break
  sleep 0.1
done
kill "$browsing" 2>/dev/null || true
wait "$browsing" 2>/dev/null || true
[[ -s "$saved" ]] || { echo "FAIL: Chromium saved no $saved"; ls -la "$work/Downloads" || true; exit 1; }

cmp "$saved" "$games/netplay-normal.replay" || { echo "FAIL: the saved file is not the game as uploaded"; exit 1; }
verdict=$(cd "$work" && "$bin/soloplay" --verify "$saved") ||
  { echo "FAIL: soloplay --verify refused the saved file: $verdict"; exit 1; }
expected="mode=normal stage=$stage score=$score combo=$combo seconds=$seconds"
[[ "$verdict" == "$expected" ]] || { echo "FAIL: the file plays to '$verdict', the row lists '$expected'"; exit 1; }
echo "Chromium saved $(basename "$saved") from the Korean row; it plays to $verdict"
