#!/bin/bash
# Starts and quits the real program fifty times in a row; every run must end
# cleanly within a few seconds of being told to.
#
#   e2e_quit.sh NUDGER_BINARY CONFIG_TOOL BUILD_DIR
#
# Forty runs open a prepared start directory and are closed the way a
# window manager closes a window; every second one is closed while the
# nudge sound loops. Ten runs start in a bare start directory and leave by
# Abort in the first settings step: the information box, the settings dialog
# (cancelled) and then Abort in the error box.
set -uo pipefail

nudger=$(realpath "$1")
config_tool=$(realpath "$2")
build_dir=$(realpath "$3")
e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/pulse_env.sh"
command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit 77; }

normal_runs=${NUDGER_QUIT_NORMAL_RUNS:-40}
abort_runs=${NUDGER_QUIT_ABORT_RUNS:-10}
start_seconds=10 # from start to the first window
exit_seconds=5   # from the last answer to the end of the process

work=$(mktemp -d "${TMPDIR:-/tmp}/nudger-e2e-quit.XXXXXX")
nudger_on_exit "rm -rf '$work'"
[[ -f "$build_dir/nudger.dat" ]] || nudger_fail "no nudger.dat in $build_dir"

pid=
# shellcheck disable=SC2016 # expanded when the script ends
nudger_on_exit '[[ -n "$pid" ]] && kill -9 "$pid" 2>/dev/null'

# Polls for a visible window with a title matching the pattern; prints its id.
wait_for_window()
{
    local pattern=$1 seconds=$2 ids tries=0
    until ids=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
        ((++tries > seconds * 20)) && return 1
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
    head -n1 <<<"$ids"
}

# Gives a window the keyboard (there is no window manager to do it) and
# types the keys into it.
answer()
{
    xdotool windowfocus --sync "$1" && shift && xdotool key --delay 50 "$@"
}

# Titles of the visible windows, for a failure message.
visible_windows()
{
    xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|'
}

# How many of the program's streams are playing (not corked) into the sink.
program_streams()
{
    pactl list sink-inputs 2>/dev/null | awk '
        /^Sink Input/ { if (binary == "Nudger" && !corked) n++; binary = ""; corked = 0 }
        /Corked: yes/ { corked = 1 }
        /application.process.binary = / { gsub(/"/, "", $3); binary = $3 }
        END { if (binary == "Nudger" && !corked) n++; print n + 0 }'
}

start_program()
{
    local dir=$1
    (cd "$dir" && exec "$nudger") >"$work/run.log" 2>&1 &
    pid=$!
}

# Ends the run: waits for the process and judges its end. Returns 0 when it
# ended by itself with status 0, or else sets message.
finish_run()
{
    local what=$1
    if ! nudger_wait_for_exit "$pid" "$exit_seconds"; then
        local windows
        windows=$(visible_windows)
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        pid=
        message="$what: still running ${exit_seconds} s later (windows: $windows)"
        return 1
    fi
    pid=
    if [[ "$NUDGER_EXIT_STATUS" != 0 ]]; then
        message="$what: ended with status $NUDGER_EXIT_STATUS; output: $(tr '\n' ' ' <"$work/run.log")"
        return 1
    fi
    return 0
}

# A run that gives up before its end: sets message, returns 1.
give_up()
{
    local windows
    windows=$(visible_windows)
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    pid=
    message="$1 (windows: $windows)"
    return 1
}

# One start in the prepared directory, closed from outside; with "sound" the
# nudge is looping when the close request comes.
normal_run()
{
    local sound=$1 window streams
    if [[ "$sound" == sound ]]; then
        "$config_tool" "$prepared" Interval=300 || { message="$config_tool failed"; return 1; }
    else
        "$config_tool" "$prepared" Interval=60000 || { message="$config_tool failed"; return 1; }
    fi
    start_program "$prepared"
    window=$(wait_for_window '^Nudger$' "$start_seconds") ||
        { give_up "no main window within $start_seconds s"; return 1; }
    if [[ "$sound" == sound ]]; then
        sleep 1
        streams=$(program_streams)
        ((streams >= 1)) || { give_up "no sound playing 1 s after the window showed"; return 1; }
    else
        sleep 0.2
    fi
    nudger_close_window "$window" >/dev/null || { give_up "could not send the close request"; return 1; }
    finish_run "closed $sound"
}

# One start in a bare directory, left by Abort in the first settings step.
abort_run()
{
    local dir=$work/bare-$1 window
    { mkdir "$dir" && cp "$build_dir/nudger.dat" "$dir/"; } || { message="cannot prepare $dir"; return 1; }
    start_program "$dir"
    window=$(wait_for_window '^Information$' "$start_seconds") ||
        { give_up "no information box within $start_seconds s"; return 1; }
    answer "$window" Return || { give_up "could not answer the information box"; return 1; }
    window=$(wait_for_window '^Settings$' 5) || { give_up "no settings dialog"; return 1; }
    answer "$window" Escape || { give_up "could not cancel the settings dialog"; return 1; }
    window=$(wait_for_window '^Error$' 5) || { give_up "no error box"; return 1; }
    # Retry is the default button; the next one is Abort.
    answer "$window" Tab Return || { give_up "could not answer the error box"; return 1; }
    finish_run "abort"
}

prepared=$work/prepared
mkdir "$prepared"
cp "$build_dir/nudger.dat" "$prepared/"
printf 'A line to start from.\n' >"$prepared/text.txt"
"$config_tool" "$prepared" PrimaryFile="$prepared/text.txt" NudgeEnabled=YES SoundEnabled=YES ||
    nudger_fail "$config_tool could not prepare $prepared"

passed=0
failed=0
record()
{
    local name=$1 started=$2 message=$3 status=$4
    local took
    took=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
    if ((status == 0)); then
        passed=$((passed + 1))
        echo "ok $name (${took} s)"
    else
        failed=$((failed + 1))
        echo "FAIL $name (${took} s): $message" >&2
    fi
}

echo "DISPLAY=$DISPLAY"
for ((run = 1; run <= normal_runs; run++)); do
    kind=quiet
    ((run % 2 == 0)) && kind=sound
    started=$(date +%s.%N)
    message=
    normal_run "$kind"
    record "run $run ($kind)" "$started" "$message" $?
done
for ((run = 1; run <= abort_runs; run++)); do
    started=$(date +%s.%N)
    message=
    abort_run "$run"
    record "abort run $run" "$started" "$message" $?
done

echo "quit: $passed passed, $failed failed"
((failed == 0)) || exit 1
