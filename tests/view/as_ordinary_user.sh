#!/bin/sh
# Runs a test program as an ordinary user: as itself when that is what it is,
# and as the user nobody (65534, no groups) when started as root, as CI is,
# since root may write any file and what an ordinary user may not write can
# only be tried as one. Skips (77), saying why, when that cannot be done.
# Usage: as_ordinary_user.sh PROGRAM [ARGS...]
set -eu
[ "$(id -u)" -ne 0 ] && exec "$@"
skip() {
  echo "SKIPPED: $*"
  exit 77
}
command -v setpriv > /dev/null || skip "setpriv is not installed"
drop() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
drop test -x "$1" || skip "user 65534 cannot run $1 (a folder on its path is closed to others)"
# Qt's runtime folder must belong to the user that runs it.
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chown 65534:65534 "$runtime"
status=0
HOME=$runtime XDG_RUNTIME_DIR=$runtime drop "$@" || status=$?
exit $status
