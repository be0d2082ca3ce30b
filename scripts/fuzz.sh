#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS] [TARGET...]: builds the libFuzzer targets with clang in build-fuzz/
# (ASan+UBSan, -DQUORVEX_FUZZ=ON) and runs each target (every fuzz/fuzz_*.cpp, or the ones
# named) for SECONDS seconds (default 60). Each target keeps a growing corpus in
# build-fuzz/corpus/<target>/, seeded from fuzz/corpus/<target>/ when that exists, else from the
# small help files of samples/ and of the corpus folder. Inputs that crash are written to
# build-fuzz/crashes/<target>/; turn each into a named regression test. Exits 1 if any crashed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib.sh

seconds=60
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi
# Larger help files only slow the fuzzer down; the small ones (the sample too) cover the same
# structures.
seed_size_limit=100000

[ -f fuzz/CMakeLists.txt ] || die "fuzz/CMakeLists.txt does not exist yet: no fuzz targets to build"

ensure_packages "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
command -v clang++ >/dev/null 2>&1 || die "clang++ not found"

export_sanitizer_options
# fuzz/CMakeLists.txt instruments the libraries for coverage; QUORVEX_SANITIZE adds the
# no-recover UBSan and the container bounds checks of the sanitizer tree.
configure_tree build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DQUORVEX_FUZZ=ON -DQUORVEX_SANITIZE=ON -DQUORVEX_TESTS=OFF \
  -DQUORVEX_GUI=OFF -DQUORVEX_WERROR=ON ||
  die "CMake configuration failed (see build-fuzz/configure.log)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do
    [ -e "$source" ] && targets+=("$(basename "$source" .cpp)")
  done
fi
[ ${#targets[@]} -gt 0 ] || die "no fuzz/fuzz_*.cpp targets"
build_tree build-fuzz "${targets[@]}" || die "build failed"

corpus_dir="${QUORVEX_CORPUS_DIR:-$QUORVEX_ROOT/../shared/corpus}"
crashed=()
for target in "${targets[@]}"; do
  binary="$(find build-fuzz -type f -name "$target" -perm -u+x | head -n 1)"
  [ -n "$binary" ] || die "the build did not produce $target"
  work="build-fuzz/corpus/$target"
  crashes="build-fuzz/crashes/$target"
  mkdir -p "$work" "$crashes"
  # Committed seeds take over; without them a target starts from the small help files.
  if [ -d "fuzz/corpus/$target" ]; then
    seeds=("fuzz/corpus/$target")
  else
    seeds=(build-fuzz/seeds)
    mkdir -p build-fuzz/seeds
    find samples "$corpus_dir" -maxdepth 1 -type f -iname '*.hlp' -size -"$seed_size_limit"c \
      -exec cp -f {} build-fuzz/seeds/ \; 2>/dev/null || true
  fi
  say ""
  say "=== $target: $seconds s ==="
  if ! "$binary" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$work" "${seeds[@]}"; then
    crashed+=("$target")
  fi
done

say ""
if [ ${#crashed[@]} -gt 0 ]; then
  say "Crashed: ${crashed[*]} (inputs in build-fuzz/crashes/)"
  exit 1
fi
say "No crashes in ${#targets[@]} target(s), $seconds s each."
