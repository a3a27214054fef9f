#!/bin/bash
# The writer's text is never left in no file, by a real process on a real
# display and real auto-save ticks, where a unit test has none of them:
#   killed   SIGKILL 3 s after typing, Auto-Save off and no backup: only the
#            recovery copy written meanwhile can hold the words, and the next
#            start, a new process, offers them back.
#   take     "Take the File's Text" with a backup set, then two ticks: the
#            history holds the writer's text, and nothing appears beside the
#            writer's files.
#   emptied  another program empties the primary file of a saved text, then
#            two ticks that write the empty text to both files: the history
#            keeps the chapter, and Ctrl+Z brings it back.
#   settings SIGTERM while the start's settings step is open (no primary file
#            yet): the backup of an earlier session stays whole.
# The three sessions that wait for ticks run side by side.
#
#   e2e_never_last_copy.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

# The main window of the given process.
main_window_of()
{
    local pid=$1 id tries=0
    while :; do
        for id in $(xdotool search --onlyvisible --pid "$pid" --name '^Nudger$' 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
            ((WIDTH > 600)) && echo "$id" && return 0
        done
        ((++tries > 200)) && nudger_fail "process $pid shows no main window"
        sleep 0.1
    done
}

# --- settings: the session ends in the start's settings step ---------------
backup="$NUDGER_WORK/settings-backup.txt"
printf 'Chapter one.' >"$backup"
nudger_new_start_dir start BackupFile="$backup" SoundEnabled=NO NudgeEnabled=NO
nudger_launch "$start"
nudger_window '^Information$' >/dev/null
kill -TERM "$NUDGER_PID"
nudger_wait_for_exit "$NUDGER_PID" 10 || nudger_fail "settings: the program did not end"
NUDGER_PID=
[[ "$(cat "$backup")" == "Chapter one." ]] ||
    nudger_fail "settings: the backup now holds \"$(cat "$backup")\""
echo "settings: SIGTERM in the settings step left the backup whole"

# --- take and emptied: started together, each waits for two ticks ----------
take_primary="$NUDGER_WORK/take.txt" take_backup="$NUDGER_WORK/take-backup.txt"
printf 'Old words.' >"$take_primary"
nudger_new_start_dir take_dir PrimaryFile="$take_primary" BackupFile="$take_backup" \
    SoundEnabled=NO NudgeEnabled=NO
empty_primary="$NUDGER_WORK/emptied.txt" empty_backup="$NUDGER_WORK/emptied-backup.txt"
printf 'The whole chapter.' >"$empty_primary"
printf 'The whole chapter.' >"$empty_backup"
nudger_new_start_dir empty_dir PrimaryFile="$empty_primary" BackupFile="$empty_backup" \
    SoundEnabled=NO NudgeEnabled=NO

nudger_launch "$take_dir"
take=$NUDGER_PID
nudger_on_exit "kill -9 $take 2>/dev/null"
nudger_launch "$empty_dir"
empty=$NUDGER_PID
nudger_on_exit "kill -9 $empty 2>/dev/null"
NUDGER_PID=
started=$(date +%s)
main_window_of "$take" >/dev/null
main_window_of "$empty" >/dev/null
# A sync client's failed download leaves the file empty before the first tick.
: >"$empty_primary"

nudger_atspi wait-text "$take" "text:Your Text" "Old words." 10
# Through the accessibility bus, as an input method types and a screen reader
# chooses File > Save: the other copy's window may still be taking the
# keyboard as it comes up.
nudger_atspi type "$take" "text:Your Text" " Mine."
nudger_atspi wait-text "$take" "text:Your Text" "Old words. Mine." 10
printf 'Theirs.' >"$take_primary"
nudger_atspi press "$take" "menu item:Save"
nudger_atspi wait-description "$take" "Changed by another program" \
    "Another program has changed your primary file. I have not saved your text over it. Which text do you want to keep?" 10
nudger_atspi press "$take" "push button:Take the File's Text"
nudger_atspi wait-text "$take" "text:Your Text" "Theirs." 5
nudger_atspi description "$take" "Notice" | grep -qF "Your text is kept in Earlier Versions." ||
    nudger_fail "take: the writer is not told where the text is"
store="$XDG_DATA_HOME/Nudger/nudger.db"
echo "take: the editor took the file's text; the writer's is in the history"

# Two ticks: at 30 s and 60 s after the start.
sleep $((started + 63 - $(date +%s)))
history=$(nudger_history_out "$store")
copy=$(grep -lrxF 'Old words. Mine.' "$history" || true)
[[ -n "$copy" ]] || nudger_fail "take: the writer's text is in no version of the history"
[[ "$(stat -c %a "$store")" == 600 ]] || nudger_fail "take: the history has mode $(stat -c %a "$store")"
[[ -z "$(ls "$NUDGER_WORK" | grep -F '(your text')" ]] ||
    nudger_fail "take: a copy appeared beside the writer's files"
echo "take: two ticks later the history holds the writer's text (version $(basename "$copy" .txt))"
# One window left, which the keys below then reach.
kill -9 "$take"

grep -qrxF 'The whole chapter.' "$history" ||
    nudger_fail "emptied: the chapter is in no version of the history after two ticks"
nudger_atspi wait-text "$empty" "text:Your Text" "" 5
nudger_atspi description "$empty" "Notice" | grep -qF "kept in Earlier Versions" ||
    nudger_fail "emptied: the notice does not say where the chapter is"
empty_window=$(main_window_of "$empty")
# The window of the copy just killed may still hold the keyboard for a moment
# as the server hands it over: a Ctrl+Z lost that way is sent again, and one
# that did arrive has nothing left to undo.
for attempt in 1 2 3; do
    nudger_keys "$empty_window" ctrl+z
    nudger_atspi wait-text "$empty" "text:Your Text" "The whole chapter." 3 2>/dev/null && break
    [[ $attempt == 3 ]] && nudger_fail "emptied: Ctrl+Z did not bring the chapter back"
done
echo "emptied: two ticks later the history keeps the chapter, and Ctrl+Z brought it back"
kill -9 "$empty"

# --- killed: SIGKILL 3 s after typing, then the next start -----------------
primary="$NUDGER_WORK/killed.txt"
printf 'Old words.' >"$primary"
nudger_new_start_dir start PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO \
    AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "Old words." 10
nudger_type "$main" " Lost words."
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "Old words. Lost words." 10
sleep 3
kill -9 "$NUDGER_PID"
nudger_wait_for_exit "$NUDGER_PID" 10 || nudger_fail "killed: the program did not end"
[[ "$(cat "$primary")" == "Old words." ]] || nudger_fail "killed: the primary file changed"
nudger_launch "$start"
confirm=$(nudger_window '^Confirm$')
nudger_atspi names "$NUDGER_PID" \
    "Your last words were not saved when I stopped. Do you want them back?" ||
    nudger_fail "killed: the next start did not offer the words back"
nudger_keys "$confirm" Return
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "Old words. Lost words." 10
[[ "$(cat "$primary")" == "Old words." ]] || nudger_fail "killed: the words were saved unasked"
echo "killed: the next start offered the words back, and Yes put them in the editor"
echo "PASS: no end, rescue or other program's write left the text in no file"
