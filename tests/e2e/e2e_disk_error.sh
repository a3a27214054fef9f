#!/bin/bash
# The disk fails as Nudger starts: the read of the primary file ends in a
# real EIO (a preloaded shim fails every read of that file while a switch
# file exists), which a unit test can only imitate. The writer is told, the
# disk recovers, the writer types one line and saves: the journal the files
# held is in neither file afterwards only once it is in the history.
#
#   e2e_disk_error.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR EIO_SHIM
set -euo pipefail

shim=$(realpath "$5")
source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$1" "$2" "$3" "$4"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

primary="$NUDGER_WORK/journal.txt" backup="$NUDGER_WORK/journal-backup.txt"
printf 'Ten years of my journal.' >"$primary"
printf 'Ten years of my journal.' >"$backup"
nudger_new_start_dir start PrimaryFile="$primary" BackupFile="$backup" \
    SoundEnabled=NO NudgeEnabled=NO
switch="$NUDGER_WORK/disk-failing"
touch "$switch"
# A sanitizer build's runtime must come first among the preloaded libraries.
preload=$shim
asan=$(ldd "$NUDGER" | awk '/libasan/ { print $3 }')
[[ -n "$asan" ]] && preload="$asan:$shim"
(cd "$start" && exec env LD_PRELOAD="$preload" NUDGER_EIO_FILE="$primary" \
    NUDGER_EIO_SWITCH="$switch" "$NUDGER") >"$start/run.log" 2>&1 &
NUDGER_PID=$!

box=$(nudger_window '^Nudger$')
nudger_atspi names "$NUDGER_PID" "I can not open the primary file!" ||
    nudger_fail "the failed read was not told"
rm "$switch"
nudger_keys "$box" Return
nudger_main_window >/dev/null
echo "the read failed with EIO and the writer was told; the disk recovers"

nudger_atspi type "$NUDGER_PID" "text:Your Text" "One line."
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "One line." 10
nudger_atspi press "$NUDGER_PID" "menu item:Save"
# The journal, which the editor never held, is not written over: the writer
# chooses, and the backup's copy of it went into the history first.
nudger_atspi description "$NUDGER_PID" "Could not be read before" | grep -qF \
    "Your primary file holds a text I could not read before. I have not saved your text over it. Which text do you want to keep?" ||
    nudger_fail "the bar does not ask which text to keep"
[[ "$(cat "$primary")" == "Ten years of my journal." ]] ||
    nudger_fail "Save wrote \"$(cat "$primary")\" over the journal"
[[ "$(cat "$backup")" == "One line." ]] || nudger_fail "the backup holds \"$(cat "$backup")\""
kept=$(grep -lrxF 'Ten years of my journal.' "$(nudger_history_out)" || true)
[[ -n "$kept" ]] || nudger_fail "the journal is in no version of the history"
store="$XDG_DATA_HOME/Nudger/nudger.db"
[[ "$(stat -c %a "$store")" == 600 ]] || nudger_fail "the history has mode $(stat -c %a "$store")"
echo "Save left the journal alone; the backup's copy of it is version $(basename "$kept" .txt) of the history"

nudger_atspi press "$NUDGER_PID" "push button:Keep My Text"
nudger_wait_for_file "$primary" "One line."
nudger_atspi description "$NUDGER_PID" "Notice" | grep -qF "kept in Earlier Versions" ||
    nudger_fail "the writer is not told where the journal is"
echo "PASS: after a real read error, the journal went into the history before any file lost it"
