#!/bin/sh
# Runs one Windows program under Wine for CTest: a fresh Wine prefix for every run (copied from
# a template prefix that is made once per build tree), no debug chatter, no crash dialog that
# would wait for a click, and a time limit so a hung program cannot hang the test run.
set -eu
# Wine needs an X display even for programs that only create hidden windows.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a "$0" "$@"
fi
prog="$1"; shift
build_dir="${KURDB_WINE_TEMPLATE_DIR:-${TMPDIR:-/tmp}/kurdb-wine-$(id -u)-2}"
template="$build_dir/template"
export WINEDEBUG="${WINEDEBUG:--all}"
# KURDB_WINE_DLL_ORDER adds load orders of a test's own (a CMake test environment cannot hold the
# ";" between them).
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}${KURDB_WINE_DLL_ORDER:+;$KURDB_WINE_DLL_ORDER}"
mkdir -p "$build_dir"
(
  flock 9
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    WINEPREFIX="$template" timeout 300 wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # No window manager runs under Xvfb: unmanaged windows spare Wine its wait for one on every
    # hide and show.
    WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # A Wine without its 32-bit half makes a prefix whose registry has no 32-bit view: with the key
    # Wow6432Node, HKLM\Software gets one (keys opened with KEY_WOW64_32KEY land there), as on every
    # 64-bit Windows, where the suite's 32-bit engine keeps its settings.
    WINEPREFIX="$template" wine reg add 'HKLM\Software\Wow6432Node' /f /reg:64 >/dev/null 2>&1
    WINEPREFIX="$template" wineserver -w
    touch "$template/.ready"
  fi
) 9>"$build_dir/lock"
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kurdb-wineprefix.XXXXXX")
cleanup() { WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"; }
trap cleanup EXIT INT TERM
cp -a "$template/." "$prefix/"
export WINEPREFIX="$prefix"
status=0
timeout --kill-after=10 "${KURDB_WINE_TIMEOUT:-240}" wine "$prog" "$@" || status=$?
exit $status
