#!/bin/sh
# Runs a command under Wine 10 from the Debian 13 root that tools/wine10-root.sh makes:
#
#   tools/wine10-run.sh wine64 PROGRAM.exe ARGS...   (or wine: the same loader)
#   tools/wine10-run.sh wineserver -k
#   tools/wine10-run.sh COMMAND ARGS...              (any other command of the root)
#
# The command sees the machine's own /proc, /dev (with /dev/pts: meter-sim's pseudo-terminals),
# /sys and /tmp (with the X display's socket), this clone, the working folder, WINEPREFIX's folder
# and each folder of RX_WINE10_BINDS (a colon-separated list), at their own paths; nothing else
# of the machine. The mounts are made in a mount namespace of the command's own, so none stays
# after it ends, however it ends. The environment goes through as it is (WINEPREFIX, DISPLAY,
# WINEDEBUG, ...), with the root's PATH. Every step execs the next, so the process started is the
# Windows program itself: signals reach it and its exit code is this script's.
set -eu

HERE=$(cd "$(dirname "$0")" && pwd -P)
ROOT=${RX_WINE10_ROOT:-$("$HERE/wine10-root.sh" --path)}

fail() {
  echo "wine10-run: $*" >&2
  exit 125
}

# The folders to bind, one a line, each at most once and none inside another already listed.
binds() {
  {
    echo /tmp
    dirname "$HERE"
    pwd -P
    if [ -n "${WINEPREFIX:-}" ]; then
      p=$WINEPREFIX
      while [ ! -d "$p" ]; do p=$(dirname "$p"); done
      (cd "$p" && pwd -P)
    fi
    echo "${RX_WINE10_BINDS:-}" | tr ':' '\n'
  } | while read -r dir; do
    [ -n "$dir" ] && [ -d "$dir" ] || continue
    dir=$(cd "$dir" && pwd -P)
    # The root's own system folders stay its own.
    case $dir in
      / | /usr | /usr/* | /etc | /etc/* | /bin | /bin/* | /sbin | /sbin/* | /lib | /lib/* | /lib64 | \
        /lib64/* | /var | /var/lib | /var/lib/* | /proc | /proc/* | /dev | /dev/* | /sys | /sys/*)
        continue ;;
    esac
    echo "$dir"
  done | sort -u | awk 'BEGIN { last = "" } last == "" || index($0, last "/") != 1 { print; last = $0 }'
}

if [ "${1:-}" != --in-namespace ]; then
  [ $# -gt 0 ] || fail "usage: $0 wine64|wineserver|COMMAND ARGS..."
  [ "$(id -u)" = 0 ] || fail "must run as root (mount and chroot need it)"
  [ -x "$ROOT/usr/lib/wine/wine64" ] ||
    fail "no Wine 10 root at $ROOT: make it with $HERE/wine10-root.sh (make check-windows does)"
  exec unshare --mount --propagation private "$0" --in-namespace "$@"
fi
shift

mount --rbind /proc "$ROOT/proc"
mount --rbind /dev "$ROOT/dev"
mount --rbind /sys "$ROOT/sys"
binds | while IFS= read -r dir; do
  mkdir -p "$ROOT$dir"
  mount --rbind "$dir" "$ROOT$dir"
done

program=$1
shift
case $program in
  wine | wine64) program=/usr/lib/wine/wine64 ;;
  wineserver) program=/usr/lib/wine/wineserver ;;
esac
wd=$(pwd -P)
PATH=/usr/lib/wine:/usr/local/bin:/usr/bin:/bin
export PATH
# Wine's desktop process says on stderr that it has no runtime folder where none is set (CI, cron).
if [ ! -d "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=/tmp/rx7731-wine-runtime-$(id -u)
  mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
fi
exec unshare --root="$ROOT" --wd="$wd" "$program" "$@"
