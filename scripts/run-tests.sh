#!/usr/bin/env bash
# Installs what is missing, builds with the sanitizers and warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-tests} scripts/build.sh -DZELKOR_SANITIZE=ON -DZELKOR_FATAL_WARNINGS=ON
build_dir=$(cd "${BUILD_DIR:-build-tests}" && pwd)
# The program itself must start: it runs offscreen for two seconds in a data folder of its own.
smoke=$(mktemp -d)
echo "Smoke start of zelkor-server in $smoke"
(cd "$smoke" && QT_QPA_PLATFORM=offscreen ZELKOR_SMOKE_TEST=1 timeout 60 "$build_dir/app/zelkor-server")
rm -rf "$smoke"
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)"
