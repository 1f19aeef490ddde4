#!/usr/bin/env bash
# Builds the concurrency tests with ThreadSanitizer into build-tsan and runs them; any report
# fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DWQREPOS_SANITIZE=thread >/dev/null
cmake --build build-tsan -j2 --target WQReposConcurrencyTests
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --test-dir build-tsan --output-on-failure --timeout 600 -R ConcurrencyTest
