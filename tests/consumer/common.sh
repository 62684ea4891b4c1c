# Shared by the consumer tests: a private work folder, two fresh keys, the run of
# the consumer program and the search for the keys in its build tree.
set -euo pipefail

work="$(mktemp -d "${TMPDIR:-/tmp}/tabrix_consumer_XXXXXX")"
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Two different random keys, each in a file outside every build tree.
make_keys() {
    mkdir -m 700 "$work/keys"
    od -An -tx1 -N16 /dev/urandom | tr -d ' \n' > "$work/keys/app.key"
    od -An -tx1 -N16 /dev/urandom | tr -d ' \n' > "$work/keys/plain.key"
    chmod 600 "$work/keys/app.key" "$work/keys/plain.key"
    APP_KEY="$work/keys/app.key"
    PLAIN_KEY="$work/keys/plain.key"
    cmp -s "$work/keys/app.key" "$work/keys/plain.key" && fail "the two keys are equal"
    return 0
}

# check_keys_confined BUILD_TREE LOG...: each key, as hex text in either case or as
# raw bytes, may appear only in the tool's scripts under BUILD_TREE, which must
# have mode 0600 in a folder of mode 0700; never in the logs (which hold the
# verbose build's command lines) nor in any other file, CMakeCache.txt included.
check_keys_confined() {
    local file scripts=0
    while IFS= read -r file; do
        case "$file" in
            */private/tables.cfg)
                [ "$(stat -c %a "$file")" = 600 ] || fail "$file has mode $(stat -c %a "$file")"
                [ "$(stat -c %a "$(dirname "$file")")" = 700 ] || fail "$(dirname "$file") is not private"
                scripts=$((scripts + 1)) ;;
            *) fail "a key appears in $file" ;;
        esac
    done < <(find "$@" -type f -print0 | perl -0 -ne '
        BEGIN {
            for my $path (@ENV{qw(APP_KEY PLAIN_KEY)}) {
                open(my $f, "<", $path) or die; my $hex = <$f>; close $f; chomp $hex;
                push @needles, lc $hex, uc $hex, pack("H*", $hex);
            }
        }
        chomp; my $file = $_;
        open(my $f, "<:raw", $file) or next; local $/; my $data = <$f>; close $f;
        for my $n (@needles) { if (index($data, $n) >= 0) { print "$file\n"; last } }')
    [ "$scripts" -eq 2 ] || fail "expected the keys in exactly two scripts, found $scripts"
    echo "keys: only in the two tool scripts (mode 0600)"
}
export APP_KEY PLAIN_KEY
