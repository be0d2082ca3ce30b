#!/usr/bin/env bash
# Opens every RTF file that quorvex writes for the corpus in two real RTF readers.
#
# usage: rtf_readers.sh QUORVEX_BINARY [CORPUS_DIR]
#
# Every help file of the corpus folder (QUORVEX_CORPUS_DIR from the environment, else the second
# argument) is converted twice with the real program: in printing mode ("-v") and in
# recompilation mode (a settings file with ForPrint=0). Then every RTF file
# - goes through pandoc ("pandoc -f rtf -t plain"), which must exit 0;
# - goes through LibreOffice headless, which must write its output file. LibreOffice always exits
#   0, so the output file is what tells. Printing-mode files are exported as text ("txt:Text").
#   Recompilation-mode files are exported as HTML: the text export writes only the body, so the
#   topic titles, which this mode writes as "$" footnotes, would not show; the HTML export writes
#   the footnotes' text at the end of the page.
# and what the readers produce must show that they read the whole document:
# - printing mode: the document ends with the index, the heading "Index" and the entries of the
#   index field's result; the last entry ends LibreOffice's text, pandoc (which leaves field
#   results out) ends in the heading (both leave hidden text out, so the titles of the hidden
#   contents entries do not show there);
# - recompilation mode: both readers see as many footnotes as the RTF has, and the first topic
#   title (first_topic_title of FACTS.tsv, compared with white space collapsed) is in the text of
#   both, as the "$" footnote.
#
# The readers are slow (pandoc about 0.8 MB of RTF a second, LibreOffice about 0.5), and the
# corpus gives 550 MB of RTF: reading all of it takes some 20 minutes of CPU time. By default the
# RTF files larger than QUORVEX_READERS_MAX_MB (1) megabyte are therefore left out (the larger
# manuals of the corpus), and those in a code page other than Windows-1252 above
# QUORVEX_READERS_OTHER_CP_MAX_MB (2), which keeps a run at about a minute on 2 cores and still
# reads a file of each mode in Cyrillic. QUORVEX_READERS_MAX_MB=0 reads every file. Every RTF
# file of both modes is still checked for well-formedness and lost text by the corpus test
# (tests/corpus/corpus_test.cpp).
#
# Exits 0 when all is well, 1 on a failure, 77 (ctest's SKIP_RETURN_CODE) when the corpus,
# pandoc or soffice is missing. QUORVEX_READERS_JOBS sets how many readers run at once (default:
# 2, or 1 on a single core); QUORVEX_KEEP_OUTPUT keeps the work folder for a look at a failure.
set -uo pipefail

readonly SKIP=77
# The exit status of a normal run of the program.
readonly NORMAL_EXIT=2
# A reader that takes longer than this (seconds) on its share of the files is taken as hung.
readonly READER_TIMEOUT=1800

binary=${1:?usage: rtf_readers.sh QUORVEX_BINARY [CORPUS_DIR]}
corpus=${QUORVEX_CORPUS_DIR:-${2:-}}
started=$(date +%s)

skip() {
  echo "SKIPPED: $*"
  exit "$SKIP"
}
[ -n "$corpus" ] && [ -d "$corpus" ] || skip "no corpus folder (set QUORVEX_CORPUS_DIR)"
command -v pandoc >/dev/null || skip "pandoc is not installed"
command -v soffice >/dev/null || skip "soffice (LibreOffice, Debian: libreoffice-writer-nogui) is not installed"
command -v timeout >/dev/null || skip "timeout (coreutils) is not installed"
if [ ! -x "$binary" ]; then
  echo "FAIL: no quorvex program at $binary"
  exit 1
fi

mapfile -d '' help_files < <(find "$corpus" -maxdepth 1 -type f \
  \( -iname '*.hlp' -o -iname '*.mvb' -o -iname '*.m13' \) -print0 | sort -z)
[ "${#help_files[@]}" -gt 0 ] || skip "no help files in $corpus"

cores=$(nproc 2>/dev/null || echo 1)
jobs=${QUORVEX_READERS_JOBS:-$((cores < 2 ? 1 : 2))}

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-readers-XXXXXX") || exit 1
cleanup() {
  if [ -n "${QUORVEX_KEEP_OUTPUT:-}" ]; then
    echo "output kept in $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

# English texts ("Index"), a UTF-8 locale for the readers, no desktop opener, private settings.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
unset LANGUAGE LC_MESSAGES
export QUORVEX_NO_OPEN=1 HOME="$work/home"
mkdir -p "$work/home" "$work/config-print" "$work/config-rec/quorvex" "$work/print" "$work/rec"
printf '[Options]\nForPrint=0\n' >"$work/config-rec/quorvex/QUORVEX.INI"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# --- Convert: each help file into a folder of its own; its RTF file is then moved to the mode's
# folder under the help file's name ("NAME.HLP.rtf"), so that no two files can meet.
convert() {  # MODE CONFIG HELP-FILE ARG...
  local mode=$1 config=$2 help=$3
  shift 3
  local name out status
  name=$(basename "$help")
  out="$work/$mode/out/$name"
  mkdir -p "$out"
  XDG_CONFIG_HOME="$config" "$binary" "$@" -o "$out" "$help" >"$out.log" 2>&1
  status=$?
  local rtf=("$out"/*.RTF)
  if [ "$status" -ne "$NORMAL_EXIT" ]; then
    fail "$mode: quorvex exited with $status for $name: $(tail -3 "$out.log")"
  elif [ "${#rtf[@]}" -ne 1 ] || [ ! -f "${rtf[0]}" ]; then
    fail "$mode: expected one RTF file for $name, found: ${rtf[*]}"
  else
    mv "${rtf[0]}" "$work/$mode/$name.rtf"
  fi
}
for help in "${help_files[@]}"; do
  convert print "$work/config-print" "$help" -v
  convert rec "$work/config-rec" "$help"
done
converted=$(date +%s)

# Largest first, so that the parallel readers finish together. Files above the size limit are
# left out (see the top of this file); those in a code page other than Windows-1252 (\ansicpg
# in the header) have a limit of their own: their text must read right in both readers.
max_mb=${QUORVEX_READERS_MAX_MB:-1}
other_cp_mb=${QUORVEX_READERS_OTHER_CP_MAX_MB:-2}
limit_bytes=$((max_mb > 0 ? max_mb * 1048576 : 1 << 62))
other_cp_bytes=$((max_mb > 0 ? other_cp_mb * 1048576 : 1 << 62))
read_it() {  # FILE: true when the readers read it
  local size
  size=$(stat -c %s "$1")
  [ "$size" -le "$limit_bytes" ] ||
    { [ "$size" -le "$other_cp_bytes" ] && head -c 200 "$1" | grep -aq 'ansicpg'; }
}
listed() {  # MODE-FOLDER: the RTF files the readers read, largest first
  find "$1" -maxdepth 1 -name '*.rtf' -printf '%s\t%p\0' | sort -z -rn | cut -z -f2- |
    while IFS= read -r -d '' f; do if read_it "$f"; then printf '%s\0' "$f"; fi; done
}
mapfile -d '' print_rtf < <(listed "$work/print")
mapfile -d '' rec_rtf < <(listed "$work/rec")
left_out=()
for f in "$work"/print/*.rtf "$work"/rec/*.rtf; do
  read_it "$f" || left_out+=("${f#"$work/"} ($(stat -c %s "$f") bytes)")
done
echo "not read, larger than $max_mb MB ($other_cp_mb MB in another code page;" \
  "QUORVEX_READERS_MAX_MB=0 reads them):" \
  "${#left_out[@]} RTF files"
[ "${#left_out[@]}" -eq 0 ] || printf '  %s\n' "${left_out[@]}"
echo "converted ${#help_files[@]} help files in $((converted - started)) s; reading" \
  "${#print_rtf[@]} + ${#rec_rtf[@]} RTF files," \
  "$(du -shc "${print_rtf[@]}" "${rec_rtf[@]}" | tail -1 | cut -f1)"

# --- pandoc: one process per file, `jobs` at a time. The exit status goes into FILE.pandoc-status.
printf '%s\0' "${print_rtf[@]}" "${rec_rtf[@]}" |
  xargs -0 -r -n 1 -P "$jobs" sh -c \
    'timeout '"$READER_TIMEOUT"' pandoc -f rtf -t plain --wrap=none -o "$1.plain" "$1" 2>"$1.pandoc-err"
     echo $? >"$1.pandoc-status"' sh
pandoc_done=$(date +%s)

# --- LibreOffice: one soffice per share of the files (it converts many files per start), each
# with a profile of its own so that they can run side by side.
lo_share() {  # INDEX FORMAT OUTDIR FILE...
  local index=$1 format=$2 outdir=$3
  shift 3
  [ "$#" -gt 0 ] || return 0
  timeout "$READER_TIMEOUT" soffice -env:UserInstallation="file://$work/lo-profile-$index" \
    --headless --norestore --convert-to "$format" --outdir "$outdir" "$@" \
    >"$work/lo-$index.log" 2>&1
}
mkdir -p "$work/lo-print" "$work/lo-rec"
per_mode=$((jobs / 2 > 0 ? jobs / 2 : 1))
lo_pids=()
start_shares() {  # MODE FORMAT OUTDIR FILE...
  local mode=$1 format=$2 outdir=$3
  shift 3
  local files=("$@") k i
  for ((k = 0; k < per_mode; k++)); do
    local share=()
    for ((i = k; i < ${#files[@]}; i += per_mode)); do share+=("${files[i]}"); done
    if [ "$jobs" -gt 1 ]; then
      lo_share "$mode-$k" "$format" "$outdir" "${share[@]}" &
      lo_pids+=($!)
    else
      lo_share "$mode-$k" "$format" "$outdir" "${share[@]}"
    fi
  done
}
start_shares print "txt:Text" "$work/lo-print" "${print_rtf[@]}"
start_shares rec html "$work/lo-rec" "${rec_rtf[@]}"
for pid in "${lo_pids[@]}"; do wait "$pid"; done
lo_done=$(date +%s)

# --- Checks.
# Text with every run of white space made one blank.
collapse() { tr -s '[:space:]' ' '; }
# LibreOffice's HTML as text: tags dropped, the entities it writes decoded, no-break spaces blank.
html_text() {
  tr '\r\n' '  ' | LC_ALL=C sed -e 's/<[^>]*>//g' -e 's/&nbsp;/ /g' -e 's/&lt;/</g' -e 's/&gt;/>/g' \
    -e 's/&quot;/"/g' -e "s/&#39;/'/g" -e 's/&amp;/\&/g' | LC_ALL=C sed 's/\xc2\xa0/ /g' | collapse
}
# The last line that is not blank.
last_words() { grep -av '^[[:space:]]*$' | tail -1 | collapse | sed 's/^ //; s/ $//'; }

# first_topic_title by help file name, as the bytes of the help file: FACTS.tsv spells each byte
# as the Latin-1 character of that value. The readers show them in the RTF's code page.
declare -A titles=()
if [ -f "$corpus/FACTS.tsv" ]; then
  while IFS=$'\t' read -r name title; do
    titles[$name]=$(printf '%s' "$title" | iconv -f UTF-8 -t LATIN1 | od -An -tx1 | tr -d ' \n')
  done < <(awk -F'\t' 'NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
                       col["file"] && col["first_topic_title"] {
                         print $col["file"] "\t" $col["first_topic_title"] }' "$corpus/FACTS.tsv")
fi

checked=0
for rtf in "${print_rtf[@]}" "${rec_rtf[@]}"; do
  checked=$((checked + 1))
  name=$(basename "$rtf" .rtf)
  mode=$(basename "$(dirname "$rtf")")
  status=$(cat "$rtf.pandoc-status" 2>/dev/null || echo "not run")
  if [ "$status" != 0 ]; then
    fail "$mode/$name: pandoc exited with $status: $(head -c 600 "$rtf.pandoc-err")"
    continue
  fi
  # The code page the RTF names (\ansicpgN; none: Windows-1252). Cyrillic text must read as
  # Cyrillic, not as the Latin letters its bytes would be in Windows-1252.
  cpg=$(head -c 200 "$rtf" | grep -ao 'ansicpg[0-9]*' | tr -dc 0-9)
  cpg=${cpg:-1252}
  [ "$mode" = print ] && lo="$work/lo-print/$name.txt" || lo="$work/lo-rec/$name.html"
  if [ "$cpg" = 1251 ]; then
    for out in "$rtf.plain" "$lo"; do
      LC_ALL=C.UTF-8 grep -aqP '[\x{00C0}-\x{00FF}]' "$out" 2>/dev/null &&
        fail "$mode/$name: $(basename "$out") shows Cyrillic text as Latin letters"
    done
  fi
  if [ "$mode" = print ]; then
    if [ ! -s "$lo" ]; then
      fail "$mode/$name: LibreOffice wrote no text"
      continue
    fi
    # The document ends with the index: its heading, then the entries of the field's result,
    # each "keyword<tab>titles" on a line of its own. The last entry is compared as text when
    # it is plain (no RTF escapes); else the heading must stand within the end of the text.
    entry=$(grep -ao '^\\pard\\plain\\s15 .*\\par' "$rtf" | tail -1 |
      sed 's/^\\pard\\plain\\s15 //; s/\\par$//; s/\\tab / /')
    for reader in pandoc LibreOffice; do
      [ "$reader" = pandoc ] && out="$rtf.plain" || out="$lo"
      words=$(tail -c 65536 "$out" | last_words)
      if [ -z "$entry" ]; then
        [ "$words" = Index ] || fail "$mode/$name: $reader's text ends in \"$words\", not in the index heading"
      elif [ "$reader" = pandoc ] && [ "$words" = Index ]; then
        :  # pandoc leaves the results of fields out
      elif [[ "$entry" != *\\* ]]; then
        expected=$(printf '%s' "$entry" | collapse | sed 's/^ //; s/ $//')
        [ "$words" = "$expected" ] ||
          fail "$mode/$name: $reader's text ends in \"$words\", not in the last index entry \"$expected\""
      else
        tail -c 1048576 "$out" | grep -aqx '[[:space:]]*Index[[:space:]]*' ||
          fail "$mode/$name: $reader's text has no index heading near its end"
      fi
    done
  else
    lo="$work/lo-rec/$name.html"
    if [ ! -s "$lo" ]; then
      fail "$mode/$name: LibreOffice wrote no HTML"
      continue
    fi
    # pandoc numbers the footnotes it read [1], [2], ... at the start of a line; LibreOffice
    # gives each an anchor sdfootnote1sym, sdfootnote2sym, ...
    notes=$(grep -ao '{\\footnote' "$rtf" | wc -l)
    # pandoc may drop footnotes that stand just before a table row (the context string or
    # keywords of a table record); LibreOffice shows them all.
    before_rows=$(perl -0777 -ne '$n = 0; $n += () = $1 =~ /\{\\footnote/g
      while /((?:\{.\{\\footnote\{.\} (?:[^{}\\]|\\.)*\}\} \r\n)+)\{\\pard\\trowd/g; print $n' "$rtf")
    shown=$(grep -aoE "^\[[0-9]+\]( |\$)" "$rtf.plain" | tr -dc '0-9\n' | sort -n | tail -1)
    if [ "${shown:-0}" -gt "$notes" ] || [ "${shown:-0}" -lt $((notes - before_rows)) ]; then
      fail "$mode/$name: pandoc does not show $notes footnotes"
    fi
    lo_notes=$(grep -aoE 'name="sdfootnote[0-9]+sym"' "$lo" | sort -u | wc -l)
    [ "$lo_notes" -eq "$notes" ] || fail "$mode/$name: LibreOffice shows $lo_notes of $notes footnotes"
    title=$(printf "$(sed 's/../\\x&/g' <<<"${titles[$name]:-}")" | iconv -c -f "CP$cpg" -t UTF-8 |
      collapse | sed 's/^ //; s/ $//')
    if [ -n "$title" ]; then
      collapse <"$rtf.plain" | grep -aqF -- "$title" ||
        fail "$mode/$name: first topic title \"$title\" not in pandoc's text"
      sed -n '/id="sdfootnote1"/,$p' "$lo" | html_text | grep -aqF -- "$title" ||
        fail "$mode/$name: first topic title \"$title\" not in LibreOffice's footnotes"
    fi
  fi
done

finished=$(date +%s)
times >"$work/times"  # in this shell: its second line is the CPU time of every child process
echo "checked $checked RTF files with pandoc and LibreOffice ($jobs at a time):" \
  "convert $((converted - started)) s, pandoc $((pandoc_done - converted)) s," \
  "LibreOffice $((lo_done - pandoc_done)) s, checks $((finished - lo_done)) s," \
  "total $((finished - started)) s; CPU time (user, system): $(tail -1 "$work/times")"
if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all RTF files open in pandoc and LibreOffice"
