#!/bin/sh
# sonabel-devmeasure's command line: --help on stdout with status 0, and
# each bad option named on stderr with status 2, before anything is measured.
tool=$1
out=$("$tool" --help 2>/dev/null); status=$?
[ $status -eq 0 ] || { echo "--help: status $status"; exit 1; }
echo "$out" | grep -q '^usage: sonabel-devmeasure' || { echo "--help printed: $out"; exit 1; }
for case in "--frobnicate|unknown option --frobnicate" "--busy=1|option --busy takes no value" \
            "--chunk=10|--chunk takes 64 to 16384 frames, not \"10\"" \
            "--write-ahead 0|--write-ahead takes 1 to 1000 chunks, not \"0\"" \
            "--server|option --server needs a value" "-x|unknown option -x"; do
    args=${case%%|*}
    want=${case#*|}
    # shellcheck disable=SC2086
    err=$("$tool" $args 2>&1 >/dev/null); status=$?
    echo "$args: status $status: $err"
    [ $status -eq 2 ] || exit 1
    case $err in *"$want"*) ;; *) echo "  expected: $want"; exit 1 ;; esac
done
