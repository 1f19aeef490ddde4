# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: the configuration a command runs with, usage errors in
# plain words, help, and settings that cannot be read.
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
  ! "$tool" $command --help | grep -E "UINT|FLOAT|FINITE|REQUIRED|INT:"
  result $?
done
expect 0 "--scans N=120 (from 1 to 1000000)" generate-run --help

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
