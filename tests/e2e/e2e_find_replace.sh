#!/bin/bash
# Find and Replace on the real program, typed at the keyboard and read
# through the accessibility bus as a screen reader reads it:
#   find     with the cursor in the first line, Ctrl+F and a name typed: the
#            first match after the cursor is selected and the count reads
#            "1 of 6"; Whole words counts 3, F3 moves on to "2 of 3" and
#            "3 of 3", and the next F3 goes round to "1 of 3" and says so.
#   replace  Ctrl+H (every control of the bar has a name), "Mara" and
#            Replace All in whole-word mode: every "Ann" becomes "Mara",
#            "annual", "Annual" and "Joanna" stay; the bar's
#            button opens Earlier Versions, which lists the text before
#            Replace All; Esc gives the keyboard back to the text, and one
#            Ctrl+Z brings every "Ann" back.
#
#   e2e_find_replace.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

text="The letter came on a Monday.
Ann opened it at the annual fair.
Ann's sister waited by the Annual stall.
Joanna called for Ann."
replaced="The letter came on a Monday.
Mara opened it at the annual fair.
Mara's sister waited by the Annual stall.
Joanna called for Mara."
primary="$NUDGER_WORK/letter.txt"
printf '%s' "$text" >"$primary"
nudger_new_start_dir start PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO \
    AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$text" 10

# --- find -------------------------------------------------------------------
nudger_keys "$main" ctrl+Home Right Right Right Right Right ctrl+f
[[ "$(nudger_atspi focused "$NUDGER_PID")" == "text:Find" ]] ||
    nudger_fail "find: Ctrl+F did not put the keyboard in the search field"
nudger_type "$main" "ann"
nudger_atspi wait-selection "$NUDGER_PID" "text:Your Text" $'29\t32\tAnn' 10 ||
    nudger_fail "find: the first match after the cursor is not selected"
nudger_atspi names "$NUDGER_PID" "1 of 6" >/dev/null ||
    nudger_fail "find: the count does not read 1 of 6"
nudger_keys "$main" alt+w
nudger_atspi names "$NUDGER_PID" "1 of 3" >/dev/null ||
    nudger_fail "find: Whole words does not count 3"
nudger_keys "$main" F3
nudger_atspi wait-selection "$NUDGER_PID" "text:Your Text" $'63\t66\tAnn' 10 ||
    nudger_fail "find: F3 did not move on to the next match"
nudger_atspi names "$NUDGER_PID" "2 of 3" >/dev/null || nudger_fail "find: the count is not 2 of 3"
nudger_keys "$main" F3
nudger_atspi names "$NUDGER_PID" "3 of 3" >/dev/null || nudger_fail "find: the count is not 3 of 3"
nudger_keys "$main" F3
nudger_atspi wait-selection "$NUDGER_PID" "text:Your Text" $'29\t32\tAnn' 10 ||
    nudger_fail "find: F3 at the end did not go round to the first match"
nudger_atspi wait-description "$NUDGER_PID" "label:1 of 3" \
    "Match 1 of 3. Reached the end of your text, continued from the top." 10 ||
    nudger_fail "find: the count does not say that the search went round"
echo "find: the first match after the cursor, 1 of 6, whole words 1 of 3, F3 on and round with a note"

# --- replace ----------------------------------------------------------------
nudger_keys "$main" ctrl+h
nudger_atspi unnamed "$NUDGER_PID" || nudger_fail "replace: the find bar has unnamed controls"
nudger_keys "$main" alt+p
[[ "$(nudger_atspi focused "$NUDGER_PID")" == "text:Replace with" ]] ||
    nudger_fail "replace: Alt+P did not reach the replacement field"
nudger_type "$main" "Mara"
nudger_keys "$main" alt+a
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$replaced" 10 ||
    nudger_fail "replace: Replace All did not replace every whole-word Ann, and only those"
nudger_atspi name-starting "$NUDGER_PID" "Replaced 3 matches." 10 >/dev/null ||
    nudger_fail "replace: the bar does not say how many were replaced"
mkdir -p "$NUDGER_BUILD_DIR/e2e"
nudger_screenshot "$main" "$NUDGER_BUILD_DIR/e2e/screenshot-find-replace.png"

nudger_atspi press "$NUDGER_PID" "push button:Earlier Versions"
nudger_window '^Earlier Versions$' >/dev/null
rows=$(nudger_atspi rows "$NUDGER_PID" "Versions")
grep -qE "^[^,]+, your text before Replace All\$" <<<"$rows" ||
    nudger_fail "replace: Earlier Versions lists no text before Replace All; rows: $rows"
nudger_atspi press "$NUDGER_PID" "push button:Close"
nudger_gone '^Earlier Versions$'

nudger_keys "$main" Escape
[[ "$(nudger_atspi focused "$NUDGER_PID")" == "text:Your Text" ]] ||
    nudger_fail "replace: Esc did not give the keyboard back to the text"
nudger_keys "$main" ctrl+z
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$text" 10 ||
    nudger_fail "replace: one Ctrl+Z did not bring every Ann back"
echo "replace: Annual left alone, Earlier Versions lists the text before Replace All, one Ctrl+Z undid it"
echo "PASS: Find and Replace"
