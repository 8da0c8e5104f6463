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
Last, with an SDR repository that names only FRU device 1, `orvane scan` must
list the BMC's FRU 0 last, found without an SDR record, and `orvane show id:0`
give the fields `ipmitool fru print` shows for it.
"""
import json
import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simproc  # noqa: E402
from simproc import SYSTEM, environment  # noqa: E402


def internal_use(fru):
    """The internal use area as Orvane shows it (neither tool shows it)."""
    raw = bytes([1]) + fru["internal"]
    return " ".join("%02X" % b for b in raw + bytes(-len(raw) % 8))


def parse_orvane(output):
    """e2e-host's FRUs: position, SYSTEM key (by controller and device id),
    name and fields {title: (area.index, value)}."""
    frus = []
    for line in output.splitlines():
        m = re.match(r"FRU (\d+) type=\d+ lun=\d+ device=0x(\w+) bus=0x\w+ controller=0x\w+ "
                     r"id=(\d+) name=(.*)$", line)
        if m:
            address = (int(m.group(2), 16), int(m.group(3)))
            key = next((k for k, v in SYSTEM.items()
                        if (v["controller"], v["device"]) == address), None)
            frus.append(dict(index=int(m.group(1)), key=key, name=m.group(4), fields={}))
        m = re.match(r"    FIELD (\d+\.\d+) (.*?) = (.*)$", line)
        if m and frus:
            frus[-1]["fields"][m.group(2)] = (m.group(1), m.group(3))
    return frus


def parse_ipmi_fru(output):
    return dict(m.groups() for m in
                re.finditer(r"(?m)^[ \t]+(FRU [^:\n]+): [ \t]*(.*?)[ \t]*$", output))


def value_of(frus, key, title):
    """A field's value of a SYSTEM entry's FRU in parse_orvane's list."""
    fields = next((f["fields"] for f in frus if f["key"] == key), {})
    return fields.get(title, (None, None))[1]


def fetches(result):
    """The SDR repository fetches the module's statistics line reports."""
    m = re.search(r"\((\d+) repository fetches\)", result.stderr)
    return int(m.group(1)) if m else None


def check_load(checks, host, sim, interface):
    """One load through e2e-host: every FRU, every field as the images hold
    it and as ipmi-fru reads the image files."""
    result = host(env=environment(sim, interface))
    what = "Orvane over " + interface
    checks.equal(what + " exit code", result.returncode, 0)
    failures = [line for line in result.stderr.splitlines()
                if "orvane-driver-freeipmi" in line and simproc.LOADED not in line]
    checks.true("%s: stderr has failure lines: %s" % (what, failures), not failures)
    frus = parse_orvane(result.stdout)
    checks.equal(what + " FRU names", sorted(f["name"] for f in frus),
                 sorted(f["name"] for f in SYSTEM.values()))
    for fru in frus:
        key = fru["key"]
        checks.true("%s: FRU %s at an unexpected address" % (what, fru["name"]), key)
        if not key:
            continue
        checks.equal("%s FRU %s name" % (what, key), fru["name"], SYSTEM[key]["name"])
        if "internal" in SYSTEM[key]:
            checks.equal("%s FRU %s internal use area" % (what, key),
                         value_of(frus, key, simproc.INTERNAL_TITLE), internal_use(SYSTEM[key]))
        tool = subprocess.run(["ipmi-fru", "--fru-file=" + sim.images[key][0]],
                              capture_output=True, text=True, timeout=30)
        simproc.compare_with_tool(checks, "%s vs ipmi-fru FRU %s" % (what, key), fru["fields"],
                                  parse_ipmi_fru(tool.stdout), 1)
    return frus, result


def check_commit(checks, host, sim, interface, frus, key, manufacturer, serial):
    """Commits a new board manufacturer and product serial number of one FRU
    and checks the simulator's bytes and the next load in the same process."""
    what = "commit over %s of FRU %s" % (interface, key)
    fru = next((f for f in frus if f["key"] == key), None)
    checks.true(what + ": FRU not loaded", fru)
    if not fru:
        return
    changes = [("Board Manufacturer", "Board Mfg", "board", 0, manufacturer),
               ("Product Serial Number", "Product Serial", "product", 4, serial)]
    request = [part for title, *_, value in changes
               for part in fru["fields"][title][0].split(".") + [value]]
    result = host("set", str(fru["index"]), *request, env=environment(sim, interface))
    first, _, reloaded = result.stdout.partition("\n")
    checks.equal(what + " output", first.strip(), "COMMITTED")
    for title, *_, value in changes:
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
                            env=environment(sim, "lanplus"), cwd=sim.folder)
    try:
        before = []
        for line in host.stdout:
            if line.strip() == "WAITING":
                break
            before.append(line)
        simproc.ipmitool(sim, "lan", "fru", "write", "2", written)
        after, _ = host.communicate("go\n", timeout=60)
    finally:
        if host.poll() is None:
            host.kill()
    simproc.seen("".join(before) + after)
    checks.equal("before ipmitool fru write",
                 value_of(parse_orvane("".join(before)), "bmc2", "Product Name"), "Front Panel")
    checks.equal("a load in the same process after ipmitool fru write",
                 value_of(parse_orvane(after), "bmc2", "Product Name"), "Front Pa9el")
    sim.images["bmc2"] = (path, changed, offsets)


def check_sdr_added(checks, host, sim):
    """A record added to the repository between two loads: the second load
    fetches the repository again and finds the new FRU locator."""
    host(env=environment(sim))  # the cache file holds the repository now
    sim.stop()
    sim.records = sim.records + [simproc.fru_locator(6, 0x20, 2, "Panel Twin")]
    sim.start(sim.port)
    result = host(env=environment(sim))
    names = [f["name"] for f in parse_orvane(result.stdout)]
    checks.equal("after an SDR was added, the repository is fetched again", fetches(result), 1)
    checks.true("after an SDR was added, its FRU is read: %s" % names, "Panel Twin" in names)


def check_fru0_without_locator(checks, args, sim, folder):
    sim.stop()
    sim.records = [simproc.fru_locator(1, 0x20, 1, "Power Supply")]
    sim.start(sim.port)
    runner = simproc.Runner(args.orvane, folder)
    orvane = lambda *command: runner(*command, env=environment(sim))
    checks.run("scan: the located device first, FRU 0 last without an SDR record",
               orvane("scan"), 0,
               [re.compile(r"(?m)^  0  id:1 .*Power Supply"),
                re.compile(r"(?m)^  1  id:0 .*2:0:20:FF:20:00.*\(no SDR record\)$")])
    checks.run("props keeps the library's count", orvane("props"), 0, ["Number of FRUs: 1\n"])
    show = orvane("show", "id:0", "--json")
    checks.run("show id:0", show, 0)
    if show.returncode == 0:
        simproc.compare_with_tool(checks, "orvane show id:0 vs ipmitool fru print",
                                  simproc.json_fields(json.loads(show.stdout)["frus"][0]),
                                  simproc.ipmitool_print(sim)["Builtin FRU Device"], 0)


def test(args, checks, folder, simulators):
    sim = simproc.Simulator(folder)
    simulators.append(sim)
    sim.start()
    print("ipmi_sim on %s (%s)" % (sim.host, folder))
    host = simproc.Runner(args.host_program, folder)
    frus, cold = check_load(checks, host, sim, "lan")
    plus, _ = check_load(checks, host, sim, "lanplus")
    warm_frus, warm = check_load(checks, host, sim, "lan")
    same = lambda loaded: [(f["name"], f["fields"]) for f in loaded]
    checks.equal("the same FRUs over lan and lanplus", same(plus), same(frus))
    checks.equal("the same FRUs with a warm SDR cache", same(warm_frus), same(frus))
    checks.equal("a cold load fetches the SDR repository", fetches(cold), 1)
    checks.equal("a warm load takes the records from the cache file", fetches(warm), 0)
    printed = simproc.ipmitool_print(sim)
    for fru in frus:
        if fru["key"]:
            simproc.compare_with_tool(
                checks, "Orvane vs ipmitool FRU " + fru["key"], fru["fields"],
                printed.get(simproc.ipmitool_name(SYSTEM[fru["key"]]), {}), 0)

    # The BMC's own FRU directly, the satellite's through Send Message.
    check_commit(checks, host, sim, "lan", frus, "bmc0", "Zeta", "PS-7342")
    check_commit(checks, host, sim, "lanplus", frus, "sat0", "Orb Inc", "SM-SN-12")
    check_tool_write_between_loads(checks, args, sim)
    # A wrong password: no FRUs, the module's reason in the library's debug log.
    wrong = simproc.password_file(folder, simproc.WRONG_PASSWORD, "wrong-password")
    checks.run("a wrong password", host(env=environment(sim, "lanplus",
                                                         ORVANE_IPMI_PASSWORD_FILE=wrong)),
               0, ["FRUS present=0 loaded=0", "Orvane::Driver - cannot open the IPMI session"])
    # Last, as they restart the simulator with its original images.
    check_sdr_added(checks, host, sim)
    check_fru0_without_locator(checks, args, sim, folder)


if __name__ == "__main__":
    simproc.main("orvane-e2e-", ["ipmi_sim", "ipmitool", "ipmi-fru"], test,
                 simproc.arguments(__doc__))
