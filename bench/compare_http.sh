#!/bin/sh
# httpget against curl, both fetching from an nginx started here on 127.0.0.1:
#  1. a 1 GiB body written to a file: wall time and peak RSS;
#  2. 2,000 sequential GETs of a 20 KB page, a new connection for each;
#  3. over TLS (nginx with ssl, a certificate authority made here): a 512 MiB
#     body to a file (wall time, peak RSS) and 500 sequential https GETs, a
#     new connection each (both tools may resume their TLS sessions).
# Prints the median of RUNS runs of each and the ratios. Argument: build folder.
# SECTIONS="plain tls" (default) picks what runs.
set -e
BUILD=${1:-build}
RUNS=${RUNS:-5}
GETS=${GETS:-2000}
TLS_GETS=${TLS_GETS:-500}
SECTIONS=${SECTIONS:-plain tls}
HTTPGET=$(cd "$BUILD" && pwd)/tools/httpget
[ -x "$HTTPGET" ] || { echo "compare_http: $HTTPGET not built"; exit 1; }
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$NGINX" ] || { echo "compare_http: nginx missing (sh scripts/install-deps.sh)"; exit 1; }
command -v curl >/dev/null || { echo "compare_http: curl missing"; exit 1; }

WORK=$(mktemp -d /tmp/tessaly-http-bench.XXXXXX)
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
TLS_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$WORK/www" "$WORK/tmp"
case "$SECTIONS" in *plain*) truncate -s 1G "$WORK/www/big.bin" ;; esac
case "$SECTIONS" in *tls*) truncate -s 512M "$WORK/www/big512.bin" ;; esac
# A root and a leaf for localhost, made for this run only.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$WORK/ca.key" -out "$WORK/ca.pem" \
  -days 2 -subj "/CN=Bench Root" >/dev/null 2>&1
openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$WORK/leaf.key" -out "$WORK/leaf.csr" \
  -subj "/CN=localhost" >/dev/null 2>&1
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' > "$WORK/leaf.ext"
openssl x509 -req -in "$WORK/leaf.csr" -CA "$WORK/ca.pem" -CAkey "$WORK/ca.key" -CAcreateserial -days 2 \
  -extfile "$WORK/leaf.ext" -out "$WORK/leaf.pem" >/dev/null 2>&1
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
  server {
    listen 127.0.0.1:$TLS_PORT ssl;
    root $WORK/www;
    ssl_certificate $WORK/leaf.pem;
    ssl_certificate_key $WORK/leaf.key;
    ssl_session_cache shared:TLS:1m;
  }
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

if case "$SECTIONS" in *plain*) true ;; *) false ;; esac; then
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
fi

case "$SECTIONS" in *tls*) ;; *) exit 0 ;; esac
export SSL_CERT_FILE="$WORK/ca.pem"
TBASE="https://localhost:$TLS_PORT"
curl -s --cacert "$WORK/ca.pem" -o /dev/null "$TBASE/page.html" || { echo "compare_http: nginx ssl not answering"; exit 1; }
echo "-- TLS: 512 MiB body to a file, $RUNS runs"
measure "$HTTPGET" "$TBASE/big512.bin" -o "$WORK/out.bin" >/dev/null
measure curl -s --cacert "$WORK/ca.pem" -o "$WORK/out.bin" "$TBASE/big512.bin" >/dev/null
: > "$WORK/tbig_ours"; : > "$WORK/tbig_curl"
for r in $(seq "$RUNS"); do
  if [ $((r % 2)) -eq 0 ]; then measure curl -s --cacert "$WORK/ca.pem" -o "$WORK/out.bin" "$TBASE/big512.bin" >> "$WORK/tbig_curl"; fi
  measure "$HTTPGET" "$TBASE/big512.bin" -o "$WORK/out.bin" >> "$WORK/tbig_ours"
  if [ $((r % 2)) -eq 1 ]; then measure curl -s --cacert "$WORK/ca.pem" -o "$WORK/out.bin" "$TBASE/big512.bin" >> "$WORK/tbig_curl"; fi
done
OURS_T=$(cut -d' ' -f1 "$WORK/tbig_ours" | median); CURL_T=$(cut -d' ' -f1 "$WORK/tbig_curl" | median)
OURS_M=$(cut -d' ' -f2 "$WORK/tbig_ours" | median); CURL_M=$(cut -d' ' -f2 "$WORK/tbig_curl" | median)
echo "httpget: median ${OURS_T}s, peak RSS ${OURS_M} KiB (runs: $(cut -d' ' -f1 "$WORK/tbig_ours" | tr '\n' ' '))"
echo "curl:    median ${CURL_T}s, peak RSS ${CURL_M} KiB (runs: $(cut -d' ' -f1 "$WORK/tbig_curl" | tr '\n' ' '))"
echo "ratio httpget/curl: $(awk -v a="$OURS_T" -v b="$CURL_T" 'BEGIN {printf "%.3f", a/b}') (goal <= 1.1); RSS goal < 16384 KiB"

echo "-- TLS: $TLS_GETS sequential https GETs of a 20 KB page, a new connection each, $RUNS runs"
TURLS=""
: > "$WORK/tcurl.cfg"
for i in $(seq "$TLS_GETS"); do
  TURLS="$TURLS $TBASE/page.html?n=$i"
  printf 'url = "%s/page.html?n=%s"\noutput = "/dev/null"\n' "$TBASE" "$i" >> "$WORK/tcurl.cfg"
done
: > "$WORK/tmany_ours"; : > "$WORK/tmany_curl"
for r in $(seq "$RUNS"); do
  if [ $((r % 2)) -eq 0 ]; then measure curl -s --cacert "$WORK/ca.pem" -H "Connection: close" -K "$WORK/tcurl.cfg" >> "$WORK/tmany_curl"; fi
  # shellcheck disable=SC2086
  measure "$HTTPGET" $TURLS -o /dev/null >> "$WORK/tmany_ours"
  if [ $((r % 2)) -eq 1 ]; then measure curl -s --cacert "$WORK/ca.pem" -H "Connection: close" -K "$WORK/tcurl.cfg" >> "$WORK/tmany_curl"; fi
done
OURS_T=$(cut -d' ' -f1 "$WORK/tmany_ours" | median); CURL_T=$(cut -d' ' -f1 "$WORK/tmany_curl" | median)
echo "httpget: median ${OURS_T}s (runs: $(cut -d' ' -f1 "$WORK/tmany_ours" | tr '\n' ' '))"
echo "curl:    median ${CURL_T}s (runs: $(cut -d' ' -f1 "$WORK/tmany_curl" | tr '\n' ' '))"
echo "ratio httpget/curl: $(awk -v a="$OURS_T" -v b="$CURL_T" 'BEGIN {printf "%.3f", a/b}') (goal <= 1.1)"
