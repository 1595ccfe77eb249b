#!/usr/bin/env python3
"""`cmake --install` into a temporary prefix, then checks that everything a
user needs arrived where a desktop looks for it.

Usage: check_install.py BUILD_DIR
"""
import os, shutil, struct, subprocess, sys, tempfile

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def main():
    build = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as prefix:
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        at = lambda *parts: os.path.join(prefix, *parts)
        for program in ("sonabel", "sonabel-render", "sonabel-devmeasure"):
            check(os.access(at("bin", program), os.X_OK), f"bin/{program} is missing or not executable")
        # The installed renderer runs away from the build folder.
        listed = subprocess.run([at("bin", "sonabel-render"), "--list-filters"], capture_output=True, text=True)
        check(listed.returncode == 0 and "Wavelet Denoiser" in listed.stdout, "installed sonabel-render fails")

        # The manual page and the completion, as they are in the sources, and
        # both working against the installed renderer.
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        for installed, original in ((("share", "man", "man1", "sonabel-render.1"), ("docs", "sonabel-render.1")),
                                    (("share", "bash-completion", "completions", "sonabel-render"),
                                     ("tools", "completion", "sonabel-render.bash"))):
            try:
                with open(at(*installed), "rb") as a, open(os.path.join(source, *original), "rb") as b:
                    check(a.read() == b.read(), "/".join(installed) + " differs from " + "/".join(original))
            except OSError as e:
                check(False, "/".join(installed) + ": " + e.strerror)
        page = subprocess.run(["man", "-l", at("share", "man", "man1", "sonabel-render.1")], capture_output=True,
                              text=True, env=dict(os.environ, MANWIDTH="80"))
        check(page.returncode == 0 and "--suggest-threshold" in page.stdout, "the installed man page does not show")
        completed = subprocess.run(
            ["bash", "-c", 'source "$1"; COMP_LINE=$2; COMP_POINT=${#2}; _sonabel_render "$3" Den ""; '
             'printf "%s\\n" "${COMPREPLY[@]}"', "check",
             at("share", "bash-completion", "completions", "sonabel-render"), 'sonabel-render -f "Den',
             at("bin", "sonabel-render")], capture_output=True, text=True)
        check(completed.stdout == "Wavelet Denoiser\n",
              "the installed completion gives %r for -f \"Den" % completed.stdout)
        # The sound-system library comes along and is the one the installed
        # program loads, not the build tree's.
        library = at("lib", "sonabel", "libsonabel-audio.so")
        check(os.path.exists(library), "lib/sonabel/libsonabel-audio.so is missing")
        listed = subprocess.run([at("bin", "sonabel-render"), "--list-devices"], capture_output=True, text=True,
                                env=dict(os.environ, SONABEL_AUDIO_API="alsa", LD_DEBUG="libs"))
        loaded = [os.path.realpath(line.split("calling init:", 1)[1].strip())
                  for line in listed.stderr.splitlines() if "calling init:" in line]
        check(os.path.realpath(library) in loaded,
              "the installed sonabel-render does not load its own libsonabel-audio.so")

        desktop = at("share", "applications", "sonabel.desktop")
        with open(desktop, encoding="utf-8") as f:
            lines = set(f.read().splitlines())
        for line in ("Name=Sonabel", "Exec=sonabel", "Icon=sonabel", "Categories=AudioVideo;Audio;Education;"):
            check(line in lines, f"sonabel.desktop lacks {line}")
        if shutil.which("desktop-file-validate"):
            result = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
            # Hints are advice; errors and warnings are faults.
            bad = [l for l in result.stdout.splitlines() if "error:" in l or "warning:" in l]
            check(result.returncode == 0 and not bad, f"desktop-file-validate: {result.stdout.strip()}")
        else:
            print("desktop-file-validate is not installed (make deps installs it); entry not validated")

        with open(at("share", "icons", "hicolor", "256x256", "apps", "sonabel.png"), "rb") as f:
            head = f.read(26)
        check(head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">IIBB", head[16:26]) == (256, 256, 8, 3),
              "the icon is not a 256 x 256 indexed PNG")

        for name in ("morvane.wav", "selquor.wav", "dnbloop.wav", "loop.wav"):
            with open(at("share", "sonabel", name), "rb") as a, \
                 open(os.path.join(build, "resources", "demo-sounds", name), "rb") as b:
                check(a.read() == b.read(), f"share/sonabel/{name} differs from the build's")
    print(f"{len(failures)} check(s) failed" if failures else "installed files are complete")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
