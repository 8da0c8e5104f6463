#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Orvane.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q cmake g++ make libgtest-dev nlohmann-json3-dev python3
