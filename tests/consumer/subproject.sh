#!/usr/bin/env bash
# Builds tests/consumer/parent: a project with its own "cli" target and its own
# folder "tabrix" that takes in tabrix with add_subdirectory and the consumer app
# next to it. The parent's CMakeLists checks that nothing leaked at configure
# time; this script checks where the tool landed, that no tabrix-audit was
# built and that the parent's install installs nothing of tabrix, runs the
# consumer and looks for the keys.
#
#   subproject.sh <tabrix source dir> <sanitized ON|OFF>
source "$(dirname "$0")/common.sh"
source_dir="$1"
if [ "${2:-OFF}" = ON ]; then
    # The parent builds the whole tool once more from source, without this
    # build's sanitizers; the plain build runs this test.
    echo "SKIPPED: the subproject consumer runs in the plain build only (it rebuilds the tool without sanitizers)"
    exit 77
fi

make_keys
cmake -S "$source_dir/tests/consumer/parent" -B "$work/parent" -DTABRIX_SOURCE="$source_dir" \
    -DAPP_KEY_FILE="$work/keys/app.key" -DPLAIN_KEY_FILE="$work/keys/plain.key" \
    -DTEMPLATE_FOLDER="$source_dir/examples/Tables/TPL" \
    > "$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "configure"; }
cmake --build "$work/parent" -j2 -v > "$work/build.log" 2>&1 || { tail -50 "$work/build.log"; fail "build"; }
[ -d "$work/parent/tabrix" ] || fail "the parent's own folder tabrix is gone"
[ -x "$work/parent/tabrix/parent_tool" ] || fail "the parent's own target in its folder tabrix"
[ -x "$work/parent/third_party/tabrix/tabrix" ] || fail "the tool is not in tabrix's own build folder"
[ -x "$work/parent/cli" ] || fail "the parent's cli"
[ "$("$work/parent/cli")" = "parent cli" ] || fail "the parent's cli is not its own"
[ "$("$work/parent/third_party/tabrix/tabrix" --version)" = "tabrix 1.1" ] || fail "--version"
"$work/parent/app/consumer" "$work/keys/app.key" "$work/keys/plain.key" || fail "the consumer's checks"
[ ! -e "$work/parent/third_party/tabrix/tabrix-audit" ] || fail "the parent built tabrix-audit"
cmake --install "$work/parent" --prefix "$work/parent_install" > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "the parent's install"; }
[ -z "$(find "$work/parent_install" -type f 2>/dev/null)" ] ||
    fail "the parent's install put tabrix's files: $(find "$work/parent_install" -type f | head -5)"
check_keys_confined "$work/parent" "$work/configure.log" "$work/build.log"
