#!/bin/bash
# Earlier Versions on the real program, driven through the accessibility bus
# as a screen reader drives it:
#   followed  another program rewrites the saved file and File > Save reads
#             it again: File > Earlier Versions... lists the writer's text
#             with its reason and compares it with the editor's, Restore puts
#             it back, and one Ctrl+Z brings the other program's text again.
#   killed    SIGKILL once the recovery copy holds the typed words, Auto-Save
#             off: the next start's offer names the file and the words that
#             differ, Compare shows the lost words, and after Close, Yes
#             takes them back.
# With NUDGER_UPDATE_SCREENSHOTS=1 the comparison of "followed" also replaces
# docs/screenshot-earlier-versions.png.
#
#   e2e_earlier_versions.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

# --- followed: another program's version read again, then restored --------
primary="$NUDGER_WORK/Lighthouse.txt"
writer_line="The keeper wrote one line in the log every night, whatever the weather."
their_line="The keeper stopped writing in the log after the storm."
writers_text="The lighthouse stood on the last rock of the bay.
$writer_line
Nobody had climbed its stairs in years."
their_text="The lighthouse stood on the last rock of the bay.
$their_line
Nobody had climbed its stairs in years."
printf '%s' "$writers_text" >"$primary"
nudger_new_start_dir start PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO \
    AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$writers_text" 10

# A sync client brings another version while the writer's text is saved.
printf '%s' "$their_text" >"$primary"
nudger_atspi press "$NUDGER_PID" "menu item:Save"
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$their_text" 10
nudger_atspi description "$NUDGER_PID" "Notice" | grep -qF "kept in Earlier Versions" ||
    nudger_fail "followed: the notice does not say where the writer's text is"

nudger_atspi press "$NUDGER_PID" "menu item:Earlier Versions..."
versions=$(nudger_window '^Earlier Versions$')
rows=$(nudger_atspi rows "$NUDGER_PID" "Versions")
grep -qE "^[^,]+, your text before another program's version was read\$" <<<"$rows" ||
    nudger_fail "followed: no row keeps the writer's text read over; rows: $rows"
nudger_atspi wait-description "$NUDGER_PID" "Comparison" "1 line removed, 1 added" 10 ||
    nudger_fail "followed: the comparison's summary is wrong"
comparison=$(nudger_atspi text "$NUDGER_PID" "Comparison")
grep -qxF -- "- $writer_line" <<<"$comparison" && grep -qxF -- "+ $their_line" <<<"$comparison" ||
    nudger_fail "followed: the comparison does not mark the changed line: $comparison"
mkdir -p "$NUDGER_BUILD_DIR/e2e"
nudger_screenshot "$versions" "$NUDGER_BUILD_DIR/e2e/screenshot-earlier-versions.png"
echo "followed: Earlier Versions lists and compares the writer's text"

nudger_atspi press "$NUDGER_PID" "push button:Restore"
nudger_gone '^Earlier Versions$'
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$writers_text" 10 ||
    nudger_fail "followed: Restore did not bring the writer's text back"
# One step: a single Ctrl+Z leaves exactly the other program's text.
nudger_keys "$main" ctrl+z
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$their_text" 5 ||
    nudger_fail "followed: Ctrl+Z did not undo the restore in one step"
[[ "$(cat "$primary")" == "$their_text" ]] || nudger_fail "followed: the primary file changed"
echo "followed: Restore brought the writer's text back, and one Ctrl+Z undid it"
kill -9 "$NUDGER_PID"
nudger_wait_for_exit "$NUDGER_PID" 10 || nudger_fail "followed: the program did not end"
NUDGER_PID=

# --- killed: the recovery offer, compared and taken ------------------------
primary="$NUDGER_WORK/killed.txt"
printf 'The keeper climbed the stairs.' >"$primary"
nudger_new_start_dir start PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO \
    AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "The keeper climbed the stairs." 10
nudger_type "$main" " The lamp was out."
typed="The keeper climbed the stairs. The lamp was out."
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$typed" 10
# The recovery copy, written a moment after the typing stops, is all that
# holds the words when the program is killed.
tries=0
until grep -rqF -- "$typed" "$XDG_DATA_HOME/Nudger/recovery" 2>/dev/null; do
    ((++tries > 100)) && nudger_fail "killed: no recovery copy holds the typed words"
    sleep 0.1
done
kill -9 "$NUDGER_PID"
nudger_wait_for_exit "$NUDGER_PID" 10 || nudger_fail "killed: the program did not end"

nudger_launch "$start"
nudger_window '^Confirm$' >/dev/null
nudger_atspi names "$NUDGER_PID" \
    "Your last words were not saved when I stopped. Do you want them back?" ||
    nudger_fail "killed: the next start did not offer the words back"
# The details: the file, when the words were written, how many differ.
details=$(nudger_atspi name-starting "$NUDGER_PID" "$primary"$'\n' 10) ||
    nudger_fail "killed: the offer does not name the file"
[[ "$(sed -n 2p <<<"$details")" =~ ^Written\ .+\.$ ]] ||
    nudger_fail "killed: the offer does not say when the words were written: $details"
[[ "$(sed -n 3p <<<"$details")" == "4 words differ from the file." ]] ||
    nudger_fail "killed: the offer counts the words wrong: $details"

nudger_atspi press "$NUDGER_PID" "push button:Compare"
nudger_window '^Earlier Versions$' >/dev/null
rows=$(nudger_atspi rows "$NUDGER_PID" "Versions")
grep -qE "^[^,]+, your unsaved words\$" <<<"$rows" ||
    nudger_fail "killed: Compare lists no row of the unsaved words; rows: $rows"
nudger_atspi wait-description "$NUDGER_PID" "Comparison" "1 line removed, 1 added" 10 ||
    nudger_fail "killed: the comparison's summary is wrong"
comparison=$(nudger_atspi text "$NUDGER_PID" "Comparison")
grep -qxF -- "+ $typed" <<<"$comparison" ||
    nudger_fail "killed: the comparison does not show the lost words: $comparison"
nudger_atspi press "$NUDGER_PID" "push button:Close"
nudger_gone '^Earlier Versions$'

# The question comes back, Yes still its default.
nudger_keys "$(nudger_window '^Confirm$')" Return
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$typed" 10 ||
    nudger_fail "killed: Yes did not bring the words back"
[[ "$(cat "$primary")" == "The keeper climbed the stairs." ]] ||
    nudger_fail "killed: the words were saved unasked"
# The writer goes on where they stopped: at the end of the words taken back.
main=$(nudger_main_window)
nudger_type "$main" " It was dark."
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$typed It was dark." 10 ||
    nudger_fail "killed: typing after Yes did not go on after the words taken back"
echo "killed: the offer named the file, Compare showed the lost words, Yes took them back, typing went on after them"

if [[ "${NUDGER_UPDATE_SCREENSHOTS:-}" == 1 ]]; then
    cp "$NUDGER_BUILD_DIR/e2e/screenshot-earlier-versions.png" "$NUDGER_SOURCE_DIR/docs/screenshot-earlier-versions.png"
    echo "updated docs/screenshot-earlier-versions.png"
fi
echo "PASS: Earlier Versions followed another program's write and a kill"
