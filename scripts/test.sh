#!/usr/bin/env bash
# Installs what is needed, builds the kit and runs every test: the full suite on the
# default build, the unit tests and fuzz targets on the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" -LE 'e2e|bench'
