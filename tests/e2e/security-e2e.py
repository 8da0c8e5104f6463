#!/usr/bin/env python3
"""End-to-end test of the orvane command's BMC sessions against OpenIPMI's
ipmi_sim: the cipher suite chosen from what the simulator offers, refusals
before any session, least privilege per command, credential files, K_g.

The simulator has three accounts: "orvane" (administrator), "reader" (user
privilege only) and "writer" (operator). A second simulator has a BMC key
K_g (a `bmc_key` line in its LAN section), so LAN+ sessions to it need it.
"""
import json
import os
import re
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simproc  # noqa: E402

KG = "kg-Secret7"
simproc.SECRETS.append(KG)
USERS = """\
user 3 true "reader" "{password}" user 10 md5
user 4 true "writer" "{password}" operator 10 md5
""".format(password=simproc.PASSWORD)
# ipmi_sim offers suites 0 to 14: the strongest of them that protects is 3.
CHOSEN = "cipher suite 3 (HMAC-SHA1, HMAC-SHA1-96, AES-CBC-128)"
SET = ("set", "Power Supply", "board.serial_number")
OPENED = re.compile(r"session opened: [^\n]*privilege (\w+)")


def opened(level):
    return re.compile(r"session opened: [^\n]*privilege " + level)


# The runs: what, orvane's arguments, the run's settings (user: the account,
# else reader; password_file: "" for none; env; sim: "kg" for the simulator
# with K_g), the exit code and texts of the output and debug log (a (text,
# times) pair counts them). "{name}" is the host or one of the test's files.
# The refusals before any session are the command's unit tests'.
RUNS = [
    # A read runs as user with the strongest suite the simulator offers.
    ("props shows the session", ["props"], {}, 0,
     ["BMC session: lanplus {host}, %s, privilege user" % CHOSEN,
      "Orvane::Driver - session opened: lanplus {host}, %s" % CHOSEN]),
    ("scan as a user-only account lists every FRU", ["scan"], {}, 0,
     [(re.compile(r"(?m)^ +\d+ "), 4), "privilege user"]),
    ("a suite the BMC does not offer", ["props", "--cipher-suite", "17"], {}, 1,
     ["does not offer cipher suite 17 (HMAC-SHA256, HMAC-SHA256-128, AES-CBC-128); "
      "it offers 0, 1, 2, 3"]),
    # --insecure lets a weak suite through with one warning.
    ("--cipher-suite 0 --insecure", ["props", "--cipher-suite", "0", "--insecure"], {}, 0,
     [("orvane: warning: ", 1), "cipher suite 0 ("]),
    ("--interface lan warns that nothing is encrypted", ["scan", "--interface", "lan"], {}, 0,
     [("orvane: warning: IPMI 1.5 LAN", 1)]),
    ("the password from ORVANE_PASSWORD", ["scan"],
     dict(password_file="", env={"ORVANE_PASSWORD": simproc.PASSWORD}), 0, []),
    # set --commit asks for operator from the start; the reader is refused
    # with the missing privilege named (over IPMI 1.5, where ipmi_sim holds
    # an account to its limit).
    ("set --commit as operator", [*SET, "PSU-SN-43", "--commit"], dict(user="writer"), 0,
     [(OPENED, 1), (opened("operator"), 1)]),
    ("set --commit as a user-only account", [*SET, "PSU-SN-44", "--commit", "--interface", "lan"],
     {}, 1, ["operator privilege is missing"]),
    # The simulator with a BMC key: the right K_g as text and as hex; a
    # wrong one and none are refused with a reason.
    ("K_g as text", ["props", "--kg-file", "{kg}"], dict(user="orvane", sim="kg"), 0,
     [", with K_g"]),
    ("K_g as hex", ["props", "--kg-file", "{kg-hex}"], dict(user="orvane", sim="kg"), 0,
     [", with K_g"]),
    ("a wrong K_g", ["scan", "--kg-file", "{kg-wrong}"], dict(user="orvane", sim="kg"), 1,
     ["K_g is not the BMC's"]),
    ("no K_g", ["scan"], dict(user="orvane", sim="kg"), 1, ["asks for its key K_g"]),
]


def check_hosts_file(checks, orvane, sim, keyed, files):
    """A host file names a cipher suite for one BMC (17, which it does not
    offer) and the K_g file for the other: the first fails naming the suite,
    the second answers; only file paths reach the workers."""
    hosts = os.path.join(sim.folder, "hosts")
    with open(hosts, "w") as out:
        out.write("%s - - 17\n%s orvane %s - %s\n"
                  % (sim.host, keyed.host, simproc.password_file(keyed.folder), files["kg"]))
    result = orvane("--user", "reader", "--password-file", simproc.password_file(sim.folder),
                    "inventory", "--hosts-file", hosts)
    checks.run("inventory: one host fails", result, 5)
    lines = {line["host"]: line for line in map(json.loads, result.stdout.splitlines())}
    first, second = lines.get(sim.host, {}), lines.get(keyed.host, {})
    checks.true("the host file's suite reaches its worker: %s" % first.get("error"),
                "does not offer cipher suite 17" in first.get("error", ""))
    checks.equal("the host file's K_g file reaches its worker: %s" % second.get("error"),
                 second.get("status"), "ok")


def check_raise(checks, args, sim, folder):
    """A library host that names no privilege: its session starts at user,
    and the first write, which the simulator refuses for lack of privilege,
    reopens it at operator and goes through (what reads through Master
    Write-Read rely on too)."""
    host = simproc.Runner(args.host_program, folder)
    env = simproc.environment(sim, "lanplus", ORVANE_IPMI_PRIVILEGE=None)
    loaded = host(env=env).stdout
    index = re.search(r"(?m)^FRU (\d+) .*name=Front Panel$", loaded)
    field = re.search(r"(?m)^    FIELD (\d+)\.(\d+) Product Version = B2$", loaded)
    checks.true("the host lists the front panel's version: " + loaded, index and field)
    if index and field:
        checks.run("a write raises the session from user to operator",
                   host("set", index.group(1), field.group(1), field.group(2), "B3", env=env),
                   0, ["COMMITTED", (OPENED, 2),
                       (re.compile(r"privilege user\s(?s:.*)privilege operator\s"), 1)])


def test(args, checks, folder, simulators):
    sim = simproc.Simulator(os.path.join(folder, "bmc"), extra_conf=USERS)
    keyed = simproc.Simulator(os.path.join(folder, "bmc-kg"), extra_conf=USERS,
                              lan_lines='  bmc_key "%s"\n' % KG)
    for simulator in (sim, keyed):
        simulators.append(simulator)
        simulator.start()
    print("ipmi_sim on %s and, with K_g, on %s (%s)" % (sim.host, keyed.host, folder))
    files = {"kg": simproc.secret_file(folder, "kg", KG),
             "kg-hex": simproc.secret_file(folder, "kg-hex", "0x" + KG.encode().hex()),
             "kg-wrong": simproc.secret_file(folder, "kg-wrong", "not-the-key")}
    runner = simproc.Runner(args.orvane, folder, "--driver", "freeipmi", "--debug-level", "1")
    for what, arguments, settings, code, want in RUNS:
        target = keyed if settings.get("sim") == "kg" else sim
        fill = lambda text: text.format(host=target.host, **files) if isinstance(text, str) \
            else text
        password = settings.get("password_file", simproc.password_file(target.folder))
        options = ["--host", target.host, "--user", settings.get("user", "reader")]
        options += ["--password-file", fill(password)] if password else []
        result = runner(*options, *map(fill, arguments),
                        env=simproc.environment(**settings.get("env", {})))
        checks.run(what, result, code, [fill(w) if isinstance(w, str) else w for w in want])
    check_hosts_file(checks, runner, sim, keyed, files)
    if args.host_program:
        check_raise(checks, args, sim, folder)
    print("%d runs of orvane" % runner.runs)


if __name__ == "__main__":
    simproc.main("orvane-security-e2e-", ["ipmi_sim", "ipmitool"], test,
                 simproc.arguments(__doc__))
