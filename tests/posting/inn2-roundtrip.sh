#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Posts releases to a private INN2 on 127.0.0.1 (plain, through innd's MODE READER, and
# implicit TLS with a certificate made here), then checks them with tools we did not
# write: every article fetched back and decoded by uudeview equals the original, the NZB
# (plain, and .nzb.gz with its head entries) is valid against the NZB 1.1 DTD, the check
# asks a second reader of the spool when told to, a certificate not trusted is refused, and a post
# killed mid-way three times and run again leaves each article once on the server, as
# does a shelf of three albums posted with --recursive, stopped after one album and
# killed in the next; a list of post servers whose first is down posts each article once
# on the others; and the window's post, paused and continued, against the same server.
# Then a second INN with its own spool, fed nothing: as the check server of a post to the
# first it never finds the articles (posted again, each once, and the run fails saying so),
# and with the first killed it takes a list's whole post, downloaded by NZBGet.
# Usage: inn2-roundtrip.sh TAMBERLON_CLI INN2_ROOT DTD [WINDOW_TESTS]
set -euo pipefail
cli="$1" dtd="$3" window_tests="${4:-}"
source "$(dirname "$0")/inn2-server.sh" "$2"

# The release: an .nfo, an .sfv and two "tracks" of random bytes, one spanning articles.
release="$work/release"
mkdir -p "$release"
printf 'Artist - Album\r\n' >"$release/Album.nfo"
head -c 1500000 /dev/urandom >"$release/01 - One.flac"
head -c 300000 /dev/urandom >"$release/02 - Two.flac"
printf '01 - One.flac 00000000\r\n' >"$release/Album.sfv"

fetch_and_compare() { # NZB: every segment fetched with ARTICLE, decoded by uudeview
  # Each file's articles decoded apart, as a downloader groups them by the NZB: an
  # obfuscated post's random subjects leave uudeview nothing to group them by.
  local nzb="$1" out="$work/fetched.$RANDOM"
  mkdir -p "$out/articles" "$out/files"
  python3 -W ignore - "$nzb" "$out/articles" "$reader_port" <<'PY'
import nntplib, os, re, sys
nzb, folder, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
files = re.findall(r'<file .*?</file>', open(nzb).read(), re.S)
server = nntplib.NNTP('127.0.0.1', port)
for f, file in enumerate(files):
    os.mkdir('%s/%02d' % (folder, f))
    for i, id in enumerate(re.findall(r'>([^<>]+)</segment>', file)):
        lines = server.article('<' + id + '>')[1].lines
        open('%s/%02d/%04d' % (folder, f, i), 'wb').write(b'\r\n'.join(lines) + b'\r\n')
server.quit()
PY
  for file in "$out"/articles/*; do
    (cd "$out/files" && uudeview -i -q -p . "$file"/* >/dev/null 2>&1 || true)
  done
  # By content: an obfuscated post's files come back under their random names.
  diff <(cd "$out/files" && md5sum -- * | cut -d' ' -f1 | sort) \
    <(cd "$release" && md5sum -- Album.nfo Album.sfv "01 - One.flac" "02 - Two.flac" | cut -d' ' -f1 | sort)
  [ -f "$out/files/Album.nfo" ] # never obfuscated
  xmllint --noout --nonet --dtdvalid "$dtd" "$nzb" 2>/dev/null
}

post() { "$cli" post --group alt.binaries.test --article-size 200000 --timeout 20 "$@"; }

echo "plain, to nnrpd"
post --server "127.0.0.1:$reader_port" --tls none --nzb "$work/plain.nzb" --check-bodies "$release/Album.nfo" \
  "$release/Album.sfv" "$release/01 - One.flac" "$release/02 - Two.flac"
fetch_and_compare "$work/plain.nzb"

echo "check FILE.nzb: each file's articles looked up on the server, as the window's Verify does"
"$cli" check --server "127.0.0.1:$reader_port" --tls none "$work/plain.nzb" >"$work/check.out"
cat "$work/check.out"
grep -q "^4 files, [0-9]* articles: [0-9]* on the server$" "$work/check.out"
[ "$(grep -c ' OK$' "$work/check.out")" = 4 ]
sed 's|<segment \([^>]*\)>|<segment \1>gone-|' "$work/plain.nzb" >"$work/gone.nzb"
if "$cli" check --server "127.0.0.1:$reader_port" --tls none "$work/gone.nzb" >"$work/check.out"; then
  echo "an NZB of articles the server does not hold passed the check" >&2
  exit 1
fi
grep -q "MISSING" "$work/check.out" || { cat "$work/check.out" >&2; exit 1; }

echo "check FILE.nzb --repost: an article the server never got posted again under its ID, once"
sed '0,/<segment \([^>]*\)>/s//<segment \1>lost-/' "$work/plain.nzb" >"$release/lost.nzb"
"$cli" check --server "127.0.0.1:$reader_port" --tls none --article-size 200000 --repost \
  "$release/lost.nzb" >"$work/repost.out" || { cat "$work/repost.out" >&2; exit 1; }
cat "$work/repost.out"
grep -q " 1 posted by this run .*; every article is on the server$" "$work/repost.out"
grep -q ">lost-" "$release/lost.nzb" # under the ID the NZB gave it
"$cli" check --server "127.0.0.1:$reader_port" --tls none --article-size 200000 --repost \
  "$release/lost.nzb" >"$work/repost.out"
grep -q "^4 files, [0-9]* articles: [0-9]* on the server$" "$work/repost.out"
fetch_and_compare "$release/lost.nzb"
rm "$release/lost.nzb"

echo "plain, to innd in transit mode (MODE READER)"
post --server "127.0.0.1:$transit_port" --tls none --nzb "$work/transit.nzb" "$release/Album.nfo" \
  "$release/Album.sfv" "$release/01 - One.flac" "$release/02 - Two.flac"
fetch_and_compare "$work/transit.nzb"

echo "implicit TLS, the certificate trusted by naming it"
post --server "127.0.0.1:$tls_port" --ca-file "$news/etc/cert.pem" --obfuscate --nzb "$work/tls.nzb" \
  "$release/Album.nfo" "$release/Album.sfv" "$release/01 - One.flac" "$release/02 - Two.flac"
fetch_and_compare "$work/tls.nzb"

echo "implicit TLS, a certificate the system does not trust"
if post --server "127.0.0.1:$tls_port" --nzb "$work/refused.nzb" "$release/Album.nfo" 2>"$work/refused.err"; then
  echo "a certificate nobody trusts was accepted" >&2
  exit 1
fi
grep -q "certificate was refused" "$work/refused.err" || { cat "$work/refused.err" >&2; exit 1; }
cat "$work/refused.err"

echo "AUTHINFO USER/PASS: the password from the environment, then a wrong one"
TAMBERLON_NNTP_PASSWORD='news secret' post --server "127.0.0.1:$auth_port" --tls none --user poster \
  --nzb "$work/auth.nzb" "$release/Album.nfo" "$release/Album.sfv" "$release/01 - One.flac" "$release/02 - Two.flac"
fetch_and_compare "$work/auth.nzb"
if TAMBERLON_NNTP_PASSWORD='guess' post --server "127.0.0.1:$auth_port" --tls none --user poster \
  --nzb "$work/refused.nzb" "$release/Album.nfo" 2>"$work/refused.err"; then
  echo "a wrong password was accepted" >&2
  exit 1
fi
grep -q "481" "$work/refused.err" || { cat "$work/refused.err" >&2; exit 1; }
! grep -q "guess" "$work/refused.err" || { echo "the password was shown" >&2; exit 1; }
cat "$work/refused.err"

echo "the check on another server: posted over TLS, looked up on a second reader of the spool"
post --server "127.0.0.1:$tls_port" --ca-file "$news/etc/cert.pem" \
  --check-server "127.0.0.1:$reader_port" --check-tls none --check-delay 1 --nzb "$work/checked.nzb" \
  "$release/Album.nfo" "$release/Album.sfv" "$release/01 - One.flac" "$release/02 - Two.flac" >"$work/checked.out"
cat "$work/checked.out"
grep -q "; every article found on 127.0.0.1:$reader_port after 1 s$" "$work/checked.out"
fetch_and_compare "$work/checked.nzb"

echo "NZB options: head entries, .nzb.gz, a copy into a folder, a command given the path as one word"
opts="$work/with space"
mkdir -p "$opts" "$work/indexer"
cp "$release"/* "$opts/"
printf 'archive secret\n' >"$work/nzb.pw" && chmod 600 "$work/nzb.pw"
printf '#!/bin/sh\nprintf "%%s\\n" "$#" "$@" >"$0.seen"\necho handed over\n' >"$work/upload" && chmod +x "$work/upload"
post --server "127.0.0.1:$reader_port" --tls none --nzb-gz --nzb-title 'Artist & "Band" - Album' \
  --nzb-tag FLAC --nzb-category 'Audio > Lossless' --nzb-password-file "$work/nzb.pw" \
  --nzb-copy-to "$work/indexer" --after-post "$work/upload" "$opts/Album.nfo" >"$work/options.out" 2>"$work/options.err" ||
  { cat "$work/options.out" "$work/options.err" >&2; exit 1; }
gunzip -c "$opts/Album.nzb.gz" >"$work/options.nzb"
xmllint --noout --nonet --dtdvalid "$dtd" "$work/options.nzb" 2>/dev/null
for meta in '"title">Artist &amp; &quot;Band&quot; - Album<' '"tag">FLAC<' '"category">Audio &gt; Lossless<' '"password">archive secret<'; do
  grep -qF "$meta" "$work/options.nzb" || { echo "no meta $meta" >&2; exit 1; }
done
cmp "$opts/Album.nzb.gz" "$work/indexer/Album.nzb.gz"
[ "$(cat "$work/upload.seen")" = "$(printf '1\n%s' "$opts/Album.nzb.gz")" ]
grep -q "^handed over$" "$work/options.err" && grep -q "after the post exited with status 0" "$work/options.err"
"$cli" check --server "127.0.0.1:$reader_port" --tls none "$opts/Album.nzb.gz" | grep -q "^4 files, [0-9]* articles: [0-9]* on the server$"
fetch_and_compare "$work/options.nzb"
echo "  a command that fails is told, with the post's status 1; a post that fails runs none"
if post --server "127.0.0.1:$reader_port" --tls none --nzb "$work/failing.nzb" --after-post "sh -c 'exit 3'" \
  "$release/Album.sfv" 2>"$work/failing.err"; then
  echo "a failed command after the post went unsaid" >&2
  exit 1
fi
grep -q "after the post exited with status 3" "$work/failing.err" || { cat "$work/failing.err" >&2; exit 1; }
rm -f "$work/upload.seen"
if post --server "127.0.0.1:1" --tls none --timeout 2 --nzb "$work/nowhere.nzb" --after-post "$work/upload" \
  "$release/Album.sfv" 2>/dev/null; then
  echo "a post to no server succeeded" >&2
  exit 1
fi
[ ! -e "$work/upload.seen" ] || { echo "the command ran after a failed post" >&2; exit 1; }

echo "STARTTLS on the posters' port"
post --server "127.0.0.1:$reader_port" --tls starttls --ca-file "$news/etc/cert.pem" --nzb "$work/starttls.nzb" \
  "$release/Album.nfo" "$release/Album.sfv" "$release/01 - One.flac" "$release/02 - Two.flac"
fetch_and_compare "$work/starttls.nzb"

echo "certificates refused (served by openssl s_server): for another host, expired; and a name DNS does not know"
serve_tls() { # NAME DAYS SUBJECT-ALT-NAME: a certificate served on $tls_test_port
  openssl req -newkey rsa:2048 -nodes -subj "/CN=$1" -keyout "$work/$1.key" -out "$work/$1.csr" 2>/dev/null
  openssl x509 -req -in "$work/$1.csr" -signkey "$work/$1.key" -days "$2" \
    -extfile <(printf 'subjectAltName=%s' "$3") -out "$work/$1.pem" 2>/dev/null
  tls_test_port=$(free_port)
  openssl s_server -quiet -accept "127.0.0.1:$tls_test_port" -cert "$work/$1.pem" -key "$work/$1.key" \
    >/dev/null 2>&1 &
  tls_test_server=$!
  sleep 0.5
}
refused() { # EXPECTED OPTIONS...: the post fails and says EXPECTED
  local expected="$1"
  shift
  if post --nzb "$work/refused.nzb" "$@" "$release/Album.nfo" 2>"$work/refused.err"; then
    echo "posted where it should have been refused: $*" >&2
    exit 1
  fi
  grep -q "$expected" "$work/refused.err" || { cat "$work/refused.err" >&2; exit 1; }
  grep "$expected" "$work/refused.err"
}
serve_tls elsewhere 2 DNS:news.example.com
refused "the certificate is for another host name than 127.0.0.1" --server "127.0.0.1:$tls_test_port" \
  --ca-file "$work/elsewhere.pem"
kill "$tls_test_server"
serve_tls expired -1 IP:127.0.0.1
refused "certificate has expired" --server "127.0.0.1:$tls_test_port" --ca-file "$work/expired.pem"
kill "$tls_test_server"
refused "the server's name could not be found" --server "no-such-host.invalid:563"

echo "a plain connection to the TLS port: TLS said to be off, and the silence explained"
refused "nothing arrived after connecting: is this a port of TLS" --server "127.0.0.1:$tls_port" \
  --tls none --ca-file "$news/etc/cert.pem" --timeout 2 --retries 0
grep -q "warning: the certificate to trust is not used: TLS is off (--tls none)" "$work/refused.err" ||
  { cat "$work/refused.err" >&2; exit 1; }

echo "a post killed (kill -9) twice mid-way, then paused by Ctrl+C (SIGINT), then run again: each article once on the server"
head -c 6000000 /dev/urandom >"$release/03 - Long.flac" # 240 articles: the signals land mid-way
long_post=("$cli" post --group alt.binaries.test --article-size 25000 --connections 4
  --server "127.0.0.1:$reader_port" --tls none --nzb "$work/resumed.nzb")
accepted() { grep -vc " sending " "$work/resumed.nzb.journal" || true; } # with the header
for signal in KILL KILL INT; do # once this run has added 8 articles to the journal
  # Counted from this run's start: a killed run's last articles land after the signal, and a
  # signal sent before the new run has set SIGINT to its default would be ignored.
  [ -f "$work/resumed.nzb.journal" ] && lines=$(($(accepted) + 8)) || lines=8
  # A command put in the background by a script starts with SIGINT ignored, and keeps it
  # so, as the shell means; a terminal's Ctrl+C reaches one with SIGINT at its default.
  python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.execvp(sys.argv[1], sys.argv[1:])' \
    "${long_post[@]}" "$release/03 - Long.flac" 2>"$work/stopped.err" &
  poster=$!
  for _ in $(seq 200); do
    [ -f "$work/resumed.nzb.journal" ] && [ "$(accepted)" -gt "$lines" ] && break
    sleep 0.02
  done
  kill -"$signal" "$poster"
  status=0
  wait "$poster" 2>/dev/null || status=$?
  [ -f "$work/resumed.nzb.journal" ]
  if [ "$signal" = INT ]; then # paused where it can go on, said, and the shell's status
    cat "$work/stopped.err"
    [ "$status" -eq 130 ] && grep -q "posting paused: .* post again to continue" "$work/stopped.err"
  fi
done
accepted_before=$(($(accepted) - 1))
"${long_post[@]}" --json "$release/03 - Long.flac" >"$work/resumed.json"
cat "$work/resumed.json"
python3 -W ignore - "$work/resumed.json" "$accepted_before" "$reader_port" <<'PY'
import json, nntplib, sys
summary, before = json.load(open(sys.argv[1])), int(sys.argv[2])
assert summary["resumed"] and summary["complete"], summary
assert before < summary["articles"] == 240, (summary, before)
assert summary["posted"] <= summary["articles"] - before, (summary, before)  # found ones not claimed
server = nntplib.NNTP('127.0.0.1', int(sys.argv[3]))
_, _, first, last, _ = server.group('alt.binaries.test')
copies = [o for _, o in server.over((first, last))[1] if '"03 - Long.flac"' in o['subject']]
assert len(copies) == 240, "%d copies of 240 articles on the server" % len(copies)
PY
[ ! -f "$work/resumed.nzb.journal" ]
segments=$(grep -c "<segment " "$work/resumed.nzb")
unique=$(grep -o '>[^<>]*</segment>' "$work/resumed.nzb" | sort -u | wc -l)
[ "$segments" -eq 240 ] && [ "$unique" -eq 240 ]
echo "nfo --post: an album saved with its .sfv and PAR2 set, then posted"
album="$work/album"
mkdir -p "$album"
for n in 1 2; do
  sox -n -r 44100 -c 2 -b 16 "$work/t$n.wav" synth 3 sine $((300 * n)) 2>/dev/null
  lame --quiet -b 128 --tt "Song $n" --ta Artist --tl Album --tn "$n" "$work/t$n.wav" "$album/0$n.mp3"
done
"$cli" nfo --sfv --par2 --post --group alt.binaries.test --server "127.0.0.1:$reader_port" --tls none \
  --check-bodies "$album" >"$work/nfo-post.out"
cat "$work/nfo-post.out"
grep -q "every article is on the server" "$work/nfo-post.out"
nzb=$(ls "$album"/*.nzb)
for f in "$album"/*.nfo "$album"/*.sfv "$album"/*.mp3 "$album"/*.par2; do
  grep -qF "&quot;$(basename "$f")&quot;" "$nzb"
done
echo "post --recursive: a shelf of three albums, one posted (--max-albums 1), the next killed mid-way, then the rest"
shelf="$work/shelf"
for n in 1 2 3; do
  mkdir -p "$shelf/Album $n"
  for t in 1 2; do
    lame --quiet -b 128 --tt "Song $n.$t" --ta "Artist $n" --tl "Album $n" --tn "$t" "$work/t$t.wav" \
      "$shelf/Album $n/0$t.mp3"
  done
done
"$cli" nfo --recursive --sfv --group alt.binaries.test "$shelf" >/dev/null
shelf_post=("$cli" post --recursive --article-size 2000 --connections 1 --server "127.0.0.1:$reader_port"
  --tls none "$shelf")
"${shelf_post[@]}" --max-albums 1 >"$work/shelf1.out"
cat "$work/shelf1.out"
grep -q "^1 album: 1 posted, 0 failed, 0 skipped$" "$work/shelf1.out"
"${shelf_post[@]}" >"$work/shelf2.out" 2>/dev/null &
poster=$!
nfo=$(echo "$shelf/Album 2/"*.nfo)
journal="${nfo%.nfo}.nzb.journal"
for _ in $(seq 500); do
  [ -f "$journal" ] && [ "$(grep -vc " sending " "$journal" || true)" -gt 10 ] && break
  sleep 0.02
done
kill -KILL "$poster"
wait "$poster" 2>/dev/null || true
[ -f "$journal" ] || { echo "the second album was not under way when killed" >&2; exit 1; }
"${shelf_post[@]}" >"$work/shelf3.out"
cat "$work/shelf3.out"
grep -q "^skipped: .*Album 1/" "$work/shelf3.out"
grep -q "^3 albums: 2 posted, 0 failed, 1 skipped$" "$work/shelf3.out"
for n in 1 2 3; do
  nzb=$(echo "$shelf/Album $n/"*.nzb)
  [ ! -e "$nzb.journal" ]
  out="$work/shelf-fetched.$n"
  mkdir -p "$out/articles" "$out/files"
  python3 -W ignore - "$nzb" "$out/articles" "$reader_port" <<'PY'
import nntplib, re, sys
nzb, folder, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
text = open(nzb).read()
ids = re.findall(r'>([^<>]+)</segment>', text)
assert len(ids) == len(set(ids)), "an ID twice in the NZB"
server = nntplib.NNTP('127.0.0.1', port)
_, _, first, last, _ = server.group('alt.binaries.test')
subjects = [o['subject'] for _, o in server.over((first, last))[1]]
for subject in set(re.findall(r'subject="([^"]+)"', text)):
    subject = subject.replace('&quot;', '"').replace('&amp;', '&')
    stem = subject[:subject.rindex('(') + 1]  # "release [i/N] - "name" yEnc ("
    copies = sum(1 for s in subjects if s.startswith(stem))
    parts = int(subject[subject.rindex('/') + 1:-1])
    assert copies == parts, "%d copies of the %d articles of %s" % (copies, parts, subject)
for i, id in enumerate(ids):
    lines = server.article('<' + id + '>')[1].lines
    open('%s/%04d' % (folder, i), 'wb').write(b'\r\n'.join(lines) + b'\r\n')
server.quit()
PY
  (cd "$out/files" && uudeview -i -q -p . "$out"/articles/* >/dev/null 2>&1 || true)
  for f in "$shelf/Album $n/"*.mp3 "$shelf/Album $n/"*.nfo "$shelf/Album $n/"*.sfv; do
    cmp "$f" "$out/files/$(basename "$f")"
  done
done
echo "NZBGet downloads the NZB and repairs two cancelled articles from the release's PAR2 set"
# NZBGet as a daemon with a private configuration: its folders, a watched NZB folder and
# one server, the test's INN2; it verifies (and if need be repairs) with the PAR2 set.
nzbget_fetch() { # NZB NAME [PORT]: the folder the downloaded files land in
  local config="$work/nzbget.$2" port server_port="${3:-$reader_port}"
  port=$(free_port)
  mkdir -p "$config"/{nzb,queue,inter,dest,tmp}
  local options=(-n -o "MainDir=$config" -o "DestDir=$config/dest" -o "InterDir=$config/inter"
    -o "NzbDir=$config/nzb" -o "QueueDir=$config/queue" -o "TempDir=$config/tmp" -o "WebDir="
    -o "ScriptDir=$config" -o "LockFile=$config/nzbget.lock" -o "LogFile=$config/nzbget.log"
    -o ControlIP=127.0.0.1 -o "ControlPort=$port" -o ControlUsername=test -o ControlPassword=test
    -o Server1.Active=yes -o Server1.Host=127.0.0.1 -o "Server1.Port=$server_port"
    -o Server1.Connections=2 -o Server1.Level=0 -o ParCheck=force -o ParRepair=yes
    -o ParScan=full -o Unpack=no -o NzbDirInterval=1 -o NzbDirFileAge=1 -o AppendCategoryDir=no
    -o "DaemonUsername=$(id -un)" -o UMask=022 -o WriteLog=append -o OutputMode=loggable
    -o CrcCheck=yes -o DirectRename=no -o HealthCheck=none)
  cp "$1" "$config/nzb/"
  nzbget "${options[@]}" -D >/dev/null
  for _ in $(seq 300); do
    grep -q "Collection .* added to history\|PAR-Success\|Par-check successful\|repaired successfully" \
      "$config/nzbget.log" 2>/dev/null && [ -z "$(ls "$config/inter")" ] && break
    sleep 0.2
  done
  sleep 1
  nzbget "${options[@]}" -Q >/dev/null 2>&1 || true
  sleep 0.5
  echo "$config/dest"
}
repair="$work/repair"
mkdir -p "$repair"
cp "$album"/*.mp3 "$repair/"
"$cli" nfo --sfv --par2 --redundancy 60 --post --article-size 8000 --group alt.binaries.test \
  --server "127.0.0.1:$reader_port" --tls none "$repair" >"$work/repair.out"
nzb=$(ls "$repair"/*.nzb)
# Two articles of the first track, cancelled on the server.
ids=$(python3 - "$nzb" <<'PY'
import sys, xml.etree.ElementTree as tree
ns = {"n": "http://www.newzbin.com/DTD/2003/nzb"}
for file in tree.parse(sys.argv[1]).getroot().findall("n:file", ns):
    if '"01.mp3"' in file.get("subject"):
        print(" ".join(s.text for s in file.findall("n:segments/n:segment", ns)[1:3]))
PY
)
[ "$(echo $ids | wc -w)" -eq 2 ]
for id in $ids; do
  run_news su news -s /bin/sh -c "LD_LIBRARY_PATH=$LD_LIBRARY_PATH INNCONF=$INNCONF $bin/ctlinnd cancel '<$id>'"
  ! python3 -W ignore -c "import nntplib,sys; nntplib.NNTP('127.0.0.1', $reader_port).stat('<$id>')" 2>/dev/null
done
dest=$(nzbget_fetch "$nzb" repair)
grep -q "Successfully repaired\|Repair.*successful" "$work/nzbget.repair/nzbget.log" ||
  { cat "$work/nzbget.repair/nzbget.log" >&2; exit 1; }
grep -i "repair" "$work/nzbget.repair/nzbget.log" | cut -f2- | head -5
for f in "$repair"/*.mp3 "$repair"/*.nfo "$repair"/*.sfv; do
  found=$(find "$dest" -name "$(basename "$f")" | head -1)
  cmp "$found" "$f"
done
echo "a list of post servers, the first down (a port nothing listens on): left with a word, the others carry it"
# The list is read from tamberlon.INI beside the program: a copy of it with its own.
listed="$work/listed"
mkdir -p "$listed"
cp "$cli" "$listed/tamberlon-cli"
down_port=$(free_port)
printf '[Server]\r\nHost=127.0.0.1\r\nPort=%s\r\nTLS=none\r\nConnections=2\r\n' "$down_port" >"$listed/tamberlon.INI"
printf '[Server2]\r\nHost=127.0.0.1\r\nPort=%s\r\nTLS=none\r\nConnections=2\r\n' "$reader_port" >>"$listed/tamberlon.INI"
printf '[Server3]\r\nHost=127.0.0.1\r\nPort=%s\r\nTLS=implicit\r\nCaFile=%s\r\nConnections=2\r\nRole=both\r\n' \
  "$tls_port" "$news/etc/cert.pem" >>"$listed/tamberlon.INI"
"$listed/tamberlon-cli" post --group alt.binaries.test --article-size 100000 --timeout 5 --retries 1 \
  --check-delay 0 --json --nzb "$work/failover.nzb" "$release/Album.nfo" "$release/Album.sfv" \
  "$release/01 - One.flac" "$release/02 - Two.flac" >"$work/failover.json" 2>"$work/failover.err" ||
  { cat "$work/failover.json" "$work/failover.err" >&2; exit 1; }
cat "$work/failover.err"
grep -q "Left 127.0.0.1:$down_port: could not connect" "$work/failover.err"
python3 - "$work/failover.json" "$tls_port" <<'PY'
import json, sys
summary = json.load(open(sys.argv[1]))
assert summary["complete"] and summary["posted"] == summary["articles"] == summary["confirmed"], summary
assert len(summary["left"]) == 1 and summary["checkedOn"] == "127.0.0.1:" + sys.argv[2], summary
PY
[ "$(grep -o '>[^<>]*</segment>' "$work/failover.nzb" | sort -u | wc -l)" -eq "$(grep -c '<segment ' "$work/failover.nzb")" ]
dest=$(nzbget_fetch "$work/failover.nzb" failover)
for f in "$release"/Album.nfo "$release"/Album.sfv "$release"/0[12]*.flac; do
  cmp "$(find "$dest" -name "$(basename "$f")" | head -1)" "$f"
done
if [ -n "$window_tests" ]; then
  echo "the window: post, Cancel, Post again and Verify the .nzb, as the user 'poster'"
  TAMBERLON_TEST_INN2="$auth_port" QT_QPA_PLATFORM=offscreen "$window_tests" \
    --gtest_filter=FormPost.AgainstTheTestNewsServer 2>&1 | grep -v '^QStandardPaths'
  [ "${PIPESTATUS[0]}" -eq 0 ]
fi
echo "two INNs, nothing fed between them: posted to the first, checked on the second, which never gets them"
inn2_start second_
stored() { python3 -W ignore -c "import nntplib; print(nntplib.NNTP('127.0.0.1', $1).group('alt.binaries.test')[3])"; }
stored_before=$(stored "$reader_port")
missing_post=(post --server "127.0.0.1:$reader_port" --tls none --check-server "127.0.0.1:$second_reader_port"
  --check-tls none --check-delay 1 --retries 1 --nzb "$work/unchecked.nzb" "$release/Album.nfo"
  "$release/Album.sfv" "$release/01 - One.flac" "$release/02 - Two.flac")
if "${missing_post[@]}" >"$work/unchecked.out"; then
  echo "a post its check server never saw ended well" >&2
  exit 1
fi
cat "$work/unchecked.out"
articles=$(grep -o '^[0-9]* articles' "$work/unchecked.out" | cut -d' ' -f1)
grep -q "; $articles articles never reached 127.0.0.1:$second_reader_port (looked up after 1 s)$" \
  "$work/unchecked.out"
# Posted again after the first round, each refused by INN as a duplicate ("441 435"): the
# post server took each article once, under the ID the NZB gives it; the check server none.
[ "$(($(stored "$reader_port") - stored_before))" -eq "$articles" ]
[ "$(grep -c "<segment " "$work/unchecked.nzb")" -eq "$articles" ]
python3 -W ignore - "$work/unchecked.nzb" "$reader_port" "$second_reader_port" <<'PY'
import nntplib, re, sys
ids = re.findall(r'>([^<>]+)</segment>', open(sys.argv[1]).read())
posted, checked = (nntplib.NNTP('127.0.0.1', int(port)) for port in sys.argv[2:4])
for id in ids:
    posted.stat('<' + id + '>')
assert checked.group('alt.binaries.test')[1] == 0, "the check server holds articles"
PY
echo "failover between two INNs: the list's first killed (innd and its readers), the second takes each article once"
inn2_stop ""
printf '[Server]\r\nHost=127.0.0.1\r\nPort=%s\r\nTLS=none\r\nConnections=2\r\n' "$reader_port" >"$listed/tamberlon.INI"
printf '[Server2]\r\nHost=127.0.0.1\r\nPort=%s\r\nTLS=none\r\nConnections=2\r\n' "$second_reader_port" \
  >>"$listed/tamberlon.INI"
"$listed/tamberlon-cli" post --group alt.binaries.test --article-size 100000 --timeout 5 --retries 1 \
  --nzb "$work/failover2.nzb" "$release/Album.nfo" "$release/Album.sfv" "$release/01 - One.flac" \
  "$release/02 - Two.flac" >"$work/failover2.out" 2>"$work/failover2.err" ||
  { cat "$work/failover2.out" "$work/failover2.err" >&2; exit 1; }
cat "$work/failover2.err" "$work/failover2.out"
grep -q "Left 127.0.0.1:$reader_port: could not connect" "$work/failover2.err"
python3 -W ignore - "$work/failover2.nzb" "$second_reader_port" <<'PY'
import nntplib, re, sys
ids = re.findall(r'>([^<>]+)</segment>', open(sys.argv[1]).read())
server = nntplib.NNTP('127.0.0.1', int(sys.argv[2]))
_, count, first, last, _ = server.group('alt.binaries.test')
held = [o['message-id'] for _, o in server.over((first, last))[1]]
assert sorted(held) == sorted('<' + id + '>' for id in set(ids)) and len(ids) == len(set(ids)), (held, ids)
PY
dest=$(nzbget_fetch "$work/failover2.nzb" failover2 "$second_reader_port")
for f in "$release"/Album.nfo "$release"/Album.sfv "$release"/0[12]*.flac; do
  cmp "$(find "$dest" -name "$(basename "$f")" | head -1)" "$f"
done
echo "all INN2 round trips passed"
