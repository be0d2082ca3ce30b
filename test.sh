#!/usr/bin/env bash
# ./test.sh: installs what the build and the tests need (as root, on Debian), builds build/ (as
# run.sh does) and runs every test there, then builds build-asan/ with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test again (the fuzz corpora replayed among them),
# then the short mutation test. Prints a summary; exits non-zero when a build or a test failed.
# Developers and CI (.ci/run) both run it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
source scripts/lib.sh

started=$(date +%s)
ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

# Widget tests run without a display.
export QT_QPA_PLATFORM=offscreen
# A test that hangs fails after this long instead of stopping the run.
test_timeout=600
# Optimised: the sanitizer checks are the same, and the corpus runs several times faster than at -O0.
asan_build_type="${QUORVEX_ASAN_BUILD_TYPE:-RelWithDebInfo}"

summary=()
total_passed=0
total_failed=0
total_skipped=0
failed=0

# junit_count FILE ATTRIBUTE: an attribute of the <testsuite> element that ctest writes.
junit_count() {
  # Its attributes come first in the file, one per line.
  tr '\n\t' '  ' <"$1" | sed -n "s/^[^>]*>[^<]*<testsuite [^>]*[[:space:]]$2=\"\([0-9]*\)\".*/\1/p"
}

# run_tree LABEL DIR CMAKE-ARG...: configure, build and test one tree; adds a summary line.
run_tree() {
  local label="$1" dir="$2"
  shift 2
  local t0 result passed=0 fails=0 skipped=0 tests=0
  t0=$(date +%s)
  say ""
  say "=== $label: configuring and building $dir/ ==="
  if ! configure_tree "$dir" "$@"; then
    result="configuration failed"
  elif ! build_tree "$dir"; then
    result="build failed"
  else
    say ""
    say "=== $label: running the tests in $dir/ ==="
    local junit="$QUORVEX_ROOT/$dir/ctest-results.xml"
    rm -f "$junit"
    local ctest_status=0
    ctest --test-dir "$dir" --output-on-failure -j "$QUORVEX_JOBS" --timeout "$test_timeout" \
      --output-junit "$junit" || ctest_status=$?
    if [ -f "$junit" ]; then
      tests=$(junit_count "$junit" tests)
      fails=$(junit_count "$junit" failures)
      skipped=$(junit_count "$junit" skipped)
      tests=${tests:-0} fails=${fails:-0} skipped=${skipped:-0}
      passed=$((tests - fails - skipped))
    fi
    if [ "$tests" -eq 0 ]; then
      result="no tests found"
    elif [ "$ctest_status" -ne 0 ] && [ "$fails" -eq 0 ]; then
      fails=1 # ctest failed without naming a test (for example a discovery error)
      result="ctest failed (exit status $ctest_status)"
    else
      result="$passed passed, $fails failed, $skipped skipped"
    fi
  fi
  case "$result" in
    *" passed, 0 failed,"*) ;;
    *) failed=1 ;;
  esac
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + fails))
  total_skipped=$((total_skipped + skipped))
  summary+=("$(printf '  %-40s %-40s %s' "$label ($dir/)" "$result" "$(format_seconds $(($(date +%s) - t0)))")")
  [ "$result" != "build failed" ] && [ "$result" != "configuration failed" ]
}

corpus="${QUORVEX_CORPUS_DIR:-$QUORVEX_ROOT/../shared/corpus}"
if [ ! -d "$corpus" ]; then
  say "note: no corpus folder at $corpus: the corpus tests will be skipped" \
    "(set QUORVEX_CORPUS_DIR to run them)"
fi

main_built=1
run_tree "RelWithDebInfo" build "${MAIN_TREE_ARGS[@]}" || main_built=0

if [ "$main_built" -eq 1 ]; then
  # The benchmark on small generated files: a check that the generator, the floor program and
  # the measurement still work (the figures themselves come from bench/run without --quick).
  say ""
  say "=== benchmark smoke test: bench/run --quick ==="
  t0=$(date +%s)
  # Printed after the run, not through "tee /dev/stderr": when the output goes to a file, that
  # would open the file again from its start and write over what the tests printed.
  bench_status=0
  bench_output=$(bench/run --quick 2>&1) || bench_status=$?
  printf '%s\n' "$bench_output"
  bench_line=${bench_output##*$'\n'}
  if [ "$bench_status" -eq 0 ] && [[ "$bench_line" == largest:* ]]; then
    summary+=("$(printf '  %-40s %-40s %s' "bench/run --quick" "ok" "$(format_seconds $(($(date +%s) - t0)))")")
  else
    failed=1
    summary+=("$(printf '  %-40s %-40s %s' "bench/run --quick" "failed" "$(format_seconds $(($(date +%s) - t0)))")")
  fi
  export_sanitizer_options
  if run_tree "ASan+UBSan $asan_build_type" build-asan \
    -DCMAKE_BUILD_TYPE="$asan_build_type" -DQUORVEX_WERROR=ON -DQUORVEX_SANITIZE=ON; then
    # Damaged variants of small help files through the sanitizer build's program (the long
    # form, tests/mutation.sh --long, runs separately).
    say ""
    say "=== mutation test (short form): tests/mutation.sh ==="
    t0=$(date +%s)
    result="ok"
    tests/mutation.sh || { result="failed"; failed=1; }
    summary+=("$(printf '  %-40s %-40s %s' "tests/mutation.sh" "$result" "$(format_seconds $(($(date +%s) - t0)))")")
  fi
else
  failed=1
  summary+=("$(printf '  %-40s %s' "ASan+UBSan (build-asan/)" "not run: the main build failed")")
fi

say ""
say "=== Summary ==="
printf '%s\n' "${summary[@]}"
say "  total time $(format_seconds $(($(date +%s) - started)))"
say "Summary: $total_passed passed, $total_failed failed, $total_skipped skipped"
exit "$failed"
