#!/bin/sh
# Runs every fuzz target of build folder $1 for $2 seconds over its seed corpus
# (fuzz/corpus/<target>/), working in a scratch copy so the repository stays clean.
# Extra libFuzzer flags may be given in FUZZ_ARGS. Stops at the first failing target.
set -e
BUILD=${1:-build-fuzz}
SECONDS_EACH=${2:-30}
HERE=$(cd "$(dirname "$0")" && pwd)
for f in "$BUILD"/fuzz/*_fuzzer; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  work="$HERE/corpus-work/$name"
  mkdir -p "$work"
  [ -d "$HERE/corpus/$name" ] && cp -n "$HERE/corpus/$name"/* "$work"/ 2>/dev/null || true
  echo "== $name for ${SECONDS_EACH}s"
  # shellcheck disable=SC2086
  "$f" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -max_len=8192 \
    -artifact_prefix="$HERE/corpus-work/$name-" $FUZZ_ARGS "$work"
done
