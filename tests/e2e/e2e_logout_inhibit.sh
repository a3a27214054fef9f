#!/bin/bash
# A logout held while the text is unsaved: a stand-in desktop portal on a
# private session bus (tests/e2e/portal_stub.py) records the program's
# Inhibit calls, its answers and the release of each request. Typing asks for
# the logout to be held (flag 1, with a reason naming the text), and
# File > Save lets it go: also when the portal answers only after the save.
# Without a portal on the bus the program types, saves and ends as always,
# saying nothing.
#
#   e2e_logout_inhibit.sh NUDGER_BINARY CONFIG_TOOL SOURCE_DIR BUILD_DIR
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_arguments.sh" "$@"
source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/e2e_common.sh"

if ! /usr/bin/python3 -c 'import dbus, dbus.mainloop.glib, gi' 2>/dev/null; then
    echo "SKIP: the stand-in portal needs python3-dbus and python3-gi"
    exit "$NUDGER_SKIP"
fi
command -v dbus-launch >/dev/null 2>&1 || nudger_fail "dbus-launch is missing (apt-get install dbus-x11)"
eval "$(dbus-launch --sh-syntax)" || nudger_fail "dbus-launch failed"
nudger_on_exit "kill $DBUS_SESSION_BUS_PID 2>/dev/null"

primary="$NUDGER_WORK/text.txt"

# Starts the program on a new primary file, types a sentence, saves it with
# File > Save and closes the window, which asks nothing once the text is
# saved. After typing and after saving, the given command runs with the
# step's name (typed, saved).
type_save_close()
{
    local text=$1 between=$2 start main
    rm -f "$primary"
    nudger_new_start_dir start PrimaryFile="$primary" SoundEnabled=NO NudgeEnabled=NO
    nudger_launch "$start"
    main=$(nudger_main_window)
    nudger_type "$main" "$text"
    "$between" typed
    nudger_keys "$main" alt+f
    nudger_press Return
    nudger_wait_for_file "$primary" "$text"
    "$between" saved
    nudger_close_window "$main"
    nudger_expect_exit 10
    log="$start/run.log"
}

# Without a portal.
nothing_between() { :; }
type_save_close "Nobody holds the door." nothing_between
if grep -i -E 'dbus|portal' "$log"; then
    nudger_fail "without a portal the program said the lines above"
fi
echo "without a portal: typed, saved and ended, and said nothing"

record_lines() { wc -l <"$record"; }

wait_for_record()
{
    local lines=$1 tries=0
    until (($(record_lines) >= lines)); do
        ((++tries > 100)) && nudger_fail "the portal recorded \"$(cat "$record")\", expected $lines lines"
        sleep 0.1
    done
}

check_record()
{
    case $1 in
    typed)
        wait_for_record 1
        IFS=$'\t' read -r call flags reason request <"$record"
        [[ "$call" == Inhibit && "$flags" == 1 ]] ||
            nudger_fail "typing recorded \"$(head -n1 "$record")\", expected Inhibit with flags 1"
        [[ "$reason" == *text* ]] || nudger_fail "the reason \"$reason\" does not name the text"
        ;;
    saved)
        # A late answer must come after the save, or that case is not tried.
        if [[ "$answer_delay" != 0 ]] && (($(record_lines) != 1)); then
            nudger_fail "the portal answered before the save: \"$(cat "$record")\""
        fi
        wait_for_record 3
        local expected
        printf -v expected 'Inhibit\t1\t%s\t%s\nAnswer\t%s\nClose\t%s' \
            "$reason" "$request" "$request" "$request"
        [[ "$(cat "$record")" == "$expected" ]] ||
            nudger_fail "the portal recorded \"$(cat "$record")\", expected \"$expected\""
        ;;
    esac
}

# The stand-in portal answering at once, then one answering 2 s after the
# call, when the text has been saved in the meantime.
for answer_delay in 0 2; do
    record="$NUDGER_WORK/portal-$answer_delay.record"
    /usr/bin/python3 "$e2e_dir/portal_stub.py" "$record" "$answer_delay" &
    stub=$!
    nudger_on_exit "kill $stub 2>/dev/null"
    tries=0
    until [[ -f "$record" ]]; do
        kill -0 "$stub" 2>/dev/null || nudger_fail "the stand-in portal did not start"
        ((++tries > 100)) && nudger_fail "the stand-in portal did not own its name within 10 s"
        sleep 0.1
    done
    type_save_close "Wait for me." check_record
    kill "$stub"
    wait "$stub" 2>/dev/null || true
    echo "the portal answering after $answer_delay s recorded:"
    cat "$record"
done
echo "PASS: typing held the logout through the portal, saving let it go"
