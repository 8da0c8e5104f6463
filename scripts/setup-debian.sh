#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Orvane:
# the compiler and build tools, GoogleTest, nlohmann-json (simulated BMC),
# libfreeipmi (the real-BMC driver module), and the independent IPMI peers the
# end-to-end test runs against (OpenIPMI's ipmi_sim, ipmitool, FreeIPMI's
# ipmi-fru), python3 with jsonschema for the command's JSON check, and
# script(1) from bsdutils for the terminal progress test; QEMU, busybox and a
# Debian kernel for the in-band test's guest.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q cmake g++ make libgtest-dev nlohmann-json3-dev python3 \
  python3-jsonschema bsdutils libfreeipmi-dev freeipmi-tools openipmi ipmitool pkg-config
apt-get install -y -q --no-install-recommends qemu-system-x86 busybox-static

# The in-band test's guest kernel: linux-image-amd64's kernel package unpacked
# under /var/cache/orvane/guest-kernel, not installed (installing builds an
# initramfs for this machine, which takes minutes and serves nothing here).
kernel_dir=/var/cache/orvane/guest-kernel
kernel_package=$(apt-cache depends linux-image-amd64 |
  awk '/Depends: linux-image-[0-9]/ && !found { print $2; found = 1 }')
if [ -n "$kernel_package" ] && [ ! -e "$kernel_dir/boot/vmlinuz-${kernel_package#linux-image-}" ]; then
  download=$(mktemp -d)
  chown _apt "$download" 2>/dev/null || true  # apt fetches as _apt
  if (cd "$download" && apt-get download -q "$kernel_package"); then
    mkdir -p "$kernel_dir" && dpkg -x "$download"/*.deb "$kernel_dir"
  else
    echo "setup-debian: could not fetch $kernel_package; InBandEndToEnd will be skipped" >&2
  fi
  rm -rf "$download"
fi
