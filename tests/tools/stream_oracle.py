#!/usr/bin/env python3
"""sonabel-render in a pipeline, checked by sox and Python's wave module:
what it writes on stdout (only the audio, or only what was asked for),
WAVE streams through "-" both ways, streams of every sample type and of
FLAC, AU and AIFF from a pipe and from a named pipe rendered as their files
are, a render that goes on while its input still comes, where its log goes,
and the exact error texts and statuses of tests/tools/golden/errors.txt
(a command there may read standard input from a file: "... < name").

  stream_oracle.py RENDER [--update]   (--update rewrites the golden file)
"""
import json
import os
import resource
import select
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

RENDER = os.path.realpath(sys.argv[1])
UPDATE = "--update" in sys.argv[2:]
GOLDEN = os.path.join(os.path.dirname(os.path.realpath(__file__)), "golden", "errors.txt")
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def run(args, stdin=None, env=None, cwd=None):
    return subprocess.run([RENDER] + args, input=stdin, capture_output=True, env=env, cwd=cwd, timeout=120)


def frames_of(data):
    """(channels, bits, frames as bytes) of a WAVE file's bytes, read by wave."""
    import io
    with wave.open(io.BytesIO(data), "rb") as w:
        return w.getnchannels(), w.getsampwidth() * 8, w.readframes(1 << 30)


def sox_raw(path_or_stdin, data=None):
    args = ["sox", "-t", "wav", path_or_stdin, "-t", "raw", "-"]
    return subprocess.run(args, input=data, capture_output=True, check=True).stdout


def streams(work):
    # Without dither (-D), so that every run of sox makes the same samples.
    synth = ["-D", "-r", "44100", "-c", "2", "-b", "16"]
    tone = ["synth", "0.5", "sine", "440", "sine", "660", "gain", "-3"]
    clean = os.path.join(work, "in.wav")
    subprocess.run(["sox", "-n"] + synth + [clean] + tone, check=True)
    want = sox_raw(clean)

    # sox writes to a pipe with sizes it cannot know; we read to the end.
    sox = subprocess.run(["sox", "-n"] + synth + ["-t", "wav", "-"] + tone, capture_output=True, check=True).stdout
    p = run(["-q", "-", "from-pipe.wav"], stdin=sox, cwd=work)
    check(p.returncode == 0 and sox_raw(os.path.join(work, "from-pipe.wav")) == want,
          "sox -t wav - | sonabel-render - out.wav: every sample (%s)" % p.stderr.decode().strip())

    # A stream whose header says nothing of its length (0 and 0xFFFFFFFF).
    body = want
    for size in (0, 0xFFFFFFFF):
        header = b"RIFF" + struct.pack("<I", 0xFFFFFFFF) + b"WAVE" + b"fmt " + struct.pack(
            "<IHHIIHH", 16, 1, 2, 44100, 44100 * 4, 4, 16) + b"data" + struct.pack("<I", size)
        p = run(["-q", "-", "sized.wav"], stdin=header + body, cwd=work)
        got = sox_raw(os.path.join(work, "sized.wav")) if p.returncode == 0 else b""
        check(got == want, "a stream whose data size says 0x%X: every frame read (%d of %d bytes; %s)"
              % (size, len(got), len(want), p.stderr.decode().strip()))

    # Our stdout, read by sox and by Python from the pipe.
    p = run(["-q", clean, "-"], cwd=work)
    check(p.returncode == 0 and p.stderr == b"", "OUTPUT -: status 0, nothing on stderr with -q")
    check(sox_raw("-", p.stdout) == want, "sonabel-render in.wav - | sox -t wav - ...: every sample")
    reader = subprocess.run([sys.executable, "-c",
                             "import sys, wave\n"
                             "w = wave.open(sys.stdin.buffer)\n"
                             "sys.stdout.buffer.write(w.readframes(1 << 30))"],
                            input=p.stdout, capture_output=True)
    check(reader.returncode == 0 and reader.stdout == want, "Python's wave reads our stdout from a pipe")
    check(frames_of(p.stdout)[2] == want, "stdout holds the WAVE and nothing else")

    # Through two renderers and a pipe: the same samples.
    first = subprocess.Popen([RENDER, "-q", clean, "-"], stdout=subprocess.PIPE, cwd=work)
    second = subprocess.run([RENDER, "-q", "-", "twice.wav"], stdin=first.stdout, capture_output=True, cwd=work)
    first.stdout.close()
    check(first.wait() == 0 and second.returncode == 0 and sox_raw(os.path.join(work, "twice.wav")) == want,
          "sonabel-render in.wav - | sonabel-render - out.wav")
    check(not os.path.exists(os.path.join(work, "-")), "no file named - is made")
    with open("/dev/full", "wb") as full:
        p = subprocess.run([RENDER, "-q", clean, "-"], stdout=full, stderr=subprocess.PIPE, cwd=work)
    check(p.returncode == 1 and p.stderr.decode() ==
          "sonabel-render: cannot write standard output: No space left on device\n",
          "a full standard output: status 1 with the system's reason (%s)" % p.stderr.decode().strip())

    # stdout carries only what was asked for.
    p = run([clean, "out.wav"], cwd=work)
    check(p.returncode == 0 and p.stdout == b"" and b"Rendered 22050 frames" in p.stderr,
          "a render's report is on stderr, stdout stays empty")
    p = run(["--stats", clean, "out.wav"], cwd=work)
    check(b"Rendered 22050 frames" in p.stdout, "--stats puts the report on stdout")
    p = run(["--json", "-f", "Statistics", clean, "out.wav", "--reference", clean], cwd=work)
    try:
        report = json.loads(p.stdout)
    except ValueError:
        report = {}
    check(report.get("frames") == 22050 and report.get("clipped") == 0 and report["filters"][0]["name"] == "Statistics"
          and "Maximum" in report["filters"][0]["measured"] and report["snr"]["output_exact"] is True,
          "--json: one object with frames, clipped, filters, measured values and SNR")
    p = run(["--version"], cwd=work)
    check(p.returncode == 0 and p.stdout.decode().startswith("sonabel-render "), "--version on stdout")


def read_in_order(work):
    """Streams are read as they come, and render as their files do."""
    chain = ["-f", "Butterworth | Cutoff = 1000 Hz", "-f", "Delay | Delay = 10 ms"]
    base = os.path.join(work, "base.wav")
    subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", base, "synth", "1", "sine", "440",
                    "sine", "3000", "gain", "-3"], check=True)
    kinds = [("8-bit WAVE", "wav", ["-b", "8"]), ("16-bit WAVE", "wav", []), ("24-bit WAVE", "wav", ["-b", "24"]),
             ("float WAVE", "wav", ["-e", "float", "-b", "32"]), ("FLAC", "flac", []), ("AU", "au", []),
             ("AIFF", "aiff", [])]
    for what, kind, sample in kinds:
        name = os.path.join(work, "kind." + kind)
        subprocess.run(["sox", "-D", base] + sample + [name], check=True)
        run(["-q"] + chain + [name, "file.wav"], cwd=work)
        want = open(os.path.join(work, "file.wav"), "rb").read()
        sox = subprocess.Popen(["sox", "-D", name, "-t", kind, "-"], stdout=subprocess.PIPE)
        p = subprocess.run([RENDER, "-v"] + chain + ["-", "pipe.wav"], stdin=sox.stdout, capture_output=True, cwd=work)
        sox.stdout.close()
        sox.wait()
        got = open(os.path.join(work, "pipe.wav"), "rb").read() if p.returncode == 0 else b""
        check(got == want and b"Rendered 44100 frames" in p.stderr and b"temporary file" not in p.stderr,
              "sox %s -t %s - | sonabel-render - out.wav: the file render's bytes, 44100 frames, no spool (%s)"
              % (what, kind, p.stderr.decode().strip().splitlines()[-1:]))
    # Cut inside a frame, AU and AIFF through libsndfile too: an error.
    for kind in ("wav", "au", "aiff"):
        whole = subprocess.run(["sox", "-D", base, "-t", kind, "-"], capture_output=True, check=True).stdout
        p = run(["-q", "-", "cut.wav"], stdin=whole[:len(whole) // 2 * 2 - 1], cwd=work)
        check(p.returncode == 1 and "cannot read standard input at frame " in p.stderr.decode() and
              ": the stream ends inside a frame" in p.stderr.decode(),
              "a %s stream cut inside a frame: status 1 (%s)" % (kind, p.stderr.decode().strip()))
    # A named pipe, written by sox while we read it. The render opens it
    # first; our open for writing then waits for it, however slow it starts.
    fifo = os.path.join(work, "fifo")
    os.mkfifo(fifo)
    run(["-q"] + chain + [os.path.join(work, "kind.flac"), "file.wav"], cwd=work)
    p = subprocess.Popen([RENDER, "-q"] + chain + [fifo, "fifo.wav"], stderr=subprocess.PIPE, cwd=work)
    with open(fifo, "wb") as writer:
        subprocess.run(["sox", "-D", os.path.join(work, "kind.flac"), "-t", "flac", "-"], stdout=writer, check=True)
    _, stderr = p.communicate(timeout=120)
    check(p.returncode == 0 and open(os.path.join(work, "fifo.wav"), "rb").read() ==
          open(os.path.join(work, "file.wav"), "rb").read(),
          "a FLAC through a named pipe renders as its file (%s)" % stderr.decode().strip())
    p = run(["-v", "-q", "--reference", base, "-", "ref.wav"], stdin=open(base, "rb").read(), cwd=work)
    check(p.returncode == 0 and "standard input is copied to a temporary file first: --reference reads the input "
          "twice" in p.stderr.decode(), "--reference with a stream: the copy is said with -v (%s)" % p.stderr.decode())

    # Half the input, then the rest only once the output has grown: the
    # render cannot have waited for the end.
    data = open(base, "rb").read()
    want = run(["-q"] + chain + [base, "-"], cwd=work).stdout
    p = subprocess.Popen([RENDER, "-q"] + chain + ["-", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         cwd=work)
    p.stdin.write(data[:len(data) // 2])
    p.stdin.flush()
    early = b""
    deadline = 120  # seconds; generous for a busy machine
    while len(early) <= 44 and select.select([p.stdout], [], [], deadline)[0]:
        chunk = os.read(p.stdout.fileno(), 1 << 16)
        if not chunk:
            break
        early += chunk
    check(len(early) > 44, "the output grows while the input is half written (%d bytes)" % len(early))
    rest, _ = p.communicate(data[len(data) // 2:], timeout=120)
    check(p.returncode == 0 and sox_raw("-", early + rest) == sox_raw("-", want),
          "... and, with the rest, holds the samples of the file render")

    # Memory stays bounded: a long stream costs no more than a short one.
    def peak_kb(seconds):
        sox = subprocess.Popen(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "-t", "wav", "-", "synth",
                                str(seconds), "sine", "440"], stdout=subprocess.PIPE)
        p = subprocess.Popen([RENDER, "-q", "-", "-"], stdin=sox.stdout, stdout=subprocess.DEVNULL, cwd=work)
        sox.stdout.close()
        _, status, usage = os.wait4(p.pid, 0)
        sox.wait()
        return os.waitstatus_to_exitcode(status), usage.ru_maxrss
    short, long_ = peak_kb(1), peak_kb(300)
    check(short[0] == 0 and long_[0] == 0 and long_[1] < short[1] + 8192,
          "memory: %d kB for 1 s, %d kB for 300 s (52 MB) of stream" % (short[1], long_[1]))


def logs(work):
    clean = os.path.join(work, "in.wav")
    state = os.path.join(work, "state")
    home = os.path.join(work, "home")
    os.makedirs(home)
    env = dict(os.environ, XDG_STATE_HOME=state, HOME=home)
    p = run(["-q", clean, "out.wav"], env=env, cwd=work)
    check(p.returncode == 0 and os.path.isfile(os.path.join(state, "sonabel", "sonabel-render.log")),
          "the log is in $XDG_STATE_HOME/sonabel/sonabel-render.log")
    env = {k: v for k, v in os.environ.items() if k != "XDG_STATE_HOME"}
    env["HOME"] = home
    p = run(["-q", clean, "out.wav"], env=env, cwd=work)
    check(p.returncode == 0 and os.path.exists(os.path.join(home, ".local", "state", "sonabel", "sonabel-render.log")),
          "without XDG_STATE_HOME it is in ~/.local/state/sonabel/")
    p = run(["-q", "--log", "mine.log", clean, "out.wav"], env=env, cwd=work)
    check(p.returncode == 0 and os.path.isfile(os.path.join(work, "mine.log")), "--log FILE")
    check(not os.path.exists(os.path.join(work, "log.txt")), "nothing is logged into the working directory")
    # A log that cannot be written: the system's reason, on stderr.
    p = run(["-q", "--log", os.path.join(clean, "x.log"), clean, "out.wav"], cwd=work)
    check(p.returncode == 1 and p.stderr.decode().endswith(": Not a directory\n"),
          "--log under a file: status 1 and \"Not a directory\" (%s)" % p.stderr.decode().strip())
    env = dict(os.environ, XDG_STATE_HOME=os.path.join(clean, "state"))
    p = run(["-q", clean, "out.wav"], env=env, cwd=work)
    check(p.returncode == 0 and b"warning: cannot write the log" in p.stderr and b"Not a directory" in p.stderr,
          "a default log that cannot be written is a warning with the reason; the render goes on")
    setpriv = shutil.which("setpriv")
    if os.geteuid() == 0 and setpriv:
        locked = os.path.join(work, "locked")
        os.makedirs(locked, mode=0o700)
        os.chmod(work, 0o755)
        p = subprocess.run([setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", RENDER, "--version",
                            "--log", os.path.join(locked, "x.log")], capture_output=True)
        check(p.returncode == 1 and p.stderr.decode().endswith(": Permission denied\n"),
              "--log in a folder we may not enter: \"Permission denied\" (%s)" % p.stderr.decode().strip())


def errors(work):
    """Each block of the golden file: a command line, its stderr, its status."""
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", os.path.join(work, "in.wav"), "synth", "0.1",
                    "sine", "440"], check=True)
    whole = open(os.path.join(work, "in.wav"), "rb").read()
    # Streams that end inside their header or inside a frame, and others.
    for name, data in (("cut-header.wav", whole[:30]), ("cut-frame.wav", whole[:1001]), ("empty.wav", b""),
                       ("not-audio.txt", b"hello\n")):
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    with open(GOLDEN, encoding="utf-8") as f:
        blocks = [b for b in f.read().split("\n\n") if b.strip()]
    written = []
    for block in blocks:
        lines = [l for l in block.split("\n") if l and not l.startswith("#")]
        comments = [l for l in block.split("\n") if l.startswith("#")]
        command = lines[0][2:]
        words = shlex.split(command)
        env = dict(os.environ)
        env.pop("SONABEL_AUDIO_API", None)
        while "=" in words[0]:
            key, value = words.pop(0).split("=", 1)
            env[key] = value
        stdin = None
        if len(words) > 2 and words[-2] == "<":
            stdin = open(os.path.join(work, words[-1]), "rb").read()
            words = words[:-2]
        p = run(words[1:], env=env, cwd=work, stdin=stdin)
        got = p.stderr.decode() + "[%d]" % p.returncode
        want = "\n".join(lines[1:])
        check(got == want and p.stdout == b"", "golden: " + command + ("" if got == want else "\n  got:  %r\n  want: %r" % (got, want)))
        written.append("\n".join(comments + ["$ " + command, got]))
    if UPDATE:
        with open(GOLDEN, "w", encoding="utf-8") as f:
            f.write("\n\n".join(written) + "\n")


def main():
    with tempfile.TemporaryDirectory(prefix="sonabel-streams-") as work:
        os.chmod(work, 0o755)
        streams(work)
        read_in_order(work)
        logs(work)
    with tempfile.TemporaryDirectory(prefix="sonabel-errors-") as work:
        errors(work)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
