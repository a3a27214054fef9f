#!/bin/bash
# The program as a screen reader meets it, read over AT-SPI: every control,
# menu and menu item of the main window and of the dialogs has a name (the
# caption buttons and text areas also their hints), the keyboard reaches the
# caption buttons from the text, and a new suggestion is announced: its text
# is inserted into "Nudger Suggestion" and becomes that area's description.
#
#   e2e_accessibility.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
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

# Every name a writer relies on, menus with their items included.
nudger_atspi names "$NUDGER_PID" "Nudger Suggestion" "Your Text" "Make Suggestion" \
    "Adjust Suggestion Font" "Reset Suggestion Font" "Adjust Text Font" "Reset Text Font" \
    "Primary file" \
    File Save "Save As" Open Exit \
    Edit "Insert Current Date" \
    Suggestions "Prior Suggestion" "First Suggestion" "Last Suggestion" "Always Suggest" \
    "Suggestion Settings..." \
    Configure Nudge Sound Auto-Save Privacy "Settings..." \
    Help About Manual || nudger_fail "the main window lacks accessible names"
# Hints: the caption buttons say what they do, the text areas what they hold.
for hint in "Make Suggestion" "Adjust Suggestion Font" "Reset Suggestion Font" \
    "Adjust Text Font" "Reset Text Font"; do
    [[ "$(nudger_atspi description "$NUDGER_PID" "push button:$hint")" == "$hint" ]] ||
        nudger_fail "the \"$hint\" button has no hint"
done
for area in "Nudger Suggestion" "Your Text"; do
    [[ -n "$(nudger_atspi description "$NUDGER_PID" "text:$area")" ]] ||
        nudger_fail "the text area \"$area\" has no description"
done
nudger_atspi unnamed "$NUDGER_PID" || nudger_fail "the main window has unnamed controls"
echo "main window: every control, menu and menu item is named"

# The keyboard: the text has the focus; Tab types into it, Ctrl+Tab leaves
# it for the suggestion area, and Tab walks the caption buttons. (There is
# no window manager to give the new window the keyboard: the test does.)
xdotool windowfocus --sync "$main"
[[ "$(nudger_atspi focused "$NUDGER_PID")" == "text:Your Text" ]] ||
    nudger_fail "the text does not have the focus at start"
nudger_keys "$main" ctrl+Tab
[[ "$(nudger_atspi focused "$NUDGER_PID")" == "text:Nudger Suggestion" ]] ||
    nudger_fail "Ctrl+Tab did not leave the text for the suggestion area"
for button in "Make Suggestion" "Adjust Suggestion Font" "Reset Suggestion Font" \
    "Adjust Text Font" "Reset Text Font"; do
    nudger_press Tab
    [[ "$(nudger_atspi focused "$NUDGER_PID")" == "push button:$button" ]] ||
        nudger_fail "Tab reached \"$(nudger_atspi focused "$NUDGER_PID")\", expected \"$button\""
done
nudger_press shift+Tab shift+Tab shift+Tab shift+Tab
[[ "$(nudger_atspi focused "$NUDGER_PID")" == "push button:Make Suggestion" ]] ||
    nudger_fail "Shift+Tab did not go back to Make Suggestion"
echo "keyboard: the caption buttons are reachable with Ctrl+Tab and Tab"

# Return on "Make Suggestion": the new suggestion is announced.
events=$(nudger_atspi events "$NUDGER_PID" 1 "xdotool key Return")
printf '%s\n' "$events"
grep -qxF "object:text-changed:insert"$'\t'"Nudger Suggestion"$'\t'"$first_builtin" <<<"$events" ||
    nudger_fail "no text insertion announced the new suggestion"
grep -qxF "object:property-change:accessible-description"$'\t'"Nudger Suggestion"$'\t'"$first_builtin" <<<"$events" ||
    nudger_fail "the suggestion area's description did not announce the new suggestion"

# The dialogs, opened from the keyboard: all their controls are named.
check_dialog()
{
    local title=$1 keys=$2 mnemonic=$3
    shift 3
    nudger_keys "$main" "$keys"
    nudger_press "$mnemonic"
    local dialog
    dialog=$(nudger_window "^$title\$")
    nudger_atspi names "$NUDGER_PID" "$@" || nudger_fail "the $title window lacks names"
    nudger_atspi unnamed "$NUDGER_PID" || nudger_fail "the $title window has unnamed controls"
    nudger_keys "$dialog" Escape
    nudger_gone "^$title\$"
    echo "$title: every control is named"
}
check_dialog Settings alt+c e Interval "Browse Primary File" "Primary File" \
    "Enable Backup File" "Browse Backup File" "Backup File" Save Cancel
check_dialog "Suggestion Settings" alt+s e "Randomize Suggestions" "Use Tovrin Suggestions" \
    "Use User Suggestions File" "User Suggestion File" "User Suggestions" Save Cancel
check_dialog About alt+h a Close
check_dialog Manual alt+h m "Nudger Manual" Close

nudger_close_window "$main"
nudger_expect_exit 10
echo "PASS: names, hints, keyboard paths and the suggestion's announcement"
