#!/usr/bin/env bash
# Time of the key-extraction audit per direction (median of several runs)
# beside the time "/g:" takes to make the same tables, measured in the same run,
# for tables without external codings, with ECB codings and with CBC codings.
#
#   bench/audit.sh [build-dir]      (RUNS=7 by default)
#
# Each case: a fresh random key pair and "seed = system"; "/g:" runs once (wall
# time of the whole command); tabrix-audit then runs RUNS times on its headers.
# "attack" is the audit's own figure for one direction (no parsing), "audit
# run" the wall time of a whole tabrix-audit process (both directions, parsing
# six headers included).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
runs="${RUNS:-7}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$root/examples/templates" "$work/"
mkdir -p "$work/out"
cd "$work"

now_us() { local t=${EPOCHREALTIME/./}; echo "${t#0}"; }
median() { sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]}'; }
key() { od -An -N16 -tx1 /dev/urandom | tr -d ' \n'; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); $runs audit runs per case"
for case in none ecb cbc; do
    flag=1; command="/${case}ioc:audit.cfg"
    if [ "$case" = none ]; then flag=0; command=""; fi
    sed -e "s|^encryptKey = .*|encryptKey = $(key)|" -e "s|^decryptKey = .*|decryptKey = $(key)|" \
        -e "s|^useEncryptIOC = .*|useEncryptIOC = $flag|" -e "s|^useDecryptIOC = .*|useDecryptIOC = $flag|" \
        "$root/examples/example.cfg" > audit.cfg
    printf '[RANDOM]\nseed = system\n' >> audit.cfg
    if [ -n "$command" ]; then
        # A CBC coding record fails now and then (status 28): retry with a fresh seed.
        for _ in 1 2 3; do "$build/tabrix" "$command" > /dev/null && break; done
    fi
    start=$(now_us)
    "$build/tabrix" /g:audit.cfg > /dev/null
    generate_ms=$(awk -v us=$(( $(now_us) - start )) 'BEGIN {printf "%.1f", us / 1000}')

    : > enc.txt; : > dec.txt; : > whole.txt
    for _ in $(seq "$runs"); do
        start=$(now_us)
        "$build/tabrix-audit" audit.cfg > report.txt || { echo "audit failed on $case tables"; cat report.txt; exit 1; }
        echo $(( $(now_us) - start )) | awk '{printf "%.1f\n", $1 / 1000}' >> whole.txt
        awk '/^encryption key/ {d="enc"} /^decryption key/ {d="dec"} /^  time: / {print $2 >> (d ".txt")}' report.txt
    done
    enc=$(median < enc.txt); dec=$(median < dec.txt); whole=$(median < whole.txt)
    awk -v c="$case" -v g="$generate_ms" -v e="$enc" -v d="$dec" -v w="$whole" 'BEGIN {
        printf "%-5s /g: %7.1f ms | attack: encryption %6.1f ms (%.3f of /g:), decryption %6.1f ms (%.3f of /g:) | audit run %6.1f ms (%.2f of /g:)\n",
            c, g, e, e / g, d, d / g, w, w / g
    }'
done
