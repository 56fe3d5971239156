# A private nginx for the demo and the benchmarks (sourced, not run): one worker on a free
# loopback port, its configuration, pid file, logs and temporaries all in one state folder.
#
#   nginx_start STATE_DIR WEB_ROOT [SERVER_LINES]   starts it and sets nginx_port
#   nginx_stop STATE_DIR                            stops it and waits until it has gone
#
# Every request is logged to STATE_DIR/logs/access.log as "<status> <body bytes> <uri>".
# SERVER_LINES go inside the server block (locations, headers).

nginx_start() {
  local state=$1 web_root=$2 server_lines=${3:-}
  local bin candidate
  bin=$(command -v nginx || echo /usr/sbin/nginx)
  [ -x "$bin" ] || { echo "missing: nginx (nginx-light)" >&2; return 1; }
  mkdir -p "$state/logs" "$state/temp"
  nginx_port=
  # Random ports until one binds: a fixed one may be taken by anything on the machine.
  for _ in $(seq 50); do
    candidate=$((20000 + RANDOM % 40000))
    cat >"$state/nginx.conf" <<CONF
worker_processes 1;
pid $state/nginx.pid;
error_log $state/logs/error.log;
events { worker_connections 64; }
http {
  log_format brief '\$status \$body_bytes_sent \$request_uri';
  access_log $state/logs/access.log brief;
  client_body_temp_path $state/temp/body;
  proxy_temp_path $state/temp/proxy;
  fastcgi_temp_path $state/temp/fastcgi;
  uwsgi_temp_path $state/temp/uwsgi;
  scgi_temp_path $state/temp/scgi;
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 100000;
  server {
    listen 127.0.0.1:$candidate;
    root $web_root;
$server_lines
  }
}
CONF
    if "$bin" -p "$state" -c "$state/nginx.conf" 2>"$state/logs/start.log"; then
      nginx_port=$candidate
      break
    fi
  done
  if [ -z "$nginx_port" ]; then
    cat "$state/logs/start.log" >&2
    echo "nginx did not start" >&2
    return 1
  fi
  for _ in $(seq 100); do [ -s "$state/nginx.pid" ] && break; sleep 0.05; done
}

nginx_stop() {
  local state=$1 pid
  [ -f "$state/nginx.pid" ] || return 0
  pid=$(cat "$state/nginx.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
}
