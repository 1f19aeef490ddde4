# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: copy, rename and delete of stored records, and what
# the tool prints besides.
# copy and rename replace only with --force; delete; an edit of a method through its JSON.
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
