#!/usr/bin/env bash
# Builds the Debian packages (liborvane2, liborvane-dev, orvane), installs them
# with apt-get, runs the README's worked example with the installed command,
# compiles and runs examples/hello/hello.c through pkg-config against the
# installed library, and removes the packages again. Run as root.
#
#   scripts/package-check.sh [build-folder]   (default build-package/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${1:-build-package}")
if [ "$(id -u)" != 0 ]; then
  echo "package-check.sh: installing packages needs root" >&2
  exit 1
fi
scripts/setup-debian.sh all --if-missing
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs" --target orvane orvane-cli orvane-driver-sim orvane-driver-freeipmi catalogues
(cd "$build" && rm -f ./*.deb && cpack -G DEB >/dev/null)
debs=("$build"/liborvane2_*.deb "$build"/liborvane-dev_*.deb "$build"/orvane_*.deb)
work=$(mktemp -d)
cleanup() {
  apt-get remove -y -q orvane liborvane-dev liborvane2 >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${debs[@]}" >/dev/null
echo "== installed: $(dpkg-query -W -f='${Package} ${Version}  ' liborvane2 liborvane-dev orvane)"

# The manual page and the completion scripts came with the command.
/usr/bin/orvane --version
man -l /usr/share/man/man1/orvane.1* | grep -q "orvane scan"
bash -c 'source /usr/share/bash-completion/completions/orvane && complete -p orvane' >/dev/null
[ -f /usr/share/zsh/vendor-completions/_orvane ]

# The worked example, with the installed command and nothing set by hand.
cp -r examples/demo-system "$work/demo"
cd "$work/demo"
/usr/bin/orvane --system system.json scan
[ "$(/usr/bin/orvane --system system.json get "Power Supply" board.manufacturer)" = "Orvane Power" ]
/usr/bin/orvane --system system.json set "Power Supply" board.serial_number PS0816 --commit \
  --backup-dir "$work/backups"
[ "$(/usr/bin/orvane --system system.json get "Power Supply" board.serial_number)" = PS0816 ]
/usr/bin/orvane --system system.json save 0 psu.cfg
/usr/bin/orvane --system system.json restore "$(ls "$work"/backups/*.cfg | head -1)" \
  --backup-dir "$work/backups"
[ "$(/usr/bin/orvane --system system.json get "Power Supply" board.serial_number)" = PS0815 ]

# A C host built with pkg-config against the installed library.
cc -std=c11 -Wall -Werror "$root/examples/hello/hello.c" $(pkg-config --cflags --libs orvane) \
  -o "$work/hello"
ORVANE_DRIVER=sim ORVANE_SIM_SYSTEM="$work/demo/system.json" "$work/hello" | tee "$work/hello.out"
grep -q "Power Supply: board manufacturer Orvane Power" "$work/hello.out"
echo "package check passed"
