#!/usr/bin/env python3
"""End-to-end test of the freeipmi driver module in-band, through a Linux
guest's IPMI system interface.

The LAN tests' managed system (simproc.SYSTEM) runs in OpenIPMI's ipmi_sim,
which also serves QEMU's external BMC connection (ipmi-bmc-extern). A guest
under qemu-system-x86_64 (TCG) sees that BMC through a KCS interface
(isa-ipmi-kcs). The guest is the Debian kernel with an initramfs made here:
busybox, the IPMI kernel modules, orvane, the freeipmi module, the English
catalogue and the libraries ldd lists. Its init runs `orvane scan --json` and
`orvane set ... --commit` through /dev/ipmi0 (to the BMC's own FRU and,
through the kernel's IPMB bridging, the satellite's), prints the results on
the serial console between marker lines and powers off. The host checks that
the guest's kernel counted the scan's transactions, that the guest's JSON
equals orvane's over LAN and its fields what `ipmitool fru print` shows, and
that ipmitool shows the commits. It is skipped (exit 77) when qemu, a kernel
with the IPMI modules, busybox or an IPMI peer is missing.
"""
import glob
import json
import lzma
import os
import re
import shutil
import socket
import subprocess
import sys
import time

# The managed system, simulator and checks shared with the LAN tests.
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import simproc  # noqa: E402

# The kernel modules the guest loads, in this order (paths in the kernel's
# module folder), and the KCS driver's transaction counter in sysfs.
MODULES = ["drivers/char/ipmi/" + m for m in ("ipmi_msghandler", "ipmi_si", "ipmi_devintf")]
COUNTER = "/sys/bus/platform/devices/*/complete_transactions"
# The fields committed (FRU, field, area, field index, value, ipmitool's
# label); the values keep the fields' lengths, so the bytes ipmi_sim holds
# afterwards are the old image with these bytes replaced.
COMMITS = [("bmc0", "board.manufacturer", "board", 0, "Kcs1", "Board Mfg"),
           ("sat0", "product.serial_number", "product", 4, "SM-SN-15", "Product Serial")]
# Where setup-debian.sh unpacks the guest kernel; the machine's own /boot after it.
KERNEL_ROOTS = [os.environ.get("ORVANE_GUEST_KERNEL_ROOT"), "/var/cache/orvane/guest-kernel", "/"]
MARK = "@@orvane"
GUEST_DEADLINE = 140  # seconds for the guest's boot, scan, commits and power-off


# ---- what the guest is made of ---------------------------------------------

def find_kernel():
    """(vmlinuz, module folder) of the first kernel found that has every
    module the guest loads, or None."""
    for root in filter(None, KERNEL_ROOTS):
        for vmlinuz in sorted(glob.glob(os.path.join(root, "boot", "vmlinuz-*")), reverse=True):
            version = os.path.basename(vmlinuz)[len("vmlinuz-"):]
            folder = os.path.join(root, "lib", "modules", version, "kernel")
            if all(module_file(folder, module) for module in MODULES):
                return vmlinuz, folder
    return None


def module_name(module):
    return os.path.basename(module)


def module_file(folder, module):
    for suffix in (".ko", ".ko.xz"):
        path = os.path.join(folder, module + suffix)
        if os.path.exists(path):
            return path
    return None


def module_bytes(path):
    """A module as busybox insmod takes it: uncompressed."""
    with open(path, "rb") as raw:
        data = raw.read()
    return lzma.decompress(data) if path.endswith(".xz") else data


def shared_libraries(programs):
    """Every shared library the programs load, with the dynamic loader, as
    {path in the guest: path on the host}."""
    found = {}
    for program in programs:
        listing = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
        for line in listing.splitlines():
            words = line.split()
            if "=>" in words and len(words) > words.index("=>") + 1:
                host = words[words.index("=>") + 1]
                if host.startswith("/"):
                    found["/lib/" + os.path.basename(host)] = host
            elif words and words[0].startswith("/"):  # the loader, at its own path
                found[words[0]] = words[0]
    return found


def guest_init():
    """The guest's /init: modules, scan, commits, results between markers."""
    orvane = "/orvane/orvane --driver freeipmi"
    lines = [
        "#!/bin/busybox sh",
        "/bin/busybox --install -s /bin",
        "export PATH=/bin:/orvane LD_LIBRARY_PATH=/lib HOME=/root XDG_STATE_HOME=/root/state",
        "export ORVANE_IPMI_DEBUG=1",
        "mkdir -p /proc /sys /dev /tmp /root/state; chmod 1777 /tmp",
        "mount -t proc proc /proc; mount -t sysfs sysfs /sys; mount -t devtmpfs dev /dev",
        "for m in %s; do insmod /modules/$m.ko || echo \"%s insmod $m failed\"; done"
        % (" ".join(map(module_name, MODULES)), MARK),
        "i=0; while [ ! -e /dev/ipmi0 ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done",
        "dmesg | grep -i ipmi | sed 's/^/%s kernel /'" % MARK,
        # The interface driver counts its transactions: the scan's requests
        # show up there when they went through /dev/ipmi0.
        "counter=$(ls %s 2>/dev/null | head -n 1)" % COUNTER,
        "count() { if [ -n \"$counter\" ]; then cat $counter; else echo 0; fi; }",
        "cd /root",
        "before=$(count)",
        "echo '%s scan-begin'" % MARK,
        "%s scan --json 2>/root/scan.err; echo \"%s scan-end $?\"" % (orvane, MARK),
        "sed 's/^/%s stderr /' /root/scan.err" % MARK,
        "echo \"%s transactions $(( $(count) - before ))\"" % MARK,
    ]
    for key, field, _, _, value, _ in COMMITS:
        name = simproc.SYSTEM[key]["name"]
        lines.append("%s set '%s' %s '%s' --commit >/root/set.out 2>&1; code=$?"
                     % (orvane, name, field, value))
        lines.append("sed 's/^/%s set /' /root/set.out; echo \"%s set-end %s $code\""
                     % (MARK, MARK, key))
    lines.append("poweroff -f")
    return "\n".join(lines) + "\n"


def build_initramfs(args, modules, folder):
    """The guest's files in a folder, then busybox's "newc" cpio of them."""
    root = os.path.join(folder, "initramfs")

    def put(inside, data=None, copy=None, mode=0o755):
        target = root + inside
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # Without debug information a smaller initramfs boots faster.
        if copy and subprocess.run(["strip", "--strip-debug", "-o", target, copy],
                                   capture_output=True).returncode != 0:
            shutil.copyfile(copy, target)
        if data is not None:
            with open(target, "wb") as out:
                out.write(data)
        os.chmod(target, mode)

    busybox = shutil.which("busybox")
    put("/bin/busybox", copy=busybox)
    for module in MODULES:
        put("/modules/%s.ko" % module_name(module), module_bytes(module_file(modules, module)),
            mode=0o644)
    put("/orvane/orvane", copy=args.orvane)
    put("/orvane/orvane-driver-freeipmi.so", copy=args.driver)
    catalogue = "/enus/orvane/str/orvane.str"
    put("/orvane" + catalogue, copy=args.catalogue_dir + catalogue, mode=0o644)
    for inside, outside in shared_libraries([busybox, args.orvane, args.driver]).items():
        put(inside, copy=outside)
    put("/init", guest_init().encode())
    names = [os.path.relpath(os.path.join(top, name), root)
             for top, folders, files in os.walk(root) for name in folders + files]
    with open(root + ".cpio", "wb") as out:
        subprocess.run(["busybox", "cpio", "-o", "-H", "newc", "-R", "0:0"], cwd=root,
                       input="\n".join(names).encode(), stdout=out, stderr=subprocess.DEVNULL,
                       check=True)
    return root + ".cpio"


# ---- running the guest ------------------------------------------------------

def qemu_command(kernel, initramfs, vm_port):
    # The initramfs unpacks into half the guest's memory; the sanitizer build's
    # programs alone make it larger than 128 MiB.
    return ["qemu-system-x86_64", "-accel", "tcg", "-machine", "pc", "-m", "768",
            "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot",
            "-serial", "stdio",
            "-chardev", "socket,id=ipmi0,host=127.0.0.1,port=%d,reconnect=10" % vm_port,
            "-device", "ipmi-bmc-extern,id=bmc0,chardev=ipmi0",
            "-device", "isa-ipmi-kcs,bmc=bmc0",
            "-kernel", kernel, "-initrd", initramfs,
            "-append", "console=ttyS0 quiet panic=-1"]


def run_guest(command):
    """The guest's console lines; a guest still running at the deadline is
    stopped and its lines so far are checked as they are."""
    started = time.time()
    try:
        output = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, timeout=GUEST_DEADLINE).stdout
    except subprocess.TimeoutExpired as stopped:
        output = (stopped.output or b"") + b"\n(stopped at the deadline)"
    console = output.decode(errors="replace").replace("\r", "").splitlines()
    print("".join("guest| %s\n" % line for line in console), end="")
    print("guest ran %.1f s" % (time.time() - started))
    return console


def marker_value(console, marker):
    """What follows the marker on its console line, or None."""
    return next((l[len(marker):].strip() for l in console if l.startswith(marker)), None)


# ---- checks -----------------------------------------------------------------

def host_scan(args, sim, folder):
    """orvane's own scan of the same ipmi_sim over LAN."""
    result = simproc.Runner(args.orvane, folder)(
        "scan", "--json", env=simproc.environment(sim, ORVANE_DRIVER=args.driver))
    if result.returncode != 0:
        raise RuntimeError("orvane scan over LAN failed: " + result.stderr.strip())
    return json.loads(result.stdout)


def first_difference(got, expected):
    """The first line where two JSON values, printed one item a line with
    sorted keys, differ; or None."""
    a, b = (json.dumps(v, indent=1, sort_keys=True).splitlines() for v in (got, expected))
    a, b = a + [None] * (len(b) - len(a)), b + [None] * (len(a) - len(b))
    return next(("line %d: %r, expected %r" % (n + 1, x, y)
                 for n, (x, y) in enumerate(zip(a, b)) if x != y), None)


def check_scan(checks, console, lan_scan, printed):
    """The guest's scan against orvane's and ipmitool's over LAN, both taken
    before the guest ran."""
    found = re.search(r"(?s)^%s scan-begin\n(.*?)^%s scan-end (\d+)$" % (MARK, MARK),
                      "\n".join(console), re.M)
    checks.equal("guest scan exit code", found and found.group(2), "0")
    try:
        scan = json.loads(found.group(1) if found else "")
    except ValueError as error:
        checks.failures.append("the guest's scan is no JSON: %s" % error)
        return
    frus = scan.get("frus", [])
    print("guest scan: %d FRUs: %s" % (len(frus), ", ".join(f["name"] for f in frus)))
    checks.equal("guest FRU names", sorted(f["name"] for f in frus),
                 sorted(f["name"] for f in simproc.SYSTEM.values()))
    difference = first_difference(scan, lan_scan)
    checks.true("the guest's scan differs from orvane's over LAN at " + str(difference),
                difference is None)
    transactions = int(marker_value(console, MARK + " transactions") or 0)
    print("the scan took %d KCS transactions in the guest's kernel" % transactions)
    checks.true("the guest's scan did not go through the kernel's KCS driver", transactions > 0)
    for fru in frus:
        key = next((k for k, v in simproc.SYSTEM.items() if v["name"] == fru["name"]), None)
        if key:
            simproc.compare_with_tool(
                checks, "guest vs ipmitool FRU " + key, simproc.json_fields(fru),
                printed.get(simproc.ipmitool_name(simproc.SYSTEM[key]), {}), 0)


def check_commits(checks, sim, console):
    """Each committed field as ipmitool fru print shows it, and the bytes
    ipmi_sim holds: the image before with only that field changed."""
    for key, field, area, index, value, label in COMMITS:
        what = "guest commit of %s %s" % (key, field)
        checks.equal(what + " exit code", marker_value(console, MARK + " set-end " + key), "0")
        simproc.check_committed(checks, sim, what, key, [(label, area, index, value)])


# ---- main -------------------------------------------------------------------

TOOLS = ["qemu-system-x86_64", "busybox", "ipmi_sim", "ipmitool", "ldd", "strip"]


def kernel_missing():
    if find_kernel():
        return None
    return ("no kernel with the modules %s under %s (scripts/setup-debian.sh unpacks "
            "linux-image-amd64 there)" % (", ".join(map(module_name, MODULES)),
                                          ", ".join(filter(None, KERNEL_ROOTS))))


def test(args, checks, folder, simulators):
    vm_port = simproc.free_port(socket.SOCK_STREAM)
    # ipmi_sim also serves a system interface on this port, in the protocol of
    # QEMU's external BMC, which the guest connects to.
    sim = simproc.Simulator(folder, extra_conf="serial kcs 127.0.0.1 %d codec VM\n" % vm_port)
    simulators.append(sim)
    kernel, modules = find_kernel()
    sim.start()
    print("ipmi_sim on %s (LAN) and :%d (QEMU's BMC connection), %s"
          % (sim.host, vm_port, folder))
    initramfs = build_initramfs(args, modules, folder)
    print("guest: kernel %s, initramfs %d KiB" % (kernel, os.path.getsize(initramfs) // 1024))
    # The BMC as orvane and ipmitool see it over LAN just before the guest boots.
    lan_scan = host_scan(args, sim, folder)
    printed = simproc.ipmitool_print(sim)
    console = run_guest(qemu_command(kernel, initramfs, vm_port))
    check_scan(checks, console, lan_scan, printed)
    check_commits(checks, sim, console)


if __name__ == "__main__":
    simproc.main("orvane-inband-", TOOLS, test, simproc.arguments(__doc__), kernel_missing())
