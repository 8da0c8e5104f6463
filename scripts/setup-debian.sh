#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, demonstrate and test
# Orvane. Run as root.
#
#   scripts/setup-debian.sh [demo|all] [--if-missing]
#
# demo: the compiler and build tools and nlohmann-json (the simulated BMC):
#       enough for scripts/demo.sh.
# all (default): besides those, GoogleTest, libfreeipmi (the real-BMC driver
#       module), the independent IPMI peers the end-to-end tests run against
#       (OpenIPMI's ipmi_sim, ipmitool, FreeIPMI's ipmi-fru), python3 with
#       jsonschema for the command's JSON check, script(1) from bsdutils for the
#       terminal progress test, dpkg-dev for the Debian package, and for the
#       in-band test's guest QEMU, busybox and Debian's kernel (unpacked under
#       /var/cache/orvane/guest-kernel, not installed: installing it would
#       build an initramfs for this machine, which takes minutes and serves
#       nothing here), and clang with its runtime libraries (libFuzzer and the sanitizers) for the
#       fuzz targets.
# --if-missing: asks apt only when a package is not installed yet, so the demo
#       and test scripts can call this every time at no cost.
set -euo pipefail
set_name=all
if_missing=0
for arg in "$@"; do
  case "$arg" in
    demo|all) set_name=$arg ;;
    --if-missing) if_missing=1 ;;
    *) echo "usage: $0 [demo|all] [--if-missing]" >&2; exit 2 ;;
  esac
done

demo_packages=(
  cmake g++ make pkg-config
  gettext
  nlohmann-json3-dev
)
test_packages=(
  libgtest-dev
  python3 python3-jsonschema
  bsdutils
  libfreeipmi-dev freeipmi-tools openipmi ipmitool
  dpkg-dev file
  clang libclang-rt-14-dev
  man-db groff-base zsh
)
# Installed without their recommendations (QEMU's would bring a desktop).
guest_packages=(qemu-system-x86 busybox-static)
kernel_dir=/var/cache/orvane/guest-kernel
packages=("${demo_packages[@]}")
checked=("${demo_packages[@]}")
if [ "$set_name" = all ]; then
  packages+=("${test_packages[@]}")
  checked+=("${test_packages[@]}" "${guest_packages[@]}")
fi

missing=()
for p in "${checked[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "$set_name" = all ] && ! ls "$kernel_dir"/boot/vmlinuz-* >/dev/null 2>&1; then
  missing+=("(the guest kernel)")
fi
if [ "$if_missing" = 1 ] && [ ${#missing[@]} = 0 ]; then
  exit 0
fi
if [ "$(id -u)" != 0 ]; then
  echo "setup-debian.sh: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
echo "setup-debian.sh: installing ${missing[*]:-${packages[*]}}"
apt-get update -q
apt-get install -y -q "${packages[@]}"
if [ "$set_name" = all ]; then
  apt-get install -y -q --no-install-recommends "${guest_packages[@]}"
fi

# The guest kernel: the package linux-image-amd64 points to, unpacked.
kernel_package=$(apt-cache depends linux-image-amd64 |
  awk '/Depends: linux-image-[0-9]/ && !found { print $2; found = 1 }')
if [ "$set_name" = all ] && [ -n "$kernel_package" ] &&
  [ ! -e "$kernel_dir/boot/vmlinuz-${kernel_package#linux-image-}" ]; then
  download=$(mktemp -d)
  chown _apt "$download" 2>/dev/null || true # apt fetches as _apt
  if (cd "$download" && apt-get download -q "$kernel_package"); then
    mkdir -p "$kernel_dir" && dpkg -x "$download"/*.deb "$kernel_dir"
  else
    echo "setup-debian.sh: could not fetch $kernel_package; InBandEndToEnd will be skipped" >&2
  fi
  rm -rf "$download"
fi
