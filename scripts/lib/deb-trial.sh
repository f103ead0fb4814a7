#!/bin/bash
# Runs inside a clean Debian root (scripts/package-test.sh puts it there with the packages,
# the kept games and scripts/lib/rankd.sh in /tmp/trial): installs brakkel-server, then
# brakkel, tries their programs, purges both and compares the root's files with the start.
# systemd does not run in the root: the units are installed and the socket enabled, but
# socket activation itself is not tried. Every check prints one line; the first that fails
# ends the trial with status 1.
set -euo pipefail
trial=/tmp/trial
cd "$trial"
export DEBIAN_FRONTEND=noninteractive
# The games' folder is on the path of Debian's login shells; the root's shell here has none.
export PATH=$PATH:/usr/games
ok() { echo "trial: ok: $*"; }
fail() { echo "trial: FAILED: $*" >&2; exit 1; }

# The root's files, but for the kernel's, the temporary ones and the package tools' records,
# and the backups of the account files that adding or removing any user leaves (shadow's
# *-); the account files themselves are compared whole.
accounts=(/etc/passwd /etc/group /etc/shadow /etc/gshadow)
files() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
    -o -path /var/cache/apt -o -path /var/cache/debconf -o -path /var/lib/apt \
    -o -path /var/lib/dpkg -o -path /var/log \) -prune -o -print |
    grep -Ev '^/etc/(passwd|group|shadow|gshadow)-$' | sort
}
files >before.txt
cat "${accounts[@]}" >accounts-before.txt

# The server alone: nothing of SDL comes with it.
apt-get install -y -q ./brakkel-server_*.deb >install-server.log 2>&1 || { tail -n 30 install-server.log; fail "installing brakkel-server"; }
ok "brakkel-server installed: $(dpkg-query -W -f='${Package} ${Version}' brakkel-server)"
sdl=$(dpkg-query -W -f='${Package}\n' 'libsdl2*' 2>/dev/null || true)
[[ -z $sdl ]] || fail "brakkel-server brought SDL packages: $sdl"
! ldd /usr/bin/rankd /usr/bin/rankctl | grep -i sdl || fail "rankd or rankctl links SDL"
ok "no SDL package installed and rankd, rankctl link none"
getent passwd rankd >/dev/null || fail "no rankd user"
[[ $(stat -c %U:%G:%a /var/lib/rankd) == rankd:rankd:750 ]] || fail "/var/lib/rankd is $(stat -c %U:%G:%a /var/lib/rankd)"
ok "system user $(getent passwd rankd | cut -d: -f1,3,6,7) owns /var/lib/rankd"
[[ -L /etc/systemd/system/sockets.target.wants/rankd.socket ]] || fail "rankd.socket is not enabled"
[[ ! -e /etc/systemd/system/multi-user.target.wants/rankd.service ]] || fail "rankd.service is enabled"
grep -qx 'ExecStart=/usr/bin/rankd --db ${STATE_DIRECTORY}/rankd.sqlite' /lib/systemd/system/rankd.service ||
  fail "the unit does not start /usr/bin/rankd"
grep -qx 'User=rankd' /lib/systemd/system/rankd.service || fail "the unit does not run as rankd"
ok "rankd.socket enabled, rankd.service not (started by the socket), run as rankd from /usr/bin"

apt-get install -y -q ./brakkel_*.deb >install-game.log 2>&1 || { tail -n 30 install-game.log; fail "installing brakkel"; }
ok "brakkel installed: $(dpkg-query -W -f='${Package} ${Version}' brakkel)"
[[ $(command -v soloplay) == /usr/games/soloplay ]] || fail "soloplay is not /usr/games/soloplay"
ok "soloplay --version: $(soloplay --version)"
while read -r game want; do
  [[ $game == *.replay ]] || continue
  got=$(soloplay --verify "$game") || fail "soloplay --verify $game"
  [[ $got == "$want" ]] || fail "soloplay --verify $game said '$got', not '$want'"
  ok "soloplay --verify $game: $got"
done <expected.txt

# rankd as the service runs it (its user, its database), started by hand on a free port.
# shellcheck source=scripts/lib/rankd.sh
source "$trial/rankd.sh"
rankd_start setpriv "$trial/rankd.log" --reuid=rankd --regid=rankd --init-groups -- \
  /usr/bin/rankd --port 0 --bind 127.0.0.1 --db /var/lib/rankd/rankd.sqlite ||
  { cat rankd.log; fail "rankd did not start"; }
ok "rankd listens on 127.0.0.1 port $RANKD_PORT as user $(stat -c %U "/proc/$RANKD_PID")"
bash "$trial/rank-exchange.sh" 127.0.0.1 "$RANKD_PORT" >exchange.txt || { cat rankd.log; fail "the exchange"; }
ok "exchange: $(head -n 1 exchange.txt)"
rankd_stop || { cat rankd.log; fail "rankd did not stop cleanly on SIGTERM"; }
listing=$(rankctl --db /var/lib/rankd/rankd.sqlite list normal) || fail "rankctl list"
grep -q $'\tdebian\t1230\t' <<<"$listing" || fail "rankctl list normal shows no stored score: $listing"
ok "rankctl list normal: $(grep $'\tdebian\t' <<<"$listing" | tr '\t' ' ')"

apt-get remove -y -q brakkel brakkel-server >remove.log 2>&1 || { tail -n 30 remove.log; fail "removing"; }
getent passwd rankd >/dev/null && [[ -s /var/lib/rankd/rankd.sqlite ]] || fail "removing lost the user or the rankings"
[[ ! -e /usr/bin/rankd && ! -e /usr/games/soloplay ]] || fail "removing left the programs"
ok "removed: the programs gone, user rankd and /var/lib/rankd/rankd.sqlite kept"
# Removed, the packages are known to dpkg alone (apt has no archive that holds them).
{ dpkg --purge brakkel brakkel-server && apt-get autoremove -y -q --purge; } >purge.log 2>&1 ||
  { tail -n 30 purge.log; fail "purging"; }
! dpkg-query -W -f='${Status}\n' brakkel brakkel-server 2>/dev/null | grep -Eqv ' not-installed$' ||
  fail "dpkg still holds brakkel or brakkel-server"
ok "purged brakkel, brakkel-server and what they brought"
! getent passwd rankd >/dev/null || fail "the rankd user is left"
! getent group rankd >/dev/null || fail "the rankd group is left"
cat "${accounts[@]}" | cmp -s - accounts-before.txt || fail "the account files differ from before"
ok "user and group rankd removed: ${accounts[*]} as before"
files >after.txt
if ! diff before.txt after.txt >left.txt; then
  cat left.txt
  fail "the root's files differ from those before the install (above)"
fi
ok "no file left behind: $(wc -l <before.txt) paths before the install and after the purge"
