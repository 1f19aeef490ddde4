# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: runs as mzML.
# Runs as mzML: the same scans read back, a valid file, and nothing replaced without --force. The
# instrument's own format keeps a scan's polarity in its tune; mzML gives it with the scan.
expect 0 "Wrote $work/run.mzML: 12 scans of $run as mzML" convert "$run" -o "$work/run.mzML"
cmp -s <("$tool" run-info "$run" --json | jq -S .scanList) \
  <("$tool" run-info "$work/run.mzML" --json | jq -S '.scanList | map(del(.definition))')
result $?
"$tool" run-info "$work/run.mzML" --json |
  jq -e '.scanList | all(.definition == "polarity positive")' >/dev/null
result $?
# A triple quadrupole's run that alternates two experiments in negative mode keeps its instrument
# and each scan's definition through mzML, and with them the kinds of scan that find its
# chromatogram's peak.
qtrap=$spectra/qtrap-unit-resolution-50-scans.mzML.gz
"$tool" convert "$qtrap" -o "$work/qtrap.mzML" >/dev/null &&
  cmp -s <("$tool" run-info "$qtrap" --json | jq -S '.description, .scanList') \
    <("$tool" run-info "$work/qtrap.mzML" --json | jq -S '.description, .scanList') &&
  [[ $("$tool" export "$work/qtrap.mzML" --peaks --dry-run --json | jq .spectra) == 1 ]]
result $?
# A run of survey and fragment spectra, a Q Exactive's MS1 scan 10014 and MS2 scans 10015 and
# 10016, keeps every scan through mzML with its MS level, precursor, charge, title and own number
# (the seam zeros it had are left out of the copy); --scan draws a scan by that number, and the
# total ion current and the export are of the survey scan alone.
exactive=$spectra/q-exactive-three-scans.mzML.gz
expect 0 "Wrote $work/exactive.mzML: 3 scans of $exactive as mzML" \
  convert "$exactive" -o "$work/exactive.mzML"
scan_list() { "$tool" run-info "$1" --json | jq -S '.scanList | map(del(.seamZerosDropped))'; }
scan_list "$work/exactive.mzML" | jq -e 'map([.number, .msLevel, .precursorMZ, .charge]) ==
  [[10014, null, null, null], [10015, 2, 562.739745982435, 2], [10016, 2, 617.264933277471, 2]]
  and (.[2].title | startswith("three_test_scans.10016.10016.2 "))' >/dev/null &&
  cmp -s <(scan_list "$exactive") <(scan_list "$work/exactive.mzML")
result $?
# Its instrument's model and serial number, written once for all its configurations, name it.
description() { "$tool" run-info "$1" --json | jq -r .description; }
[[ $(description "$exactive") == "Q Exactive, instrument serial number Exactive Series slot #255, "* &&
  $(description "$exactive") == $(description "$work/exactive.mzML") ]]
result $?
expect 0 "MS levels:    MS1 1 MS2 2" run-info "$work/exactive.mzML"
expect 0 "Wrote $work/frag.svg: Scan 10016 of $work/exactive.mzML, MS2, precursor m/z 617.2649, \
charge 2+, title three_test_scans.10016.10016.2 " \
  plot "$work/exactive.mzML" --scan 10016 -o "$work/frag.svg"
expect 0 "the total ion current of $work/exactive.mzML, 1 scan" \
  plot "$work/exactive.mzML" --chromatogram -o "$work/tic.svg"
[[ $("$tool" export "$work/exactive.mzML" --dry-run --json | jq .spectra) == 1 ]]
result $?
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
