#!/bin/bash
# One realistic session with the wqrepos tool, end to end, as a lab engineer would run it on a new
# workstation: configure a data directory, import a tune and a method, list and show them, export
# a calibration run and draw it, convert a peak list, and check what is stored. Each step asserts
# what it prints or writes; the first one that fails ends the session with its output.
# Usage: Walkthrough.sh TOOL
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

step() { printf '%s\n' "$*"; }
fail() {
  printf 'FAIL: %s\n' "$*" >&2
  exit 1
}
# run OUT ARGUMENT...: runs the tool, which must succeed, with its standard output in OUT.
run() {
  local out=$1
  shift
  "$tool" "$@" >"$out" 2>"$out.err" || fail "wqrepos $* exited $?: $(cat "$out.err")"
  [[ ! -s $out.err ]] || fail "wqrepos $* wrote to standard error: $(cat "$out.err")"
}
has() { grep -qF -- "$2" "$1" || fail "$1 lacks \"$2\": $(head -c 2000 "$1")"; }

step "configure: a data directory of its own"
printf '<AcqClient><HostName>127.0.0.1</HostName><Port>4000</Port><BaseDir>%s</BaseDir></AcqClient>\n' \
  "$work/WQData" >ConfigClient.xml
export WQREPOS_CONFIG=$work/ConfigClient.xml
run init.out init
has init.out "Base directory:  $work/WQData"
[[ -d WQData/AcqMethod && -d WQData/Tunes ]] || fail "init made no data directory tree"

step "import: a tune and a method that scans with it"
cat >tune.json <<'EOF'
{"capillaryVoltage":3.2,"coneVoltage":25,"extractorVoltage":3,"rfLensVoltage":0.5,"sourceTemperature":120,
 "desolvationTemperature":350,"coneGasFlow":50,"desolvationGasFlow":500,"lowMassResolution":15,
 "highMassResolution":15,"polarity":"Positive"}
EOF
cat >method.json <<'EOF'
{"periods":[{"duration":2,"loops":1,"timeout":0,"items":[{"kind":"FullScan","startMZ":100,"endMZ":1000,
 "dwell":0.25,"duration":1,"polarity":"Positive","tuneId":1}]}],
 "tunes":[{"id":1,"name":"Caffeine","probe":"ESI","polarity":"Positive"}]}
EOF
run tune-import.out tunes import Caffeine tune.json
run method-import.out methods import Screening method.json
[[ -f WQData/Tunes/Caffeine.ket && -f WQData/AcqMethod/Screening.kem ]] ||
  fail "the imports stored no files"
# An impossible method is refused, naming the field, and stores nothing.
sed 's/"dwell":0.25/"dwell":-5/' method.json >bad.json
if "$tool" methods import Bad bad.json >bad.out 2>&1; then fail "a negative dwell was imported"; fi
has bad.out ".periods[0].items[0].dwell: expected a time in seconds above 0, got -5"
[[ ! -e WQData/AcqMethod/Bad.kem ]] || fail "a refused import stored a file"

step "list and show: what was stored reads back as imported"
run methods.out methods list
has methods.out "Screening"
run show.out methods show Screening
has show.out "m/z 100-1000"
run show.json methods show Screening --json
cmp -s <(jq -S . method.json) <(jq -S . show.json) || fail "the method reads back otherwise"
run tune.json.out tunes show Caffeine --json
[[ $(jq .capillaryVoltage tune.json.out) == 3.2 ]] || fail "the tune reads back otherwise"

step "export: a calibration run as a centroid document"
run generate.out generate-run Calibration.dat --scans 12 --run-number 7
run export.out export Calibration.dat
has export.out "Calibration.tofline"
[[ -s Calibration.tofline ]] || fail "the export wrote no document"
spectra=$(grep -c '<Peaks' Calibration.tofline)
[[ $spectra == 12 ]] || fail "the document holds $spectra spectra, not one per scan"
run export.json export Calibration.dat --dry-run --json
[[ $(jq '.spectra' export.json) == 12 ]] || fail "the dry run counts otherwise: $(cat export.json)"

step "plot: the spectrum of a scan, as the export sees it"
run plot.out plot Calibration.dat --scan 6 -o scan6.svg
has plot.out "Wrote scan6.svg"
xmllint --noout scan6.svg || fail "the picture is no well-formed SVG"
has scan6.svg "centroids exported (m/z)"

step "convert: a peak list of a fragment spectrum into mzML"
printf '%s\n' "BEGIN IONS" "TITLE=first" "PEPMASS=445.12" "CHARGE=2+" "SCANS=9" \
  "RTINSECONDS=12.5" "200.1 40" "300.2 90" "END IONS" >peaks.mgf
run convert.out convert peaks.mgf -o peaks.mzML
xmllint --noout peaks.mzML || fail "the converted run is no well-formed XML"
has peaks.mzML 'id="scan=9" defaultArrayLength="2"'
has peaks.mzML 'name="ms level" value="2"'
has peaks.mzML 'name="selected ion m/z" value="445.12"'
has peaks.mzML 'name="charge state" value="2"'
has peaks.mzML 'name="spectrum title" value="first"'

step "check: everything stored reads back, and nothing was left behind"
run check.out check
has check.out "Checked 2 stored files: 2 ok, 0 failed; 0 not recognised, 0 temporary"
has check.out "History $work/WQData/History: whole"
step "walkthrough: every step as expected"
