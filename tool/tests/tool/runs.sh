# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: exports and runs that cannot be made, pick-report's
# pairing, and generate-run's memory.
"$tool" generate-run "$work/raw.tofline" --scans 3 >/dev/null 2>&1
cp "$work/raw.tofline" "$work/raw.copy"
expect 1 "Cannot write to file$work/raw.tofline: it is the data file being exported" \
  export "$work/raw.tofline"
cmp -s "$work/raw.tofline" "$work/raw.copy"
result $?
expect 1 "Cannot open data file $work/none.dat: No such file or directory" export "$work/none.dat"
expect 1 "wqrepos: Cannot write to file $work/nodir/raw.tofline: No such file or directory" \
  export "$work/raw.copy" -o "$work/nodir/raw.tofline"
# pick-report pairs the scans of two runs by their places.
"$tool" generate-run "$work/one.dat" --scans 1 >/dev/null 2>&1
# The library writes a document without spectra for a chromatogram without peaks; the tool keeps an
# earlier document instead, and a dry run fails as the export does.
echo earlier >"$work/one.tofline"
for dry in "" --dry-run; do
  # shellcheck disable=SC2086 # an empty word is no argument
  expect 1 "wqrepos: Nothing to export from $work/one.dat: no peak was found on its total ion \
current; nothing was written" export "$work/one.dat" --peaks $dry
done
[[ $(cat "$work/one.tofline") == earlier ]]
result $?
# A triple quadrupole's run alternates two experiments whose totals lie tenfold apart: each is a
# chromatogram of its own, and --peaks exports the peaks of the first one's real events (1 to 3),
# as many in a dry run as in the document. Its scans hold only the stretches measured in, and the
# event's spectrum holds the ions of all of them (11 peaks; none on the axis of the first scan).
qtrap=$spectra/qtrap-unit-resolution-50-scans.mzML.gz
planned=$("$tool" export "$qtrap" --peaks --dry-run --json | jq .spectra)
exported=$("$tool" export "$qtrap" --peaks -o "$work/qtrap.tofline" --json |
  jq -r '"\(.spectra | length) \([.spectra[].peaks] | max)"')
read -r count peaks <<<"$exported"
((planned >= 1 && planned <= 3 && count == planned && peaks >= 5))
result $?
expect 1 "$work/raw.tofline holds 3 scans and $work/one.dat 1: they are compared in order" \
  pick-report "$work/raw.tofline" "$work/one.dat"

# generate-run replaces a file only when told to, and writes scans as it makes them: 2,000 scans
# take no more memory than 20 (the run would take 96 MB).
expect 1 "Cannot write to $work/raw.copy: it exists (give --force to replace it)" generate-run "$work/raw.copy"
cmp -s "$work/raw.tofline" "$work/raw.copy"
result $?
expect 0 "Wrote $work/raw.copy: 120 scans" generate-run "$work/raw.copy" --force
scans() { peak_memory generate-run "$work/scans$1.dat" --scans "$1" --high-mz 400; }
(($(scans 2000) - $(scans 20) < 48 * 1024))
result $?
