#!/usr/bin/env bash
# Fuzzes the engine's problem reader and the graph's plot-file reader with libFuzzer (clang) for a
# while each; inputs that reach new code are added to the corpora in tests/data/fuzz/, which the
# tests replay. Needs an existing build (for the generated table definitions).
# Usage: tools/fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-120}"
out=build-fuzz
mkdir -p "$out"
sources=(engine/ProblemInput.cpp engine/Slope.cpp engine/Methods.cpp engine/Analysis.cpp format/NumberFormat.cpp)
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -I. "${sources[@]}" \
    tests/fuzz/fuzz_engine_reader.cpp -o "$out/fuzz_engine_reader"
corpus=tests/data/fuzz/engine-reader
mkdir -p "$corpus"
for f in resources/examples/*.sl4d; do cp -n "$f" "$corpus/seed-$(basename "$f")" || true; done
"$out/fuzz_engine_reader" -max_total_time="$seconds" -max_len=4096 -timeout=5 "$corpus"

# The plot reader lives in the Qt core library: build that part with clang as well.
qt_flags=$(pkg-config --cflags --libs Qt6Core Qt6Gui)
core=(format/NumberFormat.cpp base/Units.cpp model/TableSet.cpp tables/ColStream.cpp tables/ColumnTypes.cpp
      tables/Evaluator.cpp tables/Table.cpp tables/TableDefinitions.cpp build/tables/BundledDefinitions.cpp
      graph/PlotModel.cpp)
# shellcheck disable=SC2086
clang++ -std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -I. "${core[@]}" tests/fuzz/fuzz_plot_reader.cpp \
    $qt_flags -o "$out/fuzz_plot_reader"
plots=tests/data/fuzz/plot-reader
mkdir -p "$plots"
for f in tests/data/plots/*.sl4p; do [ -f "$f" ] && cp -n "$f" "$plots/seed-$(basename "$f")"; done
"$out/fuzz_plot_reader" -max_total_time="$seconds" -max_len=8192 -timeout=5 "$plots"
