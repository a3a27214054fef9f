#!/bin/bash
# Starts the real program where starting is hard, and checks that it starts
# normally or, without a display, ends with the toolkit's own message:
#   - a second copy while the first runs: both windows appear;
#   - a start directory the user cannot write, for a user id that has no
#     name in the user database: the main window appears;
#   - no display at all: exit status 1 with the toolkit's message, no abort.
#
#   e2e_hard_start.sh NUDGER_BINARY CONFIG_TOOL OUTPUT_DIR
set -euo pipefail

nudger=$(realpath "$1")
config_tool=$(realpath "$2")
output_dir=$(realpath "${3:-.}")
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_env.sh"

command -v xdotool >/dev/null || { echo "SKIP: xdotool is missing"; exit 77; }
mkdir -p "$output_dir/e2e"
log="$output_dir/e2e/e2e_hard_start"

prepare()
{
    local dir=$1 user=${2:-}
    mkdir -p "$dir"
    cp "$(dirname "$nudger")/nudger.dat" "$dir/"
    cp "$nudger" "$dir/Nudger"
    "$config_tool" "$dir" ${user:+--user "$user"} PrimaryFile="$3" >/dev/null
}

# --- No display ------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/nudger-hard.XXXXXX")
chmod 755 "$work"
nudger_on_exit "rm -rf '$work'"
prepare "$work/nodisplay" "" "$work/nodisplay/text.txt"
status=0
(cd "$work/nodisplay" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 ./Nudger) \
    >"$log-nodisplay.log" 2>&1 || status=$?
grep -q "could not connect to display" "$log-nodisplay.log" ||
    nudger_fail "no display: the toolkit's message is missing: $(cat "$log-nodisplay.log")"
[[ $status -eq 1 ]] || nudger_fail "no display: exit status $status, expected 1"
echo "no display: exit status 1 with the toolkit's message"

# --- A second copy -----------------------------------------------------------
prepare "$work/twice" "" "$work/twice/text.txt"
(cd "$work/twice" && exec ./Nudger) >"$log-first.log" 2>&1 &
first=$!
nudger_on_exit "kill $first 2>/dev/null"
nudger_wait_for_window '^Nudger$' 30 >/dev/null || nudger_fail "the first copy shows no window"
(cd "$work/twice" && exec ./Nudger) >"$log-second.log" 2>&1 &
second=$!
nudger_on_exit "kill $second 2>/dev/null"
tries=0
until [[ $(xdotool search --onlyvisible --name '^Nudger$' 2>/dev/null | wc -l) -ge 2 ]]; do
    ((++tries > 300)) && nudger_fail "the second copy shows no window: $(cat "$log-second.log")"
    sleep 0.1
done
for id in $(xdotool search --onlyvisible --name '^Nudger$'); do
    nudger_close_window "$id"
done
nudger_wait_for_exit "$first" 10 || nudger_fail "the first copy did not end"
nudger_wait_for_exit "$second" 10 || nudger_fail "the second copy did not end"
echo "second copy: both started and ended"

# --- No user name, no writable start directory ---------------------------------
uid=54321
if getent passwd "$uid" >/dev/null; then
    echo "SKIP part: user id $uid has a name here"
else
    # The configuration is prepared for the name the program falls back to.
    fallback=Writer
    texts="$work/texts"
    mkdir -p "$texts" && chmod 777 "$texts"
    prepare "$work/readonly" "$fallback" "$texts/text.txt"
    chmod -R a+rX "$work/readonly"
    chmod 755 "$work/readonly"
    # A sanitizer build's suppressions file lies in the checkout, which that
    # user may not be able to enter: give the copy a readable one of its own.
    as_user=()
    suppressions=$(sed -nE 's/^(.*:)?suppressions=([^:]*).*$/\2/p' <<<"${LSAN_OPTIONS:-}")
    if [[ -n "$suppressions" ]]; then
        install -m 644 "$suppressions" "$work/lsan.supp"
        as_user=(env "LSAN_OPTIONS=${LSAN_OPTIONS//"$suppressions"/$work/lsan.supp}")
    fi
    (cd "$work/readonly" &&
        exec "${as_user[@]}" setpriv --reuid=$uid --regid=$uid --clear-groups ./Nudger) \
        >"$log-readonly.log" 2>&1 &
    third=$!
    nudger_on_exit "kill $third 2>/dev/null"
    window=$(nudger_wait_for_window '^Nudger$' 30) ||
        nudger_fail "no window for a user without a name: $(cat "$log-readonly.log")"
    # Nothing else may have appeared (a message box would be a second window).
    extra=$(xdotool search --onlyvisible --name '.' 2>/dev/null | { grep -vx "$window" || true; } | wc -l)
    nudger_close_window "$window"
    nudger_wait_for_exit "$third" 10 || nudger_fail "the nameless user's copy did not end"
    [[ $NUDGER_EXIT_STATUS -eq 0 ]] || nudger_fail "exit status $NUDGER_EXIT_STATUS"
    [[ $extra -eq 0 ]] || nudger_fail "a message box appeared for the nameless user"
    echo "no user name, start directory not writable: started and ended normally"
fi
echo "hard start: 3 passed, 0 failed"
