"""What the end-to-end tests against OpenIPMI's ipmi_sim share: the managed
system, ipmi_sim, running orvane, e2e-host and ipmitool, the checks, the
comparison with ipmitool and ipmi-fru, and the run of a test (exit code 0
passed, 1 failed, 77 skipped)."""
import argparse
import copy
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
USER = "orvane"
PASSWORD = "e2e-Secret9"  # passed to the tools through files and the environment only
WRONG_PASSWORD = "not-the-password"
# Texts no output or debug log of any run may hold; a test adds its keys.
SECRETS = [PASSWORD, WRONG_PASSWORD]
# In the freeipmi module's statistics line (ORVANE_IPMI_STATS).
LOADED = "requests from the library"
PACKAGES = {"ipmi_sim": "openipmi", "ipmitool": "ipmitool", "ipmi-fru": "freeipmi-tools",
            "qemu-system-x86_64": "qemu-system-x86", "busybox": "busybox-static",
            "ldd": "libc-bin", "strip": "binutils"}


# ---- the managed system ----------------------------------------------------

def checksum(data):
    return (-sum(data)) & 0xFF


def text_field(text):
    raw = text.encode("latin-1")
    return bytes([0xC0 | len(raw)]) + raw


def info_area(head, fields, length=None):
    """An info area of head bytes and 8-bit text fields, padded to a multiple
    of 8 (or to `length`), with its length and checksum."""
    body = bytearray(head) + b"".join(text_field(field) for field in fields) + b"\xc1"
    if length is None:
        length = (len(body) + 8) // 8 * 8
    assert len(body) < length
    body += bytes(length - 1 - len(body))
    body[1] = length // 8
    return bytes(body + bytes([checksum(body)]))


def fru_image(internal=None, chassis=None, board=None, product=None, size=512):
    """A FRU image of the given areas and the byte offset of each."""
    areas = []
    if internal is not None:
        raw = bytes([1]) + internal
        areas.append(("internal", raw + bytes(-len(raw) % 8)))
    if chassis is not None:
        areas.append(("chassis", info_area([1, 0, chassis[0]], chassis[1:])))
    if board is not None:
        # language 0 (English), manufacturing minutes since 1996 (3 bytes)
        areas.append(("board", info_area([1, 0, 0, 0x10, 0x2F, 0x0C], board)))
    if product is not None:
        areas.append(("product", info_area([1, 0, 0], product)))
    header = bytearray([1, 0, 0, 0, 0, 0, 0, 0])
    slot = {"internal": 1, "chassis": 2, "board": 3, "product": 4}
    offsets, body = {}, bytearray()
    for name, raw in areas:
        offsets[name] = 8 + len(body)
        header[slot[name]] = offsets[name] // 8
        body += raw
    header[7] = checksum(header[:7])
    image = bytes(header) + bytes(body)
    return image + b"\xff" * (size - len(image)), offsets


# Field values as a reader should present them, per FRU. (A one-character
# field would read as the end-of-fields marker 0xC1, so there is none.)
# ipmitool names the BMC's FRU device 0 "Builtin FRU Device".
SYSTEM = {
    "bmc0": dict(controller=0x20, device=0, name="BMC", ipmitool="Builtin FRU Device",
                 chassis=[0x17, "CH-PN-100", "CH-SN-2001"],
                 board=["Acme", "Mainboard X9", "BRD-SN-7", "BRD-PN-3", ""],
                 product=["Acme", "Server 5000", "PRD-PN-1", "1.0", "PS-0001", "ASSET-9", ""]),
    "bmc1": dict(controller=0x20, device=1, name="Power Supply",
                 internal=bytes(range(1, 16)),
                 board=["Volt Ltd", "PSU 750W", "PSU-SN-42", "PSU-PN-42", ""]),
    "bmc2": dict(controller=0x20, device=2, name="Front Panel",
                 product=["Panelworks", "Front Panel", "FP-PN-5", "B2", "FP-SN-5", "", ""]),
    "sat0": dict(controller=0x30, device=0, name="Satellite",
                 board=["Sat Inc", "Satellite Card", "SAT-SN-1", "SAT-PN-1", ""],
                 product=["Sat Inc", "Sat Module", "SM-PN", "2.0", "SM-SN-77", "", ""]),
}


def record(record_id, record_type, body):
    return bytes([record_id & 0xFF, record_id >> 8, 0x51, record_type, len(body)]) + body


def id_string(text):
    raw = text.encode("ascii")
    return bytes([0xC0 | len(raw)]) + raw


def mc_locator(record_id, address, name, capabilities):
    body = bytes([address, 0, 0, capabilities, 0, 0, 0, 0x06, 1, 0]) + id_string(name)
    return record(record_id, 0x12, body)


def fru_locator(record_id, controller, device, name):
    # logical FRU device, LUN 0, private bus 0, channel 0, type 0x10 (FRU inventory)
    body = bytes([controller, device, 0x80, 0, 0, 0x10, 0, 0x0A, device, 0]) + id_string(name)
    return record(record_id, 0x11, body)


def sdr_records():
    compact_sensor = record(0, 0x02, bytes([0x20, 0, 0x01, 0x03, 1, 0x7F, 0xFC, 0x01, 0x01])
                            + bytes(18) + id_string("Temp"))
    return [
        mc_locator(1, 0x20, "BMC", 0x0B),  # FRU inventory device bit set
        compact_sensor,
        fru_locator(2, 0x20, 1, "Power Supply"),
        fru_locator(3, 0x20, 2, "Front Panel"),
        mc_locator(4, 0x30, "Satellite", 0x08),
        record(5, 0xC0, bytes([0x57, 0x01, 0x00, 0xAA, 0xBB])),  # OEM record
    ]


LAN_CONF = """\
name "orvane-e2e"
set_working_mc 0x20
startlan 1
  addr 127.0.0.1 {port}
  priv_limit admin
  allowed_auths_callback md5
  allowed_auths_user md5
  allowed_auths_operator md5
  allowed_auths_admin md5
  guid a0b1c2d3e4f5a6b7c8d9e0f1a2b3c4d5
{lan_lines}endlan
user 2 true "{user}" "{password}" admin 10 md5
"""


def write_system(folder, port, system, records, extra_conf="", lan_lines=""):
    """ipmi_sim's configuration (extra_conf after it, lan_lines in its LAN
    section), command file and image files; returns {key: (path, image,
    offsets)}."""
    images = {}
    lines = ["mc_setbmc 0x20",
             "mc_add 0x20 0 has-device-sdrs 0x23 9 8 0x9f 0x1291 0xf02",
             "mc_add 0x30 0 no-device-sdrs 0x23 9 8 0x09 0x1291 0xf03"]
    for key, fru in system.items():
        if "raw" in fru:
            image, offsets = fru["raw"], {}
        else:
            image, offsets = fru_image(fru.get("internal"), fru.get("chassis"),
                                       fru.get("board"), fru.get("product"))
        path = os.path.join(folder, key + ".bin")
        with open(path, "wb") as out:
            out.write(image)
        images[key] = (path, image, offsets)
        lines.append('mc_add_fru_data 0x%02x %d %d file 0 "%s"'
                     % (fru["controller"], fru["device"], len(image), path))
    lines += ["main_sdr_add 0x20 " + " ".join("0x%02x" % b for b in raw) for raw in records]
    lines += ["mc_enable 0x20", "mc_enable 0x30"]
    with open(os.path.join(folder, "commands"), "w") as cmds:
        cmds.write("\n".join(lines) + "\n")
    with open(os.path.join(folder, "lan.conf"), "w") as conf:
        conf.write(LAN_CONF.format(port=port, user=USER, password=PASSWORD, lan_lines=lan_lines)
                   + extra_conf)
    return images


def with_field(image, offsets, area, index, text):
    """The image with a field of an info area replaced by a text of the same
    length, the area checksum made right again."""
    data = bytearray(image)
    area_start = offsets[area]
    position = area_start + {"chassis": 3, "board": 6, "product": 3}[area]
    for _ in range(index):
        position += 1 + (data[position] & 0x3F)
    raw = text.encode("latin-1")
    assert len(raw) == data[position] & 0x3F, "the test keeps field lengths"
    data[position + 1:position + 1 + len(raw)] = raw
    area_end = area_start + data[area_start + 1] * 8 - 1
    data[area_end] = checksum(data[area_start:area_end])
    return bytes(data)


def secret_file(folder, name, text, mode=0o600):
    path = os.path.join(folder, name)
    with open(path, "w") as out:
        out.write(text + "\n")
    os.chmod(path, mode)
    return path


def password_file(folder, password=PASSWORD, name="password"):
    path = os.path.join(folder, name)
    return path if os.path.exists(path) else secret_file(folder, name, password)


# ---- the simulator ----------------------------------------------------------

def free_port(kind=socket.SOCK_DGRAM):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Simulator:
    """One ipmi_sim on a loopback UDP port, serving a system from a folder."""

    def __init__(self, folder, system=None, records=None, extra_conf="", lan_lines=""):
        os.makedirs(folder, exist_ok=True)
        self.folder = folder
        self.process = None
        self.port = None
        self.system = system if system is not None else SYSTEM
        self.records = records if records is not None else sdr_records()
        self.extra_conf = extra_conf
        self.lan_lines = lan_lines

    @property
    def host(self):
        return "127.0.0.1:%d" % self.port

    def launch(self, port=None):
        self.port = port or free_port()
        self.images = write_system(self.folder, self.port, self.system, self.records,
                                   self.extra_conf, self.lan_lines)
        state = os.path.join(self.folder, "state")
        shutil.rmtree(state, ignore_errors=True)
        os.mkdir(state)
        self.log = open(os.path.join(self.folder, "ipmi_sim.log"), "w")
        self.process = subprocess.Popen(
            ["ipmi_sim", "-n", "-c", os.path.join(self.folder, "lan.conf"),
             "-f", os.path.join(self.folder, "commands"), "-s", state],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)

    def ready(self):  # answers ipmitool within 10 s
        deadline = time.time() + 10
        while time.time() < deadline and self.process.poll() is None:
            if ipmitool(self, "lan", "mc", "info", check=False).returncode == 0:
                return True
            time.sleep(0.2)
        return False

    def start(self, port=None):
        # A port found free may be taken before ipmi_sim binds it: try a few.
        for _ in range(5):
            self.launch(port)
            if self.ready():
                return
            self.stop()
        raise RuntimeError("ipmi_sim did not come up; see " + self.log.name)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def held(self, key):
        """The bytes the simulator holds for a FRU (`ipmitool fru read`)."""
        fru = self.system[key]
        target = [] if fru["controller"] == 0x20 else ["-b", "0", "-t",
                                                       "0x%02x" % fru["controller"]]
        path = os.path.join(self.folder, key + "-after.bin")
        ipmitool(self, "lan", *target, "fru", "read", str(fru["device"]), path)
        with open(path, "rb") as held:
            return held.read()


def fleet_variant(index):
    """BMC `index`'s system (serial numbers of its own; no front panel on odd
    ones) and SDR records."""
    system = copy.deepcopy(SYSTEM)
    system["bmc0"]["chassis"][2] = "CH-SN-%04d" % index
    system["bmc1"]["board"][2] = "PSU-SN-%02d" % index
    system["sat0"]["product"][4] = "SM-SN-%03d" % index
    if index % 2:
        del system["bmc2"]
    records = [mc_locator(1, 0x20, "BMC", 0x0B)]
    for number, key in enumerate(k for k in ("bmc1", "bmc2") if k in system):
        records.append(fru_locator(2 + number, 0x20, system[key]["device"], system[key]["name"]))
    records.append(mc_locator(5, 0x30, "Satellite", 0x08))
    return system, records


def start_fleet(root, count, bmcs, wrong=True):
    """Starts `count` BMCs of fleet_variant's systems (and one asked with a
    wrong password) into bmcs; returns the host file and the hosts by kind:
    good, wrong, and dead (a port where nothing answers)."""
    for index in range(count + (1 if wrong else 0)):
        bmcs.append(Simulator(os.path.join(root, "bmc%02d" % index), *fleet_variant(index)))
        bmcs[-1].launch()
    for bmc in bmcs:
        if not bmc.ready():
            raise RuntimeError("ipmi_sim did not come up; see " + bmc.log.name)
    good = password_file(root)
    lines = ["# the fleet of the test", "%s %s %s" % (bmcs[0].host, USER, good)]
    lines += [bmc.host for bmc in bmcs[1:count]]
    hosts = {"good": [bmc.host for bmc in bmcs[:count]]}
    if wrong:
        bad = password_file(root, WRONG_PASSWORD, "wrong-password")
        dead = "127.0.0.1:%d" % free_port()
        lines += ["%s %s %s" % (bmcs[count].host, USER, bad), dead]
        hosts.update(wrong=bmcs[count].host, dead=dead)
    path = os.path.join(root, "hosts")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    return path, hosts


# ---- running the programs ---------------------------------------------------

def ipmitool(sim, interface, *args, check=True):
    command = ["ipmitool", "-I", interface, "-H", "127.0.0.1", "-p", str(sim.port),
               "-U", USER, "-f", password_file(sim.folder), "-L", "ADMINISTRATOR"]
    if interface == "lanplus":
        command += ["-C", "3"]
    result = subprocess.run(command + list(args), capture_output=True, text=True, timeout=60)
    if check and result.returncode != 0:
        raise RuntimeError("%s failed: %s" % (" ".join(command[:3] + list(args)),
                                              result.stderr.strip()))
    return result


def environment(sim=None, interface="lan", **settings):
    """A run's environment: none of the caller's IPMI settings, the module's
    statistics line, for a simulator the settings that reach it, then
    `settings` (None removes a variable)."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("ORVANE_IPMI") and k != "ORVANE_PASSWORD"}
    env["ORVANE_IPMI_STATS"] = "1"
    if sim:
        env.update(ORVANE_DRIVER="freeipmi", ORVANE_IPMI_HOST=sim.host,
                   ORVANE_IPMI_INTERFACE=interface, ORVANE_IPMI_USER=USER,
                   ORVANE_IPMI_PASSWORD_FILE=password_file(sim.folder),
                   ORVANE_IPMI_PRIVILEGE="admin", ORVANE_IPMI_DEBUG="1",
                   XDG_CACHE_HOME=os.path.join(sim.folder, "cache"))
    env.update(settings)
    return {k: v for k, v in env.items() if v is not None}


_OUTPUTS = []  # every output and debug log of the runs, searched for SECRETS


def seen(text):
    _OUTPUTS.append(text)


def debug_log(folder):
    """The library's debug log (DBGLOG.txt, UTF-16) a run wrote in its folder."""
    path = os.path.join(folder, "DBGLOG.txt")
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as raw:
        return raw.read().decode("utf-16-le", errors="replace")


class Runner:
    """Runs a program (orvane, e2e-host) in a new folder each time, for a
    debug log, cache and state of its own; the result's .text is its output
    and debug log."""

    def __init__(self, program, folder, *always):
        self.program, self.folder, self.always, self.runs = program, folder, list(always), 0

    def __call__(self, *args, env=None, timeout=60):
        self.runs += 1
        cwd = tempfile.mkdtemp(prefix="run%02d-" % self.runs, dir=self.folder)
        env = dict(env if env is not None else environment())
        env.setdefault("XDG_CACHE_HOME", os.path.join(cwd, "cache"))
        env.setdefault("XDG_STATE_HOME", os.path.join(cwd, "state"))
        result = subprocess.run([self.program] + self.always + list(args), capture_output=True,
                                text=True, env=env, timeout=timeout, cwd=cwd)
        result.text = result.stdout + result.stderr + debug_log(cwd)
        seen(result.text)
        return result


# ---- what the tools print ---------------------------------------------------

# Orvane's field title -> (ipmitool fru print label, ipmi-fru label).
LABELS = {
    "Chassis Type": ("Chassis Type", "FRU Chassis Type"),
    "Chassis Part Number": ("Chassis Part Number", "FRU Chassis Part Number"),
    "Chassis Serial Number": ("Chassis Serial", "FRU Chassis Serial Number"),
    "Board Mfg Date/Time": ("Board Mfg Date", "FRU Board Manufacturing Date/Time"),
    "Board Manufacturer": ("Board Mfg", "FRU Board Manufacturer"),
    "Board Product Name": ("Board Product", "FRU Board Product Name"),
    "Board Serial Number": ("Board Serial", "FRU Board Serial Number"),
    "Board Part Number": ("Board Part Number", "FRU Board Part Number"),
    "Board FRU File ID": ("Board FRU ID", "FRU Board FRU File ID"),
    "Product Manufacturer": ("Product Manufacturer", "FRU Product Manufacturer Name"),
    "Product Name": ("Product Name", "FRU Product Name"),
    "Product Part/Model Number": ("Product Part Number", "FRU Product Part/Model Number"),
    "Product Version": ("Product Version", "FRU Product Version"),
    "Product Serial Number": ("Product Serial", "FRU Product Serial Number"),
    "Product Asset Tag": ("Product Asset Tag", "FRU Product Asset Tag"),
    "Product FRU File ID": ("Product FRU ID", "FRU Product FRU File ID"),
}
DATE_LABELS = LABELS["Board Mfg Date/Time"]
# Neither tool prints the internal use area; it is checked against the image.
INTERNAL_TITLE = "Internal Use Data"


def date_key(text):
    """The date and time of Orvane's, ipmi-fru's or ipmitool's text."""
    text = text.strip()
    m = re.fullmatch(r"(\d\d)/(\d\d)/(\d{2,4})\s*-?\s*(\d\d):(\d\d):(\d\d)", text)
    if m:
        month, day, year, hour, minute, second = (int(g) for g in m.groups())
        if year < 100:
            year += 1900 if year >= 70 else 2000
        return (year, month, day, hour, minute, second)
    return tuple(time.strptime(text.replace(" UTC", ""), "%a %b %d %H:%M:%S %Y")[:6])


def parse_ipmitool(output):
    """{description: {label: value}} of `ipmitool fru print`."""
    frus = {}
    current = None
    for line in output.splitlines():
        m = re.match(r"FRU Device Description : (.*?)\s*(\(ID \d+\))?\s*$", line)
        if m:
            current = frus.setdefault(m.group(1).strip(), {})
        elif current is not None and " : " in line:
            label, value = line.split(" : ", 1)
            current[label.strip()] = value.strip()
    return frus


def ipmitool_print(sim):
    return parse_ipmitool(ipmitool(sim, "lan", "fru", "print").stdout)


def ipmitool_name(fru):
    return fru.get("ipmitool", fru["name"])


def json_fields(fru):
    """{title: (area.index, the library's string)} of a FRU of orvane's JSON."""
    return {field["title"]: ("%d.%d" % (number, index),
                             field.get("library_value", field["value"]))
            for number, area in enumerate(fru["areas"])
            for index, field in enumerate(area.get("fields", []))}


# ---- checks -----------------------------------------------------------------

class Checks:
    def __init__(self):
        self.failures = []

    def equal(self, what, got, expected):
        if got != expected:
            self.failures.append("%s: got %r, expected %r" % (what, got, expected))

    def true(self, what, condition):
        if not condition:
            self.failures.append(what)

    def run(self, what, result, code, want=()):
        """A run's exit code and the texts its output and debug log hold: a
        text or pattern, or a (text or pattern, times) pair."""
        tell = "%s (exit %d): %s" % (what, result.returncode, result.text.strip()[-600:])
        self.equal(tell + ": exit code", result.returncode, code)
        for item in want:
            text, times = item if isinstance(item, tuple) else (item, None)
            found = (len(text.findall(result.text)) if isinstance(text, re.Pattern)
                     else result.text.count(text))
            self.true("%s: %r %s, not %d" % (tell, getattr(text, "pattern", text),
                                           "expected" if times is None else "%d times" % times,
                                           found), found > 0 if times is None else found == times)


def compare_with_tool(checks, what, orvane_fields, tool_fields, column):
    """The tool shows every non-empty Orvane field ({title: (area.index,
    value)}) alike and no other; column 0: ipmitool's labels, 1: ipmi-fru's."""
    shown = {}
    for title, (_, value) in orvane_fields.items():
        if title == INTERNAL_TITLE:
            continue
        label = LABELS.get(title, (None, None))[column]
        checks.true("%s: no label for Orvane's field %r" % (what, title), label is not None)
        if label and value:
            shown[label] = value
    for label, value in shown.items():
        if label not in tool_fields:
            checks.failures.append("%s: the tool does not show %r (Orvane: %r)"
                                   % (what, label, value))
        elif label in DATE_LABELS:
            checks.equal("%s %s" % (what, label), date_key(value), date_key(tool_fields[label]))
        else:
            checks.equal("%s %s" % (what, label), value, tool_fields[label])
    known = {labels[column] for labels in LABELS.values()}
    for label in tool_fields:
        if label in known and label not in shown:
            checks.failures.append("%s: the tool shows %r = %r, Orvane does not"
                                   % (what, label, tool_fields[label]))


def check_committed(checks, sim, what, key, changes):
    """After a commit to FRU `key`, ipmitool shows each change (label, area,
    field index, value) and the simulator holds the image with only those."""
    path, image, offsets = sim.images[key]
    printed = ipmitool_print(sim).get(ipmitool_name(sim.system[key]), {})
    for label, area, index, value in changes:
        print("%s: %r; ipmitool fru print: %s = %r" % (what, value, label, printed.get(label)))
        checks.equal("%s: ipmitool %s" % (what, label), printed.get(label), value)
        image = with_field(image, offsets, area, index, value)
    sim.images[key] = (path, image, offsets)
    held = sim.held(key)
    differ = [i for i, (a, b) in enumerate(zip(held, image)) if a != b]
    checks.true("%s: the simulator holds %d bytes, %d expected, the first difference at "
                "offset %s" % (what, len(held), len(image), differ[:1]), held == image)


# ---- a test run -------------------------------------------------------------

def missing_tool(tools):
    """Why the test cannot run: the first of the tools not found, or None."""
    for tool in tools:
        if not shutil.which(tool):
            return "%s not found (Debian package %s)" % (tool, PACKAGES[tool])
    return None


def arguments(doc):
    """The programs CTest names; every test takes them all."""
    parser = argparse.ArgumentParser(description=doc,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    for name in ("--orvane", "--host-program", "--driver", "--catalogue-dir"):
        parser.add_argument(name)
    return parser.parse_args()


def main(prefix, tools, test, args, skip_reason=None):
    """Exits with the run of test(args, checks, folder, simulators) in a new
    folder (kept when a check failed), or skips; stops every simulator, also
    on a timeout or ^C; fails when an output holds a secret."""
    skip_reason = missing_tool(tools) or skip_reason
    if skip_reason:
        print("SKIP: %s; nothing is installed by this test" % skip_reason)
        sys.exit(SKIP)
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, lambda *_: sys.exit(1))
    checks = Checks()
    folder = tempfile.mkdtemp(prefix=prefix)
    simulators = []
    started = time.time()
    try:
        test(args, checks, folder, simulators)
    except (RuntimeError, subprocess.SubprocessError, OSError, ValueError) as error:
        checks.failures.append(str(error))
    finally:
        for sim in simulators:
            sim.stop()
    everything = "".join(_OUTPUTS)
    for secret in SECRETS:
        checks.true("a secret (%d characters) appears in an output or log" % len(secret),
                    secret not in everything)
    for failure in checks.failures:
        print("FAIL:", failure)
    print("%s in %.1f s" % ("passed" if not checks.failures else "FAILED", time.time() - started))
    if not checks.failures:
        shutil.rmtree(folder, ignore_errors=True)
    sys.exit(1 if checks.failures else 0)
