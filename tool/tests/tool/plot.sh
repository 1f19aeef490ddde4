# shellcheck shell=bash disable=SC2154 # the variables of ToolTest.sh
# A group of ToolTest.sh, which sources it: exported documents and the pictures of a run.
# Pictures of a run: rendered by a real SVG renderer, marking the centroids that export writes.
run=$work/run.dat
"$tool" generate-run "$run" --scans 12 >/dev/null && "$tool" export "$run" >/dev/null
# A run read from standard input is named so in its document, not after the copy it is read from.
"$tool" export - -o - <"$run" | grep -q "<Name>stdin</Name>" &&
  grep -q "<Name>run</Name>" "$work/run.tofline"
result $?
# The document beside the export's that goes into it: said when it did, and warned of with the
# reason when it is there but could not (the library leaves it out without a word).
printf '<RunInfo><Operator>Ana</Operator></RunInfo>\n' >"$work/run.xml"
expect 0 "Appended:           $work/run.xml" export "$run" -o "$work/run.tofline"
grep -q "<Operator>Ana</Operator>" "$work/run.tofline"
result $?
printf '<RunInfo><Operator>Ana</RunInfo>\n' >"$work/run.xml"
expect 0 "wqrepos: warning: $work/run.xml was not appended to the document: it is not a \
well-formed XML document (Start-end tags mismatch at byte 24)" export "$run" -o "$work/run.tofline"
[[ $("$tool" export "$run" -o "$work/run.tofline" --json 2>/dev/null | jq -r .appended) == null ]]
result $?
rm "$work/run.xml"
rendered() { # the width and height of a PNG that rsvg-convert made from the SVG $1
  rsvg-convert "$1" -o "$1.png" && od -An -tu1 -j16 -N8 "$1.png" | tr -s ' '
}
for picture in "--scan 6" "--spectrum 3 --smooth --mz-range 300 900" "--chromatogram" \
  "--chromatogram --peaks"; do
  # shellcheck disable=SC2086 # the options' words
  expect 0 "Wrote $work/picture.svg" plot "$run" $picture -o "$work/picture.svg"
  [[ $(rendered "$work/picture.svg") == " 0 0 3 192 0 0 2 28" ]]
  result $?
done
# The README's picture is the one scripts/main.sh draws today, so that running it changes nothing.
mkdir "$work/sample" && cd "$work/sample" || exit 1
"$tool" generate-run SampleCalibration.dat --scans 120 --run-number 1 >/dev/null &&
  "$tool" plot SampleCalibration.dat --scan 60 -o drawn.svg >/dev/null && cmp -s drawn.svg "$sample"
result $?
cd - >/dev/null || exit 1
plotted=$("$tool" plot "$run" --scan 6 --csv -o - | awk -F, '$1 == "centroid" { printf "%.4f ", $2 }')
exported=$(jq -Rrs 'capture("ScanNumber=\"6\"[^>]*>\\s*<Peaks[^>]*>\\s*<CentroidX>(?<x>[^<]*)").x' \
  "$work/run.tofline")
[[ -n $exported && "$plotted" == "$exported " ]]
result $?
expect 1 "$run gives 12 spectra in its export; there is no spectrum 13." \
  plot "$run" --spectrum 13 -o "$work/none.svg"
expect 1 "Scan 99 is not in $run." plot "$run" --scan 99 -o "$work/none.svg"
expect 2 "--scan excludes --chromatogram" plot "$run" --scan 2 --chromatogram -o "$work/none.svg"
[[ ! -e $work/none.svg ]]
result $?
# A run whose m/z values differ by a few units in their last place is drawn about its one value.
printf 'BEGIN IONS\nRTINSECONDS=1\n1000 5\n1000.0000000000002 7\nEND IONS\n' >"$work/narrow.mgf"
timeout 20 "$tool" plot "$work/narrow.mgf" --spectrum 1 -o "$work/narrow.svg" >/dev/null &&
  grep -q ">1000.0</text>" "$work/narrow.svg"
result $?
# Legible however many points: a long chromatogram marks the scans used as a rug, not a circle
# each; the y axis's title stays clear of wide tick texts (a one-scan run's tick at 2 000 000);
# no centroid lies on an axis line; a label raised off a crowded peak has a leader line to it.
"$tool" generate-run "$work/long.dat" --scans 150 >/dev/null &&
  "$tool" plot "$work/long.dat" --chromatogram -o "$work/long.svg" >/dev/null &&
  ! grep -q "<circle" "$work/long.svg" && grep -q "<path d=\"M[0-9.]* 476.0 v-8.0 M" "$work/long.svg"
result $?
"$tool" plot "$work/one.dat" --chromatogram -o "$work/single.svg" >/dev/null &&
  grep -o '<text x="[0-9.]*" [^>]*font-size="12" text-anchor="end"[^>]*>[^<]*' "$work/single.svg" |
  sed 's/<text x="\([0-9.]*\)".*>\(.*\)/\1 \2/; s/\xe2\x80\x89/ /g' |
    awk '{ x = $1; $1 = ""; if (x - 0.62 * 12 * (length($0) - 1) < 32) bad = 1 } END { exit bad }'
result $?
printf 'BEGIN IONS\nRTINSECONDS=1\n1000 500\n1000.4 495\n1050 100\nEND IONS\n' >"$work/crowd.mgf"
"$tool" plot "$work/crowd.mgf" --spectrum 1 -o "$work/crowd.svg" >/dev/null &&
  awk -v RS='<' '
    /^rect x=/ && !left { split($0, a, "\""); left = a[2]; right = left + a[6] }
    /^circle cx=/ { split($0, a, "\""); cx[++n] = a[2]; cy[n] = a[4] }
    /^line .*stroke-width="0.6"/ { split($0, a, "\""); lx[++m] = a[6]; ly[m] = a[8] }
    END {
      for (i = 1; i < n; ++i) if (cx[i] < left + 5 || cx[i] > right - 5) exit 1
      for (j = 1; j <= m; ++j) for (i = 1; i < n; ++i)
        if ((lx[j] - cx[i]) ^ 2 < 1 && ly[j] < cy[i] && cy[i] - ly[j] < 8) led++
      exit !(n == 4 && led == 1)
    }' "$work/crowd.svg"
result $?
# A picture never replaces the run it is drawn from, by its name, a hard link or a link to it.
cp "$run" "$work/run.keep" && ln "$run" "$work/run.hard" && ln -s "$run" "$work/run.link"
for output in "$run" "$work/run.hard" "$work/run.link"; do
  expect 1 "Cannot write to $output: it is the data file being plotted" \
    plot "$run" --scan 6 -o "$output"
done
cmp -s "$run" "$work/run.keep" && [[ -L $work/run.link ]]
result $?
rm "$work/run.keep" "$work/run.hard" "$work/run.link"
