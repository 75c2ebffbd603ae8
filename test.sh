#!/usr/bin/env bash
# Sets up what is missing, builds, checks the source format and runs every test offscreen.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
dizirovi_install_packages
dizirovi_build

echo "Checking source format"
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
if [ ${#sources[@]} -gt 0 ]; then
    clang-format --dry-run --Werror "${sources[@]}"
fi

export QT_QPA_PLATFORM=offscreen
unset QT_QPA_PLATFORMTHEME
export QTEST_FUNCTION_TIMEOUT=60000
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
