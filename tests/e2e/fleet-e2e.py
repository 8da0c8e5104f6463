#!/usr/bin/env python3
"""End-to-end test of orvane's fleet commands against OpenIPMI's ipmi_sim.

Starts 8 ipmi_sim instances on distinct loopback UDP ports, each with a system
of its own (other serial numbers, some without the front panel FRU), a ninth
that is asked with a wrong password, and names one port where nothing
answers. `orvane inventory` over a host file must give one JSON line per host,
name the two failures and exit with 5; text `scan` must consolidate hosts
with the same FRU layout. After `ipmitool fru write` changes the power
supply's board serial number of one BMC, `orvane diff` of two inventories
must name exactly that field of that host.

Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing).

With --start N (used by bench/fleet-bench.py) it only starts N simulators,
prints their host file's path and waits for a line on stdin.
"""
import argparse
import copy
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simproc as sim  # noqa: E402

GOOD = 8
DEAD_TIMEOUT = "4"  # seconds for the port where nothing answers
CHANGED = 3         # the BMC whose power supply serial number changes



def bmc_address(text, device_id):
    """The address object of a logical FRU device of the BMC at 20h."""
    return {"text": text, "nvs_type": 2, "lun": 0, "device_address": 32, "bus": 0,
            "controller": 32, "device_id": device_id}

def variant(index):
    """The system of BMC `index` and its SDR records: serial numbers of its
    own; odd BMCs have no front panel FRU."""
    system = copy.deepcopy(sim.SYSTEM)
    system["bmc0"]["chassis"][2] = "CH-SN-%04d" % index
    system["bmc1"]["board"][2] = "PSU-SN-%02d" % index
    system["sat0"]["product"][4] = "SM-SN-%03d" % index
    if index % 2:
        del system["bmc2"]
    records = [sim.mc_locator(1, 0x20, "BMC", 0x0B)]
    for number, key in enumerate(k for k in ("bmc1", "bmc2") if k in system):
        records.append(sim.fru_locator(2 + number, 0x20, system[key]["device"],
                                       system[key]["name"]))
    records.append(sim.mc_locator(5, 0x30, "Satellite", 0x08))
    return system, records


def start(root, count, bmcs, wrong=True):
    """Starts `count` BMCs with distinct systems (and one more for the wrong
    password), all at once, adding them to bmcs; returns the host file and
    the hosts by kind."""
    for index in range(count + (1 if wrong else 0)):
        bmcs.append(sim.Simulator(os.path.join(root, "bmc%02d" % index), *variant(index)))
        bmcs[-1].launch()
    for bmc in bmcs:
        if not bmc.ready():
            raise RuntimeError("ipmi_sim did not come up; see " + bmc.log.name)
    good = sim.password_file(root)
    lines = ["# the fleet of the test", "%s %s %s" % (bmcs[0].host, sim.USER, good)]
    lines += [bmc.host for bmc in bmcs[1:count]]
    hosts = {"good": [bmc.host for bmc in bmcs[:count]]}
    if wrong:
        bad = sim.password_file(root, "not-the-password", "wrong-password")
        dead = "127.0.0.1:%d" % sim.free_port()
        lines += ["%s %s %s" % (bmcs[count].host, sim.USER, bad), dead]
        hosts.update(wrong=bmcs[count].host, dead=dead)
    path = os.path.join(root, "hosts")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    return path, hosts


def orvane(args, *extra):
    env = dict(os.environ, ORVANE_IPMI_PRIVILEGE="admin")
    for name in ("ORVANE_IPMI_PASSWORD", "ORVANE_IPMI_HOST", "ORVANE_IPMI_DEBUG"):
        env.pop(name, None)
    return subprocess.run([args.orvane] + list(extra), capture_output=True, text=True,
                          env=env, timeout=120)


def fleet(args, root, hosts_file, *command):
    """orvane over every host of the host file, LAN+ with the test's user."""
    return orvane(args, "--hosts-file", hosts_file, "--user", sim.USER, "--password-file",
                  sim.password_file(root), "--interface", "lanplus", "--driver", "freeipmi",
                  "--host-timeout", DEAD_TIMEOUT, *command)


def inventory(args, root, hosts_file, name):
    out = os.path.join(root, name)
    result = fleet(args, root, hosts_file, "inventory", "--out", out)
    lines = []
    if os.path.exists(out):
        with open(out) as snapshot:
            lines = [json.loads(line) for line in snapshot]
    return result, out, {line["host"]: line for line in lines}, len(lines)


def check_inventory(checks, result, lines, count, bmcs, hosts):
    checks.equal("inventory exit code (some hosts failed)", result.returncode, 5)
    checks.equal("one JSON line per host", count, GOOD + 2)
    checks.equal("the hosts of the lines", sorted(lines),
                 sorted(hosts["good"] + [hosts["wrong"], hosts["dead"]]))
    for bmc, host in zip(bmcs, hosts["good"]):
        line = lines.get(host, {})
        checks.equal(host + " status", line.get("status"), "ok")
        frus = {fru["name"]: fru for fru in line.get("frus", [])}
        checks.equal(host + " FRU names", sorted(frus),
                     sorted(fru["name"] for fru in bmc.system.values()))
        fields = {f["name"]: f["value"] for area in frus.get("Power Supply", {}).get("areas", [])
                  for f in area.get("fields", [])}
        checks.equal(host + " power supply serial", fields.get("board.serial_number"),
                     bmc.system["bmc1"]["board"][2])
    for key, status in (("wrong", "failed"), ("dead", "timeout")):
        line = lines.get(hosts[key], {})
        checks.equal(key + " host status", line.get("status"), status)
        checks.true(key + " host: an error text", line.get("error"))
        checks.true(key + " host: no FRUs", not line.get("frus"))
    checks.true("the summary names the failures: " + result.stderr,
                "2 of %d hosts failed" % (GOOD + 2) in result.stderr)


def check_layout_diff(checks, args, root, lines, hosts):
    """A snapshot in which the first BMC holds the second's FRUs (no front
    panel, other serial numbers), the dead host is gone and a new one came."""
    first, second = hosts["good"][0], hosts["good"][1]
    edited = dict(lines)
    edited[first] = dict(lines[second], host=first)
    del edited[hosts["dead"]]
    edited["bmc-new"] = dict(lines[second], host="bmc-new")
    path = os.path.join(root, "edited.jsonl")
    with open(path, "w") as out:
        out.write("".join(json.dumps(line) + "\n" for line in edited.values()))
    result = orvane(args, "diff", os.path.join(root, "before.jsonl"), path, "--json")
    got = {d["host"]: d for d in map(json.loads, result.stdout.splitlines())}
    checks.equal("layout diff: the hosts", sorted(got), sorted([first, hosts["dead"], "bmc-new"]))
    checks.equal("layout diff: dead host removed", got.get(hosts["dead"], {}).get("change"),
                 "host removed")
    checks.equal("layout diff: new host", got.get("bmc-new", {}).get("change"), "host added")
    changed = got.get(first, {})
    checks.equal("layout diff: FRUs removed", changed.get("frus_removed"),
                 [{"address": bmc_address("2:0:20:00:20:02", 2), "name": "Front Panel"}])
    checks.equal("layout diff: FRUs added", changed.get("frus_added"), [])
    checks.equal("layout diff: fields changed",
                 sorted((c["name"], c["field"]) for c in changed.get("fields_changed", [])),
                 [("BMC", "chassis.serial_number"), ("Power Supply", "board.serial_number"),
                  ("Satellite", "product.serial_number")])


def test(args, checks, root, bmcs):
    hosts_file, hosts = start(root, GOOD, bmcs)
    first, old, lines, count = inventory(args, root, hosts_file, "before.jsonl")
    check_inventory(checks, first, lines, count, bmcs, hosts)

    # Hosts with the same FRU layout share one block of text.
    scan = fleet(args, root, hosts_file, "scan")
    checks.equal("text scan exit code", scan.returncode, 5)
    for group in (hosts["good"][0::2], hosts["good"][1::2]):
        checks.true("text scan consolidates %s: %s" % (group, scan.stdout),
                    (",".join(group) + ":\n") in scan.stdout)

    # Another power supply in BMC CHANGED: a new serial number, same address.
    bmc = bmcs[CHANGED]
    path, image, offsets = bmc.images["bmc1"]
    new_serial = "PSU-SN-99"
    replacement = os.path.join(root, "replacement.bin")
    with open(replacement, "wb") as out:
        out.write(sim.with_field(image, offsets, "board", 2, new_serial))
    sim.ipmitool(bmc, "lan", "fru", "write", "1", replacement)
    _, new, _, _ = inventory(args, root, hosts_file, "after.jsonl")
    diff = orvane(args, "diff", old, new, "--json")
    checks.equal("diff exit code (differences)", diff.returncode, 1)
    reported = [json.loads(line) for line in diff.stdout.splitlines()]
    checks.equal("diff names exactly the one field of the one host", reported, [{
        "host": hosts["good"][CHANGED], "change": "changed", "frus_added": [],
        "frus_removed": [], "fields_changed": [{
            "address": bmc_address("2:0:20:00:20:01", 1), "name": "Power Supply",
            "field": "board.serial_number", "old": bmc.system["bmc1"]["board"][2],
            "new": new_serial}]}])
    check_layout_diff(checks, args, root, lines, hosts)
    same = orvane(args, "diff", old, old)
    checks.equal("diff of a snapshot with itself", (same.returncode, same.stdout), (0, ""))

    everything = first.stdout + first.stderr + scan.stdout + scan.stderr + diff.stdout
    for name in ("before.jsonl", "after.jsonl"):
        with open(os.path.join(root, name)) as snapshot:
            everything += snapshot.read()
    checks.true("no password in any output",
                sim.PASSWORD not in everything and "not-the-password" not in everything)


def serve(count):
    """Starts `count` BMCs, prints the host file and the password file,
    and stops them when stdin ends or gives a line."""
    root = tempfile.mkdtemp(prefix="orvane-fleet-")
    bmcs = []
    try:
        hosts_file, _ = start(root, count, bmcs, wrong=False)
        print(hosts_file, sim.password_file(root), flush=True)
        sys.stdin.readline()
    finally:
        for bmc in bmcs:
            bmc.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--orvane")
    parser.add_argument("--start", type=int, metavar="N")
    parsed = parser.parse_args()
    if parsed.start:
        serve(parsed.start)
        sys.exit(0)
    sys.exit(sim.run("orvane-fleet-", sim.missing_tool(["ipmi_sim", "ipmitool"]),
                     lambda *rest: test(parsed, *rest)))
