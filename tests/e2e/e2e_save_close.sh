#!/bin/bash
# Typing, saving and closing, as a writer meets them: File > Save from the
# keyboard writes the primary and backup files, the auto-save tick writes
# them again after more typing, and closing with unsaved text asks "Do you
# want to save your changes?"; Yes saves and ends the program.
#
#   e2e_save_close.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

nudger_new_start_dir start PrimaryFile="$NUDGER_WORK/text.txt" \
    BackupFile="$NUDGER_WORK/backup.txt" SoundEnabled=NO NudgeEnabled=NO
primary="$NUDGER_WORK/text.txt"
backup="$NUDGER_WORK/backup.txt"
nudger_launch "$start"
main=$(nudger_main_window)

# File > Save through the menu's mnemonic: Save is the File menu's first item.
nudger_type "$main" "It was a dark night."
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "It was a dark night." 10
nudger_keys "$main" alt+f
nudger_press Return
nudger_wait_for_file "$primary" "It was a dark night."
nudger_wait_for_file "$backup" "It was a dark night."
nudger_atspi wait-description "$NUDGER_PID" "label:Primary file" "$primary" 5 ||
    nudger_fail "the status bar does not show the primary file after saving"
echo "File > Save wrote the primary and the backup file"

# The auto-save tick (every 30 s) saves what was typed since.
nudger_type "$main" " The rain fell."
auto_from=$(date +%s)
nudger_wait_for_file "$primary" "It was a dark night. The rain fell." 40
nudger_wait_for_file "$backup" "It was a dark night. The rain fell." 5
echo "auto-save wrote both files after $(($(date +%s) - auto_from)) s"

# Unsaved text when the window closes: the question, then Yes.
nudger_type "$main" " The end."
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "It was a dark night. The rain fell. The end." 10
nudger_close_window "$main"
confirm=$(nudger_window '^Confirm$')
nudger_atspi names "$NUDGER_PID" "Do you want to save your changes?" "Yes" "No" ||
    nudger_fail "the Confirm box does not ask to save the changes"
nudger_keys "$confirm" y
nudger_expect_exit 10
[[ "$(cat "$primary")" == "It was a dark night. The rain fell. The end." ]] ||
    nudger_fail "after Yes the primary file holds \"$(cat "$primary")\""
echo "PASS: saved by File > Save, by auto-save and by Yes at closing"
