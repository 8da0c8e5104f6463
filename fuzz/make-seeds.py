#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

The seeds are derived from the demo system (examples/demo-system), the test
data (tests/data) and, when its folder is given, a handful of real FRU images
(cut to the bytes they use, behind the target's own leading bytes):
    python3 fuzz/make-seeds.py [REAL_IMAGES_FOLDER]
The built catalogues are not kept here: scripts/fuzz.sh adds them from the
build folder to the catalogue target's seeds.
"""
import json
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DEMO = os.path.join(ROOT, "examples", "demo-system")
REAL = sys.argv[1] if len(sys.argv) > 1 else None
# Real images and why each is a seed: info areas with custom fields, a wrong
# checksum, multi-records, 6-bit text, not a FRU image, areas out of order.
REAL_IMAGES = ["meta-fby35-bb-512.bin", "meta-tiogapass-bmc.bin", "adi-AD-FMCOMMS2-EBZ.bin",
               "qemu-catalina-pdb-frugen.bin", "ibm-rainier-bmc-vpd-NOTIPMI.bin",
               "dell-frutool-basic-all-2018.bin"]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def used(image):
    """The image without the fill after its last area."""
    return image.rstrip(b"\xff").rstrip(b"\x00") or image[:8]


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def demo(name):
    return read(os.path.join(DEMO, name))


def real_images():
    if not REAL:
        return []
    return [(n, used(read(os.path.join(REAL, n)))) for n in REAL_IMAGES]


def fru_locator(access, device, logical, bus, name):
    """An IPMI 1.5 FRU device locator record (type 0x11)."""
    body = bytes([access, device, (0x80 if logical else 0) | bus, 0, 0,
                  0x10 if logical else 0x0B, 0, 0x0A, 0, 0, 0xC0 | len(name)]) + name.encode()
    return bytes([0, 0, 0x51, 0x11, len(body)]) + body


def mc_locator(address, channel, name):
    """An IPMI 1.5 management controller device locator record (type 0x12)."""
    body = bytes([address, channel, 0, 0x08, 0, 0, 0, 0x06, 0x01, 0, 0xC0 | len(name)])
    return bytes([0, 0, 0x51, 0x12, len(body)]) + body + name.encode()


COMPACT_SENSOR = bytes.fromhex(
    "02 00 51 02 23 20 00 01 07 01 67 68 01 01 00 00 00 00 00 00 C0 01 01 00 00 00 00 00 00 00 00 "
    "C8 53 79 73 20 54 65 6D 70")

DEMO_SDR = [fru_locator(0x20, 1, True, 0, "Power Supply"), COMPACT_SENSOR,
            fru_locator(0x20, 2, True, 0, "Chassis"), fru_locator(0x20, 0xA0, False, 3, "Riser"),
            mc_locator(0x20, 0, "Mainboard"), mc_locator(0x30, 0, "Satellite")]


def records(rs):
    return b"".join(bytes([len(r)]) + r for r in rs)


def catalogue(source, keep=lambda index, text: text):
    """A message catalogue from a catalogue source: the count, the offsets,
    the lengths (with the terminator), the UTF-16LE texts, the check word."""
    texts = {}
    for line in read(source).decode("utf-8").splitlines():
        if not line or line.startswith("#"):
            continue
        index, _, text = line.partition("\t") if "\t" in line else line.partition(" ")
        text = text.strip(" ").replace("\\n", "\n").replace("\\t", "\t").replace("\\\\", "\\")
        texts[int(index)] = keep(int(index), text)
    entries = [(texts.get(i, "") + "\0").encode("utf-16-le") for i in range(max(texts) + 1)]
    n = len(entries)
    offsets, at = [], 4 + 8 * n
    for e in entries:
        offsets.append(at)
        at += len(e)
    data = struct.pack("<I", n) + struct.pack("<%dI" % n, *offsets)
    data += struct.pack("<%dI" % n, *[len(e) // 2 for e in entries]) + b"".join(entries)
    words = sum(struct.unpack("<%dH" % (len(data) // 2), data))
    return data + struct.pack("<H", (0x10000 - words) & 0xFFFF)


def main():
    # A FRU device: the device kind byte, then the image.
    for way, name in enumerate(["board.bin", "psu.bin", "satellite.bin", "eeprom.bin"]):
        write("fru-device", "demo-" + name, bytes([way]) + demo(name))
    for way, (name, image) in enumerate(real_images()):
        write("fru-device", "real-" + name, bytes([way % 4]) + image)

    write("sdr-records", "demo", records(DEMO_SDR))
    write("sdr-records", "controllers", records(DEMO_SDR[4:]))
    write("sdr-records", "eeprom", records([DEMO_SDR[3]]))

    # Catalogues: every entry as a short text without directives, and the
    # English texts with the directives kept. scripts/fuzz.sh adds the built ones.
    english = os.path.join(ROOT, "catalogue", "enus.txt")
    write("catalogue", "plain.str", catalogue(english, lambda i, t: "E%d" % i if "%" not in t else t))
    write("catalogue", "short.str", catalogue(english, lambda i, t: t[:12]))

    example = read(os.path.join(ROOT, "tests", "data", "worked-example.cfg"))
    write("config-file", "worked-example.cfg", example)
    write("config-file", "worked-example-crlf.cfg", example.replace(b"\n", b"\r\n"))

    # Area edits: image byte, then (operation, operands) steps.
    write("area-edit", "board-fields", bytes([0, 0, 4, 2, 0, 4, 5]) + b"Acme!" +
          bytes([3, 11, 4, 0, 0, 3]) + bytes([0, 2, 5, 8, 0]) + bytes(8))
    write("area-edit", "psu-multirecord", bytes([1, 0, 6, 5, 12, 0]) +
          bytes.fromhex("C0 82 05 00 B9 01 02 03 04 05 00 00"))
    write("area-edit", "chassis-custom", bytes([2, 0, 3, 2, 3, 4, 0, 2, 2, 4, 40]) + b"x" * 40)

    system = json.loads(demo("system.json"))
    write("sim-json", "demo.json", json.dumps(system, indent=1).encode())
    system["faults"] = [
        {"match": {"netfn": "0x0A", "command": "0x11", "offset": 16},
         "completion_code": "0xC8", "skip": 0, "times": 1},
        {"match": {"command": "0x34"}, "completion_code": "0xC0", "times": 2},
        {"match": {"bridged": True}, "effect": "wrong_sequence"}]
    system["controllers"][0]["max_write"] = 4
    write("sim-json", "faults.json", json.dumps(system).encode())

    # The hostile BMC: SDR records, the image, then fault bytes.
    def hostile(rs, image, faults=b""):
        return bytes([len(rs)]) + records(rs) + struct.pack("<H", len(image)) + image + faults
    for target in ["hostile-bmc", "freeipmi-answers"]:
        write(target, "honest", hostile(DEMO_SDR, demo("board.bin")))
        write(target, "faults", hostile(DEMO_SDR[4:], demo("psu.bin"),
                                        bytes([0, 0xA7, 0, 0xA0, 0xC9, 0, 0xA2, 3, 0xF0, 2, 1, 5])))
        write(target, "record-loop", hostile(DEMO_SDR[:2], demo("board.bin"),
                                             bytes([0, 0, 0xA6, 0, 0, 0xA6, 1, 0])))

    # The command's decoders: the length of the encoders' text, then an image.
    for name in ["board.bin", "psu.bin"]:
        write("decoders", "demo-" + name, bytes([0]) + demo(name))
    for name, image in real_images():
        write("decoders", "real-" + name, bytes([8]) + image)

    # Host lists (first byte even) and host files (odd).
    write("host-list", "ranges", b"\0bmc[01-16].lab,node[1-3,7]-[a-b]:623,10.0.0.1")
    write("host-list", "file", b"\1# rack 4\nbmc[1-4] admin /etc/orvane/pw\n\nbmc9:6230\n")


if __name__ == "__main__":
    main()
