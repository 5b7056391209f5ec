#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Makes the Windows window's pictures from the window's own SVG drawings:
# art/icon.ico (32 x 32 and 16 x 16, 32-bit with mask), art/logo.bmp and
# art/busy.bmp (24-bit, drawn over the dialog face colour). The results are
# committed, so that a cross build needs neither rsvg-convert nor Python;
# run this again after changing a drawing:
#   app/window_win32/make_art.py
import os
import struct
import subprocess
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SVG = os.path.join(HERE, "..", "window", "art")
OUT = os.path.join(HERE, "art")
FACE = (0xF0, 0xF0, 0xF0)  # the dialog background the bitmaps sit on


def render(name, size=None):
    """The drawing as rows of (r, g, b, a), top row first."""
    command = ["rsvg-convert", "--format=png"]
    if size:
        command += ["--width", str(size), "--height", str(size)]
    png = subprocess.run(command + [os.path.join(SVG, name + ".svg")], check=True, capture_output=True).stdout
    return decode_png(png)


def decode_png(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, chunks, idat = 8, {}, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IDAT":
            idat += body
        else:
            chunks[kind] = body
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    # rsvg-convert writes 8-bit RGBA, or RGB for an opaque drawing.
    assert depth == 8 and colour in (2, 6) and interlace == 0
    channels = 4 if colour == 6 else 3
    raw, stride, rows, previous = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append([tuple(line[i:i + 3]) + ((line[i + 3],) if channels == 4 else (255,))
                     for i in range(0, stride, channels)])
        previous = line
    return rows


def over_face(pixel):
    r, g, b, a = pixel
    return tuple((c * a + f * (255 - a)) // 255 for c, f in zip((r, g, b), FACE))


def bmp_pixels_24(rows):
    width = len(rows[0])
    pad = b"\0" * ((4 - width * 3 % 4) % 4)
    out = b""
    for row in reversed(rows):
        out += b"".join(bytes(reversed(over_face(p))) for p in row) + pad
    return out


def write_bmp(name, rows):
    width, height = len(rows[0]), len(rows)
    pixels = bmp_pixels_24(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(os.path.join(OUT, name + ".bmp"), "wb") as out:
        out.write(header + info + pixels)


def icon_image(rows):
    size = len(rows)
    colour = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def write_icon(name, sizes):
    images = [(size, icon_image(render(name, size))) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(os.path.join(OUT, name + ".ico"), "wb") as target:
        target.write(out + b"".join(image for _, image in images))


os.makedirs(OUT, exist_ok=True)
write_icon("icon", [32, 16])
write_bmp("logo", render("logo"))
write_bmp("busy", render("busy"))
