#!/bin/sh
# Installs the Debian packages the build, the tests and the benchmarks need
# (only those that are missing), the cross compiler and qemu-user of the ARM
# consumer test, and lintian for the Debian package's test. Uses sudo when not
# run as root.
#   --windows  also the Windows cross-build and Wine (tools/build-windows.sh):
#              mingw-w64 (posix threads), wine64 (with libgnutls30, behind the
#              AES of its CNG) and the GoogleTest sources
# Other arguments are more package names.
set -e
extra=""
for argument in "$@"; do
    case "$argument" in
        --windows) extra="$extra g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 libgnutls30 googletest" ;;
        *) extra="$extra $argument" ;;
    esac
done
packages="g++ gcc cmake make pkg-config libmd-dev nlohmann-json3-dev libgtest-dev libssl-dev libbenchmark-dev jq
          file lintian gcc-aarch64-linux-gnu g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user $extra"
missing=""
for package in $packages; do
    dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
