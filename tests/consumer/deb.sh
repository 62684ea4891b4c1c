#!/usr/bin/env bash
# Builds the Debian package with CPack and compares its file list with what
# cmake --install puts under the same prefix.
#
#   deb.sh <tabrix build dir>
source "$(dirname "$0")/common.sh"
build="$1"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg") > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb="$(find "$work/pkg" -maxdepth 1 -name 'tabrix_*.deb' | head -n 1)"
[ -n "$deb" ] || { cat "$work/cpack.log"; fail "no .deb"; }
dpkg-deb --info "$deb" > "$work/info.txt"
grep -q "^ Package: tabrix$" "$work/info.txt" || fail "package name"
grep -q "^ Version: 1.1$" "$work/info.txt" || fail "package version"
dpkg --contents "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./|/|' | sort > "$work/deb.txt"

DESTDIR="$work/root" cmake --install "$build" --prefix /usr > "$work/install.log"
(cd "$work/root" && find . -type f -o -type l) | sed 's|^\./|/|' | sort > "$work/install.txt"
[ -s "$work/install.txt" ] || fail "the install put nothing"
diff -u "$work/install.txt" "$work/deb.txt" || fail "the package and the install differ"
echo "package: $(basename "$deb"), $(wc -l < "$work/deb.txt") files, the same as the install"
