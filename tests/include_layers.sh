#!/usr/bin/env bash
# The folders form layers: core/ includes only core/; project/ and graphics/ include core/ and
# themselves; rtf/ includes core/ and itself (it reaches contexts and pictures through the
# services that core/ declares); only ui/ includes everything. Prints each include that breaks
# this and exits 1 if there is one.
set -u
root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
status=0
check() {
  local folder="$1" allowed="$2" file line target
  while IFS= read -r line; do
    file="${line%%:*}"
    target="$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\)\/.*/\1/p' <<<"${line#*:}")"
    [ -n "$target" ] || continue
    if ! grep -qw -- "$target" <<<"$allowed"; then
      printf '%s includes %s/: not allowed in %s/\n' "${file#"$root"/}" "$target" "$folder"
      status=1
    fi
  done < <(grep -rn --include='*.cpp' --include='*.h' '#[[:space:]]*include[[:space:]]*"' "$root/$folder" 2>/dev/null | sed 's/:[0-9]*:/:/')
}
check core "core"
check project "core project"
check graphics "core graphics"
check rtf "core rtf"
[ "$status" -eq 0 ] && echo "include layers: ok"
exit "$status"
