#!/bin/bash
# Starts the real program under a private X server in a fresh start
# directory, checks its main window (title, size, that it draws something),
# takes a screenshot and closes it the way a window manager would.
#
#   e2e_start.sh NUDGER_BINARY SOURCE_DIR OUTPUT_DIR [CONFIG_TOOL]
#
# CONFIG_TOOL (or nudger_config beside the program) prepares the start
# directory's configuration so that the main window opens without the
# first-start dialogs. With NUDGER_UPDATE_SCREENSHOTS=1 the screenshot
# replaces docs/screenshot-main.png in the source tree.
set -euo pipefail

nudger=$(realpath "$1")
source_dir=$(realpath "$2")
output_dir=$(realpath "${3:-.}")
config_tool=${4:-}
if [[ -z "$config_tool" && -x "$(dirname "$nudger")/nudger_config" ]]; then
    config_tool="$(dirname "$nudger")/nudger_config"
fi

source "$source_dir/tests/e2e/xvfb_env.sh"

# The designed outer size of the main window; without a window manager the
# outer size is the X window's size.
expected_width=718
expected_height=480
tolerance=20

start_dir=$(mktemp -d "${TMPDIR:-/tmp}/nudger-e2e.XXXXXX")
nudger_on_exit "rm -rf '$start_dir'"
mkdir -p "$output_dir/e2e"
log="$output_dir/e2e/e2e_start.log"
shot="$output_dir/e2e/screenshot-main.png"
rm -f "$shot"

if [[ -n "$config_tool" ]]; then
    "$config_tool" "$start_dir" PrimaryFile="$start_dir/text.txt" ||
        nudger_fail "$config_tool could not prepare $start_dir"
fi
[[ -f "$source_dir/resources/Manual.html" ]] && cp "$source_dir/resources/Manual.html" "$start_dir/"
[[ -f "$(dirname "$nudger")/nudger.dat" ]] && cp "$(dirname "$nudger")/nudger.dat" "$start_dir/"

cp "$nudger" "$start_dir/Nudger"
(cd "$start_dir" && exec ./Nudger) >"$log" 2>&1 &
pid=$!
nudger_on_exit "kill $pid 2>/dev/null"
echo "DISPLAY=$DISPLAY start directory=$start_dir pid=$pid"

if ! window=$(nudger_wait_for_window '^Nudger$' 30); then
    kill -0 "$pid" 2>/dev/null || echo "the program ended early; its output:" >&2
    cat "$log" >&2
    nudger_fail "no visible window titled \"Nudger\" within 30 s"
fi

title=$(xdotool getwindowname "$window")
[[ "$title" == "Nudger" ]] || nudger_fail "window title is \"$title\", expected \"Nudger\""

eval "$(xdotool getwindowgeometry --shell "$window")"
echo "main window $window: ${WIDTH}x${HEIGHT} at $X,$Y"
if ((WIDTH < expected_width - tolerance || WIDTH > expected_width + tolerance ||
     HEIGHT < expected_height - tolerance || HEIGHT > expected_height + tolerance)); then
    nudger_fail "main window is ${WIDTH}x${HEIGHT}, expected about ${expected_width}x${expected_height}"
fi
read -r screen_width screen_height < <(xdotool getdisplaygeometry)
centre_x=$(((screen_width - WIDTH) / 2))
centre_y=$(((screen_height - HEIGHT) / 2))
if ((X < centre_x - 2 || X > centre_x + 2 || Y < centre_y - 2 || Y > centre_y + 2)); then
    nudger_fail "main window is at $X,$Y, expected centred at $centre_x,$centre_y"
fi

# The window is mapped before its first paint reaches the server: take
# pictures until one shows more than a plain background, for up to 10 s.
blank=1
for ((try = 0; try < 50; try++)); do
    import -window "$window" "$shot" || nudger_fail "screenshot failed"
    colours=$(identify -format '%k' "$shot")
    deviation=$(identify -format '%[fx:standard_deviation]' "$shot")
    if ((colours >= 8)) && awk -v d="$deviation" 'BEGIN { exit !(d > 0) }'; then
        blank=0
        break
    fi
    sleep 0.2
done
echo "screenshot $shot: $colours colours, standard deviation $deviation"
((blank == 0)) || nudger_fail "the main window looks blank ($colours colours)"

nudger_close_window "$window" || nudger_fail "could not send the close request"
nudger_wait_for_exit "$pid" 10 ||
    nudger_fail "the program did not end within 10 s of the close request"
if [[ "$NUDGER_EXIT_STATUS" != 0 ]]; then
    cat "$log" >&2
    nudger_fail "the program ended with status $NUDGER_EXIT_STATUS"
fi

if [[ "${NUDGER_UPDATE_SCREENSHOTS:-}" == 1 ]]; then
    mkdir -p "$source_dir/docs"
    cp "$shot" "$source_dir/docs/screenshot-main.png"
    echo "updated docs/screenshot-main.png"
fi
echo "PASS: main window shown, screenshot taken, closed cleanly"
