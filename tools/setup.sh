# Sourced by run.sh and test.sh: installs the Debian packages the build needs, then configures
# and builds into build/. Quiet and quick when everything is already there.
set -euo pipefail

DIZIROVI_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-charts-dev libgl-dev libjpeg-dev
                   fonts-dejavu-core fonts-liberation2 libgtest-dev libgmock-dev libbenchmark-dev
                   clang-format libboost-dev parallel qt6-svg-dev poppler-utils)

dizirovi_install_packages() {
    dizirovi_install_debian_packages
    dizirovi_install_equations
}

dizirovi_install_debian_packages() {
    local missing=()
    for p in "${DIZIROVI_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# The manuals' equations are typeset while they are built by MathJax (npm package mathjax-full, the
# version package-lock.json pins) under Node.js: Debian's nodejs and npm unless a Node.js with npm is
# already there, then the package into tools/equations once.
dizirovi_install_equations() {
    local root sudo=""
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
        echo "Installing: nodejs npm"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq nodejs npm >/dev/null
    fi
    if [ ! -f "$root/tools/equations/node_modules/mathjax-full/package.json" ]; then
        echo "Installing the equation typesetter (MathJax) into tools/equations"
        (cd "$root/tools/equations" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    fi
}

# Builds the targets named (everything when none is named): run.sh builds only what the program
# needs, test.sh everything, so a first start does not wait for tests and benchmarks.
dizirovi_build() {
    local root
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    if [ ! -f "$root/build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --build "$root/build" --parallel "$(nproc)" "${targets[@]}"
}
