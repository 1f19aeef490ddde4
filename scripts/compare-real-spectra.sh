#!/usr/bin/env bash
# Compares the export's peak picking with OpenMS's PeakPickerHiRes (Debian package topp) on the
# real instruments' spectra of datafile/tests/data: the share of the peer's peaks at signal to
# noise 2 and at least 10% of their scan's highest that the export finds, within a tolerance fit
# for high resolution (0.01 m/z) and one for unit resolution (0.1). The peer's peaks are scaled to
# their scan's highest (SpectraFilterNormalizer) and those under 0.1 dropped
# (SpectraFilterThresholdMower); `wqrepos pick-report --json` scores the rest as its reference.
# Prints one Markdown table: per file the scans, those peaks, the share found within each
# tolerance and the lowest share of a scan. Needs topp; not part of .ci/run. Compressed files
# (.mzML.gz) are unpacked first.
#
#   scripts/compare-real-spectra.sh [FILE.mzML...]
set -euo pipefail
cd "$(dirname "$0")/.."

for program in PeakPickerHiRes SpectraFilterNormalizer SpectraFilterThresholdMower; do
  command -v "$program" >/dev/null ||
    { echo "OpenMS's tools (Debian package topp) are not installed." >&2; exit 1; }
done
scripts/deps.sh jq
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target wqrepos >/dev/null
tool=build/bin/wqrepos
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  for file in datafile/tests/data/*.mzML datafile/tests/data/*.mzML.gz; do
    case $file in *_picked*) continue ;; esac
    files+=("$file")
  done
fi

echo "| file | scans | peer's peaks | found within 0.01 | within 0.1 | lowest scan within 0.1 |"
echo "|---|---|---|---|---|---|"
for file in "${files[@]}"; do
  case $file in
    *.gz) gunzip -c "$file" >"$work/$(basename "$file" .gz)" && file=$work/$(basename "$file" .gz) ;;
  esac
  PeakPickerHiRes -in "$file" -out "$work/picked.mzML" -algorithm:signal_to_noise 2 \
    >"$work/openms.log" 2>&1
  SpectraFilterNormalizer -in "$work/picked.mzML" -out "$work/scaled.mzML" \
    -algorithm:method to_one >>"$work/openms.log" 2>&1
  SpectraFilterThresholdMower -in "$work/scaled.mzML" -out "$work/strong.mzML" \
    -algorithm:threshold 0.1 >>"$work/openms.log" 2>&1
  fine=$("$tool" pick-report "$file" "$work/strong.mzML" --tolerance 0.01 --json)
  unit=$("$tool" pick-report "$file" "$work/strong.mzML" --tolerance 0.1 --json)
  jq -rn --arg file "$(basename "$file")" --argjson fine "$fine" --argjson unit "$unit" '
    def r: . * 1000 | round / 1000;
    def share: [.spectra[] | .recall * .reference] | add / ([$unit.spectra[].reference] | add);
    "| \($file) | \($unit.spectra | length) | \([$unit.spectra[].reference] | add) | " +
    "\($fine | share | r) | \($unit | share | r) | " +
    "\([$unit.spectra[] | select(.reference > 0) | .recall] | min | r) |"'
done
