#!/bin/sh
# Builds the release programs and the benchmark helpers, then prints the benchmark table
# (tools/bench.py). Run after tools/test-all.sh has set the machine up.
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh
for p in python3-xlib xdotool; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="${missing:-} $p"
done
if [ -n "${missing:-}" ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >&2
fi
cmake --preset release >/dev/null && cmake --build --preset release
# the start rows run the 64-bit build (this machine runs no 32-bit program); the size row is the
# shipped 32-bit Kurdb.exe
cmake --preset windows-x64 >/dev/null && cmake --build --preset windows-x64 --target kurdb kurdb_bare_win32 kurdb_same_window_win32 \
  kurdb_bench_window_win32
cmake --preset windows >/dev/null && cmake --build --preset windows --target kurdb
if [ -z "${DISPLAY:-}" ]; then
  # -ac: python3-xlib does not read every form of xvfb-run's authority file; -noreset: the
  # server must not restart between two measured programs
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -ac -noreset" /usr/bin/python3 tools/bench.py "$@"
fi
exec /usr/bin/python3 tools/bench.py "$@"
