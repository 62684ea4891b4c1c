#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one for a bounded time on a copy of
# its seed corpus (the committed corpus is never grown).
#
#   fuzz/run_fuzzers.sh [seconds per target, default 60] [build dir, default build-fuzz]
#
# The build dir is configured with clang on first use and rebuilt incrementally
# after that. Exits non-zero if any target crashes, leaks, hangs or reports a
# sanitizer error; the failing input and the log then stay in the work directory
# that is printed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="${2:-$root/build-fuzz}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    # -O1 -g without NDEBUG: the asserts of the code under test stay on.
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DTABRIX_FUZZ=ON \
        -DTABRIX_TESTS=OFF -DTABRIX_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g"
fi
# The targets are the ones fuzz/CMakeLists.txt declares.
cmake --build "$build" -j2
targets=$(cd "$build/fuzz" && ls fuzz_* | sed 's/^fuzz_//')

work="$(mktemp -d "${TMPDIR:-/tmp}/tabrix-fuzz.XXXXXX")"
failed=""
for target in $targets; do
    mkdir -p "$work/$target"
    cp "$root/fuzz/corpus/$target/"* "$work/$target/"
    extra=()
    # Longer than an IOC file, so that longer files (accepted) are tried too.
    [ "$target" = coding_files ] && extra=(-max_len=17000)
    echo "== fuzz_$target for ${seconds}s"
    # TMPDIR: the targets' scratch files go to the work directory too.
    if TMPDIR="$work" "$build/fuzz/fuzz_$target" "$work/$target" "${extra[@]}" \
            -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$work/$target-" >"$work/$target.log" 2>&1; then
        grep -E '^(#[0-9]+[[:space:]]+DONE|Done)' "$work/$target.log" || true
    else
        tail -n 60 "$work/$target.log"
        failed="$failed $target"
    fi
done

if [ -n "$failed" ]; then
    echo "FUZZING FAILED:$failed (inputs and logs in $work)"
    exit 1
fi
rm -rf "$work"
echo "all fuzz targets ran ${seconds}s without a finding"
