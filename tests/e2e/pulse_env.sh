# Sourceable helper for the real-sound tests: starts a private PulseAudio
# daemon whose default sink is a null sink that can be recorded, points
# libpulse at it, and tears everything down when the sourcing script exits.
#
#   source "$SRC/tests/e2e/pulse_env.sh"      # exits 77 (skip) without pulseaudio
#   nudger_pulse_record_start "$dir/rec.wav"  # record what the sink plays
#   ...run the program...
#   nudger_pulse_record_stop                  # finishes the WAV file
#   python3 "$SRC/tests/e2e/wave_activity.py" "$dir/rec.wav" --first-loud
#   nudger_pulse_kill KILL                    # the server dies
#   nudger_pulse_launch side                  # a new one, on another socket
#   nudger_pulse_open_socket native           # ...then on the first one too
#
# Times in a recording count from NUDGER_PULSE_RECORD_EPOCH (seconds since
# the epoch: the wall time of the first recorded sample), which
# nudger_pulse_epoch refines while the recording grows and
# nudger_pulse_record_stop sets to its final value.
#
# With tests/e2e/xvfb_env.sh, source that one first: the clean-up here then
# joins its exit actions instead of replacing its trap.

NUDGER_SKIP=${NUDGER_SKIP:-77}
NUDGER_PULSE_PID=
NUDGER_PULSE_DIR=
NUDGER_PULSE_REC_PID=
NUDGER_PULSE_CLOCK_PID=
NUDGER_PULSE_RECORD_EPOCH=
NUDGER_PULSE_EPOCH_PID=
NUDGER_PULSE_EPOCH_FILE=

# Ends the recorder, the clock tone and the server, the server with the
# given signal (default TERM).
nudger_pulse_kill()
{
    local signal=${1:-TERM}
    nudger_pulse_record_stop
    if [[ -n "$NUDGER_PULSE_CLOCK_PID" ]]; then
        kill "$NUDGER_PULSE_CLOCK_PID" 2>/dev/null || true
        wait "$NUDGER_PULSE_CLOCK_PID" 2>/dev/null || true
        NUDGER_PULSE_CLOCK_PID=
    fi
    if [[ -n "$NUDGER_PULSE_PID" ]]; then
        kill "-$signal" "$NUDGER_PULSE_PID" 2>/dev/null || true
        wait "$NUDGER_PULSE_PID" 2>/dev/null || true
        NUDGER_PULSE_PID=
    fi
}

nudger_pulse_stop()
{
    nudger_pulse_kill
    if [[ -n "$NUDGER_PULSE_DIR" ]]; then
        rm -rf "$NUDGER_PULSE_DIR"
        NUDGER_PULSE_DIR=
    fi
}

# Starts recording the null sink's monitor into a WAV file (16-bit, mono,
# 22050 Hz). Returns once samples are arriving, with
# NUDGER_PULSE_RECORD_EPOCH set to the wall time of the first one.
nudger_pulse_record_start()
{
    local file=$1
    [[ -n "$NUDGER_PULSE_PID" ]] || { echo "pulse_env: no sound server running" >&2; return 1; }
    nudger_pulse_record_stop
    rm -f "$file"
    parec -d nullsink.monitor --latency-msec=100 --file-format=wav --format=s16le --rate=22050 \
        --channels=1 "$file" 2>>"$NUDGER_PULSE_DIR/parec.log" &
    NUDGER_PULSE_REC_PID=$!
    local tries=0 size=0
    while :; do
        size=$(stat -c %s "$file" 2>/dev/null || echo 0)
        ((size > 44)) && break
        if ! kill -0 "$NUDGER_PULSE_REC_PID" 2>/dev/null; then
            cat "$NUDGER_PULSE_DIR/parec.log" >&2
            NUDGER_PULSE_REC_PID=
            return 1
        fi
        ((++tries > 100)) && { echo "pulse_env: the recorder received nothing" >&2; return 1; }
        sleep 0.05
    done
    # The first sample's wall time, refined while the recording grows.
    NUDGER_PULSE_EPOCH_FILE="$NUDGER_PULSE_DIR/epoch.$NUDGER_PULSE_REC_PID"
    touch "$NUDGER_PULSE_EPOCH_FILE.run"
    # While the run file exists, the recording's size is looked at every
    # 10 ms: every byte in the file was recorded by the time it was seen
    # there, so each look bounds the first sample's wall time from above
    # (now less the bytes' duration), and the look with the least lag (the
    # recorder's buffering, this process waiting for a core) bounds it
    # closest. A single look as the recording starts came 0.3 s late on a
    # loaded machine.
    python3 -c '
import os, sys, time
path, out, best = sys.argv[1], sys.argv[2], None
while os.path.exists(out + ".run"):
    size = os.path.getsize(path) if os.path.exists(path) else 0
    now = time.time()
    if size > 44 and (best is None or now - (size - 44) / 44100 < best):
        best = now - (size - 44) / 44100
        with open(out + ".new", "w") as f:
            f.write("%.4f\n" % best)
        os.replace(out + ".new", out)
    time.sleep(0.01)
' "$file" "$NUDGER_PULSE_EPOCH_FILE" &
    NUDGER_PULSE_EPOCH_PID=$!
    tries=0
    until [[ -s "$NUDGER_PULSE_EPOCH_FILE" ]]; do
        ((++tries > 100)) && { echo "pulse_env: no epoch for the recording" >&2; return 1; }
        sleep 0.05
    done
    nudger_pulse_epoch
}

# Sets NUDGER_PULSE_RECORD_EPOCH to the best bound known now of the first
# sample's wall time; the bound tightens while the recording grows.
nudger_pulse_epoch()
{
    [[ -n "${NUDGER_PULSE_EPOCH_FILE:-}" && -s "$NUDGER_PULSE_EPOCH_FILE" ]] &&
        NUDGER_PULSE_RECORD_EPOCH=$(<"$NUDGER_PULSE_EPOCH_FILE")
    export NUDGER_PULSE_RECORD_EPOCH
}

nudger_pulse_record_stop()
{
    if [[ -n "${NUDGER_PULSE_EPOCH_PID:-}" ]]; then
        nudger_pulse_epoch
        rm -f "$NUDGER_PULSE_EPOCH_FILE.run"
        wait "$NUDGER_PULSE_EPOCH_PID" 2>/dev/null || true
        NUDGER_PULSE_EPOCH_PID=
    fi
    if [[ -n "$NUDGER_PULSE_REC_PID" ]]; then
        kill -INT "$NUDGER_PULSE_REC_PID" 2>/dev/null || true
        wait "$NUDGER_PULSE_REC_PID" 2>/dev/null || true
        NUDGER_PULSE_REC_PID=
    fi
}

nudger_start_pulse()
{
    local tool
    for tool in pulseaudio pactl parec pacat sox; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed (apt-get install pulseaudio pulseaudio-utils sox)"
            exit "$NUDGER_SKIP"
        fi
    done

    NUDGER_PULSE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/nudger-pulse.XXXXXX")
    chmod 700 "$NUDGER_PULSE_DIR"
    if declare -F nudger_on_exit >/dev/null; then
        nudger_on_exit nudger_pulse_stop
    else
        trap nudger_pulse_stop EXIT
        trap 'exit 130' INT TERM
    fi

    # Everything the daemon and its clients keep goes under the private folder.
    export XDG_RUNTIME_DIR="$NUDGER_PULSE_DIR/runtime"
    export XDG_CONFIG_HOME="$NUDGER_PULSE_DIR/config"
    export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
    export PULSE_STATE_PATH="$NUDGER_PULSE_DIR/state"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"

    export PULSE_SINK=nullsink
    nudger_pulse_launch native
}

# Starts the daemon on the private socket of the given name (in
# PULSE_RUNTIME_PATH), points libpulse in every client started from now on
# (the program, pactl, parec) at it, waits until it answers and starts the
# clock tone. Also brings a server back after nudger_pulse_kill.
nudger_pulse_launch()
{
    local socket="$PULSE_RUNTIME_PATH/${1:-native}"
    export PULSE_SERVER="unix:$socket"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
        --log-target=file:"$NUDGER_PULSE_DIR/pulse.log" \
        --load="module-null-sink sink_name=nullsink" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$socket" \
        >/dev/null 2>&1 &
    NUDGER_PULSE_PID=$!

    local tries=0
    until pactl info >/dev/null 2>&1; do
        if ! kill -0 "$NUDGER_PULSE_PID" 2>/dev/null; then
            cat "$NUDGER_PULSE_DIR/pulse.log" >&2
            NUDGER_PULSE_PID=
            echo "FAIL: pulseaudio did not start" >&2
            exit 1
        fi
        ((++tries > 100)) && { echo "FAIL: pulseaudio did not answer within 10 s" >&2; exit 1; }
        sleep 0.1
    done
    pactl set-default-sink nullsink

    # The null sink's monitor delivers nothing while no stream plays, which
    # would squeeze the quiet stretches out of a recording. A faint 1 kHz
    # tone (about -80 dB, far below any loudness threshold) keeps the sink
    # rendering from now on, so a second of recording is a second of wall
    # time. Its latency (200 ms) is loose enough not to make the sink wake
    # the players under test more often than a desktop would.
    sox -q -n -r 22050 -c 1 -b 16 -e signed-integer -t raw - synth 24:00:00 sine 1000 vol 0.0002 |
        pacat --latency-msec=200 --playback -d nullsink --raw --format=s16le --rate=22050 \
            --channels=1 --client-name=nudger-clock 2>>"$NUDGER_PULSE_DIR/pacat.log" &
    NUDGER_PULSE_CLOCK_PID=$!
}

# Makes the running server answer on one more socket of the given name too.
nudger_pulse_open_socket()
{
    pactl load-module module-native-protocol-unix auth-anonymous=1 \
        socket="$PULSE_RUNTIME_PATH/$1" >/dev/null
}

nudger_start_pulse
