#!/usr/bin/env bash
# Takes the README's screenshots into docs/: builds, starts the demo phone with made-up
# messages and pictures, and runs parlowick-screenshots on a virtual display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build >/dev/null
address=127.0.0.15
log=$(mktemp)
build/bin/parlowick-phonesim --address "$address" --generate 240,12,6 --picture-kb 80 </dev/null >"$log" 2>&1 &
phone=$!
trap 'kill $phone 2>/dev/null; wait $phone 2>/dev/null; rm -f "$log"' EXIT
sleep 1
xvfb-run -a -s "-screen 0 1280x900x24" build/bin/parlowick-screenshots docs "$address"
