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
"""
import json
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simproc as sim  # noqa: E402

GOOD = 8
CHANGED = 3  # the BMC whose power supply serial number changes
# orvane over every host of the host file, LAN+ with the test's user; 4 s
# for the port where nothing answers.
FLEET = ["--user", sim.USER, "--interface", "lanplus", "--driver", "freeipmi",
         "--host-timeout", "4"]


def bmc_address(text, device_id):
    """The address object of a logical FRU device of the BMC at 20h."""
    return {"text": text, "nvs_type": 2, "lun": 0, "device_address": 32, "bus": 0,
            "controller": 32, "device_id": device_id}


def read_lines(path):
    """The JSON lines of a file orvane wrote."""
    with open(path) as lines:
        text = lines.read()
    sim.seen(text)
    return [json.loads(line) for line in text.splitlines()]


def check_inventory(checks, result, listed, bmcs, hosts):
    checks.run("inventory (some hosts failed)", result, 5,
               ["2 of %d hosts failed" % (GOOD + 2)])
    checks.equal("one JSON line per host", sorted(line["host"] for line in listed),
                 sorted(hosts["good"] + [hosts["wrong"], hosts["dead"]]))
    lines = {line["host"]: line for line in listed}
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
        checks.equal(key + " host: status, an error, no FRUs",
                     (line.get("status"), bool(line.get("error")), bool(line.get("frus"))),
                     (status, True, False))


def diff(orvane, before, after):
    result = orvane("diff", before, after, "--json")
    return result, [json.loads(line) for line in result.stdout.splitlines()]


def check_layout_diff(checks, orvane, root, lines, hosts):
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
    _, reported = diff(orvane, os.path.join(root, "before.jsonl"), path)
    got = {d["host"]: d for d in reported}
    checks.equal("layout diff: the hosts", sorted(got), sorted([first, hosts["dead"], "bmc-new"]))
    checks.equal("layout diff: hosts removed and added",
                 (got.get(hosts["dead"], {}).get("change"), got.get("bmc-new", {}).get("change")),
                 ("host removed", "host added"))
    changed = got.get(first, {})
    checks.equal("layout diff: FRUs removed", changed.get("frus_removed"),
                 [{"address": bmc_address("2:0:20:00:20:02", 2), "name": "Front Panel"}])
    checks.equal("layout diff: FRUs added", changed.get("frus_added"), [])
    checks.equal("layout diff: fields changed",
                 sorted((c["name"], c["field"]) for c in changed.get("fields_changed", [])),
                 [("BMC", "chassis.serial_number"), ("Power Supply", "board.serial_number"),
                  ("Satellite", "product.serial_number")])


def test(args, checks, root, bmcs):
    hosts_file, hosts = sim.start_fleet(root, GOOD, bmcs)
    env = sim.environment(ORVANE_IPMI_PRIVILEGE="admin", ORVANE_IPMI_STATS=None)
    orvane = sim.Runner(args.orvane, root)
    fleet = lambda *command: orvane("--hosts-file", hosts_file, "--password-file",
                                    sim.password_file(root), *FLEET, *command, env=env)
    before, after = os.path.join(root, "before.jsonl"), os.path.join(root, "after.jsonl")
    first = fleet("inventory", "--out", before)
    listed = read_lines(before)
    check_inventory(checks, first, listed, bmcs, hosts)

    # Hosts with the same FRU layout share one block of text.
    checks.run("text scan consolidates the hosts of one layout", fleet("scan"), 5,
               [",".join(group) + ":\n" for group in (hosts["good"][0::2], hosts["good"][1::2])])

    # Another power supply in BMC CHANGED: a new serial number, same address.
    bmc = bmcs[CHANGED]
    _, image, offsets = bmc.images["bmc1"]
    replacement = os.path.join(root, "replacement.bin")
    with open(replacement, "wb") as out:
        out.write(sim.with_field(image, offsets, "board", 2, "PSU-SN-99"))
    sim.ipmitool(bmc, "lan", "fru", "write", "1", replacement)
    fleet("inventory", "--out", after)
    read_lines(after)
    result, reported = diff(orvane, before, after)
    checks.equal("diff exit code (differences)", result.returncode, 1)
    checks.equal("diff names exactly the one field of the one host", reported, [{
        "host": hosts["good"][CHANGED], "change": "changed", "frus_added": [],
        "frus_removed": [], "fields_changed": [{
            "address": bmc_address("2:0:20:00:20:01", 1), "name": "Power Supply",
            "field": "board.serial_number", "old": bmc.system["bmc1"]["board"][2],
            "new": "PSU-SN-99"}]}])
    check_layout_diff(checks, orvane, root, {line["host"]: line for line in listed}, hosts)
    same = orvane("diff", before, before)
    checks.equal("diff of a snapshot with itself", (same.returncode, same.stdout), (0, ""))


if __name__ == "__main__":
    sim.main("orvane-fleet-", ["ipmi_sim", "ipmitool"], test, sim.arguments(__doc__))
