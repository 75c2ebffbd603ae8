#!/usr/bin/env bash
# Sets up what is missing, builds, and starts DizirOvi: on the problem file named, or on the user's
# copy of the bundled Bishop example (copied on first use into "DizirOvi Examples" in the user's
# documents folder, so a run never writes into the source tree).
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
dizirovi_install_packages
# The program, the engine beside it, the command-line tool (it copies the examples) and the
# documents the Help menu opens; test.sh builds the rest.
dizirovi_build dizirovi dizirovi-cli manuals
if [ $# -gt 0 ]; then
    exec build/bin/dizirovi "$1"
fi
examples="$(build/bin/dizirovi-cli examples)"
exec build/bin/dizirovi "$examples/Bishop.sl4d"
