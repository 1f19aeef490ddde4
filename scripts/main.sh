#!/usr/bin/env bash
# The main job: builds the library and the wqrepos tool, shows the repository's configuration and
# data directory tree (kept inside the build tree, under build/WQData), then generates a synthetic
# calibration run into its data directory (the same file every time), exports it as a centroid
# document, showing what was written, and draws the spectrum of its middle scan as the export
# sees it into docs/sample-spectrum.svg, the picture in the README.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target wqrepos
build/bin/wqrepos init
echo
run=build/WQData/Data/SampleCalibration.dat
build/bin/wqrepos generate-run "$run" --scans 120 --run-number 1 --force
build/bin/wqrepos export "$run"
build/bin/wqrepos plot "$run" --scan 60 -o docs/sample-spectrum.svg
