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

Exit codes: 0 passed, 1 failed, 77 skipped (a tool is missing).
"""
import argparse
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


# ---- the managed system ----------------------------------------------------

def checksum(data):
    return (-sum(data)) & 0xFF


def text_field(text):
    raw = text.encode("latin-1")
    return bytes([0xC0 | len(raw)]) + raw


def info_area(head, fields):
    """An info area: head bytes (version, length placeholder, ...), the
    fields as 8-bit text, the end marker, padding and the checksum."""
    body = bytearray(head)
    for field in fields:
        body += text_field(field)
    body.append(0xC1)
    while (len(body) + 1) % 8:
        body.append(0)
    body[1] = (len(body) + 1) // 8
    body.append(checksum(body))
    return bytes(body)


def info_area_of(head, fields, length):
    """An info area of exactly `length` bytes (a multiple of 8): the fields
    are followed by the end marker and zero padding."""
    body = bytearray(head)
    for field in fields:
        body += text_field(field)
    body.append(0xC1)
    assert len(body) < length
    body += bytes(length - 1 - len(body))
    body[1] = length // 8
    body.append(checksum(body))
    return bytes(body)


def fru_image(internal=None, chassis=None, board=None, product=None, size=512):
    """A FRU image with the given areas in the usual order; returns the bytes
    and the byte offset of each area present."""
    areas = []
    if internal is not None:
        raw = bytearray([1]) + internal
        while len(raw) % 8:
            raw.append(0)
        areas.append(("internal", bytes(raw)))
    if chassis is not None:
        areas.append(("chassis", info_area([1, 0, chassis[0]], chassis[1:])))
    if board is not None:
        # language 0 (English), manufacturing minutes since 1996 (3 bytes)
        areas.append(("board", info_area([1, 0, 0, 0x10, 0x2F, 0x0C], board)))
    if product is not None:
        areas.append(("product", info_area([1, 0, 0], product)))
    header = bytearray([1, 0, 0, 0, 0, 0, 0, 0])
    slot = {"internal": 1, "chassis": 2, "board": 3, "product": 4}
    offsets = {}
    position = 8
    body = bytearray()
    for name, raw in areas:
        header[slot[name]] = position // 8
        offsets[name] = position
        body += raw
        position += len(raw)
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


def bench_system():
    """The benchmark's system: 16 FRU devices of 280 to 288 bytes behind the
    BMC (images of 280 bytes, the rest 0xFF) and one behind the satellite at
    0x30; 17 SDR records (a controller locator each for the BMC and the
    satellite, a FRU locator for devices 1 to 15)."""
    system = {}
    for device in range(17):
        satellite = device == 16
        tag = "%02d" % device
        board = info_area_of([1, 0, 0, 0x10, 0x2F, 0x0C],
                             ["Bench Board Works Ltd", "Bench Board Model " + tag,
                              "BSN-2026-00" + tag, "BPN-4242-" + tag, "FRU-B" + tag], 104)
        product = info_area_of([1, 0, 0],
                               ["Bench Product Company", "Bench Product " + tag,
                                "PPN-77-" + tag, "Rev 1." + tag, "PSN-9000-" + tag,
                                "ASSET-" + tag, "FRU-P" + tag], 112)
        chassis = info_area_of([1, 0, 0x17], ["CPN-100-" + tag, "CSN-200-" + tag], 56)
        header = bytearray([1, 0, 1, 8, 21, 0, 0, 0])
        header[7] = checksum(header[:7])
        image = bytes(header) + chassis + board + product
        size = len(image) + (0 if satellite else device % 9)
        system["sat0" if satellite else "bmc%d" % device] = dict(
            controller=0x30 if satellite else 0x20, device=0 if satellite else device,
            name="Satellite" if satellite else ("BMC" if device == 0 else "FRU " + tag),
            raw=image + b"\xff" * (size - len(image)))
    records = [mc_locator(1, 0x20, "BMC", 0x0B)]
    records += [fru_locator(1 + device, 0x20, device, "FRU %02d" % device)
                for device in range(1, 16)]
    records.append(mc_locator(17, 0x30, "Satellite", 0x08))
    return system, records


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
    compact_sensor = record(0, 0x02, bytes([0x20, 0, 0x01, 0x03, 1, 0x7F, 0xFC, 0x01, 0x01,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                            0, 0]) + id_string("Temp"))
    return [
        mc_locator(1, 0x20, "BMC", 0x0B),  # FRU inventory device bit set
        compact_sensor,
        fru_locator(2, 0x20, 1, "Power Supply"),
        fru_locator(3, 0x20, 2, "Front Panel"),
        mc_locator(4, 0x30, "Satellite", 0x08),
        record(5, 0xC0, bytes([0x57, 0x01, 0x00, 0xAA, 0xBB])),  # OEM record
    ]


def write_system(folder, port, system, records):
    images = {}
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
    with open(os.path.join(folder, "lan.conf"), "w") as conf:
        conf.write(LAN_CONF.format(port=port, user=USER, password=PASSWORD))
    lines = ["mc_setbmc 0x20",
             "mc_add 0x20 0 has-device-sdrs 0x23 9 8 0x9f 0x1291 0xf02",
             "mc_add 0x30 0 no-device-sdrs 0x23 9 8 0x09 0x1291 0xf03"]
    for key, fru in system.items():
        path, image, _ = images[key]
        lines.append('mc_add_fru_data 0x%02x %d %d file 0 "%s"'
                     % (fru["controller"], fru["device"], len(image), path))
    for raw in records:
        lines.append("main_sdr_add 0x20 " + " ".join("0x%02x" % b for b in raw))
    lines += ["mc_enable 0x20", "mc_enable 0x30"]
    with open(os.path.join(folder, "commands"), "w") as cmds:
        cmds.write("\n".join(lines) + "\n")
    return images


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
endlan
user 2 true "{user}" "{password}" admin 10 md5
"""


# ---- the simulator ----------------------------------------------------------

def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Simulator:
    def __init__(self, folder, system=None, records=None):
        self.folder = folder
        self.process = None
        self.port = None
        self.system = system if system is not None else SYSTEM
        self.records = records if records is not None else sdr_records()

    def start(self, port=None):
        # A port found free may be taken before ipmi_sim binds it: try a few.
        for _ in range(5):
            self.port = port or free_udp_port()
            self.images = write_system(self.folder, self.port, self.system, self.records)
            state = os.path.join(self.folder, "state")
            shutil.rmtree(state, ignore_errors=True)
            os.mkdir(state)
            self.log = open(os.path.join(self.folder, "ipmi_sim.log"), "w")
            self.process = subprocess.Popen(
                ["ipmi_sim", "-n", "-c", os.path.join(self.folder, "lan.conf"),
                 "-f", os.path.join(self.folder, "commands"), "-s", state],
                stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
            deadline = time.time() + 10
            while time.time() < deadline and self.process.poll() is None:
                if ipmitool(self, "lan", "mc", "info", check=False).returncode == 0:
                    return
                time.sleep(0.2)
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


def password_file(folder):
    path = os.path.join(folder, "password")
    if not os.path.exists(path):
        with open(path, "w") as out:
            out.write(PASSWORD + "\n")
        os.chmod(path, 0o600)
    return path


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


def orvane_environment(sim, interface):
    env = dict(os.environ)
    env.update(ORVANE_DRIVER="freeipmi", ORVANE_IPMI_HOST="127.0.0.1:%d" % sim.port,
               ORVANE_IPMI_INTERFACE=interface, ORVANE_IPMI_USER=USER,
               ORVANE_IPMI_PASSWORD_FILE=password_file(sim.folder),
               ORVANE_IPMI_PRIVILEGE="admin", ORVANE_IPMI_DEBUG="1",
               ORVANE_IPMI_STATS="1", XDG_CACHE_HOME=os.path.join(sim.folder, "cache"))
    env.pop("ORVANE_IPMI_READAHEAD", None)
    env.pop("ORVANE_IPMI_SDR_CACHE", None)
    env.pop("ORVANE_IPMI_PASSWORD", None)
    return env


# ---- reading the three presentations --------------------------------------

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
DATE_TITLE = "Board Mfg Date/Time"
# Neither tool prints the internal use area; it is checked against the image.
INTERNAL_TITLE = "Internal Use Data"


def date_key(text):
    """The date and time of any of the three tools' presentations."""
    text = text.strip()
    m = re.fullmatch(r"(\d\d)/(\d\d)/(\d{2,4})\s*-?\s*(\d\d):(\d\d):(\d\d)", text)
    if m:
        month, day, year, hour, minute, second = (int(g) for g in m.groups())
        if year < 100:
            year += 1900 if year >= 70 else 2000
        return (year, month, day, hour, minute, second)
    parsed = time.strptime(text.replace(" UTC", ""), "%a %b %d %H:%M:%S %Y")
    return tuple(parsed[:6])


def parse_orvane(output):
    """FRUs as printed by e2e-host: a list of dicts with the address, the
    name and the fields {title: (area.index, value)}."""
    frus = []
    for line in output.splitlines():
        m = re.match(r"FRU (\d+) type=(\d+) lun=(\d+) device=0x(\w+) bus=0x(\w+) "
                     r"controller=0x(\w+) id=(\d+) name=(.*)$", line)
        if m:
            frus.append(dict(index=int(m.group(1)), type=int(m.group(2)),
                             device=int(m.group(4), 16), bus=int(m.group(5), 16),
                             controller=int(m.group(6), 16), id=int(m.group(7)),
                             name=m.group(8), fields={}))
            continue
        m = re.match(r"    FIELD (\d+\.\d+) (.*?) = (.*)$", line)
        if m and frus:
            frus[-1]["fields"][m.group(2)] = (m.group(1), m.group(3))
    return frus


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


def parse_ipmi_fru(output):
    fields = {}
    for line in output.splitlines():
        m = re.match(r"\s+(FRU [^:]+): (.*)$", line)
        if m:
            fields[m.group(1)] = m.group(2).strip()
    return fields


def ipmitool_name(fru):
    return fru.get("ipmitool", fru["name"])


def system_key(fru):
    """The SYSTEM entry of a FRU Orvane found: its device address is the
    controller's (for a logical device and for a controller's device 0 alike)
    and its device id the FRU device id."""
    for key, expected in SYSTEM.items():
        if (fru["device"], fru["id"]) == (expected["controller"], expected["device"]):
            return key
    return None


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


def expected_fields(fru):
    """Orvane's titles with the values the generated images hold (the
    chassis type and the date are compared with the tools only)."""
    expected = {}
    if "internal" in fru:
        raw = bytes([1]) + fru["internal"]
        raw += bytes(-len(raw) % 8)
        expected[INTERNAL_TITLE] = " ".join("%02X" % b for b in raw)
    if "chassis" in fru:
        for title, value in zip(["Chassis Part Number", "Chassis Serial Number"],
                                fru["chassis"][1:]):
            expected[title] = value
    if "board" in fru:
        for title, value in zip(["Board Manufacturer", "Board Product Name",
                                 "Board Serial Number", "Board Part Number",
                                 "Board FRU File ID"], fru["board"]):
            expected[title] = value
    if "product" in fru:
        for title, value in zip(["Product Manufacturer", "Product Name",
                                 "Product Part/Model Number", "Product Version",
                                 "Product Serial Number", "Product Asset Tag",
                                 "Product FRU File ID"], fru["product"]):
            expected[title] = value
    return expected


def compare_with_tool(checks, what, orvane_fields, tool_fields, column):
    """Every non-empty Orvane field is shown by the tool with the same value,
    and the tool shows no field Orvane lacks (or holds empty)."""
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
        elif label in (LABELS[DATE_TITLE][0], LABELS[DATE_TITLE][1]):
            checks.equal("%s %s" % (what, label), date_key(value), date_key(tool_fields[label]))
        else:
            checks.equal("%s %s" % (what, label), value, tool_fields[label])
    known = {labels[column] for labels in LABELS.values()}
    for label in tool_fields:
        if label in known and label not in shown:
            checks.failures.append("%s: the tool shows %r = %r, Orvane does not"
                                   % (what, label, tool_fields[label]))


def run_host(args, sim, interface, *extra):
    env = orvane_environment(sim, interface)
    result = subprocess.run([args.host_program] + list(extra), capture_output=True, text=True,
                            env=env, timeout=60)
    for stream in (result.stdout, result.stderr):
        if PASSWORD in stream:
            raise RuntimeError("the password appears in the output of e2e-host")
    return result


def fetches(result):
    """The SDR repository fetches the module's statistics line reports."""
    m = re.search(r"\((\d+) repository fetches\)", result.stderr)
    return int(m.group(1)) if m else None


def check_load(checks, args, sim, interface, images):
    result = run_host(args, sim, interface)
    check_loaded(checks, args, sim, interface, images, result)
    return parse_orvane(result.stdout), result


def check_loaded(checks, args, sim, interface, images, result):
    what = "Orvane over " + interface
    checks.equal(what + " exit code", result.returncode, 0)
    failures = [line for line in result.stderr.splitlines()
                if "orvane-driver-freeipmi" in line and "requests from the library" not in line]
    checks.true("%s: stderr has failure lines: %s" % (what, failures), not failures)
    frus = parse_orvane(result.stdout)
    checks.equal(what + " FRU names", sorted(f["name"] for f in frus),
                 sorted(f["name"] for f in SYSTEM.values()))
    for fru in frus:
        key = system_key(fru)
        checks.true("%s: FRU %s at an unexpected address" % (what, fru["name"]), key is not None)
        if key is None:
            continue
        expected = SYSTEM[key]
        checks.equal("%s FRU %s name" % (what, key), fru["name"], expected["name"])
        for title, value in expected_fields(expected).items():
            got = fru["fields"].get(title, (None, None))[1]
            checks.equal("%s FRU %s %s" % (what, key, title), got, value)
        tool = subprocess.run(["ipmi-fru", "--fru-file=" + images[key][0]],
                              capture_output=True, text=True, timeout=30)
        compare_with_tool(checks, "%s vs ipmi-fru FRU %s" % (what, key), fru["fields"],
                          parse_ipmi_fru(tool.stdout), 1)


def find_field(image, area_offset, head, index):
    """Offset and length of the index-th field of an info area."""
    position = area_offset + head
    for _ in range(index):
        position += 1 + (image[position] & 0x3F)
    return position + 1, image[position] & 0x3F


def with_field(image, offsets, area, index, text):
    """The image with one info-area field replaced by a text of the same
    length and the area checksum made right again."""
    head = {"chassis": 3, "board": 6, "product": 3}[area]
    data = bytearray(image)
    start, length = find_field(data, offsets[area], head, index)
    raw = text.encode("latin-1")
    assert len(raw) == length, "the test keeps field lengths"
    data[start:start + length] = raw
    area_start = offsets[area]
    area_length = data[area_start + 1] * 8
    data[area_start + area_length - 1] = checksum(data[area_start:area_start + area_length - 1])
    return bytes(data)


def check_commit(checks, args, sim, interface, frus, key, manufacturer, serial):
    """Commits a new board manufacturer and product serial number of one FRU
    and checks the simulator's bytes."""
    what = "commit over %s of FRU %s" % (interface, key)
    fru = next((f for f in frus if system_key(f) == key), None)
    checks.true(what + ": FRU not loaded", fru is not None)
    if fru is None:
        return
    board_field = fru["fields"]["Board Manufacturer"][0].split(".")
    serial_field = fru["fields"]["Product Serial Number"][0].split(".")
    result = run_host(args, sim, interface, "set", str(fru["index"]),
                      board_field[0], board_field[1], manufacturer,
                      serial_field[0], serial_field[1], serial)
    first, _, reloaded = result.stdout.partition("\n")
    checks.equal(what + " output", first.strip(), "COMMITTED")
    # The same process loads again: the new bytes, not the ones it read before.
    again = {system_key(f): f["fields"] for f in parse_orvane(reloaded)}.get(key, {})
    checks.equal(what + ": the next load in the process, board manufacturer",
                 again.get("Board Manufacturer", (0, None))[1], manufacturer)
    checks.equal(what + ": the next load in the process, product serial",
                 again.get("Product Serial Number", (0, None))[1], serial)
    expected = SYSTEM[key]
    _, image, offsets = sim.images[key]
    image = with_field(image, offsets, "board", 0, manufacturer)
    image = with_field(image, offsets, "product", 4, serial)
    target = [] if expected["controller"] == 0x20 else ["-b", "0", "-t",
                                                        "0x%02x" % expected["controller"]]
    readback = os.path.join(sim.folder, key + "-after.bin")
    ipmitool(sim, "lan", *target, "fru", "read", str(expected["device"]), readback)
    with open(readback, "rb") as held:
        held = held.read()
    checks.equal(what + ": bytes the simulator holds", held.hex(), image.hex())
    printed = parse_ipmitool(ipmitool(sim, "lan", "fru", "print").stdout)
    section = printed.get(ipmitool_name(expected), {})
    checks.equal(what + ": ipmitool Board Mfg", section.get("Board Mfg"), manufacturer)
    checks.equal(what + ": ipmitool Product Serial", section.get("Product Serial"), serial)
    return image


def check_tool_write_between_loads(checks, args, sim):
    """One process loads, `ipmitool fru write` changes a device, the same
    process loads again and must show the change."""
    _, image, offsets = sim.images["bmc2"]
    changed = with_field(image, offsets, "product", 1, "Front Pa9el")
    path = os.path.join(sim.folder, "bmc2-written.bin")
    with open(path, "wb") as out:
        out.write(changed)
    host = subprocess.Popen([args.host_program, "wait"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env=orvane_environment(sim, "lanplus"))
    try:
        before = []
        for line in host.stdout:
            if line.strip() == "WAITING":
                break
            before.append(line)
        ipmitool(sim, "lan", "fru", "write", "2", path)
        after, _ = host.communicate("go\n", timeout=60)
    finally:
        if host.poll() is None:
            host.kill()
    names = lambda output: {system_key(f): f["fields"].get("Product Name", (0, None))[1]
                            for f in parse_orvane(output)}
    checks.equal("before ipmitool fru write", names("".join(before)).get("bmc2"),
                 "Front Panel")
    checks.equal("a load in the same process after ipmitool fru write",
                 names(after).get("bmc2"), "Front Pa9el")
    sim.images["bmc2"] = (sim.images["bmc2"][0], changed, offsets)


def check_sdr_added(checks, args, sim):
    """A record added to the repository between two loads: the second load
    fetches the repository again and finds the new FRU locator."""
    run_host(args, sim, "lan")  # the cache file holds the repository now
    sim.stop()
    sim.records = sim.records + [fru_locator(6, 0x20, 2, "Panel Twin")]
    sim.start(sim.port)
    result = run_host(args, sim, "lan")
    names = [f["name"] for f in parse_orvane(result.stdout)]
    checks.equal("after an SDR was added, the repository is fetched again", fetches(result), 1)
    checks.true("after an SDR was added, its FRU is read: %s" % names, "Panel Twin" in names)


def main(args):
    for tool, package in (("ipmi_sim", "openipmi"), ("ipmitool", "ipmitool"),
                          ("ipmi-fru", "freeipmi-tools")):
        if not shutil.which(tool):
            print("SKIP: %s not found (Debian package %s); nothing is installed by this test"
                  % (tool, package))
            return SKIP
    # A CTest timeout or ^C still runs the clean-up below and stops ipmi_sim.
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, lambda *_: sys.exit(1))
    checks = Checks()
    folder = tempfile.mkdtemp(prefix="orvane-e2e-")
    sim = Simulator(folder)
    started = time.time()
    try:
        sim.start()
        print("ipmi_sim on 127.0.0.1:%d (%s)" % (sim.port, folder))
        frus, cold = check_load(checks, args, sim, "lan", sim.images)
        plus, _ = check_load(checks, args, sim, "lanplus", sim.images)
        checks.equal("the same FRUs over lan and lanplus",
                     [(f["name"], f["fields"]) for f in plus],
                     [(f["name"], f["fields"]) for f in frus])
        warm_frus, warm = check_load(checks, args, sim, "lan", sim.images)
        checks.equal("a cold load fetches the SDR repository", fetches(cold), 1)
        checks.equal("a warm load takes the records from the cache file", fetches(warm), 0)
        checks.equal("the same FRUs with a warm SDR cache",
                     [(f["name"], f["fields"]) for f in warm_frus],
                     [(f["name"], f["fields"]) for f in frus])

        printed = parse_ipmitool(ipmitool(sim, "lan", "fru", "print").stdout)
        for fru in frus:
            key = system_key(fru)
            if key:
                compare_with_tool(checks, "Orvane vs ipmitool FRU " + key, fru["fields"],
                                  printed.get(ipmitool_name(SYSTEM[key]), {}), 0)

        # The BMC's own FRU directly, the satellite's through Send Message.
        check_commit(checks, args, sim, "lan", frus, "bmc0", "Zeta", "PS-7342")
        check_commit(checks, args, sim, "lanplus", frus, "sat0", "Orb Inc", "SM-SN-12")
        after = parse_orvane(run_host(args, sim, "lan").stdout)
        values = {system_key(f): f["fields"] for f in after}
        checks.equal("Orvane reads the committed manufacturer",
                     values.get("bmc0", {}).get("Board Manufacturer", (0, None))[1], "Zeta")
        checks.equal("Orvane reads the committed serial",
                     values.get("sat0", {}).get("Product Serial Number", (0, None))[1],
                     "SM-SN-12")

        check_tool_write_between_loads(checks, args, sim)

        # A wrong password: no FRUs, the module's reason in the library's debug
        # log (level 1, DBGLOG.txt in the host's folder), and no password anywhere.
        env_password = os.path.join(folder, "wrong-password")
        with open(env_password, "w") as out:
            out.write("not-the-password\n")
        env = orvane_environment(sim, "lanplus")
        env["ORVANE_IPMI_PASSWORD_FILE"] = env_password
        log_folder = os.path.join(folder, "wrong-password-run")
        os.makedirs(log_folder, exist_ok=True)
        wrong = subprocess.run([args.host_program], capture_output=True, text=True, env=env,
                               timeout=60, cwd=log_folder)
        log_path = os.path.join(log_folder, "DBGLOG.txt")
        log = ""
        if os.path.exists(log_path):
            with open(log_path, "rb") as raw:
                log = raw.read().decode("utf-16-le", errors="replace")
        checks.true("a wrong password loads no FRU: " + wrong.stdout.strip(),
                    "FRUS present=0 loaded=0" in wrong.stdout)
        checks.true("a wrong password gives a reason in the debug log: " + log.strip(),
                    "Orvane::Driver - cannot open the IPMI session" in log)
        checks.true("the wrong password stays out of the output and the log",
                    "not-the-password" not in wrong.stdout + wrong.stderr + log)

        # Last, as it restarts the simulator with its original images.
        check_sdr_added(checks, args, sim)
    except (RuntimeError, subprocess.SubprocessError, OSError) as error:
        checks.failures.append(str(error))
    finally:
        sim.stop()
    for failure in checks.failures:
        print("FAIL:", failure)
    print("%s in %.1f s" % ("passed" if not checks.failures else "FAILED", time.time() - started))
    if not checks.failures:
        shutil.rmtree(folder, ignore_errors=True)
    return 1 if checks.failures else 0


def hand_run(args):
    """Starts the simulator and leaves it running; prints its settings, as
    shell assignments with --shell."""
    folder = tempfile.mkdtemp(prefix="orvane-e2e-")
    sim = Simulator(folder, *(bench_system() if args.system == "bench" else (None, None)))
    sim.start()
    env = orvane_environment(sim, args.hand_run)
    settings = {k: env[k] for k in sorted(env) if k.startswith("ORVANE_IPMI")}
    settings.update(ORVANE_E2E_SIM_PID=str(sim.process.pid), ORVANE_E2E_FOLDER=folder)
    for name, value in settings.items():
        print(("export %s='%s'" if args.shell else "%s=%s") % (name, value))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--host-program")
    parser.add_argument("--hand-run", metavar="INTERFACE",
                        help="only start the simulator and leave it running")
    parser.add_argument("--shell", action="store_true")
    parser.add_argument("--system", choices=["test", "bench"], default="test",
                        help="with --hand-run: the system to simulate")
    parsed = parser.parse_args()
    if parsed.hand_run:
        hand_run(parsed)
    else:
        sys.exit(main(parsed))
