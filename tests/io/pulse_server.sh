#!/bin/sh
# Starts or stops a private PulseAudio server with one null sink for the
# smoke test: pulse_server.sh start|stop DIR
# Everything of the server lives in DIR: its runtime dir (the socket is
# DIR/runtime/pulse/native), its home (config and cookie), its PID and its
# log. start waits until pactl answers (at most 10 s). When PulseAudio is
# missing or does not come up, start exits with 3 and says why on its
# first line; the test then skips with that reason.
set -u
action=$1
dir=$2
pidfile="$dir/pulse.pid"
logfile="$dir/pulse.log"
runtime="$dir/runtime"

stop_server() {
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    kill -9 "$pid" 2>/dev/null
    rm -f "$pidfile"
}

case "$action" in
start)
    stop_server
    command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed (Debian package pulseaudio)"; exit 3; }
    command -v pactl >/dev/null || { echo "pactl is not installed (Debian package pulseaudio-utils)"; exit 3; }
    mkdir -p "$runtime" "$dir/home"
    chmod 700 "$runtime"
    # As root PulseAudio warns but runs (it is not the system-wide daemon).
    # No real-time or high priority: the machine is shared.
    env HOME="$dir/home" XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$dir/home" \
        pulseaudio -n --daemonize=no --system=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --realtime=no --high-priority=no --log-target=stderr \
        --load="module-null-sink sink_name=sonabel_sink rate=44100 channels=2" \
        --load="module-native-protocol-unix auth-anonymous=1" \
        >"$logfile" 2>&1 </dev/null &
    echo $! >"$pidfile"
    i=0
    while [ $i -lt 100 ]; do
        if env XDG_RUNTIME_DIR="$runtime" PULSE_SERVER="unix:$runtime/pulse/native" PULSE_COOKIE="$dir/home/pulse/cookie" \
            pactl info >/dev/null 2>&1; then
            echo "PulseAudio runs (pid $(cat "$pidfile")) at $runtime/pulse/native"
            exit 0
        fi
        if ! kill -0 "$(cat "$pidfile")" 2>/dev/null; then break; fi
        sleep 0.1
        i=$((i + 1))
    done
    echo "PulseAudio did not start; its log: $(grep '^E:' "$logfile" | head -3 | tr '\n' ' ')"
    cat "$logfile"
    stop_server
    exit 3
    ;;
stop)
    stop_server
    ;;
*)
    echo "usage: $0 start|stop DIR"
    exit 2
    ;;
esac
