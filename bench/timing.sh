# shellcheck shell=bash
# Helpers of the benchmark scripts (sourced, never run): wall times, medians,
# the MD5 figure and a scratch copy of the examples.

# The project folder.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The build folder given (a script's first argument), or build/ of the project.
build_folder() { (cd "${1:-$root/build}" && pwd); }
# Sets build to build_folder of the second argument, and runs to $RUNS or, when
# that is unset, the first argument.
bench_start() {
    build="$(build_folder "${2:-}")"
    runs="${RUNS:-$1}"
}

# Wall time in microseconds of one run of the command given (output discarded).
wall_us() {
    local start end
    start=${EPOCHREALTIME/./}
    "$@" > /dev/null
    end=${EPOCHREALTIME/./}
    echo $(( end - start ))
}

# Median of the microsecond figures on stdin, in ms with one decimal.
ms_median() { sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)] / 1000}'; }

# One 16-byte MD5 (libmd), in ns, from the coding benchmark of the build given.
md5_ns_of() {
    "$1/bench/bench_coding_bench" --benchmark_filter='BM_PlainMd5Of16Bytes$' \
        --benchmark_color=false --benchmark_min_time=1 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g' |
        awk '$1 == "BM_PlainMd5Of16Bytes" {print $2}'
}

# A temporary folder in $work, removed on exit.
make_work() {
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
}

# make_work with a copy of the given examples folder and an empty out/ in it,
# entered.
work_in_copy_of() {
    make_work
    cp -r "$1/." "$work/"
    mkdir -p "$work/out"
    cd "$work" || exit
}

# A random AES key of the given bits (128 when not given), in hex.
random_key() { od -An -N$(( ${1:-128} / 8 )) -tx1 /dev/urandom | tr -d ' \n'; }

# The example script of a format (classic, mixed) and key size (128, 192, 256)
# on stdout: example.cfg, mixed.cfg, aes192.cfg or aes256.cfg, or for the
# mixed format of the longer keys mixed.cfg with keyBits and the templates of
# that size.
example_script() {
    case "$1/$2" in
        classic/128) cat "$root/examples/example.cfg" ;;
        classic/*) cat "$root/examples/aes$2.cfg" ;;
        mixed/128) cat "$root/examples/mixed.cfg" ;;
        mixed/*) sed -e "s|^\[TABLES\]|[TABLES]\nkeyBits = $2|" -e "s|Tables/TPL/|Tables/TPL$2/|" \
            "$root/examples/mixed.cfg" ;;
    esac
}
# The prefix of the output files of that script under out/.
example_prefix() {
    case "$1/$2" in
        classic/128) echo "" ;;
        classic/*) echo "aes$2_" ;;
        *) echo "mixed_" ;;
    esac
}
