#!/bin/bash
# Builds Nudger with AddressSanitizer (with its leak checker) and
# UndefinedBehaviorSanitizer and runs the whole test suite on that build.
#
#   bash tools/sanitize.sh [BUILD_DIR]     (default: build-sanitize)
#
# NUDGER_SKIP_INSTALL=1 skips the package step.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-sanitize}

if [[ "${NUDGER_SKIP_INSTALL:-}" != 1 ]]; then
    source "$root/tools/deps.sh"
    nudger_install_deps
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DNUDGER_WERROR=ON -DNUDGER_SANITIZE=ON
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
unset DISPLAY WAYLAND_DISPLAY
cd "$build"
ctest --output-on-failure -j "$jobs"
