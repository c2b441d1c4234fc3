#!/bin/sh
# Runs the tests that talk to a server again and again, to show they do not fail at random:
#   tools/repeat-tests.sh [linux|windows-x64] [runs]     (default: linux, 100 runs)
# Stops at the first failing run and prints its output; prints the time the runs took.
# Needs a configured and built preset (tools/test-all.sh leaves both).
set -eu
cd "$(dirname "$0")/.."
preset="${1:-linux}"
runs="${2:-100}"
if [ "$preset" = windows-x64 ] && [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
log=$(mktemp)
start=$(date +%s)
i=1
while [ "$i" -le "$runs" ]; do
  if ! ctest --preset "$preset" -L 'integration|standin' >"$log" 2>&1; then
    cat "$log"
    echo "=== run $i of $runs failed after $(( $(date +%s) - start )) s" >&2
    rm -f "$log"
    exit 1
  fi
  i=$((i + 1))
done
rm -f "$log"
echo "=== $runs runs of the integration and stand-in tests ($preset) passed in $(( $(date +%s) - start )) s" >&2
