#!/usr/bin/env python3
"""Writes the demo's sample firmware images: Intel HEX, 32-byte records, CR LF.

Each image is made up here (no real firmware): a text banner, the identification marker
12 34 FE DC followed by the image's four identification bytes, and a filler pattern, so that the
Firmware page of torvanreader-demo can load, identify and program it into the simulated extender.
Run it again after changing it; the .hex files are committed.
"""
import os

MARKER = bytes([0x12, 0x34, 0xFE, 0xDC])
SIZE = 8192


def image(banner, block):
    body = banner.encode() + b"\0" * (64 - len(banner)) + MARKER + bytes(block)
    filler = bytes((i * 37 + 11) & 0xFF for i in range(SIZE - len(body)))
    return body + filler


def hex_text(data):
    lines = []
    for address in range(0, len(data), 32):
        chunk = data[address:address + 32]
        record = [len(chunk), address >> 8, address & 0xFF, 0x00] + list(chunk)
        lines.append(":" + "".join("%02X" % b for b in record) + "%02X" % (-sum(record) & 0xFF))
    lines.append(":00000001FF")
    return "".join(line + "\r\n" for line in lines)


here = os.path.dirname(os.path.abspath(__file__))
# QX710 transmitter and QX720 receiver, firmware 3072.2: one step above what the simulated chips run.
samples = {
    "demo-local-tx-3072.2.hex": image("TorvanReader demo firmware, local QX710 TX", [0x23, 0x07, 0x22, 0x10]),
    "demo-remote-rx-3072.2.hex": image("TorvanReader demo firmware, remote QX720 RX", [0x33, 0x07, 0x22, 0x00]),
}
for name, data in samples.items():
    with open(os.path.join(here, name), "w", newline="") as out:
        out.write(hex_text(data))
