# Sourceable helper for the Wayland tests: starts a private headless Weston
# compositor, points WAYLAND_DISPLAY at it and makes Qt use its Wayland
# platform, and tears everything down when the sourcing script exits.
#
#   source "$SRC/tests/e2e/weston_env.sh"   # exits 77 (skip) only when Weston
#                                           # cannot start at all
#
# No X server is left in reach (DISPLAY is unset), so nothing can fall back
# to X. Headless Weston has no input devices: tests drive the program over
# the accessibility bus (atspi_env.sh).

source "$(dirname "${BASH_SOURCE[0]}")/e2e_base.sh"

NUDGER_WESTON_PID=
NUDGER_WESTON_TMP=

nudger_start_weston()
{
    if ! command -v weston >/dev/null 2>&1; then
        echo "SKIP: Weston is not installed (apt-get install weston)"
        exit "$NUDGER_SKIP"
    fi
    NUDGER_WESTON_TMP=$(mktemp -d "${TMPDIR:-/tmp}/nudger-weston.XXXXXX")
    nudger_on_exit "rm -rf '$NUDGER_WESTON_TMP'"
    export XDG_RUNTIME_DIR="$NUDGER_WESTON_TMP/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"

    local socket=nudger-wayland
    weston --backend=headless-backend.so --socket="$socket" --width=1280 --height=1024 \
        --idle-time=0 >"$NUDGER_WESTON_TMP/weston.log" 2>&1 &
    NUDGER_WESTON_PID=$!
    nudger_on_exit "kill $NUDGER_WESTON_PID 2>/dev/null; wait $NUDGER_WESTON_PID 2>/dev/null"

    # Weston makes its socket once it accepts clients.
    local tries=0
    until [[ -S "$XDG_RUNTIME_DIR/$socket" ]]; do
        if ! kill -0 "$NUDGER_WESTON_PID" 2>/dev/null || ((++tries > 200)); then
            echo "SKIP: Weston did not start:"
            tail -n 5 "$NUDGER_WESTON_TMP/weston.log"
            exit "$NUDGER_SKIP"
        fi
        sleep 0.1
    done
    export WAYLAND_DISPLAY=$socket
    export QT_QPA_PLATFORM=wayland
    unset DISPLAY XAUTHORITY
}

nudger_start_weston
