#!/usr/bin/env python3
"""Draws Vaultwren's icons and bitmaps from simple shapes and writes them as .ico and .bmp files.

    python3 draw_images.py OUTPUT_FOLDER

Standard library only. Every picture is a list of shapes in a unit square (0..1 across and down),
rendered with supersampling so edges are smooth at every size. Icons carry an alpha channel
(32 bpp images; the 256 px image of an icon is stored as PNG). The toolbar strips are 32 bpp
bitmaps with alpha; their fully transparent pixels are magenta, so that a masked 24-bit image list
can key them out as well. The 13 x 13 menu bitmaps are crisp 8 bpp pictures whose first palette
entry is the background (RGB 192, 192, 192): LR_LOADMAP3DCOLORS or LR_LOADTRANSPARENT turns it into
the menu's own colour.
"""
import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- shapes
# A shape is (bbox, inside(x, y) -> bool) in unit coordinates; drawing it paints a colour with
# the coverage of its samples.


def poly(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    n = len(points)

    def inside(x, y):
        hit = False
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit

    return (min(xs), min(ys), max(xs), max(ys)), inside


def circle(cx, cy, r):
    return (cx - r, cy - r, cx + r, cy + r), lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_outer, r_inner):
    def inside(x, y):
        d = (x - cx) ** 2 + (y - cy) ** 2
        return r_inner * r_inner <= d <= r_outer * r_outer

    return (cx - r_outer, cy - r_outer, cx + r_outer, cy + r_outer), inside


def rrect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r

    return (x0, y0, x1, y1), inside


def line(x0, y0, x1, y1, width):
    """A stroke with round ends."""
    h = width / 2
    vx, vy = x1 - x0, y1 - y0
    length2 = vx * vx + vy * vy or 1e-12

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / length2))
        px, py = x0 + t * vx - x, y0 + t * vy - y
        return px * px + py * py <= h * h

    return (min(x0, x1) - h, min(y0, y1) - h, max(x0, x1) + h, max(y0, y1) + h), inside


def arc(cx, cy, r, width, start_deg, end_deg):
    """A circular stroke from start to end angle (degrees, clockwise from 3 o'clock, y down)."""
    h = width / 2
    a0, a1 = math.radians(start_deg), math.radians(end_deg)

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > h:
            return False
        a = math.atan2(y - cy, x - cx)
        while a < a0:
            a += 2 * math.pi
        return a <= a1

    return (cx - r - h, cy - r - h, cx + r + h, cy + r + h), inside


def gear(cx, cy, r_outer, r_root, teeth):
    points = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step
        for da, r in ((-0.30, r_root), (-0.18, r_outer), (0.18, r_outer), (0.30, r_root)):
            points.append((cx + r * math.cos(a + da * step * 1.6), cy + r * math.sin(a + da * step * 1.6)))
    return poly(points)


def arrow_head(tip_x, tip_y, angle_deg, length, half_width):
    """A filled triangle pointing along angle (degrees, y down)."""
    a = math.radians(angle_deg)
    bx, by = tip_x - length * math.cos(a), tip_y - length * math.sin(a)
    nx, ny = -math.sin(a) * half_width, math.cos(a) * half_width
    return poly([(tip_x, tip_y), (bx + nx, by + ny), (bx - nx, by - ny)])


# ---------------------------------------------------------------- canvas


class Canvas:
    """Non-premultiplied RGBA floats, painted with the 'over' operator."""

    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]

    def paint(self, shape, colour, size, ox=0, oy=0, erase=False):
        """colour: (r, g, b) or (r, g, b, a) 0..255, or a function of the unit y giving one."""
        (bx0, by0, bx1, by1), inside = shape
        ss = 4 if size <= 32 else 3 if size <= 64 else 2
        x_from = max(0, int(math.floor(bx0 * size)))
        x_to = min(size, int(math.ceil(bx1 * size)) + 1)
        y_from = max(0, int(math.floor(by0 * size)))
        y_to = min(size, int(math.ceil(by1 * size)) + 1)
        offsets = [(i + 0.5) / ss for i in range(ss)]
        for py in range(y_from, y_to):
            for px in range(x_from, x_to):
                hits = 0
                for sy in offsets:
                    y = (py + sy) / size
                    for sx in offsets:
                        if inside((px + sx) / size, y):
                            hits += 1
                if not hits:
                    continue
                cov = hits / (ss * ss)
                p = self.px[(oy + py) * self.w + ox + px]
                if erase:
                    p[3] *= 1.0 - cov
                    continue
                c = colour((py + 0.5) / size) if callable(colour) else colour
                a = (c[3] / 255.0 if len(c) > 3 else 1.0) * cov
                out_a = a + p[3] * (1.0 - a)
                if out_a <= 0:
                    continue
                for k in range(3):
                    p[k] = (c[k] / 255.0 * a + p[k] * p[3] * (1.0 - a)) / out_a
                p[3] = out_a

    def draw(self, picture, size, ox=0, oy=0):
        for item in picture:
            if item[0] == "erase":
                self.paint(item[1], None, size, ox, oy, erase=True)
            else:
                self.paint(item[0], item[1], size, ox, oy)

    def map(self, fn):
        for p in self.px:
            p[0], p[1], p[2] = fn(p[0], p[1], p[2])

    def rgba_bytes(self, x0, y0, w, h):
        """Top-down rows of 8-bit RGBA."""
        out = bytearray()
        for y in range(y0, y0 + h):
            for x in range(x0, x0 + w):
                r, g, b, a = self.px[y * self.w + x]
                out += bytes(_byte(v) for v in (r, g, b, a))
        return bytes(out)


def _byte(v):
    return max(0, min(255, int(round(v * 255))))


def render(picture_fn, size):
    c = Canvas(size, size)
    c.draw(picture_fn(size), size)
    return c


def vertical(top, bottom):
    return lambda y: tuple(top[k] + (bottom[k] - top[k]) * y for k in range(3))


# ---------------------------------------------------------------- pictures
BLUE_TOP, BLUE_BOTTOM = (52, 132, 228), (22, 78, 168)
GREEN_TOP, GREEN_BOTTOM = (64, 190, 92), (24, 132, 56)
WHITE = (255, 255, 255)
DARK = (40, 48, 60)
RED = (214, 48, 49)
GREEN = (38, 166, 72)
BLUE = (30, 110, 210)
AMBER = (238, 168, 40)
GREY = (120, 128, 140)


def vault(size):
    """The program's mark: a vault door (dial ring, hub and handle spokes) on a blue tile."""
    small = size <= 20
    shapes = [(rrect(0.04, 0.04, 0.96, 0.96, 0.18), vertical(BLUE_TOP, BLUE_BOTTOM))]
    if small:
        shapes += [(ring(0.5, 0.5, 0.34, 0.22), WHITE), (circle(0.5, 0.5, 0.09), WHITE)]
        return shapes
    shapes += [
        (ring(0.5, 0.5, 0.36, 0.28), WHITE),
        (circle(0.5, 0.5, 0.075), WHITE),
    ]
    for angle in (-90, 30, 150):
        a = math.radians(angle)
        shapes.append((line(0.5, 0.5, 0.5 + 0.2 * math.cos(a), 0.5 + 0.2 * math.sin(a), 0.06), WHITE))
        shapes.append((circle(0.5 + 0.2 * math.cos(a), 0.5 + 0.2 * math.sin(a), 0.045), WHITE))
    # Bolts on the door's rim, where there are pixels enough to show them.
    for angle in range(0, 360, 45) if size >= 48 else ():
        a = math.radians(angle + 22.5)
        shapes.append((circle(0.5 + 0.41 * math.cos(a), 0.5 + 0.41 * math.sin(a), 0.022), (200, 222, 250)))
    return shapes


def tray_idle(size):
    return [
        (rrect(0.04, 0.04, 0.96, 0.96, 0.2), vertical(BLUE_TOP, BLUE_BOTTOM)),
        (ring(0.5, 0.5, 0.33, 0.2), WHITE),
        (circle(0.5, 0.5, 0.09), WHITE),
    ]


def tray_running(size):
    """Green tile with a circular arrow: unlike the idle look in colour and in shape."""
    cx, cy, r, end = 0.5, 0.53, 0.26, 235
    a = math.radians(end)
    # The head continues the stroke clockwise from its end.
    tx, ty = -math.sin(a), math.cos(a)
    ex, ey = cx + r * math.cos(a), cy + r * math.sin(a)
    return [
        (rrect(0.04, 0.04, 0.96, 0.96, 0.2), vertical(GREEN_TOP, GREEN_BOTTOM)),
        (arc(cx, cy, r, 0.14, -70, end), WHITE),
        (arrow_head(ex + tx * 0.2, ey + ty * 0.2, math.degrees(math.atan2(ty, tx)), 0.28, 0.21), WHITE),
    ]


def folder(size):
    return [
        (rrect(0.06, 0.16, 0.46, 0.36, 0.05), (214, 150, 28)),
        (rrect(0.06, 0.24, 0.94, 0.86, 0.06), (228, 168, 40)),
        (rrect(0.06, 0.36, 0.94, 0.86, 0.06), vertical((255, 214, 102), (242, 184, 56))),
    ]


def close_mark(size):
    w = 0.14
    return [(line(0.22, 0.22, 0.78, 0.78, w), WHITE), (line(0.78, 0.22, 0.22, 0.78, w), WHITE)]


def document(x0=0.16, y0=0.06, x1=0.74, y1=0.9):
    return [
        (rrect(x0, y0, x1, y1, 0.05), (150, 158, 170)),
        (rrect(x0 + 0.035, y0 + 0.035, x1 - 0.035, y1 - 0.035, 0.03), WHITE),
        (line(x0 + 0.1, y0 + 0.2, x1 - 0.1, y0 + 0.2, 0.045), (178, 186, 198)),
        (line(x0 + 0.1, y0 + 0.34, x1 - 0.1, y0 + 0.34, 0.045), (178, 186, 198)),
        (line(x0 + 0.1, y0 + 0.48, x1 - 0.2, y0 + 0.48, 0.045), (178, 186, 198)),
    ]


def tb_add(size):
    return document() + [
        (circle(0.7, 0.7, 0.25), GREEN),
        (line(0.7, 0.57, 0.7, 0.83, 0.09), WHITE),
        (line(0.57, 0.7, 0.83, 0.7, 0.09), WHITE),
    ]


def tb_edit(size):
    # A pencil lying from the lower left to the upper right over a page.
    a = math.radians(-45)
    ux, uy = math.cos(a), math.sin(a)  # along the pencil
    nx, ny = -uy, ux  # across it
    h = 0.085
    tip = (0.34, 0.88)

    def at(t, s):
        return (tip[0] + ux * t + nx * s, tip[1] + uy * t + ny * s)

    return document() + [
        (poly([at(0.16, -h), at(0.62, -h), at(0.62, h), at(0.16, h)]), AMBER),
        (poly([at(0.62, -h), at(0.72, -h), at(0.72, h), at(0.62, h)]), (232, 96, 112)),
        (poly([at(0, 0), at(0.16, -h), at(0.16, h)]), (244, 214, 170)),
        (poly([at(0, 0), at(0.06, -h * 0.38), at(0.06, h * 0.38)]), DARK),
    ]


def tb_delete(size):
    w = 0.15
    return [
        (line(0.2, 0.2, 0.8, 0.8, w), RED),
        (line(0.8, 0.2, 0.2, 0.8, w), RED),
    ]


def round_button(colour):
    return [(circle(0.5, 0.5, 0.44), vertical(tuple(min(255, c + 40) for c in colour), colour))]


def tb_start(size):
    return round_button(GREEN) + [(poly([(0.4, 0.3), (0.72, 0.5), (0.4, 0.7)]), WHITE)]


def tb_pause(size):
    return round_button((232, 150, 20)) + [
        (rrect(0.35, 0.3, 0.45, 0.7, 0.02), WHITE),
        (rrect(0.55, 0.3, 0.65, 0.7, 0.02), WHITE),
    ]


def tb_stop(size):
    return round_button(RED) + [(rrect(0.33, 0.33, 0.67, 0.67, 0.03), WHITE)]


def tb_up(size):
    return [
        (line(0.5, 0.82, 0.5, 0.36, 0.16), BLUE),
        (poly([(0.5, 0.12), (0.82, 0.48), (0.18, 0.48)]), BLUE),
    ]


def tb_down(size):
    return [
        (line(0.5, 0.18, 0.5, 0.64, 0.16), BLUE),
        (poly([(0.5, 0.88), (0.82, 0.52), (0.18, 0.52)]), BLUE),
    ]


def tb_options(size):
    return [
        (gear(0.5, 0.5, 0.44, 0.33, 8), vertical((150, 160, 174), (92, 102, 116))),
        ("erase", circle(0.5, 0.5, 0.14)),
    ]


def tb_about(size):
    return round_button(BLUE) + [
        (circle(0.5, 0.29, 0.065), WHITE),
        (rrect(0.44, 0.42, 0.56, 0.75, 0.03), WHITE),
    ]


TOOLBAR = [tb_add, tb_edit, tb_delete, tb_start, tb_pause, tb_stop, tb_up, tb_down, tb_options, tb_about]

# 13 x 13 menu pictures: rows of characters, '.' background, letters from the palette.
MENU_PALETTE = {".": (192, 192, 192), "g": (24, 150, 60), "G": (70, 196, 100), "b": (40, 64, 120),
                "r": (200, 40, 40), "R": (236, 90, 90)}
MENU_START = [
    ".............",
    "....g........",
    "....gg.......",
    "....gGg......",
    "....gGGg.....",
    "....gGGGg....",
    "....gGGGGg...",
    "....gGGGg....",
    "....gGGg.....",
    "....gGg......",
    "....gg.......",
    "....g........",
    ".............",
]
MENU_PAUSE = [
    ".............",
    ".............",
    "...bbb.bbb...",
    "...bbb.bbb...",
    "...bbb.bbb...",
    "...bbb.bbb...",
    "...bbb.bbb...",
    "...bbb.bbb...",
    "...bbb.bbb...",
    "...bbb.bbb...",
    "...bbb.bbb...",
    ".............",
    ".............",
]
MENU_STOP = [
    ".............",
    ".............",
    "..rrrrrrrrr..",
    "..rRRRRRRRr..",
    "..rRRRRRRRr..",
    "..rRRRRRRRr..",
    "..rRRRRRRRr..",
    "..rRRRRRRRr..",
    "..rRRRRRRRr..",
    "..rRRRRRRRr..",
    "..rrrrrrrrr..",
    ".............",
    ".............",
]

# ---------------------------------------------------------------- file formats


def bmp_info_header(width, height, bpp, image_size, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, image_size, 2835, 2835, colours, 0)


def bgra_rows_bottom_up(rgba, width, height, transparent_key=None):
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = rgba[y * width * 4:(y + 1) * width * 4]
        for x in range(width):
            r, g, b, a = row[x * 4:x * 4 + 4]
            if a == 0 and transparent_key:
                r, g, b = transparent_key
            out += bytes((b, g, r, a))
    return bytes(out)


def write_bmp32(path, rgba, width, height):
    pixels = bgra_rows_bottom_up(rgba, width, height, transparent_key=(255, 0, 255))
    header = bmp_info_header(width, height, 32, len(pixels))
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)))
        f.write(header + pixels)


def write_bmp8(path, rows, palette_map):
    keys = list(palette_map)  # '.' first: the background is palette entry 0
    width, height = len(rows[0]), len(rows)
    stride = (width + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        pixels += bytes(keys.index(ch) for ch in row) + bytes(stride - width)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in palette_map.values())
    palette += bytes(4 * (256 - len(keys)))
    header = bmp_info_header(width, height, 8, len(pixels), 256)
    offset = 14 + len(header) + len(palette)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset))
        f.write(header + palette + pixels)


def png(rgba, width, height):
    raw = b"".join(b"\0" + rgba[y * width * 4:(y + 1) * width * 4] for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def ico_image(rgba, size):
    if size >= 256:
        return png(rgba, size, size)
    xor = bgra_rows_bottom_up(rgba, size, size)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return bmp_info_header(size, size * 2, 32, len(xor) + len(mask)) + xor + bytes(mask)


def write_ico(path, picture_fn, sizes):
    images = []
    for size in sizes:
        images.append((size, ico_image(render(picture_fn, size).rgba_bytes(0, 0, size, size), size)))
    offset = 6 + 16 * len(images)
    directory, data = b"", b""
    for size, image in images:
        dim = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + directory + data)


def toolbar_strip(size=32):
    c = Canvas(size * len(TOOLBAR), size)
    for i, fn in enumerate(TOOLBAR):
        c.draw(fn(size), size, ox=i * size)
    return c


def cold(r, g, b):
    """Greyed and lighter: buttons the pointer is not over."""
    lum = 0.3 * r + 0.59 * g + 0.11 * b
    mix = lambda v: 0.35 * v + 0.65 * lum
    return tuple(0.8 * mix(v) + 0.2 for v in (r, g, b))


def hot(r, g, b):
    """Brighter and a little more saturated: the button under the pointer."""
    lum = 0.3 * r + 0.59 * g + 0.11 * b
    return tuple(min(1.0, (lum + (v - lum) * 1.15) * 1.12 + 0.04) for v in (r, g, b))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, "vaultwren.ico"), vault, [16, 24, 32, 48, 64, 256])
    write_ico(os.path.join(out, "tray_idle.ico"), tray_idle, [16, 20, 24, 32])
    write_ico(os.path.join(out, "tray_running.ico"), tray_running, [16, 20, 24, 32])
    write_ico(os.path.join(out, "browse.ico"), folder, [16, 20, 24, 32])
    write_ico(os.path.join(out, "close_mark.ico"), close_mark, [14, 16, 20, 24, 32])
    write_bmp8(os.path.join(out, "menu_start.bmp"), MENU_START, MENU_PALETTE)
    write_bmp8(os.path.join(out, "menu_pause.bmp"), MENU_PAUSE, MENU_PALETTE)
    write_bmp8(os.path.join(out, "menu_stop.bmp"), MENU_STOP, MENU_PALETTE)
    for name, adjust in (("toolbar.bmp", None), ("toolbar_cold.bmp", cold), ("toolbar_hot.bmp", hot)):
        strip = toolbar_strip()
        if adjust:
            strip.map(adjust)
        write_bmp32(os.path.join(out, name), strip.rgba_bytes(0, 0, strip.w, strip.h), strip.w, strip.h)


if __name__ == "__main__":
    main()
