#!/bin/sh
# httpget against curl, both fetching from an nginx started here on 127.0.0.1:
#  1. a 1 GiB body written to a file: wall time and peak RSS;
#  2. 2,000 sequential GETs of a 20 KB page, a new connection for each.
# Prints the median of RUNS runs of each and the ratios. Argument: build folder.
set -e
BUILD=${1:-build}
RUNS=${RUNS:-5}
GETS=${GETS:-2000}
HTTPGET=$(cd "$BUILD" && pwd)/tools/httpget
[ -x "$HTTPGET" ] || { echo "compare_http: $HTTPGET not built"; exit 1; }
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$NGINX" ] || { echo "compare_http: nginx missing (sh scripts/install-deps.sh)"; exit 1; }
command -v curl >/dev/null || { echo "compare_http: curl missing"; exit 1; }

WORK=$(mktemp -d /tmp/tessaly-http-bench.XXXXXX)
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$WORK/www" "$WORK/tmp"
truncate -s 1G "$WORK/www/big.bin"
head -c 20480 /dev/urandom > "$WORK/www/page.html"
USER_LINE=""
[ "$(id -u)" -eq 0 ] && USER_LINE="user root;"
cat > "$WORK/nginx.conf" <<EOF
$USER_LINE
worker_processes 1;
daemon off;
pid $WORK/nginx.pid;
error_log $WORK/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  default_type application/octet-stream;
  sendfile on;
  keepalive_requests 100000;
  client_body_temp_path $WORK/tmp/body;
  proxy_temp_path $WORK/tmp/proxy;
  fastcgi_temp_path $WORK/tmp/fastcgi;
  uwsgi_temp_path $WORK/tmp/uwsgi;
  scgi_temp_path $WORK/tmp/scgi;
  server { listen 127.0.0.1:$PORT; root $WORK/www; }
}
EOF
"$NGINX" -p "$WORK" -c "$WORK/nginx.conf" &
NGINX_PID=$!
cleanup() { kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; rm -rf "$WORK"; }
trap cleanup EXIT INT TERM
for i in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$PORT/page.html" && break; sleep 0.1; done

BASE="http://127.0.0.1:$PORT"
# "seconds kilobytes" of one command, its output to $WORK/out.bin (removed after).
# Each run starts with no dirty pages left by the one before (writeback would
# throttle whichever tool runs next).
measure() {
  sync
  /usr/bin/time -f "%e %M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/stderr.txt" || {
    echo "compare_http: failed: $*"; cat "$WORK/stderr.txt"; exit 1; }
  rm -f "$WORK/out.bin"
  cat "$WORK/time.txt" | tail -1
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "-- 1 GiB body to a file, $RUNS runs (after one warm-up run each; the order alternates)"
measure "$HTTPGET" "$BASE/big.bin" -o "$WORK/out.bin" >/dev/null
measure curl -s -o "$WORK/out.bin" "$BASE/big.bin" >/dev/null
: > "$WORK/big_ours"; : > "$WORK/big_curl"
for r in $(seq "$RUNS"); do
  if [ $((r % 2)) -eq 0 ]; then measure curl -s -o "$WORK/out.bin" "$BASE/big.bin" >> "$WORK/big_curl"; fi
  measure "$HTTPGET" "$BASE/big.bin" -o "$WORK/out.bin" >> "$WORK/big_ours"
  if [ $((r % 2)) -eq 1 ]; then measure curl -s -o "$WORK/out.bin" "$BASE/big.bin" >> "$WORK/big_curl"; fi
done
OURS_T=$(cut -d' ' -f1 "$WORK/big_ours" | median); CURL_T=$(cut -d' ' -f1 "$WORK/big_curl" | median)
OURS_M=$(cut -d' ' -f2 "$WORK/big_ours" | median); CURL_M=$(cut -d' ' -f2 "$WORK/big_curl" | median)
echo "httpget: median ${OURS_T}s, peak RSS ${OURS_M} KiB (runs: $(cut -d' ' -f1 "$WORK/big_ours" | tr '\n' ' '))"
echo "curl:    median ${CURL_T}s, peak RSS ${CURL_M} KiB (runs: $(cut -d' ' -f1 "$WORK/big_curl" | tr '\n' ' '))"
echo "ratio httpget/curl: $(awk -v a="$OURS_T" -v b="$CURL_T" 'BEGIN {printf "%.3f", a/b}') (goal <= 1.1); RSS goal < 32768 KiB"

echo "-- $GETS sequential GETs of a 20 KB page, a new connection each, $RUNS runs"
URLS=""
: > "$WORK/curl.cfg"
for i in $(seq "$GETS"); do
  URLS="$URLS $BASE/page.html?n=$i"
  printf 'url = "%s/page.html?n=%s"\noutput = "/dev/null"\n' "$BASE" "$i" >> "$WORK/curl.cfg"
done
: > "$WORK/many_ours"; : > "$WORK/many_curl"
# The server closes after each answer to curl, so it cannot reuse a connection.
for r in $(seq "$RUNS"); do
  if [ $((r % 2)) -eq 0 ]; then measure curl -s -H "Connection: close" -K "$WORK/curl.cfg" >> "$WORK/many_curl"; fi
  # shellcheck disable=SC2086
  measure "$HTTPGET" $URLS -o /dev/null >> "$WORK/many_ours"
  if [ $((r % 2)) -eq 1 ]; then measure curl -s -H "Connection: close" -K "$WORK/curl.cfg" >> "$WORK/many_curl"; fi
done
OURS_T=$(cut -d' ' -f1 "$WORK/many_ours" | median); CURL_T=$(cut -d' ' -f1 "$WORK/many_curl" | median)
echo "httpget: median ${OURS_T}s (runs: $(cut -d' ' -f1 "$WORK/many_ours" | tr '\n' ' '))"
echo "curl:    median ${CURL_T}s (runs: $(cut -d' ' -f1 "$WORK/many_curl" | tr '\n' ' '))"
echo "ratio httpget/curl: $(awk -v a="$OURS_T" -v b="$CURL_T" 'BEGIN {printf "%.3f", a/b}') (goal <= 1.1)"
