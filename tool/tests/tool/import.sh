# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: imports: round trips of every kind, what an import
# keeps, and what it refuses.
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
