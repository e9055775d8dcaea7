#!/usr/bin/env bash
# Installs what the build, the tests and the start command need on a Debian machine.
# Safe to run again: it only asks apt for packages that are missing.
set -euo pipefail
# hylafax-client (sendpage) and libnet-snpp-perl (Net::SNPP) are the paging clients that the
# SNPP gateway's tests run against the server. socat and openssl put TLS with a test CA in front
# of the scripted carriers of the delivery lines' tests. Qt's HTTP server (its CMake package
# needs the WebSockets one) serves the HTTP front end; its tests drive it with curl, lint
# /metrics with promtool (prometheus), load the status page in headless chromium, and page
# through a real prometheus-alertmanager. libqt6sql6-sqlite is Qt's SQLite driver, which the
# page store (Pages.db) opens at run time.
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
          libqt6sql6-sqlite libgl-dev libgtest-dev xvfb xauth hylafax-client libnet-snpp-perl
          socat openssl qt6-httpserver-dev qt6-websockets-dev curl prometheus
          prometheus-alertmanager chromium)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
