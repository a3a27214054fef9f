# Sourceable after xvfb_env.sh (or weston_env.sh, where only the helpers that
# need no X server serve): what the writer-facing end-to-end tests share.
# Starting the program in a start directory, waiting for its windows while
# watching that it still runs, typing into a window (there is no window
# manager, so a window gets the keyboard only when it is given it), and
# taking screenshots that are checked not to be blank.
#
#   nudger_new_start_dir VAR [KEY=VALUE...]   fresh start directory with
#                                             nudger.dat and Manual.html and,
#                                             given values, a configuration
#   nudger_launch DIR                         start the program there (sets
#                                             NUDGER_PID, log in DIR/run.log)
#   nudger_window TITLE_REGEX [SECONDS]       print the id of a visible window
#   nudger_keys WINDOW KEY...                 focus the window, press keys
#   nudger_type WINDOW TEXT                   focus the window, type text
#   nudger_gone TITLE_REGEX [SECONDS]         wait until no such window shows
#   nudger_message_box [PID]                  print the ids of plain message boxes
#   nudger_screenshot WINDOW FILE             non-blank screenshot or fail
#   nudger_start_through_launcher PREFIX DIR  first start through an installed
#                                             launcher, left by Abort
#
# Needs NUDGER (the program), NUDGER_CONFIG (the nudger_config tool),
# NUDGER_SOURCE_DIR and NUDGER_BUILD_DIR set by the caller.

# The window helpers drive X with xdotool; on a Wayland display (no DISPLAY)
# tests drive the program over the accessibility bus instead.
if [[ -n "${DISPLAY:-}" ]] && ! command -v xdotool >/dev/null 2>&1; then
    echo "SKIP: xdotool is not installed"
    exit "$NUDGER_SKIP"
fi

NUDGER_PID=
NUDGER_WORK=$(mktemp -d "${TMPDIR:-/tmp}/nudger-e2e.XXXXXX")
nudger_on_exit "rm -rf '$NUDGER_WORK'"
# The program's private data (its recovery copies) stays with the test.
export XDG_DATA_HOME="$NUDGER_WORK/data"
nudger_on_exit '[[ -n "$NUDGER_PID" ]] && kill -9 "$NUDGER_PID" 2>/dev/null'

# Makes a fresh start directory and stores its path in the named variable.
nudger_new_start_dir()
{
    local -n dir_var=$1
    shift
    dir_var=$(mktemp -d "$NUDGER_WORK/start.XXXXXX")
    cp "$NUDGER_BUILD_DIR/nudger.dat" "$dir_var/" ||
        nudger_fail "no nudger.dat in $NUDGER_BUILD_DIR"
    cp "$NUDGER_SOURCE_DIR/resources/Manual.html" "$dir_var/"
    if (($# > 0)); then
        "$NUDGER_CONFIG" "$dir_var" "$@" || nudger_fail "nudger_config could not write $*"
    fi
}

nudger_launch()
{
    (cd "$1" && exec "$NUDGER") >"$1/run.log" 2>&1 &
    NUDGER_PID=$!
}

nudger_visible_windows()
{
    xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|'
}

# Polls for a visible window whose title matches; fails the test when the
# program ends or the window does not come.
nudger_window()
{
    local pattern=$1 seconds=${2:-20} ids tries=0
    until ids=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
        if [[ -n "$NUDGER_PID" ]] && ! kill -0 "$NUDGER_PID" 2>/dev/null; then
            nudger_fail "the program ended while waiting for \"$pattern\""
        fi
        if ((++tries > seconds * 20)); then
            nudger_fail "no window \"$pattern\" within $seconds s; visible: $(nudger_visible_windows)"
        fi
        sleep 0.05
    done
    head -n1 <<<"$ids"
}

nudger_gone()
{
    local pattern=$1 seconds=${2:-10} tries=0
    while xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1; do
        ((++tries > seconds * 20)) && nudger_fail "window \"$pattern\" still shown after $seconds s"
        sleep 0.05
    done
}

nudger_keys()
{
    local window=$1
    shift
    xdotool windowfocus --sync "$window" || nudger_fail "could not focus window $window"
    xdotool key --delay 40 "$@"
}

nudger_type()
{
    xdotool windowfocus --sync "$1" || nudger_fail "could not focus window $1"
    xdotool type --delay 20 "$2"
}

# A window is mapped before its first paint reaches the server: take pictures
# until one shows more than a plain background, for up to 10 s.
nudger_screenshot()
{
    local window=$1 file=$2 try colours deviation
    for ((try = 0; try < 50; try++)); do
        import -window "$window" "$file" 2>/dev/null || nudger_fail "screenshot of $window failed"
        colours=$(identify -format '%k' "$file")
        deviation=$(identify -format '%[fx:standard_deviation]' "$file")
        if ((colours >= 8)) && awk -v d="$deviation" 'BEGIN { exit !(d > 0.01) }'; then
            echo "screenshot $(basename "$file"): $colours colours"
            return 0
        fi
        sleep 0.2
    done
    nudger_fail "$(basename "$file") looks blank ($colours colours)"
}

# Waits for the program to end by itself; fails when it does not or when it
# ends with a non-zero status.
nudger_expect_exit()
{
    local seconds=${1:-10}
    nudger_wait_for_exit "$NUDGER_PID" "$seconds" ||
        nudger_fail "the program did not end within $seconds s"
    NUDGER_PID=
    [[ "$NUDGER_EXIT_STATUS" == 0 ]] || nudger_fail "the program ended with status $NUDGER_EXIT_STATUS"
}

# The main window: titled "Nudger" and far larger than the splash, which
# shows first and has no title of its own on X.
nudger_main_window()
{
    local seconds=${1:-20} tries=0 id
    while :; do
        for id in $(xdotool search --onlyvisible --name '^Nudger$' 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
            if ((WIDTH > 600)); then
                echo "$id"
                return 0
            fi
        done
        if [[ -n "$NUDGER_PID" ]] && ! kill -0 "$NUDGER_PID" 2>/dev/null; then
            nudger_fail "the program ended while waiting for its main window"
        fi
        ((++tries > seconds * 10)) &&
            nudger_fail "no main window within $seconds s; visible: $(nudger_visible_windows)"
        sleep 0.1
    done
}

# The plain message boxes, titled "Nudger" like the main window but small;
# with a process id, only that program's.
nudger_message_box()
{
    local id
    for id in $(xdotool search --onlyvisible ${1:+--pid "$1"} --name '^Nudger$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
        ((WIDTH < 600)) && echo "$id"
    done
    return 0
}

# Waits until the file holds exactly the expected text.
nudger_wait_for_file()
{
    local file=$1 expected=$2 seconds=${3:-10} tries=0
    until [[ -f "$file" && "$(cat "$file")" == "$expected" ]]; do
        if ((++tries > seconds * 10)); then
            nudger_fail "$(basename "$file") holds \"$(cat "$file" 2>/dev/null)\", expected \"$expected\""
        fi
        sleep 0.1
    done
}

# Presses keys in whatever window has the keyboard now (an open menu keeps
# it; focusing the main window again would close the menu).
nudger_press()
{
    xdotool key --delay 40 "$@"
}

# Starts the launcher installed under PREFIX as the menu entry does (from
# elsewhere, with only the environment of a session, XDG_DATA_HOME unset
# unless given), leaves the program by Abort at the first settings step and
# checks that it ran in START_DIR, holding links to the installed files.
#
#   nudger_start_through_launcher PREFIX START_DIR [NAME=VALUE...]
nudger_start_through_launcher()
{
    local prefix=$1 expected_start=$2
    shift 2
    (cd / && exec env -u XDG_DATA_HOME "$@" "$prefix/bin/nudger") >"$NUDGER_WORK/run.log" 2>&1 &
    NUDGER_PID=$!
    # The first window the program shows after the splash must be the
    # first-start question: any failure to load the suggestions would put
    # its box up first, and a box that is up blocks the rest.
    local info
    info=$(nudger_window '^Information$' 20)
    [[ "$(readlink "/proc/$NUDGER_PID/cwd")" == "$expected_start" ]] ||
        nudger_fail "the program runs in $(readlink "/proc/$NUDGER_PID/cwd"), expected $expected_start"
    [[ "$(readlink "/proc/$NUDGER_PID/exe")" == "$prefix/libexec/nudger/Nudger" ]] ||
        nudger_fail "the launcher started $(readlink "/proc/$NUDGER_PID/exe")"
    local name
    for name in nudger.dat Manual.html; do
        [[ "$(readlink "$expected_start/$name")" == "$prefix/share/nudger/$name" ]] ||
            nudger_fail "$expected_start/$name is not a link to the installed $name"
    done
    nudger_keys "$info" Return
    nudger_keys "$(nudger_window '^Settings$')" Escape
    # Retry is the default button; the next one is Abort.
    nudger_keys "$(nudger_window '^Error$')" Tab Return
    nudger_expect_exit 10
    [[ -f "$expected_start/Nudger.cfg" ]] || nudger_fail "no configuration in $expected_start"
    echo "started in $expected_start with links to the installed files"
}

# Takes every version out of the private store with standard tools only, as
# README.md shows a writer: sqlite3 for the frames, zstd for their bytes, a
# version made against its base with that base's bytes. Each version becomes
# OUT/<id>.txt; prints OUT.
#
#   nudger_history_out [DATABASE] [OUT]
nudger_history_out()
{
    local database=${1:-$XDG_DATA_HOME/Nudger/nudger.db} out=${2:-$NUDGER_WORK/history-out}
    rm -rf "$out" && mkdir -p "$out"
    [[ -f "$database" ]] || { echo "$out"; return 0; }
    local id base
    while IFS='|' read -r id base; do
        sqlite3 "$database" "SELECT writefile('$out/$id.zst', data) FROM versions WHERE id = $id" \
            >/dev/null || nudger_fail "sqlite3 could not take version $id out"
        if [[ -z "$base" ]]; then
            zstd -q -d "$out/$id.zst" -o "$out/$id.txt"
        else
            zstd -q -d --long=31 --patch-from="$out/$base.txt" "$out/$id.zst" -o "$out/$id.txt"
        fi || nudger_fail "zstd could not make out version $id"
        rm -f "$out/$id.zst"
    done < <(sqlite3 "$database" "SELECT id, ifnull(base, '') FROM versions ORDER BY id")
    echo "$out"
}
