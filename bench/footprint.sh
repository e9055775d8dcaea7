#!/usr/bin/env bash
# Resident memory and idle CPU of the server, headless next to the desktop window, run by hand:
#     bench/footprint.sh build-release/app/zelkor-server [idle seconds, default 60]
# Each mode starts in a fresh data folder with the default settings (port 5612, which must be
# free), serves one submission (so the
# listener, the queue and the logs have been used), then idles. The desktop mode needs a display;
# without one it runs on Qt's offscreen platform, which draws nothing but keeps every widget.
set -euo pipefail
program=$(realpath "${1:?usage: bench/footprint.sh PROGRAM [SECONDS]}")
seconds=${2:-60}
ticks=$(getconf CLK_TCK)

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

measure() {
    local mode=$1
    local dir pid port=5612
    dir=$(mktemp -d)
    if [ "$mode" = headless ]; then
        "$program" --headless --data-dir "$dir" >/dev/null 2>&1 &
    else
        # Without Server.Dat the desktop asks for the settings first: give it the headless
        # defaults.
        "$program" --headless --data-dir "$dir" >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 50); do [ -s "$dir/Server.Dat" ] && break; sleep 0.1; done
        kill -TERM "$pid"; wait "$pid" || true
        local platform=offscreen
        [ -n "${DISPLAY:-}" ] && platform=xcb
        QT_QPA_PLATFORM=$platform "$program" --data-dir "$dir" >/dev/null 2>&1 &
    fi
    pid=$!
    sleep 3
    # One conversation, so the listener has served a client.
    if exec 3<>"/dev/tcp/127.0.0.1/$port"; then
        printf 'HELO 127.0.0.1' >&3
        timeout 5 head -c 4 <&3 >/dev/null || true
        exec 3>&-
    fi
    sleep 2
    local before after rss
    before=$(cpu_ticks "$pid")
    sleep "$seconds"
    after=$(cpu_ticks "$pid")
    rss=$(rss_kib "$pid")
    kill -TERM "$pid" 2>/dev/null || true
    sleep 1
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -rf "$dir"
    awk -v m="$mode" -v r="$rss" -v t=$((after - before)) -v hz="$ticks" -v s="$seconds" \
        'BEGIN { printf "%-9s resident %6.1f MiB   idle CPU %.3f %% (%d ticks in %d s)\n", m, r / 1024, 100 * t / hz / s, t, s }'
}

measure headless
measure desktop
