# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced: starts a private INN2 from the unpacked package in $1, listening on 127.0.0.1
# only, from a temporary folder that goes (with the servers) when the shell exits:
# innd in transit mode on $transit_port, nnrpd for posters on $reader_port, and nnrpd
# with implicit TLS on $tls_port (certificate $news/etc/cert.pem, for 127.0.0.1: a fresh
# system may not resolve "localhost"); nnrpd on $auth_port lets only the user "poster"
# with the password "news secret" post, after AUTHINFO USER/PASS.
# More servers, each with its own folder, spool and ports and nothing fed between them:
# `inn2_start PREFIX` sets ${PREFIX}news, ${PREFIX}reader_port, ... as above (the first
# is started with the empty prefix); `inn2_stop PREFIX` kills one, as a crash would.
# innd starts as root (through sudo for a user) and drops to the news user.
inn="$(cd "$1" && pwd)" # absolute: innd runs its readers from the folder it works in
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo -n)
work="$(mktemp -d /tmp/tamberlon-inn2.XXXXXX)"
bin="$inn/usr/lib/news/bin"
export LD_LIBRARY_PATH="$inn/usr/lib/news"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
# Runs a command as root with the server's library path and the inn.conf in $INNCONF (the
# one being started while inn2_start runs, else the first server's).
run_news() { "${as_root[@]}" env LD_LIBRARY_PATH="$LD_LIBRARY_PATH" INNCONF="$INNCONF" "$@"; }

inn2_prefixes=()
inn2_stop() { # PREFIX
  local folder="${1}news" daemon="${1}innd_pid" pid
  # innd in the foreground (-d) writes no pid file, and outlived SIGTERM: it is killed (and
  # so is its sudo's child, where sudo started it).
  if [ -n "${!daemon:-}" ]; then
    "${as_root[@]}" pkill -KILL -P "${!daemon}" 2>/dev/null || true
    "${as_root[@]}" kill -KILL "${!daemon}" 2>/dev/null || true
  fi
  for pid in "${!folder}"/run/*.pid; do
    if [ -f "$pid" ]; then "${as_root[@]}" kill -KILL "$(cat "$pid")" 2>/dev/null || true; fi
  done
}
stop() {
  local prefix
  for prefix in "${inn2_prefixes[@]}"; do inn2_stop "$prefix"; done
  sleep 0.5
  "${as_root[@]}" rm -rf "$work"
}
trap stop EXIT

inn2_configure() { # FOLDER TRANSIT-PORT: inn.conf and the files innd reads at its start
  local dir="$1"
  mkdir -p "$dir"/{etc,db,run,log,tmp,http,filter,spool/{articles,overview,incoming,outgoing,archive}}
  "${as_root[@]}" cp -r "$inn/etc/news/." "$dir/etc/" # some are readable by their owner only
  "${as_root[@]}" chown -R "$(id -u):$(id -g)" "$dir/etc"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=tamberlon.test" \
    -addext "subjectAltName=IP:127.0.0.1" -keyout "$dir/etc/key.pem" -out "$dir/etc/cert.pem" 2>/dev/null
  cat >"$dir/etc/inn.conf" <<CONF
organization: "Tamberlon tests"
pathhost: tamberlon.test
domain: tamberlon.test
server: 127.0.0.1
bindaddress: 127.0.0.1
port: $2
mta: "/bin/true"
runasuser: news
runasgroup: news
maxartsize: 0
# a loaded test machine must not turn posters away
nnrpdloadlimit: 0
ovmethod: tradindexed
hismethod: hisv6
tlscertfile: $dir/etc/cert.pem
tlskeyfile: $dir/etc/key.pem
pathnews: $dir
pathbin: $bin
pathcontrol: $bin/control
pathfilter: $dir/filter
pathdb: $dir/db
pathetc: $dir/etc
pathrun: $dir/run
pathlog: $dir/log
pathhttp: $dir/http
pathtmp: $dir/tmp
pathspool: $dir/spool
patharticles: $dir/spool/articles
pathoverview: $dir/spool/overview
pathincoming: $dir/spool/incoming
pathoutgoing: $dir/spool/outgoing
patharchive: $dir/spool/archive
CONF
  printf 'control 0000000000 0000000001 n\ncontrol.cancel 0000000000 0000000001 n\njunk 0000000000 0000000001 n\nalt.binaries.test 0000000000 0000000001 y\n' >"$dir/db/active"
  touch "$dir/db/active.times" "$dir/db/newsgroups" "$dir/db/history"
  printf 'ME:*::\n' >"$dir/etc/newsfeeds" # feeds nobody: each server keeps its own articles
  # ckpasswd checks the password against crypt(3)'s hash of it.
  printf 'poster:%s\n' "$(openssl passwd -6 'news secret')" >"$dir/etc/posters.passwd"
  cat >"$dir/etc/readers-auth.conf" <<CONF
auth "posters" {
    hosts: "*"
    auth: "ckpasswd -f $dir/etc/posters.passwd"
}
access "posters" {
    users: "poster"
    newsgroups: "*"
    access: RPA
}
CONF
}

inn2_start() { # PREFIX
  local prefix="$1" dir ports=()
  dir="$work/inn${#inn2_prefixes[@]}"
  for _ in transit reader tls auth; do ports+=("$(free_port)"); done
  local INNCONF="$dir/etc/inn.conf" # run_news's, while this server is made
  inn2_configure "$dir" "${ports[0]}"
  chmod 755 "$work" # the news user passes through; the rest of the folder stays the caller's
  "${as_root[@]}" chown -R news:news "$dir"
  run_news su news -s /bin/sh -c "LD_LIBRARY_PATH=$LD_LIBRARY_PATH INNCONF=$INNCONF $bin/makedbz -i -o"
  printf -v "${prefix}news" '%s' "$dir"
  printf -v "${prefix}transit_port" '%s' "${ports[0]}"
  printf -v "${prefix}reader_port" '%s' "${ports[1]}"
  printf -v "${prefix}tls_port" '%s' "${ports[2]}"
  printf -v "${prefix}auth_port" '%s' "${ports[3]}"
  inn2_prefixes+=("$prefix")
  # Not through run_news: $! must be innd's own process (or sudo's, which passes the signal on).
  "${as_root[@]}" env LD_LIBRARY_PATH="$LD_LIBRARY_PATH" INNCONF="$INNCONF" "$bin/innd" -d \
    >"$dir.innd.out" 2>&1 &
  printf -v "${prefix}innd_pid" '%s' "$!"
  run_news "$bin/nnrpd" -D -b 127.0.0.1 -p "${ports[1]}"
  run_news "$bin/nnrpd" -D -S -b 127.0.0.1 -p "${ports[2]}"
  run_news "$bin/nnrpd" -D -b 127.0.0.1 -p "${ports[3]}" -c readers-auth.conf
  for _ in $(seq 50); do
    python3 -c "import socket; [socket.create_connection(('127.0.0.1',p),1).close() for p in (${ports[*]/%/,})]" \
      2>/dev/null && return
    sleep 0.2
  done
}

inn2_start ""
# shellcheck disable=SC2154 # $news is set by inn2_start
export INNCONF="$news/etc/inn.conf"
