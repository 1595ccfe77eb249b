"""Compares "Butterworth Lowpass" at resonance 0 with scipy.signal.butter(4, fc).

usage: BWLowpassFilterOracle.py PROBE

For three cut-off steps at 44100 Hz the probe prints, from 20 Hz to fs/4,
the response of the filter's coefficient set and the gain measured with a
sine through the filter. Both must match scipy within 0.05 dB everywhere,
deep in the stop band too.
"""
import math
import subprocess
import sys

import numpy as np
from scipy import signal

TOLERANCE_DB = 0.05


def cutoff_hz(step):
    # e^(step * 0.05) + 20, the factor a single-precision float.
    return math.exp(float(np.float32(step) * np.float32(0.05))) + 20.0


def main():
    probe = sys.argv[1]
    fs = 44100.0
    failed = False
    for step in (60, 120, 180):
        fc = cutoff_hz(step)
        out = subprocess.run([probe, str(fs), str(step), "0"], check=True, capture_output=True, text=True).stdout
        rows = np.array([[float(v) for v in line.split()] for line in out.splitlines()])
        freqs, designed, measured = rows[:, 0], rows[:, 1], rows[:, 2]
        sos = signal.butter(4, fc, fs=fs, output="sos")
        _, h = signal.sosfreqz(sos, worN=freqs, fs=fs)
        reference = 20.0 * np.log10(np.abs(h))
        design_error = np.max(np.abs(designed - reference))
        measure_error = np.max(np.abs(measured - reference))
        print(f"step {step}: fc {fc:.2f} Hz, {len(freqs)} frequencies 20..{fs / 4:.0f} Hz "
              f"(down to {reference.min():.1f} dB): design max error {design_error:.5f} dB, "
              f"measured max error {measure_error:.5f} dB")
        if not design_error <= TOLERANCE_DB or not measure_error <= TOLERANCE_DB:
            failed = True
    if failed:
        print(f"FAILED: more than {TOLERANCE_DB} dB from scipy")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
