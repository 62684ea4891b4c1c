#!/usr/bin/env bash
# Wall time of whole commands (median of several runs) beside the cost of the
# MD5 draws each must make, measured in the same run.
#
#   bench/commands.sh [build-dir]      (RUNS=7 by default)
#
# Needs a Release build with the benchmarks (build/tabrix, build/bench/...).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/timing.sh"
bench_start 7 "${1:-}"
tool="$build/tabrix"

make_work
cp "$root/examples/example.cfg" "$work/"
mkdir -p "$work/out" "$work/Tables/Auth"
cp -r "$root/examples/Tables/TPL" "$work/Tables/"
cd "$work"

# Median wall time in ms of `runs` runs of the tool with the given arguments.
median_ms() {
    local _
    for _ in $(seq "$runs"); do
        wall_us "$tool" "$@"
    done | ms_median
}

# One 16-byte MD5 (libmd), in ns, from the coding benchmark.
md5_ns=$(md5_ns_of "$build")

report() { # name, median ms, MD5 draws
    awk -v name="$1" -v ms="$2" -v draws="$3" -v md5="$md5_ns" 'BEGIN {
        floor = draws * md5 / 1e6;
        printf "%-22s %9.1f ms   MD5 floor %8.1f ms (%d draws)   ratio %.2f\n", name, ms, floor, draws, (floor > 0 ? ms / floor : 0)
    }'
}

echo "one MD5 of 16 bytes: ${md5_ns} ns; $runs runs per command"
echo "process start and exit (usage text only): $(median_ms) ms"
report "/g:example.cfg" "$(median_ms /g:example.cfg)" $((2 * 2017 * 16))
report "/ecbioc:example.cfg" "$(median_ms /ecbioc:example.cfg)" $((2 * 2 * 16 * 256))
report "/cbcioc:example.cfg" "$(median_ms /cbcioc:example.cfg)" $((2 * 16 * 10))
runs=3
report "/test:1" "$(median_ms /test:1)" $((100 * 2 * 2017 * 16))
report "/test:9" "$(median_ms /test:9)" $((100 * 2 * 2017 * 16))
