#!/bin/sh
# Runs the whole-program benchmarks inside a private network namespace (the
# fake world binds port 53 and port 25 on loopback) and prints their figures.
#
#   bench/app/e2e/run-e2e-bench.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-$root/build}
exec unshare -rn sh -c '
  ip link set lo up
  ulimit -n "$(ulimit -Hn)"
  "$1/cv_e2e_bench" throughput 10000 200 20
  "$1/cv_e2e_bench" silent 500 10
' run-e2e-bench "$build/bin"
