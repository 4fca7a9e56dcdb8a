#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it.
# With no server running on localhost port 12345 (the program's default), the bundled SRCP simulator
# is started there in demo mode for the program's lifetime, and the demo layout (whose detectors lie
# on the demo train's contacts) is opened unless a layout is named. Set QUARN_NO_SIM=1 to skip that.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j2

sim_pid=""
if [ -z "${QUARN_NO_SIM:-}" ] && [ -x build/bin/srcp-sim ] \
   && ! (exec 3<>/dev/tcp/127.0.0.1/12345) 2>/dev/null; then
  # The protocol generation chosen in the settings (line 4 of the parameter file: 73 or 80).
  protocol=0.7.3
  if [ -f build/bin/Data/parmc.dat ] && [ "$(sed -n 4p build/bin/Data/parmc.dat | tr -d '\r')" = "80" ]; then
    protocol=0.8.2
  fi
  build/bin/srcp-sim --protocol "$protocol" --port 12345 --demo --demo-idle-speed 50 > /dev/null &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
  echo "Started the SRCP simulator on 127.0.0.1:12345 (SRCP $protocol, demo layout)."
  if [ $# -eq 0 ]; then
    set -- build/bin/Layouts/Demo.pln
  fi
fi
build/bin/quarn "$@"
