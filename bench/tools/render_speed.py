#!/usr/bin/python3
"""How fast sonabel-render runs the chains that matter, side by side with sox
on the same file: a 60 s stereo 44.1 kHz 16-bit signal, file reading and
writing included. Each command runs several times; the median wall time is
reported, with the speed as a multiple of real time."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

render = sys.argv[1] if len(sys.argv) > 1 else "build/tools/sonabel-render"
render = os.path.abspath(render)
runs = int(os.environ.get("RUNS", "9"))

WAVELET = ["-f", "Forward Wavelet Transform | Wavelet = Daubechies 8",
           "-f", "Wavelet Denoiser", "-f", "Inverse Wavelet Transform"]


def median_time(command):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


with tempfile.TemporaryDirectory() as tmp:
    os.chdir(tmp)
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "in.wav", "synth", "60",
                    "pinknoise", "vol", "0.3"], check=True)
    rows = [
        ("empty chain", [render, "-q", "in.wav", "out.wav"]),
        ("wavelet denoise (db8)", [render, "-q", "in.wav", "out.wav"] + WAVELET),
        ("Butterworth Lowpass", [render, "-q", "in.wav", "out.wav", "-f", "Butterworth Lowpass"]),
        ("sox lowpass -2 423.43 x2", ["sox", "in.wav", "out.wav", "lowpass", "-2", "423.43",
                                      "lowpass", "-2", "423.43"]),
    ]
    results = {}
    print("%-28s %10s %14s" % ("command", "median s", "x real time"))
    for name, command in rows:
        t = median_time(command)
        results[name] = t
        print("%-28s %10.4f %14.0f" % (name, t, 60.0 / t))
    print("Butterworth render against sox: %.2f times as fast" %
          (results["sox lowpass -2 423.43 x2"] / results["Butterworth Lowpass"]))
