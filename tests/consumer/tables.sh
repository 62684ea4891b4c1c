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

# --- Known answers of the app key, from OpenSSL.
cmake -S "$project" -B "$work/answers" -DANSWERS=ON > "$work/answers.log" 2>&1 &&
    cmake --build "$work/answers" >> "$work/answers.log" 2>&1 || { cat "$work/answers.log"; fail "answers"; }
"$work/answers/answers" "$APP_KEY" "$work/app.answers" || fail "answers"

# build_and_check FOLDER CODINGS_NUMBER CODING_FOLDER ARGS...: configures with
# the program check, builds everything and runs check (against answers_file,
# default the app key's answers).
build_and_check() {
    local folder="$1" codings="$2" coding_folder="$3"
    shift 3
    local IFS=';'
    cmake -S "$project" -B "$folder" -DCMAKE_PREFIX_PATH="$work/prefix" -DTABLE_ARGS="$*" -DCHECK=ON \
        -DCHECK_CODINGS="$codings" > "$folder.configure.log" 2>&1 || { cat "$folder.configure.log"; fail "configure $folder"; }
    timeout 300 cmake --build "$folder" -j2 > "$folder.build.log" 2>&1 || { cat "$folder.build.log"; fail "build $folder"; }
    "$folder/check" "${answers_file:-$work/app.answers}" "$coding_folder" > "$folder.check.log" ||
        { cat "$folder.check.log"; fail "check $folder"; }
}
# digests FILE...: the files' MD5 sums, one line.
digests() {
    md5sum "$@" | awk '{print $1}' | tr '\n' ' '
}

# --- Kept CBC codings: made once into a new private folder, then used as they are.
kept="$work/secrets/cbc"
mkdir -m 700 "$work/secrets"
build_and_check "$work/kept1" 2 "$kept" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$kept"
[ "$(stat -c %a "$kept")" = 700 ] || fail "the new coding folder has mode $(stat -c %a "$kept")"
coding_files=("$kept/ioc_encrypt.dat" "$kept/ioc_decrypt.dat" "$kept/cbc_ioc_data_encrypt.dat" "$kept/cbc_ioc_data_decrypt.dat")
for file in "${coding_files[@]}"; do
    [ "$(stat -c %a "$file")" = 600 ] || fail "$file has mode $(stat -c %a "$file")"
done
[ "$(ls "$kept" | wc -l)" -eq 4 ] || fail "the coding folder holds $(ls "$kept")"
first_codings="$(digests "${coding_files[@]}")"
build_and_check "$work/kept2" 2 "$kept" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$kept"
[ "$(digests "${coding_files[@]}")" = "$first_codings" ] || fail "a second clean build changed the kept codings"
cmp -s "$work/kept1/t/tables/round_tables.h" "$work/kept2/t/tables/round_tables.h" &&
    fail "two builds without a seed file drew the same tables"
for tree in kept1 kept2; do
    [ -z "$(find "$work/$tree" -name '*.dat')" ] || fail "the build tree $tree holds coding files"
done
# A build tree that had throwaway codings keeps none once it has a CODING_DIR.
configure "$work/switch" KEY_FILE "$APP_KEY" CODINGS CBC && generate "$work/switch" || fail "throwaway codings"
[ -f "$work/switch/t/codings/ioc_encrypt.dat" ] || fail "no throwaway codings"
configure "$work/switch" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$kept" && generate "$work/switch" || fail "switch to kept codings"
[ -z "$(find "$work/switch" -name '*.dat')" ] || fail "the throwaway codings stayed beside the kept ones"
tail -n 1 "$work/kept1.check.log"
# Two first builds at once into one new coding folder: one makes the files,
# the other uses them.
# Sets that keep their codings in one folder take turns: while another build
# holds the folder's lock, the step waits, then finds the files already made.
mkdir -m 700 "$work/secrets/shared"
cat > "$work/holder.cmake" <<'HOLDER'
file(LOCK "${DIR}/.tabrix-codings.lock" GUARD PROCESS)
file(WRITE "${DIR}/../holder.locked" "")
execute_process(COMMAND sleep 2)
file(WRITE "${DIR}/../holder.released" "")
HOLDER
cmake -DDIR="$work/secrets/shared" -P "$work/holder.cmake" &
holder=$!
for _ in $(seq 100); do [ -e "$work/secrets/holder.locked" ] && break; sleep 0.1; done
[ -e "$work/secrets/holder.locked" ] || fail "the lock holder did not start"
configure "$work/shared" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$work/secrets/shared" && generate "$work/shared" ||
    { cat "$work/shared.build.log"; fail "generation beside a held lock"; }
[ -e "$work/secrets/holder.released" ] || fail "the step did not wait for the folder's lock"
wait "$holder"
echo "kept codings: made once (folder 0700, files 0600), unchanged by a second clean build, both builds agree with OpenSSL, no copy in the build trees"

# --- Only a content change regenerates: touching the key file, the coding files
# or the templates does nothing; a changed key file does.
stamp_before="$(stat -c %Y "$work/kept2/t/tables/round_tables.h") $(digests "$work/kept2/t/tables/"*.h)"
sleep 1
touch "$APP_KEY" "${coding_files[@]}"
timeout 300 cmake --build "$work/kept2" -j2 > "$work/kept2.touch.log" 2>&1 || { cat "$work/kept2.touch.log"; fail "build after touch"; }
expect_failure "$work/kept2.touch.log" "tables t: inputs unchanged, nothing to do" "touched inputs"
[ "$(stat -c %Y "$work/kept2/t/tables/round_tables.h") $(digests "$work/kept2/t/tables/"*.h)" = "$stamp_before" ] ||
    fail "touching the inputs regenerated the tables"
grep -q "Building C object" "$work/kept2.touch.log" && fail "touching the inputs recompiled the library"
cp "$PLAIN_KEY" "$work/keys/changing.key"
configure "$work/changing" KEY_FILE "$work/keys/changing.key" && generate "$work/changing" || fail "generate"
before="$(digests "$work/changing/t/tables/round_tables.h")"
cp "$APP_KEY" "$work/keys/changing.key"
generate "$work/changing" || fail "generate after a key change"
[ "$(digests "$work/changing/t/tables/round_tables.h")" != "$before" ] || fail "a new key regenerated nothing"
echo "regeneration: on content changes only"

# --- Bad kept coding files fail the build and name the file.
bad_case() { # bad_case NAME TEXT: copies the kept folder, lets perl change it, expects TEXT
    local name="$1" text="$2" perl_code="$3"
    cp -a "$kept" "$work/secrets/$name"
    (cd "$work/secrets/$name" && perl -e "$perl_code") || fail "$name: set-up"
    configure "$work/bad_$name" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$work/secrets/$name" ||
        { cat "$work/bad_$name.configure.log"; fail "configure $name"; }
    if generate "$work/bad_$name"; then
        fail "$name: the build accepted it"
    fi
    expect_failure "$work/bad_$name.build.log" "$text" "$name"
    [ -z "$(find "$work/bad_$name" -name '*.h' -path '*tables*')" ] || fail "$name: tables were written"
}
bad_case short "coding file $work/secrets/short/ioc_decrypt.dat has 16383 bytes, not 16384" \
    'open(my $f, "+<", "ioc_decrypt.dat") or die; truncate($f, 16383) or die'
# Two images swapped in record 5 of the data file, inverse kept: still a byte
# coding, no longer related.
bad_case unrelated "coding files $work/secrets/unrelated/ioc_encrypt.dat and $work/secrets/unrelated/cbc_ioc_data_encrypt.dat: record 5 is not a CBC-compliant triple" '
    open(my $f, "+<:raw", "cbc_ioc_data_encrypt.dat") or die; local $/; my $d = <$f>;
    my $r = 5 * 512; my ($a, $b) = (ord(substr($d, $r + 3, 1)), ord(substr($d, $r + 9, 1)));
    substr($d, $r + 3, 1) = chr($b); substr($d, $r + 9, 1) = chr($a);
    substr($d, $r + 256 + $a, 1) = chr(9); substr($d, $r + 256 + $b, 1) = chr(3);
    seek($f, 0, 0); print $f $d; close $f or die'
bad_case inverse "coding file $work/secrets/inverse/ioc_encrypt.dat: record 2 of coding set 1 is not a byte coding with its inverse" '
    open(my $f, "+<:raw", "ioc_encrypt.dat") or die; seek($f, 8192 + 2 * 512 + 300, 0); print $f "\x00\x00"; close $f or die'
bad_case partial "$work/secrets/partial/ioc_decrypt.dat is there but $work/secrets/partial/cbc_ioc_data_decrypt.dat is missing" \
    'unlink "cbc_ioc_data_decrypt.dat" or die'
if configure "$work/inside" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$work/inside/codings"; then
    fail "a coding folder inside the build tree was accepted"
fi
expect_failure "$work/inside.configure.log" "lies inside the build tree" "coding folder in the build tree"
echo "bad coding files: a wrong size, a broken CBC relation, a record that is no byte coding and half a direction fail the build by name"

# --- A seed file: byte-identical headers and codings across clean builds.
printf '00112233445566778899aabbccddeeff\n' > "$work/keys/seed"
for n in 1 2; do
    configure "$work/seeded$n" KEY_FILE "$APP_KEY" CODINGS CBC SEED_FILE "$work/keys/seed" &&
        generate "$work/seeded$n" || { cat "$work/seeded$n".*.log; fail "seeded build $n"; }
done
for file in tables/round_tables.h tables/xor_tables.h tables/final_round_table.h tables/inv_round_tables.h \
            tables/inv_xor_tables.h tables/inv_first_round_table.h codings/ioc_encrypt.dat codings/cbc_ioc_data_decrypt.dat; do
    cmp -s "$work/seeded1/t/$file" "$work/seeded2/t/$file" || fail "$file differs between two seeded builds"
done
cmp -s "$work/seeded1/t/tables/round_tables.h" "$work/kept1/t/tables/round_tables.h" && fail "the seed file was not used"
grep -rqF 00112233445566778899aabbccddeeff "$work/seeded1.configure.log" "$work/seeded1.build.log" \
    "$work/seeded1/CMakeCache.txt" && fail "the seed appears in the cache or a log"
printf '0011\n' > "$work/keys/short_seed"
configure "$work/short_seed" KEY_FILE "$APP_KEY" SEED_FILE "$work/keys/short_seed" || fail "configure short seed"
generate "$work/short_seed" && fail "a seed file of 4 digits was accepted"
expect_failure "$work/short_seed.build.log" "the seed file must hold 32 hexadecimal digits, not 4" "short seed"
echo "seed file: identical headers and codings in two clean builds; the seed stays out of the cache and the log"
# This seed's first coding seed makes /cbcioc: fail with 28 (a CBC record that
# could not be generated, about one command in a hundred): the step draws again.
printf '00000000000000000000000000000035\n' > "$work/keys/unlucky_seed"
configure "$work/unlucky" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$work/secrets/unlucky" \
    SEED_FILE "$work/keys/unlucky_seed" && generate "$work/unlucky" || { cat "$work/unlucky".*.log; fail "a failed CBC draw"; }
expect_failure "$work/unlucky.build.log" "a CBC coding record could not be generated (28); again" "a failed CBC draw"
[ "$(ls "$work/secrets/unlucky" | wc -l)" -eq 4 ] || fail "after a failed CBC draw the coding folder holds $(ls "$work/secrets/unlucky")"
echo "CBC codings: a failed draw (28) is drawn again"

# --- FORMAT and TEMPLATES.
build_and_check "$work/mixed" 2 "$work/mixed/t/codings" KEY_FILE "$APP_KEY" CODINGS CBC FORMAT mixed
tail -n 1 "$work/mixed.check.log"
[ -f "$work/mixed/t/tables/mix_tables.h" ] && [ -f "$work/mixed/t/tables/inv_mix_xor_tables.h" ] ||
    fail "FORMAT mixed wrote no mix tables"
if configure "$work/bad_format" KEY_FILE "$APP_KEY" FORMAT Mixed; then
    fail "FORMAT Mixed was accepted"
fi
expect_failure "$work/bad_format.configure.log" "FORMAT must be classic or mixed, not 'Mixed'" "FORMAT Mixed"
mkdir "$work/six"
cp "$source_dir"/examples/Tables/TPL/AES{Round,Xor,InvRound,InvXor}Tables_auth.tpl \
   "$source_dir"/examples/Tables/TPL/AES{Final,InvFirst}Table_auth.tpl "$work/six/"
if configure "$work/six_mixed" KEY_FILE "$APP_KEY" FORMAT mixed TEMPLATES "$work/six"; then
    fail "FORMAT mixed with six templates was accepted"
fi
expect_failure "$work/six_mixed.configure.log" "the template folder $work/six has no AESMixTables_auth.tpl" "six templates, mixed"
configure "$work/old_format" KEY_FILE "$APP_KEY" FORMAT "$work/six" && generate "$work/old_format" ||
    { cat "$work/old_format".*.log; fail "FORMAT <folder>"; }
expect_failure "$work/old_format.configure.log" "FORMAT <folder> is deprecated; write TEMPLATES $work/six" "FORMAT <folder>"
echo "formats: FORMAT mixed (CBC codings, checked), FORMAT <folder> (deprecated), bad values refused at configure time"

# --- Key sizes: the key file's length chooses AES-128, -192 or -256 and the
# shipped templates of that size; other lengths fail configure, and a key file
# whose size changed since configure fails the build step.
for bits in 192 256; do
    od -An -tx1 -N$((bits / 8)) /dev/urandom | tr -d ' \n' > "$work/keys/aes$bits.key"
    "$work/answers/answers" "$work/keys/aes$bits.key" "$work/aes$bits.answers" || fail "answers for AES-$bits"
done
answers_file="$work/aes256.answers" build_and_check "$work/aes256" 2 "$work/aes256/t/codings" \
    KEY_FILE "$work/keys/aes256.key" CODINGS CBC
answers_file="$work/aes192.answers" build_and_check "$work/aes192" 1 "$work/aes192/t/codings" \
    KEY_FILE "$work/keys/aes192.key" CODINGS ECB FORMAT mixed DIRECTIONS ENCRYPT
tail -n 1 "$work/aes256.check.log"
tail -n 1 "$work/aes192.check.log"
grep -qx "keyBits = 256" "$work/aes256/t/private/tables.cfg" || fail "the AES-256 script has no keyBits = 256"
grep -q "roundTables\[14\]" "$work/aes256/t/tables/round_tables.h" || fail "the AES-256 tables have not 14 slots"
grep -q "mixTables\[12\]" "$work/aes192/t/tables/mix_tables.h" || fail "the AES-192 mix tables have not 12 slots"
grep -q "keyBits" "$work/kept1/t/private/tables.cfg" && fail "an AES-128 script names keyBits"
printf '%040d\n' 7 > "$work/keys/forty.key"
if configure "$work/forty" KEY_FILE "$work/keys/forty.key"; then
    fail "a key file of 40 digits configured"
fi
expect_failure "$work/forty.configure.log" "the key file must hold 32, 48 or 64 hexadecimal digits, not 40" "40 digits"
if configure "$work/short_templates" KEY_FILE "$work/keys/aes256.key" TEMPLATES "$work/prefix/share/tabrix/templates"; then
    fail "an AES-256 key file configured with the AES-128 templates"
fi
expect_failure "$work/short_templates.configure.log" "AESRoundTables_auth.tpl declares 10 round slots, but the key file holds an AES-256 key (14 slots)" "AES-128 templates for AES-256"
cp "$APP_KEY" "$work/keys/resized.key"
configure "$work/resized" KEY_FILE "$work/keys/resized.key" || fail "configure resized"
cp "$work/keys/aes256.key" "$work/keys/resized.key"
if generate "$work/resized"; then
    fail "the build step took an AES-256 key file configured as AES-128"
fi
expect_failure "$work/resized.build.log" "the key file now holds an AES-256 key, but the build was configured for AES-128; run cmake again" "resized key"
echo "key sizes: AES-256 (CBC codings) and AES-192 (mixed, ECB codings, encryption only) pass their checks; 40 digits, templates of another size and a resized key file refused"

# --- One direction: only its tables, functions and layout; the other
# direction's functions do not link.
build_and_check "$work/decrypt_only" 2 "$kept" KEY_FILE "$APP_KEY" CODINGS CBC CODING_DIR "$kept" DIRECTIONS DECRYPT
build_and_check "$work/encrypt_only" 1 "$work/encrypt_only/t/codings" KEY_FILE "$APP_KEY" CODINGS ECB DIRECTIONS ENCRYPT
tail -n 1 "$work/decrypt_only.check.log"
tail -n 1 "$work/encrypt_only.check.log"
[ -z "$(ls "$work/decrypt_only/t/tables" | grep -v '^inv_')" ] || fail "DIRECTIONS DECRYPT wrote $(ls "$work/decrypt_only/t/tables")"
[ -z "$(ls "$work/encrypt_only/t/tables" | grep '^inv_')" ] || fail "DIRECTIONS ENCRYPT wrote $(ls "$work/encrypt_only/t/tables")"
[ ! -e "$work/encrypt_only/t/codings/ioc_decrypt.dat" ] || fail "DIRECTIONS ENCRYPT wrote decryption codings"
[ -z "$(find "$work/decrypt_only" "$work/encrypt_only" -name 'unused_*')" ] || fail "unused outputs were left behind"
build_and_check "$work/mixed_decrypt" 0 "" KEY_FILE "$APP_KEY" FORMAT mixed DIRECTIONS DECRYPT
tail -n 1 "$work/mixed_decrypt.check.log"
[ "$(ls "$work/mixed_decrypt/t/tables" | tr '\n' ' ')" = "inv_first_round_table.h inv_mix_tables.h inv_mix_xor_tables.h inv_round_tables.h inv_xor_tables.h " ] ||
    fail "mixed DIRECTIONS DECRYPT wrote $(ls "$work/mixed_decrypt/t/tables")"
other_direction() { # other_direction FOLDER FUNCTION ARGUMENTS
    printf '#include "t.h"\nint main(void)\n{\n    static unsigned char b[16];\n    %s(%s);\n    return 0;\n}\n' "$2" "$3" \
        > "$1/other.c"
    if "${CC:-cc}" -std=c99 -I"$1/t/include" "$1/other.c" "$1/libt.a" -o "$1/other" > "$1/other.log" 2>&1; then
        fail "$2 compiled and linked in $1"
    fi
    grep -q "$2" "$1/other.log" || { cat "$1/other.log"; fail "no word on $2"; }
}
other_direction "$work/decrypt_only" t_encrypt_block "b, b"
other_direction "$work/decrypt_only" t_crypt_ctr "b, 16, b"
other_direction "$work/encrypt_only" t_decrypt_cbc "b, 16, b"
echo "directions: one-direction sets pass their checks, hold no table of the other direction, and its calls do not build"

# --- The coding side: "server" (tabrix::codings, no tables) codes, "app" (the
# set, no coding file) runs the tables, "server" decodes and compares with
# OpenSSL's answers.
folder="$work/coding_side"
(IFS=';'; cmake -S "$project" -B "$folder" -DCMAKE_PREFIX_PATH="$work/prefix" -DCODING_SIDE=ON \
    -DTABLE_ARGS="KEY_FILE;$APP_KEY;CODINGS;CBC;CODING_DIR;$kept") > "$folder.configure.log" 2>&1 ||
    { cat "$folder.configure.log"; fail "configure the coding side"; }
timeout 300 cmake --build "$folder" -j2 > "$folder.build.log" 2>&1 || { cat "$folder.build.log"; fail "build the coding side"; }
nm "$folder/server" | grep -qiE "roundTables|xorTables|t_encrypt" && fail "the server holds tables"
nm "$folder/app" | grep -q "tabrix_codings" && fail "the application holds the coding library"
for mode in blocks cbc-encrypt cbc-decrypt; do
    "$folder/server" encode "$kept" "$work/app.answers" "$mode" "$folder/$mode.coded" "$folder/$mode.iv" ||
        fail "server encode $mode"
    (cd "$work" && "$folder/app" "$mode" "$folder/$mode.coded" "$folder/$mode.iv" "$folder/$mode.result") ||
        fail "app $mode"
    cmp -s "$folder/$mode.coded" "$folder/$mode.result" && fail "app $mode changed nothing"
    "$folder/server" decode "$kept" "$work/app.answers" "$mode" "$folder/$mode.result" ||
        fail "$mode: the decoded result is not OpenSSL's"
done
[ "$("$folder/server" load "$kept")" = "load status 0" ] || fail "the server does not load the kept codings"
for bad in short:31 unrelated:32 inverse:32; do
    [ "$("$folder/server" load "$work/secrets/${bad%:*}")" = "load status ${bad#*:}" ] ||
        fail "the coding library loaded the ${bad%:*} folder: $("$folder/server" load "$work/secrets/${bad%:*}")"
done
echo "coding side: tabrix::codings codes single blocks and CBC both ways for tables without coding files, checked against OpenSSL; bad files refused (31, 32)"

# --- A set named tabrix: fine against the installed package; with tabrix's
# sources inside, whose tool target has that name, configure says why not.
(IFS=';'; cmake -S "$project" -B "$work/named" -DCMAKE_PREFIX_PATH="$work/prefix" -DTABLE_NAME=tabrix \
    -DTABLE_ARGS="KEY_FILE;$APP_KEY") > "$work/named.configure.log" 2>&1 || { cat "$work/named.configure.log"; fail "a set named tabrix"; }
timeout 120 cmake --build "$work/named" --target tabrix_tables > "$work/named.build.log" 2>&1 ||
    { cat "$work/named.build.log"; fail "generate a set named tabrix"; }
[ -f "$work/named/tabrix/include/tabrix.h" ] || fail "the set named tabrix has no tabrix.h"
if (IFS=';'; cmake -S "$project" -B "$work/named_sub" -DTABRIX_SOURCE="$source_dir" -DTABLE_NAME=tabrix \
    -DTABLE_ARGS="KEY_FILE;$APP_KEY") > "$work/named_sub.configure.log" 2>&1; then
    fail "a set named tabrix next to tabrix's sources was accepted"
fi
expect_failure "$work/named_sub.configure.log" "whose tool target is named 'tabrix'; give the table set another name" "set named tabrix"
echo "names: a set named tabrix works with the package and is refused, with the reason, beside the sources"
