#!/bin/bash
# The main window's commands from the keyboard, read back over AT-SPI:
# Ctrl+S shows a suggestion, Ctrl+D stamps the date and time on a line of
# its own, Configure > Sound switched off stays off after a restart, and the
# suggestion settings dialog writes the user's own suggestions file (CR LF
# between lines), whose suggestions follow the built-in ones in order.
#
#   e2e_commands.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

first_builtin=$(head -n1 "$NUDGER_SOURCE_DIR/resources/suggestions.txt" | tr -d '\r')
nudger_new_start_dir start PrimaryFile="$NUDGER_WORK/text.txt" RandomizeSuggestions=NO \
    NudgeEnabled=NO AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)

# Ctrl+S: the next suggestion, in order the first.
nudger_keys "$main" ctrl+s
nudger_atspi wait-text "$NUDGER_PID" "text:Nudger Suggestion" "$first_builtin" 5 ||
    nudger_fail "Ctrl+S did not show the first suggestion"
nudger_atspi wait-description "$NUDGER_PID" "text:Nudger Suggestion" "$first_builtin" 5 ||
    nudger_fail "the suggestion area's description is not the new suggestion"

# Ctrl+D after some text: the stamp on a line of its own, then a new line.
nudger_type "$main" "Draft"
nudger_keys "$main" ctrl+d
stamp='[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}.[0-9]{2}.[0-9]{2}\.[0-9]{3}'
nudger_atspi wait-match "$NUDGER_PID" "text:Your Text" "Draft\n$stamp\n" 5 ||
    nudger_fail "Ctrl+D did not put the stamp on a line of its own"
text=$(nudger_atspi text "$NUDGER_PID" "text:Your Text")
echo "date stamp: $(sed -n 2p <<<"$text")"

# Configure > Sound (mnemonic o) switches the sound off at once...
[[ "$(nudger_atspi checked "$NUDGER_PID" "menu item" Sound)" == checked ]] ||
    nudger_fail "Sound is not checked at first"
nudger_keys "$main" alt+c
nudger_press o
tries=0
until [[ "$("$NUDGER_CONFIG" "$start" --get SoundEnabled)" == NO ]]; do
    ((++tries > 50)) && nudger_fail "SoundEnabled is not stored as NO"
    sleep 0.1
done
[[ "$(nudger_atspi checked "$NUDGER_PID" "menu item" Sound)" == unchecked ]] ||
    nudger_fail "Sound is still checked"

# ...and after a restart (closing asks about the unsaved text: No).
nudger_close_window "$main"
nudger_keys "$(nudger_window '^Confirm$')" n
nudger_expect_exit 10
nudger_launch "$start"
main=$(nudger_main_window)
[[ "$(nudger_atspi checked "$NUDGER_PID" "menu item" Sound)" == unchecked ]] ||
    nudger_fail "Sound is checked again after a restart"
echo "Sound stays off after a restart"

# Suggestions > Suggestion Settings... (mnemonic e): use a user suggestions
# file, write two suggestions into the editor, Save.
nudger_keys "$main" alt+s
nudger_press e
dialog=$(nudger_window '^Suggestion Settings$')
nudger_atspi click "$NUDGER_PID" "check box:Use User Suggestions File"
[[ "$(nudger_atspi checked "$NUDGER_PID" "check box" "Use User Suggestions File")" == checked ]] ||
    nudger_fail "Use User Suggestions File did not become checked"
nudger_atspi click "$NUDGER_PID" "text:User Suggestions"
nudger_type "$dialog" "Show, do not tell."
nudger_keys "$dialog" Return
nudger_type "$dialog" "End the chapter on a question."
nudger_atspi wait-text "$NUDGER_PID" "text:User Suggestions" \
    "Show, do not tell."$'\n'"End the chapter on a question." 5
nudger_atspi click "$NUDGER_PID" "push button:Save"
nudger_gone '^Suggestion Settings$'

user_file="$start/user_suggestions.txt"
[[ -f "$user_file" ]] || nudger_fail "no user_suggestions.txt in the start directory"
expected_hex=$(printf 'Show, do not tell.\r\nEnd the chapter on a question.' | od -An -tx1 | tr -d ' \n')
actual_hex=$(od -An -tx1 "$user_file" | tr -d ' \n')
# A line break after the last line is allowed.
[[ "$actual_hex" == "$expected_hex" || "$actual_hex" == "${expected_hex}0d0a" ]] ||
    nudger_fail "user_suggestions.txt holds $(od -c "$user_file")"
[[ "$("$NUDGER_CONFIG" "$start" --get UseUserSuggestionsFile)" == YES ]] ||
    nudger_fail "UseUserSuggestionsFile is not stored as YES"

# In order, the user's suggestions come after the built-in ones.
nudger_keys "$main" alt+s
nudger_press l
nudger_atspi wait-text "$NUDGER_PID" "text:Nudger Suggestion" "End the chapter on a question." 5 ||
    nudger_fail "Last Suggestion does not show the last user suggestion"
nudger_keys "$main" alt+s
nudger_press p
nudger_atspi wait-text "$NUDGER_PID" "text:Nudger Suggestion" "Show, do not tell." 5 ||
    nudger_fail "Prior Suggestion does not show the first user suggestion"

nudger_close_window "$main"
nudger_expect_exit 10
echo "PASS: Ctrl+S, Ctrl+D, Sound across a restart and the user suggestions file"
