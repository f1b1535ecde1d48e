#!/usr/bin/env bash
# Builds the reader's fuzz target with clang and libFuzzer and runs it.
#   tools/fuzz/run.sh [seconds]     (default 600)
# New inputs go to a scratch corpus; the small seed corpus in tools/fuzz/corpus
# stays as it is. Crashes are written to build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-600}
out=build-fuzz
mkdir -p "$out/corpus"
# The whole Qt-free layer below the registry object, so that a file added to it is never missing here.
src=(tools/fuzz/fuzz_wine_reader.cpp registry/win32/*.cpp registry/source/*.cpp registry/wine/*.cpp)
clang++ -std=c++20 -O1 -g -pthread -fsanitize=fuzzer,address,undefined -I. "${src[@]}" -o "$out/fuzz_wine_reader"
cd "$out"
exec ./fuzz_wine_reader -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -dict=../tools/fuzz/wine-reg.dict corpus ../tools/fuzz/corpus
