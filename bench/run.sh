#!/usr/bin/env bash
# Builds and runs the benchmarks, printing their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build >/dev/null
echo "== store: insert and read back"
build/bin/bench_store
echo "== store: a stream of SMS only, without pictures (five runs: the machine's own speed varies)"
for run in 1 2 3 4 5; do build/bin/bench_store 100000 500 0 | grep "SMS only"; done
echo "== main window: ready and conversation switch"
build/bin/bench_window
echo "== main window: one million messages, conversations of 2,000 and of 20,000"
build/bin/bench_window 1000000 500 20
build/bin/bench_window 1000000 50 20
echo "== phone link: backup and restore over loopback"
build/bin/bench_sync
echo "== export: CSV, threaded HTML and PDF"
build/bin/bench_export
echo "== phone link: one very long attachment data line"
build/bin/bench_longline
echo "== import: CSV preview and import, own format and another phone's"
build/bin/bench_import
echo "== XML backup of SMS Backup & Restore: import and export"
build/bin/bench_sbr_xml
echo "== search: index build, queries, size, cost to backups"
build/bin/bench_search
echo "== store: readers in other processes during a large backup; an MMS to many people"
build/bin/bench_readers
echo "== automatic backup: idle cost, a phone coming and going a thousand times, waits"
build/bin/bench_auto
