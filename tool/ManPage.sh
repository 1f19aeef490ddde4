#!/usr/bin/env bash
# Makes the manual page of wqrepos from the tool's own help: help2man turns `wqrepos --help` into
# the page, and every command's `--help` (commands within commands too) becomes an entry of its
# COMMANDS section.
# Usage: ManPage.sh HELP2MAN TOOL OUTPUT
set -euo pipefail
help2man=$1 tool=$2 output=$3
include=$(mktemp)
trap 'rm -f "$include"' EXIT

# The names listed under "Subcommands:" in help text $1.
subcommands() {
  awk '/^Subcommands:$/ { listed = 1; next } /^$/ { listed = 0 } listed && /^  [^ ]/ { print $1 }' \
    <<<"$1"
}

# Help text $2 of the command "$1" as roff: its description, its usage and a tagged paragraph per
# argument, option or command. CLI11 indents the entries under a heading ("Options:") by two more
# blanks than the heading and their continued text by more; the first run of two or more blanks in
# an entry separates it from its text. A heading is written only when an entry follows it.
entry() {
  awk -v command="$1" '
    function roff(text) {
      gsub(/\\/, "\\e", text)
      sub(/^[.'"'"'[]/, "\\\\\\&&", text)
      return text
    }
    function term(text) { text = roff(text); gsub(/-/, "\\-", text); return "\\fB" text "\\fR" }
    function indent(text) { match(text, /^ */); return RLENGTH }
    BEGIN { print ".SS \"wqrepos " command "\""; entries = -1 }
    /^Usage: / { sub(/^Usage: [^ ]*/, "wqrepos"); print ".PP"; print roff($0); next }
    /^ *(Positionals|Options|Subcommands):$/ {
      heading = $1; entries = indent($0) + 2; next
    }
    /^\[Option Group: .*\]$/ {
      sub(/^\[Option Group: /, ""); sub(/\]$/, "")
      print ".PP"; print "\\fIOption group " roff($0) ":\\fR"; entries = -1; next
    }
    /^Exit codes:/ || /^ *-h,--help / || /^$/ { next }
    entries >= 0 && indent($0) == entries {
      if (heading != "") { print ".PP"; print "\\fI" heading "\\fR"; heading = "" }
      line = substr($0, entries + 1)
      split_at = match(line, /  +/)
      print ".TP"
      if (split_at) {
        print term(substr(line, 1, split_at - 1))
        print roff(substr(line, split_at + RLENGTH))
      } else {
        print term(line)
      }
      next
    }
    { sub(/^ +/, ""); sub(/ +$/, ""); print roff($0) }
  ' <<<"$2"
}

# Every command under "$@" (none: the tool itself), depth first.
commands() {
  local help name
  help=$("$tool" "$@" --help)
  for name in $(subcommands "$help"); do
    entry "$* $name" "$("$tool" "$@" "$name" --help)" | sed 's/"wqrepos  */"wqrepos /'
    commands "$@" "$name"
  done
}

{
  echo "[COMMANDS]"
  echo "Each command takes \\fB\\-\\-help\\fR, which prints what follows for it."
  commands
  cat <<'SECTIONS'
[EXAMPLES]
.TP
.B wqrepos check \-q
Read every stored file and print only those that cannot be read; exit code 1 when there are any.
.TP
.B wqrepos methods show Scan \-\-json > scan.json
Write the acquisition method Scan as JSON, to be edited and stored again with
\fBwqrepos methods import Scan scan.json\fR.
.TP
.B wqrepos methods rename Scan Old/Scan
Move a method into the sub-folder Old of the method folder, which must exist.
.TP
.B wqrepos prefs list \-\-all
List the preferences that \fBprefs show\fR decodes, marking those that no file holds.
.TP
.B wqrepos generate\-run run.dat && wqrepos export run.dat \-o \-
Make a synthetic calibration run and print its centroid document.
.TP
.B wqrepos plot run.dat \-\-scan 60 \-o scan.svg
Draw the spectrum of scan 60 as the export sees it.
.TP
.B wqrepos history methods Scan
List every recorded change of the method Scan, newest first; \fBwqrepos diff methods Scan\fR
shows the fields its last change changed, and \fBwqrepos restore methods Scan\fR \fIREV\fR
stores it again as the record REV left it. The history is the git repository History of the data
directory: \fBgit \-C\fR \fIBaseDir\fR\fB/History log\fR reads it too.
[ENVIRONMENT]
.TP
.B WQREPOS_CONFIG
The ConfigClient.xml to read instead of the one beside the WQRepos library, when set and not
empty; a file it names that cannot be read is an error.
.TP
.B TMPDIR
The folder of temporary files, when set and not empty (else /tmp): the copy of standard input
that \fB\-\fR stands for, a document staged for standard output, and the scratch copy of a
compressed run.
.TP
.B WQREPOS_TEMPORARY_MAX_AGE
The age in seconds past which a hidden temporary file left by an interrupted save in the data
directory is taken for abandoned and removed when the module starts, whoever wrote it (by default
86400, a day); a value that is not a whole number of seconds is an error.
[FILES]
.TP
.I ConfigClient.xml
Beside the WQRepos library: the acquisition server and the base data directory
(\fBBaseDir\fR) under which every repository folder lies.
[SEE ALSO]
The file formats are described in docs/file-formats.md of the source distribution.
SECTIONS
} >"$include"

mkdir -p "$(dirname "$output")"
# The first line of --version is the tool's; the second, the library's, is no part of the page.
"$help2man" --no-info --no-discard-stderr --section 1 \
  --version-string "$("$tool" --version | head -n 1 | cut -d ' ' -f 2)" \
  --name "the instrument's methods, tunes, preferences and calibration exports from a shell" \
  --include "$include" --output "$output" "$tool"
