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
#   --min-time SECONDS   least time per benchmark and repetition (default 0.5)
#   --repetitions N      interleaved repetitions whose median is taken (default 5)
#   --filter REGEX       only the benchmarks that match
#   --json FILE          where the table goes as JSON
#   --quick              a single short pass, only to prove that everything still runs
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench
min_time=0.5
repetitions=5
filter=.
json=$build/bench.json
while [ $# -gt 0 ]; do
  case "$1" in
    --min-time) min_time=$2; shift 2 ;;
    --repetitions) repetitions=$2; shift 2 ;;
    --filter) filter=$2; shift 2 ;;
    --json) json=$2; shift 2 ;;
    --quick) min_time=0.001; repetitions=1; shift ;;
    *) echo "Unknown option $1" >&2; exit 2 ;;
  esac
done

scripts/deps.sh libbenchmark-dev jq
launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DWQREPOS_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target benchmarks

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
