#!/usr/bin/env bash
# tools/screenshots.sh OUTDIR: builds the screenshot renderer in build/ and renders every wizard
# step, the progress window (running and finished) and the help-file list, in English (OUTDIR/en)
# and German (OUTDIR/de), to PNG files. Needs no display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/lib.sh
[ $# -eq 1 ] || die "usage: tools/screenshots.sh OUTDIR"
out="$1"
ensure_packages "${BUILD_PACKAGES[@]}"
configure_tree build "${MAIN_TREE_ARGS[@]}" || die "CMake configuration failed (see build/configure.log)"
build_tree build quorvex_screenshots || die "build failed"
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen build/tools/quorvex_screenshots "$out" samples/onguard.hlp
say "Screenshots in $(cd "$out" && pwd)/en and $(cd "$out" && pwd)/de"
