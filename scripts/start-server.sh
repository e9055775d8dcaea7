#!/usr/bin/env bash
# Installs what is missing, builds, and starts the server in its data folder (run-data/ unless
# ZELKOR_DATA_DIR names another). The data folder is the server's working directory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
data_dir=${ZELKOR_DATA_DIR:-$PWD/run-data}
mkdir -p "$data_dir"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: the Zelkor LAN Server is a desktop program and needs one." >&2
    echo "Run it from a desktop session, or under a virtual display:" >&2
    echo "    xvfb-run -a scripts/start-server.sh" >&2
    exit 1
fi
cd "$data_dir"
exec "$OLDPWD/build/app/zelkor-server"
