#!/usr/bin/env bash
# The manual page against the code and the README: every script key of
# base/script_keys.h with its section, every exit status of the README's table,
# every command and flag, and the README's security line.
#
#   man_page.sh <source dir>
set -euo pipefail
root="$1"
page="$root/doc/tabrix.1"
missing=0
need() {
    if ! grep -qF -- "$1" "$page"; then
        echo "tabrix.1 lacks: $1"
        missing=1
    fi
}
keys="$root/base/script_keys.h"
[ -f "$keys" ] || { echo "no key table at $keys"; exit 1; }
while read -r section key; do
    need "[$section]"
    need "$key"
done < <(sed -n 's/^ *{"\([A-Z_]*\)", "\([A-Za-z]*\)".*/\1 \2/p' "$keys")
# README: "| 33 | ..." rows of the exit-status table, "| 255 (-1) | ..." as 255.
while read -r status; do
    need ".B $status"
done < <(sed -n '/^## Exit statuses/,/^## /s/^| \([0-9][0-9]*\)[ (].*/\1/p' "$root/README.md")
for text in /g: /ecbioc: /cbcioc: /test: '\-\-help' '\-h' '\-\-version' "tabrix 1.1" \
    "ARE THE SAME FILE" "OUT OF MEMORY" "BAD FLAG VALUE" 0600 "recovers both AES keys"; do
    need "$text"
done
if man -l "$page" > /dev/null 2>&1 || ! command -v man > /dev/null; then :; else
    echo "man cannot read tabrix.1"
    missing=1
fi
[ "$missing" -eq 0 ] && echo "tabrix.1: every key, status, command and flag is there"
exit "$missing"
