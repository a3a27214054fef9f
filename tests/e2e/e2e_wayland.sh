#!/bin/bash
# The program running natively under a Wayland compositor (a private headless
# Weston, Qt's Wayland platform), as on X11: it starts and shows its main
# window, takes typing, nudges after the interval of idleness, and closes
# with the save question, Yes saving the text. Headless Weston has no input
# devices, so the test types and presses through the accessibility bus, as
# an input method and a screen reader do. Nothing may print a warning on the
# way; and when the compositor goes away, the unsaved text reaches both files
# first. Skips (77) only when Weston cannot start at all.
#
#   e2e_wayland.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/weston_env.sh"
NUDGER_ATSPI_REQUIRED=1
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

# Under LeakSanitizer, trace allocations through the graphics driver too (it
# has no frame pointers), so that tools/lsan.supp can name the memory Mesa's
# EGL keeps until the process ends.
[[ -n "${LSAN_OPTIONS:-}" ]] && export LSAN_OPTIONS="$LSAN_OPTIONS:fast_unwind_on_malloc=0"

interval_ms=3000
first_suggestion=$(head -n 1 "$NUDGER_SOURCE_DIR/resources/suggestions.txt" | tr -d '\r')
text="Written under Wayland."
nudger_new_start_dir start PrimaryFile="$NUDGER_WORK/text.txt" RandomizeSuggestions=NO \
    Interval=$interval_ms SoundEnabled=NO AutoSaveEnabled=NO
started=$(date +%s.%N)
nudger_launch "$start"

# The main window is up when its text area can be read.
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "" 20 ||
    nudger_fail "no main window: $(cat "$start/run.log")"
nudger_atspi type "$NUDGER_PID" "text:Your Text" "$text" || nudger_fail "could not type"
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$text" 5
echo "started and took typing"

# Idle for the interval: the first suggestion in order.
nudger_atspi wait-text "$NUDGER_PID" "text:Nudger Suggestion" "$first_suggestion" \
    $((interval_ms / 1000 + 5)) || nudger_fail "no nudge within the interval"
echo "nudged: $first_suggestion"

# File > Exit with unsaved text: the question, then Yes. The press returns
# once the question has been answered, so it runs in the background.
nudger_atspi press "$NUDGER_PID" "menu item:Exit" &
press=$!
nudger_atspi names "$NUDGER_PID" "Do you want to save your changes?" "Yes" "No" "Cancel" ||
    nudger_fail "closing does not ask to save the changes"
nudger_atspi press "$NUDGER_PID" "push button:Yes" || true
nudger_wait_for_exit "$NUDGER_PID" 10 || nudger_fail "the program did not end after Yes"
NUDGER_PID=
[[ "$NUDGER_EXIT_STATUS" == 0 ]] ||
    nudger_fail "the program ended with status $NUDGER_EXIT_STATUS: $(cat "$start/run.log")"
wait "$press" 2>/dev/null || true
[[ "$(cat "$NUDGER_WORK/text.txt")" == "$text" ]] ||
    nudger_fail "after Yes the primary file holds \"$(cat "$NUDGER_WORK/text.txt" 2>/dev/null)\""

if [[ -s "$start/run.log" ]]; then
    nudger_fail "the program printed under Wayland: $(cat "$start/run.log")"
fi
echo "started, typed, nudged and closed with the save question, no warnings" \
    "($(awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }') s)"

# The compositor goes away (the session ends) with unsaved text: the last
# tick writes it before the program ends.
nudger_new_start_dir start PrimaryFile="$NUDGER_WORK/text.txt" \
    BackupFile="$NUDGER_WORK/backup.txt" SoundEnabled=NO NudgeEnabled=NO
nudger_launch "$start"
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$text" 20 ||
    nudger_fail "no main window: $(cat "$start/run.log")"
nudger_atspi type "$NUDGER_PID" "text:Your Text" " Last words." || nudger_fail "could not type"
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$text Last words." 5
kill -9 "$NUDGER_WESTON_PID"
nudger_wait_for_exit "$NUDGER_PID" 30 || nudger_fail "the program outlived the compositor"
NUDGER_PID=
for file in text.txt backup.txt; do
    [[ "$(cat "$NUDGER_WORK/$file" 2>/dev/null)" == "$text Last words." ]] ||
        nudger_fail "the compositor gone, $file holds \"$(cat "$NUDGER_WORK/$file" 2>/dev/null)\""
done
echo "PASS: under Wayland, and the last words written when the compositor went"
