#!/usr/bin/python3
"""The soak: the real Nudger program nudging for MINUTES minutes.

  soak.py NUDGER CONFIG_TOOL DATA_FILE MINUTES

Run through `bash tools/bench.sh --soak [MINUTES]`, which provides a private
X server (DISPLAY) and a private sound server whose default sink, nullsink,
is recorded here. The program nudges every 5 s with the sound on, its 1 MB
document is auto-saved every 30 s, and a burst of typing every minute
silences the chime and starts the countdown again.

NUDGER_SOAK_WRAPPER, when set, is a command the program is started under,
e.g. "heaptrack -o /tmp/soak" for a heap profile of the whole soak; the
figures then follow the program itself (the window's _NET_WM_PID), not the
wrapper, and the program is given a minute to end.

Each nudge is seen as the repaint of the suggestion area (X DAMAGE events
on the main window) and heard in the recording of the sink's monitor. The
report gives every nudge's lateness against its interval, the nudges heard
against those expected, resident memory at the start, after the first
minute and at the end, the auto-saves and the CPU used. Exits non-zero when
a target is missed.
"""

import os
import select
import shlex
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

from Xlib import XK, X, display
from Xlib.ext import damage, xtest

INTERVAL = 5.0
BURST_EVERY = 60.0
BURST_TEXT = "a few more words. "
DOCUMENT_BYTES = 1024 * 1024
RATE = 22050
PIECE = RATE // 50          # 20 ms of recording
LOUD_RMS = 0.01             # share of full scale, as in tests/e2e/wave_activity.py
CHIME_ROUND = 2.45          # the chime's length: a looping chime is loud once a round

TARGET_LATENESS_MS = 100
TARGET_GROWTH_MIB = 1.0


def fail(message):
    print(f"bench_soak: {message}", file=sys.stderr)
    sys.exit(1)


class Recorder:
    """Records the sink's monitor; keeps the start times of loud pieces."""

    def __init__(self):
        self.loud = []
        self.pieces = 0
        self.process = subprocess.Popen(
            ["parec", "-d", "nullsink.monitor", "--raw", "--format=s16le", f"--rate={RATE}",
             "--channels=1", "--latency-msec=20"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        size = PIECE * 2
        stream = self.process.stdout
        while True:
            data = stream.read(size)
            now = time.monotonic()
            if len(data) < size:
                return
            self.pieces += 1
            values = struct.unpack(f"<{PIECE}h", data)
            rms = (sum(v * v for v in values) / PIECE) ** 0.5 / 32768.0
            if rms >= LOUD_RMS:
                self.loud.append(now - PIECE / RATE)

    def stop(self):
        self.process.terminate()
        self.process.wait()
        self.thread.join(timeout=5)

    def loud_between(self, start, end):
        return any(start <= t < end for t in self.loud)

    def first_loud_after(self, start):
        return next((t for t in self.loud if t >= start), None)


class SuggestionWatcher:
    """Notes when the suggestion area of the main window is repainted."""

    def __init__(self, window_id):
        self.repaints = []
        self.quit = False
        self.display = display.Display()
        self.display.damage_query_version()
        window = self.display.create_resource_object("window", window_id)
        self.height = window.get_geometry().height
        window.damage_create(damage.DamageReportRawRectangles)
        self.display.flush()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        notify = self.display.extension_event.DamageNotify
        while not self.quit:
            select.select([self.display.fileno()], [], [], 0.2)
            while self.display.pending_events():
                event = self.display.next_event()
                now = time.monotonic()
                if event.type != notify:
                    continue
                area = event.area
                # The suggestion lies across the top of the window, under the
                # menu bar; the writer's text, its cursor and the status bar
                # lie below.
                if area.width >= 300 and area.y + area.height <= self.height // 3:
                    self.repaints.append(now)

    def stop(self):
        self.quit = True
        self.thread.join(timeout=5)

    def nudges(self):
        """Repaints closer than half a second belong to one nudge."""
        result = []
        for t in self.repaints:
            if not result or t - result[-1] > 0.5:
                result.append(t)
        return result


class Typist:
    """Types into the main window through the XTEST extension; each key has
    reached the X server when type() moves on."""

    def __init__(self, window_id):
        self.display = display.Display()
        window = self.display.create_resource_object("window", window_id)
        window.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.display.sync()

    def type(self, text):
        """Returns when the last key reached the X server."""
        names = {" ": "space", ".": "period"}
        for i, char in enumerate(text):
            if i:
                time.sleep(0.03)
            code = self.display.keysym_to_keycode(XK.string_to_keysym(names.get(char, char)))
            xtest.fake_input(self.display, X.KeyPress, code)
            xtest.fake_input(self.display, X.KeyRelease, code)
            self.display.sync()
        return time.monotonic()


def find_window(title, pid, seconds):
    connection = display.Display()
    root = connection.screen().root
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for window in root.query_tree().children:
            try:
                if (window.get_wm_name() == title
                        and window.get_attributes().map_state == X.IsViewable):
                    return window.id
            except Exception:
                pass
        if os.waitpid(pid, os.WNOHANG)[0] == pid:
            return None
        time.sleep(0.1)
    return None


def window_pid(window_id):
    """The process that owns the window, as it says in _NET_WM_PID."""
    connection = display.Display()
    window = connection.create_resource_object("window", window_id)
    reply = window.get_full_property(connection.intern_atom("_NET_WM_PID"), X.AnyPropertyType)
    return int(reply.value[0]) if reply and len(reply.value) else None


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def context_switches(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/status") as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def prepare(start, config_tool, data_file):
    shutil.copy(data_file, os.path.join(start, "nudger.dat"))
    line = "The quick brown fox jumps over the lazy dog while the writer waits.\n"
    text = line * (DOCUMENT_BYTES // len(line))
    document = os.path.join(start, "text.txt")
    with open(document, "w") as f:
        f.write(text)
    subprocess.run([config_tool, start, f"PrimaryFile={document}", f"Interval={int(INTERVAL * 1000)}",
                    "SoundEnabled=YES", "NudgeEnabled=YES", "AutoSaveEnabled=YES"],
                   check=True, stdout=subprocess.DEVNULL)
    return document


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    nudger, config_tool, data_file = sys.argv[1:4]
    minutes = int(sys.argv[4])
    if minutes < 1:
        fail("the soak lasts at least one minute")
    for name in ("DISPLAY", "PULSE_SERVER"):
        if not os.environ.get(name):
            fail(f"{name} is not set: run through tools/bench.sh --soak")

    work = tempfile.mkdtemp(prefix="nudger-soak.")
    try:
        return soak(nudger, config_tool, data_file, minutes, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def soak(nudger, config_tool, data_file, minutes, work):
    start = os.path.join(work, "start")
    os.mkdir(start)
    document = prepare(start, config_tool, data_file)
    print(f"bench_soak: the Nudger program for {minutes} min: interval {INTERVAL:.0f} s, sound on, "
          f"a 1 MB document auto-saved every 30 s, typing every minute", flush=True)

    recorder = Recorder()
    deadline = time.monotonic() + 10
    while recorder.pieces == 0:
        if time.monotonic() > deadline:
            fail("the sink's monitor records nothing")
        time.sleep(0.05)

    log = open(os.path.join(work, "nudger.log"), "w")
    wrapper = shlex.split(os.environ.get("NUDGER_SOAK_WRAPPER", ""))
    # The program's private data (its recovery copies) stays with the soak.
    environment = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"))
    program = subprocess.Popen(wrapper + [nudger], cwd=start, stdout=log, stderr=log,
                               env=environment)
    wait = 60 if wrapper else 30
    window = find_window("Nudger", program.pid, wait)
    if window is None:
        program.kill()
        fail(f"Nudger showed no window within {wait} s")
    pid = window_pid(window) if wrapper else program.pid
    if pid is None:
        program.kill()
        fail("the window does not say which process it belongs to")
    watcher = SuggestionWatcher(window)
    typist = Typist(window)

    began = time.monotonic()
    cpu_began = cpu_seconds(pid)
    switches_began = context_switches(pid)
    memory = [(0.0, resident_mib(pid))]
    saved_at = os.stat(document).st_mtime_ns
    saves = 0
    bursts = []  # (first key sent, last key sent)
    ended = began + minutes * BURST_EVERY
    next_burst = began
    next_sample = began
    while True:
        now = time.monotonic()
        if now >= ended:
            break
        if now >= next_burst:
            first = time.monotonic()
            bursts.append((first, typist.type(BURST_TEXT)))
            next_burst += BURST_EVERY
        if now >= next_sample:
            memory.append((now - began, resident_mib(pid)))
            next_sample += 2
        mtime = os.stat(document).st_mtime_ns
        if mtime != saved_at:
            saves += 1
            saved_at = mtime
        time.sleep(max(0.0, min(0.25, next_burst - time.monotonic(), ended - time.monotonic())))

    wall = time.monotonic() - began
    cpu = cpu_seconds(pid) - cpu_began
    switches = context_switches(pid) - switches_began
    memory.append((wall, resident_mib(pid)))
    os.kill(pid, signal.SIGTERM)
    wait = 60 if wrapper else 10
    try:
        program.wait(timeout=wait)
    except subprocess.TimeoutExpired:
        program.kill()
        program.wait()
        fail(f"Nudger did not end within {wait} s of SIGTERM")
    log.close()
    time.sleep(0.3)
    watcher.stop()
    recorder.stop()

    return report(minutes, bursts, ended, watcher.nudges(), recorder, memory, saves, cpu, switches,
                  wall, os.path.join(work, "nudger.log"))


def report(minutes, bursts, ended, seen, recorder, memory, saves, cpu, switches, wall, log):
    # Each burst restarts the countdown from its last key; the nudges then
    # come every interval until the next burst begins.
    expected = []  # (minute, expected time, first nudge of its minute)
    for i, (_, last_key) in enumerate(bursts):
        until = bursts[i + 1][0] if i + 1 < len(bursts) else ended
        k = 1
        while last_key + k * INTERVAL < until - 0.3:
            expected.append((i, last_key + k * INTERVAL, k == 1))
            k += 1

    unmatched = list(seen)
    lateness = {}   # minute -> [ms]
    late_all = []
    missing = 0
    heard = 0
    onsets = []
    for minute, at, first in expected:
        match = next((t for t in unmatched if at - 0.5 <= t <= at + 1.0), None)
        if match is None:
            missing += 1
            lateness.setdefault(minute, []).append(None)
            continue
        unmatched.remove(match)
        ms = (match - at) * 1000
        lateness.setdefault(minute, []).append(ms)
        late_all.append(ms)
        # A looping chime is loud once in every round after the nudge.
        if recorder.loud_between(match, match + CHIME_ROUND + 0.2):
            heard += 1
        if first:
            onset = recorder.first_loud_after(match - 0.2)
            if onset is not None:
                onsets.append((onset - match) * 1000)

    silenced = sum(1 for i, (_, last_key) in enumerate(bursts)
                   if not recorder.loud_between(last_key + 0.5, last_key + INTERVAL - 0.2))

    failures = []
    print("  every nudge's lateness against its interval, ms, minute by minute:")
    for minute in sorted(lateness):
        values = " ".join("missing" if v is None else f"{v:.0f}" for v in lateness[minute])
        print(f"    minute {minute + 1:3d}: {values}")
    largest = max(late_all) if late_all else float("nan")
    ok = missing == 0 and late_all and largest <= TARGET_LATENESS_MS
    began = bursts[0][0] if bursts else 0.0
    extra = "".join(f" at {t - began:.1f} s" for t in unmatched[:5])
    print(f"  nudges: {len(expected)} expected, {len(expected) - missing} seen, "
          f"{len(unmatched)} other repaints of the suggestion{extra}; lateness median "
          f"{statistics.median(late_all) if late_all else float('nan'):.0f} ms, largest {largest:.0f} ms "
          f"(target at most {TARGET_LATENESS_MS} ms) {'met' if ok else 'MISSED'}")
    if not ok:
        failures.append("lateness")
    ok = heard == len(expected)
    print(f"  nudges heard: {heard} of {len(expected)} (target: all) {'met' if ok else 'MISSED'}")
    if not ok:
        failures.append("heard")
    if onsets:
        print(f"  the chime after each minute's first nudge: loud {min(onsets):.0f} to "
              f"{max(onsets):.0f} ms after the repaint (20 ms recording pieces)")
    print(f"  silent after every burst of typing: {silenced} of {len(bursts)} bursts")
    if silenced != len(bursts):
        failures.append("silence")

    # An auto-save holds a few MiB for a moment, so each minute counts by the
    # least of its samples: what the program keeps.
    def settled(minute):
        inside = [m for t, m in memory if 60 * minute <= t < 60 * (minute + 1)]
        return min(inside) if inside else memory[-1][1]

    at_start = memory[0][1]
    by_minute = [settled(i) for i in range(minutes)]
    after_minute = by_minute[1] if minutes > 1 else by_minute[0]
    at_end = by_minute[-1]
    growth = at_end - after_minute
    ok = growth <= TARGET_GROWTH_MIB
    print(f"  resident memory: {at_start:.1f} MiB at the start, {after_minute:.1f} MiB after the first "
          f"minute, {at_end:.1f} MiB at the end, at most {max(m for _, m in memory):.1f} MiB; growth "
          f"after the first minute {growth:+.2f} MiB (target at most {TARGET_GROWTH_MIB:.0f} MiB) "
          f"{'met' if ok else 'MISSED'}")
    if not ok:
        failures.append("memory")
    print("  resident memory minute by minute (least of samples every 2 s), MiB: " +
          " ".join(f"{m:.1f}" for m in by_minute))
    print(f"  auto-saves of the 1 MB document: {saves} (one every 30 s: {int(wall // 30)})")
    print(f"  CPU: {cpu:.2f} s over {wall / 60:.1f} min, {cpu / wall * 100:.3f}% of one core, "
          f"{switches / wall:.1f} wake-ups/s")
    with open(log) as f:
        lines = [line.rstrip() for line in f if line.strip()]
    if lines:
        print(f"  the program's standard error ({len(lines)} lines): {lines[:3]}")
    print("soak: " + ("all targets met" if not failures else "MISSED: " + ", ".join(failures)))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
