#!/usr/bin/env python3
"""Draws the program's bitmaps, icons and the call indicator strip.

Every picture is built from signed distance shapes (circles, rounded boxes,
strokes, arcs, polygons) and smooth gradients, so that edges are
antialiased without supersampling, and written byte for byte the same on
every run. Standard library only.

    python3 resources/make_art.py [output folder]   (default: resources/art)
"""

import math
import os
import struct
import sys

# The family's colours.
INK = (30, 47, 74)          # navy, the text colour of the light surfaces
BRAND_A = (43, 92, 138)     # steel blue
BRAND_B = (63, 167, 160)    # teal
GREEN = (46, 158, 106)
RED = (214, 69, 69)
BLUE = (44, 110, 190)
AMBER = (216, 150, 48)
SLATE = (107, 122, 140)
WHITE = (255, 255, 255)
MAGENTA = (255, 0, 255)
MARK_KEY = (164, 164, 164)
# What keyed pictures are laid on: their edge pixels are blended with it.
LIGHT_SURFACE = (236, 241, 245)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def shade(c, f):
    """Lighter for f > 0 (towards white), darker for f < 0."""
    return mix(c, WHITE, f) if f >= 0 else mix(c, (0, 0, 0), -f)


def coverage(d):
    return clamp(0.5 - d)


# Signed distances: negative inside.
def circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def box(px, py, cx, cy, hw, hh, r=0.0):
    qx = abs(px - cx) - hw + r
    qy = abs(py - cy) - hh + r
    return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r


def stroke(px, py, ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - r


def arc(px, py, cx, cy, radius, r, a0, a1):
    """A stroke of half-width r along the circle, from angle a0 to a1
    (degrees, counter-clockwise, y up), with round ends."""
    ang = math.degrees(math.atan2(-(py - cy), px - cx)) % 360.0
    if a1 - a0 >= 360.0 or (ang - a0) % 360.0 <= (a1 - a0) % 360.0:
        return abs(math.hypot(px - cx, py - cy) - radius) - r
    ends = []
    for a in (a0, a1):
        ex = cx + radius * math.cos(math.radians(a))
        ey = cy - radius * math.sin(math.radians(a))
        ends.append(math.hypot(px - ex, py - ey) - r)
    return min(ends)


def polygon(px, py, pts):
    d = float("inf")
    inside = False
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        d = min(d, stroke(px, py, ax, ay, bx, by, 0.0))
        if (ay > py) != (by > py) and px < (bx - ax) * (py - ay) / (by - ay) + ax:
            inside = not inside
    return -d if inside else d


def rotate(px, py, cx, cy, degrees):
    a = math.radians(degrees)
    x, y = px - cx, py - cy
    return cx + x * math.cos(a) - y * math.sin(a), cy + x * math.sin(a) + y * math.cos(a)


class Canvas:
    """Straight-alpha RGBA floats, rows top to bottom."""

    def __init__(self, w, h, fill=(0, 0, 0), alpha=0.0):
        self.w, self.h = w, h
        self.px = [[list(fill) + [alpha] for _ in range(w)] for _ in range(h)]

    def paint(self, sdf, colour, opacity=1.0, x0=0, y0=0, x1=None, y1=None):
        """Lays a shape over the canvas; colour is an RGB or a function of
        the pixel centre."""
        x1 = self.w if x1 is None else x1
        y1 = self.h if y1 is None else y1
        for y in range(y0, y1):
            row = self.px[y]
            for x in range(x0, x1):
                cx, cy = x + 0.5, y + 0.5
                a = coverage(sdf(cx, cy)) * opacity
                if a <= 0.0:
                    continue
                c = colour(cx, cy) if callable(colour) else colour
                p = row[x]
                out_a = a + p[3] * (1.0 - a)
                for i in range(3):
                    p[i] = (c[i] * a + p[i] * p[3] * (1.0 - a)) / out_a
                p[3] = out_a

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.px[oy + y][ox + x] = list(other.px[y][x])

    def flattened(self, backdrop, key=None, threshold=0.02):
        """RGB bytes over a backdrop colour; with a key colour, pixels the
        shapes do not reach become the key."""
        rows = []
        for row in self.px:
            out = []
            for p in row:
                if key is not None and p[3] < threshold:
                    out.append(key)
                    continue
                c = tuple(int(round(clamp(v, 0, 255))) for v in mix(backdrop, p[:3], p[3]))
                if c == key:
                    # A drawn pixel must never be taken for the key.
                    c = (c[0], c[1], c[2] - 1 if c[2] else 1)
                out.append(c)
            rows.append(out)
        return rows

    def rgba_bytes(self):
        rows = []
        for row in self.px:
            rows.append([tuple(int(round(clamp(v, 0, 255))) for v in p[:3]) + (int(round(clamp(p[3]) * 255)),)
                         for p in row])
        return rows


# ---------------------------------------------------------------- writers

def write_bmp24(path, rows):
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(rows):
    """One icon directory image: 32-bit colour with alpha and its mask."""
    h, w = len(rows), len(rows[0])
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def write_ico(path, images):
    blobs = [icon_image(rows) for rows in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for rows, blob in zip(images, blobs):
        w, h = len(rows[0]), len(rows)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def write_raw_rgba(path, rows):
    with open(path, "wb") as f:
        for row in rows:
            for p in row:
                f.write(bytes(p))


# ---------------------------------------------------------------- the mark

def brand_gradient(x0, y0, x1, y1):
    def colour(px, py):
        t = clamp(((px - x0) + (py - y0)) / ((x1 - x0) + (y1 - y0)))
        return mix(BRAND_A, BRAND_B, t)
    return colour


def draw_mark(canvas, ox, oy, size, body=None, detail=WHITE):
    """The program's mark: a speech bubble holding a padlock."""
    s = size / 48.0
    body = body or brand_gradient(ox, oy, ox + size, oy + size)

    def bubble(px, py):
        x, y = (px - ox) / s, (py - oy) / s
        main = box(x, y, 24, 21, 20, 16.5, 9)
        tail = polygon(x, y, [(11, 32), (20, 35), (8.5, 44.5)])
        return min(main, tail) * s

    canvas.paint(bubble, body)

    def shackle(px, py):
        x, y = (px - ox) / s, (py - oy) / s
        return arc(x, y, 24, 17.5, 5.2, 1.9, 0, 180) * s

    def shackle_legs(px, py):
        x, y = (px - ox) / s, (py - oy) / s
        return min(stroke(x, y, 18.8, 17.5, 18.8, 21, 1.9), stroke(x, y, 29.2, 17.5, 29.2, 21, 1.9)) * s

    def lock_body(px, py):
        x, y = (px - ox) / s, (py - oy) / s
        return box(x, y, 24, 25.5, 8.5, 6.5, 2.2) * s

    def keyhole(px, py):
        x, y = (px - ox) / s, (py - oy) / s
        return min(circle(x, y, 24, 24.3, 1.9), stroke(x, y, 24, 24.5, 24, 28, 0.9)) * s

    canvas.paint(shackle, detail)
    canvas.paint(shackle_legs, detail)
    canvas.paint(lock_body, detail)
    canvas.paint(keyhole, body if not callable(body) else body)


def grey_gradient(x0, y0, x1, y1):
    def colour(px, py):
        t = clamp(((px - x0) + (py - y0)) / ((x1 - x0) + (y1 - y0)))
        return mix((120, 130, 140), (150, 158, 166), t)
    return colour


# ---------------------------------------------------------------- pictures

def background(w=480, h=504):
    """The surface every page is cut from: light, with two soft bands of the
    brand colours, fading to white at the right and bottom edges (beyond them
    the window is white)."""
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            u, v = x / w, y / h
            base = mix((226, 235, 243), (248, 250, 252), clamp(0.55 * u + 0.75 * v))
            # Two long gentle waves across the surface.
            wave1 = 0.5 + 0.5 * math.sin(6.0 * u + 2.2 * v * 3.1 + 0.6)
            band1 = math.exp(-((v - 0.30 - 0.10 * math.sin(5.0 * u)) / 0.09) ** 2)
            band2 = math.exp(-((v - 0.62 - 0.07 * math.sin(4.2 * u + 1.3)) / 0.12) ** 2)
            c = mix(base, BRAND_B, 0.16 * band1 * (0.6 + 0.4 * wave1))
            c = mix(c, BRAND_A, 0.10 * band2)
            # A soft light from the top left.
            glow = math.exp(-((u - 0.15) ** 2 + (v - 0.05) ** 2) / 0.08)
            c = mix(c, WHITE, 0.35 * glow)
            # Fade to white towards the right and bottom edges.
            edge = clamp((u - 0.72) / 0.28) ** 2 + clamp((v - 0.74) / 0.26) ** 2
            c = mix(c, WHITE, clamp(edge))
            row.append(tuple(int(round(v_)) for v_ in c))
        rows.append(row)
    return rows


def logo(size=56):
    c = Canvas(size, size)
    draw_mark(c, 2, 2, size - 4)
    return c.flattened(LIGHT_SURFACE, key=MAGENTA)


# A geometric monoline word mark, in units of the x-height (1.0).
def wordmark_strokes():
    """Returns (advance, list of shape functions of (x, y) in x-height
    units, y downwards from the x-height line)."""
    t = 0.17  # half the stroke width
    shapes = []
    x = 0.0

    def add(fn):
        shapes.append(fn)

    # p
    px = x
    add(lambda u, v, px=px: stroke(u, v, px + t, 0.0 + t, px + t, 1.45, t))
    add(lambda u, v, px=px: arc(u, v, px + 0.5 + t, 0.5, 0.5, t, 0, 360))
    x += 1.0 + 2 * t + 0.28
    # e
    ex = x
    add(lambda u, v, ex=ex: arc(u, v, ex + 0.5 + t, 0.5, 0.5, t, 0, 305))
    add(lambda u, v, ex=ex: stroke(u, v, ex + t, 0.5, ex + 1.0 + t, 0.5, t * 0.9))
    x += 1.0 + 2 * t + 0.28
    # l
    lx = x
    add(lambda u, v, lx=lx: stroke(u, v, lx + t, -0.45, lx + t, 1.0 - t, t))
    x += 2 * t + 0.28
    # v
    vx = x
    add(lambda u, v, vx=vx: stroke(u, v, vx + t, t, vx + 0.5 + t, 1.0 - t, t))
    add(lambda u, v, vx=vx: stroke(u, v, vx + 0.5 + t, 1.0 - t, vx + 1.0 + t, t, t))
    x += 1.0 + 2 * t + 0.28
    # a
    ax = x
    add(lambda u, v, ax=ax: arc(u, v, ax + 0.5 + t, 0.5, 0.5, t, 0, 360))
    add(lambda u, v, ax=ax: stroke(u, v, ax + 1.0 + t, t, ax + 1.0 + t, 1.0 - t, t))
    x += 1.0 + 2 * t + 0.28
    # n
    nx = x
    add(lambda u, v, nx=nx: stroke(u, v, nx + t, t, nx + t, 1.0 - t, t))
    add(lambda u, v, nx=nx: arc(u, v, nx + 0.5 + t, 0.5, 0.5, t, 0, 180))
    add(lambda u, v, nx=nx: stroke(u, v, nx + 1.0 + t, 0.5, nx + 1.0 + t, 1.0 - t, t))
    x += 1.0 + 2 * t + 0.28
    # e
    ex2 = x
    add(lambda u, v, ex=ex2: arc(u, v, ex + 0.5 + t, 0.5, 0.5, t, 0, 305))
    add(lambda u, v, ex=ex2: stroke(u, v, ex + t, 0.5, ex + 1.0 + t, 0.5, t * 0.9))
    x += 1.0 + 2 * t
    return x, shapes


def paint_wordmark(c, ox, oy, xh, colour=WHITE):
    """The word mark with its x-height line at oy, from ox, xh pixels high."""
    advance, shapes = wordmark_strokes()
    for fn in shapes:
        c.paint(lambda px, py, fn=fn: fn((px - ox) / xh, (py - oy) / xh) * xh, colour)


def banner(w=236, h=62):
    """The enrolment and add-contact banner: the mark and the word mark on a
    band of the brand gradient."""
    c = Canvas(w, h)

    def band(px, py):
        return box(px, py, w / 2, h / 2, w / 2, h / 2, 0)

    def band_colour(px, py):
        t = clamp(px / w * 0.85 + py / h * 0.15)
        base = mix(BRAND_A, BRAND_B, t)
        # A quiet light curve across the band.
        curve = math.exp(-((py / h - 0.15 - 0.5 * (px / w - 0.6) ** 2) / 0.22) ** 2)
        return mix(base, WHITE, 0.10 * curve)

    c.paint(band, band_colour)
    draw_mark(c, 12, 9, 44, body=WHITE, detail=BRAND_A)
    # Re-colour the mark's details with the band under them.
    paint_wordmark(c, 68.0, 24.0, 14.0)
    return c.flattened(BRAND_A)


def device_picture(w=236, h=62):
    """The enrolment dialog's picture (pics\\logo.jpg): a screen carrying the
    mark, with a green tick, and the word mark, on a band of the brand
    gradient running the other way from the banner's."""
    c = Canvas(w, h)

    def band_colour(px, py):
        t = clamp(px / w * 0.8 + py / h * 0.2)
        base = mix(BRAND_B, BRAND_A, t)
        glow = math.exp(-(((px - 34) / 60.0) ** 2 + ((py - 24) / 40.0) ** 2))
        return mix(base, WHITE, 0.12 * glow)

    c.paint(lambda px, py: box(px, py, w / 2, h / 2, w / 2, h / 2, 0), band_colour)
    sx, sy = 34.0, 26.0
    c.paint(lambda px, py: box(px, py, sx, sy, 21, 15, 3), WHITE)
    c.paint(lambda px, py: box(px, py, sx, sy, 18, 12, 1.5), shade(BRAND_A, -0.15))
    c.paint(lambda px, py: stroke(px, py, sx, sy + 15, sx, sy + 20, 2.2), WHITE)
    c.paint(lambda px, py: stroke(px, py, sx - 9, sy + 22, sx + 9, sy + 22, 1.8), WHITE)
    draw_mark(c, sx - 12, sy - 12, 24, body=WHITE, detail=shade(BRAND_A, -0.15))
    tx, ty = sx + 18, sy + 11
    c.paint(lambda px, py: circle(px, py, tx, ty, 7.5), WHITE)
    c.paint(lambda px, py: circle(px, py, tx, ty, 6.0), GREEN)
    c.paint(lambda px, py: min(stroke(px, py, tx - 3.2, ty + 0.2, tx - 0.8, ty + 2.6, 1.1),
                               stroke(px, py, tx - 0.8, ty + 2.6, tx + 3.4, ty - 2.4, 1.1)), WHITE)
    paint_wordmark(c, 78.0, 23.0, 13.0)
    return c.flattened(BRAND_A)


def status_mark(reachable):
    """10 x 15 contact marks on the grey key: a filled green dot when the
    contact can be reached, a slate ring when not."""
    c = Canvas(10, 15)
    if reachable:
        c.paint(lambda x, y: circle(x, y, 5, 8, 4.3),
                lambda x, y: mix((70, 190, 120), (30, 130, 80), clamp((y - 4) / 8)))
        c.paint(lambda x, y: circle(x, y, 4.0, 6.8, 1.4), WHITE, 0.35)
    else:
        c.paint(lambda x, y: abs(circle(x, y, 5, 8, 3.5)) - 1.0, (120, 130, 142))
    return c.flattened((150, 154, 158), key=MARK_KEY, threshold=0.35)


# Glyphs for the 73 x 23 buttons, drawn around (cx, cy).
def glyph_handset(cx, cy, degrees):
    """A telephone receiver: a quarter bow from the ear cup at the upper
    left to the mouth cup at the lower right, turned by degrees."""
    def fn(px, py):
        x, y = rotate(px, py, cx, cy, -degrees)
        ox, oy, r = cx + 3.2, cy - 3.2, 8.0
        bow = arc(x, y, ox, oy, r, 1.7, 180, 270)
        ear = stroke(x, y, ox - r, oy + 0.6, ox - r + 2.4, oy + 0.6, 2.3)
        mouth = stroke(x, y, ox - 0.6, oy + r, ox - 0.6, oy + r - 2.4, 2.3)
        return min(bow, ear, mouth)
    return [(fn, WHITE)]


def glyph_chat(cx, cy, body):
    def bubble(px, py):
        main = box(px, py, cx, cy - 1, 8, 5.5, 3)
        tail = polygon(px, py, [(cx - 5, cy + 3), (cx - 1, cy + 4), (cx - 6.5, cy + 7.5)])
        return min(main, tail)

    dots = [(lambda px, py, dx=dx: circle(px, py, cx + dx, cy - 1, 1.2), body) for dx in (-3.5, 0, 3.5)]
    return [(bubble, WHITE)] + dots


def glyph_file(cx, cy, body):
    def page(px, py):
        outer = box(px, py, cx, cy, 5.5, 7, 1.2)
        corner = polygon(px, py, [(cx + 1.5, cy - 7.5), (cx + 6, cy - 7.5), (cx + 6, cy - 3)])
        return max(outer, -corner)

    def fold(px, py):
        return polygon(px, py, [(cx + 1.8, cy - 7), (cx + 1.8, cy - 3.2), (cx + 5.6, cy - 3.2)])

    def arrow(px, py):
        shaft = stroke(px, py, cx, cy + 4, cx, cy - 1.5, 1.0)
        head = polygon(px, py, [(cx - 3.2, cy + 0.3), (cx, cy - 3.2), (cx + 3.2, cy + 0.3)])
        return min(shaft, head)

    return [(page, WHITE), (fold, shade(body, 0.55)), (arrow, body)]


def glyph_microphone(cx, cy):
    def mic(px, py):
        capsule = stroke(px, py, cx, cy - 4.5, cx, cy - 0.5, 2.8)
        holder = arc(px, py, cx, cy - 1.5, 4.8, 0.9, 200, 340)
        stem = stroke(px, py, cx, cy + 3.3, cx, cy + 6.2, 0.9)
        base = stroke(px, py, cx - 3, cy + 6.5, cx + 3, cy + 6.5, 0.9)
        return min(capsule, holder, stem, base)
    return [(mic, WHITE)]


def glyph_waiting_microphone(cx, cy):
    shapes = glyph_microphone(cx - 4, cy)
    shapes += [(lambda px, py, dx=dx: circle(px, py, cx + 4 + dx, cy + 5, 1.1), WHITE) for dx in (0, 3, 6)]
    return shapes


def glyph_cross(cx, cy):
    def cross(px, py):
        return min(stroke(px, py, cx - 4, cy - 4, cx + 4, cy + 4, 1.3), stroke(px, py, cx - 4, cy + 4, cx + 4, cy - 4, 1.3))
    return [(cross, WHITE)]


def glyph_send(cx, cy, body):
    def plane(px, py):
        return polygon(px, py, [(cx - 7, cy - 6), (cx + 8, cy), (cx - 7, cy + 6), (cx - 4.5, cy)])

    def crease(px, py):
        return stroke(px, py, cx - 4.5, cy, cx + 3, cy, 0.6)

    return [(plane, WHITE), (crease, body)]


def button_strip(colour, glyphs, w=73, h=23):
    """Three frames side by side: normal, pushed, under the mouse."""
    strip = Canvas(w * 3, h)
    for frame, (lift, dy) in enumerate(((0.0, 0), (-0.22, 1), (0.16, 0))):
        c = Canvas(w, h)
        base = shade(colour, lift)
        top, bottom = shade(base, 0.12), shade(base, -0.10)

        def pill(px, py):
            return box(px, py, w / 2, h / 2, w / 2 - 1.0, h / 2 - 1.0, h / 2 - 1.0)

        c.paint(pill, lambda px, py: mix(top, bottom, clamp((py - 1) / (h - 2))))
        # A fine lighter rim along the top edge.
        c.paint(lambda px, py: max(abs(pill(px, py)) - 0.5, py - h * 0.45), WHITE, 0.18)
        for fn, col in glyphs(w / 2, h / 2 + dy, base):
            c.paint(fn, col)
        strip.paste(c, frame * w, 0)
    return strip.flattened(LIGHT_SURFACE, key=MAGENTA)


def call_lamp():
    """The call indicator: four 31 x 34 frames of a round lamp with
    per-pixel alpha: lit, lit and pressed, lit with a wider glow, and dark."""
    w, h = 31, 34
    strip = Canvas(w * 4, h)
    cx, cy, r = 15.5, 17.0, 9.5
    looks = [
        ((238, 72, 64), (160, 28, 30), 0.55, 0.0),
        ((206, 58, 52), (132, 22, 24), 0.45, 0.0),
        ((255, 104, 92), (178, 36, 36), 0.85, 0.0),
        ((150, 156, 162), (92, 98, 106), 0.0, 1.0),
    ]
    for frame, (light, deep, glow, dark) in enumerate(looks):
        c = Canvas(w, h)
        if glow > 0:
            for y in range(h):
                for x in range(w):
                    d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) - r
                    a = glow * math.exp(-max(d, 0.0) / 2.2) * clamp(d + 1.0)
                    c.px[y][x] = list(light) + [clamp(a * 0.6)]
        c.paint(lambda px, py: circle(px, py, cx, cy, r + 1.2), shade(deep, -0.25 - 0.2 * dark))
        c.paint(lambda px, py: circle(px, py, cx, cy, r),
                lambda px, py: mix(light, deep, clamp(math.hypot(px - cx + 3, py - cy + 3) / (r * 1.6))))
        # The glass highlight.
        c.paint(lambda px, py: circle(px, py, cx - 3.0, cy - 3.5, 3.2), WHITE, 0.55 - 0.25 * dark)
        strip.paste(c, frame * w, 0)
    return strip.rgba_bytes()


def icon(size, grey=False):
    c = Canvas(size, size)
    pad = max(1, size // 16)
    body = grey_gradient(pad, pad, size - pad, size - pad) if grey else None
    draw_mark(c, pad, pad, size - 2 * pad, body=body)
    return c.rgba_bytes()


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "art")
    os.makedirs(out, exist_ok=True)

    def path(name):
        return os.path.join(out, name)

    write_bmp24(path("background.bmp"), background())
    write_bmp24(path("logo.bmp"), logo())
    write_bmp24(path("banner.bmp"), banner())
    # The program loads pics\\logo.jpg as a bitmap file (LoadImage reads
    # nothing else): the name is the one it looks for, the content a bitmap.
    write_bmp24(path("logo.jpg"), device_picture())
    write_bmp24(path("mark_reachable.bmp"), status_mark(True))
    write_bmp24(path("mark_unreachable.bmp"), status_mark(False))
    buttons = {
        "button_call.bmp": (GREEN, lambda x, y, b: glyph_handset(x, y, 0)),
        "button_accept.bmp": (GREEN, lambda x, y, b: glyph_handset(x, y, -15)),
        "button_end.bmp": (RED, lambda x, y, b: glyph_handset(x, y, 135)),
        "button_chat.bmp": (BLUE, glyph_chat),
        "button_file.bmp": (BLUE, glyph_file),
        "button_speak.bmp": (AMBER, lambda x, y, b: glyph_microphone(x, y)),
        "button_speak_wait.bmp": (shade(AMBER, -0.15), lambda x, y, b: glyph_waiting_microphone(x, y)),
        "button_cancel.bmp": (SLATE, lambda x, y, b: glyph_cross(x, y)),
        "button_send.bmp": (BLUE, glyph_send),
    }
    for name, (colour, glyphs) in buttons.items():
        write_bmp24(path(name), button_strip(colour, glyphs))
    write_raw_rgba(path("call_lamp.raw"), call_lamp())
    write_ico(path("pelvane.ico"), [icon(48), icon(32), icon(16)])
    write_ico(path("tray_online.ico"), [icon(16)])
    write_ico(path("tray_offline.ico"), [icon(16, grey=True)])


if __name__ == "__main__":
    main()
