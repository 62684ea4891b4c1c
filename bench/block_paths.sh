#!/usr/bin/env bash
# The table cipher's block paths beside OpenSSL (bench_block_paths_bench), run
# RUNS times in each of four set-ups, one after the other within each round so
# that all see the same load; prints the median of every figure. Every case is
# timed on the classic format and on the mixed one in the same iterations: the
# last two columns are the mixed format's ns per block and its ratio to the
# classic format's.
#   simd      the paths this CPU selects; OpenSSL's table AES (AES-NI masked with
#             OPENSSL_ia32cap=~0x200020200000000, set by the program itself)
#   portable  TABRIX_PORTABLE=1; the same OpenSSL
#   aesni     the paths this CPU selects; OpenSSL with AES-NI (TABRIX_BENCH_AESNI=1)
#   portable-aesni  TABRIX_PORTABLE=1 and OpenSSL with AES-NI
#
#   bench/block_paths.sh [build-dir]      (RUNS=5 by default; SETUPS="simd portable
#                                          aesni portable-aesni" by default)
#
# Needs a Release build with the benchmarks (build/bench/bench_block_paths_bench).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/timing.sh"
bench_start 5 "${1:-}"
setups="${SETUPS:-simd portable aesni portable-aesni}"
bench="$build/bench/bench_block_paths_bench"

make_work

for ((run = 1; run <= runs; run++)); do
    for setup in $setups; do
        case "$setup" in
        simd) settings=() ;;
        portable) settings=(TABRIX_PORTABLE=1) ;;
        aesni) settings=(TABRIX_BENCH_AESNI=1) ;;
        portable-aesni) settings=(TABRIX_PORTABLE=1 TABRIX_BENCH_AESNI=1) ;;
        *) echo "block_paths.sh: unknown set-up $setup" >&2; exit 2 ;;
        esac
        env -u OPENSSL_ia32cap -u TABRIX_PORTABLE -u TABRIX_BENCH_AESNI "${settings[@]}" "$bench" 2>/dev/null |
            grep '^summary' >> "$work/$setup"
    done
done

median() { # column: median of that column per case, cases in first-seen order
    awk -v col="$1" '{ print $2, $col }' | sort -k1,1 -k2,2g |
        awk '{ v[$1] = v[$1] " " $2; n[$1]++ } END {
                 for (c in v) { split(substr(v[c], 2), a, " "); m = n[c];
                     printf "%s %s\n", c, (m % 2) ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2 } }'
}

cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "CPU: $cpu; $runs runs per set-up; medians"
for setup in $setups; do
    echo
    echo "== $setup"
    printf '%-28s %10s %16s %18s %16s %15s\n' "case/blocks" "ns/block" "x OpenSSL same" "x OpenSSL CBC-dec" \
        "mixed ns/block" "mixed/classic"
    join <(median 3 < "$work/$setup" | sort) <(median 4 < "$work/$setup" | sort) |
        join - <(median 5 < "$work/$setup" | sort) | join - <(median 6 < "$work/$setup" | sort) |
        join - <(median 7 < "$work/$setup" | sort) | sort -t/ -k1,1 -k2,2n |
        awk '{ printf "%-28s %10.1f %16.2f %18.2f %16.1f %15.2f\n", $1, $2, $3, $4, $5, $6 }'
done
