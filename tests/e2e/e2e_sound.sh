#!/bin/bash
# The nudge as a writer hears it: the real program in a real window, playing
# into a private PulseAudio null sink whose monitor is recorded.
#
#   e2e_sound.sh NUDGER_BINARY CONFIG_TOOL BUILD_DIR
#
# With a 1.5 s interval the program must stay silent at first, start the
# chime once the writer has been idle for the interval, keep the chime
# looping while the writer stays idle (the chime is loud for about 1.4 s of
# its 2.4 s, so its rounds can be told apart), fall silent as soon as a key
# is typed and stay silent until a full interval has passed since that key,
# when the next nudge starts the chime again. Then the sound server is
# killed while the chime loops: the program must go on, without a busy loop
# and with at most one line on standard error, and once a server answers on
# the same socket again the next nudge must be heard, and a key must still
# silence it. Times are seconds since the recording's first sample, whose
# wall time the recording's growth tells (pulse_env.sh); a key's time is the
# moment the program changed its text for it, as the accessibility bus
# reports it, not the moment the test sent it.
set -euo pipefail

nudger=$(realpath "$1")
config_tool=$(realpath "$2")
build_dir=$(realpath "$3")
e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source "$e2e_dir/xvfb_env.sh"
source "$e2e_dir/atspi_env.sh"
source "$e2e_dir/pulse_env.sh"
command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit 77; }

interval=1.5
# Audio leaves the program some time after the request: the sink's buffer
# plus the server's. Onsets are allowed this much lateness.
latency=0.5

now() { date +%s.%N; }
# Seconds between the recording's first sample and a wall time.
since_epoch() { awk -v t="$1" -v e="$NUDGER_PULSE_RECORD_EPOCH" 'BEGIN { printf "%.3f", t - e }'; }
# Arithmetic on decimal seconds.
calc() { awk "BEGIN { printf \"%.3f\", $* }"; }
check() { awk "BEGIN { exit !($*) }"; }

# Types one key and prints two wall times that bound the moment the program
# changed its text for it: when the key was sent, and when the change
# reached the accessibility bus's listener (a few hundredths later, more
# under load).
key_moment()
{
    local key=$1 before moment tries=0
    before=$(now)
    xdotool key "$key" || nudger_fail "could not type into the main window"
    until moment=$(awk -F'\t' -v b="$before" \
        '$1 >= b && $2 ~ /^object:text-changed:insert/ && $3 == "Your Text" { print $1; exit }' \
        "$changes") && [[ -n "$moment" ]]; do
        ((++tries > 40)) && nudger_fail "the program did not take the key \"$key\" within 2 s"
        sleep 0.05
    done
    echo "key \"$key\" reached the program within $(calc "$moment - $before")s" >&2
    echo "$before $moment"
}

# Polls for a visible window with a title matching the pattern every 50 ms
# (xdotool's own --sync waits half a second between looks); prints its id.
wait_for_window()
{
    local pattern=$1 seconds=$2 ids tries=0
    until ids=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
        ((++tries > seconds * 20)) && return 1
        sleep 0.05
    done
    head -n1 <<<"$ids"
}

# The chime is 2.4 s long and loops while the writer stays idle; it is loud
# for about 1.4 s of each round.
round_seconds=2.4
# Sleeps until 0.2 s into a round of the chime that began at onset (seconds
# on the recording's clock): the first round from round number `first` on
# (0 being the round at onset itself) that is still to come. A test that
# noticed the chime late, under load, still types while it is loud.
sleep_into_round()
{
    local onset=$1 k=$2 target
    while :; do
        target=$(calc "$NUDGER_PULSE_RECORD_EPOCH + $onset + $k * $round_seconds + 0.2")
        check "$target > $(now) + 0.05" && break
        k=$((k + 1))
    done
    sleep "$(calc "$target - $(now)")"
}

# The first loud window at or after a time, or "none".
first_loud_after()
{
    awk -v t="$1" '$2 == "loud" && $1 >= t - 0.0005 { print $1; found = 1; exit }
                   END { if (!found) print "none" }' <<<"$activity"
}
# The share of loud windows that start in [t1, t2).
loud_share()
{
    awk -v a="$1" -v b="$2" '$1 + 0.0005 >= a && $1 < b - 0.0005 { n++; if ($2 == "loud") l++ }
                             END { printf "%.3f", n ? l / n : 0 }' <<<"$activity"
}

failures=0
expect()
{
    if check "$2"; then
        echo "ok: $1"
    else
        echo "FAIL: $1" >&2
        failures=$((failures + 1))
    fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/nudger-e2e-sound.XXXXXX")
nudger_on_exit "rm -rf '$work'"
start_dir="$work/start"
mkdir "$start_dir"
log="$work/nudger.log"
recording="$work/recording.wav"
returned="$work/returned.wav"

cp "$build_dir/nudger.dat" "$start_dir/" || nudger_fail "no nudger.dat in $build_dir"
printf 'The first line of my story.\n' >"$start_dir/text.txt"
"$config_tool" "$start_dir" PrimaryFile="$start_dir/text.txt" Interval=1500 \
    SoundEnabled=YES NudgeEnabled=YES AutoSaveEnabled=NO ||
    nudger_fail "$config_tool could not prepare $start_dir"

nudger_pulse_record_start "$recording" || nudger_fail "could not record the null sink"
echo "DISPLAY=$DISPLAY recording since $NUDGER_PULSE_RECORD_EPOCH"

(cd "$start_dir" && exec "$nudger") >"$log" 2>&1 &
pid=$!
nudger_on_exit "kill $pid 2>/dev/null"

if ! window=$(wait_for_window '^Nudger$' 30); then
    cat "$log" >&2
    nudger_fail "no visible window titled \"Nudger\" within 30 s"
fi
shown_wall=$(now)
shown=$(since_epoch "$shown_wall")
echo "main window $window shown at ${shown}s"

# The program's own moments for the keys typed below.
changes="$work/changes.txt"
# Started as a command of its own, not through the nudger_atspi function,
# so that $! is the listener itself and ending it ends the listener: a
# function in the background runs in a subshell that would be ended alone.
/usr/bin/python3 "$e2e_dir/atspi_tool.py" listen "$pid" >"$changes" 2>/dev/null &
nudger_on_exit "kill $! 2>/dev/null"
tries=0
until grep -q '^listening' "$changes" 2>/dev/null; do
    ((++tries > 100)) && nudger_fail "no accessibility listener"
    sleep 0.05
done

# Without a window manager nobody hands out the keyboard focus.
xdotool windowfocus --sync "$window" || nudger_fail "could not focus the main window"

# Stay idle until the chime has begun its second round, then type one key
# into the text editor while that round is still loud: 0.2 s into it, the
# chime being 2.4 s long. The recording is read as it grows.
activity=
onset=none
deadline=$(calc "$shown + 8")
while :; do
    nudger_pulse_epoch
    shown=$(since_epoch "$shown_wall")
    activity=$(python3 "$e2e_dir/wave_activity.py" "$recording" --windows 2>/dev/null) || activity=
    onset=$(first_loud_after "$shown")
    [[ "$onset" != none ]] && break
    check "$(since_epoch "$(now)") > $deadline" && break
    sleep 0.1
done
[[ "$onset" != none ]] || { echo "$activity" >&2; nudger_fail "no chime within 8 s"; }
sleep_into_round "$onset" 1
moments=$(key_moment x)
read -r key_sent key_taken <<<"$moments"
sleep 2.2
nudger_pulse_record_stop
first_epoch=$NUDGER_PULSE_RECORD_EPOCH

# The sound server dies while the chime loops, and comes back on another
# socket first, so that its recording runs before the program can reach it
# on its own socket again.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
log_lines=$(wc -l <"$log")
ticks=$(cpu_ticks)
away_from=$(now)
nudger_pulse_kill KILL
sleep 3
away_seconds=$(calc "$(now) - $away_from")
away_share=$(calc "($(cpu_ticks) - $ticks) / $(getconf CLK_TCK) / $away_seconds")
kill -0 "$pid" 2>/dev/null || { cat "$log" >&2; nudger_fail "the program ended with the sound server"; }
nudger_pulse_launch side
nudger_pulse_record_start "$returned" || nudger_fail "could not record the new server's sink"
nudger_pulse_open_socket native
back_wall=$(now)
back=$(since_epoch "$back_wall")
echo "sound server back at ${back}s (second recording)"

activity=
heard=none
deadline=$(calc "$back + $interval + $latency + 1.5")
while :; do
    nudger_pulse_epoch
    back=$(since_epoch "$back_wall")
    activity=$(python3 "$e2e_dir/wave_activity.py" "$returned" --windows 2>/dev/null) || activity=
    heard=$(first_loud_after "$back")
    [[ "$heard" != none ]] && break
    check "$(since_epoch "$(now)") > $deadline" && break
    sleep 0.1
done
# While the chime is loud: it was heard at its first round, which may be
# over by the time the recording told so.
if [[ "$heard" != none ]]; then
    sleep_into_round "$heard" 0
else
    sleep 0.3
fi
moments=$(key_moment y)
read -r key_back_sent key_back_taken <<<"$moments"
sleep 1.3
nudger_pulse_record_stop
back=$(since_epoch "$back_wall")
heard=$(first_loud_after "$back")
# The key's moment, early and late bound.
key_back=$(since_epoch "$key_back_sent")
key_back_late=$(since_epoch "$key_back_taken")
echo "key at ${key_back}s (second recording)"
activity=$(python3 "$e2e_dir/wave_activity.py" "$returned" --windows)
[[ -n "${NUDGER_E2E_VERBOSE:-}" ]] && echo "$activity"

new_lines=$(($(wc -l <"$log") - log_lines))
expect "no busy loop while the server is away (${away_share} of a core)" "$away_share < 0.05"
expect "at most one line on standard error for the loss ($new_lines)" "$new_lines <= 1"
expect "a nudge is heard once the server is back (at ${heard}s)" \
    "\"$heard\" != \"none\" && $heard <= $back + $interval + $latency + 0.5"
[[ "$heard" != none ]] && echo "heard again $(calc "$heard - $back")s after the server's return"
expect "the chime is loud when the next key is typed" \
    "$(loud_share "$(calc "$key_back - 0.3")" "$key_back") > 0"
quiet=$(loud_share "$(calc "$key_back_late + 0.5")" "$(calc "$key_back + $interval - 0.2")")
expect "a key still silences the chime after the return (loud share $quiet)" "$quiet == 0"
tail -n "$new_lines" "$log"
if ((failures > 0)); then
    echo "$activity" >&2
    cat "$log" >&2
    nudger_fail "$failures check(s) failed"
fi

# Close; the text has changed, so answer No to saving it.
nudger_close_window "$window" || nudger_fail "could not send the close request"
# The question also shows that the key reached the text editor.
confirm=$(wait_for_window '^Confirm$' 5) || nudger_fail "no question about saving: the key did not change the text"
xdotool windowfocus --sync "$confirm" && xdotool key alt+n
nudger_wait_for_exit "$pid" 10 || nudger_fail "the program did not end within 10 s of the close request"
[[ "$NUDGER_EXIT_STATUS" == 0 ]] ||
    { cat "$log" >&2; nudger_fail "the program ended with status $NUDGER_EXIT_STATUS"; }
[[ "$(cat "$start_dir/text.txt")" == 'The first line of my story.' ]] ||
    nudger_fail "the primary file changed although the answer to saving was No"

activity=$(python3 "$e2e_dir/wave_activity.py" "$recording" --windows)
NUDGER_PULSE_RECORD_EPOCH=$first_epoch
shown=$(since_epoch "$shown_wall")
# The key's moment, early and late bound.
key=$(since_epoch "$key_sent")
key_late=$(since_epoch "$key_taken")

onset=$(first_loud_after "$shown")
echo "first sound at ${onset}s (window at ${shown}s, key at ${key}s)"
[[ "$onset" != none ]] || { echo "$activity" >&2; nudger_fail "the nudge was never heard"; }
delay=$(calc "$onset - $shown")
expect "silent before the first nudge (first sound ${delay}s after the window)" \
    "$delay >= $interval - 0.3"
expect "the first nudge sounds once the interval has passed" "$delay <= $interval + $latency + 0.5"
silence_before=$(loud_share 0 "$(calc "$shown + $interval - 0.3")")
expect "nothing loud before the first nudge (share $silence_before)" "$silence_before == 0"

# The chime is loud for about 1.4 s of its 2.4 s: a looping chime goes
# quiet and sounds again 2.4 s after it began. A chime restarted by a later
# nudge (every 1.5 s) would fill the gap.
gap=$(loud_share "$(calc "$onset + 1.6")" "$(calc "$onset + 2.2")")
expect "the chime ends its first round (loud share in the gap $gap)" "$gap == 0"
again=$(first_loud_after "$(calc "$onset + 2.2")")
expect "the chime repeats while the writer stays idle (again at ${again}s)" \
    "\"$again\" != \"none\" && $again <= $onset + 2.6 && $again < $key"

# The key must fall while a later round is loud, or silence after it would
# prove nothing: the round would go on for about a second more.
before_key=$(loud_share "$(calc "$key - 0.3")" "$key")
expect "the chime is loud when the key is typed (loud share $before_key)" "$before_key > 0"
into_round=$(awk -v k="$key" -v a="$again" -v r="$round_seconds" \
    'BEGIN { d = k - a; printf "%.3f", d - r * int(d / r) }')
expect "the key falls early in a later round of the chime (${into_round}s into it)" \
    "$key > $again && $into_round <= 0.8"
# Until 0.2 s before the next interval, as the check below allows the next
# nudge: the key's moment on the test's clock and the program's on the
# recording's differ by up to 0.12 s under load.
quiet=$(loud_share "$(calc "$key_late + 0.5")" "$(calc "$key + $interval - 0.2")")
expect "silent from 0.5 s after the key until the next interval (loud share $quiet)" "$quiet == 0"
next=$(first_loud_after "$(calc "$key_late + 0.5")")
expect "the next nudge comes a full interval after the key (at ${next}s)" \
    "\"$next\" != \"none\" && $next >= $key + $interval - 0.2 && $next <= $key_late + $interval + $latency + 0.5"

[[ -n "${NUDGER_E2E_VERBOSE:-}" ]] && echo "$activity"
if ((failures > 0)); then
    echo "$activity" >&2
    nudger_fail "$failures check(s) failed"
fi
echo "PASS: silent while counting, chime looping while idle, silent after a key"
