#!/usr/bin/python3
"""The bash completion of sonabel-render, asked as bash asks it (COMP_LINE,
COMP_POINT and the word readline completes) against the real renderer, and
once through a real interactive bash on a terminal, where readline decides
what the word under the cursor is.

Usage: completion_check.py <sonabel-render> <completion file>
"""
import os
import pty
import select
import subprocess
import sys
import time

render, script = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
failures = []

# line typed so far (the cursor at its end), the word readline hands over,
# and the completions expected (all of them, or a subset with "...").
CASES = [
    ("sonabel-render --su", "--su", ["--suggest-threshold"]),
    ("sonabel-render --describe Butt", "Butt", ["Butterworth\\ Lowpass"]),
    ("sonabel-render --describe Den", "Den", ["Wavelet\\ Denoiser"]),
    ('sonabel-render -f "For', "For", ["Forward Wavelet Transform"]),
    ('sonabel-render -f "den', "den", ["Wavelet Denoiser"]),
    ('sonabel-render -q -f "Forward | W', "Forward | W", ["Forward | Wavelet = "]),
    ('sonabel-render -f "Denoiser |', "Denoiser |",
     ["Denoiser | Threshold = ", "Denoiser | Type = ", "Denoiser | Number of scales = ",
      "Denoiser | Denoise also padding coefficients = ", "Denoiser | Active = "]),
    # Measured values cannot be set and are not offered.
    ('sonabel-render -f "Statistics | ', "Statistics | ",
     ["Statistics | Update frequency = ", "Statistics | Active = "]),
    ('sonabel-render -f "Denoiser | Type = h', "Denoiser | Type = h", ["Denoiser | Type = hard Thresholding"]),
    ('sonabel-render -f "Forward|Wavelet=db1', "Forward|Wavelet=db1", ["Forward|Wavelet=db10", "Forward|Wavelet=db15"]),
    ('sonabel-render -f "Forward | Algorithm = per', "Forward | Algorithm = per",
     ["Forward | Algorithm = periodization"]),
    ('sonabel-render -f "Delay | Active = ', "Delay | Active = ", ["Delay | Active = yes", "Delay | Active = no"]),
    ('sonabel-render -f "Nosuch | ', "Nosuch | ", ["Nosuch | Active = "]),
    ("sonabel-render --bits ", "", ["8", "16", "24", "32", "float"]),
    ("sonabel-render --chunk ", "", []),
    # The second chain line of two, after an argument with a closed quote.
    ('sonabel-render -f "Forward | Wavelet = db8" -f "Inv', "Inv", ["Inverse Wavelet Transform"]),
]

DRIVER = r'''
source "$1"
COMP_LINE=$2; COMP_POINT=${#2}
_sonabel_render "$4" "$3" ""
printf '%s\n' "${COMPREPLY[@]}"
'''

for line, word, expected in CASES:
    result = subprocess.run(["bash", "-c", DRIVER, "driver", script, line, word, render],
                            capture_output=True, text=True)
    got = [l for l in result.stdout.split("\n") if l]
    if result.returncode != 0 or result.stderr or got != expected:
        failures.append("%r: %r (stderr %r), expected %r" % (line, got, result.stderr, expected))


def interactive(keys, wanted, patience=20.0):
    """Types keys into an interactive bash; True once `wanted` shows."""
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update(PS1="$ ", INPUTRC="/dev/null", PATH=os.path.dirname(render) + ":" + os.environ["PATH"])
        os.execvp("bash", ["bash", "--norc", "--noprofile", "-i"])
    seen = b""
    try:
        os.write(fd, b"source '%s'\n" % script.encode())
        os.write(fd, keys)
        end = time.time() + patience
        while wanted.encode() not in seen and time.time() < end:
            if select.select([fd], [], [], 0.2)[0]:
                try:
                    seen += os.read(fd, 4096)
                except OSError:
                    break
    finally:
        os.kill(pid, 9)
        os.waitpid(pid, 0)
        os.close(fd)
    return wanted.encode() in seen, seen


ok, seen = interactive(b'sonabel-render -f "Denoiser | Type = Ha\t', 'Type = Hard Thresholding"')
if not ok:
    failures.append("interactive bash did not complete the menu entry: %r" % seen[-300:])

for f in failures:
    print("FAIL:", f)
print("%d of %d completion cases failed" % (len(failures), len(CASES) + 1))
sys.exit(1 if failures else 0)
