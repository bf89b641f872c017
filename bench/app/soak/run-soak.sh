#!/bin/sh
# Runs the soak test inside a private network namespace (the fake world binds
# port 53 and port 25 on loopback, and the test takes loopback down once).
#
#   bench/app/soak/run-soak.sh [BUILD_DIR] [ADDRESSES] [THREADS]
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-$root/build}
export SOAK_ADDRESSES=${2:-200000} SOAK_THREADS=${3:-200}
exec unshare -rn sh -c '
  ip link set lo up
  ulimit -n "$(ulimit -Hn)"
  "$1/cv_soak_bench"
' run-soak "$build/bin"
