#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS] [TARGET...]: builds the libFuzzer targets with clang in build-fuzz/
# (ASan+UBSan, -DQUORVEX_FUZZ=ON) and runs each target (every fuzz/fuzz_*.cpp, or the ones
# named) for SECONDS seconds (default 60), one after the other, at the lowest priority, with its
# dictionary. Each target keeps a growing corpus in $QUORVEX_FUZZ_CORPUS/<target>/ (default
# build-fuzz/corpus/), seeded by fuzz/make_seeds.sh. Inputs that crash, hang or break a property
# are written to build-fuzz/crashes/<target>/; turn each into a named regression test under
# tests/regressions/<target>/. Prints the seconds and executions of each run; exits 1 if any
# target found something.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib.sh

seconds=60
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi
corpus_root="${QUORVEX_FUZZ_CORPUS:-build-fuzz/corpus}"

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
[ -d build-fuzz/seeds ] || fuzz/make_seeds.sh build-fuzz/seeds

# The dictionary of each target: the magic values of the formats it reads.
dictionary_parts() {
  case "$1" in
    fuzz_container | fuzz_contexts) echo container ;;
    fuzz_lz77 | fuzz_rle | fuzz_decoders) echo decoders ;;
    fuzz_phrases) echo phrases ;;
    fuzz_picture) echo picture decoders ;;
    fuzz_topics) echo container topics phrases ;;
    *) echo container topics picture phrases ;;
  esac
}

found=()
summary=()
for target in "${targets[@]}"; do
  binary="build-fuzz/fuzz/$target"
  [ -x "$binary" ] || die "the build did not produce $target"
  work="$corpus_root/$target"
  crashes="build-fuzz/crashes/$target"
  dict="build-fuzz/dict/$target.dict"
  mkdir -p "$work" "$crashes" build-fuzz/dict
  for part in $(dictionary_parts "$target"); do cat "fuzz/dict/$part.dict"; done >"$dict"
  log="build-fuzz/$target.log"  # the whole output of the run
  say ""
  say "=== $target: $seconds s ==="
  status=0
  nice -n 19 "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -dict="$dict" -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$work" "build-fuzz/seeds/$target" >"$log" 2>&1 || status=$?
  grep -E '^(#[0-9]+.*(INITED|DONE)|==[0-9]+==|SUMMARY|artifact_prefix|Test unit)' "$log" | tail -8 ||
    true
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [ -n "$executions" ] || executions=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
  summary+=("$(printf '%-18s %6s s %12s executions  %s' "$target" "$seconds" "${executions:-?}" \
    "$([ "$status" -eq 0 ] && echo "no findings" || echo "FOUND (see $crashes/)")")")
  [ "$status" -eq 0 ] || found+=("$target")
done

say ""
printf '%s\n' "${summary[@]}"
if [ ${#found[@]} -gt 0 ]; then
  say "Findings: ${found[*]} (inputs in build-fuzz/crashes/)"
  exit 1
fi
say "No findings in ${#targets[@]} target(s), $seconds s each."
