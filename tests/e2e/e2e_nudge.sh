#!/bin/bash
# The idle nudge as a writer (and a screen reader) meets it: with ordered
# suggestions, each interval of idleness shows the next built-in suggestion,
# starting with the first line of the built-in list, and every keystroke
# starts the countdown afresh, so that no nudge comes while the writer types.
# The suggestions are read as a screen reader hears them: the text inserted
# into "Nudger Suggestion", announced over AT-SPI. (The sound is heard by
# e2e_sound.)
#
#   e2e_nudge.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

interval_ms=4000
mapfile -t builtin < <(head -n 6 "$NUDGER_SOURCE_DIR/resources/suggestions.txt" | tr -d '\r')

# Suggestions announced while the shell command runs and for SECONDS after.
announced()
{
    nudger_atspi events "$NUDGER_PID" "$1" "$2" |
        awk -F'\t' '$1 == "object:text-changed:insert" && $2 == "Nudger Suggestion" { print $3 }'
}

nudger_new_start_dir start PrimaryFile="$NUDGER_WORK/text.txt" \
    RandomizeSuggestions=NO Interval=$interval_ms SoundEnabled=NO AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)

# Idle from the start: suggestions 1, 2 and 3, one per interval.
mapfile -t shown < <(announced 13 true)
printf 'idle: %s\n' "${shown[@]}"
((${#shown[@]} >= 3)) || nudger_fail "${#shown[@]} suggestions in 13 s of idleness, expected 3"
for i in 0 1 2; do
    [[ "${shown[i]}" == "${builtin[i]}" ]] ||
        nudger_fail "suggestion $((i + 1)) is \"${shown[i]}\", expected \"${builtin[i]}\""
done
next=${#shown[@]}

# Typing a key every 0.5 s for longer than the interval brings no nudge. The
# first key, typed before listening, starts a fresh countdown, so that a
# nudge due just as the idle phase ended is not taken for one while typing.
xdotool windowfocus --sync "$main" type 's'
mapfile -t while_typing < <(announced 0.2 \
    "xdotool windowfocus --sync $main type --delay 500 'lowly, steadily'")
((${#while_typing[@]} == 0)) ||
    nudger_fail "a nudge came while typing: ${while_typing[*]}"
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "slowly, steadily" 5

# Idle again: the order goes on where it stopped.
mapfile -t after < <(announced 6 true)
((${#after[@]} >= 1)) || nudger_fail "no nudge within 6 s after typing stopped"
[[ "${after[0]}" == "${builtin[next]}" ]] ||
    nudger_fail "after typing the nudge shows \"${after[0]}\", expected \"${builtin[next]}\""

kill "$NUDGER_PID"
echo "PASS: idle nudges in order, none while typing"
