#!/usr/bin/env bash
# Sets up what is missing, builds, and starts DizirOvi (on the bundled example unless a problem
# file is named).
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
dizirovi_install_packages
dizirovi_build
problem="${1:-resources/examples/Bishop.sl4d}"
if [ -f "$problem" ]; then
    exec build/bin/dizirovi "$problem"
fi
exec build/bin/dizirovi
