#!/usr/bin/env bash
# scripts/bench.sh [ARG...]: builds the benchmarks in build-bench/ (Release, -DQUORVEX_BENCH=ON)
# and runs every benchmark program (bench_* under build-bench/bench/), passing ARG... to each.
# Exits 1 if a build or a benchmark failed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib.sh

[ -f bench/CMakeLists.txt ] || die "bench/CMakeLists.txt does not exist yet: no benchmarks to build"

ensure_packages "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
configure_tree build-bench -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BENCH=ON -DQUORVEX_TESTS=OFF \
  -DQUORVEX_GUI=OFF -DQUORVEX_WERROR=ON ||
  die "CMake configuration failed (see build-bench/configure.log)"
build_tree build-bench || die "build failed"

mapfile -t programs < <(find build-bench/bench -maxdepth 2 -type f -name 'bench_*' -perm -u+x | sort)
[ ${#programs[@]} -gt 0 ] || die "no bench_* programs were built"

failed=()
for program in "${programs[@]}"; do
  say ""
  say "=== $(basename "$program") ==="
  "$program" "$@" || failed+=("$(basename "$program")")
done

say ""
if [ ${#failed[@]} -gt 0 ]; then
  say "Failed: ${failed[*]}"
  exit 1
fi
say "${#programs[@]} benchmark(s) done."
