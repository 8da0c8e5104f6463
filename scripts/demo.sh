#!/usr/bin/env bash
# Builds Orvane (when needed) and runs its main job on the simulated BMC: the
# orvane command scans the demo system (examples/demo-system) and shows every
# FRU it found. It works on a copy, so the checked-in images stay unchanged.
#
# Run as root on a fresh Debian machine, it first installs what is missing (the
# compiler, CMake, nlohmann-json). It builds in build-demo/, a tree of its own,
# so it never changes the trees the test command uses.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ "$(id -u)" = 0 ]; then
  scripts/setup-debian.sh demo --if-missing
fi
jobs=$(nproc 2>/dev/null || echo 2)
echo "== building the orvane command, the simulated BMC and the catalogues in build-demo/"
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_TESTS=OFF
cmake --build build-demo -j"$jobs" --target orvane-cli orvane-driver-sim catalogues
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/demo-system "$work/"
cd "$work"
echo
echo "== orvane --system demo-system/system.json scan"
"$root/build-demo/orvane" --system demo-system/system.json scan
echo
echo "== orvane --system demo-system/system.json show"
"$root/build-demo/orvane" --system demo-system/system.json show
