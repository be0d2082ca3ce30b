#!/usr/bin/env bash
# tests/mutation.sh [--long] [--variants N] [--seed N]: converts damaged variants of help files in both modes
# with the sanitizer build's program (build-asan/, else build/), 10 s each at most, and fails on
# any crash, sanitizer report, hang or file written outside the output folder (tests/mutation.py
# says how the variants are made; failing variants are kept in build/mutation-failures/).
#   short form (test.sh): 300 variants of the test writer's help files and the corpus files of
#     at most 32 KB;
#   --long: 20,000 variants of the test writer's help files and every corpus file (the largest
#     corpus files take about 4 s each in the optimised sanitizer tree that test.sh builds; on a
#     machine busy with other work they can pass the 10 s limit and count as hangs);
#   --variants N: N variants instead (after --long: of every file, so that a long run can be
#     split over several seeds).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib.sh

variants=300 size_limit=32768 seed=1 trees=(build-asan build)
while [ $# -gt 0 ]; do
  case "$1" in
    --long) variants=20000 size_limit=0 trees=(build-asan build) ;;
    --variants) variants="$2"; shift ;;
    --seed) seed="$2"; shift ;;
    *) die "usage: tests/mutation.sh [--long] [--variants N] [--seed N]" ;;
  esac
  shift
done

tree=""
for t in "${trees[@]}"; do
  [ -x "$t/ui/quorvex" ] && [ -x "$t/fuzz/fuzz_make_seeds" ] && tree="$t" && break
done
[ -n "$tree" ] || die "build ${trees[*]} first (quorvex and fuzz_make_seeds)"
export_sanitizer_options

golden="$(mktemp -d)"
trap 'rm -rf "$golden"' EXIT
"$tree/fuzz/fuzz_make_seeds" "$golden" >/dev/null
files=("$golden"/fuzz_container/*)
corpus="${QUORVEX_CORPUS_DIR:-$QUORVEX_ROOT/../shared/corpus}"
for f in "$corpus"/*; do
  case "$f" in *.[Hh][Ll][Pp] | *.[Mm][Vv][Bb] | *.[Mm]13) ;; *) continue ;; esac
  [ "$size_limit" -eq 0 ] || [ "$(stat -c %s "$f")" -le "$size_limit" ] && files+=("$f")
done
say "mutation: $variants variants of ${#files[@]} help files with $tree/ui/quorvex, seed $seed"
nice python3 tests/mutation.py --binary "$QUORVEX_ROOT/$tree/ui/quorvex" --variants "$variants" --seed "$seed" \
  --jobs "$QUORVEX_JOBS" --failures build/mutation-failures "${files[@]}"
