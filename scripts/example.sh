#!/usr/bin/env bash
# Installs the library from a build tree into a temporary prefix, builds the example consumer in
# examples/ against the installed CMake package and runs it with a ConfigClient.xml, named by
# WQREPOS_CONFIG, that keeps its data in a temporary folder; checks that the tool's manual page,
# its bash completion, the version header, the licence and the changelog are installed; then
# compiles the example once more through the pkg-config file. Any failure fails the run.
# Usage: scripts/example.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S examples -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
cmake --build "$work/build" -j2 >/dev/null

sed "s|<BaseDir>.*</BaseDir>|<BaseDir>$work/data</BaseDir>|" \
  "$prefix/share/wqrepos/ConfigClient.xml" >"$work/ConfigClient.xml"
export WQREPOS_CONFIG=$work/ConfigClient.xml
"$work/build/wqrepos_example"
test -f "$work/data/AcqMethod/Example.kem"
"$prefix/bin/wqrepos" check >/dev/null
# What ships beside the tool: its manual page with examples and every variable the tool reads, its
# bash completion, the version header, the licence and the changelog.
man=$prefix/share/man/man1/wqrepos.1
grep -q '^\.TH WQREPOS "1"' "$man" && grep -q '^\.SH EXAMPLES' "$man"
for variable in WQREPOS_CONFIG TMPDIR WQREPOS_TEMPORARY_MAX_AGE; do grep -q "^\.B $variable" "$man"; done
test -f "$prefix/share/doc/WQRepos/LICENSE" && test -f "$prefix/share/doc/WQRepos/CHANGELOG.md"
grep -q '^complete -F _wqrepos wqrepos$' "$prefix/share/bash-completion/completions/wqrepos"
grep -q '^#define WQREPOS_VERSION_STRING "[0-9]*\.[0-9]*\.[0-9]*"$' \
  "$prefix/include/WQRepos/Version.h"

libdir=$(dirname "$(find "$prefix" -name wqrepos.pc)")/..
# shellcheck disable=SC2046 # the flags are separate words
g++ -std=c++17 examples/Example.cpp -o "$work/example-pc" \
  $(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs wqrepos) -Wl,-rpath,"$libdir"
"$work/example-pc" >/dev/null
echo "example: installed, built and run against $prefix"
