#!/bin/sh
# Makes a delay-load import library for one system DLL from the toolchain's ordinary import
# library: every function that library imports, loaded on its first call instead of at start.
#   make-delay-library.sh <tool prefix> <import library> <dll name> <output>
# In 32-bit code the import library names stdcall functions with their "@n" suffix; the DLL
# exports them without it (dlltool -k).
set -eu
prefix="$1"; importlib="$2"; dll="$3"; out="$4"
def="$out.def"
case "$prefix" in
  i686-*) strip='__imp__'; kill_at='-k' ;;
  *) strip='__imp_'; kill_at='' ;;
esac
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$prefix-nm" -g "$importlib" 2>/dev/null |
    awk -v p="$strip" '$2 == "I" && index($3, p) == 1 { print substr($3, length(p) + 1) }' | sort -u
} >"$def"
"$prefix-dlltool" $kill_at --input-def "$def" --dllname "$dll" --output-delaylib "$out"
