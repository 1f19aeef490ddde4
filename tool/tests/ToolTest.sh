#!/bin/bash
# The wqrepos tool's exit codes and messages. The library reads the ConfigClient.xml beside its
# own file, so a copy of it is loaded from a temporary folder whose ConfigClient.xml names the
# data directory of each case. CORPUS holds files that the module writes (tests/data/corpus).
# COMPLETION is the tool's bash completion; SAMPLE the README's picture, which scripts/main.sh
# draws.
# Usage: ToolTest.sh TOOL LIBRARY VERSION CORPUS COMPLETION SAMPLE
set -u
tool=$1 library=$2 version=$3 corpus=$4 completion=$5 sample=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/lib" && cp -L "$library" "$work/lib/"
export LD_LIBRARY_PATH=$work/lib
unset WQREPOS_CONFIG
data=$work/data
passed=0 failed=0

use_base_dir() {
  printf '<AcqClient><BaseDir>%s</BaseDir></AcqClient>\n' "$1" >"$work/lib/ConfigClient.xml"
}

result() {
  if [[ $1 == 0 ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: the check before line ${BASH_LINENO[${#BASH_LINENO[@]} - 2]} of ToolTest.sh"
  fi
}

# expect CODE TEXT ARGUMENT...: the tool exits with CODE and prints TEXT on either stream.
expect() {
  local code=$1 text=$2 out rc
  shift 2
  out=$("$tool" "$@" 2>&1)
  rc=$?
  if [[ $rc == "$code" && $out == *"$text"* ]]; then
    result 0
  else
    result 1
    printf 'FAIL: wqrepos %s: exit %s, expected %s and "%s"; got:\n%s\n' "$*" "$rc" "$code" \
      "$text" "$out"
  fi
}

use_base_dir "$data"
# Commands that only read create nothing, and find nothing where nothing was stored; init and the
# commands that store create the tree. A base directory whose folder is missing is named so.
expect 0 "No acquisition methods are stored." methods list
expect 0 "(not created yet)" info
[[ ! -e $data ]]
result $?
use_base_dir "$work/absent/data"
expect 1 "wqrepos: cannot create the base data directory $work/absent/data: the folder \
$work/absent that would hold it does not exist" init
use_base_dir "$data"
expect 0 "Base directory:  $data" init
[[ -d $data/AcqMethod && -d $data/Autotune ]]
result $?
expect 0 "wqrepos $version" --version
expect 0 "WQRepos library $version" --version
expect 0 "Exit codes: 0 success, 1 a file or value failed, 2 usage error." --help
# Usage errors in plain words, naming the option and the value, with the command's help to read.
expect 2 "wqrepos: unexpected argument --bogus
See 'wqrepos --help'." --bogus
expect 2 "wqrepos: unexpected arguments method extra
See 'wqrepos methods list --help'." methods list method extra
expect 2 "wqrepos: methods needs a command: list, show, import, delete, copy, rename" methods
for value in 0 many; do
  expect 2 "wqrepos: --scans: \"$value\" is not a number from 1 to 1000000" generate-run \
    "$work/run.dat" --scans $value
done
expect 2 "wqrepos: --run-number: \"-1\" is not a whole number of 0 or more" generate-run \
  "$work/run.dat" --run-number -1
expect 2 "wqrepos: --scan: \"-5\" is not a whole number of 0 or more" plot "$work/run.dat" --scan -5
expect 2 "wqrepos: --resolution: \"x\" is not one of high, low, unit" autotune tunes \
  --resolution x --polarity positive
expect 2 "wqrepos: --resolution needs a value" autotune tunes --resolution
for value in nan inf -inf; do
  expect 2 "wqrepos: --high-mz: \"$value\" is not a finite number" generate-run "$work/run.dat" \
    --high-mz "$value"
done
expect 2 "wqrepos: PATH: a run is written to a file, not to standard output (-)" generate-run -
[[ ! -e - ]]
result $?
# A pipe given by name is refused with the way to give it: as standard input.
mkfifo "$work/pipe"
expect 1 "wqrepos: Cannot read $work/pipe: not a regular file. A pipe, such as a process \
substitution <(...), is read as standard input: give - and redirect it there" \
  methods import Scan "$work/pipe"
expect 1 "wqrepos: Cannot read $work/pipe: not a regular file." export "$work/pipe" --dry-run
# Help names values in words, not in the parser's type names.
for command in generate-run plot export pick-report "autotune tunes" "methods show" convert; do
  # shellcheck disable=SC2086 # the command's words
  ! "$tool" $command --help | grep -E "UINT|FLOAT|FINITE|REQUIRED|INT:" &&
    "$tool" generate-run --help | grep -q -- "--scans N=120 (from 1 to 1000000)"
  result $?
done
expect 0 "No acquisition methods are stored." methods list

# A folder replaced by a file cannot be listed, even by root, whom permissions do not stop.
while IFS=: read -r folder contents command; do
  mv "$data/$folder" "$work/moved" && touch "$data/$folder"
  # shellcheck disable=SC2086 # the command's words
  expect 1 "cannot list the $contents: the directory $data/$folder cannot be read" $command
  rm "$data/$folder" && mv "$work/moved" "$data/$folder"
done <<'CASES'
AcqMethod:acquisition methods:methods list
Tunes:tunes:tunes list
Tunes:tunes:autotune tunes --resolution low --polarity positive
EvalMethod:evaluation methods:eval list
Prefs:preferences:prefs list
Autotune:autotune documents:autotune list
CASES

expect 0 "(no file $data/Prefs/GenEIC.pref: the default is shown)" prefs show GenEIC
printf '\1\0\0\0\1\0' >"$data/Prefs/GenEIC.pref"
expect 1 "warning: the preference file $data/Prefs/GenEIC.pref cannot be read" prefs show GenEIC
expect 0 "Method time periods:" sysconfig show
# An enumeration text that neither map knows is refused with the module's words, after the element
# and the document that the module nests in its exception.
echo '<SystemConfiguration><CalSource>Vial_3</CalSource></SystemConfiguration>' \
  >"$data/Prefs/SystemConfiguration.xml"
"$tool" generate-run "$work/vial.dat" --scans 2 >/dev/null
for command in "sysconfig show" "export $work/vial.dat"; do
  # shellcheck disable=SC2086 # the command's words
  expect 1 "wqrepos: Cannot read the element CalSource of $data/Prefs/SystemConfiguration.xml: String \
Vial_3 not found in enumeration map." $command
done
echo '<SystemConfiguration>' >"$data/Prefs/SystemConfiguration.xml"
expect 1 "warning: the system configuration $data/Prefs/SystemConfiguration.xml cannot be read" \
  sysconfig show

"$tool" generate-run "$work/raw.tofline" --scans 3 >/dev/null 2>&1
cp "$work/raw.tofline" "$work/raw.copy"
expect 1 "Cannot write to file$work/raw.tofline: it is the data file being exported" \
  export "$work/raw.tofline"
cmp -s "$work/raw.tofline" "$work/raw.copy"
result $?
expect 1 "Cannot open data file $work/none.dat: No such file or directory" export "$work/none.dat"
expect 1 "wqrepos: Cannot write to file $work/nodir/raw.tofline: No such file or directory" \
  export "$work/raw.copy" -o "$work/nodir/raw.tofline"
# pick-report pairs the scans of two runs by their places.
"$tool" generate-run "$work/one.dat" --scans 1 >/dev/null 2>&1
# The library writes a document without spectra for a chromatogram without peaks; the tool keeps an
# earlier document instead, and a dry run fails as the export does.
echo earlier >"$work/one.tofline"
for dry in "" --dry-run; do
  # shellcheck disable=SC2086 # an empty word is no argument
  expect 1 "wqrepos: Nothing to export from $work/one.dat: no peak was found on its total ion \
current; nothing was written" export "$work/one.dat" --peaks $dry
done
[[ $(cat "$work/one.tofline") == earlier ]]
result $?
expect 1 "$work/raw.tofline holds 3 scans and $work/one.dat 1: they are compared in order" \
  pick-report "$work/raw.tofline" "$work/one.dat"

# generate-run replaces a file only when told to, and writes scans as it makes them: 2,000 scans
# take no more memory than 20 (the run would take 96 MB).
expect 1 "Cannot write to $work/raw.copy: it exists (give --force to replace it)" generate-run "$work/raw.copy"
cmp -s "$work/raw.tofline" "$work/raw.copy"
result $?
expect 0 "Wrote $work/raw.copy: 120 scans" generate-run "$work/raw.copy" --force
peak_memory() { # peak_memory ARGUMENT...: the peak memory in KiB of the tool run with them
  ASAN_OPTIONS=${ASAN_OPTIONS:-}:quarantine_size_mb=1 /usr/bin/time -f %M -o "$work/memory" \
    "$tool" "$@" >/dev/null 2>&1
  tail -1 "$work/memory" # after a line on the exit status, when it is not 0
}
scans() { peak_memory generate-run "$work/scans$1.dat" --scans "$1" --high-mz 400; }
(($(scans 2000) - $(scans 20) < 48 * 1024))
result $?

# A data directory holding one file of each kind that check reads; it must find all of them
# readable, and write nothing.
while read -r from to; do cp "$corpus/$from" "$data/$to"; done <<'FILES'
method/acquisition_method-2.kem AcqMethod/Scan.kem
tune/tune-1.ket Tunes/U+Factory.ket
spectrum_eval/spectrum_evaluation_method-1.sem EvalMethod/Standard.sem
ic_eval/chromatogram_evaluation_method-1.iem EvalMethod/Standard.iem
pref_GenBIC/GenBIC-2.pref Prefs/GenBIC.pref
data_file_name/data-file_naming_record-1.pref Prefs/DataFileName.pref
system_configuration/system_configuration-1.xml Prefs/SystemConfiguration.xml
spectrum_data_info/input1.xml Prefs/SpectrumDataInfo.xml
ref_cals/reference_calibrants-1.cal Calibration/RefCals.cal
autotune_xml/input1.xml Autotune/Autotune.xml
FILES
rm "$data/Prefs/GenEIC.pref"
expect 0 "Checked 10 stored files: 10 ok, 0 failed; 0 not recognised, 0 temporary" check
[[ -z $("$tool" -q check 2>&1) ]] # quiet: nothing when all is well
result $?

# Every show, list and check command prints exactly one JSON document.
while read -r command; do
  # shellcheck disable=SC2086 # the command's words
  "$tool" $command --json 2>/dev/null | jq -e -s 'length == 1' >/dev/null
  status=$?
  result $status
  [[ $status == 0 ]] || echo "FAIL: wqrepos $command --json prints no single JSON document"
done <<COMMANDS
check
methods list
methods show Scan
tunes list
tunes show U+Factory
sysconfig show
prefs list
prefs show GenBIC
eval list
eval show Standard
eval show Standard --ic
refcals show
autotune tunes --resolution unit --polarity positive
autotune show-xml $data/Autotune/Autotune.xml
autotune list
pick-report $work/raw.tofline $work/raw.tofline
COMMANDS

# Pictures of a run: rendered by a real SVG renderer, marking the centroids that export writes.
run=$work/run.dat
"$tool" generate-run "$run" --scans 12 >/dev/null && "$tool" export "$run" >/dev/null
# A run read from standard input is named so in its document, not after the copy it is read from.
"$tool" export - -o - <"$run" | grep -q "<Name>stdin</Name>" &&
  grep -q "<Name>run</Name>" "$work/run.tofline"
result $?
rendered() { # the width and height of a PNG that rsvg-convert made from the SVG $1
  rsvg-convert "$1" -o "$1.png" && od -An -tu1 -j16 -N8 "$1.png" | tr -s ' '
}
for picture in "--scan 6" "--spectrum 3 --smooth --mz-range 300 900" "--chromatogram" \
  "--chromatogram --peaks"; do
  # shellcheck disable=SC2086 # the options' words
  expect 0 "Wrote $work/picture.svg" plot "$run" $picture -o "$work/picture.svg"
  [[ $(rendered "$work/picture.svg") == " 0 0 3 192 0 0 2 28" ]]
  result $?
done
# The README's picture is the one scripts/main.sh draws today, so that running it changes nothing.
mkdir "$work/sample" && cd "$work/sample" || exit 1
"$tool" generate-run SampleCalibration.dat --scans 120 --run-number 1 >/dev/null &&
  "$tool" plot SampleCalibration.dat --scan 60 -o drawn.svg >/dev/null && cmp -s drawn.svg "$sample"
result $?
cd - >/dev/null || exit 1
plotted=$("$tool" plot "$run" --scan 6 --csv -o - | awk -F, '$1 == "centroid" { printf "%.4f ", $2 }')
exported=$(jq -Rrs 'capture("ScanNumber=\"6\"[^>]*>\\s*<Peaks[^>]*>\\s*<CentroidX>(?<x>[^<]*)").x' \
  "$work/run.tofline")
[[ -n $exported && "$plotted" == "$exported " ]]
result $?
expect 1 "$run gives 12 spectra in its export; there is no spectrum 13." \
  plot "$run" --spectrum 13 -o "$work/none.svg"
expect 1 "Scan 99 is not in $run." plot "$run" --scan 99 -o "$work/none.svg"
expect 2 "--scan excludes --chromatogram" plot "$run" --scan 2 --chromatogram -o "$work/none.svg"
[[ ! -e $work/none.svg ]]
result $?
# A run whose m/z values differ by a few units in their last place is drawn about its one value.
printf 'BEGIN IONS\nRTINSECONDS=1\n1000 5\n1000.0000000000002 7\nEND IONS\n' >"$work/narrow.mgf"
timeout 20 "$tool" plot "$work/narrow.mgf" --spectrum 1 -o "$work/narrow.svg" >/dev/null &&
  grep -q ">1000.0</text>" "$work/narrow.svg"
result $?
# Legible however many points: a long chromatogram marks the scans used as a rug, not a circle
# each; the y axis's title stays clear of wide tick texts (a one-scan run's tick at 2 000 000);
# no centroid lies on an axis line; a label raised off a crowded peak has a leader line to it.
"$tool" generate-run "$work/long.dat" --scans 150 >/dev/null &&
  "$tool" plot "$work/long.dat" --chromatogram -o "$work/long.svg" >/dev/null &&
  ! grep -q "<circle" "$work/long.svg" && grep -q "<path d=\"M[0-9.]* 476.0 v-8.0 M" "$work/long.svg"
result $?
"$tool" plot "$work/one.dat" --chromatogram -o "$work/single.svg" >/dev/null &&
  grep -o '<text x="[0-9.]*" [^>]*font-size="12" text-anchor="end"[^>]*>[^<]*' "$work/single.svg" |
  sed 's/<text x="\([0-9.]*\)".*>\(.*\)/\1 \2/; s/\xe2\x80\x89/ /g' |
    awk '{ x = $1; $1 = ""; if (x - 0.62 * 12 * (length($0) - 1) < 32) bad = 1 } END { exit bad }'
result $?
printf 'BEGIN IONS\nRTINSECONDS=1\n1000 500\n1000.4 495\n1050 100\nEND IONS\n' >"$work/crowd.mgf"
"$tool" plot "$work/crowd.mgf" --spectrum 1 -o "$work/crowd.svg" >/dev/null &&
  awk -v RS='<' '
    /^rect x=/ && !left { split($0, a, "\""); left = a[2]; right = left + a[6] }
    /^circle cx=/ { split($0, a, "\""); cx[++n] = a[2]; cy[n] = a[4] }
    /^line .*stroke-width="0.6"/ { split($0, a, "\""); lx[++m] = a[6]; ly[m] = a[8] }
    END {
      for (i = 1; i < n; ++i) if (cx[i] < left + 5 || cx[i] > right - 5) exit 1
      for (j = 1; j <= m; ++j) for (i = 1; i < n; ++i)
        if ((lx[j] - cx[i]) ^ 2 < 1 && ly[j] < cy[i] && cy[i] - ly[j] < 8) led++
      exit !(n == 4 && led == 1)
    }' "$work/crowd.svg"
result $?
# A picture never replaces the run it is drawn from, by its name, a hard link or a link to it.
cp "$run" "$work/run.keep" && ln "$run" "$work/run.hard" && ln -s "$run" "$work/run.link"
for output in "$run" "$work/run.hard" "$work/run.link"; do
  expect 1 "Cannot write to $output: it is the data file being plotted" \
    plot "$run" --scan 6 -o "$output"
done
cmp -s "$run" "$work/run.keep" && [[ -L $work/run.link ]]
result $?
rm "$work/run.keep" "$work/run.hard" "$work/run.link"

# Runs as mzML: the same scans read back, a valid file, and nothing replaced without --force.
expect 0 "Wrote $work/run.mzML: 12 scans of $run as mzML" convert "$run" -o "$work/run.mzML"
cmp -s <("$tool" run-info "$run" --json | jq -S .scanList) \
  <("$tool" run-info "$work/run.mzML" --json | jq -S .scanList)
result $?
# A run of fragment spectra keeps each one's MS level, precursor, charge, title and scan number
# (SCANS) through mzML, and --scan draws a scan by that number.
printf '%s\n' "BEGIN IONS" "TITLE=Pep A" "PEPMASS=445.12 1200" "CHARGE=2+" "SCANS=7" \
  "RTINSECONDS=30" "100 10" "150.5 30" "END IONS" "BEGIN IONS" "TITLE=Pep B" "PEPMASS=902.5" \
  "CHARGE=3+" "SCANS=9" "RTINSECONDS=31.5" "120 1" "130 4" "END IONS" >"$work/frag.mgf"
expect 0 "Wrote $work/frag.mzML: 2 scans of $work/frag.mgf as mzML" \
  convert "$work/frag.mgf" -o "$work/frag.mzML"
"$tool" run-info "$work/frag.mzML" --json | jq -e '[.scanList[] |
  [.number, .msLevel, .precursorMZ, .charge, .title]] ==
  [[7, 2, 445.12, 2, "Pep A"], [9, 2, 902.5, 3, "Pep B"]]' >/dev/null &&
  cmp -s <("$tool" run-info "$work/frag.mgf" --json | jq -S .scanList) \
    <("$tool" run-info "$work/frag.mzML" --json | jq -S .scanList)
result $?
expect 0 "Precursors:   2 scans, m/z 445.1200 to 902.5000" run-info "$work/frag.mgf"
expect 0 "Wrote $work/frag.svg: Scan 9 of $work/frag.mgf, MS2, precursor m/z 902.5000, charge 3+, \
title Pep B, 2 centroids" plot "$work/frag.mgf" --scan 9 -o "$work/frag.svg"
if command -v FileInfo >/dev/null; then
  for converted in run frag; do
    FileInfo -in "$work/$converted.mzML" -v 2>&1 | grep -q "the file is semantically valid"
    result $?
  done
else
  echo "skipped: validating the mzML needs OpenMS's FileInfo (Debian package topp)"
fi
cp "$work/run.mzML" "$work/run.copy"
expect 1 "Cannot write to $work/run.mzML: it exists (give --force to replace it)" \
  convert "$work/raw.tofline" -o "$work/run.mzML"
cmp -s "$work/run.mzML" "$work/run.copy"
result $?
expect 0 "Wrote $work/run.mzML: 3 scans" convert "$work/raw.tofline" -o "$work/run.mzML" --force
# Two conversions to one new name at once: one writes it, the other leaves it.
for copy in 1 2; do "$tool" convert "$run" -o "$work/race.mzML" >"$work/race$copy" 2>&1 & done
wait
[[ $(cat "$work/race1" "$work/race2" | grep -c "^Wrote") == 1 ]]
result $?
expect 1 "Cannot write to $run: it is the data file being converted" \
  convert "$run" -o "$run" --force

# Completion: commands and options from the tool's help, the names stored in the data directory.
offers() { # offers EXPECTED WORD...: completing the last of the words offers EXPECTED
  local expected=$1 got
  shift
  got=$(bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _wqrepos; printf "%s " "${COMPREPLY[@]}"' _ "$completion" "$tool" "$@")
  [[ $got == "$expected " ]]
  result $?
  [[ $got == "$expected " ]] || echo "FAIL: completing wqrepos $*: got '$got', expected '$expected'"
}
offers methods me
offers Scan methods show ""
offers Standard eval show --ic St
# Every command whose first argument is a stored name offers the names of its family, not the
# files of the working directory; the second argument of copy and rename is a new name.
for command in delete copy rename; do
  offers Scan methods $command ""
  offers Standard eval $command --ic St
done
offers U+Factory tunes copy U
offers Autotune autotune show A
offers Autotune autotune import ""
offers Autotune autotune delete ""
# The preferences that show and import accept, whether a file holds them or not.
offers GenTIC prefs show GenT
offers GenEIC prefs import GenE
[[ $("$tool" prefs list --all --json | jq '[.[] | select(.decoded)] | length') == 25 &&
  $("$tool" prefs list --all --json | jq -r '.[] | select(.name == "GenEIC") | .stored') == false ]]
result $?
offers --mz-range plot "$run" --mz
offers "$work/run.dat" tunes show --file "$work/run.d"

# After a crash: a truncated tune, a method of an unknown file version and a stray temporary file.
head -c 20 "$corpus/tune/tune-1.ket" >"$data/Tunes/Cut.ket"
printf '\7\0\0\0' >"$data/AcqMethod/Future.kem"
touch "$data/Prefs/.GenTIC.pref.wqtmp-4242-a1B2c3" "$data/Tunes/notes.txt"
ln -s .. "$data/Tunes/loop"
before=$(find "$data" -printf '%p %s %T@\n' | sort)
expect 1 "$data/Tunes/Cut.ket: Binary stream ended early" check
expect 1 "$data/AcqMethod/Future.kem: Invalid acquisition method file ($data/AcqMethod/Future.kem)" check
expect 1 "$data/Prefs/.GenTIC.pref.wqtmp-4242-a1B2c3: temporary file left by an interrupted save" check
expect 1 "$data/Tunes/notes.txt: not a file that the module stores here" check
expect 1 "$data/Tunes/loop: not a file that the module stores here" check
expect 1 "Checked 12 stored files: 10 ok, 2 failed; 2 not recognised, 1 temporary" check
expect 1 "wqrepos: 2 stored file(s) cannot be read" check
# Quiet: the failures and the summary, no ok line and no warning of what does not fail.
"$tool" -q check >"$work/quiet" 2>&1
[[ $? == 1 && $(grep -c ": ok$" "$work/quiet") == 0 && $(grep -c "not a file" "$work/quiet") == 0 &&
  $(grep -c "Cut.ket: Binary" "$work/quiet") == 1 && $(grep -c "^Checked 12" "$work/quiet") == 1 ]]
result $?
[[ $(find "$data" -printf '%p %s %T@\n' | sort) == "$before" ]]
result $?
# A stored method that breaks a rule of what the instrument can run fails, as its import would.
perl -0777 -pe 'BEGIN { $from = pack("d<", 0.001); $to = pack("d<", -5) } s/\Q$from\E/$to/' \
  "$corpus/method/acquisition_method-2.kem" >"$data/AcqMethod/Negative.kem"
expect 1 "$data/AcqMethod/Negative.kem: .periods[0].items[0].dwell: expected a time in seconds \
above 0, got -5" check
rm "$data/AcqMethod/Negative.kem"

# A data directory of its own for the edges: a named configuration that cannot be read, names that
# are not UTF-8, control characters in names and texts, and what check could not look at.
edges=$work/edges
use_base_dir "$edges"
WQREPOS_CONFIG=$work/typo.xml expect 1 \
  "Cannot read the configuration file $work/typo.xml that WQREPOS_CONFIG names: No such file" info
[[ ! -e $edges ]]
result $?
"$tool" init >/dev/null 2>&1
expect 0 "m/z range:    100.0000 to" run-info "$work/raw.tofline"
# A total beyond the largest double is written as the records write it.
printf 'BEGIN IONS\nRTINSECONDS=1\n100 1e308\n200 1e308\nEND IONS\n' >"$work/infinite.mgf"
"$tool" run-info "$work/infinite.mgf" --json | jq -e '.scanList[0].totalIonCurrent == "Infinity"' \
  >/dev/null
result $?

# Latin-1 "Old\xe9" and the name with U+FFFD in its place are two files with two names.
sem=$corpus/spectrum_eval/spectrum_evaluation_method-1.sem
latin=$edges/EvalMethod/Old$'\xe9'.sem replaced=$edges/EvalMethod/Old$'\xef\xbf\xbd'.sem
cp "$sem" "$latin" && cp "$sem" "$replaced"
expect 0 'Old\xe9' eval list
expect 0 'Deleted the spectrum evaluation method Old\xe9' eval delete "Old"$'\xe9'
[[ ! -e $latin && -e $replaced ]]
result $?
cp "$sem" "$latin"
"$tool" check --json 2>/dev/null | jq -e -s 'length == 1 and .[0].summary.ok == 2' >/dev/null
result $?

# Nothing from a name or a document drives the terminal or breaks a line in two.
esc=$'\e]0;owned\a\e[31m\u009b1m' shown='\x1b]0;owned\x07\x1b[31m\u009b1m'
cp "$corpus/method/acquisition_method-2.kem" "$edges/AcqMethod/a$esc"$'\n'"b.kem"
printf '<SystemConfiguration><SystemName>%s</SystemName></SystemConfiguration>' "$esc" \
  >"$edges/Prefs/SystemConfiguration.xml"
for command in "methods list" check "sysconfig show" "methods show x$esc"; do
  # shellcheck disable=SC2086 # the command's words
  out=$("$tool" $command 2>&1)
  [[ $out == *"$shown"* ]] && ! printf %s "$out" | tr -d '\n' | LC_ALL=C grep -q '[[:cntrl:]]'
  status=$?
  result $status
  [[ $status == 0 ]] || printf 'FAIL: wqrepos %q shows a control character:\n%s\n' "$command" "$out"
done
expect 0 "$edges/AcqMethod/a$shown\\nb.kem: ok" check
rm "$edges/AcqMethod/a$esc"$'\n'"b.kem" "$edges/Prefs/SystemConfiguration.xml"

# check fails what it could not read to its end or look into: a method 9 folders down, a folder it
# may not list, a tune with bytes after its end, a method read as a tune; ".kem" is no method.
deep=$edges/AcqMethod/1/2/3/4/5/6/7/8/9
mkdir -p "$deep" "$edges/Tunes/private"
head -c 20 "$corpus/method/acquisition_method-2.kem" >"$deep/Cut.kem"
cp "$corpus/tune/tune-1.ket" "$edges/Tunes/private/T.ket"
{ cat "$corpus/tune/tune-1.ket" && head -c 16 /dev/zero; } >"$edges/Tunes/Long.ket"
cp "$corpus/method/acquisition_method-2.kem" "$edges/Tunes/Method.ket"
cp "$corpus/method/acquisition_method-2.kem" "$edges/AcqMethod/.kem"
expect 1 "$edges/AcqMethod/1/2/3/4/5/6/7/8/9: not checked: the folder lies deeper than 8" check
expect 1 "$edges/Tunes/Long.ket: Cannot read $edges/Tunes/Long.ket: Binary stream holds 16 bytes" check
expect 1 "$edges/Tunes/Method.ket: Cannot read $edges/Tunes/Method.ket: " check
expect 1 "$edges/AcqMethod/.kem: not a file that the module stores here" check
expect 1 "wqrepos: 2 stored file(s) cannot be read; 1 folder(s) not checked" check
# Root lists any folder: the tool then runs as nobody.
chmod 700 "$edges/Tunes/private"
chmod 755 "$work" "$work/lib"
as_user=()
if [[ $(id -u) == 0 ]]; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  chmod 000 "$edges/Tunes/private"
fi
out=$("${as_user[@]}" "$tool" check 2>&1)
[[ $? == 1 && $out == *"$edges/Tunes/private: not checked: the folder cannot be listed"* ]]
status=$?
result $status
[[ $status == 0 ]] || printf 'FAIL: check of an unlistable folder:\n%s\n' "$out"
chmod 755 "$edges/Tunes/private"

# A data directory of its own for the JSON of every kind: show --json then import gives each file
# back byte for byte, from a file and from standard input. FAMILY [NAME [--ic]] | FILE | SOURCE.
store=$work/store
use_base_dir "$store"
"$tool" init >/dev/null 2>&1
kinds=$(
  for source in "$corpus"/pref_*; do
    name=${source##*pref_} && echo "prefs $name|Prefs/$name.pref|pref_$name/$(ls "$source" | tail -1)"
  done
  cat <<'KINDS'
methods Scan|AcqMethod/Scan.kem|method/acquisition_method-2.kem
tunes U+Factory|Tunes/U+Factory.ket|tune/tune-1.ket
eval Standard|EvalMethod/Standard.sem|spectrum_eval/spectrum_evaluation_method-1.sem
eval Standard --ic|EvalMethod/Standard.iem|ic_eval/chromatogram_evaluation_method-1.iem
refcals|Calibration/RefCals.cal|ref_cals/reference_calibrants-2.cal
data-file-name|Prefs/DataFileName.pref|data_file_name/data-file_naming_record-2.pref
sysconfig|Prefs/SystemConfiguration.xml|system_configuration/system_configuration-1.xml
spectrum-data-info|Prefs/SpectrumDataInfo.xml|spectrum_data_info/input1.xml
autotune Autotune|Autotune/Autotune.xml|autotune_xml/input1.xml
KINDS
)
while IFS='|' read -r command file source; do
  read -r family rest <<<"$command"
  # shellcheck disable=SC2086 # the name and --ic
  set -- $rest
  cp "$corpus/$source" "$store/$file"
  "$tool" "$family" show "$@" --json >"$work/shown.json" 2>"$work/stderr"
  status=$?
  mv "$store/$file" "$work/original"
  # The autotune document keeps its other elements: it is imported into a copy of itself.
  [[ $family == autotune ]] && cp "$work/original" "$store/$file"
  "$tool" "$family" import "$@" - <"$work/shown.json" >/dev/null 2>>"$work/stderr" &&
    cmp -s "$work/original" "$store/$file" && [[ $status == 0 && ! -s $work/stderr ]]
  status=$?
  result $status
  [[ $status == 0 ]] || printf 'FAIL: round trip of %s:\n%s\n' "$command" "$(cat "$work/stderr")"
done <<<"$kinds"
expect 1 "Unable to open evaluation method file. $store/EvalMethod/Missing.sem: No such file" \
  eval show Missing

# An import replaces the bytes of the elements it stores and no other: comments, blank text and
# continuation lines stay as they are. A document it cannot keep whole is refused and kept.
info=$store/Prefs/SpectrumDataInfo.xml
printf '<!-- site -->\n<SpectrumDataInfo>\n  <Instrument>Old</Instrument> <!-- kept -->\n  <Note>a\n  b</Note>\n  <Blank>  </Blank>\n</SpectrumDataInfo>\n' >"$info"
echo '{"instrument": "Q-One", "sampleInlet": "LC"}' >"$work/info.json"
"$tool" spectrum-data-info import "$work/info.json" >/dev/null &&
  [[ $(cat "$info") == $'<!-- site -->\n<SpectrumDataInfo>\n  <Instrument>Q-One</Instrument> <!-- kept -->\n  <Note>a\n  b</Note>\n  <Blank>  </Blank>\n  <Sample_Inlet>LC</Sample_Inlet>\n</SpectrumDataInfo>' ]]
result $?
printf '<AutoTune><Script>run</Script><AutoTunePrefs>' >"$store/Autotune/Cut.xml"
"$tool" autotune show Autotune --json >"$work/autotune.json"
expect 1 "$store/Autotune/Cut.xml is not a well-formed XML document (" \
  autotune import Cut "$work/autotune.json"
[[ $(cat "$store/Autotune/Cut.xml") == '<AutoTune><Script>run</Script><AutoTunePrefs>' ]]
result $?
rm "$store/Autotune/Cut.xml"
config=$store/Prefs/SystemConfiguration.xml
cp "$config" "$work/config.keep"
printf '<SystemConfiguration>\n\t<SystemName>Lab 3</SystemName>\n\t<Site a="1">kept</Site>\n</SystemConfiguration>\n' >"$config"
"$tool" sysconfig show --json | jq '.systemName = "Lab 4"' | "$tool" sysconfig import - >/dev/null &&
  grep -qx $'\t<SystemName>Lab 4</SystemName>' "$config" &&
  grep -qx $'\t<Site a="1">kept</Site>' "$config"
result $?
mv "$work/config.keep" "$config"
printf '<Other/>' >"$info"
expect 1 "$info holds the element Other, not SpectrumDataInfo: it was kept as it is, and nothing \
was stored" spectrum-data-info import "$work/info.json"
rm "$info"
cp "$corpus/ic_eval/chromatogram_evaluation_method-1.iem" "$store/EvalMethod/OnlyIC.iem"
expect 1 "OnlyIC is stored as an ion-chromatogram method: add --ic" eval show OnlyIC

# Every field is checked, the refused one named by its path, and nothing is written.
while IFS='|' read -r command filter message; do
  read -r family name rest <<<"$command"
  before=$(cksum "$store"/*/*)
  # shellcheck disable=SC2086 # the name, when there is one
  "$tool" "$family" show $name --json | jq "$filter" >"$work/bad.json"
  # shellcheck disable=SC2086
  expect 1 "$work/bad.json: $message" "$family" import $name "$work/bad.json"
  [[ $(cksum "$store"/*/*) == "$before" ]]
  result $?
done <<'REFUSED'
methods Scan|.periods[0].items[0].dwell = "0.2"|.periods[0].items[0].dwell: expected a number
methods Scan|.tunes += .tunes|.tunes[2].id: the tune id 1 is given twice
tunes U+Factory|.polarity = "positive"|.polarity: expected one of Positive, Negative, got "positive"
eval Standard|.steps[1].parameters.windowWidth = -1|.steps[1].parameters.windowWidth: expected a whole number from 0 to 4294967295
prefs GenBIC|.peakFields[0] = {"typ": "Mass"}|.peakFields[0].typ: no such field here (did you mean type?)
sysconfig|del(.syringe.enabled)|.syringe: the field enabled is missing
spectrum-data-info|.instrument = "a\u0007"|.instrument: holds a control character
sysconfig|.polaritySwitch = "NaN"|.polaritySwitch: expected a finite number, got "NaN"
methods Scan|.periods[0].items[0].dwell = "NaN"|.periods[0].items[0].dwell: expected a time in seconds above 0, got "NaN"
methods Scan|.periods[0].items[0].startMZ = 5000|.periods[0].items[0].endMZ: expected an m/z from the start m/z (5000) up, got 1000
methods Scan|.periods[0].items[0].tuneId = 9|.periods[0].items[0].tuneId: no tune of the method's tunes has the id 9
prefs CSDecon|. + {"minCharge": 3, "maxCharge": 2}|.maxCharge: expected a charge from the least one (3) up, got 2
prefs MultiThread|.threadCount = 0|.threadCount: expected 1 thread or more, got 0
REFUSED
# The document keeps the polarity switch in fixed notation: every digit of the largest numbers.
"$tool" sysconfig show --json | jq '.polaritySwitch = 1e62' | "$tool" sysconfig import - >/dev/null &&
  "$tool" sysconfig show --json | jq -e '.polaritySwitch == 1e62' >/dev/null
result $?
echo '{"time":' >"$work/bad.json"
expect 1 "$work/bad.json: not JSON: parse error at line 2" data-file-name import "$work/bad.json"
echo '{"time": 1e400}' >"$work/bad.json"
expect 1 "$work/bad.json: not JSON: number overflow parsing '1e400'" data-file-name import "$work/bad.json"

# The text is checked before a document is built of it: a field given twice, nesting deeper than
# any record, or more values than its size can hold are refused, and nothing is written.
before=$(cksum "$store"/*/*)
echo '{"steps": [{"kind": "NoStep", "parameters": {}, "kind": "Noise"}]}' >"$work/bad.json"
expect 1 "$work/bad.json: .steps[0].kind: the field is given twice" eval import Twice "$work/bad.json"
# 60,000 levels in a value reported by its text overran the stack; 64 levels are read.
nested=$(printf '[%.0s' {1..60000} && printf ']%.0s' {1..60000})
tune=$("$tool" tunes show U+Factory --json | jq -c '.capillaryVoltage = "deep"')
printf '%s\n' "${tune/\"deep\"/$nested}" >"$work/bad.json"
expect 1 "$work/bad.json: nested too deep: more than 64 levels of arrays and objects" \
  tunes import Deep "$work/bad.json"
printf '[%.0s' {1..64} >"$work/bad.json" && printf ']%.0s' {1..64} >>"$work/bad.json"
expect 1 "$work/bad.json: .: expected an object, got array" tunes import Deep "$work/bad.json"
# 16 MiB of empty arrays would build into some 300 MB.
{ printf '[' && yes "[]," | head -n $(((16 << 20) / 3)) | tr -d '\n' && echo '[]]'; } >"$work/large.json"
large=$(peak_memory tunes import Large "$work/large.json")
(($large - $(peak_memory tunes import Large "$work/bad.json") < 2 * 16 * 1024))
result $?
expect 1 "$work/large.json: too many values for its size: their document would take more than 8 \
times the text's size in memory" tunes import Large "$work/large.json"
[[ $(cksum "$store"/*/*) == "$before" ]]
result $?
"$tool" methods show Scan --json >"$work/shown.json"
expect 1 "Unable to create acquisition method file (lab/Scan): Cannot create a temporary file for \
$store/AcqMethod/lab/Scan.kem: No such file or directory" methods import lab/Scan "$work/shown.json"
mkdir -p "$work/elsewhere" && ln -s "$work/elsewhere" "$store/Autotune/lab"
cp "$corpus/autotune_xml/input1.xml" "$work/victim.xml"
expect 1 "Cannot use $store/Autotune/lab/../victim.xml: the name \"lab/../victim\" leads outside \
its directory through the linked folder lab" autotune show lab/../victim
expect 1 "wqrepos: Cannot load the XML document $store/Autotune/Missing.xml: No such file or \
directory" autotune show Missing
# Autotune documents by name: listed, shown as show-xml shows a document anywhere, and deleted.
cp "$store/Autotune/Autotune.xml" "$store/Autotune/Spare.xml"
expect 0 "Autotune
Spare" autotune list
[[ $("$tool" autotune list --json | jq -c .) == '["Autotune","Spare"]' &&
  $("$tool" autotune show Spare) == "$("$tool" autotune show-xml "$store/Autotune/Spare.xml")" ]]
result $?
expect 0 "Deleted the autotune document Spare" autotune delete Spare
expect 1 "wqrepos: cannot delete the autotune document: $store/Autotune/Spare.xml: No such file or \
directory" autotune delete Spare

# copy and rename replace only with --force; delete; the issue's own edit of a method.
scan=$store/AcqMethod/Scan.kem
expect 0 "Copied the acquisition method Scan to Copy" methods copy Scan Copy
cmp -s "$scan" "$store/AcqMethod/Copy.kem"
result $?
# Two copies to one name at once: one is made, the other refused.
made=0
for round in 1 2 3 4 5 6 7 8; do
  for copy in 1 2; do "$tool" tunes copy U+Factory "Race$round" >"$work/race$copy" 2>&1 & done
  wait
  made=$((made + $(cat "$work/race1" "$work/race2" | grep -c "^Copied")))
done
((made == 8)) && cmp -s "$store/Tunes/U+Factory.ket" "$store/Tunes/Race8.ket"
result $?
rm "$store"/Tunes/Race*.ket
for command in copy rename; do
  expect 1 "cannot replace the tune U+Factory: it exists (--force replaces it)" \
    tunes $command U+Factory U+Factory
done
"$tool" methods show Scan --json | jq '.periods[0].items[0].dwell = 0.2' |
  "$tool" methods import Copy - >/dev/null
"$tool" methods show Copy --json | jq -e '.periods[0].items[0].dwell == 0.2' >/dev/null
result $?
# A period without a duration is shown as stored: the load's completed time-out is not written back.
"$tool" methods show Scan --json | jq '.periods[0].duration = 0' | "$tool" methods import Open - >/dev/null
"$tool" methods show Open --json | jq -e '.periods[0].timeout == 0' >/dev/null &&
  "$tool" methods delete Open >/dev/null
result $?
expect 0 "Renamed the acquisition method Copy to Scan" methods rename Copy Scan --force
[[ ! -e $store/AcqMethod/Copy.kem ]] && ! cmp -s "$scan" "$work/original"
result $?
# Two names of one file: the rename would leave both.
ln "$scan" "$store/AcqMethod/Link.kem"
expect 1 "Unable to rename acquisition method file ($store/AcqMethod/Link.kem) to \
($scan): both names lead to the same file" methods rename Link Scan --force
[[ $(stat -c %h "$scan") == 2 ]] && rm "$store/AcqMethod/Link.kem"
result $?
# A record moved into a folder is listed by its path there; a rename into a missing folder names
# the folder, not the record.
mkdir "$store/AcqMethod/Old" "$store/EvalMethod/Old"
"$tool" methods copy Scan Moved >/dev/null && "$tool" eval copy Standard Kept --ic >/dev/null
expect 0 "Renamed the acquisition method Moved to Old/Moved" methods rename Moved Old/Moved
expect 0 "Old/Moved" methods list
expect 0 "Renamed the ion-chromatogram evaluation method Kept to Old/Kept" \
  eval rename Kept Old/Kept --ic
[[ $("$tool" methods list --json | jq -c 'index("Old/Moved") != null') == true &&
  $("$tool" eval list --json | jq -c '.ionChromatogram | index("Old/Kept") != null') == true ]]
result $?
expect 1 "wqrepos: cannot rename the acquisition method Old/Moved to Gone/Moved: \
$store/AcqMethod/Gone: no such folder" methods rename Old/Moved Gone/Moved
expect 1 "$store/Tunes/Gone: no such folder" tunes rename U+Factory Gone/U+Factory
"$tool" methods delete Old/Moved >/dev/null && "$tool" eval delete Old/Kept --ic >/dev/null &&
  rmdir "$store/AcqMethod/Old" "$store/EvalMethod/Old"
result $?
[[ -z $("$tool" --quiet tunes delete U+Factory 2>&1) && ! -e $store/Tunes/U+Factory.ket ]]
result $?
expect 1 "Unable to delete tune file: $store/Tunes/U+Factory.ket: No such file or directory" \
  tunes delete U+Factory
"$tool" tunes show --file - <"$corpus/tune/tune-1.ket" | grep -q "^Polarity"
result $?

# Quiet and precise: nothing on standard error without --verbose, unless a setting cannot be read;
# a mistyped word gets the nearest valid one.
"$tool" generate-run "$work/store.dat" --scans 3 >/dev/null
"$tool" export "$work/store.dat" -o "$work/store.tofline" >/dev/null
for command in "info" "methods list" "check" "export $work/store.dat -o -"; do
  # shellcheck disable=SC2086 # the command's words
  "$tool" $command >"$work/out" 2>"$work/stderr" && [[ ! -s $work/stderr ]]
  result $?
done
cmp -s "$work/out" "$work/store.tofline"
result $?
expect 0 "BaseDir=$store" --verbose methods list
# A port text that is not a port number alone is warned of, naming the element, the text and the
# port in force, which the module read as a stream reads a number.
for port in "4x:4" "70000:4000" "abc:4000"; do
  printf '<AcqClient><Port>%s</Port><BaseDir>%s</BaseDir></AcqClient>\n' "${port%%:*}" "$store" \
    >"$work/lib/ConfigClient.xml"
  expect 0 "wqrepos: warning: the element Port of $work/lib/ConfigClient.xml holds \"${port%%:*}\", \
which is not a port number from 0 to 65535: the port used is ${port#*:}" methods list
  [[ $("$tool" info --json 2>/dev/null | jq .port) == "${port#*:}" ]]
  result $?
done
[[ -z $("$tool" --quiet methods list 2>&1 >/dev/null) ]]
result $?
use_base_dir "$store"
expect 2 "did you mean list?" methods lst
expect 2 "did you mean --force?" methods copy a b --forse
expect 1 "no preference is called GenTC (did you mean GenTIC?); the 25 preferences are" \
  prefs show GenTC

# The history: a record per change, the fields a change changed, an item put back, and check
# naming a damaged repository.
history=$work/history
use_base_dir "$history"
"$tool" tunes show --file "$corpus/tune/tune-1.ket" --json >"$work/tune.json"
"$tool" -q tunes import H "$work/tune.json" &&
  jq '.coneVoltage = 42.5' "$work/tune.json" >"$work/changed.json" &&
  "$tool" -q tunes import H "$work/changed.json" && "$tool" -q tunes rename H H2
result $?
expect 0 "rename Tunes/H2.ket Tunes/H.ket" history
[[ $("$tool" history tunes H --json | jq -r 'map(.operation) | join(" ")') == \
  "rename import import" ]]
result $?
first=$("$tool" history tunes H --json | jq -r '.[2].id')
expect 0 "~ /coneVoltage: " diff tunes H "$first" "$("$tool" history tunes H --json | jq -r '.[1].id')"
expect 0 "- /coneVoltage: 42.5" diff tunes H
expect 0 "Restored Tunes/H.ket as the record $first left it" restore tunes H "$first"
cmp -s "$history/Tunes/H.ket" <(git -C "$history/History" show "$first:Tunes/H.ket")
result $?
expect 0 "History $history/History: whole" history --verify
git -C "$history/History" log --format=%s | grep -qx "restore Tunes/H.ket"
result $?
expect 1 "no kind of stored item is called tune; the kinds are methods, tunes, eval, prefs" \
  history tune
printf 'x' >"$history/History/HEAD"
expect 1 "wqrepos: the history is damaged: Cannot read the HEAD of the history $history/History" \
  check
"$tool" -q tunes import H3 "$work/tune.json" && [[ -s $history/Tunes/H3.ket ]]
result $?

touch "$work/plain"
use_base_dir "$work/plain"
for command in info "methods list" "sysconfig show" "prefs show GenTIC" "refcals show"; do
  # shellcheck disable=SC2086
  expect 1 "cannot use the base data directory $work/plain" $command
done

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
