#!/bin/bash
# The wqrepos tool's exit codes and messages. The library reads the ConfigClient.xml beside its
# own file, so a copy of it is loaded from a temporary folder whose ConfigClient.xml names the
# data directory of each case. CORPUS holds files that the module writes (tests/data/corpus).
# Usage: ToolTest.sh TOOL LIBRARY VERSION CORPUS
set -u
tool=$1 library=$2 version=$3 corpus=$4
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
  if [[ $1 == 0 ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
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
expect 0 "wqrepos $version" --version
expect 0 "Exit codes: 0 success, 1 a file or value failed, 2 usage error." --help
expect 2 "The following argument was not expected: --bogus" --bogus
expect 2 "The following argument was not expected: --bogus" methods --bogus
expect 2 "A subcommand is required" methods
expect 2 "--scans: Value 0 not in range" generate-run "$work/run.dat" --scans 0
for value in nan inf -inf; do
  expect 2 "--high-mz: Value $value is not a finite number" generate-run "$work/run.dat" \
    --high-mz "$value"
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
CASES

expect 0 "(no file $data/Prefs/GenEIC.pref: the default is shown)" prefs show GenEIC
printf '\1\0\0\0\1\0' >"$data/Prefs/GenEIC.pref"
expect 1 "warning: the preference file $data/Prefs/GenEIC.pref cannot be read" prefs show GenEIC
expect 0 "Method time periods:" sysconfig show
echo '<SystemConfiguration>' >"$data/Prefs/SystemConfiguration.xml"
expect 1 "warning: the system configuration $data/Prefs/SystemConfiguration.xml cannot be read" \
  sysconfig show

"$tool" generate-run "$work/raw.tofline" --scans 3 >/dev/null 2>&1
cp "$work/raw.tofline" "$work/raw.copy"
expect 1 "Cannot write to file$work/raw.tofline: it is the data file being exported" \
  export "$work/raw.tofline"
cmp -s "$work/raw.tofline" "$work/raw.copy"
result $?
expect 1 "Cannot open data file $work/none.dat." export "$work/none.dat"

# generate-run replaces a file only when told to, and writes scans as it makes them: 2,000 scans
# take no more memory than 20 (the run would take 96 MB).
expect 1 "$work/raw.copy exists already: --force replaces it." generate-run "$work/raw.copy"
cmp -s "$work/raw.tofline" "$work/raw.copy"
result $?
expect 0 "Wrote $work/raw.copy: 120 scans" generate-run "$work/raw.copy" --force
peak_memory() {
  ASAN_OPTIONS=${ASAN_OPTIONS:-}:quarantine_size_mb=1 /usr/bin/time -f %M -o "$work/memory" \
    "$tool" generate-run "$work/scans$1.dat" --scans "$1" --high-mz 400 >/dev/null 2>&1
  cat "$work/memory"
}
(($(peak_memory 2000) - $(peak_memory 20) < 48 * 1024))
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
COMMANDS

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
[[ $(find "$data" -printf '%p %s %T@\n' | sort) == "$before" ]]
result $?

touch "$work/plain"
use_base_dir "$work/plain"
for command in info "methods list" "sysconfig show" "prefs show GenTIC" "refcals show"; do
  # shellcheck disable=SC2086
  expect 1 "cannot use the base data directory $work/plain" $command
done

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
