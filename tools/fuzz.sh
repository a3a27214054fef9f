#!/bin/bash
# Builds the libFuzzer targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#
#   bash tools/fuzz.sh [SECONDS_EACH] [BUILD_DIR]   (default: 20, build-fuzz)
#
# Fails on the first finding; the crashing input is left in the build
# directory's fuzz-findings folder. NUDGER_SKIP_INSTALL=1 skips the package step.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-20}
build=$(realpath -m "${2:-$root/build-fuzz}")

if [[ "${NUDGER_SKIP_INSTALL:-}" != 1 ]]; then
    source "$root/tools/deps.sh"
    nudger_install_deps
fi

targets=(fuzz_unscramble fuzz_config_load fuzz_text_to_font fuzz_text_to_color fuzz_text_to_datetime)
cmake -S "$root" -B "$build" -DNUDGER_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"

findings="$build/fuzz-findings"
mkdir -p "$findings"
for target in "${targets[@]}"; do
    corpus="$build/fuzz-corpus/$target"
    mkdir -p "$corpus"
    log="$build/fuzz-$target.log"
    if ! (cd "$findings" && "$build/fuzz/$target" -max_total_time="$seconds" \
            -rss_limit_mb=2048 -print_final_stats=1 "$corpus") >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz: $target found a fault (input kept in $findings)"
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $target clean for $seconds s, ${runs:-?} executions"
done
