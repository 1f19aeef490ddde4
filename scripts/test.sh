#!/usr/bin/env bash
# Builds everything and runs every test, then installs the library into a temporary prefix and
# builds and runs the example consumer against it (scripts/example.sh). With --sanitize, builds
# into build-sanitize with AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails
# the run, and leaves the installed package out.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  options=(-DCMAKE_BUILD_TYPE=Debug -DWQREPOS_SANITIZE=address)
  export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
fi

# The tests give the library its configuration through the file beside it.
unset WQREPOS_CONFIG

scripts/deps.sh
cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" -j2 --output-on-failure --timeout 300
if [ "$build" = build ]; then
  scripts/example.sh "$build"
fi
