#!/usr/bin/env bash
# Installs what is missing, builds with the sanitizers and warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-tests} scripts/build.sh -DZELKOR_SANITIZE=ON -DZELKOR_FATAL_WARNINGS=ON
build_dir=$(cd "${BUILD_DIR:-build-tests}" && pwd)
# The program itself must start: offscreen, in a data folder of its own, listening on its port.
scripts/smoke-start.sh "$build_dir/app/zelkor-server"
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)"
