#!/usr/bin/env bash
# Cross-builds tabrix.exe, tabrix-audit.exe and the test programs for 64-bit
# Windows with mingw-w64, and tests them under Wine:
#   1. the test suite (ctest, every test program under Wine);
#   2. the C runtime as C99 with mingw-w64: the demo on classic and mixed tables
#      that tabrix.exe wrote, and the runtime's test driver, whose answers must
#      equal those of the same driver built for Linux around the same headers;
#   3. the files of both builds from one fixed seed: byte-identical.
#
#   tools/build-windows.sh [linux-build-dir]
#
# The Linux build (default build/, made by the README's test command) serves
# steps 2 and 3. Wine runs in its own prefix, build-windows/wine (made on the
# first run, some seconds); WINEDEBUG=-all keeps Wine quiet.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
linux_build="$(cd "${1:-build}" && pwd)"
windows_build="$root/build-windows"

tools/install-deps.sh --windows
mkdir -p "$windows_build"
. tools/wine-session.sh "$windows_build/wine"
work="$(mktemp -d)"
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT

echo "== cross-build (mingw-w64, warnings are errors)"
cmake -S . -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DTABRIX_WERROR=ON -DTABRIX_BENCH=OFF
cmake --build "$windows_build" -j2

echo "== test suite under Wine"
ctest --test-dir "$windows_build" -j2 --output-on-failure

cflags=(-std=c99 -O2 -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Werror)
mingw_cc=x86_64-w64-mingw32-gcc-posix

echo "== C runtime under Wine: demo on classic and mixed tables"
cp -r examples "$work/examples"
cd "$work/examples"
mkdir -p out mixed
"$wine" "$windows_build/tabrix.exe" /g:example.cfg > /dev/null
sed 's#out/mixed_#mixed/#' mixed.cfg > mixed_here.cfg
"$wine" "$windows_build/tabrix.exe" /g:mixed_here.cfg > /dev/null
"$mingw_cc" "${cflags[@]}" -static -I out -I "$root/runtime" "$root/runtime/tabrix_runtime.c" demo.c -o demo.exe
"$wine" ./demo.exe | tail -1
"$mingw_cc" "${cflags[@]}" -DTABRIX_MIXED -static -I mixed -I "$root/runtime" "$root/runtime/tabrix_runtime.c" \
    demo.c -o demo_mixed.exe
"$wine" ./demo_mixed.exe | tail -1

echo "== files of one fixed seed: Linux and Windows builds byte-identical"
seeded() { sed "s/^seed *=.*/seed = 00112233445566778899aabbccddeeff/; s/^useEncryptIOC *=.*/useEncryptIOC = 1/; s/^useDecryptIOC *=.*/useDecryptIOC = 1/" "$1"; }
seeded example.cfg > seeded.cfg
seeded mixed_here.cfg > seeded_mixed.cfg
for build in linux windows; do
    rm -rf out mixed && mkdir -p out mixed
    for command in /cbcioc:seeded.cfg /g:seeded.cfg /cbcioc:seeded_mixed.cfg /g:seeded_mixed.cfg; do
        if [[ $build == linux ]]; then
            "$linux_build/tabrix" "$command" > /dev/null
        else
            "$wine" "$windows_build/tabrix.exe" "$command" > /dev/null
        fi
    done
    (md5sum out/* mixed/*) > "$work/$build.md5"
    mkdir -p "$work/$build" && cp -r out mixed "$work/$build/"
done
diff "$work/linux.md5" "$work/windows.md5"
echo "identical: $(wc -l < "$work/windows.md5") files (headers, IOC and CBC data files, both formats)"

echo "== C runtime under Wine: the test driver answers as on Linux"
cd "$work/windows/out"
"$mingw_cc" "${cflags[@]}" -static -I . -I "$root/runtime" "$root/runtime/tabrix_runtime.c" \
    "$root/tests/runtime/runtime_driver.c" -o driver.exe
"${CC:-cc}" "${cflags[@]}" -I . -I "$root/runtime" "$root/runtime/tabrix_runtime.c" \
    "$root/tests/runtime/runtime_driver.c" -o driver
blocks=$(head -c 4096 /dev/urandom | od -An -v -tx1 | tr -d ' \n')
iv=$(head -c 16 /dev/urandom | od -An -v -tx1 | tr -d ' \n')
commands="E $blocks
D $blocks
CE $iv $blocks
CD $iv $blocks
IE ioc_encrypt.dat $blocks
ID ioc_decrypt.dat $blocks
ICE ioc_encrypt.dat cbc_ioc_data_encrypt.dat $iv $blocks
ICD ioc_decrypt.dat cbc_ioc_data_decrypt.dat $iv $blocks
CTR $iv $blocks
P 4112 ${blocks:0:100}
U ${blocks}"
printf '%s\n' "$commands" | ./driver > linux.txt
printf '%s\n' "$commands" | "$wine" ./driver.exe | tr -d '\r' > windows.txt
diff linux.txt windows.txt
cut -c1-72 windows.txt
echo "identical: $(wc -l < windows.txt) driver answers"
echo "== Windows build: all checks passed"
