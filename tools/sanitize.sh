#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer (GCC) into
# build-sanitize/ and runs it; then the engine's and the study's tests, the only code with threads of
# its own, with ThreadSanitizer in build-tsan/. Any sanitizer report fails.
# Usage: tools/sanitize.sh [ctest arguments, e.g. -R Engine]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
dizirovi_install_packages

out=build-sanitize
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1"
if [ ! -f "$out/CMakeCache.txt" ]; then
    cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
        -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" -DDIZIROVI_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$out" --parallel "$(nproc)"

export QT_QPA_PLATFORM=offscreen
unset QT_QPA_PLATFORMTHEME
export QTEST_FUNCTION_TIMEOUT=120000
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$out" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@")

tsan=build-tsan
if [ ! -f "$tsan/CMakeCache.txt" ]; then
    cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="-fsanitize=thread -g -O1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" \
        -DDIZIROVI_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$tsan" --parallel "$(nproc)" --target test_engine test_study
echo "Engine tests under ThreadSanitizer"
TSAN_OPTIONS="halt_on_error=1" DIZIROVI_THREADS=4 "$tsan/bin/test_engine" --gtest_brief=1
# The study runs its samples on threads of its own.
TSAN_OPTIONS="halt_on_error=1" DIZIROVI_THREADS=4 "$tsan/bin/test_study" --gtest_brief=1
