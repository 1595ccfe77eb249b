#!/usr/bin/env python3
"""sonabel-render in a pipeline, checked by sox and Python's wave module:
what it writes on stdout (only the audio, or only what was asked for),
WAVE streams through "-" both ways, streams of every sample type and of
FLAC, AU and AIFF from a pipe and from a named pipe rendered as their files
are, a render that goes on while its input still comes, outputs that are
named pipes, devices or sockets written in place, streams cut short or
damaged, where its log goes,
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


def without_peak_time(data):
    """A float WAVE's bytes with the time its PEAK chunk states (libsndfile
    writes the second it wrote the file) set to 0, so two renders compare."""
    at = data.find(b"PEAK", 12)
    return data if at < 0 else data[:at + 12] + b"\0\0\0\0" + data[at + 16:]


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
             ("AIFF", "aiff", []), ("VOC (blocks and an end mark)", "voc", [])]
    for what, kind, sample in kinds:
        name = os.path.join(work, "kind." + kind)
        subprocess.run(["sox", "-D", base] + sample + [name], check=True)
        run(["-q"] + chain + [name, "file.wav"], cwd=work)
        want = without_peak_time(open(os.path.join(work, "file.wav"), "rb").read())
        # sox writes VOC to files only: the file itself is piped.
        feed = ["cat", name] if kind == "voc" else ["sox", "-D", name, "-t", kind, "-"]
        sox = subprocess.Popen(feed, stdout=subprocess.PIPE)
        p = subprocess.run([RENDER, "-v"] + chain + ["-", "pipe.wav"], stdin=sox.stdout, capture_output=True, cwd=work)
        sox.stdout.close()
        sox.wait()
        got = without_peak_time(open(os.path.join(work, "pipe.wav"), "rb").read()) if p.returncode == 0 else b""
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


def in_place_and_cut(work):
    """Outputs that are streams already (a named pipe, /dev/null, a socket)
    and streams cut short, in one table: the status, the message, and what
    an outside reader (sox, Python's wave) makes of it."""
    import re
    import socket
    import threading
    base = os.path.join(work, "place.wav")
    subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", base, "synth", "1", "sine", "440",
                    "sine", "3000", "gain", "-3"], check=True)
    long_ = os.path.join(work, "place-long.wav")
    subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", long_, "synth", "30", "sine", "440"],
                   check=True)
    want = sox_raw(base)
    fifo, sock = os.path.join(work, "out.fifo"), os.path.join(work, "out.sock")
    os.mkfifo(fifo)

    def encoded(kind, unknown=False):
        """base as sox writes it to a file (to a pipe it writes a guess for
        an AIFF's length); unknown: to a pipe, with no length to state."""
        if not unknown:
            name = os.path.join(work, "place." + kind)
            subprocess.run(["sox", "-D", base, name], check=True)
            return open(name, "rb").read()
        raw = subprocess.run(["sox", base, "-t", "raw", "-"], capture_output=True, check=True).stdout
        return subprocess.run(["sox", "-D", "-t", "raw", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed", "-",
                               "-t", kind, "-"], input=raw, capture_output=True, check=True).stdout

    def flipped(data, at):
        data = bytearray(data)
        data[at] ^= 0x01
        return bytes(data)

    # Readers of the output, started before the render: each gives the bytes
    # it read (or None when it only looks at the render).
    def sox_on_fifo():
        # Into a file: a pipe of its own would fill while we wait for the render.
        raw = os.path.join(work, "fifo.raw")
        p = subprocess.Popen(["sox", "-t", "wav", fifo, "-t", "raw", raw], stderr=subprocess.DEVNULL)

        def finish():
            p.wait(timeout=120)
            return open(raw, "rb").read() if p.returncode == 0 else b""
        return finish

    def quits_early():
        def read():
            with open(fifo, "rb") as f:
                f.read(100)
        t = threading.Thread(target=read)
        t.start()
        return lambda: t.join(120)

    def socket_server():
        server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        if os.path.exists(sock):
            os.unlink(sock)
        server.bind(sock)
        server.listen(1)
        got = []

        def serve():
            connection, _ = server.accept()
            data = b""
            while True:
                chunk = connection.recv(1 << 16)
                if not chunk:
                    break
                data += chunk
            connection.close()
            got.append(data)
        t = threading.Thread(target=serve)
        t.start()

        def finish():
            t.join(120)
            server.close()
            return got[0] if got else b""
        return finish

    def wave_frames(data):
        return frames_of(data)[2] if data else b""

    silence = b"\0" * (22050 * 4)
    au, aiff, flac, flac0 = encoded("au"), encoded("aiff"), encoded("flac"), encoded("flac", unknown=True)
    aiff0 = encoded("aiff", unknown=True)
    cut_au = au[:len(au) - len(want) + 40000]  # 10000 whole frames of 44100
    cut_aiff = aiff[:len(aiff) - len(want) + 40000]
    cases = [
        # (what, arguments, standard input, environment, reader, expected status, stderr pattern,
        #  what the reader must have: samples, or None)
        ("a render into a named pipe, read by sox", ["-q", base, fifo], None, None, sox_on_fifo, 0, r"", want),
        ("a stream into a named pipe", ["-q", "-", fifo], open(base, "rb").read(), None, sox_on_fifo, 0, r"", want),
        ("a render into /dev/null", ["-q", base, "/dev/null"], None, None, None, 0, r"", None),
        ("a render into a socket, read by Python's wave", ["-q", base, sock], None, None, socket_server, 0, r"",
         ("wave", want)),
        ("--capture into a named pipe, read by sox", ["-q", "--capture", "0.5", fifo], None,
         {"SONABEL_AUDIO_API": "null"}, sox_on_fifo, 0, r"", silence),
        ("a named pipe whose reader goes away", ["-q", long_, fifo], None, None, quits_early, 1,
         r"^sonabel-render: cannot write %s: Broken pipe; \d+ frames went to %s\n$" % (re.escape(fifo), re.escape(fifo)),
         None),
        ("a 24-bit stream into a named pipe", ["-q", "--bits", "24", base, fifo], None, None, None, 2,
         r"^sonabel-render: the named pipe %s carries 8- or 16-bit WAVE; write a file for other sample types\n$"
         % re.escape(fifo), None),
        ("an AU cut between two frames", ["-q", "-", "cut1.wav"], cut_au, None, None, 1,
         r"at frame 10000: the stream ends before the 44100 frames its header claims; nothing was kept\n$", None),
        ("an AIFF cut between two frames", ["-q", "-", "cut2.wav"], cut_aiff, None, None, 1,
         r"at frame 10000: the stream ends before the 44100 frames its header claims; nothing was kept\n$", None),
        ("a FLAC cut inside a frame (head -c)", ["-q", "-", "cut3.wav"], flac[:len(flac) // 2], None, None, 1,
         r"at frame \d+: the stream ends inside a frame; nothing was kept\n$", None),
        ("a FLAC with a damaged frame", ["-q", "-", "cut4.wav"], flipped(flac, len(flac) // 3), None, None, 1,
         r"at frame \d+: flac decoder (lost sync|frame CRC mismatch); nothing was kept\n$", None),
        ("a FLAC of no stated length cut inside a frame", ["-q", "-", "cut5.wav"], flac0[:len(flac0) // 2], None,
         None, 1, r"at frame \d+: the stream ends inside a frame; nothing was kept\n$", None),
        ("a FLAC of no stated length with a damaged frame", ["-q", "-", "cut6.wav"], flipped(flac0, len(flac0) // 3),
         None, None, 1, r"at frame \d+: flac decoder (lost sync|frame CRC mismatch); nothing was kept\n$", None),
        ("an AIFF of sox's guessed length, ended between frames", ["-q", "-", "whole.wav"],
         aiff0[:len(aiff0) - len(want) + 40000], None, None, 0, r"", None),
    ]
    for what, args, stdin, env, reader, status, pattern, expected in cases:
        finish = reader() if reader else None
        p = subprocess.run([RENDER] + args, input=stdin, capture_output=True, cwd=work, timeout=120,
                           env=dict(os.environ, **env) if env else None)
        got = finish() if finish else None
        stderr = p.stderr.decode()
        # Lines that say libsndfile reads the stream, or which device
        # captures, are not the point here.
        stderr = "".join(l for l in stderr.splitlines(True)
                         if "reading it through libsndfile" not in l and "soundcard input:" not in l)
        ok = p.returncode == status and (re.search(pattern, stderr) if pattern else stderr == "")
        if isinstance(expected, tuple):
            ok = ok and wave_frames(got) == expected[1]
        elif expected is not None:
            ok = ok and got == expected
        if args[-1].startswith("cut"):
            ok = ok and not os.path.exists(os.path.join(work, args[-1]))
        check(ok, "%s: status %d (%d; %s)" % (what, status, p.returncode, stderr.strip()))
    check(stat_kind(fifo) == "fifo" and stat_kind("/dev/null") == "char" and stat_kind(sock) == "socket",
          "the named pipe, /dev/null and the socket are still what they were")
    # The cut streams are cut for sox too: fewer samples than their header claims.
    for name, data, kind in (("AU", cut_au, "au"), ("AIFF", cut_aiff, "aiff"), ("FLAC", flac[:len(flac) // 2], "flac")):
        sox = subprocess.run(["sox", "-t", kind, "-", "-t", "raw", "-"], input=data, capture_output=True)
        check(len(sox.stdout) < len(want), "sox too reads fewer samples of the cut %s than its header claims" % name)
    # Clipping is counted on a stream as on a file.
    hot = os.path.join(work, "hot.wav")
    subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-e", "float", "-b", "32", hot, "synth", "0.5",
                    "sine", "440", "gain", "3"], check=True, stderr=subprocess.DEVNULL)
    counts = [re.findall(r": clipped (\d+) samples", run(["-q", "--bits", "16", hot, target], cwd=work).stderr.decode())
              for target in ("hot16.wav", "/dev/null", "-")]
    check(counts[0] and counts[0] == counts[1] == counts[2],
          "clipped samples counted on /dev/null and standard output as on a file (%s)" % counts)
    # --play plays a stream as it comes: no copy first, the recording that
    # the file gives, and a cut stream is an error there too.
    null = dict(os.environ, SONABEL_AUDIO_API="null")
    run(["-q", "--play", base, "played-file.wav"], env=null, cwd=work)
    p = run(["-v", "--play", "-", "played-pipe.wav"], stdin=open(base, "rb").read(), env=null, cwd=work)
    check(p.returncode == 0 and b"temporary file" not in p.stderr and b"Played 44100 frames" in p.stderr and
          open(os.path.join(work, "played-pipe.wav"), "rb").read() ==
          open(os.path.join(work, "played-file.wav"), "rb").read(),
          "--play - plays the stream without a copy and records what --play FILE records (%s)"
          % p.stderr.decode().strip().splitlines()[-1:])
    p = run(["-q", "--play", "-"], stdin=flac[:len(flac) // 2], env=null, cwd=work)
    check(p.returncode == 1 and re.search(r"cannot read standard input at frame \d+: the stream ends inside a "
                                          r"frame\n$", p.stderr.decode()),
          "--play - of a FLAC cut inside a frame: status 1 (%s)" % p.stderr.decode().strip())
    # Standard output whose reader goes away: the same, never a silent SIGPIPE.
    p = subprocess.Popen([RENDER, "-q", long_, "-"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=work)
    p.stdout.read(100)
    p.stdout.close()
    stderr = p.stderr.read().decode()
    check(p.wait(timeout=120) == 1 and re.match(r"^sonabel-render: cannot write standard output: Broken pipe; \d+ "
                                                r"frames went to standard output\n$", stderr),
          "standard output whose reader goes away: status 1 and \"Broken pipe\" (%s)" % stderr.strip())


def stat_kind(name):
    import stat
    mode = os.stat(name).st_mode
    return ("fifo" if stat.S_ISFIFO(mode) else "char" if stat.S_ISCHR(mode) else "socket" if stat.S_ISSOCK(mode)
            else "other")


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
    # And streams cut between two frames, or damaged, that libsndfile reads:
    # made without dither, so that every run cuts them at the same frame.
    tone = os.path.join(work, "tone")
    for kind in ("aiff", "flac"):
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", tone + "." + kind, "synth", "1",
                        "sine", "440"], check=True)
    aiff, flac = open(tone + ".aiff", "rb").read(), open(tone + ".flac", "rb").read()
    damaged = bytearray(flac)
    damaged[len(flac) // 3] ^= 0x01
    for name, data in (("cut-header.wav", whole[:30]), ("cut-frame.wav", whole[:1001]), ("empty.wav", b""),
                       ("not-audio.txt", b"hello\n"), ("cut-between.wav", whole[:44 + 4000]),
                       ("cut-between.aiff", aiff[:len(aiff) - 176400 + 4000]), ("cut-frame.flac", flac[:len(flac) // 2]),
                       ("damaged.flac", bytes(damaged))):
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
        in_place_and_cut(work)
        logs(work)
    with tempfile.TemporaryDirectory(prefix="sonabel-errors-") as work:
        errors(work)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
