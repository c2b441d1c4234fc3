#!/bin/sh
# Checks the format of the C and C++ sources first (tools/check-format.sh) and the Python sources with
# pyflakes (tools/check-python.sh), then builds and runs every test: the Linux build (unit, database integration against the stand-in server, the Qt
# window offscreen), the 64-bit Windows build cross-compiled with mingw-w64 (the same tests and
# the Win32 window, run under Wine), and the shipped 32-bit Windows build (static checks of its
# image: this machine runs no 32-bit program). Installs what is missing first.
# Exit status 0 only when both checks and every build pass.
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh

status=0
run() {
  preset="$1"
  echo "=== $preset: configure and build" >&2
  cmake --preset "$preset" >/dev/null || return 1
  cmake --build --preset "$preset" || return 1
  echo "=== $preset: test" >&2
  ctest --preset "$preset" || return 1
}

# One X server for every test that opens a window (Wine needs one even for hidden windows).
if [ -z "${DISPLAY:-}" ] && [ -z "${KURDB_UNDER_XVFB:-}" ]; then
  export KURDB_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

echo "=== format" >&2
sh tools/check-format.sh || status=1
echo "=== python" >&2
sh tools/check-python.sh || status=1
run linux || status=1
run windows-x64 || status=1
run windows || status=1
[ $status -eq 0 ] && echo "=== format and Python checked; all tests passed on Linux, Windows x64 (Wine) and the 32-bit image" >&2
exit $status
