#!/bin/bash
# The main window as a writer on a dark desktop sees it: the platform theme
# qt6ct with its "darker" colour scheme and the Fusion style. With a
# suggestion shown and some text written, the picture must not be blank,
# the window must really be dark, and the text the writer types must stand
# out from its ground by at least 4.5:1. The picture is saved as
# BUILD_DIR/e2e/screenshot-dark.png; with NUDGER_UPDATE_SCREENSHOTS=1 it
# also replaces docs/screenshot-dark.png.
#
#   e2e_dark_scheme.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/e2e_common.sh"
command -v convert >/dev/null || { echo "SKIP: imagemagick is not installed"; exit 77; }
scheme=/usr/share/qt6ct/colors/darker.conf
if [[ ! -f "$scheme" ]] || ! compgen -G "/usr/lib/*/qt6/plugins/platformthemes/libqt6ct.so" >/dev/null; then
    echo "SKIP: qt6ct is not installed (apt-get install qt6ct)"
    exit 77
fi

# The theme reads its settings from the writer's configuration folder.
home="$NUDGER_WORK/home"
mkdir -p "$home/.config/qt6ct"
printf '[Appearance]\ncolor_scheme_path=%s\ncustom_palette=true\nstyle=Fusion\n' "$scheme" \
    >"$home/.config/qt6ct/qt6ct.conf"
export HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORMTHEME=qt6ct

nudger_new_start_dir start PrimaryFile="$NUDGER_WORK/text.txt" RandomizeSuggestions=NO \
    NudgeEnabled=NO AutoSaveEnabled=NO SoundEnabled=NO
nudger_launch "$start"
main=$(nudger_main_window)
nudger_keys "$main" ctrl+s
nudger_type "$main" "The lighthouse keeper had not spoken to anyone in three weeks."
nudger_keys "$main" Return Return ctrl+d
nudger_type "$main" "Then the letter came."

shot="$NUDGER_BUILD_DIR/e2e/screenshot-dark.png"
mkdir -p "$(dirname "$shot")"
rm -f "$shot"
nudger_screenshot "$main" "$shot"

# Relative luminance (0 black, 1 white) of the darkest pixel in a part of
# the picture given as WIDTHxHEIGHT+X+Y.
luminance()
{
    convert "$shot" -crop "$1" +repage -grayscale Rec709Luminance -format '%[fx:minima]' info:
}
contrast()
{
    awk -v a="$1" -v b="$2" 'BEGIN { if (a < b) { t = a; a = b; b = t }
                                     printf "%.2f", (a + 0.05) / (b + 0.05) }'
}
eval "$(xdotool getwindowgeometry --shell "$main")"
# The menu bar's ground at its right end; the ground of the writer's text
# near its bottom, above the status bar; the text typed, in its lower part
# below the caption bars.
window_ground=$(luminance 1x1+$((WIDTH - 10))+5)
text_ground=$(luminance 1x1+$((WIDTH / 2))+$((HEIGHT - 40)))
text_ink=$(luminance $((WIDTH - 40))x$((HEIGHT * 65 / 100 - 30))+5+$((HEIGHT * 35 / 100)))
awk -v l="$window_ground" 'BEGIN { exit !(l < 0.05) }' ||
    nudger_fail "the window is not dark (luminance $window_ground): the dark scheme was not applied"
ratio=$(contrast "$text_ground" "$text_ink")
echo "dark scheme: window ground luminance $window_ground, your text $ratio:1"
awk -v r="$ratio" 'BEGIN { exit !(r >= 4.5) }' ||
    nudger_fail "the text stands out from its ground by $ratio:1 only, expected at least 4.5:1"

nudger_close_window "$main"
confirm=$(nudger_window '^Confirm$')
nudger_keys "$confirm" n
nudger_expect_exit 10

if [[ "${NUDGER_UPDATE_SCREENSHOTS:-}" == 1 ]]; then
    mkdir -p "$NUDGER_SOURCE_DIR/docs"
    cp "$shot" "$NUDGER_SOURCE_DIR/docs/screenshot-dark.png"
    echo "updated docs/screenshot-dark.png"
fi
echo "PASS: readable under a dark colour scheme, screenshot taken"
