#!/bin/bash
# Installs what Nudger needs, builds everything with warnings as errors and
# runs the whole test suite headless (unit tests offscreen, real-window tests
# on a private X server).
#
#   bash tools/test.sh [BUILD_DIR]     (default: build-ci-run in the checkout)
#
# NUDGER_SKIP_INSTALL=1 skips the package step.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-ci-run}

if [[ "${NUDGER_SKIP_INSTALL:-}" != 1 ]]; then
    source "$root/tools/deps.sh"
    nudger_install_deps
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DNUDGER_WERROR=ON
cmake --build "$build" -j "$jobs"

# Headless: nothing may reach a desktop the caller happens to have.
unset DISPLAY WAYLAND_DISPLAY
cd "$build"
ctest --output-on-failure -j "$jobs"
