#!/usr/bin/env python3
"""Builds the FRU images of the demo system from readable field values.

Each image is an IPMI FRU v1 image: the common header, then the internal use,
chassis, board and product info areas and the multi-record area that the
device has. Info area fields are 8-bit ASCII (type/length byte 0xC0 | length),
closed by the 0xC1 end marker, padded with 0x00 to a multiple of 8 bytes with
SLACK more bytes of room so fields can grow when edited, and closed with a
checksum that makes the area sum to 0. Run it again after changing a value:
    python3 make-images.py
"""
import datetime
import os
import struct

SLACK = 8  # free bytes left in each info area
HERE = os.path.dirname(os.path.abspath(__file__))


def checksum(data):
    return (-sum(data)) & 0xFF


def field(text):
    raw = text.encode("ascii")
    assert len(raw) <= 63, text
    return bytes([0xC0 | len(raw)]) + raw


def info_area(body):
    """Version byte, length byte (units of 8), body, end marker, padding, checksum."""
    data = bytearray([0x01, 0x00]) + body + b"\xC1"
    total = len(data) + 1 + SLACK
    total = (total + 7) // 8 * 8
    data += b"\x00" * (total - 1 - len(data))
    data[1] = total // 8
    data.append(checksum(data))
    return bytes(data)


def chassis_area(chassis_type, part, serial, custom=()):
    body = bytes([chassis_type]) + field(part) + field(serial)
    for text in custom:
        body += field(text)
    return info_area(body)


def minutes_since_1996(when):
    return int((when - datetime.datetime(1996, 1, 1)).total_seconds() // 60)


def board_area(made, manufacturer, product, serial, part, file_id, custom=()):
    body = bytes([0x00])  # language: English
    body += struct.pack("<I", minutes_since_1996(made))[:3]
    for text in (manufacturer, product, serial, part, file_id) + tuple(custom):
        body += field(text)
    return info_area(body)


def product_area(manufacturer, name, model, version, serial, asset, file_id, custom=()):
    body = bytes([0x00])  # language: English
    for text in (manufacturer, name, model, version, serial, asset, file_id) + tuple(custom):
        body += field(text)
    return info_area(body)


def internal_use_area(data):
    area = bytearray([0x01]) + data
    area += b"\x00" * (-len(area) % 8)
    return bytes(area)


def multi_records(records):
    """Each record: type, format 2 (0x80 marks the last), length, data checksum,
    header checksum, data."""
    out = bytearray()
    for i, (kind, data) in enumerate(records):
        last = 0x80 if i == len(records) - 1 else 0x00
        header = bytearray([kind, 0x02 | last, len(data), checksum(data)])
        header.append(checksum(header))
        out += header + data
    out += b"\x00" * (-len(out) % 8)
    return bytes(out)


def power_supply_record(capacity_w, peak_va, inrush_a, inrush_ms, low1, high1, low2, high2,
                        low_hz, high_hz, dropout_ms, flags, peak_w, combined):
    """Power supply information (record type 0x00), 24 bytes; voltages in 10 mV."""
    return (struct.pack("<HHBBHHHHBBBBH", capacity_w, peak_va, inrush_a, inrush_ms, low1, high1,
                        low2, high2, low_hz, high_hz, dropout_ms, flags, peak_w)
            + bytes(combined) + bytes([0x00]))


def dc_output_record(output, nominal, neg, pos, ripple, min_ma, max_ma):
    """DC output (record type 0x01), 13 bytes; voltages in 10 mV, currents in mA."""
    return struct.pack("<BhhhHHH", output, nominal, neg, pos, ripple, min_ma, max_ma)


def image(internal=None, chassis=None, board=None, product=None, records=None):
    """The common header followed by the areas in that order."""
    areas = [internal, chassis, board, product, records]
    offsets = []
    body = bytearray()
    for area in areas:
        if area is None:
            offsets.append(0)
        else:
            offsets.append((8 + len(body)) // 8)
            body += area
    header = bytearray([0x01] + offsets + [0x00])
    header.append(checksum(header))
    return bytes(header + body)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
    print(f"{name}: {len(data)} bytes")


def main():
    made = datetime.datetime(2024, 3, 15, 8, 30)
    write("board.bin", image(
        internal=internal_use_area(b"ORVANE-DEMO-CFG\x01\x02"),
        chassis=chassis_area(0x17, "CH-1000-01", "CHS0001234"),
        board=board_area(made, "Orvane Systems", "Demo Mainboard", "MB0042", "MB-2200-A",
                         "board.bin"),
        product=product_area("Orvane Systems", "Demo Server 2200", "DS-2200", "1.0",
                             "SRV0007", "ASSET-0001", "board.bin"),
        records=multi_records([
            (0x01, dc_output_record(0x01, 1200, -60, 60, 50, 100, 20000)),
            (0xC0, bytes([0x5A, 0x3D, 0x00]) + b"demo-oem"),
        ])))
    write("psu.bin", image(
        board=board_area(made, "Orvane Power", "PSU 800W", "PS0815", "PSU-800-B", "psu.bin"),
        records=multi_records([
            (0x00, power_supply_record(800, 900, 40, 10, 9000, 14000, 18000, 26400, 47, 63, 20,
                                       0x02, 850, [0x00, 0x00, 0x00])),
        ])))
    write("chassis.bin", image(
        chassis=chassis_area(0x17, "CH-1000-01", "CHS0001234",
                             custom=("Rack B04", "U 12-14", "Owner: Lab 3"))))
    write("eeprom.bin", image(
        board=board_area(made, "Orvane Systems", "Riser Card", "RC0099", "RC-100", "eeprom.bin"),
        product=product_area("Orvane Systems", "Riser Card", "RC-100", "2.0", "RC0099", "",
                             "eeprom.bin")))
    write("satellite.bin", image(
        board=board_area(made, "Orvane Systems", "Storage Backplane", "BP0310", "BP-12",
                         "satellite.bin"),
        product=product_area("Orvane Systems", "12-Bay Backplane", "BP-12", "1.1", "BP0310",
                             "", "satellite.bin")))


if __name__ == "__main__":
    main()
