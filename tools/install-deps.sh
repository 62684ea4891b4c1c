#!/bin/sh
# Installs the Debian packages the build, the tests and the benchmarks need
# (only those that are missing). Uses sudo when not run as root.
set -e
packages="g++ gcc cmake make pkg-config libmd-dev libgtest-dev libssl-dev libbenchmark-dev $*"
missing=""
for package in $packages; do
    dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
