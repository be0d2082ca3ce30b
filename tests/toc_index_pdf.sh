#!/usr/bin/env bash
# tests/toc_index_pdf.sh QUORVEX HELPFILE: converts HELPFILE with the printing preset (-v: table
# of contents and index), turns the RTF into a PDF with LibreOffice headless and checks, with
# pdftotext, that the contents pages list the topic titles in order before the first topic, and
# that the index lists the K keywords. Exit 77 (skipped) when LibreOffice or pdftotext is missing.
set -u
quorvex=$(realpath "$1") help=$(realpath "$2")
command -v soffice >/dev/null && command -v pdftotext >/dev/null || exit 77
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out" "$work/home"
(cd "$work/out" && HOME="$work/home" XDG_CONFIG_HOME="$work/home" QUORVEX_NO_OPEN=1 LANG=C \
  "$quorvex" -v "$help" >/dev/null 2>&1)
rtf=$(ls "$work"/out/*.RTF 2>/dev/null | head -1)
[ -n "$rtf" ] || { echo "no RTF written"; exit 1; }
HOME="$work/home" timeout 300 soffice --headless --convert-to pdf --outdir "$work" "$rtf" >/dev/null 2>&1
pdf="$work/$(basename "${rtf%.*}").pdf"
[ -s "$pdf" ] || { echo "LibreOffice wrote no PDF"; exit 1; }
pdftotext -layout "$pdf" "$work/text"
upper() { tr '[:lower:]' '[:upper:]'; }
# The titles and keywords the RTF carries as hidden entries, in order.
titles=$(tr -d "\r\n" <"$rtf" | grep -ao '\\tc{[^}\\]*}' | sed 's/^\\tc{//; s/}$//')
keywords=$(tr -d "\r\n" <"$rtf" | grep -ao '\\xe {[^}\\]*}' | sed 's/^\\xe {//; s/}$//' | sort -u)
[ -n "$titles" ] && [ -n "$keywords" ] || { echo "no contents or index entries in the RTF"; exit 1; }
# Contents: from the heading to the first title's own topic, every title in order.
contents=$(sed -n '/Contents/,$p' "$work/text" | upper)
status=0
pos=0
while IFS= read -r t; do
  line=$(printf '%s\n' "$contents" | tail -n +"$((pos + 1))" | grep -nF -m1 -- "$(printf '%s' "$t" | upper)" | cut -d: -f1)
  if [ -z "$line" ]; then echo "contents: \"$t\" missing or out of order"; status=1; break; fi
  pos=$((pos + line))
done <<<"$titles"
# Index: after the last "Index" heading, every keyword.
index=$(tac "$work/text" | sed '/^ *Index *$/q' | tac)
missing=0
while IFS= read -r k; do
  grep -qF -- "$k" <<<"$index" || { missing=$((missing + 1)); [ $missing -le 5 ] && echo "index: \"$k\" missing"; }
done <<<"$keywords"
[ $missing -eq 0 ] || status=1
[ $status -eq 0 ] && echo "contents: $(wc -l <<<"$titles") titles in order; index: $(wc -l <<<"$keywords") keywords"
exit $status
