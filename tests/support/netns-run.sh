#!/bin/sh
# Runs a command inside a private network namespace that has only loopback,
# so tests can bind 127.0.0.x:25 and talk to fake servers without root and
# without touching the machine's real network. If the namespace cannot be
# made, this fails (and so does the test): it never runs the command outside.
# Loopback also gets 192.0.2.25, a documentation address outside 127/8, for
# tests that need a server Qt does not treat as local. The documentation
# network 198.51.100.0/24 is routed into loopback, where nothing takes it:
# a connection to it is never answered, as with a firewall that drops it.
#
#   netns-run.sh COMMAND [ARG...]
exec unshare -rn sh -c 'ip link set lo up && ip addr add 192.0.2.25/32 dev lo && ip route add 198.51.100.0/24 dev lo && exec "$@"' netns-run "$@"
