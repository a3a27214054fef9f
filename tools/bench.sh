#!/bin/bash
# Runs every benchmark and prints one report: each figure beside the baseline
# measured in the same run and its target, then a summary. Exits non-zero
# when any figure misses its target.
#
#   bash tools/bench.sh [BUILD_DIR]         install, build (Release), run
#   bash tools/bench.sh --no-build BUILD    run what BUILD already holds
#   bash tools/bench.sh --soak [MINUTES] [--no-build] [BUILD_DIR]
#                                           only the soak (default 10 minutes;
#                                           not part of CI): bench/soak.py;
#                                           NUDGER_SOAK_WRAPPER="heaptrack -o F"
#                                           runs the program under heaptrack
#
# The sound figure is taken with the nudge sound really playing, into a
# private PulseAudio null sink.
#
# Each figure is the median of alternated rounds of the subject and its
# baseline, printed with the rounds' spread (bench/Rounds.h). Where the user
# may raise a program's priority (root), each benchmark runs in a session of
# its own with a raised priority (nice -10 for the session's scheduling
# group and for the program), so that a build running beside it waits
# rather than the measured programs. With the kernel's automatic session
# groups a plain nice would count only against this session's own work.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
soak_minutes=
if [[ "${1:-}" == --soak ]]; then
    shift
    soak_minutes=10
    if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
        soak_minutes=$1
        shift
    fi
    ((soak_minutes >= 1)) || { echo "the soak lasts at least one minute" >&2; exit 2; }
fi
build_first=1
if [[ "${1:-}" == --no-build ]]; then
    build_first=0
    shift
fi
build=$(realpath -m "${1:-$root/build-release}")

if [[ $build_first == 1 ]]; then
    if [[ "${NUDGER_SKIP_INSTALL:-}" != 1 ]]; then
        source "$root/tools/deps.sh"
        nudger_install_deps
    fi
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release || exit 1
    cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target bench_programs || exit 1
fi

if [[ -n "$soak_minutes" ]]; then
    # The soak needs a private X server and sound server, as the real-sound
    # tests do, and Debian's own Python with python3-xlib.
    (
        source "$root/tests/e2e/xvfb_env.sh"
        source "$root/tests/e2e/pulse_env.sh"
        /usr/bin/python3 "$root/bench/soak.py" "$build/Nudger" "$build/nudger_config" \
            "$build/nudger.dat" "$soak_minutes"
    )
    exit
fi

list="$build/bench/benchmarks.txt"
[[ -f "$list" ]] || { echo "no benchmark list at $list: build first" >&2; exit 1; }

launch=()
if [[ "$(nice -n -10 nice 2>/dev/null)" == -10 ]] && command -v setsid >/dev/null; then
    # setsid runs the program as the leader of a new session (a background
    # job is no group leader, so setsid needs no fork): its id names the
    # session's process group.
    launch=(setsid bash -c 'echo -10 >/proc/self/autogroup 2>/dev/null; exec nice -n -10 "$@"'
        launch)
fi

run_all()
{
    local report=$1 program name status output running=
    output=$(mktemp)
    : >"$report"
    cd "$build" || return
    export QT_QPA_PLATFORM=offscreen
    # Interrupted, the report stops the running benchmark with it.
    trap '[[ -n "$running" ]] && { kill -- "-$running" || kill "$running"; } 2>/dev/null
          rm -f "$output"; exit 130' INT TERM
    while read -r program; do
        [[ -n "$program" ]] || continue
        name=$(basename "$program")
        echo "== $name"
        "${launch[@]}" "$program" >"$output" 2>&1 </dev/null &
        running=$!
        wait "$running"
        status=$?
        running=
        grep -v -e '^QStandardPaths:' -e 'propagateSizeHints' "$output"
        echo "$name $status" >>"$report"
        echo
    done <"$list"
    rm -f "$output"
}

report=$(mktemp)
trap 'rm -f "$report"' EXIT
echo "Nudger benchmarks: each figure beside its baseline from the same run, the median of"
if [[ ${#launch[@]} -gt 0 ]]; then
    echo "alternated rounds with the rounds' spread (each in a session of its own at nice -10)"
else
    echo "alternated rounds with the rounds' spread"
fi
echo
# A private sound server, when there is one to start, so that the sound is
# really played while its cost is measured.
( source "$root/tests/e2e/pulse_env.sh" >/dev/null 2>&1 && run_all "$report" )
[[ -s "$report" ]] || run_all "$report"

met=0 missed=0 names=()
while read -r name status; do
    if [[ $status == 0 ]]; then
        ((++met))
    else
        ((++missed))
        names+=("$name")
    fi
done <"$report"
echo "benchmarks: $met met, $missed missed${names:+ (${names[*]})}"
[[ $missed == 0 ]]
