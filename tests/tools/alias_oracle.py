#!/usr/bin/python3
"""The familiar wavelet names that sonabel-render accepts (db8, sym8, ...) are
PyWavelets' names: each must stand for the entry whose four filters are
PyWavelets' taps for that name, and an entry that does carry PyWavelets'
taps for a name in the list below must accept it. The names and entries are
read from `--describe "Forward Wavelet Transform" --steps` ("7 = Daubechies 8
(also db8)"); the taps from the wavelet dump helper.

Usage: alias_oracle.py <sonabel-render> <sonabel_wavelet_dump>
"""
import os
import re
import subprocess
import sys

import numpy as np
import pywt

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "wavelet", "oracle"))
from dumpclient import Dump  # noqa: E402

render, dump = sys.argv[1], sys.argv[2]
# Float32 rounding of float64 taps.
TOL = 6e-8
# PyWavelets' names for wavelets whose family the table holds.
CANDIDATES = ["haar"] + ["db%d" % n for n in range(2, 11)] + ["db15", "sym8", "coif5", "bior3.9", "bior6.8"]

text = subprocess.run([render, "--describe", "Forward Wavelet Transform", "--steps"], check=True,
                      capture_output=True, text=True).stdout
section = text.split("  Wavelet (choice)")[1].split("  Algorithm (choice)")[0]
steps = {}    # step -> value text
aliased = {}  # alias -> step
for m in re.finditer(r"^ +(\d+) = (.*?)(?: \(also (.*)\))?$", section, re.M):
    steps[int(m.group(1))] = m.group(2)
    for a in (m.group(3) or "").split(", "):
        if a:
            aliased[a] = int(m.group(1))
banks = Dump(dump).banks()
assert len(steps) == len(banks) == 33, (len(steps), len(banks))


def deviation(bank, name):
    w = pywt.Wavelet(name)
    if len(w.dec_lo) != bank.length:
        return float("inf")
    return max(np.abs(np.asarray(ours) - np.asarray(theirs)).max()
               for ours, theirs in ((bank.lo[::-1], w.dec_lo), (bank.hi[::-1], w.dec_hi),
                                    (bank.slo[::-1], w.rec_lo), (bank.shi[::-1], w.rec_hi)))


failures = []
for alias, step in sorted(aliased.items()):
    dev = deviation(banks[step], alias)
    print("%-8s -> %2d %-20s taps within %.2g" % (alias, step, steps[step], dev))
    if dev > TOL:
        failures.append("%s names %s, whose taps differ from PyWavelets' by %.3g" % (alias, steps[step], dev))
for name in CANDIDATES:
    best = min(range(len(banks)), key=lambda i: deviation(banks[i], name))
    dev = deviation(banks[best], name)
    if name not in aliased:
        print("%-8s not accepted: nearest entry %s differs by %.3g" % (name, steps[best], dev))
        if dev <= TOL:
            failures.append("%s is %s but not accepted" % (name, steps[best]))
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
