#!/usr/bin/env python3
"""End-to-end test of the orvane command's BMC sessions against OpenIPMI's
ipmi_sim: the cipher suite chosen from what the simulator offers, refusals
before any session, least privilege per command, credential files, K_g.

The simulator has three accounts: "orvane" (administrator), "reader" (user
privilege only) and "writer" (operator). A second simulator has a BMC key
K_g (a `bmc_key` line in its LAN section), so LAN+ sessions to it need it.

Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing).
"""
import argparse
import json
import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simproc  # noqa: E402

KG = "kg-Secret7"
USERS = """\
user 3 true "reader" "{password}" user 10 md5
user 4 true "writer" "{password}" operator 10 md5
""".format(password=simproc.PASSWORD)
# ipmi_sim offers suites 0 to 14: the strongest of them that protects is 3.
CHOSEN = "cipher suite 3 (HMAC-SHA1, HMAC-SHA1-96, AES-CBC-128)"


def secret_file(folder, name, text, mode=0o600):
    path = os.path.join(folder, name)
    with open(path, "w") as out:
        out.write(text + "\n")
    os.chmod(path, mode)
    return path


class Runner:
    """Runs orvane against one simulator, each run in a folder of its own so
    that its debug log (DBGLOG.txt) can be read."""

    def __init__(self, args, folder):
        self.program = args.orvane
        self.folder = folder
        self.runs = 0
        self.everything = ""

    def __call__(self, sim, *args, user="reader", password_file=None, env=None, host=True):
        self.runs += 1
        cwd = os.path.join(self.folder, "run%02d" % self.runs)
        os.makedirs(cwd)
        environment = {k: v for k, v in os.environ.items()
                       if not k.startswith("ORVANE_IPMI") and k != "ORVANE_PASSWORD"}
        environment.update(ORVANE_IPMI_STATS="1", XDG_CACHE_HOME=os.path.join(cwd, "cache"))
        environment.update(env or {})
        command = [self.program, "--driver", "freeipmi", "--user", user, "--debug-level", "1",
                   "--backup-dir", os.path.join(cwd, "backups")]
        if host:
            command += ["--host", sim.host]
        if password_file is None:
            password_file = simproc.password_file(sim.folder)
        if password_file:
            command += ["--password-file", password_file]
        result = subprocess.run(command + list(args), capture_output=True, text=True,
                                env=environment, timeout=60, cwd=cwd)
        log_path = os.path.join(cwd, "DBGLOG.txt")
        result.log = ""
        if os.path.exists(log_path):
            with open(log_path, "rb") as raw:
                result.log = raw.read().decode("utf-16-le", errors="replace")
        # The module's statistics line tells whether it was loaded at all.
        result.loaded = "requests from the library" in result.stderr
        self.everything += result.stdout + result.stderr + result.log
        return result


def check_suite_and_privilege(checks, run, sim):
    """A read runs as user with the strongest suite the simulator offers;
    props shows the session, the debug log holds it."""
    props = run(sim, "props")
    checks.equal("props exit code: " + props.stderr, props.returncode, 0)
    checks.true("props shows the session: " + props.stdout,
                "BMC session: lanplus %s, %s, privilege user" % (sim.host, CHOSEN)
                in props.stdout)
    checks.true("the debug log names the suite: " + props.log,
                "Orvane::Driver - session opened: lanplus %s, %s" % (sim.host, CHOSEN)
                in props.log)
    scan = run(sim, "scan")
    checks.equal("scan as a user-only account: " + scan.stderr, scan.returncode, 0)
    checks.equal("scan lists every FRU", len(re.findall(r"(?m)^ +\d+ ", scan.stdout)), 4)
    checks.true("scan asks for user privilege: " + scan.log, "privilege user" in scan.log)
    named = run(sim, "props", "--cipher-suite", "17")
    checks.true("a suite the BMC does not offer is refused with a reason: " + named.stderr,
                named.returncode == 1 and "does not offer cipher suite 17 (HMAC-SHA256, "
                "HMAC-SHA256-128, AES-CBC-128); it offers 0, 1, 2, 3" in named.stderr)


def check_refused_before_session(checks, run, sim):
    """Weak suites and open password files are refused before the driver
    module is even loaded; --insecure lets them through with one warning."""
    weak = run(sim, "scan", "--cipher-suite", "0")
    checks.equal("--cipher-suite 0 exit code", weak.returncode, 3)
    checks.true("--cipher-suite 0 names the weakness: " + weak.stderr,
                "cipher suite 0 has no integrity or no encryption" in weak.stderr)
    checks.true("--cipher-suite 0 opens no session", not weak.loaded and not weak.log)
    allowed = run(sim, "props", "--cipher-suite", "0", "--insecure")
    checks.equal("--cipher-suite 0 --insecure: " + allowed.stderr, allowed.returncode, 0)
    checks.equal("--cipher-suite 0 --insecure warns once",
                 allowed.stderr.count("orvane: warning: "), 1)
    checks.true("props shows suite 0: " + allowed.stdout, "cipher suite 0 (" in allowed.stdout)
    world = secret_file(sim.folder, "password-world", simproc.PASSWORD, 0o644)
    shared = run(sim, "scan", password_file=world)
    checks.equal("a world-readable password file: " + shared.stderr, shared.returncode, 3)
    checks.true("the refusal names the file and its mode: " + shared.stderr,
                world in shared.stderr and "mode 0644" in shared.stderr)
    checks.true("a world-readable password file opens no session", not shared.loaded)
    lan = run(sim, "scan", "--interface", "lan")
    checks.equal("--interface lan: " + lan.stderr, lan.returncode, 0)
    checks.equal("--interface lan warns once that nothing is encrypted",
                 lan.stderr.count("orvane: warning: IPMI 1.5 LAN"), 1)
    clear = run(sim, "scan", "--interface", "lan", "--auth-type", "straight")
    checks.equal("--auth-type straight without --insecure", clear.returncode, 3)
    env = run(sim, "scan", password_file="", env={"ORVANE_PASSWORD": simproc.PASSWORD})
    checks.equal("the password from ORVANE_PASSWORD: " + env.stderr, env.returncode, 0)


def check_writes(checks, run, sim):
    """set --commit asks for operator: the writer account commits, the
    reader is refused with the missing privilege named (over IPMI 1.5, where
    ipmi_sim holds an account to its limit), and a fixed privilege below
    operator is refused before any session."""
    def change(serial):
        return ("set", "Power Supply", "board.serial_number", serial, "--commit")
    written = run(sim, *change("PSU-SN-43"), user="writer")
    checks.equal("set --commit as operator: " + written.stderr, written.returncode, 0)
    opened = re.findall(r"session opened: [^\n]*privilege (\w+)", written.log)
    checks.equal("set --commit asks for operator from the start", opened, ["operator"])
    scan = run(sim, "scan", "--interface", "lan")
    checks.equal("scan over IPMI 1.5 as a user-only account: " + scan.stderr, scan.returncode, 0)
    refused = run(sim, *change("PSU-SN-44"), "--interface", "lan", user="reader")
    checks.true("set --commit as a user-only account fails: %d" % refused.returncode,
                refused.returncode != 0)
    checks.true("the refusal names the missing privilege: " + refused.stderr,
                "operator privilege is missing" in refused.stderr)
    fixed = run(sim, *change("PSU-SN-45"), "--privilege", "user", user="writer")
    checks.equal("--privilege user with set --commit", fixed.returncode, 3)
    checks.true("--privilege user names what set --commit needs: " + fixed.stderr,
                "set --commit needs operator privilege" in fixed.stderr and not fixed.loaded)


def check_kg(checks, run, sim):
    """The simulator with a BMC key: the right K_g logs in, as text and as
    hex; a wrong one and none are refused with a reason."""
    text = secret_file(sim.folder, "kg", KG)
    hexed = secret_file(sim.folder, "kg-hex", "0x" + KG.encode().hex())
    wrong = secret_file(sim.folder, "kg-wrong", "not-the-key")
    for name, path in (("text", text), ("hex", hexed)):
        props = run(sim, "props", "--kg-file", path, user="orvane")
        checks.equal("K_g as %s: %s" % (name, props.stderr), props.returncode, 0)
        checks.true("props tells the session has K_g: " + props.stdout,
                    ", with K_g" in props.stdout)
    for name, extra, reason in (("a wrong K_g", ["--kg-file", wrong], "K_g is not the BMC's"),
                                ("no K_g", [], "asks for its key K_g")):
        refused = run(sim, "scan", *extra, user="orvane")
        checks.equal(name + " exit code", refused.returncode, 1)
        checks.true("%s is refused with a reason: %s" % (name, refused.stderr),
                    reason in refused.stderr)
    checks.true("the key stays out of the output and the log", KG not in run.everything)


def check_hosts_file(checks, run, sim, keyed):
    """A host file names a cipher suite for one BMC (17, which it does not
    offer) and the K_g file for the other: the first fails naming the suite,
    the second answers; only file paths reach the workers."""
    kg = secret_file(keyed.folder, "kg-fleet", KG)
    hosts = os.path.join(run.folder, "hosts")
    with open(hosts, "w") as out:
        out.write("%s - - 17\n%s orvane %s - %s\n"
                  % (sim.host, keyed.host, simproc.password_file(keyed.folder), kg))
    result = run(sim, "inventory", "--hosts-file", hosts, host=None)
    checks.equal("inventory: one host fails: " + result.stderr, result.returncode, 5)
    lines = {line["host"]: line for line in map(json.loads, result.stdout.splitlines())}
    first, second = lines.get(sim.host, {}), lines.get(keyed.host, {})
    checks.true("the host file's suite reaches its worker: %s" % first.get("error"),
                "does not offer cipher suite 17" in first.get("error", ""))
    checks.equal("the host file's K_g file reaches its worker: %s" % second.get("error"),
                 second.get("status"), "ok")


def check_raise(checks, args, sim):
    """A library host that names no privilege: its session starts at user,
    and the first write, which the simulator refuses for lack of privilege,
    reopens it at operator and goes through (what reads through Master
    Write-Read rely on too)."""
    if not args.host_program:
        return
    env = simproc.orvane_environment(sim, "lanplus")
    env.pop("ORVANE_IPMI_PRIVILEGE")
    cwd = os.path.join(sim.folder, "raise")
    os.makedirs(cwd)
    host = lambda *extra: subprocess.run([args.host_program] + list(extra), capture_output=True,
                                         text=True, env=env, timeout=60, cwd=cwd)
    loaded = host().stdout
    index = re.search(r"(?m)^FRU (\d+) .*name=Front Panel$", loaded)
    field = re.search(r"(?m)^    FIELD (\d+)\.(\d+) Product Version = B2$", loaded)
    checks.true("the host lists the front panel's version: " + loaded, index and field)
    if not (index and field):
        return
    os.remove(os.path.join(cwd, "DBGLOG.txt"))  # the load's session
    result = host("set", index.group(1), field.group(1), field.group(2), "B3")
    checks.true("a write raises the session: " + result.stdout, "COMMITTED" in result.stdout)
    with open(os.path.join(cwd, "DBGLOG.txt"), "rb") as raw:
        log = raw.read().decode("utf-16-le", errors="replace")
    checks.equal("the session rises from user to operator",
                 re.findall(r"session opened: [^\n]*privilege (\w+)", log), ["user", "operator"])


def test(args, checks, folder, simulators):
    run = Runner(args, folder)
    sim = simproc.Simulator(os.path.join(folder, "bmc"), extra_conf=USERS)
    simulators.append(sim)
    sim.start()
    keyed = simproc.Simulator(os.path.join(folder, "bmc-kg"), extra_conf=USERS,
                              lan_lines='  bmc_key "%s"\n' % KG)
    simulators.append(keyed)
    keyed.start()
    print("ipmi_sim on %s and, with K_g, on %s (%s)" % (sim.host, keyed.host, folder))
    check_suite_and_privilege(checks, run, sim)
    check_refused_before_session(checks, run, sim)
    check_writes(checks, run, sim)
    check_kg(checks, run, keyed)
    check_hosts_file(checks, run, sim, keyed)
    check_raise(checks, args, sim)
    checks.true("the password stays out of every output and log",
                simproc.PASSWORD not in run.everything)
    print("%d runs of orvane" % run.runs)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--orvane", required=True)
    parser.add_argument("--host-program", help="e2e-host, for a library host's session")
    parsed = parser.parse_args()
    why = simproc.missing_tool(["ipmi_sim", "ipmitool"])
    sys.exit(simproc.run("orvane-security-e2e-", why, lambda *rest: test(parsed, *rest)))
