#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Orvane:
# the compiler and build tools, GoogleTest, nlohmann-json (simulated BMC),
# libfreeipmi (the real-BMC driver module), and the independent IPMI peers the
# end-to-end test runs against (OpenIPMI's ipmi_sim, ipmitool, FreeIPMI's
# ipmi-fru), python3 with jsonschema for the command's JSON check, and
# script(1) from bsdutils for the terminal progress test, and clang with its
# runtime libraries (libFuzzer and the sanitizers) for the fuzz targets.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q cmake g++ make libgtest-dev nlohmann-json3-dev python3 \
  python3-jsonschema bsdutils libfreeipmi-dev freeipmi-tools openipmi ipmitool pkg-config \
  clang libclang-rt-14-dev
