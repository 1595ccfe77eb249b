#!/usr/bin/python3
"""Checks sonabel-render against tools no one here wrote: an empty chain must
give back the input sample for sample as sox reads it, --reference must
agree with an SNR computed in numpy, and the Butterworth lowpass must
answer as scipy's design at the input's own rate (8 and 192 kHz as well as
44.1 kHz), which it can only do when the chain learns the input's format."""
import os
import re
import subprocess
import sys
import tempfile
import wave

import numpy as np
from scipy import signal

render = sys.argv[1]


def frames(path):
    with wave.open(path, "rb") as w:
        assert w.getsampwidth() == 2
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
        return data.reshape(-1, w.getnchannels()).astype(np.float64) / 32768.0


with tempfile.TemporaryDirectory() as tmp:
    os.chdir(tmp)
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "clean.wav",
                    "synth", "3.3", "sine", "300", "sine", "1234", "vol", "0.4"], check=True)
    subprocess.run(["sox", "clean.wav", "noisy.wav", "dither", "-s"], check=True)
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "hiss.wav",
                    "synth", "3.3", "whitenoise", "vol", "0.05"], check=True)
    subprocess.run(["sox", "-m", "clean.wav", "hiss.wav", "noisy.wav"], check=True)

    # An empty chain: the same samples, as sox decodes both files.
    subprocess.run([render, "-q", "noisy.wav", "copy.wav"], check=True, capture_output=True)
    a = subprocess.run(["sox", "noisy.wav", "-t", "raw", "-"], check=True, capture_output=True).stdout
    b = subprocess.run(["sox", "copy.wav", "-t", "raw", "-"], check=True, capture_output=True).stdout
    assert a == b, "an empty chain changed the samples"

    # The SNR report against numpy.
    out = subprocess.run([render, "-q", "--stats", "noisy.wav", "lowpassed.wav", "--reference", "clean.wav",
                          "-f", "Butterworth Lowpass"], check=True, capture_output=True, text=True).stdout
    m = re.search(r"input (-?[\d.]+) dB, output (-?[\d.]+) dB, gain (-?[\d.]+) dB", out)
    assert m, out
    clean, noisy, result = frames("clean.wav"), frames("noisy.wav"), frames("lowpassed.wav")

    def snr(x):
        n = min(len(x), len(clean))
        return 10 * np.log10(np.sum(clean[:n] ** 2) / np.sum((x[:n] - clean[:n]) ** 2))

    want = (snr(noisy), snr(result))
    got = (float(m.group(1)), float(m.group(2)))
    print("SNR numpy %.4f / %.4f dB, renderer %.2f / %.2f dB" % (want + got))
    for w, g in zip(want, got):
        assert abs(w - g) <= 0.01, (w, g)
    assert abs((got[1] - got[0]) - float(m.group(3))) <= 0.011

    # The lowpass at the input's rate: nine tones of amplitude 0.1 at whole
    # hertz, so one second holds whole periods of each; their gains, measured
    # in the second second, against scipy.signal.butter(4, fc, fs=rate).
    fc = float(np.exp(np.float32(120) * np.float32(0.05))) + 20.0  # "Cutoff Hz = 120"
    tones = np.array([50, 100, 200, 300, 423, 500, 700, 1000, 1500])
    for rate in (8000, 44100, 192000):
        t = np.arange(2 * rate)
        x = sum(0.1 * np.sin(2 * np.pi * f * t / rate) for f in tones)
        with wave.open("tones.wav", "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(rate)
            w.writeframes(np.round(x * 32768).astype("<i2").tobytes())
        subprocess.run([render, "-q", "tones.wav", "lowpassed.wav", "-f", "Butterworth Lowpass | Gain = 100"],
                       check=True, capture_output=True)
        y = frames("lowpassed.wav")[rate:, 0]
        second = t[rate:]
        measured = np.array([20 * np.log10(2 / rate * abs(np.sum(y * np.exp(-2j * np.pi * f * second / rate))) / 0.1)
                             for f in tones])
        _, h = signal.sosfreqz(signal.butter(4, fc, fs=rate, output="sos"), worN=tones, fs=rate)
        want = 20 * np.log10(np.abs(h))
        error = np.max(np.abs(measured - want))
        print("lowpass at %d Hz: fc %.2f Hz, gains %s dB, max error %.4f dB"
              % (rate, fc, " ".join("%.2f" % g for g in measured), error))
        assert error <= 0.05, (rate, measured, want)
print("render oracle: ok")
