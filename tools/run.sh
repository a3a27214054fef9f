#!/bin/bash
# Installs what Nudger needs, builds it (Release), lays out a start
# directory with the program and its data files, and starts it there.
#
#   bash tools/run.sh [START_DIR]     (default: ~/Nudger)
#
# Nudger keeps its configuration (Nudger.cfg) in its start directory, so a
# start directory that exists keeps its settings; only the program and the
# shipped data files are replaced. NUDGER_SKIP_INSTALL=1 skips the package
# step; NUDGER_BUILD_DIR picks the build directory (default build-release).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
start_dir=${1:-$HOME/Nudger}
build=${NUDGER_BUILD_DIR:-$root/build-release}

if [[ "${NUDGER_SKIP_INSTALL:-}" != 1 ]]; then
    source "$root/tools/deps.sh"
    nudger_install_deps
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target Nudger

mkdir -p "$start_dir"
install -m 755 "$build/Nudger" "$start_dir/Nudger"
[[ -f "$build/nudger.dat" ]] && install -m 644 "$build/nudger.dat" "$start_dir/nudger.dat"
[[ -f "$root/resources/Manual.html" ]] && install -m 644 "$root/resources/Manual.html" "$start_dir/Manual.html"

echo "Starting Nudger in $start_dir"
cd "$start_dir"
exec ./Nudger
