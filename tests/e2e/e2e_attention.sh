#!/bin/bash
# The nudge reaches a writer who has gone to another window. Under a window
# manager (openbox) on the private X server, with another program's window
# active, a nudge marks the main window as demanding attention
# (_NET_WM_STATE_DEMANDS_ATTENTION) within two intervals, while the keyboard
# focus stays with the other window and the main window stays below it. The
# mark goes once the writer activates the main window. Then the writer
# leaves it minimized: the next nudge marks it again and leaves it
# minimized. (A minimized window does not repaint, so nothing else sends
# the request to the window manager on its way.) Skips (77) only when
# openbox cannot start.
#
#   e2e_attention.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/e2e_common.sh"

interval_ms=1500
started=$(date +%s%N)

# openbox in a home of its own, without a session manager; it is up once it
# names itself on the root window.
if ! command -v openbox >/dev/null 2>&1; then
    echo "SKIP: openbox is not installed (apt-get install openbox)"
    exit "$NUDGER_SKIP"
fi
mkdir "$NUDGER_WORK/wm-home"
HOME="$NUDGER_WORK/wm-home" openbox --sm-disable >"$NUDGER_WORK/openbox.log" 2>&1 &
wm=$!
nudger_on_exit "kill $wm 2>/dev/null; wait $wm 2>/dev/null"
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if ! kill -0 "$wm" 2>/dev/null || ((++tries > 100)); then
        echo "SKIP: openbox did not start:"
        tail -n 5 "$NUDGER_WORK/openbox.log"
        exit "$NUDGER_SKIP"
    fi
    sleep 0.1
done

# Window ids in decimal, as xdotool prints them.
active_window() { printf '%d' "$(xprop -root -notype _NET_ACTIVE_WINDOW | awk '{ print $NF }')"; }
demands_attention() { xprop -id "$1" -notype _NET_WM_STATE | grep -q _NET_WM_STATE_DEMANDS_ATTENTION; }
# True when the first window lies above the second in the window manager's
# stacking order (bottom to top).
stacked_above()
{
    local id upper_at=-1 lower_at=-1 at=0
    for id in $(xprop -root -notype _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*'); do
        (($(printf '%d' "$id") == $1)) && upper_at=$at
        (($(printf '%d' "$id") == $2)) && lower_at=$at
        ((++at))
    done
    ((lower_at >= 0 && upper_at > lower_at))
}
# Fails as soon as the main window has the keyboard, or is raised above the
# other program's window or out of its minimized state.
main_minimized=0
left_alone()
{
    local focus
    focus=$(xdotool getwindowfocus)
    [[ "$focus" != "$main" && "$(active_window)" != "$main" ]] ||
        nudger_fail "the keyboard moved to the main window by itself (focus $focus)"
    if ((main_minimized)); then
        xprop -id "$main" WM_STATE | grep -q 'window state: Iconic' ||
            nudger_fail "the minimized main window was restored"
    else
        stacked_above "$other" "$main" || nudger_fail "the main window was raised above the other window"
    fi
}
# Waits, watching that the main window is left alone, until a nudge has
# marked it; prints the milliseconds it took.
wait_for_mark()
{
    local from tries=0
    from=$(date +%s%N)
    until demands_attention "$main"; do
        left_alone
        ((++tries > 2 * interval_ms / 50 + 40)) &&
            nudger_fail "no demands-attention mark within two intervals and two seconds"
        sleep 0.05
    done
    left_alone
    echo $((($(date +%s%N) - from) / 1000000))
}

nudger_new_start_dir start PrimaryFile="$NUDGER_WORK/text.txt" Interval=$interval_ms \
    SoundEnabled=NO AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)

# The writer goes to another program.
xmessage -title Elsewhere "Another program" &
other_pid=$!
nudger_on_exit "kill $other_pid 2>/dev/null"
other=$(nudger_window '^Elsewhere$')
xdotool windowactivate --sync "$other"
[[ "$(active_window)" == "$other" ]] || nudger_fail "could not activate the other window"
took=$(wait_for_mark)
echo "marked $took ms after the writer left"

# Back in the main window, the mark goes.
xdotool windowactivate --sync "$main"
tries=0
while demands_attention "$main"; do
    ((++tries > 40)) && nudger_fail "the mark stays after the main window was activated"
    sleep 0.05
done
echo "cleared on activation"

# Away again, with the main window minimized: the next nudge marks it too.
xdotool windowactivate --sync "$other"
xdotool windowminimize --sync "$main"
main_minimized=1
took=$(wait_for_mark)
echo "marked the minimized window $took ms after the writer left again"

[[ -s "$start/run.log" ]] && nudger_fail "the program printed: $(cat "$start/run.log")"
kill "$NUDGER_PID"
echo "PASS: nudges mark the main window, behind another window and minimized," \
    "without moving the focus or raising it ($((($(date +%s%N) - started) / 1000000)) ms)"
