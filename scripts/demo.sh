#!/usr/bin/env bash
# Builds Orvane (when needed) and runs the example host: it initializes the
# library with the English catalogue, prints the revision and shows how a
# failure's text reaches the host.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DORVANE_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target orvane-hello >/dev/null
cd build && ./orvane-hello
