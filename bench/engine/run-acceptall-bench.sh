#!/bin/sh
# `sondrix check --accept-all` over 10,000 addresses spread over 20 domains
# of the fake world, all of which accept any address, inside a private
# network namespace. Prints how many made-up addresses were checked (one per
# domain is expected), how many lines came out, and the wall time with and
# without the probe.
#
#   bench/engine/run-acceptall-bench.sh [BUILD_DIR] [ADDRESSES] [JOBS]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
exec unshare -rn sh -c '
  ip link set lo up
  ulimit -n "$(ulimit -Hn)"
  bin=$1 addresses=$2 jobs=$3 list=$(mktemp) tab=$(printf "\\t")
  "$bin/fakeworld" --dns 127.0.0.1:53 --domains 20 >/dev/null </dev/null &
  world=$!
  sleep 1
  i=0
  while [ $i -lt "$addresses" ]; do
    echo "user$i@domain$((i % 20 + 1)).test"
    i=$((i + 1))
  done >"$list"
  for probe in "" --accept-all; do
    start=$(date +%s.%N)
    "$bin/sondrix" check --dns-server 127.0.0.1 --jobs "$jobs" --progress $probe - \
      <"$list" >"$list.out" 2>"$list.err"
    end=$(date +%s.%N)
    probes=$(grep -E "^[a-z0-9]{20}@domain[0-9]+\.test	3	" "$list.err" | wc -l)
    echo "sondrix check ${probe:-(no probe)}: $(wc -l <"$list.out") lines," \
      "$probes made-up addresses checked," \
      "$(grep -c "${tab}risky${tab}accept_all\$" "$list.out" || true) risky/accept_all," \
      "$(echo "$end - $start" | bc) s"
  done
  kill $world
  rm -f "$list" "$list.out" "$list.err"
' run-acceptall-bench "$build/bin" "${2:-10000}" "${3:-100}"
