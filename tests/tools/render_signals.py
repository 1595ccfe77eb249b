#!/usr/bin/python3
"""Ends sonabel-render with real signals in the middle of a render and checks
the files it leaves, with Python's wave module:

- SIGINT where no output existed: status 130, the frames rendered are kept
  under the output's name, and the header claims exactly those frames;
- SIGKILL: only the temporary file is left, never a half-written output.
(SIGTERM and an existing output are covered by RendererTest.)

No timing is assumed: each signal is sent once the temporary file holds
rendered frames, and the input (a sparse file that claims 1.9 GB, with a
lowpass in the chain) takes far longer to render than the signal to arrive.

usage: render_signals.py SONABEL_RENDER
"""
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time
import wave

RENDER = os.path.abspath(sys.argv[1])
RATE = 8000
DATA_BYTES = 1_900_000_000


def make_input(path):
    header = (b"RIFF" + struct.pack("<I", 36 + DATA_BYTES) + b"WAVE" + b"fmt " +
              struct.pack("<IHHIIHH", 16, 1, 1, RATE, 2 * RATE, 2, 16) + b"data" + struct.pack("<I", DATA_BYTES))
    with open(path, "wb") as f:
        f.write(header)
        f.truncate(len(header) + DATA_BYTES)


def temporaries(folder):
    return sorted(n for n in os.listdir(folder) if n.startswith(".out.wav."))


def render_until_signal(folder, sig):
    """Starts a render, sends sig once frames reach the disk; returns the
    exit status and standard error."""
    p = subprocess.Popen([RENDER, "-q", "-f", "Butterworth Lowpass", "in.wav", "out.wav"], cwd=folder,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 120  # a bound for a broken program, not a speed
    while True:
        names = temporaries(folder)
        if names and os.path.getsize(os.path.join(folder, names[0])) > 44 + 2 * RATE:
            break
        if p.poll() is not None:
            sys.exit("FAILED: the render ended before the signal: %d %s" % (p.returncode, p.stderr.read()))
        if time.monotonic() > deadline:
            p.kill()
            sys.exit("FAILED: no frames reached the temporary file")
        time.sleep(0.01)
    p.send_signal(sig)
    _, err = p.communicate(timeout=300)
    return p.returncode, err


def check(condition, what):
    if not condition:
        sys.exit("FAILED: " + what)


def main():
    with tempfile.TemporaryDirectory() as folder:
        make_input(os.path.join(folder, "in.wav"))
        out = os.path.join(folder, "out.wav")

        status, err = render_until_signal(folder, signal.SIGINT)
        check(status == 130, "SIGINT: status %d, %r" % (status, err))
        with wave.open(out, "rb") as w:
            frames = w.getnframes()
        check(os.path.getsize(out) == 44 + 2 * frames, "SIGINT: the header claims %d frames, the file holds %d"
              % (frames, (os.path.getsize(out) - 44) // 2))
        check(err.startswith("sonabel-render: interrupted; the first %d frames (" % frames) and
              err.endswith(") are kept in out.wav\n"), "SIGINT: %r" % err)
        check(temporaries(folder) == [], "SIGINT: left %s" % temporaries(folder))
        print("SIGINT: status 130, %d frames kept, header and file agree" % frames)

        os.remove(out)
        status, _ = render_until_signal(folder, signal.SIGKILL)
        check(status == -signal.SIGKILL, "SIGKILL: status %d" % status)
        check(not os.path.exists(out), "SIGKILL: a half-written out.wav")
        check(len(temporaries(folder)) == 1, "SIGKILL: %s" % temporaries(folder))
        print("SIGKILL: only the temporary file %s" % temporaries(folder)[0])
    print("render signals: ok")


if __name__ == "__main__":
    main()
