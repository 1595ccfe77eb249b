#!/usr/bin/python3
"""sonabel-render --suggest-threshold against numpy and PyWavelets: the noise
level is the median absolute deviation of the finest details (PyWavelets'
dec_hi, every other value of the "valid" convolution) over all channels,
divided by 0.6745; the universal threshold is that times sqrt(2 ln N) for N
frames; the step printed is the denoiser's step whose value text shows the
nearest decibels. Files are written with Python's wave module: mono and
stereo, odd and even lengths, several wavelets.

Usage: threshold_oracle.py <sonabel-render>
"""
import math
import os
import re
import subprocess
import sys
import tempfile
import wave

import numpy as np
import pywt

render = os.path.abspath(sys.argv[1])
failures = []


def write_wave(path, channels):
    """16-bit PCM; returns the samples as the renderer decodes them (s/32768)."""
    pcm = np.clip(np.round(np.stack(channels, axis=1) * 32768.0), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(len(channels))
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(pcm.tobytes())
    return [pcm[:, c].astype(np.float64) / 32768.0 for c in range(len(channels))]


def expected(channels, name):
    h = np.asarray(pywt.Wavelet(name).dec_hi)
    details = np.concatenate([np.abs(np.convolve(x, h, "valid")[::2]) for x in channels])
    sigma = np.median(details) / 0.6745
    return sigma, sigma * math.sqrt(2.0 * math.log(len(channels[0])))


rng = np.random.default_rng(11)
t = np.arange(200001) / 44100.0
cases = [
    # name, wavelet as the chain gives it, channels
    ("db8", "db8", [0.02 * rng.standard_normal(200001) + 0.5 * np.sin(2 * np.pi * 220 * t)]),
    ("haar", "haar", [0.003 * rng.standard_normal(200000)]),
    ("sym8", "sym8", [0.05 * rng.standard_normal(99999) + 0.3 * np.sin(2 * np.pi * 100 * t[:99999]),
                      0.01 * rng.standard_normal(99999)]),
    ("db2", "Daubechies 2", [0.1 * rng.standard_normal(4097) * (1 + np.sin(2 * np.pi * 3 * t[:4097]))]),
    ("db15", "db15", [0.0004 * rng.standard_normal(50000), 0.0004 * rng.standard_normal(50000)]),
]
with tempfile.TemporaryDirectory() as folder:
    for name, given, channels in cases:
        path = os.path.join(folder, name + ".wav")
        decoded = write_wave(path, channels)
        sigma, threshold = expected(decoded, name)
        run = subprocess.run([render, "--suggest-threshold", "-f", "Forward | Wavelet = " + given,
                              "-f", "Denoiser", "-f", "Inverse", path],
                             capture_output=True, text=True, cwd=folder)
        text = run.stdout
        got_sigma = re.search(r"^Noise level: (\S+) ", text, re.M)
        got = re.search(r"^Universal threshold over (\d+) frames: (\S+) ", text, re.M)
        step = re.search(r"^Threshold = (\d+)   # (\S+) db threshold", text, re.M)
        if run.returncode != 0 or not (got_sigma and got and step):
            failures.append("%s: status %d, output %r %r" % (name, run.returncode, text, run.stderr))
            continue
        frames, got_threshold = int(got.group(1)), float(got.group(2))
        shown_db = float(step.group(2))
        want_db = 20 * math.log10(threshold)
        print("%-5s sigma %.6g (numpy %.6g)  T %.6g (numpy %.6g, %.2f dB)  step %s at %.1f dB"
              % (name, float(got_sigma.group(1)), sigma, got_threshold, threshold, want_db, step.group(1), shown_db))
        # The details are summed in double from float samples: only the
        # float rounding of the taps separates the two.
        if abs(float(got_sigma.group(1)) - sigma) > 1e-5 * sigma:
            failures.append("%s: noise level %s, numpy %.9g" % (name, got_sigma.group(1), sigma))
        if frames != len(decoded[0]):
            failures.append("%s: %d frames, the file has %d" % (name, frames, len(decoded[0])))
        if abs(got_threshold - threshold) > 1e-5 * threshold:
            failures.append("%s: threshold %.9g, numpy %.9g" % (name, got_threshold, threshold))
        # Steps are 0.5 dB apart, texts rounded to 0.1 dB.
        if abs(shown_db - want_db) > 0.3:
            failures.append("%s: step %s shows %.1f dB, the threshold is %.2f dB"
                            % (name, step.group(1), shown_db, want_db))
        # The same input from a pipe: the same suggestion.
        with open(path, "rb") as f:
            piped = subprocess.run([render, "--suggest-threshold", "-f", "Forward | Wavelet = " + given,
                                    "-f", "Denoiser", "-f", "Inverse", "-"], stdin=f, capture_output=True, text=True,
                                   cwd=folder)
        if piped.returncode != 0 or piped.stdout != text:
            failures.append("%s from standard input: status %d, %r" % (name, piped.returncode, piped.stderr))
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
