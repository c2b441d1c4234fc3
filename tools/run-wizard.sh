#!/bin/sh
# Opens the wizard on Linux with the stand-in SQL Server started beside it as its server.
# Installs what is missing, builds the Linux program (the release preset: optimised, no
# sanitizers), starts the stand-in (port 1433 when free, else any free port; also as SQL Server Browser
# for the instance SQLEXPRESS when UDP 1434 is free; its databases are kept in
# build/release/wizard-server/state.json between runs), prints what to type on the first page, runs the
# wizard and stops the server when it closes.
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh

cmake --preset release >/dev/null
cmake --build --preset release --target kurdb

dir=build/release/wizard-server
password="${KURDB_SA_PASSWORD:-Kurdb.$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}"
port=1433
if python3 -c 'import socket,sys; s=socket.socket(); s.bind(("127.0.0.1",1433))' 2>/dev/null; then :; else port=0; fi
# As SQL Server Browser for the named instance SQLEXPRESS too, when UDP 1434 (where clients ask) is free.
instance=""
if python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1",1434))' \
    2>/dev/null; then
  instance=SQLEXPRESS
fi
python3 tools/standin/control.py start --dir "$dir" -- \
  --host 127.0.0.1 --port "$port" --sa-password "$password" --state-file "$dir/state.json" \
  ${instance:+--instance "$instance"} >/dev/null
trap 'python3 tools/standin/control.py stop --dir "$dir" >/dev/null' EXIT INT TERM
port=$(cat "$dir/ready")
server="127.0.0.1,$port"
[ "$port" = 1433 ] && server="127.0.0.1"

echo "Stand-in SQL Server is listening on 127.0.0.1 port $port."
if [ -n "$instance" ]; then
  cat <<INFO
  Server Adı:     127.0.0.1\\$instance   (named instance, found through the SQL Server Browser answers
                  on UDP 1434)   or   127.0.0.1,$port
INFO
else
  echo "  Server Adı:     $server   (UDP 1434 is taken: no named instance this time)"
fi
cat <<INFO
  Kullanıcı Adı:  sa      (choose "Ana Makine")
  Şifre:          $password
Transcript of what the wizard sends: $dir/transcript.jsonl
INFO

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: set DISPLAY (for example start Xvfb and a VNC viewer) to see the window." >&2
  exit 1
fi
build/release/app/qt/kurdb
