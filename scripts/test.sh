#!/usr/bin/env bash
# Sets up, builds and runs every test headless; then builds without the windows
# (-DPARLOWICK_GUI=OFF: no Widgets, WebEngine or PrintSupport) and runs what that build has.
set -euo pipefail
cd "$(dirname "$0")/.."
CMAKE_EXTRA_ARGS="-DPARLOWICK_WERROR=ON ${CMAKE_EXTRA_ARGS:-}" scripts/setup.sh build
scripts/check-format.sh
export QT_QPA_PLATFORM=offscreen
# Most tests wait on sockets, timers and child programs more than they compute: three at a
# time per core keeps the cores busy.
jobs=$((3 * $(nproc)))
ctest --test-dir build --output-on-failure --parallel "$jobs" --timeout 600

CMAKE_EXTRA_ARGS="-DPARLOWICK_GUI=OFF -DPARLOWICK_WERROR=ON ${CMAKE_EXTRA_ARGS:-}" scripts/setup.sh build-headless
ctest --test-dir build-headless --output-on-failure --parallel "$jobs" --timeout 600 --label-exclude zone
