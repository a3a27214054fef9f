#!/bin/bash
# The session ends while the writer has unsaved text: SIGTERM (a logout, a
# shutdown, kill), SIGHUP (the terminal closed) and the X server gone. Each
# time the program makes one last auto-save tick before it ends: the primary
# file with Auto-Save on, the backup file always. After a signal, the exit
# status says that signal ended the program. Started by nohup, SIGHUP
# ignored, the program leaves SIGHUP ignored and SIGTERM ends it.
#
#   e2e_session_end.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

# One writer's session: Auto-Save as given, a few words typed, then the end
# by the given signal, by SIGHUP and SIGTERM with SIGHUP ignored from the
# start (nohup), or by the display going away.
session_round()
{
    local cause=$1 autosave=$2 start main
    local primary="$NUDGER_WORK/$cause.txt" backup="$NUDGER_WORK/$cause-backup.txt"
    printf 'Old words.' >"$primary"
    nudger_new_start_dir start PrimaryFile="$primary" BackupFile="$backup" SoundEnabled=NO \
        NudgeEnabled=NO AutoSaveEnabled="$autosave"
    if [[ $cause == nohup ]]; then
        (trap '' HUP && cd "$start" && exec "$NUDGER") >"$start/run.log" 2>&1 &
        NUDGER_PID=$!
    else
        nudger_launch "$start"
    fi
    main=$(nudger_main_window)
    nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "Old words." 10
    nudger_type "$main" " Last words."
    nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "Old words. Last words." 10
    if [[ $cause == display ]]; then
        kill -9 "$NUDGER_XVFB_PID"
    elif [[ $cause == nohup ]]; then
        # Taken in order: a caught SIGHUP would end the program first.
        kill -s HUP "$NUDGER_PID"
        kill -s TERM "$NUDGER_PID"
    else
        # Twice, as a desktop in a hurry may: the second signal must not cut
        # the last tick's writes short.
        kill -s "$cause" "$NUDGER_PID"
        kill -s "$cause" "$NUDGER_PID" 2>/dev/null || true
    fi
    nudger_wait_for_exit "$NUDGER_PID" 10 || nudger_fail "$cause: the program did not end"
    NUDGER_PID=
    local signal=${cause/nohup/TERM}
    if [[ $cause != display ]] && ((NUDGER_EXIT_STATUS != 128 + $(kill -l "$signal"))); then
        nudger_fail "$cause: the program ended with status $NUDGER_EXIT_STATUS, not by SIG$signal"
    fi
    local expected="Old words."
    [[ $autosave == YES ]] && expected="Old words. Last words."
    [[ "$(cat "$primary")" == "$expected" ]] ||
        nudger_fail "$cause: the primary file holds \"$(cat "$primary")\""
    [[ -f "$backup" && "$(cat "$backup")" == "Old words. Last words." ]] ||
        nudger_fail "$cause: the backup file holds \"$(cat "$backup" 2>/dev/null)\""
    echo "$cause (Auto-Save $autosave): primary \"$expected\", backup with the last words"
}

session_round TERM YES
session_round HUP NO
session_round nohup YES
# Last: the display goes for good.
session_round display YES
echo "PASS: a last tick at SIGTERM, at SIGHUP, under nohup and when the display went"
