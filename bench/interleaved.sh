#!/usr/bin/env bash
# Wall time of one command from two builds of the tool, run alternately (so that
# both see the same load), as medians, beside the MD5 floor of the command's
# draws measured in the same run. Used to compare a change against its base.
#
#   bench/interleaved.sh BEFORE_TOOL AFTER_TOOL [ARGUMENT] [DRAWS]
#       (RUNS=15; default argument /g:example.cfg with its 64,544 draws)
#
# Needs a Release build with the benchmarks in build/ for the MD5 figure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
before="$(realpath "$1")"
after="$(realpath "$2")"
argument="${3:-/g:example.cfg}"
draws="${4:-$((2 * 2017 * 16))}"
runs="${RUNS:-15}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$root/examples/." "$work/"
mkdir -p "$work/out"
cd "$work"

ms_of() { # tool: wall time in microseconds of one run
    local start end
    start=${EPOCHREALTIME/./}
    "$1" "$argument" > /dev/null
    end=${EPOCHREALTIME/./}
    echo $(( end - start ))
}
median() { sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1000}'; }

"$before" "$argument" > /dev/null # existing outputs for both, as a user's rerun has
b=(); a=()
for _ in $(seq "$runs"); do
    b+=("$(ms_of "$before")")
    a+=("$(ms_of "$after")")
done
md5_ns=$("$root/build/bench/bench_coding_bench" --benchmark_filter='BM_PlainMd5Of16Bytes$' \
    --benchmark_color=false --benchmark_min_time=1 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g' |
    awk '$1 == "BM_PlainMd5Of16Bytes" {print $2}')
floor=$(awk -v d="$draws" -v m="$md5_ns" 'BEGIN {printf "%.1f", d * m / 1e6}')
mb=$(printf '%s\n' "${b[@]}" | median)
ma=$(printf '%s\n' "${a[@]}" | median)
echo "$argument, $runs interleaved runs each; MD5 floor ${floor} ms ($draws draws of ${md5_ns} ns)"
awk -v n="before" -v t="$mb" -v f="$floor" 'BEGIN {printf "  %-7s median %7.1f ms   %.2fx floor\n", n, t, t / f}'
awk -v n="after" -v t="$ma" -v f="$floor" 'BEGIN {printf "  %-7s median %7.1f ms   %.2fx floor\n", n, t, t / f}'
