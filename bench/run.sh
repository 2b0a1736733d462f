#!/bin/sh
# Runs every benchmark of the build folder $1, then the comparison scripts beside this file.
set -e
BUILD=${1:-build}
for b in "$BUILD"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $b"
  "$b"
done
for s in "$(dirname "$0")"/compare_*.sh; do
  [ -f "$s" ] || continue
  echo "== $s"
  sh "$s" "$BUILD"
done
