#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR); extra arguments go to cmake. BUILD_TARGET
# names the targets to build, separated by blanks (and what they need); without it everything is
# built.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
# shellcheck disable=SC2086 # one word per target
cmake --build "$build_dir" -j"$(nproc)" ${BUILD_TARGET:+--target $BUILD_TARGET}
