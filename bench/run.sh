#!/usr/bin/env bash
# Builds and runs the benchmarks, printing their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build >/dev/null
build/bin/bench_store "$@"
