#!/usr/bin/env python3
"""End-to-end test of the freeipmi driver module against OpenIPMI's ipmi_sim.

Generates a managed system (a BMC at 0x20 with three logical FRU devices, a
satellite controller at 0x30 with its FRU device 0, an SDR repository of
IPMI 1.5 records), starts ipmi_sim on a free loopback UDP port, loads the
system through Orvane over LAN and LAN+, compares every field with ipmi-fru
(on the image files) and `ipmitool fru print`, commits two changed fields
through Orvane and checks the simulator's bytes with `ipmitool fru read`.
The freeipmi module's read-ahead and SDR caches are on throughout (the SDR
cache file lives in the test's folder): a warm load must equal a cold one, a
load in the same process after a commit or after `ipmitool fru write` must
see the new bytes, and an SDR record added between two loads must be read.

Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing).
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simproc  # noqa: E402
from simproc import SYSTEM, Simulator, ipmitool, orvane_environment  # noqa: E402


def bench_system():
    """The benchmark's system: 16 FRU devices of 280 to 288 bytes behind the
    BMC (images of 280 bytes, the rest 0xFF) and one behind the satellite at
    0x30; 17 SDR records (a controller locator each for the BMC and the
    satellite, a FRU locator for devices 1 to 15)."""
    system = {}
    for device in range(17):
        satellite = device == 16
        tag = "%02d" % device
        board = simproc.info_area([1, 0, 0, 0x10, 0x2F, 0x0C],
                                  ["Bench Board Works Ltd", "Bench Board Model " + tag,
                                   "BSN-2026-00" + tag, "BPN-4242-" + tag, "FRU-B" + tag], 104)
        product = simproc.info_area([1, 0, 0],
                                    ["Bench Product Company", "Bench Product " + tag,
                                     "PPN-77-" + tag, "Rev 1." + tag, "PSN-9000-" + tag,
                                     "ASSET-" + tag, "FRU-P" + tag], 112)
        chassis = simproc.info_area([1, 0, 0x17], ["CPN-100-" + tag, "CSN-200-" + tag], 56)
        header = bytearray([1, 0, 1, 8, 21, 0, 0, 0])
        header[7] = simproc.checksum(header[:7])
        image = bytes(header) + chassis + board + product
        size = len(image) + (0 if satellite else device % 9)
        system["sat0" if satellite else "bmc%d" % device] = dict(
            controller=0x30 if satellite else 0x20, device=0 if satellite else device,
            name="Satellite" if satellite else ("BMC" if device == 0 else "FRU " + tag),
            raw=image + b"\xff" * (size - len(image)))
    records = [simproc.mc_locator(1, 0x20, "BMC", 0x0B)]
    records += [simproc.fru_locator(1 + device, 0x20, device, "FRU %02d" % device)
                for device in range(1, 16)]
    records.append(simproc.mc_locator(17, 0x30, "Satellite", 0x08))
    return system, records


# Orvane's titles of the generated areas' fields, in image order (the chassis
# type and the date are compared with the tools only).
TITLES = {
    "chassis": ["Chassis Part Number", "Chassis Serial Number"],
    "board": ["Board Manufacturer", "Board Product Name", "Board Serial Number",
              "Board Part Number", "Board FRU File ID"],
    "product": ["Product Manufacturer", "Product Name", "Product Part/Model Number",
                "Product Version", "Product Serial Number", "Product Asset Tag",
                "Product FRU File ID"],
}


def expected_fields(fru):
    """Orvane's titles with the values the generated images hold."""
    expected = {}
    if "internal" in fru:
        raw = bytes([1]) + fru["internal"]
        raw += bytes(-len(raw) % 8)
        expected[simproc.INTERNAL_TITLE] = " ".join("%02X" % b for b in raw)
    for area, titles in TITLES.items():
        values = fru.get(area, [])[1:] if area == "chassis" else fru.get(area, [])
        expected.update(zip(titles, values))
    return expected


def parse_orvane(output):
    """FRUs as printed by e2e-host: a list of dicts with the address, the
    name and the fields {title: (area.index, value)}."""
    frus = []
    for line in output.splitlines():
        m = re.match(r"FRU (\d+) type=(\d+) lun=(\d+) device=0x(\w+) bus=0x(\w+) "
                     r"controller=0x(\w+) id=(\d+) name=(.*)$", line)
        if m:
            frus.append(dict(index=int(m.group(1)), device=int(m.group(4), 16),
                             id=int(m.group(7)), name=m.group(8), fields={}))
            continue
        m = re.match(r"    FIELD (\d+\.\d+) (.*?) = (.*)$", line)
        if m and frus:
            frus[-1]["fields"][m.group(2)] = (m.group(1), m.group(3))
    return frus


def parse_ipmi_fru(output):
    return dict(m.groups() for m in
                re.finditer(r"(?m)^[ \t]+(FRU [^:\n]+): [ \t]*(.*?)[ \t]*$", output))


def system_key(fru):
    """The SYSTEM entry of a FRU Orvane found: its device address is the
    controller's (for a logical device and for a controller's device 0 alike)
    and its device id the FRU device id."""
    return next((key for key, expected in SYSTEM.items()
                 if (fru["device"], fru["id"]) == (expected["controller"], expected["device"])),
                None)


def value_of(frus, key, title):
    """A field's value of the FRU of a SYSTEM entry in a list parse_orvane gave."""
    fields = next((f["fields"] for f in frus if system_key(f) == key), {})
    return fields.get(title, (None, None))[1]


def run_host(args, sim, interface, *extra, env=None, cwd=None):
    result = subprocess.run([args.host_program] + list(extra), capture_output=True, text=True,
                            env=env or orvane_environment(sim, interface), timeout=60, cwd=cwd)
    if simproc.PASSWORD in result.stdout + result.stderr:
        raise RuntimeError("the password appears in the output of e2e-host")
    return result


def fetches(result):
    """The SDR repository fetches the module's statistics line reports."""
    m = re.search(r"\((\d+) repository fetches\)", result.stderr)
    return int(m.group(1)) if m else None


def check_load(checks, args, sim, interface):
    """One load through e2e-host: every FRU, every field as the images hold
    it and as ipmi-fru reads the image files."""
    result = run_host(args, sim, interface)
    what = "Orvane over " + interface
    checks.equal(what + " exit code", result.returncode, 0)
    failures = [line for line in result.stderr.splitlines()
                if "orvane-driver-freeipmi" in line and "requests from the library" not in line]
    checks.true("%s: stderr has failure lines: %s" % (what, failures), not failures)
    frus = parse_orvane(result.stdout)
    checks.equal(what + " FRU names", sorted(f["name"] for f in frus),
                 sorted(f["name"] for f in SYSTEM.values()))
    for fru in frus:
        key = system_key(fru)
        checks.true("%s: FRU %s at an unexpected address" % (what, fru["name"]), key is not None)
        if key is None:
            continue
        checks.equal("%s FRU %s name" % (what, key), fru["name"], SYSTEM[key]["name"])
        for title, value in expected_fields(SYSTEM[key]).items():
            checks.equal("%s FRU %s %s" % (what, key, title),
                         fru["fields"].get(title, (None, None))[1], value)
        tool = subprocess.run(["ipmi-fru", "--fru-file=" + sim.images[key][0]],
                              capture_output=True, text=True, timeout=30)
        simproc.compare_with_tool(checks, "%s vs ipmi-fru FRU %s" % (what, key), fru["fields"],
                                  parse_ipmi_fru(tool.stdout), 1)
    return frus, result


def check_commit(checks, args, sim, interface, frus, key, manufacturer, serial):
    """Commits a new board manufacturer and product serial number of one FRU
    and checks the simulator's bytes."""
    what = "commit over %s of FRU %s" % (interface, key)
    fru = next((f for f in frus if system_key(f) == key), None)
    checks.true(what + ": FRU not loaded", fru is not None)
    if fru is None:
        return
    changes = [("Board Manufacturer", "Board Mfg", "board", 0, manufacturer),
               ("Product Serial Number", "Product Serial", "product", 4, serial)]
    request = [part for title, _, _, _, value in changes
               for part in fru["fields"][title][0].split(".") + [value]]
    result = run_host(args, sim, interface, "set", str(fru["index"]), *request)
    first, _, reloaded = result.stdout.partition("\n")
    checks.equal(what + " output", first.strip(), "COMMITTED")
    for title, _, _, _, value in changes:
        # The same process loads again: the new bytes, not the ones it read before.
        checks.equal("%s: the next load in the process, %s" % (what, title),
                     value_of(parse_orvane(reloaded), key, title), value)
    simproc.check_committed(checks, sim, what, key, [change[1:] for change in changes])


def check_tool_write_between_loads(checks, args, sim):
    """One process loads, `ipmitool fru write` changes a device, the same
    process loads again and must show the change."""
    path, image, offsets = sim.images["bmc2"]
    changed = simproc.with_field(image, offsets, "product", 1, "Front Pa9el")
    written = os.path.join(sim.folder, "bmc2-written.bin")
    with open(written, "wb") as out:
        out.write(changed)
    host = subprocess.Popen([args.host_program, "wait"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env=orvane_environment(sim, "lanplus"))
    try:
        before = []
        for line in host.stdout:
            if line.strip() == "WAITING":
                break
            before.append(line)
        ipmitool(sim, "lan", "fru", "write", "2", written)
        after, _ = host.communicate("go\n", timeout=60)
    finally:
        if host.poll() is None:
            host.kill()
    checks.equal("before ipmitool fru write",
                 value_of(parse_orvane("".join(before)), "bmc2", "Product Name"), "Front Panel")
    checks.equal("a load in the same process after ipmitool fru write",
                 value_of(parse_orvane(after), "bmc2", "Product Name"), "Front Pa9el")
    sim.images["bmc2"] = (path, changed, offsets)


def check_wrong_password(checks, args, sim):
    """No FRUs, the module's reason in the library's debug log (level 1,
    DBGLOG.txt in the host's folder), and no password anywhere."""
    env = orvane_environment(sim, "lanplus")
    env["ORVANE_IPMI_PASSWORD_FILE"] = simproc.password_file(sim.folder, "not-the-password",
                                                             "wrong-password")
    log_folder = os.path.join(sim.folder, "wrong-password-run")
    os.makedirs(log_folder, exist_ok=True)
    wrong = run_host(args, sim, "lanplus", env=env, cwd=log_folder)
    log_path = os.path.join(log_folder, "DBGLOG.txt")
    log = ""
    if os.path.exists(log_path):
        with open(log_path, "rb") as raw:
            log = raw.read().decode("utf-16-le", errors="replace")
    checks.true("a wrong password loads no FRU: " + wrong.stdout.strip(),
                "FRUS present=0 loaded=0" in wrong.stdout)
    checks.true("a wrong password gives a reason in the debug log: " + log.strip(),
                "Orvane::Driver - cannot open the IPMI session" in log)
    checks.true("the wrong password stays out of the output and the log",
                "not-the-password" not in wrong.stdout + wrong.stderr + log)


def check_sdr_added(checks, args, sim):
    """A record added to the repository between two loads: the second load
    fetches the repository again and finds the new FRU locator."""
    run_host(args, sim, "lan")  # the cache file holds the repository now
    sim.stop()
    sim.records = sim.records + [simproc.fru_locator(6, 0x20, 2, "Panel Twin")]
    sim.start(sim.port)
    result = run_host(args, sim, "lan")
    names = [f["name"] for f in parse_orvane(result.stdout)]
    checks.equal("after an SDR was added, the repository is fetched again", fetches(result), 1)
    checks.true("after an SDR was added, its FRU is read: %s" % names, "Panel Twin" in names)


def test(args, checks, folder, simulators):
    sim = Simulator(folder)
    simulators.append(sim)
    sim.start()
    print("ipmi_sim on %s (%s)" % (sim.host, folder))
    frus, cold = check_load(checks, args, sim, "lan")
    plus, _ = check_load(checks, args, sim, "lanplus")
    warm_frus, warm = check_load(checks, args, sim, "lan")
    same = lambda loaded: [(f["name"], f["fields"]) for f in loaded]
    checks.equal("the same FRUs over lan and lanplus", same(plus), same(frus))
    checks.equal("the same FRUs with a warm SDR cache", same(warm_frus), same(frus))
    checks.equal("a cold load fetches the SDR repository", fetches(cold), 1)
    checks.equal("a warm load takes the records from the cache file", fetches(warm), 0)

    printed = simproc.ipmitool_print(sim)
    for fru in frus:
        key = system_key(fru)
        if key:
            simproc.compare_with_tool(checks, "Orvane vs ipmitool FRU " + key, fru["fields"],
                                      printed.get(simproc.ipmitool_name(SYSTEM[key]), {}), 0)

    # The BMC's own FRU directly, the satellite's through Send Message.
    check_commit(checks, args, sim, "lan", frus, "bmc0", "Zeta", "PS-7342")
    check_commit(checks, args, sim, "lanplus", frus, "sat0", "Orb Inc", "SM-SN-12")
    after = parse_orvane(run_host(args, sim, "lan").stdout)
    checks.equal("Orvane reads the committed manufacturer",
                 value_of(after, "bmc0", "Board Manufacturer"), "Zeta")
    checks.equal("Orvane reads the committed serial",
                 value_of(after, "sat0", "Product Serial Number"), "SM-SN-12")
    check_tool_write_between_loads(checks, args, sim)
    check_wrong_password(checks, args, sim)
    # Last, as it restarts the simulator with its original images.
    check_sdr_added(checks, args, sim)


def hand_run(args):
    """Starts the simulator and leaves it running; prints its settings, as
    shell assignments with --shell."""
    folder = tempfile.mkdtemp(prefix="orvane-e2e-")
    sim = Simulator(folder, *(bench_system() if args.system == "bench" else (None, None)))
    sim.start()
    env = orvane_environment(sim, args.hand_run)
    settings = {k: env[k] for k in sorted(env) if k.startswith("ORVANE_IPMI")}
    settings.update(ORVANE_E2E_SIM_PID=str(sim.process.pid), ORVANE_E2E_FOLDER=folder)
    for name, value in settings.items():
        print(("export %s='%s'" if args.shell else "%s=%s") % (name, value))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--host-program")
    parser.add_argument("--hand-run", metavar="INTERFACE",
                        help="only start the simulator and leave it running")
    parser.add_argument("--shell", action="store_true")
    parser.add_argument("--system", choices=["test", "bench"], default="test",
                        help="with --hand-run: the system to simulate")
    parsed = parser.parse_args()
    if parsed.hand_run:
        hand_run(parsed)
    else:
        why = simproc.missing_tool(["ipmi_sim", "ipmitool", "ipmi-fru"])
        sys.exit(simproc.run("orvane-e2e-", why, lambda *rest: test(parsed, *rest)))
