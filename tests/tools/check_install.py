#!/usr/bin/env python3
"""Installs the build into a temporary prefix with `cmake --install` and
checks that everything a user needs arrived where a desktop looks for it:
the two programs in bin/, the desktop entry (checked by
desktop-file-validate), the 256 x 256 icon and the four demo sounds.

Usage: check_install.py BUILD_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def png_header(path):
    """(width, height, bit depth, colour type) from a PNG's IHDR chunk."""
    with open(path, "rb") as f:
        head = f.read(33)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">IIBB", head[16:26])


def desktop_entry(path):
    entry, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                group = line
            elif "=" in line and group == "[Desktop Entry]":
                key, value = line.split("=", 1)
                entry[key] = value
    return entry


def main():
    build = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as prefix:
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        for program in ("sonabel", "sonabel-render"):
            path = os.path.join(prefix, "bin", program)
            check(os.path.isfile(path) and os.access(path, os.X_OK), f"bin/{program} is missing or not executable")
        # The installed renderer runs on its own, away from the build folder.
        render = os.path.join(prefix, "bin", "sonabel-render")
        if os.path.isfile(render):
            listed = subprocess.run([render, "--list-filters"], capture_output=True, text=True, cwd=prefix)
            check(listed.returncode == 0 and "Wavelet Denoiser" in listed.stdout,
                  "the installed sonabel-render does not list its filters")

        desktop = os.path.join(prefix, "share", "applications", "sonabel.desktop")
        check(os.path.isfile(desktop), "share/applications/sonabel.desktop is missing")
        if os.path.isfile(desktop):
            entry = desktop_entry(desktop)
            for key, value in (("Type", "Application"), ("Name", "Sonabel"), ("Exec", "sonabel"),
                               ("Icon", "sonabel"), ("Categories", "AudioVideo;Audio;Education;")):
                check(entry.get(key) == value, f"sonabel.desktop: {key}={entry.get(key)}, not {value}")
            validate = shutil.which("desktop-file-validate")
            if validate:
                result = subprocess.run([validate, desktop], capture_output=True, text=True)
                # Hints are advice; errors and warnings are faults.
                problems = [l for l in result.stdout.splitlines() if "error:" in l or "warning:" in l]
                check(result.returncode == 0 and not problems, f"desktop-file-validate: {result.stdout.strip()}")
            else:
                print("desktop-file-validate is not installed (make deps installs it); entry not validated")

        icon = os.path.join(prefix, "share", "icons", "hicolor", "256x256", "apps", "sonabel.png")
        check(os.path.isfile(icon) and png_header(icon) == (256, 256, 8, 3),
              "the icon is not a 256 x 256 indexed PNG in share/icons/hicolor/256x256/apps")

        for name in ("morvane.wav", "selquor.wav", "dnbloop.wav", "loop.wav"):
            installed = os.path.join(prefix, "share", "sonabel", name)
            made = os.path.join(build, "resources", "demo-sounds", name)
            ok = os.path.isfile(installed) and os.path.isfile(made)
            if ok:
                with open(installed, "rb") as a, open(made, "rb") as b:
                    ok = a.read() == b.read()
            check(ok, f"share/sonabel/{name} is missing or differs from the build's")
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("installed files are complete")
    return 0


if __name__ == "__main__":
    sys.exit(main())
