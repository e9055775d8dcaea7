#!/usr/bin/env bash
# Installs what is missing, builds with the sanitizers and warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-tests} scripts/build.sh -DZELKOR_SANITIZE=ON -DZELKOR_FATAL_WARNINGS=ON
build_dir=$(cd "${BUILD_DIR:-build-tests}" && pwd)
# The program itself must start: offscreen, in a data folder of its own, listening on its port.
scripts/smoke-start.sh "$build_dir/app/zelkor-server"
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)"

# The delivery lines run on threads of their own: their tests again under the thread sanitizer
# (a build of their own; ZELKOR_SKIP_TSAN=1 leaves it out).
if [ "${ZELKOR_SKIP_TSAN:-0}" != 1 ]; then
    cd "$root"
    BUILD_DIR=${TSAN_BUILD_DIR:-build-tsan} BUILD_TARGET=tst_calls \
        scripts/build.sh -DZELKOR_TSAN=ON -DZELKOR_FATAL_WARNINGS=ON
    tsan_dir=$(cd "${TSAN_BUILD_DIR:-build-tsan}" && pwd)
    export TSAN_OPTIONS="halt_on_error=1 exitcode=66 suppressions=$PWD/tests/support/tsan.supp"
    "$tsan_dir/tests/calls/tst_calls"
fi
