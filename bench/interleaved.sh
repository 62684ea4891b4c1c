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
source "$(dirname "${BASH_SOURCE[0]}")/timing.sh"
before="$(realpath "$1")"
after="$(realpath "$2")"
argument="${3:-/g:example.cfg}"
draws="${4:-$((2 * 2017 * 16))}"
runs="${RUNS:-15}"
work_in_copy_of "$root/examples"

"$before" "$argument" > /dev/null # existing outputs for both, as a user's rerun has
b=(); a=()
for _ in $(seq "$runs"); do
    b+=("$(wall_us "$before" "$argument")")
    a+=("$(wall_us "$after" "$argument")")
done
md5_ns=$(md5_ns_of "$root/build")
floor=$(awk -v d="$draws" -v m="$md5_ns" 'BEGIN {printf "%.1f", d * m / 1e6}')
mb=$(printf '%s\n' "${b[@]}" | ms_median)
ma=$(printf '%s\n' "${a[@]}" | ms_median)
echo "$argument, $runs interleaved runs each; MD5 floor ${floor} ms ($draws draws of ${md5_ns} ns)"
awk -v n="before" -v t="$mb" -v f="$floor" 'BEGIN {printf "  %-7s median %7.1f ms   %.2fx floor\n", n, t, t / f}'
awk -v n="after" -v t="$ma" -v f="$floor" 'BEGIN {printf "  %-7s median %7.1f ms   %.2fx floor\n", n, t, t / f}'
