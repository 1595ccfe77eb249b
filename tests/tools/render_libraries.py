#!/usr/bin/python3
"""Which shared libraries sonabel-render loads, as the dynamic loader reports
them (LD_DEBUG=libs): the offline path (--help, an empty render) loads no
sound-system library; --play loads the sound-system library on first use;
and with that library missing, --play says so once and plays on the null
device. In the same way libsndfile (and the codecs it brings) is loaded only
for a file the WAVE classes cannot handle; without it, 8- and 16-bit WAVE
renders still work and any other sample type fails with one clear message.

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
SNDFILE = re.compile(r"lib(sndfile|FLAC|vorbis|vorbisenc|opus|ogg|mpg123|mp3lame)\.so")
NO_SNDFILE = "/nonexistent/libsndfile.so.1"
MISSING = ("libsndfile could not be loaded (" + NO_SNDFILE + ": cannot open shared object file: No such file or "
           "directory): only 8- and 16-bit PCM WAVE files can be read and written")


def run(args, pattern=SOUND, **env):
    environment = dict(os.environ, LD_DEBUG="libs", **env)
    result = subprocess.run([render] + args, capture_output=True, text=True, env=environment, timeout=60)
    loaded = set(m.group(0) for line in result.stderr.splitlines() if "calling init" in line
                 for m in [pattern.search(line)] if m)
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
    with wave.open("in24.wav", "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(3)
        w.setframerate(44100)
        w.writeframes(bytes(3 * 441))

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

    # libsndfile: loaded where a file needs it, and missed only there.
    cases = [
        # (what, arguments, library, status, libsndfile loaded, the error said)
        ("an empty 16-bit render", ["in.wav", "o1.wav"], None, 0, False, None),
        ("an 8-bit render", ["--bits", "8", "in.wav", "o2.wav"], None, 0, False, None),
        ("a 24-bit render", ["--bits", "24", "in.wav", "o3.wav"], None, 0, True, None),
        ("a 24-bit input", ["in24.wav", "o4.wav"], None, 0, True, None),
        ("a 16-bit render without libsndfile", ["in.wav", "o5.wav"], NO_SNDFILE, 0, False, None),
        ("an 8-bit render without libsndfile", ["--bits", "8", "in.wav", "o6.wav"], NO_SNDFILE, 0, False, None),
        ("a 24-bit render without libsndfile", ["--bits", "24", "in.wav", "o7.wav"], NO_SNDFILE, 1, False,
         "sonabel-render: cannot write o7.wav: " + MISSING + "\n"),
        ("a FLAC render without libsndfile", ["in.wav", "o8.flac"], NO_SNDFILE, 1, False,
         "sonabel-render: cannot write o8.flac: " + MISSING + "\n"),
        ("a 24-bit input without libsndfile", ["in24.wav", "o9.wav"], NO_SNDFILE, 1, False,
         "sonabel-render: " + MISSING + "\n"),
    ]
    for what, args, library, status, expected, said in cases:
        env = {"SONABEL_SNDFILE_LIBRARY": library} if library else {}
        result, loaded = run(["-q"] + args, SNDFILE, **env)
        print(f"{what}: status {result.returncode}, libraries {sorted(loaded) or 'none'}")
        check(result.returncode == status, f"{what}: status {result.returncode}, not {status}: {result.stdout}")
        check(("libsndfile.so" in loaded) == expected, f"{what}: loaded {sorted(loaded) or 'nothing'}")
        if not expected:
            check(not loaded, f"{what} loaded {sorted(loaded)}")
        output = args[-1]
        check(os.path.exists(output) == (status == 0), f"{what}: {output} is{'' if status else ' not'} there")
        if said is not None:
            told = "".join(line + "\n" for line in result.stderr.splitlines() if line.startswith("sonabel-render"))
            check(told == said, f"{what}: said {told!r}, not {said!r}")

print(f"{len(failures)} check(s) failed" if failures else
      "the offline path loads no sound-system library, and libsndfile only where a file needs it")
sys.exit(1 if failures else 0)
