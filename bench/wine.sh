#!/usr/bin/env bash
# "/g:" on examples/example.cfg from the Linux build and from tabrix.exe under
# Wine, run alternately in one session; medians of wall time and their ratio.
# For information: Wine's start and its file calls are part of the figure.
#
#   RUNS=9 bench/wine.sh [linux-build-dir] [windows-build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
linux="$(cd "${1:-build}" && pwd)/tabrix"
windows="$(cd "${2:-build-windows}" && pwd)/tabrix.exe"
runs="${RUNS:-9}"
. tools/wine-session.sh "$(dirname "$windows")/wine"
work="$(mktemp -d)"
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
cp -r examples "$work/" && cd "$work/examples" && mkdir -p out
sed 's/^seed *=.*/seed = 00112233445566778899aabbccddeeff/' example.cfg > seeded.cfg
"$wine" "$windows" /g:seeded.cfg > /dev/null # a first run, not timed
microseconds() { local start end; start=$(date +%s%N); "$@" > /dev/null; end=$(date +%s%N); echo $(((end - start) / 1000)); }
: > linux.txt; : > wine.txt
for _ in $(seq "$runs"); do
    microseconds "$linux" /g:seeded.cfg >> linux.txt
    microseconds "$wine" "$windows" /g:seeded.cfg >> wine.txt
done
median() { sort -n "$1" | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
l=$(median linux.txt); w=$(median wine.txt)
awk -v l="$l" -v w="$w" -v n="$runs" 'BEGIN {
  printf "/g: example.cfg, %d alternating runs, median wall time\n", n
  printf "  Linux build      %8.1f ms\n", l / 1000
  printf "  tabrix.exe, Wine %8.1f ms\n", w / 1000
  printf "  Wine / Linux     %8.2f\n", w / l }'
