#!/usr/bin/env bash
# Builds Orvane and runs the whole test suite twice: a plain build in build/
# and a build under AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/.
#
# Run as root on a fresh Debian machine, it first installs what is missing
# (scripts/setup-debian.sh). Each pass fails when it ran no test at all, so a
# tree configured without tests can never pass silently.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ]; then
  scripts/setup-debian.sh all --if-missing
fi
jobs=$(nproc 2>/dev/null || echo 2)

echo "== plain build and tests (build/)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_TESTS=ON -DORVANE_SANITIZE=OFF >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests (build-asan/)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVANE_TESTS=ON -DORVANE_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs"

# Every fuzz target for a bounded time (about 30 s each); a finding fails the run.
scripts/fuzz.sh
