#!/usr/bin/env python3
"""End-to-end test of the BMC's FRU 0 when the SDR repository holds no
locator for it: ipmi_sim serves the BMC's FRU device 0 and a logical FRU
device 1, but its SDR names only device 1. `orvane scan` over LAN must list
FRU 0 last, marked as found without an SDR record, and `orvane show id:0`
must give the fields that `ipmitool fru print 0` shows.
"""
import json
import os
import re
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simproc  # noqa: E402
from simproc import SYSTEM, ipmitool  # noqa: E402


def test(args, checks, folder, simulators):
    system = {key: SYSTEM[key] for key in ("bmc0", "bmc1")}
    sim = simproc.Simulator(folder, system, [simproc.fru_locator(1, 0x20, 1, "Power Supply")])
    simulators.append(sim)
    sim.start()
    runner = simproc.Runner(args.orvane, folder)
    orvane = lambda *command: runner(*command, env=simproc.environment(sim))
    checks.run("scan: the located device first, FRU 0 last without an SDR record",
               orvane("scan"), 0,
               [re.compile(r"(?m)^  0  id:1 .*Power Supply"),
                re.compile(r"(?m)^  1  id:0 .*2:0:20:FF:20:00.*\(no SDR record\)$")])
    checks.run("props keeps the library's count", orvane("props"), 0, ["Number of FRUs: 1\n"])
    show = orvane("show", "id:0", "--json")
    checks.run("show id:0", show, 0)
    if show.returncode != 0:
        return
    # `fru print 0` prints the fields alone; `fru print` names the device too.
    named = simproc.parse_ipmitool(ipmitool(sim, "lan", "fru", "print").stdout)
    checks.true("ipmitool names FRU 0 the builtin FRU device: %s" % list(named),
                "Builtin FRU Device" in named)
    one = "FRU Device Description : FRU 0\n" + ipmitool(sim, "lan", "fru", "print", "0").stdout
    simproc.compare_with_tool(checks, "orvane show id:0 vs ipmitool fru print 0",
                              simproc.json_fields(json.loads(show.stdout)["frus"][0]),
                              simproc.parse_ipmitool(one)["FRU 0"], 0)


if __name__ == "__main__":
    simproc.main("orvane-fru0-e2e-", ["ipmi_sim", "ipmitool"], test, simproc.arguments(__doc__))
