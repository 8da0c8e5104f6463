#!/usr/bin/env python3
"""Starts OpenIPMI's ipmi_sim with the benchmark's system (or, with --system
test, the end-to-end tests' system), leaves it running and prints its
settings as shell assignments: the ORVANE_IPMI_* variables that reach it,
ORVANE_E2E_SIM_PID and ORVANE_E2E_FOLDER (used by ipmi-sim-bench.sh).

    eval "$(bench/ipmi-sim-system.py [--interface lan|lanplus] [--system bench|test])"
"""
import argparse
import os
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import simproc  # noqa: E402


def bench_system():
    """16 FRU devices of 280 to 288 bytes behind the BMC (images of 280
    bytes, the rest 0xFF) and one behind the satellite at 0x30; 17 SDR
    records (a controller locator each for the BMC and the satellite, a FRU
    locator for devices 1 to 15)."""
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


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--interface", default="lan", choices=["lan", "lanplus"])
    parser.add_argument("--system", default="bench", choices=["bench", "test"])
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="orvane-bench-")
    sim = simproc.Simulator(folder, *(bench_system() if args.system == "bench" else (None, None)))
    sim.start()
    env = simproc.environment(sim, args.interface)
    settings = {k: env[k] for k in sorted(env) if k.startswith("ORVANE_IPMI")}
    settings.update(ORVANE_E2E_SIM_PID=str(sim.process.pid), ORVANE_E2E_FOLDER=folder)
    for name, value in settings.items():
        print("export %s='%s'" % (name, value))
