#!/usr/bin/env bash
# Generates the example tables with the tool, compiles the C99 runtime and the
# demo against them, and runs the demo.
#
#   examples/run_demo.sh [path/to/tabrix]
#
# The tool defaults to build/tabrix in the repository root. The tool runs from
# the examples/ folder, because example.cfg holds paths relative to it; the
# headers, coding files and the demo binary go to examples/out/.
set -euo pipefail

examples_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tool="${1:-$examples_dir/../build/tabrix}"
# Resolve a relative tool path against the caller's directory before moving.
case "$tool" in
  /*) ;;
  *) tool="$PWD/$tool" ;;
esac
if [[ ! -x "$tool" ]]; then
  echo "run_demo.sh: tool not found or not executable: $tool" >&2
  exit 2
fi

cd "$examples_dir"
mkdir -p out
"$tool" /g:example.cfg
echo
"${CC:-cc}" -std=c99 -O2 -Wall -Wextra -I out -I ../runtime ../runtime/tabrix_runtime.c demo.c -o out/demo
./out/demo
