#!/usr/bin/python3
"""tools/demo.sh end to end in a folder of its own: a figure for every
noise level and every render, the best threshold no worse than the
suggested one (which is among those it tries), and the sounds, chains and
spectrograms it promises.

Usage: demo_check.py <sonabel-render> <tools/demo.sh>
"""
import os
import re
import subprocess
import sys
import tempfile

render, demo = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
failures = []
NUMBER = r"(-?\d+\.\d+|[+-]inf)"
ROW = re.compile(r"^-(\d\d) dB +{n} +{n} \( *(\d+) Hz\) +{n} \( *(\d+) Hz\) +{n} \(step +(\d+)\) +{n} \(step +(\d+)\)$"
                 .format(n=NUMBER), re.M)

with tempfile.TemporaryDirectory() as folder:
    run = subprocess.run(["bash", demo, render, folder], capture_output=True, text=True, cwd=folder)
    rows = ROW.findall(run.stdout)
    if run.returncode != 0 or [r[0] for r in rows] != ["40", "30", "20"]:
        failures.append("status %d, rows %r\n%s\n%s" % (run.returncode, rows, run.stdout, run.stderr[-2000:]))
    for level, noisy, bw, bw_cut, sinc, sinc_cut, suggested, step, best, best_step in rows:
        if float(best) < float(suggested):
            failures.append("-%s dB: the best threshold (%s dB SNR) is worse than the suggested one (%s dB)"
                            % (level, best, suggested))
        if not 0 <= int(step) - int(best_step) <= 24:
            failures.append("-%s dB: best step %s is not among the seven below %s" % (level, best_step, step))
        for name in ("noisy", "butterworth", "sinc", "denoised", "best"):
            if not os.path.getsize(os.path.join(folder, "%s-%s.wav" % (name, level))) > 44:
                failures.append("%s-%s.wav is empty" % (name, level))
        with open(os.path.join(folder, "denoise-%s.chain" % level)) as chain:
            if "Threshold = %s\n" % step not in chain.read():
                failures.append("denoise-%s.chain lacks the suggested step %s" % (level, step))
    for picture in ["clean.png"] + ["%s-%s.png" % (k, l) for k in ("noisy", "denoised") for l in (40, 30, 20)]:
        try:
            with open(os.path.join(folder, picture), "rb") as f:
                if f.read(8) != b"\x89PNG\r\n\x1a\n":
                    failures.append(picture + " is not a PNG")
        except OSError as e:
            failures.append("%s: %s" % (picture, e.strerror))
    print(run.stdout)

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
