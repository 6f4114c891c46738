#!/usr/bin/env bash
# Sets up, builds and starts Parlowick, with a demo phone to back up: in the program choose
# Menu > Connection, WiFi, address 127.0.0.2. (127.0.0.1 stays free for a real phone's adb
# forwards.) Set PARLOWICK_NO_DEMO_PHONE=1 to start the program alone.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build

if [ -z "${PARLOWICK_NO_DEMO_PHONE:-}" ]; then
    demo_dir=${XDG_DATA_HOME:-$HOME/.local/share}/Ombrevale/demo-phone
    mkdir -p "$demo_dir"
    if [ -f "$demo_dir/phone.json" ]; then
        phone_args=(--load "$demo_dir/phone.json")
    else
        phone_args=(--generate 600,60,30 --picture-kb 80)
    fi
    # The demo phone keeps what you restore or send to it.
    build/bin/parlowick-phonesim --address 127.0.0.2 "${phone_args[@]}" --save "$demo_dir/phone.json" \
        --push-every 120 >"$demo_dir/phone.log" 2>&1 </dev/null &
    phone_pid=$!
    trap 'kill "$phone_pid" 2>/dev/null || true' EXIT
    echo "Demo phone on 127.0.0.2 (Menu > Connection > WiFi). Log: $demo_dir/phone.log"
fi

# The web engine's sandbox refuses to run as root (containers, CI machines).
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
build/bin/parlowick "$@"
