#!/usr/bin/env bash
# Builds the benchmarks in Release (into build-bench) and runs every program they make, each
# operation's module side and its baseline interleaved, repeated, and reduced to medians. Prints
# for each operation the module's time, the baseline's (microseconds) and their ratio, and writes the same table
# as JSON (build-bench/bench.json, or --json FILE) beside each program's raw Google Benchmark JSON.
#
# A benchmark named "Operation/Module[/args]" is paired with "Operation/Baseline[/args]"; one
# without a side is listed alone. Times are CPU time, or wall time for benchmarks that measure it
# (UseRealTime).
#
# Among them the history's rows (bench/HistoryBenchmark.cpp): a save with its record against the
# same save with the history off, with 0 and 10,000 records in the history (made with git
# fast-import, so git must be installed), and the history of one item among 10,000 records.
#
# Then the open-format rows: a synthetic profile run of 20,000 points a scan written as
# uncompressed indexed mzML, and the CPU time (user + system) and peak memory of `wqrepos
# run-info` and `wqrepos export` on it, each the median of the repetitions, with run-info's reading
# rate. When OpenMS's PeakPickerHiRes (Debian package topp, a peer, never a dependency) is
# installed, it runs at signal to noise 2 on one thread in turn with the export, and the export's
# share of its CPU time is the median of the pairs' shares. These rows go to build-bench/runs.json
# (or --runs-json FILE).
#
#   --min-time SECONDS   least time per benchmark and repetition (default 0.5)
#   --repetitions N      interleaved repetitions whose median is taken (default 5)
#   --filter REGEX       only the benchmarks that match
#   --json FILE          where the table goes as JSON
#   --run-scans N        scans of the open-format rows' run (default 500, 214 MB; 2000 makes
#                        the 857 MB run of docs/performance.md), 0 to leave the rows out
#   --runs-json FILE     where the open-format rows go as JSON
#   --quick              a single short pass, only to prove that everything still runs
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench
min_time=0.5
repetitions=5
filter=.
json=$build/bench.json
run_scans=500
runs_json=$build/runs.json
while [ $# -gt 0 ]; do
  case "$1" in
    --min-time) min_time=$2; shift 2 ;;
    --repetitions) repetitions=$2; shift 2 ;;
    --filter) filter=$2; shift 2 ;;
    --json) json=$2; shift 2 ;;
    --run-scans) run_scans=$2; shift 2 ;;
    --runs-json) runs_json=$2; shift 2 ;;
    --quick) min_time=0.001; repetitions=1; run_scans=10; shift ;;
    *) echo "Unknown option $1" >&2; exit 2 ;;
  esac
done

scripts/deps.sh libbenchmark-dev jq git
launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DWQREPOS_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target benchmarks wqrepos

programs=("$build"/benchmarks/*)
[ -x "${programs[0]}" ] || { echo "No benchmark programs in $build/benchmarks" >&2; exit 1; }
raw=()
for program in "${programs[@]}"; do
  out="$build/$(basename "$program").json"
  "$program" --benchmark_filter="$filter" --benchmark_min_time="$min_time" \
    --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
    --benchmark_out="$out" --benchmark_out_format=json >/dev/null
  raw+=("$out")
done

# Medians per benchmark (a single run is its own median), then module and baseline side by side.
jq -s '
  [ .[].benchmarks[]
    | select(.run_type == "iteration" and ((.repetitions // 1) == 1) or .aggregate_name == "median")
    | { name: .run_name,
        us: ((if (.run_name | endswith("/real_time")) then .real_time else .cpu_time end)
             * ({"ns": 1e-3, "us": 1, "ms": 1e3, "s": 1e6}[.time_unit])) } ]
  | map(.name |= sub("/real_time$"; "")) as $all
  | ($all | map({ key: .name, value: .us }) | from_entries) as $time
  | [ $all[]
      | select(.name | test("/Baseline(/|$)") | not)
      | (.name | sub("/Module(?<rest>/|$)"; "\(.rest)") | sub("/$"; "")) as $operation
      | (.name | sub("/Module(?<rest>/|$)"; "/Baseline\(.rest)")) as $baseline
      | { operation: $operation, module_us: .us }
        + (if (.name | test("/Module(/|$)")) and $time[$baseline]
           then { baseline_us: $time[$baseline], ratio: (.us / $time[$baseline]) } else {} end) ]
  | sort_by(.operation)
' "${raw[@]}" > "$json"

jq -r '
  def fixed(digits): . * pow(10; digits) | round / pow(10; digits) | tostring;
  (["operation", "module us", "baseline us", "ratio"] | @tsv),
  (.[] | [.operation, (.module_us | fixed(1)), (.baseline_us // "" | if . == "" then . else fixed(1) end),
          (.ratio // "" | if . == "" then . else fixed(2) end)] | @tsv)
' "$json" | column -t -s $'\t'
echo "JSON: $json"

[ "$run_scans" -gt 0 ] || exit 0
tool=$build/bin/wqrepos
runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
"$tool" generate-run "$runs/run.dat" --scans "$run_scans" --high-mz 2099.9 >/dev/null
"$tool" convert "$runs/run.dat" -o "$runs/run.mzML" >/dev/null
rm "$runs/run.dat"
peer=
command -v PeakPickerHiRes >/dev/null && peer=yes
[ -n "$peer" ] ||
  echo "OpenMS's PeakPickerHiRes (Debian package topp) is not installed: its rows are left out." >&2

# One run of a command: its CPU seconds and peak resident kilobytes, as a JSON object appended to
# the file named NAME in $runs. A failing command fails the benchmark.
measure() {
  local name=$1
  shift
  /usr/bin/time -f '%U %S %M' -o "$runs/time" "$@" >/dev/null 2>"$runs/err" ||
    { cat "$runs/err" "$runs/time" >&2; exit 1; }
  read -r user system kilobytes <"$runs/time"
  echo "{\"cpu\": $(jq -n "$user + $system"), \"kilobytes\": $kilobytes}" >>"$runs/$name"
}
for _ in $(seq "$repetitions"); do
  measure run-info "$tool" run-info "$runs/run.mzML"
  measure export "$tool" export "$runs/run.mzML"
  [ -z "$peer" ] || measure peer PeakPickerHiRes -in "$runs/run.mzML" -out "$runs/picked.mzML" \
    -algorithm:signal_to_noise 2 -threads 1
done
for name in run-info export peer; do [ -f "$runs/$name" ] || : >"$runs/$name"; done

jq -n --argjson bytes "$(stat -c %s "$runs/run.mzML")" --argjson scans "$run_scans" \
  --slurpfile info "$runs/run-info" --slurpfile export "$runs/export" --slurpfile peer "$runs/peer" '
  def median: sort | if length == 0 then null else .[(length - 1) / 2 | floor] end;
  def row($runs): { cpu_s: ($runs | map(.cpu) | median),
                    peak_mib: ($runs | map(.kilobytes / 1024) | median) };
  { run: { scans: $scans, points: 20000, bytes: $bytes },
    run_info: (row($info) + { mb_per_cpu_s: ($bytes / 1e6 / ($info | map(.cpu) | median)) }),
    export: row($export) }
  + (if ($peer | length) > 0
     then { peak_picker_hires: row($peer),
            export_share: ([range($peer | length)] | map($export[.].cpu / $peer[.].cpu) | median) }
     else {} end)
' >"$runs_json"

echo
jq -r '"mzML run of \(.run.scans) scans x \(.run.points) points, \(.run.bytes / 1e6 | round) MB"' \
  "$runs_json"
jq -r '
  def fixed(digits): . * pow(10; digits) | round / pow(10; digits) | tostring;
  (["operation", "cpu s", "peak MiB", "note"] | @tsv),
  (["run-info", (.run_info.cpu_s | fixed(2)), (.run_info.peak_mib | fixed(1)),
    "\(.run_info.mb_per_cpu_s | fixed(0)) MB/s"] | @tsv),
  (["export", (.export.cpu_s | fixed(2)), (.export.peak_mib | fixed(1)),
    (if .export_share then "\(.export_share | fixed(2)) of PeakPickerHiRes" else "" end)] | @tsv),
  (if .peak_picker_hires then
     ["PeakPickerHiRes", (.peak_picker_hires.cpu_s | fixed(2)),
      (.peak_picker_hires.peak_mib | fixed(1)), "S/N 2, 1 thread"] | @tsv
   else empty end)
' "$runs_json" | column -t -s $'\t'
echo "JSON: $runs_json"
