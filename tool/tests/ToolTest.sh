#!/bin/bash
# The wqrepos tool's exit codes and messages, one suite of groups in tool/tests/tool, run in this
# order on one shared state: each group's files and data directories are the next one's. The
# library reads the ConfigClient.xml beside its own file, so a copy of it is loaded from a
# temporary folder whose ConfigClient.xml names the data directory of each case. CORPUS holds files
# that the module writes (tests/data/corpus). COMPLETION is the tool's bash completion; SAMPLE the
# README's picture, which scripts/main.sh draws; SPECTRA the measured runs of the data-file
# library's tests.
# Usage: ToolTest.sh TOOL LIBRARY VERSION CORPUS COMPLETION SAMPLE SPECTRA
set -u
# shellcheck disable=SC2034 # the groups use them
tool=$1 library=$2 version=$3 corpus=$4 completion=$5 sample=$6 spectra=$7
groups=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/lib" && cp -L "$library" "$work/lib/"
export LD_LIBRARY_PATH=$work/lib
unset WQREPOS_CONFIG
# shellcheck disable=SC2034 # the groups use it
data=$work/data
passed=0 failed=0

use_base_dir() {
  printf '<AcqClient><BaseDir>%s</BaseDir></AcqClient>\n' "$1" >"$work/lib/ConfigClient.xml"
}

# result STATUS: counts a check; a failed one is named by the line of its group's file.
result() {
  if [[ $1 == 0 ]]; then
    passed=$((passed + 1))
    return
  fi
  failed=$((failed + 1))
  local frame
  for ((frame = 1; frame < ${#FUNCNAME[@]}; ++frame)); do
    [[ ${FUNCNAME[frame]} == source ]] && break
  done
  echo "FAIL: the check before line ${BASH_LINENO[frame - 1]} of ${BASH_SOURCE[frame]##*/tests/}"
}

# expect CODE TEXT ARGUMENT...: the tool exits with CODE and prints TEXT on either stream.
expect() {
  local code=$1 text=$2 out rc
  shift 2
  out=$("$tool" "$@" 2>&1)
  rc=$?
  if [[ $rc == "$code" && $out == *"$text"* ]]; then
    result 0
  else
    result 1
    printf 'FAIL: wqrepos %s: exit %s, expected %s and "%s"; got:\n%s\n' "$*" "$rc" "$code" \
      "$text" "$out"
  fi
}

# peak_memory ARGUMENT...: the peak memory in KiB of the tool run with them.
peak_memory() {
  ASAN_OPTIONS=${ASAN_OPTIONS:-}:quarantine_size_mb=1 /usr/bin/time -f %M -o "$work/memory" \
    "$tool" "$@" >/dev/null 2>&1
  tail -1 "$work/memory" # after a line on the exit status, when it is not 0
}

for group in usage runs check plot convert completion damaged import records history; do
  # shellcheck source=/dev/null # one file per group
  source "$groups/$group.sh"
done

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
