# Sourceable after xvfb_env.sh or weston_env.sh: starts a private session bus
# and the accessibility bus on it, and makes Qt publish its accessibility tree
# there, so that tests/e2e/atspi_tool.py can read the running program as a
# screen reader would. Exits 77 (skip) when a piece is missing, or fails when
# NUDGER_ATSPI_REQUIRED=1.
#
#   source "$SRC/tests/e2e/xvfb_env.sh"
#   source "$SRC/tests/e2e/atspi_env.sh"
#   nudger_atspi text "$pid" "Nudger Suggestion"

NUDGER_ATSPI_LAUNCHER=/usr/libexec/at-spi-bus-launcher

nudger_start_atspi()
{
    local missing=
    command -v dbus-launch >/dev/null 2>&1 || missing="dbus-x11"
    [[ -x "$NUDGER_ATSPI_LAUNCHER" ]] || missing="$missing at-spi2-core"
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing="$missing python3-pyatspi"
    if [[ -n "$missing" ]]; then
        [[ "${NUDGER_ATSPI_REQUIRED:-}" == 1 ]] &&
            nudger_fail "accessibility test tools are missing (apt-get install $missing)"
        echo "SKIP: accessibility test tools are missing (apt-get install $missing)"
        exit "$NUDGER_SKIP"
    fi

    local bus
    bus=$(dbus-launch --sh-syntax 2>/dev/null) || nudger_fail "dbus-launch failed"
    eval "$bus"
    nudger_on_exit "kill $DBUS_SESSION_BUS_PID 2>/dev/null"
    "$NUDGER_ATSPI_LAUNCHER" --launch-immediately >/dev/null 2>&1 &
    nudger_on_exit "kill $! 2>/dev/null"
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    # Wait until the accessibility bus answers, so the program finds it.
    local tries=0
    until dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null 2>&1; do
        ((++tries > 100)) && nudger_fail "the accessibility bus did not start"
        sleep 0.1
    done
}

nudger_atspi()
{
    /usr/bin/python3 "$NUDGER_E2E_DIR/atspi_tool.py" "$@"
}

nudger_start_atspi
