#!/bin/sh
# A thrown-and-caught exception with the crash reporter (crashreport_throw_bench) against the same
# throw in an executable without it (crashreport_unhooked_bench), from 3 and 30 small frames down
# and from 30 frames of 1 KiB of locals (a stack as deep as the 32 KiB the hook copies):
# the CPU time per throw of each and the ratio (target: at most 1.3). Argument: build folder.
set -e
BUILD=${1:-build}
HOOKED=$BUILD/bench/crashreport_throw_bench
PLAIN=$BUILD/bench/crashreport_unhooked_bench
for b in "$HOOKED" "$PLAIN"; do [ -x "$b" ] || { echo "compare_throw: $b not built"; exit 1; }; done
WORK=$(mktemp -d /tmp/tessaly-throw-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT INT TERM
REPS=${REPS:-5}
"$HOOKED" --benchmark_filter=BM_ThrowWithReporter --benchmark_repetitions="$REPS" --benchmark_format=json >"$WORK/hooked.json"
"$PLAIN" --benchmark_repetitions="$REPS" --benchmark_format=json >"$WORK/plain.json"
python3 - "$WORK/hooked.json" "$WORK/plain.json" <<'PY'
import json, sys
def medians(path):
    out = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            depth, ballast = b["run_name"].split("/")[1:3]
            out[(int(depth), int(ballast))] = b["cpu_time"]
    return out
hooked, plain = medians(sys.argv[1]), medians(sys.argv[2])
for key in sorted(hooked):
    h, p = hooked[key], plain[key]
    print(f"{key[0]:>2} frames of {key[1]:>4} bytes: with reporter {h:8.0f} ns, without {p:8.0f} ns, "
          f"ratio {h / p:.2f} (target <= 1.3)")
PY
