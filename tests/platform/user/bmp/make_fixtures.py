#!/usr/bin/env python3
"""Writes the small .bmp files the decoder tests read: good/ holds files every
reader should decode alike, malformed/ files that must be rejected. Run from
this folder; the files are committed, so the build does not need Python."""
import os
import struct


def bmp(width, height, bits, compression, pixels, palette=(), info_size=40,
        off_bits=None, size_image=None, colors_used=None, planes=1, magic=b"BM"):
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in palette)
    extra = b"\0" * (info_size - 40)
    if off_bits is None:
        off_bits = 14 + info_size + len(pal)
    if size_image is None:
        size_image = len(pixels) if compression else 0
    if colors_used is None:
        colors_used = len(palette)
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, planes, bits, compression,
                       size_image, 2834, 2834, colors_used, 0)
    body = info + extra + pal
    gap = b"\0" * max(0, off_bits - 14 - len(body))
    total = 14 + len(body) + len(gap) + len(pixels)
    return magic + struct.pack("<IHHI", total, 0, 0, off_bits) + body + gap + pixels


PALETTE = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255), (40, 80, 120)]


def rows8(width, height, top_down=False):
    stride = (width + 3) & ~3
    out = b""
    for y in range(height):
        row = bytes((x + y) % len(PALETTE) for x in range(width))
        out += row + b"\0" * (stride - width)
    return out


def rows_direct(width, height, bpp):
    stride = (width * bpp + 3) & ~3
    out = b""
    for y in range(height):
        row = b""
        for x in range(width):
            px = bytes(((x * 37 + y * 11) & 0xFF, (x * 5) & 0xFF, (y * 29) & 0xFF))
            row += px + (b"\x7f" if bpp == 4 else b"")
        out += row + b"\0" * (stride - len(row))
    return out


# Width 6, height 4: a run, an absolute run of odd length with its pad byte,
# end of line, a delta of no distance, and end of bitmap; every pixel is set.
RLE = bytes([
    6, 1, 0, 0,                    # row 0: six of index 1
    0, 3, 2, 3, 4, 0, 3, 0, 0, 0,  # row 1: absolute 2 3 4 (pad), run of three 0
    2, 4, 0, 4, 3, 2, 4, 1,        # row 2: 4 4, absolute 3 2 4 1 (even, no pad)
    0, 0,
    3, 3, 0, 2, 0, 0, 3, 1, 0, 1,  # row 3: three of 3, a delta of (0, 0), three of 1, end
])

GOOD = {
    "rle8.bmp": bmp(6, 4, 8, 1, RLE, PALETTE),
    # A delta over two pixels and lines ended early: what no command sets.
    "rle8-skips.bmp": bmp(6, 4, 8, 1, bytes([3, 3, 0, 2, 2, 1, 1, 2, 0, 0, 2, 4, 0, 1]), PALETTE),
    "indexed-bottom-up.bmp": bmp(5, 3, 8, 0, rows8(5, 3), PALETTE),
    "indexed-top-down.bmp": bmp(5, -3, 8, 0, rows8(5, 3), PALETTE),
    "rgb24-padded.bmp": bmp(3, 2, 24, 0, rows_direct(3, 2, 3)),
    "rgb32-top-down.bmp": bmp(4, -3, 32, 0, rows_direct(4, 3, 4)),
    "indexed-v5-header.bmp": bmp(5, 3, 8, 0, rows8(5, 3), PALETTE, info_size=124),
}

good_rle = GOOD["rle8.bmp"]
MALFORMED = {
    "empty.bmp": b"",
    "truncated-header.bmp": good_rle[:30],
    "bad-signature.bmp": bmp(6, 4, 8, 1, RLE, PALETTE, magic=b"BX"),
    "info-header-past-end.bmp": good_rle[:14] + struct.pack("<I", 4000) + good_rle[18:],
    "offset-past-end.bmp": good_rle[:10] + struct.pack("<I", len(good_rle)) + good_rle[14:],
    "offset-into-headers.bmp": bmp(6, 4, 8, 1, RLE, PALETTE, off_bits=40),
    "palette-over-pixels.bmp": bmp(6, 4, 8, 1, RLE, PALETTE, colors_used=200),
    "palette-too-large.bmp": bmp(6, 4, 8, 1, RLE, PALETTE * 52, colors_used=260),
    "zero-width.bmp": bmp(0, 4, 8, 1, RLE, PALETTE),
    "negative-width.bmp": bmp(-6, 4, 8, 1, RLE, PALETTE),
    "zero-height.bmp": bmp(6, 0, 8, 1, RLE, PALETTE),
    "most-negative-height.bmp": bmp(6, -2**31, 8, 0, rows8(6, 4), PALETTE),
    "huge-width.bmp": bmp(2**31 - 1, 1, 8, 1, bytes([0, 1]), PALETTE),
    "huge-area.bmp": bmp(30000, 30000, 8, 1, bytes([0, 1]), PALETTE),
    "two-planes.bmp": bmp(6, 4, 8, 1, RLE, PALETTE, planes=2),
    "sixteen-bits.bmp": bmp(2, 2, 16, 0, b"\0" * 8),
    "bitfields.bmp": bmp(2, 2, 32, 3, b"\0" * 16),
    "rle4.bmp": bmp(6, 4, 8, 2, RLE, PALETTE),
    "rle8-top-down.bmp": bmp(6, -4, 8, 1, RLE, PALETTE),
    "indexed-beyond-palette.bmp": bmp(5, 3, 8, 0, rows8(5, 3)[:-4] + b"\x09\0\0\0", PALETTE),
    "indexed-truncated.bmp": bmp(5, 3, 8, 0, rows8(5, 3)[:-6], PALETTE),
    "rgb24-truncated.bmp": bmp(3, 2, 24, 0, rows_direct(3, 2, 3)[:-5]),
    "rgb32-truncated.bmp": bmp(4, 3, 32, 0, rows_direct(4, 3, 4)[:-1]),
    "rle8-run-past-line.bmp": bmp(6, 4, 8, 1, bytes([7, 1, 0, 1]), PALETTE),
    "rle8-runs-add-past-line.bmp": bmp(6, 4, 8, 1, bytes([4, 1, 3, 1, 0, 1]), PALETTE),
    "rle8-absolute-past-line.bmp":
        bmp(6, 4, 8, 1, bytes([3, 1, 0, 4, 1, 1, 1, 1, 0, 1]), PALETTE),
    "rle8-run-past-bitmap.bmp":
        bmp(6, 4, 8, 1, bytes([0, 0] * 4 + [1, 1, 0, 1]), PALETTE),
    "rle8-lines-past-bitmap.bmp": bmp(6, 4, 8, 1, bytes([0, 0] * 5 + [0, 1]), PALETTE),
    "rle8-delta-right-outside.bmp": bmp(6, 4, 8, 1, bytes([2, 1, 0, 2, 5, 0, 0, 1]), PALETTE),
    "rle8-delta-up-outside.bmp": bmp(6, 4, 8, 1, bytes([0, 2, 0, 4, 0, 1]), PALETTE),
    "rle8-run-beyond-palette.bmp": bmp(6, 4, 8, 1, bytes([2, 5, 0, 1]), PALETTE),
    "rle8-absolute-beyond-palette.bmp":
        bmp(6, 4, 8, 1, bytes([0, 3, 1, 2, 200, 0, 0, 1]), PALETTE),
    "rle8-no-end-mark.bmp": bmp(6, 4, 8, 1, RLE[:-2], PALETTE),
    "rle8-absolute-cut.bmp": bmp(6, 4, 8, 1, bytes([0, 5, 1, 2]), PALETTE),
    "rle8-pad-missing.bmp": bmp(6, 4, 8, 1, bytes([0, 3, 1, 2, 3]), PALETTE),
    "rle8-delta-cut.bmp": bmp(6, 4, 8, 1, bytes([0, 2, 1]), PALETTE),
    "rle8-size-past-end.bmp": bmp(6, 4, 8, 1, RLE, PALETTE, size_image=len(RLE) + 1),
    "rle8-end-beyond-size.bmp": bmp(6, 4, 8, 1, RLE, PALETTE, size_image=len(RLE) - 2),
}

for folder, files in (("good", GOOD), ("malformed", MALFORMED)):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
