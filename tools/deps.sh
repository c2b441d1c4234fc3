#!/bin/sh
# Installs the Debian 12 packages that building, running and testing need, when missing.
# Sourced by run-wizard.sh and test-all.sh; safe to run again.
set -eu
KURDB_PACKAGES="cmake ninja-build g++ pkg-config python3 qt6-base-dev libgl-dev libfontconfig-dev googletest libgtest-dev libgmock-dev
g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
wine wine64 unixodbc tdsodbc freetds-bin xvfb xauth fonts-dejavu-core fonts-wine openssl wget
clang-format-14 pyflakes3"
missing=""
for p in $KURDB_PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# Node.js runs the stand-in's tedious tests; a Node from elsewhere (with its own npm) will do.
command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || missing="$missing nodejs npm"
if [ -n "$missing" ]; then
  echo "Installing:$missing" >&2
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >&2
fi
# Node's tedious driver for the stand-in's conformance tests, at the version of the lock file.
KURDB_TEDIOUS_DIR="$(dirname "$0")/../tests/standin/tedious"
[ -f "$KURDB_TEDIOUS_DIR/package.json" ] || KURDB_TEDIOUS_DIR="$(pwd)/tests/standin/tedious"
if [ ! -d "$KURDB_TEDIOUS_DIR/node_modules/tedious" ]; then
  echo "Installing tedious (npm) in $KURDB_TEDIOUS_DIR" >&2
  (cd "$KURDB_TEDIOUS_DIR" && npm ci --no-audit --no-fund --loglevel=error >&2)
fi
