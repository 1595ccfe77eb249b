#!/bin/sh
# Starts or stops a private JACK server with the dummy driver for the device
# tests: jack_server.sh start|stop NAME STATEDIR
# start frees the registry places of servers that are gone, waits until
# jack_lsp answers (at most 10 s) and fails loudly if it does not, and says
# whether the server runs real-time; stop ends the server by the PID that
# start wrote.
set -u
action=$1
name=$2
dir=$3
pidfile="$dir/$name.pid"
logfile="$dir/$name.log"
mkdir -p "$dir"
export JACK_NO_START_SERVER=1

stop_server() {
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null
    # A server that was frozen takes a while to let go of its dead clients
    # on a busy machine. Killed, it would leave its name in the registry.
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 150 ]; do sleep 0.1; i=$((i + 1)); done
    if kill -9 "$pid" 2>/dev/null; then echo "killed: did not end within 15 s of SIGTERM" >>"$logfile"; fi
    rm -f "$pidfile"
}

# Every server enters its name in one registry of eight places, shared by
# all servers of the machine, and a server that was killed, or that was
# frozen and then stopped, may leave its name there with its dead process
# id. JACK frees such a place only for a server of the same name, so the
# names of other build folders' test servers fill the registry until no
# server starts. Places whose process is gone are freed here, under the
# registry's own lock (a System V semaphore), as JACK frees its own.
# Other servers keep theirs; a registry laid out otherwise is left alone.
prune_registry() {
    [ -f /dev/shm/jack-shm-registry ] || return 0
    command -v python3 >/dev/null || return 0
    python3 - <<'PRUNE'
import ctypes, mmap, os, struct
servers, place, at = 8, 264, 24  # jack_shm_header_t: eight (pid, name) places
try:
    f = open("/dev/shm/jack-shm-registry", "r+b")
    m = mmap.mmap(f.fileno(), 0)
except OSError:
    raise SystemExit(0)
magic, = struct.unpack_from("<I", m, 0)
hdr_len, = struct.unpack_from("<i", m, 16)
if magic != 0x4A41434B or hdr_len != at + servers * place:
    raise SystemExit(0)
libc = ctypes.CDLL(None, use_errno=True)
class Sembuf(ctypes.Structure):
    _fields_ = [("num", ctypes.c_ushort), ("op", ctypes.c_short), ("flg", ctypes.c_short)]
semid = libc.semget(0x282929, 0, 0)
if semid < 0:
    raise SystemExit(0)
SEM_UNDO = 0x1000
if libc.semop(semid, ctypes.byref(Sembuf(0, -1, SEM_UNDO)), 1) != 0:
    raise SystemExit(0)
try:
    for i in range(servers):
        o = at + i * place
        pid, = struct.unpack_from("<i", m, o)
        if pid <= 0:
            continue
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            m[o:o + place] = bytes(place)
        except OSError:
            pass
finally:
    libc.semop(semid, ctypes.byref(Sembuf(0, 1, SEM_UNDO)), 1)
PRUNE
}

case "$action" in
start)
    stop_server
    prune_registry
    command -v jackd >/dev/null || { echo "jackd is not installed (package jackd2)"; exit 1; }
    # Real-time where the machine allows it (root or an rtprio limit), so
    # that busy threads cannot starve the server and its xruns stay its own.
    # SONABEL_JACK_REALTIME=0 asks for a normal-priority server.
    # Its other threads (those that answer clients opening and closing)
    # run at normal priority: on a machine loaded with builds a listing of
    # its ports then took over ten seconds. A higher share of the processor
    # where allowed (every thread inherits it) keeps the tests about the
    # program, not the load.
    boost=""
    if nice -n -10 true 2>/dev/null && [ "$(nice -n -10 nice)" -lt 0 ]; then boost="nice -n -10"; fi
    if [ "${SONABEL_JACK_REALTIME:-1}" != 0 ] && chrt -f 10 true 2>/dev/null; then
        mode="realtime"
        $boost jackd -n "$name" -R -d dummy -r 44100 -p 1024 >"$logfile" 2>&1 </dev/null &
    else
        mode="not realtime (no permission for real-time scheduling)"
        [ "${SONABEL_JACK_REALTIME:-1}" = 0 ] && mode="not realtime (SONABEL_JACK_REALTIME=0)"
        $boost jackd -n "$name" --no-realtime -d dummy -r 44100 -p 1024 >"$logfile" 2>&1 </dev/null &
    fi
    echo $! >"$pidfile"
    [ -n "$boost" ] && mode="$mode, nice -10"
    i=0
    while [ $i -lt 100 ]; do
        if JACK_DEFAULT_SERVER="$name" jack_lsp >/dev/null 2>&1; then
            echo "JACK server $name runs $mode (pid $(cat "$pidfile"))"
            exit 0
        fi
        if ! kill -0 "$(cat "$pidfile")" 2>/dev/null; then break; fi
        sleep 0.1
        i=$((i + 1))
    done
    echo "JACK server $name did not start; its log:"
    cat "$logfile"
    stop_server
    exit 1
    ;;
stop)
    stop_server
    ;;
*)
    echo "usage: $0 start|stop NAME STATEDIR"
    exit 2
    ;;
esac
