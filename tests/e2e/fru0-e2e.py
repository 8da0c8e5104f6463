#!/usr/bin/env python3
"""End-to-end test of the BMC's FRU 0 when the SDR repository holds no
locator for it: ipmi_sim serves the BMC's FRU device 0 and a logical FRU
device 1, but its SDR names only device 1. `orvane scan` over LAN must list
FRU 0 last, marked as found without an SDR record, and `orvane show id:0`
must give the fields that `ipmitool fru print 0` shows.

Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing).
"""
import argparse
import json
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simproc  # noqa: E402
from simproc import SYSTEM, Simulator, ipmitool, orvane_environment  # noqa: E402


def orvane(args, sim, *command):
    return subprocess.run([args.orvane, *command], capture_output=True, text=True, timeout=60,
                          env=orvane_environment(sim, "lan"))


def fields_of(show):
    """{title: (name, the library's string)} of the one FRU of `show --json`,
    the strings ipmitool prints too."""
    fru = json.loads(show)["frus"][0]
    return {f["title"]: (f["name"], f.get("library_value", f["value"]))
            for area in fru["areas"] for f in area.get("fields", [])}


def test(args, checks, folder, simulators):
    system = {key: SYSTEM[key] for key in ("bmc0", "bmc1")}
    records = [simproc.fru_locator(1, 0x20, 1, "Power Supply")]
    sim = Simulator(folder, system, records)
    simulators.append(sim)
    sim.start()
    scan = orvane(args, sim, "scan")
    checks.equal("scan exit code (%s)" % scan.stderr.strip(), scan.returncode, 0)
    lines = scan.stdout.splitlines()
    checks.true("scan lists the located device first: %s" % lines,
                any(l.startswith("  0  id:1 ") and "Power Supply" in l for l in lines))
    checks.true("scan lists FRU 0 last, without an SDR record: %s" % lines,
                any(l.startswith("  1  id:0 ") and "2:0:20:FF:20:00" in l and
                    l.endswith("(no SDR record)") for l in lines))
    show = orvane(args, sim, "show", "id:0", "--json")
    checks.equal("show id:0 exit code (%s)" % show.stderr.strip(), show.returncode, 0)
    if show.returncode != 0:
        return
    # `fru print 0` prints the fields alone; `fru print` names the device too.
    named = simproc.parse_ipmitool(ipmitool(sim, "lan", "fru", "print").stdout)
    checks.true("ipmitool names FRU 0 the builtin FRU device: %s" % list(named),
                "Builtin FRU Device" in named)
    one = "FRU Device Description : FRU 0\n" + ipmitool(sim, "lan", "fru", "print", "0").stdout
    simproc.compare_with_tool(checks, "orvane show id:0 vs ipmitool fru print 0",
                              fields_of(show.stdout), simproc.parse_ipmitool(one)["FRU 0"], 0)
    props = orvane(args, sim, "props")
    checks.true("props keeps the library's count: %s" % props.stdout,
                "Number of FRUs: 1\n" in props.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--orvane", required=True)
    parsed = parser.parse_args()
    why = simproc.missing_tool(["ipmi_sim", "ipmitool"])
    sys.exit(simproc.run("orvane-fru0-e2e-", why, lambda *rest: test(parsed, *rest)))
