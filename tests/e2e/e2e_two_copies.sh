#!/bin/bash
# Two copies of Nudger on one primary file: the second copy types and saves,
# and the first copy, idle in front of the old text, leaves that text in
# place at its auto-save tick: it reads the file again instead, and leaves
# nothing beside the writer's file.
#
#   e2e_two_copies.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

primary="$NUDGER_WORK/text.txt"
printf 'Old words.' >"$primary"
nudger_new_start_dir first_dir PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO
nudger_new_start_dir second_dir PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO

nudger_launch "$first_dir"
first=$NUDGER_PID
nudger_on_exit "kill -9 $first 2>/dev/null"
first_window=$(nudger_main_window)
started=$(date +%s)
nudger_launch "$second_dir"
second=$NUDGER_PID
# The second main window: the other large one titled "Nudger".
tries=0
second_window=
until [[ -n "$second_window" ]]; do
    ((++tries > 200)) && nudger_fail "the second copy shows no main window"
    sleep 0.1
    for id in $(xdotool search --onlyvisible --name '^Nudger$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [[ $id != "$first_window" ]] && ((WIDTH > 600)) && second_window=$id
    done
done
nudger_atspi wait-text "$second" "text:Your Text" "Old words." 10
nudger_type "$second_window" " New words."
nudger_atspi wait-text "$second" "text:Your Text" "Old words. New words." 10
nudger_keys "$second_window" alt+f
nudger_press Return
nudger_wait_for_file "$primary" "Old words. New words."
echo "the second copy saved its text"

# The first copy's tick comes 30 s after its start.
nudger_atspi wait-text "$first" "text:Your Text" "Old words. New words." 40 ||
    nudger_fail "the first copy's tick did not read the file again"
echo "the first copy read the file again $(($(date +%s) - started)) s after its start"
# It says so above the text, and where the text it replaced is kept.
nudger_atspi description "$first" "Notice" |
    grep -qF "Another program changed your primary file, so I have read it again." ||
    nudger_fail "the first copy does not say that it read the file again"
nudger_atspi wait-description "$first" "label:Primary file" "$primary" 5
[[ "$(cat "$primary")" == "Old words. New words." ]] ||
    nudger_fail "the first copy's tick wrote \"$(cat "$primary")\" over the second copy's text"
[[ "$(find "$NUDGER_WORK" -maxdepth 1 -type f -printf '%f\n')" == text.txt ]] ||
    nudger_fail "files beside the writer's: $(find "$NUDGER_WORK" -maxdepth 1 -type f -printf '%f ')"
echo "PASS: the second copy's text stayed in the file, the only one in its folder"
