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
src=(tools/fuzz/fuzz_wine_reader.cpp registry/platform/wine/WineRegReader.cpp
     registry/platform/wine/WineRegWriter.cpp registry/platform/KeyStore.cpp
     registry/platform/RegText.cpp registry/platform/WinRegApi.cpp
     registry/platform/PathWalk.cpp registry/platform/HandleTable.cpp)
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -Iregistry "${src[@]}" -o "$out/fuzz_wine_reader"
cd "$out"
exec ./fuzz_wine_reader -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -dict=../tools/fuzz/wine-reg.dict corpus ../tools/fuzz/corpus
