# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced: starts a private INN2 from the unpacked package in $1, listening on 127.0.0.1
# only, from a temporary folder that goes (with the servers) when the shell exits:
# innd in transit mode on $transit_port, nnrpd for posters on $reader_port, and nnrpd
# with implicit TLS on $tls_port (certificate $news/etc/cert.pem, for 127.0.0.1: a fresh
# system may not resolve "localhost"); nnrpd on $auth_port lets only the user "poster"
# with the password "news secret" post, after AUTHINFO USER/PASS.
# innd starts as root (through sudo for a user) and drops to the news user.
inn="$1"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo -n)
work="$(mktemp -d /tmp/tamberlon-inn2.XXXXXX)"
news="$work/news"
bin="$inn/usr/lib/news/bin"
export LD_LIBRARY_PATH="$inn/usr/lib/news" INNCONF="$news/etc/inn.conf"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
transit_port=$(free_port) reader_port=$(free_port) tls_port=$(free_port) auth_port=$(free_port)

innd_pid=
stop() {
  # innd in the foreground (-d) writes no pid file, and outlived SIGTERM: it is killed (and
  # so is its sudo's child, where sudo started it).
  if [ -n "$innd_pid" ]; then
    "${as_root[@]}" pkill -KILL -P "$innd_pid" 2>/dev/null || true
    "${as_root[@]}" kill -KILL "$innd_pid" 2>/dev/null || true
  fi
  for pid in "$news"/run/*.pid; do
    [ -f "$pid" ] && "${as_root[@]}" kill "$(cat "$pid")" 2>/dev/null || true
  done
  sleep 0.5
  "${as_root[@]}" rm -rf "$work"
}
trap stop EXIT

# The server's folders, owned by the news user that innd and nnrpd run as.
mkdir -p "$news"/{etc,db,run,log,tmp,http,filter,spool/{articles,overview,incoming,outgoing,archive}}
"${as_root[@]}" cp -r "$inn/etc/news/." "$news/etc/" # some are readable by their owner only
"${as_root[@]}" chown -R "$(id -u):$(id -g)" "$news/etc"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=tamberlon.test" \
  -addext "subjectAltName=IP:127.0.0.1" -keyout "$news/etc/key.pem" -out "$news/etc/cert.pem" 2>/dev/null
cat > "$news/etc/inn.conf" <<CONF
organization: "Tamberlon tests"
pathhost: tamberlon.test
domain: tamberlon.test
server: 127.0.0.1
bindaddress: 127.0.0.1
port: $transit_port
mta: "/bin/true"
runasuser: news
runasgroup: news
maxartsize: 0
ovmethod: tradindexed
hismethod: hisv6
tlscertfile: $news/etc/cert.pem
tlskeyfile: $news/etc/key.pem
pathnews: $news
pathbin: $bin
pathcontrol: $bin/control
pathfilter: $news/filter
pathdb: $news/db
pathetc: $news/etc
pathrun: $news/run
pathlog: $news/log
pathhttp: $news/http
pathtmp: $news/tmp
pathspool: $news/spool
patharticles: $news/spool/articles
pathoverview: $news/spool/overview
pathincoming: $news/spool/incoming
pathoutgoing: $news/spool/outgoing
patharchive: $news/spool/archive
CONF
printf 'control 0000000000 0000000001 n\ncontrol.cancel 0000000000 0000000001 n\njunk 0000000000 0000000001 n\nalt.binaries.test 0000000000 0000000001 y\n' >"$news/db/active"
touch "$news/db/active.times" "$news/db/newsgroups" "$news/db/history"
printf 'ME:*::\n' >"$news/etc/newsfeeds"
# ckpasswd checks the password against crypt(3)'s hash of it.
printf 'poster:%s\n' "$(openssl passwd -6 'news secret')" >"$news/etc/posters.passwd"
cat > "$news/etc/readers-auth.conf" <<CONF
auth "posters" {
    hosts: "*"
    auth: "ckpasswd -f $news/etc/posters.passwd"
}
access "posters" {
    users: "poster"
    newsgroups: "*"
    access: RPA
}
CONF
chmod 755 "$work" # the news user passes through; the rest of the folder stays the caller's
"${as_root[@]}" chown -R news:news "$news"
run_news() { "${as_root[@]}" env LD_LIBRARY_PATH="$LD_LIBRARY_PATH" INNCONF="$INNCONF" "$@"; }
run_news su news -s /bin/sh -c "LD_LIBRARY_PATH=$LD_LIBRARY_PATH INNCONF=$INNCONF $bin/makedbz -i -o"
# Not through run_news: $! must be innd's own process (or sudo's, which passes the signal on).
"${as_root[@]}" env LD_LIBRARY_PATH="$LD_LIBRARY_PATH" INNCONF="$INNCONF" "$bin/innd" -d \
  >"$work/innd.out" 2>&1 &
innd_pid=$!
run_news "$bin/nnrpd" -D -b 127.0.0.1 -p "$reader_port"
run_news "$bin/nnrpd" -D -S -b 127.0.0.1 -p "$tls_port"
run_news "$bin/nnrpd" -D -b 127.0.0.1 -p "$auth_port" -c readers-auth.conf
for _ in $(seq 50); do
  python3 -c "import socket; [socket.create_connection(('127.0.0.1',p),1).close() for p in ($transit_port,$reader_port,$tls_port,$auth_port)]" 2>/dev/null && break
  sleep 0.2
done
