#!/usr/bin/python3
"""How fast sonabel-render runs, side by side with its peers, on a 60 s stereo
44.1 kHz 16-bit signal, file reading, writing and start-up included.

1. Start-up: `sonabel-render --help` and an empty render of a 1 s file
   (over an existing output, and to a new one), beside `sox in.wav out.wav`,
   `sox --version` and /bin/true, interleaved, 100 runs each (STARTUP_RUNS),
   min and median wall milliseconds. STARTUP_ONLY=1 stops after this part.
2. The chains that matter (empty, db8 forward and inverse, wavelet
   denoising, Butterworth lowpass, and sox doing the same lowpass): wall
   time as a multiple of real time, min and median.
3. Wavelet denoising against its peers: sonabel-render, ffmpeg's afwtdn
   and a PyWavelets script (wavedec, soft threshold, waverec, all with
   Daubechies 10 over 9 levels), with `sox in.wav out.wav` as the floor.
   The commands are interleaved run by run, so that a busy machine slows
   them alike; wall and CPU time, min and median. A peer that is not
   installed is left out (make bench-deps installs ffmpeg).
4. The plain path against `sox in.wav out.wav` on 60 s and 600 s files:
   CPU time (user + system) of each process, interleaved, min and median.
   A second sonabel-render (OLD=path) joins this interleave and the
   start-up one, to compare two builds.
RUNS sets the repetitions (default 9); SKIP_CHAINS=1 leaves out parts 2 and 3.
Every table starts with the load average: figures from a busy machine say
little."""
import os
import shutil
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
    cpu, wall = interleaved(commands, runs)
    print("Plain path, %d s stereo 16-bit, %d interleaved runs, %s" % (seconds, runs, load()))
    print("  %-22s %9s %11s %9s %12s" % ("command", "min CPU s", "median CPU", "min wall", "CPU / sox"))
    sox_min = min(cpu["sox in.wav out.wav"])
    for label, _ in commands:
        print("  %-22s %9.4f %11.4f %9.4f %12.2f" % (label, min(cpu[label]), statistics.median(cpu[label]),
                                                     min(wall[label]), min(cpu[label]) / sox_min))
    for f in [name, "out-sox.wav", "out-new.wav", "out-old.wav"]:
        if os.path.exists(f):
            os.remove(f)


def load():
    return "load average %.2f %.2f %.2f" % os.getloadavg()


def startup():
    count = int(os.environ.get("STARTUP_RUNS", "100"))
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "one.wav", "synth", "1",
                   "pinknoise", "vol", "0.3"], check=True)

    def fresh(name):
        # Before the run, not timed: the output does not exist yet.
        return lambda: os.path.exists(name) and os.remove(name)

    # (label, command, untimed step before each run)
    commands = [("sonabel-render --help", [render, "--help"], None),
                ("empty render of 1 s", [render, "-q", "one.wav", "one-out.wav"], None),
                ("  the same, new output", [render, "-q", "one.wav", "one-new.wav"], fresh("one-new.wav")),
                ("sox one.wav out.wav", ["sox", "one.wav", "one-sox.wav"], None),
                ("sox --version", ["sox", "--version"], None),
                ("/bin/true (the floor)", ["/bin/true"], None)]
    if old:
        commands += [("sonabel-render --help (OLD)", [old, "--help"], None),
                     ("empty render of 1 s (OLD)", [old, "-q", "one.wav", "one-old.wav"], None)]
    times = {label: [] for label, _, _ in commands}
    for _ in range(count):
        for label, command, before in commands:
            if before:
                before()
            start = time.perf_counter()
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            times[label].append(time.perf_counter() - start)
    print("Start-up, wall time from start to exit, %d interleaved runs, %s" % (count, load()))
    print("  %-30s %8s %10s" % ("command", "min ms", "median ms"))
    for label, _, _ in commands:
        print("  %-30s %8.2f %10.2f" % (label, 1000 * min(times[label]), 1000 * statistics.median(times[label])))
    print("  (an output that replaces a file is handed to the disk before the rename)")
    print()


def interleaved(commands, count):
    """Wall and CPU seconds of each command, run by run in turn."""
    cpu = {label: [] for label, _ in commands}
    wall = {label: [] for label, _ in commands}
    for _ in range(count):
        for label, command in commands:
            c, w = cpu_and_wall(command)
            cpu[label].append(c)
            wall[label].append(w)
    return cpu, wall


PYWT_SCRIPT = r"""
import sys, wave
import numpy as np, pywt
with wave.open(sys.argv[1], "rb") as w:
    channels, rate = w.getnchannels(), w.getframerate()
    x = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, channels) / 32768.0
y = np.empty_like(x)
for c in range(channels):
    coeffs = pywt.wavedec(x[:, c], "db10", mode="zero", level=9)
    coeffs[1:] = [pywt.threshold(d, 0.001, mode="soft") for d in coeffs[1:]]
    y[:, c] = pywt.waverec(coeffs, "db10", mode="zero")[: len(x)]
with wave.open(sys.argv[2], "wb") as w:
    w.setnchannels(channels); w.setsampwidth(2); w.setframerate(rate)
    w.writeframes(np.clip(np.round(y * 32768.0), -32768, 32767).astype("<i2").tobytes())
"""


def peers():
    # The system's Python, where make deps installs PyWavelets.
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
    with open("pywt_denoise.py", "w") as f:
        f.write(PYWT_SCRIPT)
    commands = [
        ("sox in.wav out.wav", ["sox", "in.wav", "out-sox.wav"]),
        ("sonabel-render db10 denoise", [render, "-q", "in.wav", "out.wav",
                                         "-f", "Forward Wavelet Transform | Wavelet = db10",
                                         "-f", "Wavelet Denoiser", "-f", "Inverse Wavelet Transform"]),
    ]
    if shutil.which("ffmpeg"):
        commands.append(("ffmpeg afwtdn deb10", ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-threads", "1",
                                                 "-i", "in.wav", "-af", "afwtdn=wavet=deb10:levels=9",
                                                 "-c:a", "pcm_s16le", "out-ffmpeg.wav"]))
    else:
        print("ffmpeg is not installed (make bench-deps): afwtdn left out")
    try:
        subprocess.run([python, "-c", "import pywt"], check=True, stderr=subprocess.DEVNULL)
        commands.append(("PyWavelets db10", [python, "pywt_denoise.py", "in.wav", "out-pywt.wav"]))
    except subprocess.CalledProcessError:
        print("PyWavelets is not installed: left out")
    cpu, wall = interleaved(commands, runs)
    print("Wavelet denoising of 60 s stereo 16-bit, %d interleaved runs, %s" % (runs, load()))
    print("  %-28s %9s %11s %9s %11s %13s" % ("command", "min wall", "median wall", "min CPU", "median CPU",
                                             "x real time"))
    for label, _ in commands:
        print("  %-28s %9.4f %11.4f %9.4f %11.4f %13.0f" % (
            label, min(wall[label]), statistics.median(wall[label]), min(cpu[label]),
            statistics.median(cpu[label]), 60.0 / min(wall[label])))
    print()


def chains():
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "in.wav", "synth", "60",
                    "pinknoise", "vol", "0.3"], check=True)
    rows = [
        ("empty chain", [render, "-q", "in.wav", "out.wav"]),
        ("db8 forward + inverse", [render, "-q", "in.wav", "out.wav",
                                   "-f", "Forward Wavelet Transform | Wavelet = Daubechies 8",
                                   "-f", "Inverse Wavelet Transform"]),
        ("wavelet denoise (db8)", [render, "-q", "in.wav", "out.wav"] + WAVELET),
        ("Butterworth Lowpass", [render, "-q", "in.wav", "out.wav", "-f", "Butterworth Lowpass"]),
        ("sox lowpass -2 423.43 x2", ["sox", "in.wav", "out.wav", "lowpass", "-2", "423.43",
                                      "lowpass", "-2", "423.43"]),
    ]
    results = {}
    _, wall = interleaved(rows, runs)
    print("Chains on 60 s stereo 16-bit, %d interleaved runs, %s" % (runs, load()))
    print("  %-28s %9s %11s %12s %14s" % ("command", "min wall", "median wall", "x real time", "(median)"))
    for name, _ in rows:
        t = statistics.median(wall[name])
        results[name] = t
        print("  %-28s %9.4f %11.4f %12.0f %14.0f" % (name, min(wall[name]), t, 60.0 / min(wall[name]), 60.0 / t))
    print("Butterworth render against sox: %.2f times as fast" %
          (results["sox lowpass -2 423.43 x2"] / results["Butterworth Lowpass"]))
    print()


with tempfile.TemporaryDirectory() as tmp:
    os.chdir(tmp)
    startup()
    if os.environ.get("STARTUP_ONLY") == "1":
        sys.exit(0)
    if os.environ.get("SKIP_CHAINS") != "1":
        chains()
        peers()
    for length in (60, 600):
        plain_path(length)
