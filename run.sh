#!/usr/bin/env bash
# Sets up what is missing, builds, and starts DizirOvi: on the problem file named, or on the user's
# copy of the bundled Bishop example (copied on first use into "DizirOvi Examples" in the user's
# documents folder, so a run never writes into the source tree).
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
dizirovi_install_packages
dizirovi_build
if [ $# -gt 0 ]; then
    exec build/bin/dizirovi "$1"
fi
examples="$(build/bin/dizirovi-cli examples)"
exec build/bin/dizirovi "$examples/Bishop.sl4d"
