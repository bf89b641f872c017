#!/bin/sh
# Runs a command with two small file systems of its own, mounted in a private
# user and mount namespace, so no root is needed and nothing outside sees
# them: $CORVANTA_TEST_FULL_DIR, a 256 KiB tmpfs that fills up at once, and
# $CORVANTA_TEST_RO_DIR, a read-only tmpfs. If they cannot be made the command
# does not run and this fails.
#
#   small-disk-run.sh COMMAND [ARG...]
base=$(mktemp -d) || exit 1
export CORVANTA_TEST_FULL_DIR="$base/full" CORVANTA_TEST_RO_DIR="$base/ro"
mkdir -p "$CORVANTA_TEST_FULL_DIR" "$CORVANTA_TEST_RO_DIR" || exit 1
unshare -rm sh -c 'mount -t tmpfs -o size=256k tmpfs "$CORVANTA_TEST_FULL_DIR" &&
  mount -t tmpfs -o ro tmpfs "$CORVANTA_TEST_RO_DIR" && exec "$@"' small-disk "$@"
rc=$?
rm -rf "$base"
exit $rc
