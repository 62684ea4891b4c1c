#!/usr/bin/env bash
# Builds the Debian package with CPack and compares its file list with what
# cmake --install puts under the same prefix; lintian must report no error, the
# documentation must be there, and the installed example must write its tables
# in an empty folder with the one documented command.
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

for doc in copyright README.md changelog.gz; do
    grep -qx "/usr/share/doc/tabrix/$doc" "$work/deb.txt" || fail "the package lacks /usr/share/doc/tabrix/$doc"
done
grep -qx /usr/share/man/man1/tabrix.1.gz "$work/deb.txt" || fail "the package lacks the compressed manual page"
if command -v lintian > /dev/null; then
    lintian --fail-on error "$deb" > "$work/lintian.txt" 2>&1 || { cat "$work/lintian.txt"; fail "lintian reports errors"; }
    echo "lintian: no errors ($(grep -c '^W:' "$work/lintian.txt") warnings)"
else
    echo "lintian is not installed (tools/install-deps.sh installs it): its check is skipped"
fi
# The templates of every key size, the same ten names in each folder.
for key_size in "" 192 256; do
    names="$(grep "^/usr/share/tabrix/templates$key_size/" "$work/deb.txt" | sed 's|.*/||')"
    [ "$(echo "$names" | grep -c '\.tpl$')" -eq 10 ] || fail "the package has templates$key_size: $names"
    [ "$names" = "$(grep '^/usr/share/tabrix/templates/' "$work/deb.txt" | sed 's|.*/||')" ] ||
        fail "templates$key_size/ and templates/ hold other names"
done
# The example as installed: templates by their installed paths, all in the package.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/tabrix/example.cfg > "$work/deb_example.cfg"
grep -o '/usr/share/tabrix/templates/[A-Za-z_]*\.tpl' "$work/deb_example.cfg" | sort -u > "$work/example_templates.txt"
[ "$(wc -l < "$work/example_templates.txt")" -eq 6 ] || fail "the packaged example names $(cat "$work/example_templates.txt")"
comm -23 "$work/example_templates.txt" "$work/deb.txt" | grep . && fail "the packaged example names templates the package lacks"
# ... and run where it is installed (the same install step, another prefix).
cmake --install "$build" --prefix "$work/prefix" > "$work/prefix_install.log"
grep -q "^;   mkdir tables && cd tables && tabrix /g:$work/prefix/share/tabrix/example.cfg\$" "$work/prefix/share/tabrix/example.cfg" ||
    fail "the installed example does not give its command"
mkdir "$work/tables"
(cd "$work/tables" && PATH="$work/prefix/bin:$PATH" tabrix "/g:$work/prefix/share/tabrix/example.cfg") > "$work/example.log" ||
    { cat "$work/example.log"; fail "the installed example"; }
[ "$(ls "$work/tables" | wc -l)" -eq 6 ] || fail "the installed example wrote $(ls "$work/tables")"
echo "documentation: copyright, README.md, changelog.gz; the installed example writes its six headers in an empty folder"
