#!/usr/bin/env bash
# Fuzzes the engine's problem reader with libFuzzer (clang) for a while; new inputs that reach new
# code are added to the corpus in tests/data/fuzz/engine-reader, which the engine tests replay.
# Usage: tools/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-120}"
out=build-fuzz
mkdir -p "$out"
sources=(engine/ProblemInput.cpp engine/Slope.cpp engine/Methods.cpp engine/Analysis.cpp model/NumberFormat.cpp)
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -I. "${sources[@]}" \
    tests/fuzz/fuzz_engine_reader.cpp -o "$out/fuzz_engine_reader"
corpus=tests/data/fuzz/engine-reader
mkdir -p "$corpus"
for f in resources/examples/*.sl4d; do cp -n "$f" "$corpus/seed-$(basename "$f")" || true; done
"$out/fuzz_engine_reader" -max_total_time="$seconds" -max_len=4096 -timeout=5 "$corpus"
