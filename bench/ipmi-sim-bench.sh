#!/bin/sh
# Starts ipmi_sim with the benchmark's system (16 FRU devices behind the BMC,
# one behind a satellite reached through Send Message, 17 SDR records) and
# runs the IPMI benchmark against it, over lan and lanplus.
#   bench/ipmi-sim-bench.sh BUILD-DIR [RUNS]
set -eu
build=$(cd "${1:?usage: ipmi-sim-bench.sh BUILD-DIR [RUNS]}" && pwd)
runs=${2:-15}
here=$(cd "$(dirname "$0")" && pwd)
command -v ipmi_sim >/dev/null || { echo "ipmi_sim not found (Debian package openipmi)"; exit 77; }

eval "$(python3 "$here/ipmi-sim-system.py" --interface lan --system bench)"
trap 'kill "$ORVANE_E2E_SIM_PID" 2>/dev/null; rm -rf "$ORVANE_E2E_FOLDER"' EXIT INT TERM
export ORVANE_DATA_DIR="$build" ORVANE_DRIVER=freeipmi
unset ORVANE_IPMI_DEBUG ORVANE_IPMI_STATS
for interface in lan lanplus; do
    ORVANE_IPMI_INTERFACE=$interface "$build/orvane-ipmi-bench" "$runs"
done
