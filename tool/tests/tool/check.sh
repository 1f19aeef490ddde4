# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: a data directory of one stored file of each kind,
# checked and shown as JSON.
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
