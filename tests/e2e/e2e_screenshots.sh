#!/bin/bash
# Pictures of the main window at work and of every dialog a writer meets:
# Settings, Suggestion Settings, About, Manual and the Confirm box. Each is
# checked not to be blank and saved in BUILD_DIR/e2e; with
# NUDGER_UPDATE_SCREENSHOTS=1 they also replace the pictures in docs/.
#
#   e2e_screenshots.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/e2e_common.sh"
command -v import >/dev/null || { echo "SKIP: imagemagick is not installed"; exit 77; }

shots="$NUDGER_BUILD_DIR/e2e"
mkdir -p "$shots"
taken=()
shoot()
{
    local window=$1 name=$2
    rm -f "$shots/$name"
    nudger_screenshot "$window" "$shots/$name"
    taken+=("$name")
}

# Spelling checked in en_US, with the writer's settings and word lists kept
# with the test.
export HOME="$NUDGER_WORK/home" XDG_CONFIG_HOME="$NUDGER_WORK/home/.config"
mkdir -p "$XDG_CONFIG_HOME/Nudger"
printf 'Spelling/Language=en_US\n' >"$XDG_CONFIG_HOME/Nudger/settings"

nudger_new_start_dir start PrimaryFile="$NUDGER_WORK/My Novel.txt" \
    BackupFile="$NUDGER_WORK/My Novel backup.txt" RandomizeSuggestions=NO \
    NudgeEnabled=NO AutoSaveEnabled=NO SoundEnabled=NO
printf 'Show, do not tell.\r\nEnd the chapter on a question.\r\n' >"$start/user_suggestions.txt"
"$NUDGER_CONFIG" "$start" UseUserSuggestionsFile=YES UserSuggestionsFile=user_suggestions.txt
nudger_launch "$start"
main=$(nudger_main_window)

# The dialogs, opened from the keyboard before any text is typed (with
# unsaved text Settings... first asks about saving it).
open_and_shoot()
{
    local title=$1 keys=$2 mnemonic=$3 name=$4 window
    nudger_keys "$main" "$keys"
    nudger_press "$mnemonic"
    window=$(nudger_window "^$title\$")
    shoot "$window" "$name"
    nudger_keys "$window" Escape
    nudger_gone "^$title\$"
}
open_and_shoot Settings alt+c e screenshot-settings.png
open_and_shoot "Suggestion Settings" alt+s e screenshot-suggestion-settings.png
open_and_shoot About alt+h a screenshot-about.png
open_and_shoot Manual alt+h m screenshot-manual.png

# The main window at work: a suggestion shown and some text written, one
# word of it misspelled and marked a moment after it was typed.
nudger_keys "$main" ctrl+s
nudger_type "$main" "The lighthouse keeper had not spoken to anyone in three weeks."
nudger_keys "$main" Return Return ctrl+d
nudger_type "$main" "Then the leter came."
sleep 1
shoot "$main" screenshot-writing.png

# Closing with unsaved text: the Confirm box; No leaves without saving.
nudger_close_window "$main"
confirm=$(nudger_window '^Confirm$')
shoot "$confirm" screenshot-confirm.png
nudger_keys "$confirm" n
nudger_expect_exit 10

if [[ "${NUDGER_UPDATE_SCREENSHOTS:-}" == 1 ]]; then
    mkdir -p "$NUDGER_SOURCE_DIR/docs"
    for name in "${taken[@]}"; do
        cp "$shots/$name" "$NUDGER_SOURCE_DIR/docs/$name"
    done
    echo "updated docs/: ${taken[*]}"
fi
echo "PASS: ${#taken[@]} screenshots in $shots"
