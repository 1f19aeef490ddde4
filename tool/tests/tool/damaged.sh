# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: what check and the listings make of a damaged or
# strange data directory.
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
