#!/usr/bin/env python3
"""Draws the selector's images and writes them beside this script.

  state_images.bmp   bitmap 115: four 16x16 tree state images on white (blank, empty box,
                     ticked box, box with a grey pattern); white is the image list's mask.
  ZanviSelector.ico  icon 128: a blue rounded square with a white "Z", 16, 32 and 48 pixels.

The generated files are committed; run this again only after changing the drawing.
Plain Python, no imaging library: the BMP and ICO bytes are written by hand.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

WHITE = (255, 255, 255)
# The box interior is one step off white so that the image list's white mask leaves it opaque.
BOX_FILL = (255, 255, 254)
BOX_EDGE = (64, 64, 64)
TICK = (32, 32, 32)
GREY = (128, 128, 128)


def state_image(kind):
    """One 16x16 state image as rows of (r, g, b), top row first."""
    px = [[WHITE] * 16 for _ in range(16)]
    if kind == "blank":
        return px
    for y in range(1, 14):
        for x in range(1, 14):
            edge = x in (1, 13) or y in (1, 13)
            px[y][x] = BOX_EDGE if edge else BOX_FILL
    if kind == "checked":
        # The classic seven-column tick, three pixels thick.
        for x, top in zip(range(4, 11), (6, 7, 8, 7, 6, 5, 4)):
            for y in range(top, top + 3):
                px[y][x] = TICK
    elif kind == "grey":
        for y in range(3, 12):
            for x in range(3, 12):
                if (x + y) % 2 == 0:
                    px[y][x] = GREY
    return px


def write_bmp(path, rows):
    """24-bit bottom-up BMP of rows of (r, g, b), top row first."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


# Icon drawing in unit coordinates (0..1, y down), sampled 4x4 per pixel.
Z_OUTLINE = [(0.24, 0.22), (0.76, 0.22), (0.76, 0.34), (0.43, 0.66), (0.76, 0.66),
             (0.76, 0.78), (0.24, 0.78), (0.24, 0.66), (0.57, 0.34), (0.24, 0.34)]
TOP_BLUE, BOTTOM_BLUE, EDGE_BLUE = (42, 127, 201), (21, 80, 138), (14, 58, 102)


def in_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def in_rounded_square(x, y, inset, radius):
    lo, hi = inset, 1.0 - inset
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def icon_sample(x, y, size):
    """Colour of one sample point, or None where the icon is transparent."""
    edge = 1.0 / size  # a one-pixel frame at every size
    if not in_rounded_square(x, y, 0.03, 0.18):
        return None
    if not in_rounded_square(x, y, 0.03 + edge, 0.18 - edge):
        return EDGE_BLUE
    if in_polygon(x, y, Z_OUTLINE):
        return WHITE
    return tuple(round(t + (b - t) * y) for t, b in zip(TOP_BLUE, BOTTOM_BLUE))


def icon_pixels(size):
    """Rows of (r, g, b, a), top row first."""
    n = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc, hits = [0, 0, 0], 0
            for sy in range(n):
                for sx in range(n):
                    c = icon_sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, size)
                    if c is not None:
                        hits += 1
                        for k in range(3):
                            acc[k] += c[k]
            if hits:
                row.append((round(acc[0] / hits), round(acc[1] / hits), round(acc[2] / hits),
                            round(255 * hits / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, 32-bit colour bottom-up, then the 1-bit AND mask."""
    rows = icon_pixels(size)
    colour = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def main():
    images = [state_image(k) for k in ("blank", "unchecked", "checked", "grey")]
    strip = [sum((img[y] for img in images), []) for y in range(16)]
    write_bmp(os.path.join(HERE, "state_images.bmp"), strip)
    write_ico(os.path.join(HERE, "ZanviSelector.ico"), [16, 32, 48])


if __name__ == "__main__":
    main()
