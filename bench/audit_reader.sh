#!/usr/bin/env bash
# Time of the audit's header reader on 8 MB headers, as ratios to the audit of
# the tool's own six headers measured in the same run (the machine is shared:
# only the ratios mean much).
#
#   bench/audit_reader.sh [build-dir]      (RUNS=7 by default)
#
# Each case is a whole tabrix-audit run (median wall time of RUNS runs, the
# cases interleaved run by run):
#   reference  the six headers of examples/example.cfg as "/g:" writes them
#   padded     the same six, the XOR header grown to 8 MB by a skipped "#if 0"
#              group of table text in front of its table
#   brackets   one 8 MB header of "xorTables[" repeated, which a reader that
#              rescans the text for every candidate takes minutes on
#   groups     one 8 MB header of skipped "#if 0" groups, each holding a
#              declaration
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/timing.sh"
bench_start 7 "${1:-}"
size=$((8 << 20))

work_in_copy_of "$root/examples"
"$build/tabrix" /g:example.cfg > /dev/null
headers=(out/round_tables.h out/xor_tables.h out/final_round_table.h
         out/inv_round_tables.h out/inv_xor_tables.h out/inv_first_round_table.h)
mkdir -p padded
for h in "${headers[@]}"; do cp "$h" padded/; done
{
    echo "#if 0"
    yes '0x1f, 0x2e, 0x3d, 0x4c, 0x5b, 0x6a, 0x79, 0x88, 0x97, 0xa6, 0xb5, 0xc4,' |
        head -c $((size - $(stat -c %s out/xor_tables.h) - 16)) || true
    echo
    echo "#endif"
    cat out/xor_tables.h
} > padded/xor_tables.h
yes 'xorTables[' | tr -d '\n' | head -c "$size" > brackets.h || true
printf '#if 0\nconst unsigned char xorTables[16] = {1, 2};\n#endif\n%.0s' $(seq $((size / 56))) > groups.h

audit() { "$build/tabrix-audit" "$@" > /dev/null || true; }
padded_args=(--headers)
for h in "${headers[@]}"; do padded_args+=("padded/${h#out/}"); done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); $runs runs per case"
echo "sizes: reference $(cat "${headers[@]}" | wc -c) bytes in six headers; padded XOR header $(stat -c %s padded/xor_tables.h) bytes;" \
     "brackets $(stat -c %s brackets.h); groups $(stat -c %s groups.h)"
if ! "$build/tabrix-audit" "${padded_args[@]}" | grep -q '^encryption key: recovered'; then
    echo "the padded set gave no key"; exit 1
fi
: > reference.txt; : > padded.txt; : > brackets.txt; : > groups.txt
for _ in $(seq "$runs"); do
    wall_us audit --headers "${headers[@]}" >> reference.txt
    wall_us audit "${padded_args[@]}" >> padded.txt
    wall_us audit --headers brackets.h >> brackets.txt
    wall_us audit --headers groups.h >> groups.txt
done
reference=$(ms_median < reference.txt)
for case in reference padded brackets groups; do
    awk -v c="$case" -v t="$(ms_median < "$case.txt")" -v r="$reference" \
        'BEGIN {printf "%-9s %8.1f ms  (%.2f of the reference)\n", c, t, t / r}'
done
