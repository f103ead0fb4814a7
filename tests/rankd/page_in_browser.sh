#!/usr/bin/env bash
# rankd's ranking page in a real browser: headless Chromium loads it from a running rankd
# (--http) and its document shows a Korean name kept in code page 949, and a name holding
# markup as text, not as markup.
# Usage: page_in_browser.sh <bin folder>
set -euo pipefail
bin=$1
browser=$(command -v chromium || command -v chromium-browser || true)
if [[ -z "$browser" ]]; then
  echo "SKIP: no Chromium (Debian package chromium) to load the page"
  exit 77
fi
command -v sqlite3 >/dev/null || { echo "SKIP: no sqlite3 to put the names in the database"; exit 77; }
source "$(dirname "$0")/../../scripts/lib/rankd.sh"
work=$(mktemp -d)
rankd_clean_up_at_exit "$work"

# The page's address is told before the listening line.
url=
rankd_start "$bin/rankd" "$work/rankd.log" --port 0 --http 127.0.0.1:0 --db "$work/rankd.sqlite" &&
  url=$(sed -n 's|^web page on \(http://[^ ]*\)$|\1|p' "$work/rankd.log")
[[ -n "$url" ]] || { echo "FAIL: rankd did not serve its page"; cat "$work/rankd.log"; exit 1; }

# The names as the game keeps them: code page 949 bytes.
korean=$(printf '닭고기왕' | iconv -f UTF-8 -t CP949 | od -An -tx1 | tr -d ' \n')
markup=$(printf '<b>x</b>' | od -An -tx1 | tr -d ' \n')
sqlite3 -cmd '.timeout 5000' "$work/rankd.sqlite" \
  "INSERT INTO scores (mode, name, stage, score, best_combo, play_seconds)
   VALUES (1, X'$korean', 5, 4321, 9, 200), (1, X'$markup', 2, 100, 1, 30)"

export HOME=$work
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
  --dump-dom "$url" >"$work/dom.html" 2>"$work/browser.log" ||
  { echo "FAIL: Chromium did not load $url"; tail -n 20 "$work/browser.log"; exit 1; }
fail=0
for shown in '닭고기왕' '4321' '보통게임' '&lt;b&gt;x&lt;/b&gt;'; do
  grep -qF "$shown" "$work/dom.html" || { echo "FAIL: the page in Chromium lacks $shown"; fail=1; }
done
if grep -qF '<b>x</b>' "$work/dom.html"; then
  echo "FAIL: a name became markup"
  fail=1
fi
[[ $fail -eq 0 ]] || { cat "$work/dom.html"; exit 1; }
echo "Chromium shows the page with its Korean name"
