#!/bin/sh
# Runs the engine benchmarks inside a private network namespace (the fake
# world binds port 53 and port 25 on loopback) and prints their figures.
#
#   bench/engine/run-engine-bench.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
bin=$build/bin
exec unshare -rn sh -c '
  ip link set lo up
  ulimit -n "$(ulimit -Hn)"
  echo "== throughput"
  "$1/engine_bench" throughput --addresses 2000 --jobs 50,200 --delay-ms 20 --domains 20
  echo "== engine alone (in-memory components)"
  "$1/engine_bench" scripted --addresses 2000 --jobs 50,200 --delay-ms 20
  echo "== memory"
  "$1/engine_bench" memory --objects 1000
' run-engine-bench "$bin"
