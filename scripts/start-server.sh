#!/usr/bin/env bash
# Installs what is missing, builds, and starts the server in its data folder (run-data/ unless
# ZELKOR_DATA_DIR names another): in its window on a desktop, headless without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Only the program and the libraries it links are built, none of the test suites.
BUILD_TARGET=zelkor-server scripts/build.sh
data_dir=${ZELKOR_DATA_DIR:-$PWD/run-data}
mkdir -p "$data_dir"
program=$PWD/build/app/zelkor-server
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # Without a display the server runs headless: both live logs on standard output, errors on
    # standard error; its first lines say on which port it listens.
    echo "No display: starting the server headless with its data in $data_dir" >&2
    echo "(Ctrl-C stops it; a running call first finishes its page. Queued pages are kept.)" >&2
    exec "$program" --headless --data-dir "$data_dir"
fi
exec "$program" --data-dir "$data_dir"
