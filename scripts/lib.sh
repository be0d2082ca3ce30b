# Shared by run.sh, test.sh and scripts/*.sh: package installation and CMake trees.
# Source it; it defines functions and variables only and changes nothing by itself.

QUORVEX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages, one per line so that adding one is a one-line change.
BUILD_PACKAGES=(
  cmake
  ninja-build
  g++
  pkg-config
  libgtest-dev
  libgmock-dev
  qt6-base-dev           # the desktop wizard (QUORVEX_GUI)
  qt6-translations-l10n  # Qt's own dialog texts in German
  fonts-dejavu-core      # a font for the wizard when no desktop brings one (offscreen tests)
)
# Only the tests need these: independent readers that check the RTF and the pictures we write.
TEST_PACKAGES=(
  pandoc
  libreoffice-writer-nogui
  # The picture files: an image library, a metafile renderer with its fonts, PDF image lists.
  python3-pil
  libwmf-bin
  fonts-urw-base35
  poppler-utils
)
# Only scripts/fuzz.sh needs these.
FUZZ_PACKAGES=(
  clang
  libclang-rt-14-dev
)
# Only scripts/bench.sh needs these.
BENCH_PACKAGES=(
  libbenchmark-dev
)

# Parallel build and test jobs; the reference machine has 2 cores.
QUORVEX_JOBS="${QUORVEX_JOBS:-$(nproc 2>/dev/null || echo 2)}"

say() { printf '%s\n' "$*"; }
warn() { printf 'warning: %s\n' "$*" >&2; }
die() {
  printf 'error: %s\n' "$*" >&2
  exit 1
}

# ensure_packages PKG...: installs the packages that are not installed yet. Checks with
# dpkg-query first, so nothing touches the network when everything is there; runs apt-get
# update only when something must be installed. Without root it only says what is missing.
ensure_packages() {
  if ! command -v dpkg-query >/dev/null 2>&1; then
    warn "not a Debian system; make sure these are installed: $*"
    return 0
  fi
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null | grep -q '^ii'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    warn "missing packages: ${missing[*]}"
    warn "install them with: sudo apt-get install ${missing[*]}"
    return 0
  fi
  say "Installing ${missing[*]} ..."
  export DEBIAN_FRONTEND=noninteractive
  local apt=(apt-get -o DPkg::Lock::Timeout=300 -o Dpkg::Use-Pty=0)
  "${apt[@]}" update -qq || die "apt-get update failed"
  "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" ||
    die "apt-get install ${missing[*]} failed"
}

# configure_tree DIR CMAKE-ARG...: configures the CMake tree DIR for the repository. Skipped
# when DIR was configured with exactly these arguments before (the build step re-runs CMake
# by itself when a CMakeLists.txt changes); other arguments get a fresh cache, so that no value
# of an earlier configuration stays behind. A tree made by another generator is started afresh.
configure_tree() {
  local dir="$1"
  shift
  local generator="Unix Makefiles"
  command -v ninja >/dev/null 2>&1 && generator="Ninja"
  local args=(-G "$generator" "$@")
  local stamp="$dir/.quorvex-configure-args"
  local wanted
  wanted="$(printf '%s\n' "${args[@]}")"
  local fresh=()
  if [ -f "$dir/CMakeCache.txt" ]; then
    if ! grep -qx "CMAKE_GENERATOR:INTERNAL=$generator" "$dir/CMakeCache.txt"; then
      say "Removing $dir (made by another CMake generator)"
      rm -rf "$dir"
    elif [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
      return 0
    else
      fresh=(--fresh)
    fi
  fi
  mkdir -p "$dir"
  cmake "${fresh[@]}" -S "$QUORVEX_ROOT" -B "$dir" "${args[@]}" >"$dir/configure.log" 2>&1 || {
    cat "$dir/configure.log" >&2
    rm -f "$stamp"
    return 1
  }
  printf '%s\n' "$wanted" >"$stamp"
}

# build_tree DIR [TARGET...]: builds DIR (all targets, or the ones named).
build_tree() {
  local dir="$1"
  shift
  local targets=()
  local t
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j "$QUORVEX_JOBS" "${targets[@]}"
}

# The arguments of the main tree build/, shared by run.sh and test.sh.
MAIN_TREE_ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_WERROR=ON)

# Sanitizer settings: any report ends the process with exit status 23, which no normal run of
# quorvex (2) or of a test program (0, 1) produces, so every report fails its test.
export_sanitizer_options() {
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=23:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=23"
}

# format_seconds N: "1m 05s".
format_seconds() {
  local s="$1"
  printf '%dm %02ds' $((s / 60)) $((s % 60))
}
