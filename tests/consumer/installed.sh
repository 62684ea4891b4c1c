#!/usr/bin/env bash
# Installs this build into a temporary prefix and builds tests/consumer/app
# against it with find_package(tabrix): two table sets, checked against OpenSSL,
# keys confined to the tool scripts. Also checks the installed tool's --help and
# --version.
#
#   installed.sh <tabrix build dir> <tabrix source dir>
source "$(dirname "$0")/common.sh"
build="$1"
source_dir="$2"

cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
tool="$work/prefix/bin/tabrix"
[ "$("$tool" --version)" = "tabrix 1.1" ] || fail "--version printed '$("$tool" --version)'"
"$tool" --help > "$work/help.txt" || fail "--help exited with $?"
"$tool" -h > "$work/h.txt" || fail "-h exited with $?"
"$tool" > "$work/usage.txt"
cmp -s "$work/help.txt" "$work/usage.txt" || fail "--help does not print the usage text"
cmp -s "$work/h.txt" "$work/usage.txt" || fail "-h does not print the usage text"
grep -q "^Usage: " "$work/usage.txt" || fail "no usage text"
[ -f "$work/prefix/share/man/man1/tabrix.1.gz" ] || fail "no man page"
man -l "$work/prefix/share/man/man1/tabrix.1.gz" > /dev/null 2>&1 || fail "man cannot read the installed page"

make_keys
cmake -S "$source_dir/tests/consumer/app" -B "$work/app" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$work/prefix" -DAPP_KEY_FILE="$work/keys/app.key" \
    -DPLAIN_KEY_FILE="$work/keys/plain.key" \
    -DTEMPLATE_FOLDER="$source_dir/examples/Tables/TPL" > "$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; fail "configure"; }
cmake --build "$work/app" -j2 -v > "$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build"; }
"$work/app/consumer" "$work/keys/app.key" "$work/keys/plain.key" || fail "the consumer's checks"
check_keys_confined "$work/app" "$work/configure.log" "$work/build.log"
