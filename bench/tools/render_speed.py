#!/usr/bin/python3
"""How fast sonabel-render runs the chains that matter, side by side with sox
on the same file: a 60 s stereo 44.1 kHz 16-bit signal, file reading and
writing included. Each command runs several times; the median wall time is
reported, with the speed as a multiple of real time.

Then the plain path against `sox in.wav out.wav` on 60 s and 600 s files:
CPU time (user + system) of each process, the commands interleaved run by
run so that a busy machine slows them alike, min and median. A second
sonabel-render (OLD=path) joins the interleave, to compare two builds.
RUNS sets the repetitions, SKIP_CHAINS=1 leaves out the first table."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

render = sys.argv[1] if len(sys.argv) > 1 else "build/tools/sonabel-render"
render = os.path.abspath(render)
runs = int(os.environ.get("RUNS", "9"))
old = os.environ.get("OLD")
old = os.path.abspath(old) if old else None

WAVELET = ["-f", "Forward Wavelet Transform | Wavelet = Daubechies 8",
           "-f", "Wavelet Denoiser", "-f", "Inverse Wavelet Transform"]


def median_time(command):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def cpu_and_wall(command):
    """User + system CPU seconds and wall seconds of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit("failed: " + " ".join(command))
    return usage.ru_utime + usage.ru_stime, wall


def plain_path(seconds):
    name = "in%d.wav" % seconds
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", name, "synth", str(seconds),
                    "pinknoise", "vol", "0.3"], check=True)
    commands = [("sox in.wav out.wav", ["sox", name, "out-sox.wav"]),
                ("empty chain", [render, "-q", name, "out-new.wav"])]
    if old:
        commands.append(("empty chain (OLD)", [old, "-q", name, "out-old.wav"]))
    cpu = {label: [] for label, _ in commands}
    wall = {label: [] for label, _ in commands}
    for _ in range(runs):
        for label, command in commands:
            c, w = cpu_and_wall(command)
            cpu[label].append(c)
            wall[label].append(w)
    print("%d s stereo 16-bit, %d interleaved runs, load average %.2f %.2f %.2f" %
          ((seconds, runs) + os.getloadavg()))
    print("  %-22s %9s %11s %9s %12s" % ("command", "min CPU s", "median CPU", "min wall", "CPU / sox"))
    sox_min = min(cpu["sox in.wav out.wav"])
    for label, _ in commands:
        print("  %-22s %9.4f %11.4f %9.4f %12.2f" % (label, min(cpu[label]), statistics.median(cpu[label]),
                                                     min(wall[label]), min(cpu[label]) / sox_min))
    for f in [name, "out-sox.wav", "out-new.wav", "out-old.wav"]:
        if os.path.exists(f):
            os.remove(f)


def chains():
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


with tempfile.TemporaryDirectory() as tmp:
    os.chdir(tmp)
    if os.environ.get("SKIP_CHAINS") != "1":
        chains()
    for length in (60, 600):
        plain_path(length)
