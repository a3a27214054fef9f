# Sourceable by the environment helpers (xvfb_env.sh, weston_env.sh): clean-up
# run when the sourcing script exits, failing with a message, and waiting for
# a background process to end.
#
#   nudger_on_exit "rm -rf '$dir'"   more clean-up, run in reverse order
#   nudger_fail MESSAGE              print "FAIL: MESSAGE" and exit 1
#   nudger_wait_for_exit PID [SECONDS]

NUDGER_SKIP=77
NUDGER_EXIT_ACTIONS=()

nudger_on_exit()
{
    NUDGER_EXIT_ACTIONS+=("$1")
}

nudger_run_exit_actions()
{
    local status=$?
    local i
    for ((i = ${#NUDGER_EXIT_ACTIONS[@]} - 1; i >= 0; i--)); do
        eval "${NUDGER_EXIT_ACTIONS[i]}" || true
    done
    return $status
}

nudger_fail()
{
    echo "FAIL: $*" >&2
    exit 1
}

# Waits up to the given seconds for a background process of this shell to
# end and leaves its exit status in NUDGER_EXIT_STATUS; returns 1 when it is
# still running. Call it directly, not in $(...): only this shell can wait
# for its own children.
nudger_wait_for_exit()
{
    local pid=$1 seconds=${2:-10} tries=0
    NUDGER_EXIT_STATUS=
    while kill -0 "$pid" 2>/dev/null; do
        ((++tries > seconds * 10)) && return 1
        sleep 0.1
    done
    NUDGER_EXIT_STATUS=0
    wait "$pid" || NUDGER_EXIT_STATUS=$?
}

NUDGER_E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
trap nudger_run_exit_actions EXIT
trap 'exit 130' INT TERM
