#!/usr/bin/env python3
"""End-to-end test of the freeipmi driver module in-band, through a Linux
guest's IPMI system interface.

The LAN tests' managed system (simproc.SYSTEM) runs in OpenIPMI's ipmi_sim,
which also serves QEMU's external BMC connection (ipmi-bmc-extern). A guest
under qemu-system-x86_64 (TCG) sees that BMC through a KCS interface
(isa-ipmi-kcs; with --interface ssif, an SSIF interface on the SMBus). The
guest is the Debian kernel with an initramfs made here: busybox, the IPMI
kernel modules, orvane, the freeipmi module, the English catalogue and the
libraries ldd lists. Its init runs `orvane scan --json` and `orvane set ...
--commit` through /dev/ipmi0 (the KCS guest commits the BMC's own FRU and,
through the kernel's IPMB bridging, the satellite's), prints the results on
the serial console between marker lines and powers off. The host checks that
the guest's kernel found the interface and counted the scan's transactions,
that the guest's JSON equals orvane's over LAN and its fields what `ipmitool
fru print` shows, and that ipmitool shows the commits.

By hand: `inband-e2e.py --build-dir build --shell` boots the same guest with
its console on the terminal and leaves a shell after the run (`poweroff -f`).
It is skipped (exit 77) when qemu, a kernel with the IPMI modules, busybox or
an IPMI peer is missing.
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
import threading
import time

# The managed system, simulator and checks shared with the LAN tests.
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import simproc  # noqa: E402

IPMI = "drivers/char/ipmi/"
# The guests, one per system interface: QEMU's machine and interface device,
# the kernel modules loaded in this order (paths in the kernel's module
# folder), the driver's transaction counter in sysfs, and the fields
# committed (FRU, field, area, field index, value, ipmitool's label). The
# values keep the fields' lengths, so the bytes ipmi_sim holds afterwards are
# the old image with these bytes replaced.
GUESTS = [
    dict(interface="KCS", machine="pc", device="isa-ipmi-kcs,bmc=bmc0",
         modules=[IPMI + "ipmi_msghandler", IPMI + "ipmi_si", IPMI + "ipmi_devintf"],
         counter="/sys/bus/platform/devices/*/complete_transactions",
         commits=[("bmc0", "board.manufacturer", "board", 0, "Kcs1", "Board Mfg"),
                  ("sat0", "product.serial_number", "product", 4, "SM-SN-15", "Product Serial")]),
    dict(interface="SSIF", machine="q35", device="smbus-ipmi,bmc=bmc0,address=0x10",
         modules=[IPMI + "ipmi_msghandler", "drivers/i2c/i2c-smbus", "drivers/i2c/busses/i2c-i801",
                  IPMI + "ipmi_ssif", IPMI + "ipmi_devintf"],
         counter="/sys/bus/i2c/devices/*/sent_messages",
         commits=[("bmc0", "product.serial_number", "product", 4, "PS-5517", "Product Serial")]),
]
# Where setup-debian.sh unpacks the guest kernel; the machine's own /boot after it.
KERNEL_ROOTS = [os.environ.get("ORVANE_GUEST_KERNEL_ROOT"), "/var/cache/orvane/guest-kernel", "/"]
MARK = "@@orvane"
GUEST_DEADLINE = 140  # seconds for one guest's boot, scan, commits and power-off


# ---- what the guest is made of ---------------------------------------------

def all_modules(guests):
    return sorted({module for guest in guests for module in guest["modules"]})


def find_kernel(guests):
    """(vmlinuz, module folder) of the first kernel found that has every
    module the guests load, or None."""
    for root in filter(None, KERNEL_ROOTS):
        for vmlinuz in sorted(glob.glob(os.path.join(root, "boot", "vmlinuz-*")), reverse=True):
            version = os.path.basename(vmlinuz)[len("vmlinuz-"):]
            folder = os.path.join(root, "lib", "modules", version, "kernel")
            if all(module_file(folder, module) for module in all_modules(guests)):
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


def guest_init(guest, shell):
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
        % (" ".join(module_name(m) for m in guest["modules"]), MARK),
        "i=0; while [ ! -e /dev/ipmi0 ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done",
        "dmesg | grep -i ipmi | sed 's/^/%s kernel /'" % MARK,
        "ls -l /dev/ipmi0 2>&1 | sed 's/^/%s device /'" % MARK,
        # The interface driver counts its transactions: the scan's requests
        # show up there when they went through /dev/ipmi0.
        "counter=$(ls %s 2>/dev/null | head -n 1)" % guest["counter"],
        "count() { if [ -n \"$counter\" ]; then cat $counter; else echo 0; fi; }",
        "cd /root",
        "before=$(count)",
        "echo '%s scan-begin'" % MARK,
        "%s scan --json 2>/root/scan.err; echo \"%s scan-end $?\"" % (orvane, MARK),
        "sed 's/^/%s stderr /' /root/scan.err" % MARK,
        "echo \"%s transactions $(( $(count) - before ))\"" % MARK,
    ]
    for key, field, _, _, value, _ in guest["commits"]:
        name = simproc.SYSTEM[key]["name"]
        lines.append("%s set '%s' %s '%s' --commit >/root/set.out 2>&1; code=$?"
                     % (orvane, name, field, value))
        lines.append("sed 's/^/%s set /' /root/set.out; echo \"%s set-end %s $code\""
                     % (MARK, MARK, key))
    lines.append("echo '%s done'" % MARK)
    lines.append("setsid cttyhack sh" if shell else "")
    lines.append("poweroff -f")
    return "\n".join(lines) + "\n"


def build_initramfs(args, guest, modules, folder):
    """The guest's files in a folder, then busybox's "newc" cpio of them."""
    root = os.path.join(folder, "initramfs-" + guest["interface"].lower())

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
    for module in guest["modules"]:
        put("/modules/%s.ko" % module_name(module), module_bytes(module_file(modules, module)),
            mode=0o644)
    put("/orvane/orvane", copy=args.orvane)
    put("/orvane/orvane-driver-freeipmi.so", copy=args.driver)
    catalogue = "/enus/orvane/str/orvane.str"
    put("/orvane" + catalogue, copy=args.catalogue_dir + catalogue, mode=0o644)
    for inside, outside in shared_libraries([busybox, args.orvane, args.driver]).items():
        put(inside, copy=outside)
    put("/init", guest_init(guest, args.shell).encode())
    names = [os.path.relpath(os.path.join(top, name), root)
             for top, folders, files in os.walk(root) for name in folders + files]
    with open(root + ".cpio", "wb") as out:
        subprocess.run(["busybox", "cpio", "-o", "-H", "newc", "-R", "0:0"], cwd=root,
                       input="\n".join(names).encode(), stdout=out, stderr=subprocess.DEVNULL,
                       check=True)
    return root + ".cpio"


# ---- running the guest ------------------------------------------------------

def qemu_command(guest, kernel, initramfs, vm_port, shell):
    # The initramfs unpacks into half the guest's memory; the sanitizer build's
    # programs alone make it larger than 128 MiB.
    return ["qemu-system-x86_64", "-accel", "tcg", "-machine", guest["machine"], "-m", "768",
            "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot",
            "-serial", "stdio" if not shell else "mon:stdio",
            "-chardev", "socket,id=ipmi0,host=127.0.0.1,port=%d,reconnect=10" % vm_port,
            "-device", "ipmi-bmc-extern,id=bmc0,chardev=ipmi0",
            "-device", guest["device"],
            "-kernel", kernel, "-initrd", initramfs,
            "-append", "console=ttyS0 quiet panic=-1"]


def run_guest(command):
    """The guest's console lines, echoed as they come. A guest still running
    at the deadline is stopped; its lines so far are checked as they are."""
    console = []
    started = time.time()
    guest = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, errors="replace")
    deadline = threading.Timer(GUEST_DEADLINE, guest.kill)
    deadline.start()
    try:
        for line in guest.stdout:
            line = line.rstrip("\r\n")
            console.append(line)
            print("guest| " + line, flush=True)
        guest.wait()
    finally:
        deadline.cancel()
        if guest.poll() is None:
            guest.kill()
            guest.wait()
    elapsed = time.time() - started
    print("guest ran %.1f s%s" % (elapsed, " and was stopped" if elapsed >= GUEST_DEADLINE else ""))
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


def check_scan(checks, interface, console, lan_scan, printed):
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
    print("the scan took %d %s transactions in the guest's kernel" % (transactions, interface))
    checks.true("the guest's scan did not go through the kernel's %s driver" % interface,
                transactions > 0)
    for fru in frus:
        key = next((k for k, v in simproc.SYSTEM.items() if v["name"] == fru["name"]), None)
        if key:
            simproc.compare_with_tool(
                checks, "guest vs ipmitool FRU " + key, simproc.json_fields(fru),
                printed.get(simproc.ipmitool_name(simproc.SYSTEM[key]), {}), 0)


def check_commits(checks, guest, sim, console):
    """Each committed field as ipmitool fru print shows it, and the bytes
    ipmi_sim holds: the image before with only that field changed."""
    for key, field, area, index, value, label in guest["commits"]:
        what = "guest commit over %s of %s %s" % (guest["interface"], key, field)
        checks.equal(what + " exit code", marker_value(console, MARK + " set-end " + key), "0")
        simproc.check_committed(checks, sim, what, key, [(label, area, index, value)])


# ---- main -------------------------------------------------------------------

TOOLS = ["qemu-system-x86_64", "busybox", "ipmi_sim", "ipmitool", "ipmi-fru", "ldd", "strip"]


def kernel_missing(guests):
    if find_kernel(guests):
        return None
    return ("no kernel with the modules %s under %s (scripts/setup-debian.sh unpacks "
            "linux-image-amd64 there)" % (", ".join(map(module_name, all_modules(guests))),
                                          ", ".join(filter(None, KERNEL_ROOTS))))


def run_and_check(checks, args, sim, guest, command, folder):
    """One guest against the BMC as orvane and ipmitool see it over LAN just
    before it boots."""
    lan_scan = host_scan(args, sim, folder)
    printed = simproc.ipmitool_print(sim)
    console = run_guest(command)
    interface = guest["interface"]
    checks.true("the guest's kernel found no %s interface" % interface,
                any(l.startswith(MARK + " kernel") and interface.lower() in l.lower()
                    and "interface" in l for l in console))
    checks.true("the %s guest has no /dev/ipmi0" % interface,
                any(l.startswith(MARK + " device") and "/dev/ipmi0" in l for l in console))
    checks.true("the %s guest did not finish" % interface, MARK + " done" in console)
    check_scan(checks, interface, console, lan_scan, printed)
    check_commits(checks, guest, sim, console)


def test(args, checks, folder, simulators):
    vm_port = simproc.free_port(socket.SOCK_STREAM)
    # ipmi_sim also serves a system interface on this port, in the protocol of
    # QEMU's external BMC; each guest connects to it in turn.
    sim = simproc.Simulator(folder, extra_conf="serial kcs 127.0.0.1 %d codec VM\n" % vm_port)
    simulators.append(sim)
    kernel, modules = find_kernel(args.guests)
    sim.start()
    print("ipmi_sim on %s (LAN) and :%d (QEMU's BMC connection), %s"
          % (sim.host, vm_port, folder))
    for guest in args.guests:
        initramfs = build_initramfs(args, guest, modules, folder)
        print("%s guest: kernel %s, initramfs %d KiB"
              % (guest["interface"], kernel, os.path.getsize(initramfs) // 1024))
        command = qemu_command(guest, kernel, initramfs, vm_port, args.shell)
        if args.shell:
            print("ipmitool -I lan -H 127.0.0.1 -p %d -U %s -f %s reaches the same BMC"
                  % (sim.port, simproc.USER, simproc.password_file(folder)))
            subprocess.run(command)
        else:
            run_and_check(checks, args, sim, guest, command, folder)


if __name__ == "__main__":
    parsed = simproc.arguments(
        __doc__,
        (["--build-dir"], dict(default="build", help="the build folder: orvane, the driver "
                                                     "module and the catalogue not named")),
        (["--interface"], dict(dest="interfaces", action="append",
                               choices=[g["interface"].lower() for g in GUESTS],
                               help="the guests to run: kcs (the default) and ssif, whose "
                                    "interface does not come up reliably under QEMU")),
        (["--shell"], dict(action="store_true",
                           help="console on the terminal and a shell in the guest after the run")))
    build = os.path.abspath(parsed.build_dir)
    parsed.orvane = os.path.abspath(parsed.orvane or os.path.join(build, "orvane"))
    parsed.driver = os.path.abspath(parsed.driver or
                                    os.path.join(build, "orvane-driver-freeipmi.so"))
    parsed.catalogue_dir = os.path.abspath(parsed.catalogue_dir or build)
    parsed.guests = [g for g in GUESTS if g["interface"].lower() in (parsed.interfaces or ["kcs"])]
    simproc.main("orvane-inband-", TOOLS, test, parsed, kernel_missing(parsed.guests))
