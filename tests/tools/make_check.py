#!/usr/bin/python3
"""The Makefile's entry points: plain `make` lists the targets and runs
nothing else, `make demo` builds the renderer alone, and `make deps` as a
user prints the apt-get line for exactly what is missing and stops.

Usage: make_check.py <source folder>
"""
import subprocess
import sys

source = sys.argv[1]
failures = []


def make(*args):
    return subprocess.run(["make", "--no-print-directory", "-C", source, *args], capture_output=True, text=True)


listing = make()
if listing.returncode != 0 or "make demo" not in listing.stdout or "make test" not in listing.stdout:
    failures.append("make: status %d, %r" % (listing.returncode, listing.stdout + listing.stderr))
planned = make("-n").stdout.splitlines()
if not planned or any(not line.startswith("echo ") for line in planned):
    failures.append("make would run more than echo: %r" % planned)

demo = make("-n", "demo", "BUILD=build-check", "JOBS=2").stdout
builds = [l for l in demo.splitlines() if l.startswith("cmake --build")]
if builds != ["cmake --build build-check --target sonabel-render -j 2"] or \
        "tools/demo.sh build-check/tools/sonabel-render build-check/demo" not in demo:
    failures.append("make demo would build more than the renderer: %r" % demo)

user = make("deps", "DEPS_UID=1000", "PACKAGES=coreutils sonabel-no-such-package bash sonabel-no-such-either",
            "OPTIONAL_PACKAGES=sonabel-no-such-option")
wanted = "  sudo apt-get install --no-install-recommends sonabel-no-such-package sonabel-no-such-either\n"
if user.returncode == 0 or wanted not in user.stdout or "apt-get update" in user.stdout + user.stderr:
    failures.append("make deps as a user: status %d, %r" % (user.returncode, user.stdout + user.stderr))
optional = make("deps", "DEPS_UID=1000", "PACKAGES=coreutils", "OPTIONAL_PACKAGES=sonabel-no-such-option")
wanted = "  sudo apt-get install --no-install-recommends --no-remove sonabel-no-such-option\n"
if optional.returncode != 0 or wanted not in optional.stdout:
    failures.append("make deps as a user, optional missing: status %d, %r"
                    % (optional.returncode, optional.stdout + optional.stderr))
present = make("deps", "DEPS_UID=1000", "PACKAGES=coreutils bash", "OPTIONAL_PACKAGES=")
if present.returncode != 0 or present.stdout.strip():
    failures.append("make deps with nothing missing: status %d, %r" % (present.returncode, present.stdout))

for f in failures:
    print("FAIL:", f)
print("%d make check(s) failed" % len(failures))
sys.exit(1 if failures else 0)
