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
source bench/timing.sh
. tools/wine-session.sh "$(dirname "$windows")/wine"
work_in_copy_of examples
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
sed 's/^seed *=.*/seed = 00112233445566778899aabbccddeeff/' example.cfg > seeded.cfg
"$wine" "$windows" /g:seeded.cfg > /dev/null # a first run, not timed
: > linux.txt; : > wine.txt
for _ in $(seq "$runs"); do
    wall_us "$linux" /g:seeded.cfg >> linux.txt
    wall_us "$wine" "$windows" /g:seeded.cfg >> wine.txt
done
l=$(ms_median < linux.txt); w=$(ms_median < wine.txt)
awk -v l="$l" -v w="$w" -v n="$runs" 'BEGIN {
  printf "/g: example.cfg, %d alternating runs, median wall time\n", n
  printf "  Linux build      %8.1f ms\n", l
  printf "  tabrix.exe, Wine %8.1f ms\n", w
  printf "  Wine / Linux     %8.2f\n", w / l }'
