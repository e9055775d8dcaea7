#!/usr/bin/env bash
# Starts the built program once the way an operator's desktop would, offscreen, in a data folder
# of its own that holds a Server.Dat for a free port. The program must start listening there and
# answer a workstation's HELO with 250; then it is stopped with SIGTERM, which must find it still
# running.
# Usage: scripts/smoke-start.sh PATH-TO-zelkor-server
set -euo pipefail
server=$(realpath "${1:?usage: smoke-start.sh PATH-TO-zelkor-server}")
work=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Writes bytes (printf escapes) into the file at an offset, leaving the rest as it is.
put() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
# A little-endian 32-bit number.
put_int() { put "$1" "$2" "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($3 & 255)) $((($3 >> 8) & 255)) \
    $((($3 >> 16) & 255)) $((($3 >> 24) & 255)))"; }
# A short string: its length in one byte, then its characters.
put_text() { put "$1" "$2" "$(printf '\\%03o' ${#3})"; printf '%s' "$3" |
    dd of="$1" bs=1 seek=$(($2 + 1)) conv=notrunc status=none; }

# A port nobody listens on, below the range the kernel takes local ports of outgoing connections
# from, so no connection of a test running beside this one can hold it.
port=
for _ in $(seq 50); do
    candidate=$((10000 + RANDOM % 20000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
done
[ -n "$port" ] || { echo "smoke start: no free port found" >&2; exit 1; }

# The settings record as the options dialog saves it with its first-start values.
config="$work/Server.Dat"
head -c 944 /dev/zero >"$config"
put_int "$config" 0 5              # QueTime
put "$config" 4 '\001'             # SystemTray
put_text "$config" 6 "Generic Modem"
put_text "$config" 37 "ATE1V1&M0"
put_int "$config" 140 1            # ComPort COM2
put_int "$config" 144 4            # ComPortSpeed 2400
put_int "$config" 148 1            # FlowControl Hardware
put_int "$config" 176 2
put_int "$config" 180 3
put "$config" 210 '\001'
put_text "$config" 211 "$port"
put_text "$config" 639 "$work/sUser.Dat"
put_text "$config" 790 "$work/sGroup.Dat"

echo "Smoke start of $server in $work on port $port"
(cd "$work" && exec env QT_QPA_PLATFORM=offscreen "$server") >"$work/output.txt" 2>&1 &
pid=$!

reply=
for _ in $(seq 120); do
    kill -0 "$pid" 2>/dev/null || break
    if { exec 3<>"/dev/tcp/127.0.0.1/$port"; } 2>/dev/null; then
        # Commands and replies travel without line ends: the reply code and its blank are enough.
        printf 'HELO 127.0.0.1' >&3
        IFS= read -r -N 4 -t 30 reply <&3 || true
        exec 3<&-
        break
    fi
    sleep 0.5
done

if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" && status=0 || status=$?
    pid=
    echo "smoke start: zelkor-server ended by itself with status $status" >&2
    cat "$work/output.txt" >&2
    exit 1
fi
kill -TERM "$pid"
wait "$pid" && status=0 || status=$?
pid=
case "$reply" in
'250 ') ;;
*)
    echo "smoke start: HELO on port $port got '$reply' instead of '250 '" >&2
    cat "$work/output.txt" >&2
    exit 1
    ;;
esac
# 143: ended by the SIGTERM sent above, as a program without a handler for it does.
if [ "$status" -ne 143 ]; then
    echo "smoke start: zelkor-server ended with status $status after SIGTERM" >&2
    cat "$work/output.txt" >&2
    exit 1
fi
echo "Smoke start passed: HELO on port $port answered with 250, stopped by SIGTERM"
