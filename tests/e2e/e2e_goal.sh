#!/bin/bash
# The writing goal on the real program, read through the accessibility bus
# as a screen reader reads it:
#   met     with a goal of 20 words, 25 words typed: the bar beside the
#           caption says the goal is met;
#   paste   200 words pasted (Ctrl+C, Ctrl+V of the typing): the day's
#           figure stays at 25;
#   kept    after Exit and a new start the bar still reads 25, and File >
#           Writing Record lists today with 25 words; its picture is
#           taken (docs/screenshot-writing-record.png with
#           NUDGER_UPDATE_SCREENSHOTS=1).
#
#   e2e_goal.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

export HOME="$NUDGER_WORK/home" XDG_CONFIG_HOME="$NUDGER_WORK/home/.config"
export XDG_DATA_HOME="$NUDGER_WORK/home/.local/share"
mkdir -p "$XDG_CONFIG_HOME/Nudger"
printf 'Goal/Amount=20\nGoal/Kind=words\nSpelling/Enabled=false\n' >"$XDG_CONFIG_HOME/Nudger/settings"
bar="progress bar:Today's writing goal"

primary="$NUDGER_WORK/story.txt"
printf '' >"$primary"
nudger_new_start_dir start PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO \
    AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)
nudger_atspi wait-description "$NUDGER_PID" "$bar" "0 of 20 words today" 10 ||
    nudger_fail "met: no goal bar beside the caption"

# --- met --------------------------------------------------------------------
words="one two three four five six seven eight nine ten eleven twelve thirteen"
words="$words fourteen fifteen sixteen seventeen eighteen nineteen twenty a b c d e"
nudger_type "$main" "$words"
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$words" 10
nudger_atspi wait-description "$NUDGER_PID" "$bar" "Today's goal is met: 25 words" 10 ||
    nudger_fail "met: the bar does not say the goal is met"
echo "met: 25 words typed, the goal of 20 met"

# --- paste ------------------------------------------------------------------
nudger_keys "$main" ctrl+a ctrl+c ctrl+End
for ((i = 0; i < 8; i++)); do
    nudger_keys "$main" space ctrl+v
done
nudger_atspi wait-match "$NUDGER_PID" "text:Your Text" "($words ?){9}" 10 ||
    nudger_fail "paste: the pastes did not reach the text"
nudger_atspi wait-description "$NUDGER_PID" "$bar" "Today's goal is met: 25 words" 3 ||
    nudger_fail "paste: the pasted words counted"
echo "paste: 200 words pasted, today's figure unchanged"

# --- kept -------------------------------------------------------------------
nudger_atspi press "$NUDGER_PID" "menu item:Save"
nudger_wait_for_file "$primary" "$(printf '%s' "$words"; for ((i = 0; i < 8; i++)); do printf ' %s' "$words"; done)"
nudger_atspi press "$NUDGER_PID" "menu item:Exit"
nudger_wait_for_exit "$NUDGER_PID" 10 || nudger_fail "kept: the program did not end"
nudger_launch "$start"
main=$(nudger_main_window)
nudger_atspi wait-description "$NUDGER_PID" "$bar" "Today's goal is met: 25 words" 10 ||
    nudger_fail "kept: today's figure was not kept"
nudger_atspi press "$NUDGER_PID" "menu item:Writing Record..."
nudger_atspi name-starting "$NUDGER_PID" "Today: 25 words" 10 >/dev/null ||
    nudger_fail "kept: the record's window does not list today with 25 words"
echo "kept: 25 words today after a restart, listed in the Writing Record"
# Its picture, for docs/ with NUDGER_UPDATE_SCREENSHOTS=1.
if command -v import >/dev/null; then
    record=$(nudger_window '^Writing Record$')
    mkdir -p "$NUDGER_BUILD_DIR/e2e"
    nudger_screenshot "$record" "$NUDGER_BUILD_DIR/e2e/screenshot-writing-record.png"
    if [[ "${NUDGER_UPDATE_SCREENSHOTS:-}" == 1 ]]; then
        cp "$NUDGER_BUILD_DIR/e2e/screenshot-writing-record.png" \
            "$NUDGER_SOURCE_DIR/docs/screenshot-writing-record.png"
    fi
fi
echo "PASS: the goal met by typing, not by pasting, and kept in the record"
