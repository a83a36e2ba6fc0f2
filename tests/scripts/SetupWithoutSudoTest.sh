#!/usr/bin/env bash
# setup-debian.sh run by a normal user on a machine without sudo, with every
# package missing: it names the packages and how to install them, fails,
# and tries to install nothing. Argument: the script to test.
set -euo pipefail
script="$1"
stubs="$(mktemp -d)"
trap 'rm -rf "$stubs"' EXIT
printf '#!/bin/sh\necho 1000\n' >"$stubs/id"
printf '#!/bin/sh\nexit 1\n' >"$stubs/dpkg-query"
printf '#!/bin/sh\necho "apt-get ran" >&2\nexit 3\n' >"$stubs/apt-get"
chmod +x "$stubs/id" "$stubs/dpkg-query" "$stubs/apt-get"
ln -s "$(command -v grep)" "$stubs/grep"

status=0
output="$(PATH="$stubs" "$BASH" "$script" 2>&1)" || status=$?
fail() { echo "$1"; echo "--- output:"; echo "$output"; exit 1; }
[ "$status" -ne 0 ] || fail "it succeeded without installing anything"
grep -q "missing: .*qt6-base-dev" <<<"$output" || fail "the missing packages are not named"
grep -q "apt-get install --no-install-recommends .*qt6-base-dev" <<<"$output" || fail "no way to install them is shown"
! grep -q "apt-get ran\|command not found" <<<"$output" || fail "it tried to install"
