#!/usr/bin/env bash
# Requests per second of the embedded web server under wrk on loopback, beside nginx serving
# the same device KML file from its own loopback port. Kept-alive connections throughout
# ("Connection: Keep-Alive" exactly, the header our server keeps a connection open for).
#
#   bench/web/wrk_vs_nginx.sh [SECONDS_PER_RUN]      (default 3)
#
# Environment: ZM_BUILD_DIR (default build/default) holds bench/bench_web_serve; it is built
# with the default preset when missing. ZM_WRK_CONNECTIONS (default "1 10 100").
# Prints one line per route, server and connection count, then the ratio on the static
# file; the goal is at least half of nginx's rate with up to 100 connections.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
seconds="${1:-3}"
connections="${ZM_WRK_CONNECTIONS:-1 10 100}"
build="${ZM_BUILD_DIR:-$root/build/default}"

# shellcheck source=../../scripts/setup.sh
source "$root/scripts/setup.sh"
zm_setup_bench

serve="$build/bench/bench_web_serve"
if [ ! -x "$serve" ]; then
    (cd "$root" && cmake --preset default >/dev/null && cmake --build --preset default --target bench_web_serve)
fi

work="$(mktemp -d /tmp/zm-wrk-XXXXXX)"
# nginx's workers drop root and must still read the file.
chmod 755 "$work"
serve_pid=""
nginx_pid=""

cleanup() {
    if [ -n "$serve_pid" ]; then
        kill -TERM "$serve_pid" 2>/dev/null || true
        wait "$serve_pid" 2>/dev/null || true
    fi
    if [ -n "$nginx_pid" ]; then
        kill -QUIT "$nginx_pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$nginx_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Our server: port chosen by the system, reported on its first lines.
"$serve" "$work/web" 0 >"$work/serve.out" 2>&1 &
serve_pid=$!
for _ in $(seq 100); do
    grep -q '^SIZE ' "$work/serve.out" 2>/dev/null && break
    kill -0 "$serve_pid" 2>/dev/null || { cat "$work/serve.out" >&2; exit 1; }
    sleep 0.1
done
our_port="$(awk '/^PORT /{print $2}' "$work/serve.out")"
kml="$(awk '/^FILE /{print $2}' "$work/serve.out")"
web_root="$(awk '/^ROOT /{print $2}' "$work/serve.out")"
kml_size="$(awk '/^SIZE /{print $2}' "$work/serve.out")"
[ -n "$our_port" ] && [ -n "$kml" ] || { cat "$work/serve.out" >&2; exit 1; }
chmod -R a+rX "$work/web"

# nginx on a free loopback port, everything it writes inside the work folder.
nginx_port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
mkdir -p "$work/nginx/logs"
cat >"$work/nginx/nginx.conf" <<EOF
worker_processes auto;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 100000000;
    keepalive_timeout 60s;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    types { text/html kml; }
    default_type text/html;
    server {
        listen 127.0.0.1:$nginx_port;
        root $web_root;
    }
}
EOF
nginx -p "$work/nginx/" -e "$work/nginx/logs/error.log" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 100); do
    curl -s -o /dev/null --max-time 1 "http://127.0.0.1:$nginx_port/$kml" && break
    kill -0 "$nginx_pid" 2>/dev/null || { cat "$work/nginx/logs/error.log" >&2; exit 1; }
    sleep 0.1
done

# Both must serve the very same bytes before their rates mean anything.
curl -s --max-time 5 "http://127.0.0.1:$our_port/$kml" >"$work/ours.kml"
curl -s --max-time 5 "http://127.0.0.1:$nginx_port/$kml" >"$work/nginx.kml"
cmp -s "$work/ours.kml" "$work/nginx.kml" || { echo "the two servers send different files" >&2; exit 1; }

# run NAME PORT PATH CONNECTIONS: prints requests/s, mean latency and the error count.
run() {
    local port="$1" path="$2" conns="$3" threads out rps lat errors
    threads=$((conns < 2 ? conns : 2))
    out="$(wrk -t "$threads" -c "$conns" -d "${seconds}s" --timeout 5s \
        -H 'Connection: Keep-Alive' "http://127.0.0.1:$port$path")"
    rps="$(awk '/^Requests\/sec:/{print $2}' <<<"$out")"
    lat="$(awk '$1=="Latency"{print $2; exit}' <<<"$out")"
    errors="$(awk '/Socket errors:/{gsub(",",""); n+=$4+$6+$8+$10} /Non-2xx/{n+=$NF} END{print n+0}' <<<"$out")"
    echo "$rps $lat $errors"
}

echo "wrk ${seconds}s per run, loopback, $(nproc) cores; KML file $kml_size bytes; $(date -u '+%Y-%m-%d %H:%M UTC')"
printf '%-14s %-7s %6s %12s %10s %7s\n' route server conns 'req/s' latency errors
declare -A ours_kml nginx_kml
for c in $connections; do
    for route in /device-list /preview "/$kml"; do
        read -r rps lat err < <(run "$our_port" "$route" "$c")
        label="$route"
        [ "$route" = "/$kml" ] && label="KML file" && ours_kml[$c]="$rps"
        printf '%-14s %-7s %6s %12s %10s %7s\n' "$label" ours "$c" "$rps" "$lat" "$err"
    done
    read -r rps lat err < <(run "$nginx_port" "/$kml" "$c")
    nginx_kml[$c]="$rps"
    printf '%-14s %-7s %6s %12s %10s %7s\n' "KML file" nginx "$c" "$rps" "$lat" "$err"
done

echo
status=0
for c in $connections; do
    ratio="$(awk -v a="${ours_kml[$c]}" -v b="${nginx_kml[$c]}" 'BEGIN{printf "%.2f", (b > 0 ? a / b : 0)}')"
    verdict="$(awk -v r="$ratio" 'BEGIN{print (r >= 0.5) ? "meets" : "BELOW"}')"
    [ "$verdict" = meets ] || status=1
    printf 'KML file, %3s connections: ours/nginx = %s (%s the goal of 0.50)\n' "$c" "$ratio" "$verdict"
done
exit "$status"
