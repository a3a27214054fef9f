# Sourceable helper for the real-window tests: starts a private X server,
# points DISPLAY at it and makes Qt use it, and tears everything down when the
# sourcing script exits.
#
#   source "$SRC/tests/e2e/xvfb_env.sh"     # exits 77 (skip) without Xvfb
#   nudger_on_exit "rm -rf '$dir'"          # more clean-up, run in reverse order
#   nudger_wait_for_window '^Nudger$' 30    # prints the window id
#
# There is no window manager on this display: windows are never reparented
# or decorated, and a close request is a WM_DELETE_WINDOW message
# (tests/e2e/wm_close.py), not a key press.

source "$(dirname "${BASH_SOURCE[0]}")/e2e_base.sh"

NUDGER_XVFB_PID=
NUDGER_XVFB_TMP=

# Starts Xvfb on a display number that the server picks itself (-displayfd),
# so parallel tests never race for the same number.
nudger_start_xvfb()
{
    if ! command -v Xvfb >/dev/null 2>&1; then
        echo "SKIP: Xvfb is not installed (apt-get install xvfb)"
        exit "$NUDGER_SKIP"
    fi
    NUDGER_XVFB_TMP=$(mktemp -d "${TMPDIR:-/tmp}/nudger-xvfb.XXXXXX")
    # The first clean-up registered runs last, after the program has ended.
    nudger_on_exit "rm -rf '$NUDGER_XVFB_TMP'"

    local fdfile="$NUDGER_XVFB_TMP/display"
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        9>"$fdfile" >"$NUDGER_XVFB_TMP/xvfb.log" 2>&1 &
    NUDGER_XVFB_PID=$!
    nudger_on_exit "kill $NUDGER_XVFB_PID 2>/dev/null; wait $NUDGER_XVFB_PID 2>/dev/null"

    # Xvfb writes the display number once it accepts connections.
    local tries=0
    until [[ -s "$fdfile" ]] && grep -q '^[0-9][0-9]*$' "$fdfile"; do
        if ! kill -0 "$NUDGER_XVFB_PID" 2>/dev/null; then
            cat "$NUDGER_XVFB_TMP/xvfb.log" >&2
            nudger_fail "Xvfb did not start"
        fi
        ((++tries > 200)) && nudger_fail "Xvfb did not report a display within 20 s"
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
    # Qt must use the X server, not the headless platform that CTest sets.
    unset QT_QPA_PLATFORM
    # Keep the program away from the caller's session services.
    unset WAYLAND_DISPLAY
    unset XAUTHORITY
    # A private runtime directory, as a desktop session would provide.
    export XDG_RUNTIME_DIR="$NUDGER_XVFB_TMP/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# Waits until a visible window whose title matches the regular expression
# exists and prints its id (the first, when several match).
nudger_wait_for_window()
{
    local pattern=$1 seconds=${2:-30}
    local ids
    ids=$(timeout "$seconds" xdotool search --sync --onlyvisible --name "$pattern" 2>/dev/null) || return 1
    head -n1 <<<"$ids"
}

# Sends the window manager's close request to the window with the given id.
nudger_close_window()
{
    /usr/bin/python3 "$NUDGER_E2E_DIR/wm_close.py" --id "$1"
}

nudger_start_xvfb
