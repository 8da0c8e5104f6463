#!/usr/bin/env bash
# Builds Orvane (when needed) and runs its main job on the simulated BMC: the
# orvane command scans the demo system (examples/demo-system) and shows every
# FRU it found. It works on a copy, so the checked-in images stay unchanged.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake -S . -B build -DORVANE_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target orvane-cli orvane-driver-sim catalogues >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/demo-system "$work/"
cd "$work"
"$root/build/orvane" --system demo-system/system.json scan
echo
"$root/build/orvane" --system demo-system/system.json show
