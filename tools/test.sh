#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds everything, runs every test and
# fuzzes the file reader.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
tools/check-format.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 1200
cd ..
# A minute of fuzzing the registry file reader; an input that crashes it fails the run.
tools/fuzz/run.sh 60
