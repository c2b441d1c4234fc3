#!/bin/sh
# Checks that every C and C++ file of the repository is formatted as .clang-format says, with
# clang-format 14 (Debian 12's). Lists the files that are not and fails; "--fix" formats them.
# The stand-in (Python) and generated files are not C++ sources of the repository.
set -eu
cd "$(dirname "$0")/.."
format=clang-format-14
command -v "$format" >/dev/null 2>&1 || { echo "check-format: $format not found: run sh tools/deps.sh" >&2; exit 2; }
files=$(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  echo "$files" | xargs "$format" -i
  exit 0
fi
bad=""
for f in $files; do
  "$format" --dry-run --Werror "$f" >/dev/null 2>&1 || bad="$bad $f"
done
if [ -n "$bad" ]; then
  echo "check-format: not formatted as .clang-format says (tools/check-format.sh --fix):" >&2
  for f in $bad; do echo "  $f" >&2; done
  exit 1
fi
echo "check-format: every C and C++ file is formatted" >&2
