#!/usr/bin/env bash
# Cross builds for 64-bit ARM Linux, run under qemu-user: tests/consumer/tables
# built with cmake/aarch64-linux-gnu.cmake against the installed package (a set
# with kept CBC codings; a DIRECTIONS DECRYPT set) and once with tabrix's sources
# inside (the tool built for the build machine), each checked against answers
# computed here with OpenSSL: single blocks, PKCS#7 CBC (coded) and CTR.
# Skipped when aarch64-linux-gnu-gcc or qemu-aarch64 is missing.
#
#   cross.sh <tabrix build dir> <tabrix source dir> <sanitized ON|OFF>
source "$(dirname "$0")/common.sh"
build="$1"
source_dir="$2"
for program in aarch64-linux-gnu-gcc qemu-aarch64; do
    if ! command -v "$program" > /dev/null; then
        echo "SKIPPED: $program is not installed (Debian packages gcc-aarch64-linux-gnu, qemu-user)"
        exit 77
    fi
done
project="$source_dir/tests/consumer/tables"
toolchain="$source_dir/cmake/aarch64-linux-gnu.cmake"

cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
make_keys
cmake -S "$project" -B "$work/answers" -DANSWERS=ON > "$work/answers.log" 2>&1 &&
    cmake --build "$work/answers" >> "$work/answers.log" 2>&1 || { cat "$work/answers.log"; fail "answers"; }
"$work/answers/answers" "$APP_KEY" "$work/app.answers" || fail "answers"
"$work/answers/answers" "$PLAIN_KEY" "$work/plain.answers" || fail "answers"

# cross_build FOLDER CODINGS_NUMBER EXTRA_CMAKE_ARGUMENT ARGS...: configures with
# the toolchain file and the program check, builds it, checks it is an ARM
# program.
cross_build() {
    local folder="$1" codings="$2" extra="$3"
    shift 3
    local IFS=';'
    cmake -S "$project" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$work/prefix" \
        -DCMAKE_BUILD_TYPE=Release -DTABLE_ARGS="$*" -DCHECK=ON -DCHECK_CODINGS="$codings" $extra \
        > "$folder.configure.log" 2>&1 || { cat "$folder.configure.log"; fail "configure $folder"; }
    timeout 600 cmake --build "$folder" -j2 > "$folder.build.log" 2>&1 || { tail -40 "$folder.build.log"; fail "build $folder"; }
    file -L "$folder/check" | grep -q "ARM aarch64" || fail "$folder/check is not an ARM program: $(file -L "$folder/check")"
}
# run_check FOLDER ANSWERS [CODING_FOLDER]: the check under qemu.
run_check() {
    qemu-aarch64 -L /usr/aarch64-linux-gnu "$1/check" "$2" ${3:+"$3"} > "$1.check.log" 2>&1 ||
        { cat "$1.check.log"; fail "check in $1 under qemu"; }
    echo "$(basename "$1"): $(tail -n 1 "$1.check.log")"
}

mkdir -m 700 "$work/secrets"
kept="$work/secrets/cbc"
cross_build "$work/kept" 2 "" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$kept"
run_check "$work/kept" "$work/app.answers" "$kept"
cross_build "$work/decrypt" 0 "" KEY_FILE "$PLAIN_KEY" DIRECTIONS DECRYPT
run_check "$work/decrypt" "$work/plain.answers"
nm "$work/decrypt/libt.a" | grep -q " T t_decrypt_block$" || fail "the decryption set lacks t_decrypt_block"
nm "$work/decrypt/libt.a" | grep -q "t_encrypt" && fail "the decryption set holds encryption functions"
check_keys_confined "$work/kept" "$work/decrypt" "$work/kept.configure.log" "$work/kept.build.log" \
    "$work/decrypt.configure.log" "$work/decrypt.build.log"

# tabrix's sources inside the cross-built project: the tool is built for the
# build machine, and nothing else of tabrix is built.
if [ "${3:-OFF}" = ON ]; then
    echo "(the cross subproject runs in the plain build only: it rebuilds the tool without sanitizers)"
    exit 0
fi
# With TABRIX_EXECUTABLE the tool is that one, and nothing is built for the host.
(IFS=';'; cmake -S "$project" -B "$work/sub_given" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTABRIX_SOURCE="$source_dir" \
    -DTABRIX_EXECUTABLE="$work/prefix/bin/tabrix" -DTABLE_ARGS="KEY_FILE;$PLAIN_KEY;DIRECTIONS;DECRYPT") \
    > "$work/sub_given.configure.log" 2>&1 || { cat "$work/sub_given.configure.log"; fail "configure with TABRIX_EXECUTABLE"; }
timeout 300 cmake --build "$work/sub_given" -j2 > "$work/sub_given.build.log" 2>&1 ||
    { tail -40 "$work/sub_given.build.log"; fail "build with TABRIX_EXECUTABLE"; }
grep -q "$work/prefix/bin/tabrix" "$work/sub_given.build.log" || grep -rq "DTOOL=$work/prefix/bin/tabrix" "$work/sub_given" ||
    fail "the given TABRIX_EXECUTABLE was not run"
[ ! -e "$work/sub_given/tabrix/host-tool" ] || fail "a tool was built although TABRIX_EXECUTABLE was given"
echo "sub_given: the subproject ran TABRIX_EXECUTABLE and built only the set for the device"
cross_build "$work/sub" 2 "-DTABRIX_SOURCE=$source_dir" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$kept"
run_check "$work/sub" "$work/app.answers" "$kept"
file -L "$work/sub/tabrix/host-tool/tabrix" | grep -q "x86-64\|$(uname -m | tr _ -)" ||
    fail "the subproject's tool is not a program of this machine: $(file -L "$work/sub/tabrix/host-tool/tabrix")"
[ -z "$(find "$work/sub/tabrix" -path "$work/sub/tabrix/host-tool" -prune -o -name '*.a' -print)" ] ||
    fail "the cross subproject built tabrix's libraries for the device"
