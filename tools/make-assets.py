#!/usr/bin/env python3
# Draws the window's pictures (program icon, logo, progress-strip bitmaps) into assets/.
# Same bytes on every run; "--check" regenerates into a scratch folder and compares.
#
# Standard library only, except that the logo is encoded to JPEG (and, for the check, decoded)
# by ImageMagick. JPEG bytes depend on the encoder's version, so the check compares the logo's
# decoded pixels with the drawn ones, within JPEG_TOLERANCE; the other files byte for byte.
# The renderer uses only + - * /, sqrt and floor, which IEEE arithmetic rounds the same
# everywhere, so the pixels do not depend on the C library's maths functions.

import argparse
import math
import os
import re
import struct
import subprocess
import sys
import tempfile

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ASSET_NAMES = (
    "pruvolt.ico",
    "logo.jpg",
    "progress-frame.bmp",
    "progress-fill.bmp",
    "progress-flash.bmp",
)


# --- small colour helpers ---------------------------------------------------

def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(lerp(p, q, t) for p, q in zip(c1, c2))


def smoothstep(e0, e1, v):
    t = clamp01((v - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


def hexrgb(value):
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def to_byte(v):
    return max(0, min(255, int(v + 0.5)))


def ramp(stops, v):
    """Piecewise-linear colour ramp; stops are (position, colour) in ascending order."""
    if v <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if v <= p1:
            return mix(c0, c1, (v - p0) / (p1 - p0))
    return stops[-1][1]


# --- the database cylinder --------------------------------------------------

class Cylinder:
    """A drum seen slightly from above: elliptical top face, curved body with a blue
    and an orange band, and a dark outline so that it holds up against any background.

    Lengths are in output pixels. The scene only says which surface a point lies on
    and how it faces the light; a style turns that into a colour."""

    def __init__(self, cx, half_width, top, bottom, rise, outline, bands, seam, snap=False):
        self.cx = cx
        self.a = half_width
        self.b = rise                     # vertical half-axis of the end ellipses
        self.y0 = top + rise              # centre of the top ellipse
        self.y1 = bottom - rise           # centre of the bottom ellipse
        self.outline = outline
        self.bands = bands                # (start, end, material) along the body, in pixels from the top face
        self.seam = seam                  # width of the dark line at each band edge
        self.snap = snap                  # inner curves in whole-pixel steps, for the smallest size

    def probe(self, x, y):
        """The surface at a point, or None outside the silhouette:
        ("outline",), ("top", u, w, rim) or ("body", u, s, material, edge)."""
        u = (x - self.cx) / self.a
        if u <= -1.0 or u >= 1.0:
            return None
        s = math.sqrt(1.0 - u * u)
        if y < self.y0 - self.b * s or y > self.y1 + self.b * s:
            return None
        if self._in_outline(x, y):
            return ("outline",)
        curve = self.b * s
        if self.snap:
            # At 16 pixels a smooth band edge smears over two rows; a stepped one stays crisp.
            uc = (math.floor(x) + 0.5 - self.cx) / self.a
            curve = math.floor(self.y0 + self.b * math.sqrt(max(0.0, 1.0 - uc * uc)) + 0.5) - self.y0
        front = self.y0 + curve           # where the top face meets the body
        if y < front:
            return ("top", u, (y - self.y0) / self.b, front - y)
        # Points of the body that lie on one horizontal circle share t.
        t = y - curve - self.y0
        material = "silver"
        edge = None
        for start, end, band in self.bands:
            if start <= t < end:
                material = band
                if t - start < self.seam or end - t < self.seam:
                    edge = "seam"
            elif 0.0 <= t - end < self.seam:
                edge = "bevel"
        return ("body", u, s, material, edge)

    def _in_outline(self, x, y):
        a = self.a - self.outline
        b = self.b - self.outline
        u = (x - self.cx) / a
        if u <= -1.0 or u >= 1.0:
            return True
        s = math.sqrt(1.0 - u * u)
        return y < self.y0 - b * s or y > self.y1 + b * s


def top_light(u, w):
    # Lit from the upper left: brightest towards the back left.
    return clamp01(0.78 - 0.22 * u - 0.30 * w)


def body_light(u, s):
    """Metal across the curve: dark at both sides, a broad sheen left of centre and
    a faint reflected light on the right edge; also the narrow specular streak."""
    sheen = (u + 0.30) / 0.55
    reflect = (u - 0.86) / 0.10
    light = 0.15 + 0.55 * s + 0.30 * clamp01(1.0 - sheen * sheen)
    light -= 0.18 * smoothstep(0.55, 1.0, u)
    light += 0.12 * clamp01(1.0 - reflect * reflect)
    streak = (u + 0.42) / 0.13
    return clamp01(light), clamp01(1.0 - streak * streak)


class TrueColour:
    """Smooth shading for the 256-colour and 32-bit icons and the logo."""

    MATERIALS = {
        "silver": ((92, 100, 114), (176, 184, 196), (238, 241, 246)),
        "blue": ((8, 44, 128), (24, 100, 214), (84, 170, 255)),
        "orange": ((158, 62, 4), (240, 128, 20), (255, 190, 90)),
    }
    OUTLINE = (52, 58, 70)

    def __init__(self, rim=0.0):
        self.rim = rim                    # pixels of the shadow line along the top face's front edge

    def colour(self, surface):
        kind = surface[0]
        if kind == "outline":
            return self.OUTLINE
        if kind == "top":
            _, u, w, rim = surface
            if rim < self.rim:
                # Small sizes lose the dish and the lip: a plain dark edge keeps the top apart.
                return (128, 136, 150)
            r2 = u * u + w * w
            hot = (u + 0.35) * (u + 0.35) + (w + 0.25) * (w + 0.25)
            colour = ramp(((0.0, (168, 176, 190)), (0.6, (212, 218, 228)), (1.0, (246, 248, 251))),
                          top_light(u, w))
            colour = mix(colour, (255, 255, 255), 0.45 * clamp01(1.0 - hot / 0.35))
            # Shallow dish: a soft darker ring just inside the rim, then the bright lip.
            colour = mix(colour, (150, 158, 172),
                         0.35 * smoothstep(0.55, 0.85, r2) * (1.0 - smoothstep(0.88, 0.97, r2)))
            return mix(colour, (250, 252, 255) if w > -0.2 else (200, 206, 216), smoothstep(0.80, 0.95, r2))
        _, u, s, material, edge = surface
        light, streak = body_light(u, s)
        dark, mid, bright = self.MATERIALS[material]
        colour = ramp(((0.0, dark), (0.55, mid), (1.0, bright)), light)
        colour = mix(colour, (255, 255, 255), (0.55 if material == "silver" else 0.35) * streak * streak)
        if edge == "seam":
            # A band reads as a separate ring of the stack: dark seam above and below.
            colour = mix(colour, dark, 0.7)
        elif edge == "bevel":
            # Just below a band the silver catches the light.
            colour = mix(colour, (255, 255, 255), 0.25)
        return colour


# Indices into the standard 16-colour palette below; ORANGE_PATTERN is red and
# yellow in a checkerboard, the palette's nearest thing to orange.
BLACK, MAROON, NAVY, SILVER, GREY, RED, YELLOW, BLUE, WHITE = 0, 1, 4, 7, 8, 9, 11, 12, 15
ORANGE_PATTERN = 16


class SixteenColour:
    """Flat shading in the standard palette: each surface takes one of a few solid
    colours by how it faces the light, the way hand-drawn 16-colour icons are."""

    def __init__(self, rim):
        self.rim = rim                    # pixels of the grey line along the top face's front edge

    def colour(self, surface):
        kind = surface[0]
        if kind == "outline":
            return BLACK
        if kind == "top":
            _, u, w, rim = surface
            if rim < self.rim:
                return GREY
            hot = (u + 0.35) * (u + 0.35) + (w + 0.25) * (w + 0.25)
            return WHITE if hot < 0.30 else SILVER
        _, u, s, material, edge = surface
        light, streak = body_light(u, s)
        if material == "silver":
            if edge == "bevel" or streak > 0.25:
                return WHITE
            return SILVER if light >= 0.45 else GREY
        if material == "blue":
            if edge == "seam":
                return NAVY
            return BLUE if light >= 0.45 else NAVY
        if edge == "seam":
            return MAROON
        if streak > 0.25:
            return YELLOW
        return ORANGE_PATTERN if light >= 0.45 else RED


def render(width, height, scene, style, background=None, supersample=8):
    """Anti-aliased RGBA image (rows of (r, g, b, a) floats, 0..255 and 0..1).

    Averages supersample x supersample points per pixel; with a background the
    result is composited onto it and fully opaque."""
    offsets = [(k + 0.5) / supersample for k in range(supersample)]
    n = float(supersample * supersample)
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            r = g = b = 0.0
            covered = 0
            for oy in offsets:
                for ox in offsets:
                    surface = scene.probe(px + ox, py + oy)
                    if surface is not None:
                        c = style.colour(surface)
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        covered += 1
            if background is not None:
                bg = background
                miss = n - covered
                row.append(((r + bg[0] * miss) / n, (g + bg[1] * miss) / n, (b + bg[2] * miss) / n, 1.0))
            elif covered:
                row.append((r / covered, g / covered, b / covered, covered / n))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        rows.append(row)
    return rows


def render_indexed(size, scene, style, supersample=8):
    """Palette indices, None where transparent: each pixel takes the colour most of
    its samples show (lowest index on a tie) and is opaque when half is covered."""
    offsets = [(k + 0.5) / supersample for k in range(supersample)]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            for oy in offsets:
                for ox in offsets:
                    surface = scene.probe(px + ox, py + oy)
                    if surface is not None:
                        index = style.colour(surface)
                        votes[index] = votes.get(index, 0) + 1
            if 2 * sum(votes.values()) < supersample * supersample:
                row.append(None)
                continue
            index = min(votes, key=lambda k: (-votes[k], k))
            if index == ORANGE_PATTERN:
                index = RED if (px + py) % 2 else YELLOW
            row.append(index)
        rows.append(row)
    return rows


def cylinder_for(size):
    """The drum laid out for a square icon of the given size, edges on pixel lines
    where it matters at small sizes."""
    if size == 16:
        return Cylinder(cx=8.0, half_width=7.0, top=0.0, bottom=16.0, rise=2.5, outline=1.15,
                        bands=((2.0, 4.0, "blue"), (6.0, 8.0, "orange")), seam=0.0, snap=True)
    if size == 32:
        return Cylinder(cx=16.0, half_width=14.0, top=1.0, bottom=31.0, rise=5.0, outline=1.0,
                        bands=((4.0, 8.0, "blue"), (12.0, 16.0, "orange")), seam=0.9)
    if size == 48:
        return Cylinder(cx=24.0, half_width=20.0, top=1.0, bottom=47.0, rise=7.0, outline=1.1,
                        bands=((7.0, 13.0, "blue"), (19.0, 25.0, "orange")), seam=1.0)
    raise ValueError(size)


# The logo stands in a 92 x 91 box whose bottom three rows overlap a label's first
# line of text: the drum ends at row 87 so that those rows stay pure white.
LOGO_SIZE = (92, 91)
LOGO_CYLINDER = Cylinder(cx=46.0, half_width=31.0, top=3.0, bottom=88.0, rise=10.5, outline=1.3,
                         bands=((19.0, 29.0, "blue"), (40.0, 50.0, "orange")), seam=1.2)


# --- palettes and quantisation ----------------------------------------------

# The standard Windows 16-colour palette, in its usual order.
VGA16 = [hexrgb(v) for v in (
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF)]


def distance2(c1, c2):
    # Weighted for the eye: green counts most, blue least.
    dr = c1[0] - c2[0]
    dg = c1[1] - c2[1]
    db = c1[2] - c2[2]
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db


def median_cut(colours, limit):
    """Up to `limit` representative colours of a list of (r, g, b) byte triples.

    Deterministic: boxes are split in a fixed order and ties go to the lower index."""
    distinct = sorted(set(colours))
    if len(distinct) <= limit:
        return distinct
    boxes = [sorted(colours)]
    while len(boxes) < limit:
        best = None
        for index, box in enumerate(boxes):
            if len(set(box)) < 2:
                continue
            spans = [max(c[k] for c in box) - min(c[k] for c in box) for k in range(3)]
            weight = max(spans) * len(box)
            if best is None or weight > best[0]:
                best = (weight, index, spans.index(max(spans)))
        if best is None:
            break
        _, index, channel = best
        box = sorted(boxes[index], key=lambda c: (c[channel], c))
        half = len(box) // 2
        # Never split a run of equal values, so both halves are non-empty and distinct.
        while half < len(box) and box[half][channel] == box[half - 1][channel]:
            half += 1
        if half == len(box):
            half = len(box) // 2
            while half > 0 and box[half][channel] == box[half - 1][channel]:
                half -= 1
        boxes[index:index + 1] = [box[:half], box[half:]]
    palette = []
    for box in boxes:
        palette.append(tuple(to_byte(sum(c[k] for c in box) / len(box)) for k in range(3)))
    return sorted(set(palette))


def quantise_256(image):
    """Palette (black first, for the transparent pixels) and indices for an 8-bit icon."""
    colours = [(to_byte(r), to_byte(g), to_byte(b))
               for row in image for (r, g, b, a) in row if a >= 0.5]
    palette = [(0, 0, 0)] + [c for c in median_cut(colours, 255) if c != (0, 0, 0)]
    cache = {}
    out = []
    for row in image:
        line = []
        for (r, g, b, a) in row:
            if a < 0.5:
                line.append(None)
                continue
            key = (to_byte(r), to_byte(g), to_byte(b))
            if key not in cache:
                cache[key] = min(range(len(palette)), key=lambda k: (distance2(key, palette[k]), k))
            line.append(cache[key])
        out.append(line)
    return palette, out


# --- file writers -------------------------------------------------------------

def bitmap_info_header(width, height, bits, image_bytes, pixels_per_metre=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_bytes,
                       pixels_per_metre, pixels_per_metre, 0, 0)


def row_stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def and_mask(transparent_rows, width):
    """1-bit mask rows, bottom-up: 1 where the screen shows through."""
    stride = row_stride(width, 1)
    data = bytearray()
    for row in reversed(transparent_rows):
        line = bytearray(stride)
        for x, clear in enumerate(row):
            if clear:
                line[x >> 3] |= 0x80 >> (x & 7)
        data += line
    return bytes(data)


def paletted_dib(size, bits, palette, indices):
    stride = row_stride(size, bits)
    pixels = bytearray()
    for row in reversed(indices):
        line = bytearray(stride)
        for x, index in enumerate(row):
            index = 0 if index is None else index   # black under a transparent mask bit
            if bits == 4:
                line[x >> 1] |= index << (4 if x % 2 == 0 else 0)
            else:
                line[x] = index
        pixels += line
    mask = and_mask([[index is None for index in row] for row in indices], size)
    table_size = 1 << bits
    table = b"".join(struct.pack("<BBBB", c[2], c[1], c[0], 0) for c in palette)
    table += b"\0\0\0\0" * (table_size - len(palette))
    header = bitmap_info_header(size, size * 2, bits, len(pixels) + len(mask))
    return header + table + bytes(pixels) + mask


def rgba_dib(size, image):
    pixels = bytearray()
    for row in reversed(image):
        for (r, g, b, a) in row:
            if a <= 0.0:
                pixels += b"\0\0\0\0"
            else:
                pixels += bytes((to_byte(b), to_byte(g), to_byte(r), to_byte(a * 255.0)))
    mask = and_mask([[to_byte(a * 255.0) == 0 for (r, g, b, a) in row] for row in image], size)
    header = bitmap_info_header(size, size * 2, 32, len(pixels) + len(mask))
    return header + bytes(pixels) + mask


def make_icon():
    images = {size: render(size, size, cylinder_for(size), TrueColour(rim=1.0 if size == 16 else 0.0))
              for size in (16, 32, 48)}
    entries = []
    for size in (16, 32, 48):
        indices = render_indexed(size, cylinder_for(size), SixteenColour(rim=1.0))
        entries.append((size, 16, 4, paletted_dib(size, 4, VGA16, indices)))
    for size in (16, 32, 48):
        palette, indices = quantise_256(images[size])
        entries.append((size, 0, 8, paletted_dib(size, 8, palette, indices)))
    entries.append((16, 0, 32, rgba_dib(16, images[16])))

    data = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, colour_count, bits, dib in entries:
        data += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits, len(dib), offset)
        offset += len(dib)
    for entry in entries:
        data += entry[3]
    return data


def bmp(rows):
    """A plain bottom-up BMP from rows of (r, g, b) bytes, with every pixel kept: a 4-bit or 8-bit
    one with the picture's own colours as its palette when they are few enough (the strip's frame
    and fill have 15 and 11: a sixth of the bytes of 24-bit, in the program file too), else 24-bit."""
    height = len(rows)
    width = len(rows[0])
    colours = sorted({pixel for row in rows for pixel in row})
    bits = 4 if len(colours) <= 16 else 8 if len(colours) <= 256 else 24
    stride = row_stride(width, bits)
    palette = b""
    pixels = bytearray()
    if bits == 24:
        for row in reversed(rows):
            line = bytearray()
            for (r, g, b) in row:
                line += bytes((b, g, r))
            pixels += line + bytes(stride - len(line))
    else:
        index = {colour: i for i, colour in enumerate(colours)}
        palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in colours)
        for row in reversed(rows):
            line = bytearray(stride)
            for x, pixel in enumerate(row):
                if bits == 4:
                    line[x >> 1] |= index[pixel] << (4 if x % 2 == 0 else 0)
                else:
                    line[x] = index[pixel]
            pixels += line
    info = bitmap_info_header(width, height, bits, len(pixels), pixels_per_metre=3780)   # 96 dpi
    if bits != 24:
        # biClrUsed: the palette holds exactly the picture's colours.
        info = info[:32] + struct.pack("<I", len(colours)) + info[36:]
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + bytes(pixels)


# --- the progress strip -------------------------------------------------------

FILL_BLUE = hexrgb(0x007CD3)

# Rows of the bar, top to bottom: a pale cyan edge, a quick fall into the deep
# blue body, then a gentle lift towards the bottom where the glass shows through.
FILL_ROWS = [
    (196, 240, 255),
    (104, 204, 250),
    (46, 164, 236),
    (18, 138, 222),
    FILL_BLUE,
    FILL_BLUE,
    FILL_BLUE,
    (4, 128, 214),
    (14, 136, 218),
    (28, 148, 224),
    (44, 160, 230),
    (62, 174, 238),
    (78, 186, 244),
]

# The glint at its brightest, row by row: the same shape as the bar, lifted towards cyan.
FLASH_ROWS = [
    (228, 250, 255),
    (168, 234, 255),
    (112, 214, 255),
    (78, 198, 255),
    (60, 188, 252),
    (56, 184, 250),
    (56, 184, 250),
    (62, 188, 250),
    (72, 194, 252),
    (86, 202, 254),
    (100, 210, 255),
    (116, 218, 255),
    (130, 226, 255),
]


def progress_frame(width=350, height=15):
    outline = (150, 156, 164)
    rows = []
    for y in range(height):
        # Glossy trough: a bright upper half over a slightly darker, recessed lower half.
        fy = y / (height - 1)
        if fy < 0.5:
            inner = ramp(((0.0, (226, 228, 232)), (0.12, (250, 251, 252)), (0.5, (238, 240, 243))), fy)
        else:
            inner = ramp(((0.5, (222, 225, 229)), (1.0, (236, 238, 241))), fy)
        row = []
        for x in range(width):
            edge_x = x == 0 or x == width - 1
            edge_y = y == 0 or y == height - 1
            if edge_x and edge_y:
                # Softened corners: the outline blended halfway into the background.
                c = mix(outline, (255, 255, 255), 0.55)
            elif edge_x or edge_y:
                c = outline
            else:
                c = inner
            row.append(tuple(to_byte(v) for v in c))
        rows.append(row)
    return rows


def progress_fill(width=350):
    return [[row] * width for row in FILL_ROWS]


def progress_flash(width=81):
    # Weight of the glint across its width: 0 at both ends (there it equals the bar),
    # 1 in the middle, with smooth shoulders so no edge shows as it slides.
    rows = []
    for base, peak in zip(FILL_ROWS, FLASH_ROWS):
        row = []
        for x in range(width):
            d = abs(x - (width - 1) / 2.0) / ((width - 1) / 2.0)
            w = 1.0 - smoothstep(0.0, 1.0, d)
            row.append(tuple(to_byte(v) for v in mix(base, peak, w)))
        rows.append(row)
    return rows


# --- the logo -----------------------------------------------------------------

def imagemagick(tool):
    # The system's ImageMagick; a same-named program earlier on PATH may be something else.
    path = os.path.join("/usr/bin", tool)
    return path if os.path.exists(path) else tool


# How far the committed logo may stand from the drawn pixels, per colour channel (0-255): the
# mean difference over all samples, and the largest single one. Quality 92 at 4:4:4 keeps the
# mean near 1.4 and the largest near 24 (at the drum's sharp edges); a wrong picture, size or
# colour is far beyond both.
JPEG_TOLERANCE = {"mean": 3.0, "largest": 64}


def logo_pixels():
    """The logo as drawn: width * height RGB triples, row by row."""
    width, height = LOGO_SIZE
    image = render(width, height, LOGO_CYLINDER, TrueColour(), background=(255, 255, 255))
    return bytes(to_byte(c) for row in image for (r, g, b, a) in row for c in (r, g, b))


def make_logo(path):
    width, height = LOGO_SIZE
    ppm = b"P6\n%d %d\n255\n" % (width, height) + logo_pixels()
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "logo.ppm")
        with open(source, "wb") as f:
            f.write(ppm)
        # 4:4:4 sampling keeps the thin coloured seams crisp and keeps every 8x8 block to
        # itself, so the white rows under the drum come out exactly white.
        subprocess.run([imagemagick("convert"), source, "-strip", "-type", "TrueColor",
                        "-interlace", "none", "-sampling-factor", "1x1", "-quality", "92",
                        "JPEG:" + path], check=True)


# --- driver ------------------------------------------------------------------

def generate(folder):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "pruvolt.ico"), "wb") as f:
        f.write(make_icon())
    make_logo(os.path.join(folder, "logo.jpg"))
    for name, rows in (("progress-frame.bmp", progress_frame()),
                       ("progress-fill.bmp", progress_fill()),
                       ("progress-flash.bmp", progress_flash())):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(bmp(rows))


def jpeg_frame(data):
    """(width, height, colour components) from a baseline or progressive JPEG's frame header."""
    if data[:2] != b"\xff\xd8":
        raise ValueError("not a JPEG file")
    i = 2
    while i + 4 <= len(data):
        if data[i] != 0xFF:
            raise ValueError("broken JPEG marker")
        marker = data[i + 1]
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width, components = struct.unpack(">HHB", data[i + 5:i + 10])
            return width, height, components
        i += 2 + length
    raise ValueError("no frame header")


def decode_jpeg(path):
    """(width, height, RGB triples row by row) of the file, decoded by ImageMagick."""
    ppm = subprocess.run([imagemagick("convert"), path, "-depth", "8", "PPM:-"], check=True,
                         stdout=subprocess.PIPE).stdout
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
    if header is None:
        raise ValueError("the decoder gave no 8-bit PPM")
    return int(header.group(1)), int(header.group(2)), ppm[header.end():]


def logo_problem(path):
    """Why the committed logo is not the drawn one, or None."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        frame = jpeg_frame(data)
    except ValueError as error:
        return str(error)
    if frame != LOGO_SIZE + (3,):
        return "is %dx%d with %d components, not %dx%d in colour" % (frame + LOGO_SIZE)
    drawn = logo_pixels()
    width, height, decoded = decode_jpeg(path)
    if (width, height) != LOGO_SIZE or len(decoded) != len(drawn):
        return "decodes to %dx%d" % (width, height)
    differences = [abs(a - b) for a, b in zip(decoded, drawn)]
    mean = sum(differences) / len(differences)
    largest = max(differences)
    if mean > JPEG_TOLERANCE["mean"] or largest > JPEG_TOLERANCE["largest"]:
        return ("stands too far from the drawn pixels (mean %.2f, largest %d; tolerance %.1f, %d)"
                % (mean, largest, JPEG_TOLERANCE["mean"], JPEG_TOLERANCE["largest"]))
    return None


def check(folder):
    with tempfile.TemporaryDirectory() as scratch:
        generate(scratch)
        differ = []
        for name in ASSET_NAMES:
            if name == "logo.jpg":
                path = os.path.join(folder, name)
                problem = logo_problem(path) if os.path.exists(path) else "is missing"
                if problem:
                    differ.append((name, problem))
                continue
            try:
                with open(os.path.join(folder, name), "rb") as f:
                    committed = f.read()
            except OSError:
                committed = None
            with open(os.path.join(scratch, name), "rb") as f:
                fresh = f.read()
            if committed is None:
                differ.append((name, "is missing"))
            elif committed != fresh:
                differ.append((name, "differs from what the generator draws"))
    for name, problem in differ:
        print("make-assets: %s %s" % (os.path.join(folder, name), problem), file=sys.stderr)
    return 1 if differ else 0


def main():
    parser = argparse.ArgumentParser(description="Draw the window's pictures into assets/.")
    parser.add_argument("--check", action="store_true",
                        help="regenerate into a scratch folder and compare with the assets (the logo by its pixels)")
    parser.add_argument("--assets", default=os.path.join(REPO_ROOT, "assets"),
                        help="the assets folder (default: assets/ of this repository)")
    args = parser.parse_args()
    if args.check:
        return check(args.assets)
    generate(args.assets)
    return 0


if __name__ == "__main__":
    sys.exit(main())
