#!/usr/bin/python3
"""The man page of sonabel-render: man renders it without a warning, and it
names every option that --help lists (an option added to the program and
not to the page fails here).

Usage: man_check.py <sonabel-render> <man page>
"""
import os
import re
import shutil
import subprocess
import sys

render, page = sys.argv[1], sys.argv[2]
failures = []

if shutil.which("man") is None:
    print("man is not installed (make deps installs man-db)")
    sys.exit(1)
shown = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", page], capture_output=True, text=True,
                       env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0"))
if shown.returncode != 0 or shown.stderr.strip():
    failures.append("man -l: status %d, %s" % (shown.returncode, shown.stderr.strip()))
# Rendered text, without the overstrike of bold and underline.
text = re.sub(".\b", "", shown.stdout)

usage = subprocess.run([render, "--help"], capture_output=True, text=True).stdout
options = sorted(set(re.findall(r"(?<![\w-])(--?[a-z][a-z-]*)", usage)) - {"-"})
for option in options:
    if not re.search(r"(?<![\w-])%s(?![\w-])" % re.escape(option), text):
        failures.append("the man page does not name %s" % option)
for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES"):
    if not re.search(r"^%s$" % section, text, re.M):
        failures.append("no %s section" % section)

for f in failures:
    print("FAIL:", f)
print("%d option(s) of --help checked" % len(options))
sys.exit(1 if failures else 0)
