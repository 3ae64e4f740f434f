"""A small PNG writer using only the Python standard library (zlib and struct).

write_png(path, width, height, rows, alpha=True) writes 8-bit RGBA (or RGB) pixels (png_bytes
returns the same bytes without writing them). rows is a
list of height rows, each a bytes-like object of width * 4 (or * 3) bytes. Every row is stored
with the PNG filter that compresses best of None, Sub, Up, Average and Paeth (chosen by the
usual smallest sum of absolute differences), and the output carries no timestamp, so the same
pixels always give the same bytes.
"""

import struct
import zlib


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    if pb <= pc:
        return b
    return c


def _filter_row(row, prev, bpp):
    n = len(row)
    candidates = [(0, bytes(row))]
    sub = bytearray(n)
    up = bytearray(n)
    avg = bytearray(n)
    paeth = bytearray(n)
    for i in range(n):
        a = row[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        x = row[i]
        sub[i] = (x - a) & 0xFF
        up[i] = (x - b) & 0xFF
        avg[i] = (x - ((a + b) >> 1)) & 0xFF
        paeth[i] = (x - _paeth(a, b, c)) & 0xFF
    candidates += [(1, bytes(sub)), (2, bytes(up)), (3, bytes(avg)), (4, bytes(paeth))]

    def cost(item):
        return sum(v if v < 128 else 256 - v for v in item[1])

    kind, data = min(candidates, key=cost)
    return bytes([kind]) + data


def write_png(path, width, height, rows, alpha=True):
    data = png_bytes(width, height, rows, alpha)
    with open(path, "wb") as f:
        f.write(data)
    return len(data)


def png_bytes(width, height, rows, alpha=True):
    bpp = 4 if alpha else 3
    raw = bytearray()
    prev = bytes(width * bpp)
    for row in rows:
        row = bytes(row)
        if len(row) != width * bpp:
            raise ValueError("row has %d bytes, expected %d" % (len(row), width * bpp))
        raw += _filter_row(row, prev, bpp)
        prev = row
    if len(rows) != height:
        raise ValueError("%d rows, expected %d" % (len(rows), height))
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    data = (
        b"\x89PNG\r\n\x1a\n"
        + _chunk(b"IHDR", header)
        + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + _chunk(b"IEND", b"")
    )
    return data
