#!/bin/bash
# A full disk under the writer's primary file: File > Save says "I cannot
# save your text!", the file keeps its old bytes, nothing else is left on the
# disk, and the text still counts as unsaved, so closing the window still
# asks whether to save it. Needs root to mount the small file system it
# fills; skips (77) where mounting is refused.
#
#   e2e_full_disk.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

disk="$NUDGER_WORK/disk"
mkdir "$disk"
if ! mount -t tmpfs -o size=64k tmpfs "$disk" 2>/dev/null; then
    echo "SKIP: cannot mount a tmpfs here"
    exit "$NUDGER_SKIP"
fi
nudger_on_exit "umount -l '$disk'"

primary="$disk/text.txt"
old="Forty bytes of the writer's earlier text"
printf '%s' "$old" >"$primary"
# Filled to the last byte: a stream fills every block, then one more byte
# must not fit.
cat /dev/zero >"$disk/filler" 2>/dev/null || true
if printf x 2>/dev/null >>"$disk/filler"; then
    nudger_fail "the disk is not full"
fi

nudger_new_start_dir start PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO \
    AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$old" 10
nudger_type "$main" " and new words."
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "$old and new words." 10

# File > Save: the first item of the File menu.
nudger_keys "$main" alt+f
nudger_press Return
# The plain message box: titled "Nudger" like the main window, but small.
tries=0
until [[ -n "$(nudger_message_box)" ]]; do
    ((++tries > 100)) && nudger_fail "no message box after File > Save; $(cat "$primary" | wc -c) bytes on disk"
    sleep 0.1
done
nudger_atspi names "$NUDGER_PID" "I cannot save your text!" ||
    nudger_fail "the box does not say \"I cannot save your text!\""
echo "File > Save on the full disk: \"I cannot save your text!\""
[[ "$(cat "$primary")" == "$old" ]] ||
    nudger_fail "the primary file now holds \"$(cat "$primary")\""
left=$(ls -A "$disk" | tr '\n' ' ')
[[ "$left" == "filler text.txt " ]] || nudger_fail "the disk holds: $left"
echo "the primary file kept its $(stat -c %s "$primary") bytes and nothing was left beside it"

# OK on the box (it has the keyboard), then close the window: the text was
# not saved, so the question comes.
nudger_press Return
nudger_close_window "$main"
confirm=$(nudger_window '^Confirm$')
nudger_atspi names "$NUDGER_PID" "Do you want to save your changes?" ||
    nudger_fail "closing did not ask to save the unsaved text"
nudger_keys "$confirm" n
nudger_expect_exit 10
[[ "$(cat "$primary")" == "$old" ]] ||
    nudger_fail "after No the primary file holds \"$(cat "$primary")\""
echo "PASS: the full disk was reported, the file kept and the close question asked"
