#!/usr/bin/python3
"""The wavelet transform of sonabel_wavelet_bench (forward and inverse of 1024
samples over 9 levels, zero padding) for 6, 16 and 50 taps, in several
builds side by side: each build's benchmark runs in turn, REPS times
(default 10), so that a busy machine slows them alike. Prints min and median
ns per sample of each, and the load average.

Usage: wavelet_speed.py BENCH [OLD_BENCH ...]
  e.g. wavelet_speed.py build/bench/sonabel_wavelet_bench /tmp/main/sonabel_wavelet_bench
FILTER replaces the benchmark filter (default: Daubechies 3 and 8, and the
50-tap Battle-Lemarie, BM_Transform/(2|7|29)/1$)."""
import json
import os
import statistics
import subprocess
import sys

if len(sys.argv) < 2:
    sys.exit(__doc__)
builds = [os.path.abspath(b) for b in sys.argv[1:]]
reps = int(os.environ.get("REPS", "10"))
pattern = os.environ.get("FILTER", "BM_Transform/(2|7|29)/1$")
results = {}
for _ in range(reps):
    for build in builds:
        out = subprocess.run([build, "--benchmark_filter=" + pattern, "--benchmark_format=json",
                              "--benchmark_min_time=0.2"], capture_output=True, text=True, check=True).stdout
        for b in json.loads(out)["benchmarks"]:
            results.setdefault((b["name"], b.get("label", "")), {}).setdefault(build, []).append(b["ns_per_sample"])
print("ns per sample, %d interleaved runs, load average %.2f %.2f %.2f" % ((reps,) + os.getloadavg()))
for (name, label), by_build in results.items():
    print("%s (%s)" % (name, label))
    for build in builds:
        v = by_build.get(build, [])
        if v:
            print("  %-60s min %6.3f  median %6.3f" % (build[-60:], min(v), statistics.median(v)))
