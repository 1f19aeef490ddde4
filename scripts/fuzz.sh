#!/usr/bin/env bash
# Fuzzes every reader of the module with libFuzzer (AddressSanitizer and UndefinedBehaviorSanitizer
# on): builds the fuzz target of the readers into build-fuzz with clang, runs each reader for N
# seconds on a scratch copy of its corpus (tests/data/corpus/<reader>, plus its regressions) two
# at a time, the XML readers with the markup of fuzz/xml.dict as a dictionary, the ConfigClient.xml reader alone at
# the end, and prints a line of figures per reader and a total.
# Every input that crashed a reader, ran it out of memory or hung it is kept in
# tests/data/regressions/<reader>/, and the run then fails. The committed corpus never grows.
#
# Usage: scripts/fuzz.sh [--seconds N] [--build-dir DIR]
#   --seconds N      fuzzing time of each reader (default 30: 36 readers take about 9 minutes)
#   --build-dir DIR  build directory (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "Usage: scripts/fuzz.sh [--seconds N] [--build-dir DIR]" >&2
  exit 2
}

seconds=30
build=build-fuzz
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) [ $# -ge 2 ] || usage; seconds=$2; shift 2 ;;
    --build-dir) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
    *) usage ;;
  esac
done
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || usage

# The compiler and its libFuzzer runtime besides what the build needs.
scripts/deps.sh clang libclang-rt-14-dev

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWQREPOS_SANITIZE=fuzz -DWQREPOS_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target WQFuzzTargets >/dev/null

mapfile -t readers < <("$build/fuzz/MakeCorpus" --readers)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Left behind only when the ConfigClient.xml reader was stopped part-way; the other readers must
# find none.
rm -f "$build/testlib/ConfigClient.xml"

# The inputs of `folder`, hidden files (.gitkeep) left out.
inputs() { find "$1" -maxdepth 1 -type f ! -name '.*' 2>/dev/null; }

fuzz() {
  local reader=$1 work="$scratch/$1"
  mkdir -p "$work/corpus" "$work/artifacts"
  { inputs "tests/data/corpus/$reader"; inputs "tests/data/regressions/$reader"; } |
    xargs -r cp -t "$work/corpus"
  local status=0 dictionary=()
  case $reader in
    system_configuration | spectrum_data_info | autotune_xml | config_client)
      dictionary=(-dict=fuzz/xml.dict) ;;
  esac
  WQFUZZ_READER=$reader "$build/fuzz/fuzz_reader" -max_total_time="$seconds" -malloc_limit_mb=64 -rss_limit_mb=1024 \
    -timeout=5 -print_final_stats=1 "${dictionary[@]}" -artifact_prefix="$work/artifacts/" \
    "$work/corpus" >"$work/log" 2>&1 || status=$?
  echo "$status" >"$work/status"
}

count() { find "$1" -maxdepth 1 -type f \( -name "$2" -o -name "${3:-$2}" \) | wc -l; }

total_executions=0 total_corpus=0 total_crashes=0 total_ooms=0 total_timeouts=0 failed=0
report() {
  local reader=$1 work="$scratch/$1"
  local executions corpus crashes ooms timeouts status
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  executions=${executions:-0}
  corpus=$(count "$work/corpus" '*')
  crashes=$(count "$work/artifacts" 'crash-*' 'leak-*')
  ooms=$(count "$work/artifacts" 'oom-*')
  timeouts=$(count "$work/artifacts" 'timeout-*')
  status=$(cat "$work/status")
  echo "$reader: $executions executions, corpus $corpus files, $crashes crashes," \
    "$ooms out-of-memory, $timeouts time-outs"
  if [ $((crashes + ooms + timeouts)) -gt 0 ]; then
    mkdir -p "tests/data/regressions/$reader"
    find "$work/artifacts" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' \
      -o -name 'oom-*' -o -name 'timeout-*' \) -exec mv -t "tests/data/regressions/$reader" {} +
    echo "  kept in tests/data/regressions/$reader; the fuzzer's report:"
    grep -E '^(==[0-9]+==|SUMMARY|.*runtime error|    #[0-9]+ )' "$work/log" | head -n 24 |
      sed 's/^/    /'
    failed=1
  elif [ "$status" -ne 0 ]; then
    echo "  the fuzzer stopped with status $status and no artifact:"
    tail -n 20 "$work/log" | sed 's/^/    /'
    failed=1
  fi
  total_executions=$((total_executions + executions))
  total_corpus=$((total_corpus + corpus))
  total_crashes=$((total_crashes + crashes))
  total_ooms=$((total_ooms + ooms))
  total_timeouts=$((total_timeouts + timeouts))
}

# Two at a time, in the listed order; the ConfigClient.xml reader writes beside the library that
# every fuzz target loads, so it runs alone once the others are done.
others=()
for reader in "${readers[@]}"; do
  [ "$reader" = config_client ] || others+=("$reader")
done
for ((i = 0; i < ${#others[@]}; i += 2)); do
  pair=("${others[@]:i:2}")
  for reader in "${pair[@]}"; do fuzz "$reader" & done
  wait
  for reader in "${pair[@]}"; do report "$reader"; done
done
fuzz config_client
report config_client

echo "total: $total_executions executions, corpus $total_corpus files, $total_crashes crashes," \
  "$total_ooms out-of-memory, $total_timeouts time-outs"
exit "$failed"
