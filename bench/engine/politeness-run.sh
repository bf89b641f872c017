#!/bin/sh
# The body of politeness-bench.sh, run inside its network namespace.
#   politeness-run.sh BIN_DIR lists|peer|memory|all
set -eu
bin=$1
what=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Starts the fake world with `$@` and waits until it listens. Its standard
# input is a FIFO held open on descriptor 3; closing it ends the world, which
# then prints its DNS query counts into $work/world.err.
world_start() {
  rm -f "$work/ctl"
  mkfifo "$work/ctl"
  "$bin/fakeworld" "$@" <"$work/ctl" >"$work/world.out" 2>"$work/world.err" &
  world_pid=$!
  exec 3>"$work/ctl"
  while ! grep -q ready "$work/world.out" 2>/dev/null; do sleep 0.1; done
}
world_stop() {
  exec 3>&-
  wait "$world_pid" || true
  sed -n 's/^fakeworld: //p' "$work/world.err"
}

# Writes N addresses to $work/list: BIG domains hold SHARE% of them, the rest
# spread over the other domains (domainI.test of the fake world), shuffled
# the same way each time.
make_list() {
  awk -v n="$1" -v domains="$2" -v big="$3" -v share="$4" 'BEGIN {
    srand(15)
    for (i = 0; i < n; i++) {
      if (rand() * 100 < share) d = 1 + int(rand() * big)
      else d = big + 1 + int(rand() * (domains - big))
      printf "user%d@domain%d.test\n", i, d
    }
  }' >"$work/list"
}

# Runs one command on the list; prints wall and CPU seconds.
timed() {
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" <"$work/list" >"$work/out" 2>"$work/err" || true
  read -r wall user sys <<EOF
$(tail -n 1 "$work/time")
EOF
  echo "$wall $user $sys"
}

report() { # label addresses wall user sys ideal
  awk -v l="$1" -v n="$2" -v w="$3" -v u="$4" -v s="$5" -v ideal="$6" 'BEGIN {
    printf "%-34s wall %7.2f s  ideal %7.2f s (%5.1f%%)  CPU %6.3f ms/address\n",
           l, w, ideal, (ideal > 0 ? 100 * ideal / w : 0), 1000 * (u + s) / n
  }'
}

if [ "$what" = lists ] || [ "$what" = all ]; then
  n=${ADDRESSES:-100000}; domains=${DOMAINS:-1000}; big=${BIG:-5}; share=${BIGSHARE:-80}
  jobs=${JOBS:-200}; per=${PERDOMAIN:-20}; delay=${DELAY:-20}
  make_list "$n" "$domains" "$big" "$share"
  # One conversation is five replies: greeting, EHLO, MAIL, RCPT, QUIT.
  conv=$(awk -v d="$delay" 'BEGIN { print 5 * d / 1000 }')
  # The largest domain's addresses at PERDOMAIN at once, or all at JOBS.
  ideal=$(awk -v n="$n" -v big="$big" -v share="$share" -v jobs="$jobs" -v per="$per" \
    -v c="$conv" -v f="$work/list" 'BEGIN {
      while ((getline line < f) > 0) { split(line, p, "@"); count[p[2]]++ }
      for (d in count) if (count[d] > most) most = count[d]
      a = n / jobs * c; b = most / per * c
      print (a > b ? a : b)
    }')
  echo "== $n addresses, $domains domains ($big hold $share%), $jobs jobs, replies $delay ms late"
  world_start --domains "$domains" --reply-delay-ms "$delay"
  set -- $(timed "$bin/sondrix" check --dns-server 127.0.0.1 --jobs "$jobs" --per-domain "$per" -)
  report "per-domain $per, DNS cache on" "$n" "$1" "$2" "$3" "$ideal"
  world_stop
  noideal=$(awk -v n="$n" -v jobs="$jobs" -v c="$conv" 'BEGIN { print n / jobs * c }')
  world_start --domains "$domains" --reply-delay-ms "$delay"
  set -- $(timed "$bin/sondrix" check --dns-server 127.0.0.1 --jobs "$jobs" --no-dns-cache -)
  report "no limits, DNS cache off" "$n" "$1" "$2" "$3" "$noideal"
  world_stop
fi

if [ "$what" = peer ] || [ "$what" = all ]; then
  n=${PEER_ADDRESSES:-2000}
  peer="$here/../peer/node_modules/.bin/email-verify"
  make_list "$n" 20 20 100
  cp "$work/list" "$work/list.txt" # the peer reads only files named *.txt
  echo "== $n addresses at 20 domains, every reply 100 ms late"
  world_start --domains 20 --reply-delay-ms 100
  for jobs in 200 500; do
    ideal=$(awk -v n="$n" -v j="$jobs" 'BEGIN { print n / j * 0.5 }')
    set -- $(timed "$bin/sondrix" check --dns-server 127.0.0.1 --jobs "$jobs" -)
    report "sondrix check, $jobs jobs" "$n" "$1" "$2" "$3" "$ideal"
    if [ -x "$peer" ]; then
      /usr/bin/time -f "%e %U %S" -o "$work/time" node "$peer" -dns 127.0.0.1 -c "$jobs" \
        -t 30000 --file "$work/list.txt" >"$work/peer.out" 2>&1 || true
      read -r wall user sys <<EOF
$(tail -n 1 "$work/time")
EOF
      report "email-verify (npm), $jobs jobs" "$n" "$wall" "$user" "$sys" "$ideal"
      echo "   email-verify found $(grep -c 'success: true' "$work/peer.out" || true) valid of $n"
    else
      echo "   email-verify is not installed: run npm install in bench/peer"
    fi
  done
  world_stop
fi

if [ "$what" = memory ] || [ "$what" = all ]; then
  echo "== resident memory per busy object, waiting on a silent mail server"
  world_start --domains 2 --silent-domains 1
  resident() { # jobs cache-option: resident KB of sondrix check after 6 s
    awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++) printf "u%d@domain2.test\n", i }' >"$work/list"
    "$bin/sondrix" check --dns-server 127.0.0.1 --jobs "$1" --smtp-timeout 30 $2 - \
      <"$work/list" >/dev/null 2>&1 &
    pid=$!
    sleep 6
    kb=$(awk '/VmRSS/ { print $2 }' "/proc/$pid/status")
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$kb"
  }
  for cache in "" --no-dns-cache; do
    one=$(resident 1 "$cache")
    many=$(resident 1000 "$cache")
    awk -v a="$one" -v b="$many" -v c="${cache:-DNS cache on}" 'BEGIN {
      printf "%-16s 1 object %d KB, 1000 objects %d KB: %.1f KB per busy object\n",
             c, a, b, (b - a) / 999 }'
  done
  world_stop
fi
