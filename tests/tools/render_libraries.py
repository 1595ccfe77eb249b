#!/usr/bin/python3
"""Which shared libraries sonabel-render loads, as the dynamic loader reports
them (LD_DEBUG=libs): the offline path (--help, an empty render) loads no
sound-system library; --play loads the sound-system library on first use;
and with that library missing, --play says so once and plays on the null
device.

Usage: render_libraries.py SONABEL_RENDER
"""
import os
import re
import subprocess
import sys
import tempfile
import wave

render = os.path.abspath(sys.argv[1])
failures = []
SOUND = re.compile(r"lib(sonabel-audio|rtaudio|asound|jack|pulse)[^/\s]*\.so")


def run(args, **env):
    environment = dict(os.environ, LD_DEBUG="libs", **env)
    result = subprocess.run([render] + args, capture_output=True, text=True, env=environment, timeout=60)
    loaded = set(m.group(0) for line in result.stderr.splitlines() if "calling init" in line
                 for m in [SOUND.search(line)] if m)
    return result, loaded


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


with tempfile.TemporaryDirectory() as tmp:
    os.chdir(tmp)
    with wave.open("in.wav", "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(bytes(4 * 4410))  # 0.1 s of silence

    cases = [
        # (what, arguments, environment, sound libraries expected)
        ("--help", ["--help"], {}, False),
        ("an empty render", ["-q", "in.wav", "out.wav"], {}, False),
        ("a wavelet render", ["-q", "in.wav", "out2.wav", "-f", "Forward Wavelet Transform", "-f",
                              "Inverse Wavelet Transform"], {}, False),
        ("--play on a forced null device", ["--play", "in.wav"], {"SONABEL_AUDIO_API": "null"}, False),
        ("--list-devices on a forced ALSA", ["--list-devices"], {"SONABEL_AUDIO_API": "alsa"}, True),
    ]
    for what, args, env, sound in cases:
        result, loaded = run(args, **env)
        print(f"{what}: status {result.returncode}, sound libraries {sorted(loaded) or 'none'}")
        check("calling init" in result.stderr, f"{what}: LD_DEBUG reported nothing")
        if sound:
            check("libsonabel-audio.so" in loaded, f"{what}: the sound-system library was not loaded")
        else:
            check(result.returncode == 0, f"{what}: status {result.returncode}: {result.stdout}")
            check(not loaded, f"{what} loaded {sorted(loaded)}")

    # Without the library, --play plays on the null device after one error.
    result, loaded = run(["--play", "in.wav"], SONABEL_AUDIO_LIBRARY="/nonexistent/libsonabel-audio.so")
    said = result.stdout + result.stderr
    print(f"missing library: status {result.returncode}")
    check(result.returncode == 0, f"missing library: status {result.returncode}: {said[-2000:]}")
    check(said.count("The sound system library could not be loaded") == 1,
          "missing library: the error is not said exactly once")
    check("Played 4410 frames" in said, "missing library: the null device did not play")

print(f"{len(failures)} check(s) failed" if failures else "the offline path loads no sound-system library")
sys.exit(1 if failures else 0)
