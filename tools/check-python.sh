#!/bin/sh
# Checks the Python of the repository (the stand-in server, the test scripts, the benchmark driver) with
# pyflakes: unused imports and variables, undefined names, names redefined before use. Fails on any.
set -eu
cd "$(dirname "$0")/.."
command -v pyflakes3 >/dev/null 2>&1 || { echo "check-python: pyflakes3 not found: run sh tools/deps.sh" >&2; exit 2; }
# shellcheck disable=SC2046
pyflakes3 $(git ls-files '*.py') || { echo "check-python: pyflakes found faults (above)" >&2; exit 1; }
echo "check-python: pyflakes finds nothing in the Python sources" >&2
