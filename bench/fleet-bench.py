#!/usr/bin/env python3
"""Fleet benchmark: `orvane --json scan` over 32 simulated BMCs (ipmi_sim on
loopback, LAN+) at fanout 1, 8 and 32; prints the wall time of each and the
speed-up over fanout 1.

    bench/fleet-bench.py BUILD-DIR [BMCS] [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import simproc  # noqa: E402


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 32
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    if not shutil.which("ipmi_sim") or not shutil.which("ipmitool"):
        print("ipmi_sim or ipmitool not found (Debian packages openipmi, ipmitool)")
        return 77
    root = tempfile.mkdtemp(prefix="orvane-fleet-")
    bmcs = []
    try:
        hosts, _ = simproc.start_fleet(root, count, bmcs, wrong=False)
        password = simproc.password_file(root)
        env = dict(os.environ, ORVANE_DATA_DIR=build, ORVANE_IPMI_PRIVILEGE="admin")
        command = [os.path.join(build, "orvane"), "--hosts-file", hosts, "--user", "orvane",
                   "--password-file", password, "--interface", "lanplus",
                   "--driver", "freeipmi", "--json"]
        print("%d BMCs, %d runs each, median wall time (%d cores, load average %.1f)"
              % (count, runs, os.cpu_count(), os.getloadavg()[0]))
        base = None
        for fanout in (1, 8, 32):
            times = []
            for _ in range(runs):
                start = time.monotonic()
                result = subprocess.run(command + ["--fanout", str(fanout), "scan"], env=env,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                times.append(time.monotonic() - start)
                lines = result.stdout.decode().splitlines()
                if result.returncode != 0 or len(lines) != count:
                    print("fanout %d: exit code %d, %d lines" % (fanout, result.returncode,
                                                                 len(lines)))
                    return 1
            median = statistics.median(times)
            base = base or median
            print("fanout %2d: %6.2f s  speed-up %4.1f  (%.3f s a BMC)"
                  % (fanout, median, base / median, median / count))
    finally:
        for bmc in bmcs:
            bmc.stop()
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
