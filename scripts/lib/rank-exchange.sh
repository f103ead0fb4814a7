#!/bin/bash
# One exchange with a ranking server, in bash alone (for a root without python or the
# game): asks for the score to beat in normal mode, submits the score 1230 of "debian"
# (stage 3, best combo 9, 60 s) and prints what came back.
#   rank-exchange.sh ADDRESS PORT
set -euo pipefail
address=${1:?usage: $0 ADDRESS PORT} port=${2:?usage: $0 ADDRESS PORT}
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
# Little-endian 32-bit number from the bytes at OFFSET of FILE.
get32() { od -An -t u4 --endian=little -j "$2" -N 4 "$1" | tr -d ' '; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

exec 3<>"/dev/tcp/$address/$port"
printf '\x00\x01' >&3
head -c 56 <&3 >"$work/threshold"
[[ $(stat -c %s "$work/threshold") -eq 56 ]] || { echo "no 56-byte threshold reply" >&2; exit 1; }
threshold=$(get32 "$work/threshold" 52)
score=1230 stage=3 combo=9 seconds=60
# The check code: (score mod 10) * stage * 24151 + (combo * 100) / 9 - seconds + 350927.
check=$(((score % 10) * stage * 24151 + (combo * 100) / 9 - seconds + 350927))
{
  printf '\x02debian'
  head -c $((103 - 6)) /dev/zero
  printf "$(le32 $stage)$(le32 $score)$(le32 $combo)$(le32 $seconds)$(le32 $check)"
} >"$work/submission"
[[ $(stat -c %s "$work/submission") -eq 124 ]] || { echo "the submission is not 124 bytes" >&2; exit 1; }
cat "$work/submission" >&3
cat <&3 >"$work/reply"
exec 3<&-
length=$(get32 "$work/reply" 4)
[[ $(stat -c %s "$work/reply") -eq $((8 + length)) ]] || { echo "the listing's length does not match its header" >&2; exit 1; }
grep -q debian "$work/reply" || { echo "the listing does not name debian" >&2; exit 1; }
echo "score to beat $threshold; submitted 1230 for debian; listing of $length bytes came back"
