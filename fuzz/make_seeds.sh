#!/usr/bin/env bash
# fuzz/make_seeds.sh [OUTDIR]: writes the seed corpus of every fuzz target into
# OUTDIR/<target>/ (default build-fuzz/seeds): the help files, phrase tables, pictures and
# compressed data that fuzz_make_seeds builds with the test writer (from the main tree build/),
# and what it takes from the small help files of samples/ and of the corpus folder that may be
# redistributed (MANIFEST.tsv says so), so that nothing derived from the others ends up in a
# committed corpus.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib.sh

out="${1:-build-fuzz/seeds}"
# Larger help files only slow the fuzzers down; the small ones cover the same structures.
size_limit=131072
corpus="${QUORVEX_CORPUS_DIR:-$QUORVEX_ROOT/../shared/corpus}"

configure_tree build "${MAIN_TREE_ARGS[@]}" || die "CMake configuration of build/ failed"
build_tree build fuzz_make_seeds || die "building fuzz_make_seeds failed"

files=()
for f in samples/*.hlp; do
  [ -f "$f" ] && [ "$(stat -c %s "$f")" -le "$size_limit" ] && files+=("$f")
done
if [ -f "$corpus/MANIFEST.tsv" ]; then
  # Columns: the file name first, its size third, redistributable last.
  while IFS=$'\t' read -r name _ size rest; do
    [ "${rest##*$'\t'}" = "yes" ] && [ "$size" -le "$size_limit" ] && [ -f "$corpus/$name" ] &&
      files+=("$corpus/$name")
  done < <(tail -n +2 "$corpus/MANIFEST.tsv")
fi
rm -rf "$out"
build/fuzz/fuzz_make_seeds "$out" "${files[@]}"
