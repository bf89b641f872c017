#!/bin/sh
# Benchmarks of `sondrix check` with the polite scheduler, in the fake world
# inside a private network namespace. Prints figures; never fails on a time.
#
#   bench/engine/politeness-bench.sh [BUILD_DIR] [lists|peer|memory|all]
#
# lists:  ADDRESSES addresses (default 100000) at DOMAINS domains (1000), BIG
#         of them (5) holding BIGSHARE% (80) of the list; JOBS jobs (200),
#         PERDOMAIN checks per domain (20), every mail server reply DELAY ms
#         late (20). Then the same list with no limits and the DNS cache off.
#         Wall time against the ideal the limits allow, MX queries sent, CPU
#         per address.
# peer:   PEER_ADDRESSES addresses (2000) at 20 domains, every reply 100 ms
#         late, at 200 and 500 jobs: sondrix check against the npm package
#         email-verify, installed by `npm install` in bench/peer (never into
#         the product). Wall time and CPU per address for both.
# memory: 1000 objects waiting on a silent mail server: resident memory per
#         busy object, with and without the DNS cache.
#
# Settings are environment variables of the names above.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
what=${2:-all}
# A mount namespace too: the peer finds mail servers through the system's
# resolver, which is pointed at the fake world's DNS server here only.
exec unshare -rnm sh -c '
  ip link set lo up
  ulimit -n "$(ulimit -Hn)"
  conf=$(mktemp)
  echo "nameserver 127.0.0.1" >"$conf"
  mount --bind "$conf" /etc/resolv.conf
  exec sh "$0/bench/engine/politeness-run.sh" "$@"
' "$root" "$build/bin" "$what"
