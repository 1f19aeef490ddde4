#!/usr/bin/env bash
# The main job: builds the library and the wqrepos tool, then shows the repository's
# configuration and data directory tree (kept inside the build tree, under build/WQData).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target wqrepos
build/bin/wqrepos info
