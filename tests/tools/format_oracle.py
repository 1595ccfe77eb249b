#!/usr/bin/python3
"""Checks sonabel-render's file formats against sox: with an empty chain,
24-bit, float, FLAC and AIFF inputs come out sample for sample as sox
decodes them (or as sox itself converts them, without dither, where the
sample size shrinks); soxi reads every output as the container and sample
type asked for; a file the WAVE reader refuses is taken over with exactly
one line on stderr; and the clip count is sox's own."""
import os
import re
import subprocess
import sys
import tempfile
import wave

import numpy as np
from scipy.io import wavfile

render = sys.argv[1]


def sox(*args):
    return subprocess.run(["sox", *args], check=True, capture_output=True)


def soxi(option, path):
    return subprocess.run(["soxi", option, path], check=True, capture_output=True, text=True).stdout.strip()


def samples(path, floating=False):
    """The file's samples as sox decodes them: 32-bit integers or floats."""
    enc = ["-e", "floating-point"] if floating else ["-e", "signed"]
    return sox(path, "-t", "raw", *enc, "-b", "32", "-").stdout


with tempfile.TemporaryDirectory() as tmp:
    os.chdir(tmp)
    # Inputs: a plain 24-bit WAVE (format tag 1, as Python's wave module
    # writes it), and the others made by sox.
    rng = np.random.default_rng(7)
    x = np.clip(rng.normal(0, 0.2, (22050, 2)), -1, 1)
    with wave.open("in24.wav", "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(3)
        w.setframerate(44100)
        ints = np.round(x * 2 ** 23).clip(-2 ** 23, 2 ** 23 - 1).astype("<i4")
        w.writeframes(b"".join(int(v).to_bytes(3, "little", signed=True) for v in ints.ravel()))
    sox("in24.wav", "-e", "floating-point", "-b", "32", "inf.wav")
    sox("in24.wav", "in.flac")
    sox("in24.wav", "-b", "16", "in16.aiff")
    sox("-D", "in24.wav", "-b", "16", "in16.wav")
    # 1.5 times full scale: a float file clips when it becomes integers.
    t = np.arange(4410)
    wavfile.write("hot.wav", 44100, (1.5 * np.sin(2 * np.pi * 441 * t / 44100)).astype(np.float32))

    handover = "sonabel-render: {}: {}, reading it through libsndfile"
    # input, arguments, output, (soxi -t, -e, -b), the samples it must
    # hold (the input's, or sox's own conversion without dither), the
    # line expected on stderr (None: nothing at all).
    rows = [
        ("in24.wav", [], "out24.wav", ("wav", "Signed Integer PCM", "24"), None,
         handover.format("in24.wav", "24-bit PCM")),
        ("inf.wav", [], "outf.wav", ("wav", "Floating Point PCM", "32"), None,
         handover.format("inf.wav", "32-bit float")),
        ("in.flac", [], "out.flac", ("flac", "FLAC", "24"), None, handover.format("in.flac", "FLAC, 24-bit PCM")),
        ("in16.aiff", [], "out.aiff", ("aiff", "Signed Integer PCM", "16"), None,
         handover.format("in16.aiff", "AIFF, 16-bit PCM")),
        ("in16.wav", [], "out16.wav", ("wav", "Signed Integer PCM", "16"), None, None),
        ("in16.wav", ["--format", "flac"], "out16.any", ("flac", "FLAC", "16"), None, None),
        ("in.flac", ["--bits", "32"], "out32.aiff", ("aiff", "Signed Integer PCM", "32"), None,
         handover.format("in.flac", "FLAC, 24-bit PCM")),
        ("in16.wav", ["--bits", "float", "--format", "aiff"], "outf.aif", ("aifc", "Floating Point PCM", "32"),
         None, None),
        ("in24.wav", ["--bits", "16"], "down16.wav", ("wav", "Signed Integer PCM", "16"), "in16.wav",
         handover.format("in24.wav", "24-bit PCM")),
        ("inf.wav", [], "fromfloat.flac", ("flac", "FLAC", "24"), None,
         "sonabel-render: warning: fromfloat.flac: a FLAC file cannot hold the input's 32-bit float samples; "
         "writing 24-bit PCM"),
    ]
    for source, args, output, (kind, encoding, bits), expected, line in rows:
        what = "%s %s -> %s" % (source, " ".join(args), output)
        run = subprocess.run([render, "-q", source, output, *args], capture_output=True, text=True)
        assert run.returncode == 0, (what, run.stderr)
        lines = [l for l in run.stderr.splitlines() if l]
        if line is None:
            assert lines == [], (what, lines)
        else:
            assert line in lines, (what, lines)
        # Only the one line about the handover or the sample type, and no
        # message from inside a reader.
        assert len(lines) <= (2 if line and "warning" in line else 1), (what, lines)
        assert not re.search(r"readRIFF|magic|Reader::", run.stderr), (what, run.stderr)
        got = (soxi("-t", output), soxi("-e", output), soxi("-b", output))
        assert got == (kind, encoding, bits), (what, got)
        assert soxi("-s", output) == soxi("-s", source), what
        floating = encoding == "Floating Point PCM" and soxi("-e", expected or source) == encoding
        assert samples(output, floating) == samples(expected or source, floating), what + ": samples differ"
        print("ok  %-45s %s" % (what, " / ".join(got)))

    # The clip count against sox's, and the clipped file against sox's.
    run = subprocess.run([render, "-q", "hot.wav", "hot16.wav", "--bits", "16"],
                         capture_output=True, text=True, check=True)
    ours = re.search(r"clipped (\d+) samples", run.stderr)
    theirs = re.search(r"clipped (\d+) samples", sox("-D", "hot.wav", "-b", "16", "soxhot.wav").stderr.decode())
    assert ours and theirs, (run.stderr, theirs)
    v = wavfile.read("hot.wav")[1].astype(np.float64) * 32768
    counted = int(np.sum((v >= 32767.5) | (v < -32768.5)))
    print("clipped: renderer %s, sox %s, numpy %d" % (ours.group(1), theirs.group(1), counted))
    assert int(ours.group(1)) == int(theirs.group(1)) == counted > 0
    assert samples("hot16.wav") == samples("soxhot.wav")
    # Nothing clips in a float file, nor when nothing reaches full scale.
    for args in (["hot.wav", "hotf.wav"], ["in16.wav", "quiet.flac"]):
        run = subprocess.run([render, "-q", *args], capture_output=True, text=True, check=True)
        assert "clipped" not in run.stderr, (args, run.stderr)
    print("formats: all rows pass")
