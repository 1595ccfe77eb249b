"""Talks to the sonabel_wavelet_dump helper: sends commands, parses its text."""
import subprocess

import numpy as np


class Bank:
    def __init__(self, index, length, orthogonal, lo, hi, slo, shi):
        self.index, self.length, self.orthogonal = index, length, orthogonal
        self.lo, self.hi, self.slo, self.shi = lo, hi, slo, shi


class Result:
    def __init__(self, details, approx, y=None):
        self.details, self.approx, self.y = details, approx, y


def _values(line, tag):
    parts = line.split()
    assert parts[0] == tag, (tag, line[:40])
    n = int(parts[1])
    # Nine digits give back the float32 value, not the float64 one.
    vals = np.array([float(v) for v in parts[2:]], dtype=np.float32).astype(np.float64)
    assert len(vals) == n
    return vals


def _fmt(x):
    return " ".join("%.9g" % v for v in np.asarray(x, dtype=np.float32))


class Dump:
    def __init__(self, exe, *args):
        self.command = [exe, *args]

    def _run(self, text):
        out = subprocess.run(self.command, input=text + "end\n", capture_output=True, text=True, check=True)
        return out.stdout.splitlines()

    def banks(self):
        lines = self._run("banks\n")
        banks = []
        for i in range(0, len(lines), 5):
            _, index, length, ortho = lines[i].split()
            f = [_values(lines[i + 1 + k], tag) for k, tag in enumerate(("lo", "hi", "slo", "shi"))]
            banks.append(Bank(int(index), int(length), ortho == "1", *f))
        return banks

    def _parse(self, lines, pos, with_y):
        levels = int(lines[pos].split()[1])
        pos += 1
        details = []
        for _ in range(levels):
            details.append(_values(lines[pos], "d"))
            pos += 1
        approx = _values(lines[pos], "a")
        pos += 1
        y = None
        if with_y:
            y = _values(lines[pos], "y")
            pos += 1
        return Result(details, approx, y), pos

    def forward_many(self, jobs):
        """jobs: list of (wavelet, algorithm, samples). Returns a Result each."""
        text = "".join("forward %d %d %d\n%s\n" % (w, a, len(x), _fmt(x)) for w, a, x in jobs)
        lines = self._run(text)
        out, pos = [], 0
        for _ in jobs:
            r, pos = self._parse(lines, pos, True)
            out.append(r)
        return out

    def stream(self, wavelet, algorithm, chunks):
        n = len(chunks[0])
        text = "stream %d %d %d %d\n" % (wavelet, algorithm, n, len(chunks))
        text += "".join(_fmt(c) + "\n" for c in chunks)
        lines = self._run(text)
        out, pos = [], 0
        for _ in chunks:
            r, pos = self._parse(lines, pos, False)
            out.append(r)
        return out


def float32_signal(rng, n):
    """Samples in [-1, 1] that are exact float32 values."""
    return rng.uniform(-1.0, 1.0, n).astype(np.float32).astype(np.float64)
