#!/bin/sh
# Runs a command under a locale generated for it into a private folder
# (no system change): run-in-locale.sh de_DE.UTF-8 command args...
set -eu
name=$1
shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT INT TERM
localedef -i "${name%%.*}" -f "${name#*.}" "$dir/$name" >/dev/null 2>&1 || true
if [ ! -d "$dir/$name" ]; then
    echo "cannot generate the locale $name" >&2
    exit 1
fi
LOCPATH=$dir LC_ALL=$name LANG=$name ZEMBRIX_EXPECT_LOCALE=${name%%.*} "$@"
