#!/usr/bin/env python3
"""Where a recorded WAV file is loud and where it is silent.

The file is cut into windows (100 ms by default); a window is loud when its
RMS level, as a share of full scale, reaches the threshold.

  wave_activity.py rec.wav --windows                 one line per window
  wave_activity.py rec.wav --first-loud --last-loud  times in seconds, or "none"
  wave_activity.py rec.wav --loud-fraction 1.0 4.5   share of loud windows in [t1, t2)

Answers are printed one per line as name=value; first_loud is the start of
the first loud window, last_loud the end of the last one. Reads uncompressed PCM
(8-, 16-, 24- or 32-bit integer, 32-bit float) of any channel count; a file
whose recorder was killed before it finished the header is read to its end.
"""

import argparse
import math
import struct
import sys


def read_wave(path):
    """Returns (sample rate, list of mono samples scaled to -1..1)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 12 or data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a RIFF WAVE file")
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        cid = data[pos:pos + 4]
        size = struct.unpack_from("<I", data, pos + 4)[0]
        body = pos + 8
        if cid == b"fmt ":
            tag, channels, rate = struct.unpack_from("<HHI", data, body)
            bits = struct.unpack_from("<H", data, body + 14)[0]
            if tag == 0xFFFE and size >= 40:
                tag = struct.unpack_from("<H", data, body + 24)[0]
            fmt = (tag, channels, rate, bits)
        elif cid == b"data":
            # An unfinished header says 0 or 0xFFFFFFFF: read to the end.
            end = len(data) if size in (0, 0xFFFFFFFF) else min(len(data), body + size)
            samples = data[body:end]
            break
        pos = body + size + (size & 1)
    if fmt is None or samples is None:
        raise ValueError(f"{path}: no format or no data chunk")
    tag, channels, rate, bits = fmt
    width = bits // 8
    frame = width * channels
    count = len(samples) // frame
    if tag == 1 and bits == 8:
        values = [(b - 128) / 128.0 for b in samples[:count * frame]]
    elif tag == 1 and bits == 16:
        values = [v / 32768.0 for v in struct.unpack_from(f"<{count * channels}h", samples)]
    elif tag == 1 and bits == 24:
        values = []
        for i in range(count * channels):
            b = samples[3 * i:3 * i + 3]
            values.append(int.from_bytes(b, "little", signed=True) / 8388608.0)
    elif tag == 1 and bits == 32:
        values = [v / 2147483648.0 for v in struct.unpack_from(f"<{count * channels}i", samples)]
    elif tag == 3 and bits == 32:
        values = list(struct.unpack_from(f"<{count * channels}f", samples))
    else:
        raise ValueError(f"{path}: unsupported format tag {tag} with {bits} bits")
    if channels > 1:
        values = [sum(values[i:i + channels]) / channels for i in range(0, len(values), channels)]
    return rate, values


def windows(rate, values, window_seconds):
    """Yields (start time, RMS level) per window; a short last window counts."""
    step = max(1, int(round(rate * window_seconds)))
    for start in range(0, len(values), step):
        chunk = values[start:start + step]
        rms = math.sqrt(sum(v * v for v in chunk) / len(chunk))
        yield start / rate, rms


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    parser.add_argument("--window", type=float, default=0.1, help="window length in seconds")
    parser.add_argument("--threshold", type=float, default=0.01,
                        help="RMS share of full scale that counts as loud (default 0.01)")
    parser.add_argument("--windows", action="store_true", help="print every window")
    parser.add_argument("--first-loud", action="store_true")
    parser.add_argument("--last-loud", action="store_true")
    parser.add_argument("--loud-fraction", nargs=2, type=float, action="append",
                        metavar=("T1", "T2"), default=[])
    args = parser.parse_args()
    if args.window <= 0:
        parser.error("--window must be positive")

    try:
        rate, values = read_wave(args.file)
    except (OSError, ValueError, struct.error) as error:
        print(f"wave_activity: {error}", file=sys.stderr)
        return 2

    table = [(t, rms, rms >= args.threshold) for t, rms in windows(rate, values, args.window)]
    print(f"duration={len(values) / rate:.3f}")
    if args.windows:
        for t, rms, loud in table:
            print(f"{t:8.3f} {'loud  ' if loud else 'silent'} {rms:.4f}")
    if args.first_loud:
        loud = [t for t, _, is_loud in table if is_loud]
        print(f"first_loud={loud[0]:.3f}" if loud else "first_loud=none")
    if args.last_loud:
        loud = [t for t, _, is_loud in table if is_loud]
        print(f"last_loud={loud[-1] + args.window:.3f}" if loud else "last_loud=none")
    for t1, t2 in args.loud_fraction:
        inside = [is_loud for t, _, is_loud in table if t1 <= t < t2]
        share = sum(inside) / len(inside) if inside else 0.0
        print(f"loud_fraction[{t1:g},{t2:g}]={share:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
