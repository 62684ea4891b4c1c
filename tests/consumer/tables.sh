#!/usr/bin/env bash
# tabrix_add_tables itself, against the installed package: what it refuses at
# configure time and in the build step, kept codings, content stamps, seed
# files, formats and directions. Each case configures tests/consumer/tables
# with one set; most build only the set's generation step.
#
#   tables.sh <tabrix build dir> <tabrix source dir>
source "$(dirname "$0")/common.sh"
build="$1"
source_dir="$2"
project="$source_dir/tests/consumer/tables"

cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
make_keys

# configure FOLDER ARGS...: configures the project with TABLE_ARGS=ARGS into FOLDER.
configure() {
    local folder="$1"
    shift
    local IFS=';'
    cmake -S "$project" -B "$folder" -DCMAKE_PREFIX_PATH="$work/prefix" -DTABLE_ARGS="$*" \
        > "$folder.configure.log" 2>&1
}
# generate FOLDER: runs the set's generation step, bounded in time.
generate() {
    timeout 120 cmake --build "$1" --target t_tables > "$1.build.log" 2>&1
}
# says LOG TEXT: LOG holds TEXT (CMake wraps its messages: line ends and runs
# of blanks count as one blank).
says() {
    tr -s ' \n' '  ' < "$1" | grep -qF -- "$2"
}
# expect_failure LOG TEXT WHAT: the step's log says TEXT.
expect_failure() {
    says "$1" "$2" || { cat "$1"; fail "$3: no message '$2'"; }
}

# --- Key files that are not regular files: refused at configure time and in
# the build step, never waited on.
mkfifo "$work/keys/fifo.key"
mkdir "$work/keys/folder.key"
for bad in fifo folder; do
    if configure "$work/bad_$bad" KEY_FILE "$work/keys/$bad.key"; then
        fail "a $bad key file configured"
    fi
    expect_failure "$work/bad_$bad.configure.log" "$work/keys/$bad.key is" "$bad key file at configure time"
    expect_failure "$work/bad_$bad.configure.log" "not a regular file" "$bad key file at configure time"
done
cp "$APP_KEY" "$work/keys/swapped.key"
configure "$work/swapped" KEY_FILE "$work/keys/swapped.key" || { cat "$work/swapped.configure.log"; fail "configure"; }
rm "$work/keys/swapped.key"
mkfifo "$work/keys/swapped.key"
status=0
generate "$work/swapped" || status=$?
[ "$status" -ne 124 ] || fail "the build step waited on the FIFO key file"
[ "$status" -ne 0 ] || fail "the build step accepted a FIFO key file"
expect_failure "$work/swapped.build.log" "is not a regular file" "FIFO key file in the build step"
echo "key files: FIFOs and folders refused at configure time and in the build step"
