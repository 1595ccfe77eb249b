#!/bin/sh
# Starts or stops a private JACK server with the dummy driver for the device
# tests: jack_server.sh start|stop NAME STATEDIR
# start waits until jack_lsp answers (at most 10 s) and fails loudly if it
# does not, and says whether the server runs real-time; stop ends the
# server by the PID that start wrote.
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

case "$action" in
start)
    stop_server
    # Every server enters its name in one shared registry of eight places, and
    # a server that was killed (or frozen and then killed) never takes its name
    # out again. With no server running at all, nothing can be using the
    # registry: remove it, so leftovers of earlier runs cannot fill it.
    if ! pgrep -x jackd >/dev/null 2>&1 && ! pgrep -x jackdbus >/dev/null 2>&1; then
        rm -f /dev/shm/jack-shm-registry /dev/shm/jack_sem.* /dev/shm/jack_db-* 2>/dev/null
    fi
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
