#!/usr/bin/env bash
# "/g:" with [TABLES] format = mixed beside the classic format, run alternately
# in one run (medians of RUNS each, so that both see the same load), and the
# classic format's AES-192 and AES-256 scripts beside AES-128 the same way; then the
# mixed benchmark program: generation alone, cipher ns per block (block by block
# and over a buffer) and table bytes per direction, mixed beside classic; then
# every block path of the tool and the runtime on 4,096-block buffers, classic
# and mixed timed in the same iterations (bench_block_paths_bench; medians of
# several runs: bench/block_paths.sh).
#
#   bench/formats.sh [build-dir]      (RUNS=7 by default)
#
# Needs a Release build with the benchmarks (build/tabrix, build/bench/...).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/timing.sh"
bench_start 7 "${1:-}"
work_in_copy_of "$root/examples"

: > classic.txt; : > mixed.txt
for _ in $(seq "$runs"); do
    wall_us "$build/tabrix" /g:example.cfg >> classic.txt
    wall_us "$build/tabrix" /g:mixed.cfg >> mixed.txt
done
classic=$(ms_median < classic.txt); mixed=$(ms_median < mixed.txt)
awk -v c="$classic" -v m="$mixed" -v n="$runs" 'BEGIN {
    printf "/g: classic %.1f ms | mixed %.1f ms | mixed/classic %.2f (medians of %d alternating runs)\n", c, m, m / c, n
}'
: > aes128.txt; : > aes192.txt; : > aes256.txt
for _ in $(seq "$runs"); do
    wall_us "$build/tabrix" /g:example.cfg >> aes128.txt
    wall_us "$build/tabrix" /g:aes192.cfg >> aes192.txt
    wall_us "$build/tabrix" /g:aes256.cfg >> aes256.txt
done
aes128=$(ms_median < aes128.txt); aes192=$(ms_median < aes192.txt); aes256=$(ms_median < aes256.txt)
awk -v c="$aes128" -v m="$aes192" -v l="$aes256" -v n="$runs" 'BEGIN {
    printf "/g: AES-128 %.1f ms | AES-192 %.1f ms (%.2f) | AES-256 %.1f ms (%.2f) (medians of %d alternating runs)\n",
        c, m, m / c, l, l / c, n
}'
printf 'header bytes per direction (encryption): classic %s | mixed %s\n' \
    "$(cat out/round_tables.h out/xor_tables.h out/final_round_table.h | wc -c)" \
    "$(cat out/mixed_round_tables.h out/mixed_xor_tables.h out/mixed_final_round_table.h \
        out/mixed_mix_tables.h out/mixed_mix_xor_tables.h | wc -c)"
"$build/bench/bench_mixed_bench" --benchmark_color=false
echo
echo "block paths on 4,096 blocks, ns per block (Block_plain: the plain evaluator; Ecb*, Cbc*, Runtime_*:"
echo "the path selected for this CPU; *_portable, *_vbmi, Block_unrolled: that path)"
"$build/bench/bench_block_paths_bench" --benchmark_filter=/4096/ 2>/dev/null |
    awk '/^summary/ { printf "%-24s classic %8.1f | mixed %8.1f | mixed/classic %.2f\n", $2, $3, $6, $7 }'
