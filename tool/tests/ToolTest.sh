#!/bin/bash
# The wqrepos tool's exit codes and messages. The library reads the ConfigClient.xml beside its
# own file, so a copy of it is loaded from a temporary folder whose ConfigClient.xml names the
# data directory of each case.
# Usage: ToolTest.sh TOOL LIBRARY VERSION
set -u
tool=$1 library=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/lib" && cp -L "$library" "$work/lib/"
export LD_LIBRARY_PATH=$work/lib
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

touch "$work/plain"
use_base_dir "$work/plain"
for command in info "methods list" "sysconfig show" "prefs show GenTIC" "refcals show"; do
  # shellcheck disable=SC2086
  expect 1 "cannot use the base data directory $work/plain" $command
done

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
