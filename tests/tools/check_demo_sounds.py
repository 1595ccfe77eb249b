#!/usr/bin/env python3
"""Checks tools/make_demo_sounds.sh: the four files, their format as soxi and
Python's wave module read it, what each one should sound like, the seamless
loop, byte-for-byte repeatability, and that up-to-date files are left alone.

Usage: check_demo_sounds.py path/to/make_demo_sounds.sh
"""
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

NAMES = ["morvane.wav", "selquor.wav", "dnbloop.wav", "loop.wav"]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def generate(script, folder):
    subprocess.run(["bash", script, folder], check=True)


def read(path):
    with wave.open(path, "rb") as w:
        params = w.getparams()
        frames = w.readframes(params.nframes)
    samples = np.frombuffer(frames, dtype="<i2").reshape(-1, params.nchannels).astype(np.float64)
    return params, samples


def soxi(flag, path):
    return subprocess.run(["soxi", flag, path], check=True, capture_output=True, text=True).stdout.strip()


def window_rms_db(channel, width):
    """RMS of consecutive windows of `width` samples, in dB full scale."""
    usable = len(channel) // width * width
    blocks = channel[:usable].reshape(-1, width)
    rms = np.sqrt(np.mean(blocks * blocks, axis=1)) / 32768.0
    return 20 * np.log10(np.maximum(rms, 1e-9))


def join_excess(channel, span=64):
    """How hard the wrap from the last frame to the first bends the wave.

    The second difference centred on the last and on the first frame of the
    wrapped sound, over the largest one within `span` frames on either side.
    A smooth join bends no more than its neighbourhood (about 1); one frame
    too many or too few in a 4 s loop already gives more than 10.
    """
    around = np.concatenate([channel[-span:], channel[:span]])
    bend = np.abs(np.diff(around, 2))  # bend[k] is centred on around[k + 1]
    join = max(bend[span - 2], bend[span - 1])
    neighbours = np.concatenate([bend[:span - 2], bend[span:]])
    return join / (np.max(neighbours) + 2)


def check_formats(folder):
    sounds = {}
    for name in NAMES:
        path = os.path.join(folder, name)
        if not os.path.isfile(path):
            check(False, f"{name} was not made")
            continue
        params, samples = read(path)
        sounds[name] = samples
        # Two readers must agree on the format: 16-bit stereo at 44100 Hz.
        check((params.nchannels, params.sampwidth, params.framerate) == (2, 2, 44100),
              f"{name}: wave reads {params.nchannels} ch, {params.sampwidth} bytes, {params.framerate} Hz")
        check((soxi("-c", path), soxi("-b", path), soxi("-r", path), soxi("-e", path))
              == ("2", "16", "44100", "Signed Integer PCM"),
              f"{name}: soxi disagrees on the format")
        check(soxi("-s", path) == str(params.nframes), f"{name}: soxi and wave disagree on the length")
        seconds = params.nframes / params.framerate
        check(2.0 <= seconds <= 8.0, f"{name}: {seconds:.2f} s is not a few seconds")
        peak = np.max(np.abs(samples))
        check(8000 < peak < 32767, f"{name}: peak {peak:.0f} is too quiet or clipped")
    return sounds


def check_content(sounds):
    if len(sounds) != len(NAMES):
        return
    # Speech alone has pauses near silence; with noise the pauses are filled.
    quiet_voice = np.percentile(window_rms_db(sounds["morvane.wav"][:, 0], 882), 10)
    quiet_noisy = np.percentile(window_rms_db(sounds["selquor.wav"][:, 0], 882), 10)
    print(f"quietest tenth of 20 ms windows: morvane {quiet_voice:.1f} dBFS, selquor {quiet_noisy:.1f} dBFS")
    check(quiet_voice < -60, "morvane.wav: the pauses between words are not silent")
    check(-45 < quiet_noisy < -20, "selquor.wav: the noise does not fill the pauses at a moderate level")
    # ... from the first frame to the last.
    ends = window_rms_db(sounds["selquor.wav"][:, 0], 4410)[[0, -1]]
    check(min(ends) > -45, f"selquor.wav: no noise at the start or the end ({ends[0]:.1f}, {ends[-1]:.1f} dBFS)")

    # The beat is one bar four times over, and a bar has an onset on every
    # eighth note (the hats).
    beat = sounds["dnbloop.wav"]
    bar = len(beat) // 4
    check(len(beat) == 4 * bar and all(np.array_equal(beat[:bar], beat[k * bar:(k + 1) * bar]) for k in (1, 2, 3)),
          "dnbloop.wav: the four bars are not the same")
    eighth = bar // 8
    onsets = [np.max(np.abs(beat[k * eighth:k * eighth + 400, 0])) for k in range(8)]
    check(min(onsets) > 1000, f"dnbloop.wav: an eighth note without a hit (onset peaks {onsets})")
    # The kick and bass carry the low end: most energy below 200 Hz.
    power = np.abs(np.fft.rfft(beat[:bar, 0])) ** 2
    freqs = np.fft.rfftfreq(bar, 1 / 44100)
    low = power[freqs < 200].sum() / power.sum()
    check(low > 0.5, f"dnbloop.wav: only {low:.2f} of the energy below 200 Hz")

    for name in ("loop.wav", "dnbloop.wav"):
        for ch in (0, 1):
            excess = join_excess(sounds[name][:, ch])
            print(f"{name} channel {ch}: bend at the join / largest bend around it = {excess:.3f}")
            check(excess <= 2.0, f"{name} channel {ch}: the end clicks into the start ({excess:.2f})")


def check_reruns(script, first):
    with tempfile.TemporaryDirectory() as second:
        generate(script, second)
        for name in NAMES:
            with open(os.path.join(first, name), "rb") as a, open(os.path.join(second, name), "rb") as b:
                check(a.read() == b.read(), f"{name} differs between two runs")

    # A file newer than the script is kept; an older one, or a missing one,
    # is made again.
    stamps = {name: os.stat(os.path.join(first, name)).st_mtime_ns for name in NAMES}
    old = os.stat(script).st_mtime - 3600
    os.utime(os.path.join(first, "selquor.wav"), (old, old))
    os.remove(os.path.join(first, "loop.wav"))
    generate(script, first)
    for name in ("morvane.wav", "dnbloop.wav"):
        check(os.stat(os.path.join(first, name)).st_mtime_ns == stamps[name], f"{name} was made again while up to date")
    check(os.stat(os.path.join(first, "selquor.wav")).st_mtime > old, "an out-of-date selquor.wav was kept")
    check(os.path.isfile(os.path.join(first, "loop.wav")), "a missing loop.wav was not made again")
    check(sorted(os.listdir(first)) == sorted(NAMES), f"stray files in the output folder: {sorted(os.listdir(first))}")


def main():
    script = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as first:
        generate(script, first)
        sounds = check_formats(first)
        check_content(sounds)
        check_reruns(script, first)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("all demo sound checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
