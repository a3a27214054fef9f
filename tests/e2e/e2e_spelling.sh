#!/bin/bash
# Spelling on the real program, driven from the keyboard and read through the
# accessibility bus as a screen reader reads it, with the en_US dictionary:
#   correct  "the quikc fox" typed: Next Misspelling (F7) selects "quikc"
#            and opens its menu, named after the word, with "quick" first;
#            choosing it gives "the quick fox", and one Ctrl+Z undoes it.
#   added    Add to Dictionary keeps a word across a restart: F7 then finds
#            only the other misspelling.
#   off      with Check Spelling off (kept in the writer's settings), F7
#            finds nothing.
# Skips (77) without Enchant or an en_US dictionary.
#
#   e2e_spelling.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
has_dictionary()
{
    ldconfig -p | grep 'libenchant-2\.so\.2' >/dev/null || return 1
    compgen -G '/usr/share/hunspell/en_US.dic' >/dev/null ||
        compgen -G '/usr/lib/*/aspell/en_US*' >/dev/null
}
if ! has_dictionary; then
    echo "SKIP: Enchant or an en_US dictionary is missing (apt-get install libenchant-2-2 hunspell-en-us)"
    exit 77
fi
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"

# The writer's settings and personal word lists stay with the test: Enchant's
# in the configuration folder, Aspell's in the home folder.
export HOME="$NUDGER_WORK/home" XDG_CONFIG_HOME="$NUDGER_WORK/home/.config"
mkdir -p "$XDG_CONFIG_HOME/Nudger"
printf 'Spelling/Language=en_US\n' >"$XDG_CONFIG_HOME/Nudger/settings"
settings="$XDG_CONFIG_HOME/Nudger/settings"

# F7 in the main window: prints the menu that opens (its name, then its
# items), or fails. The dictionary loads once the window shows: until then
# F7 finds nothing, so it is pressed again for a while.
next_misspelling()
{
    local tries=0
    until nudger_atspi popup "$NUDGER_PID" 2 "xdotool windowfocus --sync $main key F7"; do
        ((++tries > 5)) && nudger_fail "$1: F7 opened no menu"
    done
}

# --- correct: the first suggestion, undone in one step ----------------------
primary="$NUDGER_WORK/story.txt"
printf '' >"$primary"
nudger_new_start_dir start PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO \
    AutoSaveEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)
nudger_type "$main" "the quikc fox"
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "the quikc fox" 10
menu=$(next_misspelling correct)
[[ "$(head -n1 <<<"$menu")" == "Misspelled word: quikc" && "$(sed -n 2p <<<"$menu")" == quick ]] ||
    nudger_fail "correct: F7 opened another menu: $menu"
grep -qx "Add to Dictionary" <<<"$menu" && grep -qx "Ignore All" <<<"$menu" &&
    grep -q "^Undo" <<<"$menu" || nudger_fail "correct: the menu lacks an entry: $menu"
# The first item is the first suggestion.
nudger_press Down Return
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "the quick fox" 10 ||
    nudger_fail "correct: the first suggestion did not replace the word"
nudger_keys "$main" ctrl+z
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "the quikc fox" 10 ||
    nudger_fail "correct: one Ctrl+Z did not undo the correction"
echo "correct: F7 found \"quikc\", \"quick\" replaced it, one Ctrl+Z undid it"

# --- added: a word in the personal word list stays there --------------------
nudger_keys "$main" ctrl+End
nudger_type "$main" " zorblat"
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "the quikc fox zorblat" 10
# The word just typed is the next from the cursor.
menu=$(next_misspelling added)
[[ "$(head -n1 <<<"$menu")" == "Misspelled word: zorblat" ]] ||
    nudger_fail "added: F7 did not find the word just typed: $menu"
nudger_press d
nudger_atspi press "$NUDGER_PID" "menu item:Save"
nudger_wait_for_file "$primary" "the quikc fox zorblat"
grep -rqx zorblat "$XDG_CONFIG_HOME/enchant" "$HOME"/.aspell.* 2>/dev/null ||
    nudger_fail "added: no personal word list holds the word"
kill "$NUDGER_PID"
nudger_wait_for_exit "$NUDGER_PID" 10 || nudger_fail "added: the program did not end"

nudger_launch "$start"
main=$(nudger_main_window)
nudger_atspi wait-text "$NUDGER_PID" "text:Your Text" "the quikc fox zorblat" 10
# From the end of the text the search starts again at the top; the second
# F7 goes on from the word the first selected, and comes round to it again.
for round in 1 2; do
    menu=$(next_misspelling added)
    [[ "$(head -n1 <<<"$menu")" == "Misspelled word: quikc" ]] ||
        nudger_fail "added: F7 found another word after the restart (round $round): $menu"
    nudger_press Escape
done
echo "added: \"zorblat\" stayed in the dictionary across a restart"

# --- off: nothing is marked ------------------------------------------------
nudger_atspi press "$NUDGER_PID" "menu item:Check Spelling"
[[ "$(nudger_atspi checked "$NUDGER_PID" "menu item" "Check Spelling")" == unchecked ]] ||
    nudger_fail "off: Check Spelling is still checked"
grep -qx 'Spelling/Enabled=false' "$settings" ||
    nudger_fail "off: the writer's settings do not keep the choice: $(cat "$settings")"
nudger_keys "$main" ctrl+Home
if nudger_atspi popup "$NUDGER_PID" 2 "xdotool windowfocus --sync $main key F7"; then
    nudger_fail "off: F7 still opened a menu"
fi
echo "off: with Check Spelling off, nothing was found"
echo "PASS: spelling checked, corrected, undone, kept and turned off"
