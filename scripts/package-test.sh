#!/usr/bin/env bash
# Checks the Debian packages in build-packages/ (built first by scripts/package.sh deb when
# there are none): lintian with no error and no warning, then a trial in a clean Debian 12
# root made by mmdebstrap from this machine's apt sources, where both packages are installed,
# their programs tried and both purged again (scripts/lib/deb-trial.sh says what is tried).
#   scripts/package-test.sh deb
# When the Debian 12 archive cannot be reached, the trial is skipped with a line that says
# so (status 0); lintian still runs. Its output is kept in build-packages/ too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case ${1:-} in
  deb) ;;
  *) echo "usage: $0 deb" >&2; exit 2 ;;
esac
"$root/scripts/install-deps.sh" deb
out=$root/build-packages
compgen -G "$out/brakkel_*.deb" >/dev/null || "$root/scripts/package.sh" deb

echo "== lintian"
# (Its word on running as root, on standard error, is left out.)
lintian --fail-on error,warning "$out"/brakkel_*.changes 2> >(grep -v '^running with root privileges' >&2) |
  tee "$out/lintian.txt" || { echo "package-test: lintian has remarks (above)" >&2; exit 1; }
[[ -s $out/lintian.txt ]] || echo "lintian: no remark on the packages, the .changes and the .buildinfo"

echo "== trial in a clean Debian 12 root"
log=$out/trial.log
# This machine's apt sources for Debian 12: its files that name the suite bookworm.
sources=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [[ -f $file ]] && grep -Eq '^[^#]*[[:space:]]bookworm([[:space:]]|$)' "$file" && sources+=("$file")
done
archive=$(sed -nE 's/^URIs:[[:space:]]*([^[:space:]]+).*/\1/p; s/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+bookworm([[:space:]].*)?$/\2/p' \
  "${sources[@]}" /dev/null | head -n 1)
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
if [[ -z $archive ]]; then
  echo "package-test: SKIPPED the clean-root trial: no Debian 12 (bookworm) archive in this machine's apt sources" | tee "$log"
  exit 0
fi
if ! /usr/lib/apt/apt-helper download-file "$archive/dists/bookworm/InRelease" "$probe" >/dev/null 2>&1; then
  echo "package-test: SKIPPED the clean-root trial: the Debian 12 archive cannot be reached ($archive)" | tee "$log"
  exit 0
fi

began=$SECONDS
debs=("$out"/brakkel_*.deb "$out"/brakkel-server_*.deb)
status=0
mmdebstrap --variant=apt --quiet \
  --customize-hook='mkdir "$1/tmp/trial"' \
  --customize-hook="copy-in ${debs[*]} $root/scripts/lib/deb-trial.sh $root/scripts/lib/rankd.sh \
    $root/scripts/lib/rank-exchange.sh $root/tests/replays/expected.txt $(echo "$root"/tests/replays/*.replay) /tmp/trial" \
  --customize-hook='chroot "$1" bash /tmp/trial/deb-trial.sh' \
  bookworm /dev/null "${sources[@]}" </dev/null 2>&1 | tee "$log" || status=$?
[[ $status -eq 0 ]] || { echo "package-test: the clean-root trial failed (above; $log)" >&2; exit 1; }
echo "package-test: the clean-root trial passed in $((SECONDS - began)) s"
