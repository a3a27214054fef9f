#!/bin/bash
# The first start in a start directory with no configuration, as a writer
# meets it: the frameless splash for about a second, the information box
# asking for a primary file, the settings dialog, the real file chooser,
# Save, and then the main window; the configuration holds the chosen file.
#
#   e2e_first_start.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/e2e_common.sh"
command -v xprop >/dev/null || { echo "SKIP: xprop is not installed (x11-utils)"; exit 77; }

nudger_new_start_dir start
primary="$start/My Novel.txt"
nudger_launch "$start"

# The splash: the program's first window, frameless (it asks the window
# manager for no decorations) and 390 x 126, which closes by itself after
# about a second.
tries=0
until splash=$(xdotool search --onlyvisible --classname '^Nudger$' 2>/dev/null); do
    kill -0 "$NUDGER_PID" 2>/dev/null || nudger_fail "the program ended before its first window"
    ((++tries > 400)) && nudger_fail "no window within 20 s"
    sleep 0.05
done
shown=$(date +%s%N)
splash=$(head -n1 <<<"$splash")
hints=$(xprop -id "$splash" -notype _MOTIF_WM_HINTS)
# flags, functions, decorations, ...: decorations 0 is frameless.
[[ "$(awk -F'[=,] *' '{ print $4 }' <<<"$hints")" == 0x0 ]] ||
    nudger_fail "the first window is not frameless: $hints"
eval "$(xdotool getwindowgeometry --shell "$splash")"
[[ "${WIDTH}x$HEIGHT" == 390x126 ]] || nudger_fail "the first window is ${WIDTH}x$HEIGHT, not the splash"
while xwininfo -id "$splash" 2>/dev/null | grep -q 'IsViewable'; do
    (($(date +%s%N) - shown > 10000000000)) && nudger_fail "the splash stays open"
    sleep 0.05
done
splash_ms=$((($(date +%s%N) - shown) / 1000000))
echo "splash shown for about $splash_ms ms"
((splash_ms >= 500 && splash_ms <= 4000)) || nudger_fail "the splash stayed $splash_ms ms, expected about 1000"

# No primary file yet: the information box, then the settings dialog.
info=$(nudger_window '^Information$')
nudger_atspi names "$NUDGER_PID" "You must select a primary file to save your text to." ||
    nudger_fail "the information box does not say that a primary file is needed"
nudger_keys "$info" Return
settings=$(nudger_window '^Settings$')
xdotool search --onlyvisible --name '^Nudger$' >/dev/null 2>&1 &&
    nudger_fail "the main window shows before a primary file is chosen"

# Browse (the next control after the interval) opens the real file chooser;
# the writer types the name and presses Return.
nudger_keys "$settings" Tab space
chooser=$(nudger_window '^Primary File$')
nudger_type "$chooser" "$primary"
nudger_keys "$chooser" Return
nudger_gone '^Primary File$'
nudger_atspi wait-text "$NUDGER_PID" "text:Primary File" "$primary" 10 ||
    nudger_fail "the settings dialog does not show the chosen primary file"
nudger_atspi click "$NUDGER_PID" "push button:Save"

main=$(nudger_window '^Nudger$')
nudger_gone '^Settings$'
nudger_atspi names "$NUDGER_PID" "Your Text" "Nudger Suggestion" ||
    nudger_fail "the main window lacks its text areas"
stored=$("$NUDGER_CONFIG" "$start" --get PrimaryFile) || nudger_fail "PrimaryFile is not stored"
[[ "$stored" == "$primary" ]] || nudger_fail "PrimaryFile is \"$stored\", expected \"$primary\""

# Nothing was typed: the window closes without a question.
nudger_close_window "$main"
nudger_expect_exit 10
echo "PASS: splash, information box, settings dialog and file chooser led to the main window"
