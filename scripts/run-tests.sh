#!/usr/bin/env bash
# Installs what is missing, builds with the sanitizers and warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-tests} scripts/build.sh -DZELKOR_SANITIZE=ON -DZELKOR_FATAL_WARNINGS=ON
cd "${BUILD_DIR:-build-tests}"
ctest --output-on-failure -j"$(nproc)"
# The program itself must start; it runs offscreen for two seconds in a data folder of its own.
smoke=$(mktemp -d)
printf 'Smoke start of zelkor-server: '
( cd "$smoke" && QT_QPA_PLATFORM=offscreen ZELKOR_SMOKE_TEST=1 timeout 60 "$OLDPWD/app/zelkor-server" ) && echo ok
rm -rf "$smoke"
