#!/usr/bin/env bash
# Compares the export's peak picking with OpenMS's PeakPickerHiRes (Debian package topp), as a
# peer: on synthetic spectra whose true peaks are known (wqrepos_synthetic_spectra: sparse, busy
# and finely sampled unit-resolution spectra, and high-resolution isotope clusters) and on the
# measured tutorial spectrum against its reference centroids. OpenMS runs two ways: the picker
# alone, and its route for low-resolution data, Gaussian smoothing and a top-hat baseline filter
# before a picker that keeps peaks of signal to noise 2 or more. Prints one Markdown table (the
# one in docs/peak-detection.md); every figure comes from `wqrepos pick-report --json`, which
# scores the centroids of OpenMS's output as it scores its own.
#
# Without topp the OpenMS rows are skipped, with a message. Not part of .ci/run: it takes a few
# minutes.
#
#   scripts/compare-pickers.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh jq
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target wqrepos wqrepos_synthetic_spectra >/dev/null
tool=build/bin/wqrepos
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

openms=yes
for program in PeakPickerHiRes NoiseFilterGaussian BaselineFilter; do
  command -v "$program" >/dev/null || openms=
done
[ -n "$openms" ] ||
  echo "OpenMS's tools (Debian package topp) are not installed: its rows are left out." >&2

# OpenMS on RUN into OUT: "plain" the picker alone, "route" the low-resolution route with the
# Gaussian options that follow.
openms() {
  local how=$1 run=$2 out=$3
  shift 3
  if [ "$how" = plain ]; then
    PeakPickerHiRes -in "$run" -out "$out" >"$work/openms.log" 2>&1
  else
    NoiseFilterGaussian -in "$run" -out "$work/smoothed.mzML" "$@" >"$work/openms.log" 2>&1
    BaselineFilter -in "$work/smoothed.mzML" -out "$work/flat.mzML" -struc_elem_length 3 \
      >>"$work/openms.log" 2>&1
    PeakPickerHiRes -in "$work/flat.mzML" -out "$out" -algorithm:signal_to_noise 2 \
      >>"$work/openms.log" 2>&1
  fi
}

# One row: SET PICKER PICKED TRUTH WEAK TOLERANCE KIND. A synthetic set is judged on all its true
# peaks; the tutorial spectrum, whose reference holds only clear peaks, on the strong ones.
row() {
  local set=$1 picker=$2 picked=$3 truth=$4 weak=$5 tolerance=$6 kind=$7
  local all weakRecall=-
  all=$("$tool" pick-report "$picked" "$truth" --tolerance "$tolerance" --json)
  if [ -n "$weak" ]; then
    weakRecall=$("$tool" pick-report "$picked" "$weak" --tolerance "$tolerance" --json |
      jq -r '.total.recall * 1000 | round / 1000')
  fi
  if [ "$kind" = synthetic ]; then
    jq -r --arg set "$set" --arg picker "$picker" --arg weak "$weakRecall" '.total |
      def r: . * 1000 | round / 1000;
      def m: (. * 100000 | round | tostring) as $d | "0." + ("0000" + $d)[-5:];
      "| \($set) | \($picker) | \(.reference) | \(.found) | \(.recall | r) | \($weak) | " +
      "\(.precision | r) | \(.splitPeaks) | \(.medianAbsoluteDifference | m) |"' \
      <<<"$all"
  else
    jq -r --arg set "$set" --arg picker "$picker" '.total |
      def r: . * 1000 | round / 1000;
      def m: (. * 100000 | round | tostring) as $d | "0." + ("0000" + $d)[-5:];
      "| \($set) | \($picker) | \(.reference) | \(.found) | \(.recallTop10 | r) / " +
      "\(.recallTop50 | r) | - | \(.precisionStrong | r) | \(.splitPeaks) | " +
      "\(.medianAbsoluteDifference | m) |"' <<<"$all"
  fi
}

echo "| set | picker | true peaks | found | recall | weak peaks | precision | found twice | median abs. diff. |"
echo "|---|---|---|---|---|---|---|---|---|"
build/datafile/wqrepos_synthetic_spectra "$work" >"$work/sets"
while read -r set tolerance width; do
  run=$work/$set.mzML
  weak=
  [ -f "$work/$set-weak.mzML" ] && weak=$work/$set-weak.mzML
  row "$set" "wqrepos" "$run" "$work/$set-truth.mzML" "$weak" "$tolerance" synthetic
  [ -n "$openms" ] || continue
  openms plain "$run" "$work/plain.mzML"
  row "$set" "OpenMS picker" "$work/plain.mzML" "$work/$set-truth.mzML" "$weak" "$tolerance" \
    synthetic
  case $set in
    *-high) gaussian=(-algorithm:use_ppm_tolerance -algorithm:ppm_tolerance 50) ;;
    *) gaussian=(-algorithm:gaussian_width "$width") ;;
  esac
  openms route "$run" "$work/route.mzML" "${gaussian[@]}"
  row "$set" "OpenMS route, S/N 2" "$work/route.mzML" "$work/$set-truth.mzML" "$weak" \
    "$tolerance" synthetic
done <"$work/sets"

# The tutorial's figures are recall of the top 10% / top 50% and precision of the strong peaks.
tutorial=datafile/tests/data/peakpicker_tutorial_1.mzML
reference=datafile/tests/data/peakpicker_tutorial_1_picked.mzML
row tutorial wqrepos "$tutorial" "$reference" "" 0.02 measured
if [ -n "$openms" ]; then
  openms plain "$tutorial" "$work/plain.mzML"
  row tutorial "OpenMS picker" "$work/plain.mzML" "$reference" "" 0.02 measured
  openms route "$tutorial" "$work/route.mzML" -algorithm:gaussian_width 0.2
  row tutorial "OpenMS route, S/N 2" "$work/route.mzML" "$reference" "" 0.02 measured
fi
