#!/usr/bin/env python3
"""Writes a small program image for the packaging tool's tests: a Windows GUI
program with one section of code, then filler up to SIZE bytes; PE32 (i686)
by default, PE32+ with --magic 0x20b.

    tiny_pe.py OUT SIZE [--machine N] [--magic N] [--subsystem N]
"""
import argparse
import random
import struct

p = argparse.ArgumentParser()
p.add_argument("out")
p.add_argument("size", type=int)
p.add_argument("--machine", type=lambda v: int(v, 0), default=0x14C)
p.add_argument("--magic", type=lambda v: int(v, 0), default=0x10B)
p.add_argument("--subsystem", type=int, default=2)
a = p.parse_args()

image = bytearray(max(a.size, 1024))
dos = b"MZ" + bytes(0x3A) + struct.pack("<I", 0x40)
plus = a.magic == 0x20B
coff = struct.pack("<HHIIIHH", a.machine, 1, 0, 0, 0, 0xF0 if plus else 0xE0, 0x0022 if plus else 0x0102)
opt = bytearray(0xF0 if plus else 0xE0)
if plus:
    struct.pack_into("<HBBIIIII", opt, 0, a.magic, 0, 0, 0x200, 0, 0, 0x1000, 0x1000)
    struct.pack_into("<QIIHHHHHHIIIIHHQQQQII", opt, 24, 0x400000, 0x1000, 0x200, 4, 0, 0, 0, 4, 0, 0,
                     0x2000, 0x200, 0, a.subsystem, 0, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
else:
    struct.pack_into("<HBBIIIIII", opt, 0, a.magic, 0, 0, 0x200, 0, 0, 0x1000, 0x1000, 0x2000)
    struct.pack_into("<IIIHHHHHHIIIIHHIIIIII", opt, 28, 0x400000, 0x1000, 0x200, 4, 0, 0, 0, 4, 0, 0,
                     0x2000, 0x200, 0, a.subsystem, 0, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
section = struct.pack("<8sIIIIIIHHI", b".text", 0x200, 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020)
headers = dos + b"PE\0\0" + coff + bytes(opt) + section
image[:len(headers)] = headers
image[0x200] = 0xC3  # ret
rng = random.Random(a.size)
image[1024:] = bytes(rng.getrandbits(8) for _ in range(len(image) - 1024))
with open(a.out, "wb") as f:
    f.write(image)
