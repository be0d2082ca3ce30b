#!/usr/bin/env bash
# ./run.sh [FILE]: installs what the build needs (as root, on Debian), builds quorvex in build/
# and converts FILE (default: samples/onguard.hlp) into out/<name>/, then lists what was written.
# Exits 0 when quorvex finished normally (its exit status 2), 1 after a fatal error.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
source scripts/lib.sh

case "${1:-}" in
  -h | --help)
    say "usage: ./run.sh [FILE]   (default: samples/onguard.hlp)"
    exit 0
    ;;
esac
[ $# -le 1 ] || die "usage: ./run.sh [FILE]"

input="${1:-$QUORVEX_ROOT/samples/onguard.hlp}"
[ -f "$input" ] || die "no such file: $input"
input="$(realpath "$input")"

ensure_packages "${BUILD_PACKAGES[@]}"

say "Building in build/ ..."
configure_tree build "${MAIN_TREE_ARGS[@]}" || die "CMake configuration failed (see build/configure.log)"
build_tree build quorvex || die "build failed"
binary="$QUORVEX_ROOT/build/ui/quorvex"
[ -x "$binary" ] || die "the build did not produce $binary"

# The output folder is named like the RTF file: the file name cut at its last ".".
file_name="$(basename "$input")"
name="${file_name%.*}"
[ -n "$name" ] || name="$file_name"
out="out/$name"
rm -rf "$out"
mkdir -p "$out"

say "Converting $input into $out/ ..."
status=0
(cd "$out" && "$binary" "$input") || status=$?

say ""
say "$QUORVEX_ROOT/$out/:"
if [ -n "$(ls -A "$out")" ]; then
  (cd "$out" && find . -type f -printf '%s\t%P\n' | sort -k2 |
    awk -F'\t' '{ printf "  %10d  %s\n", $1, $2; total += $1; n++ }
                END { printf "  %10d  bytes in %d file%s\n", total, n, (n == 1 ? "" : "s") }')
else
  say "  (empty)"
fi
say ""

case "$status" in
  2 | 0)
    say "quorvex finished normally (exit status $status)."
    exit 0
    ;;
  1)
    say "quorvex stopped with a fatal error (exit status 1)."
    exit 1
    ;;
  *)
    say "quorvex ended unexpectedly (exit status $status)."
    exit "$status"
    ;;
esac
