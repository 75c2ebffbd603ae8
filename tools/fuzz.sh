#!/usr/bin/env bash
# Fuzzes every parser with libFuzzer (clang, with AddressSanitizer and UndefinedBehaviorSanitizer)
# for a while each. Inputs that reach new code are kept; afterwards each corpus in
# tests/data/fuzz/<target>/ is minimised, and the tests replay it (FuzzCorpus.<target>).
# Usage: tools/fuzz.sh [seconds per target] [target ...]
# Targets: engine_reader names run_options problem_reader plot_reader column_stream evaluator word_reader chart_import
# run_summary study_file
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
DIZIROVI_PACKAGES+=(clang libclang-rt-dev)
dizirovi_install_packages

seconds="${1:-300}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
    targets=(engine_reader names run_options problem_reader plot_reader column_stream evaluator word_reader chart_import
        run_summary study_file)

out=build-fuzz
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
if [ ! -f "$out/CMakeCache.txt" ]; then
    cmake -S . -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
        -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" -DDIZIROVI_FUZZ=ON \
        -DDIZIROVI_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$out" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
failed=()
for t in "${targets[@]}"; do
    corpus="tests/data/fuzz/${t//_/-}"
    found="$(mktemp -d)"
    echo "== fuzz_$t for ${seconds}s on $corpus"
    # A crash leaves its input as crash-* here and stops this target; the others still run.
    if ! "$out/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
        -print_final_stats=1 "$found" "$corpus"; then
        failed+=("$t")
    fi
    # Minimise: keep the smallest set of inputs that covers what the corpus and the new finds cover.
    merged="$(mktemp -d)"
    "$out/bin/fuzz_$t" -merge=1 -timeout=10 -rss_limit_mb=2048 "$merged" "$corpus" "$found" 2>/dev/null
    # Inputs with names of their own (seeds, former crashes) stay; the rest are replaced.
    if [ -n "$(ls -A "$merged")" ]; then
        find "$corpus" -maxdepth 1 -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
        for f in "$merged"/*; do
            [ -e "$corpus/$(basename "$f")" ] || cp "$f" "$corpus"/
        done
    fi
    rm -rf "$found" "$merged"
    echo "== $corpus: $(ls "$corpus" | wc -l) inputs"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Failed: ${failed[*]} (inputs in crash-*, leak-* or timeout-* files here)"
    exit 1
fi
