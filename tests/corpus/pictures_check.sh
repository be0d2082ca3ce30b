#!/usr/bin/env bash
# Runs pictures_check.py (see there) with a Python 3 that has PIL: Debian's python3-pil serves
# /usr/bin/python3, which need not be the first python3 on the PATH.
here="$(dirname "${BASH_SOURCE[0]}")"
for python in /usr/bin/python3 python3; do
  if "$python" -c 'import PIL' 2>/dev/null; then exec "$python" "$here/pictures_check.py" "$@"; fi
done
echo "SKIPPED: no Python 3 with PIL (Debian: python3-pil)"
exit 77
