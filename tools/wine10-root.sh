#!/bin/sh
# Makes the Debian 13 (trixie) root whose Wine 10 runs every Windows test, when it is missing, and
# installs in it the packages the tests use there. The root lives outside the clone
# (RX_WINE10_ROOT, by default /var/cache/rx7731/wine10-trixie), so that every clone on this
# machine shares it. It is made in a folder beside it and renamed at the end: a run that is
# interrupted leaves no root that looks complete. Prints each step and its time; fails, saying
# why, where the root cannot be made (not root, no debootstrap, no route to Debian's mirror).
#
#   tools/wine10-root.sh          make the root, or check it
#   tools/wine10-root.sh --path   print where it is, and nothing else
set -eu

ROOT=${RX_WINE10_ROOT:-/var/cache/rx7731/wine10-trixie}
# What the tests run inside it: Wine 10 and the fonts that stand in for Times New Roman and Arial.
PACKAGES="wine64 fonts-liberation2"
STAMP=.rx7731-packages

if [ "${1:-}" = --path ]; then
  echo "$ROOT"
  exit 0
fi

say() { echo "wine10-root: $*"; }
fail() {
  echo "wine10-root: $*" >&2
  exit 1
}
now() { date +%s; }
took() { echo "$(($(now) - $1)) s"; }

# The mirror apt on this machine uses for Debian (RX_DEBIAN_MIRROR overrides it): the first
# "URIs:" or "deb" line of /etc/apt/sources.list* that names one ending in /debian.
mirror() {
  if [ -n "${RX_DEBIAN_MIRROR:-}" ]; then
    echo "$RX_DEBIAN_MIRROR"
    return
  fi
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
    2>/dev/null | sed -n -e 's/^URIs:[[:space:]]*//p' -e 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]*\)\?//p' \
    | tr ' \t' '\n\n' | grep -m1 -E '^https?://.*/debian/?$' || true
}

# Runs `sh -c SCRIPT` inside ROOT with /proc, /dev and /sys bound, in a mount namespace of its own:
# the mounts end with it.
in_root() {
  unshare --mount --propagation private sh -c '
    set -e
    mount --rbind /proc "$0/proc"; mount --rbind /dev "$0/dev"; mount --rbind /sys "$0/sys"
    exec chroot "$0" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
      LANG=C.UTF-8 sh -c "$1"' "$1" "$2"
}

install_packages() {
  # apt inside runs as root: its sandbox user could not read the files of a fresh root.
  apt="apt-get -o APT::Sandbox::User=root"
  in_root "$1" "$apt update -qq && $apt install -y -qq --no-install-recommends $PACKAGES \
    >/var/log/rx7731-install.log && $apt clean && rm -rf /var/lib/apt/lists/*" ||
    fail "installing $PACKAGES in $1 failed (see $1/var/log/rx7731-install.log)"
  echo "$PACKAGES" >"$1/$STAMP"
}

[ "$(id -u)" = 0 ] || fail "must run as root (debootstrap, chroot and mount need it); run: sudo $0"

if [ -d "$ROOT" ] && [ "$(cat "$ROOT/$STAMP" 2>/dev/null)" = "$PACKAGES" ]; then
  say "Debian 13 root with $PACKAGES is ready at $ROOT"
  exit 0
fi

for tool in debootstrap unshare chroot flock; do
  command -v $tool >/dev/null || fail "$tool is missing: install debootstrap and util-linux"
done
MIRROR=$(mirror)
[ -n "$MIRROR" ] || fail "no Debian mirror in /etc/apt/sources.list*; give one as RX_DEBIAN_MIRROR"

PARENT=$(dirname "$ROOT")
mkdir -p "$PARENT"
# One run at a time makes it; a second waits and then finds it ready.
exec 9>"$PARENT/.$(basename "$ROOT").lock"
flock 9

if [ -d "$ROOT" ]; then
  if [ "$(cat "$ROOT/$STAMP" 2>/dev/null)" = "$PACKAGES" ]; then
    say "Debian 13 root with $PACKAGES is ready at $ROOT"
    exit 0
  fi
  # An older root that lacks some of today's packages: they are added in place.
  start=$(now)
  say "adding $PACKAGES to $ROOT ..."
  install_packages "$ROOT"
  say "root updated in $(took "$start")"
  exit 0
fi

# Whether Debian's mirror answers, asked the way apt asks (its proxy settings included).
/usr/lib/apt/apt-helper download-file "$MIRROR/dists/trixie/Release" "$PARENT/.trixie-Release" \
  >/dev/null 2>&1 || fail "no route to the Debian mirror $MIRROR (cannot fetch dists/trixie/Release)"
rm -f "$PARENT/.trixie-Release"

# Folders left by runs that were interrupted.
rm -rf "$PARENT/.$(basename "$ROOT").new."*
TEMP=$(mktemp -d "$PARENT/.$(basename "$ROOT").new.XXXXXX")
trap 'rm -rf "$TEMP"' EXIT
trap 'exit 130' INT TERM HUP

total=$(now)
start=$total
say "making a Debian 13 (trixie) root from $MIRROR in $TEMP (debootstrap, about a minute) ..."
debootstrap --variant=minbase trixie "$TEMP" "$MIRROR" >"$PARENT/.debootstrap.log" 2>&1 ||
  fail "debootstrap failed; its log: $PARENT/.debootstrap.log ($(tail -n1 "$PARENT/.debootstrap.log"))"
say "debootstrap took $(took "$start")"
start=$(now)
say "installing $PACKAGES in it (about a minute) ..."
install_packages "$TEMP"
say "installing took $(took "$start")"
mv -T "$TEMP" "$ROOT"
trap - EXIT
say "Debian 13 root ready at $ROOT ($(du -sh "$ROOT" | cut -f1)) in $(took "$total")"
