#!/usr/bin/env bash
# Takes the README's screenshots into docs/: builds, starts the demo phone with made-up
# messages and pictures, and runs parlowick-screenshots on a virtual display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build >/dev/null
log=$(mktemp)
build/bin/parlowick-phonesim --address auto --generate 240,12,6 --picture-kb 80 </dev/null >"$log" 2>&1 &
phone=$!
trap 'kill $phone 2>/dev/null; wait $phone 2>/dev/null; rm -f "$log"' EXIT
# The phone says where it listens once it does.
address=
for _ in $(seq 100); do
    address=$(sed -n 's/^listening on //p' "$log")
    [ -n "$address" ] && break
    kill -0 $phone 2>/dev/null || { cat "$log" >&2; exit 1; }
    sleep 0.1
done
[ -n "$address" ] || { echo "the demo phone did not start" >&2; exit 1; }
xvfb-run -a -s "-screen 0 1280x900x24" build/bin/parlowick-screenshots docs "$address"
