#!/usr/bin/env python3
"""Checks tools/make_demo_sounds.sh: the format as soxi and Python's wave
module read it, noise through the whole of selquor.wav, the seamless loop,
byte-for-byte repeatability and the up-to-date rule.

Usage: check_demo_sounds.py path/to/make_demo_sounds.sh
"""
import os, subprocess, sys, tempfile, wave

import numpy as np

NAMES = ["morvane.wav", "selquor.wav", "dnbloop.wav", "loop.wav"]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def soxi(flag, path):
    return subprocess.run(["soxi", flag, path], check=True, capture_output=True, text=True).stdout.strip()


def join_excess(channel, span=64):
    """The bend (second difference) of the wave where its last frame wraps to
    its first, over the largest bend within `span` frames around: a smooth
    join is about 1; one frame too many or too few in loop.wav gives over 10."""
    bend = np.abs(np.diff(np.concatenate([channel[-span:], channel[:span]]), 2))
    return max(bend[span - 2], bend[span - 1]) / (np.max(np.delete(bend, [span - 2, span - 1])) + 2)


def main():
    script = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
        subprocess.run(["bash", script, first], check=True)
        for name in NAMES:
            path = os.path.join(first, name)
            with wave.open(path, "rb") as w:
                p = w.getparams()
                samples = np.frombuffer(w.readframes(p.nframes), "<i2").reshape(-1, p.nchannels).astype(float)
            check((p.nchannels, p.sampwidth, p.framerate) == (2, 2, 44100), f"{name}: wave reads {p[:3]}")
            check([soxi(f, path) for f in ("-c", "-b", "-r", "-e", "-s")]
                  == ["2", "16", "44100", "Signed Integer PCM", str(p.nframes)], f"{name}: soxi disagrees")
            check(2.0 <= p.nframes / 44100 <= 8.0 and 8000 < np.max(np.abs(samples)) < 32767,
                  f"{name}: not a few seconds long, or too quiet, or clipped")
            if name == "selquor.wav":
                # The noise runs from the first frame to the last.
                ends = [np.sqrt(np.mean(samples[s, 0] ** 2)) / 32768 for s in (slice(0, 4410), slice(-4410, None))]
                check(min(ends) > 10 ** (-45 / 20), f"selquor.wav: no noise at the start or the end {ends}")
            if name in ("loop.wav", "dnbloop.wav"):
                for ch in (0, 1):
                    excess = join_excess(samples[:, ch])
                    print(f"{name} channel {ch}: bend at the join / largest bend around it = {excess:.3f}")
                    check(excess <= 2.0, f"{name} channel {ch}: the end clicks into the start ({excess:.2f})")

        subprocess.run(["bash", script, second], check=True)
        for name in NAMES:
            with open(os.path.join(first, name), "rb") as a, open(os.path.join(second, name), "rb") as b:
                check(a.read() == b.read(), f"{name} differs between two runs")

        # A file newer than the script is kept; an older or a missing one is made again.
        stamps = {name: os.stat(os.path.join(first, name)).st_mtime_ns for name in NAMES}
        old = os.stat(script).st_mtime - 3600
        os.utime(os.path.join(first, "selquor.wav"), (old, old))
        os.remove(os.path.join(first, "loop.wav"))
        subprocess.run(["bash", script, first], check=True)
        for name in ("morvane.wav", "dnbloop.wav"):
            check(os.stat(os.path.join(first, name)).st_mtime_ns == stamps[name], f"{name} made again while up to date")
        check(os.stat(os.path.join(first, "selquor.wav")).st_mtime > old, "an out-of-date selquor.wav was kept")
        check(sorted(os.listdir(first)) == sorted(NAMES), f"missing or stray files: {sorted(os.listdir(first))}")
    print(f"{len(failures)} check(s) failed" if failures else "all demo sound checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
