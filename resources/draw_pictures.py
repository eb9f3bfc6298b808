#!/usr/bin/python3
"""Draws the wizard's pictures: the dialog backdrop, the page-2 display picture, the warning
sign, the nine button images and the window icon. Run with Debian's python3-pil from the
repository root or anywhere; the outputs land in resources/bitmaps/ and are committed, so the
build itself needs no drawing tools.

    /usr/bin/python3 resources/draw_pictures.py
"""

import math
import os
import struct

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "bitmaps")

# Pixels of this colour are left out when the buttons draw their images.
KEY = (1, 53, 103)
# What the button images' soft edges blend toward: close to the backdrop under the buttons,
# so no light fringe shows around the discs.
EDGE = (9, 25, 45)
GOLD = (236, 203, 19)

BACKDROP_SIZE = (609, 536)
PANEL_WIDTH = 245  # the left panel with the product name and the motif

# Where the template puts the two pictures, in pixels at 96 DPI (1.5 x and 1.625 y per
# dialog unit for MS Shell Dlg 8 pt): they are drawn over the backdrop seen there.
DISPLAY_AT = (286, 328)
WARNING_AT = (247, 408)

FONT_DIRS = ["/usr/share/fonts/truetype/dejavu"]


def font(name, size):
    for d in FONT_DIRS:
        path = os.path.join(d, name)
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    return ImageFont.load_default()


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(int(round(lerp(x, y, t))) for x, y in zip(c1, c2))


def save_bmp24(img, name):
    path = os.path.join(OUT, name)
    img.convert("RGB").save(path, "BMP")
    with open(path, "rb") as f:
        head = f.read(30)
    # A 40-byte info header and 24 bits per pixel: what the resource compiler and loader expect.
    assert struct.unpack_from("<I", head, 14)[0] == 40 and struct.unpack_from("<H", head, 28)[0] == 24
    return path


# ---------------------------------------------------------------- backdrop (bitmap 132)

# A 4 x 4 ordered dither: the gradients change by less than one step over many pixels, and
# plain rounding would show those steps as bands.
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def backdrop():
    w, h = BACKDROP_SIZE
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        t = y / (h - 1)
        right = [lerp(a, b, t) for a, b in zip((17, 40, 68), (8, 23, 42))]
        left = [lerp(a, b, t) for a, b in zip((6, 24, 42), (4, 15, 28))]
        for x in range(w):
            if x < PANEL_WIDTH:
                c = left
            else:
                # A slight darkening toward the right edge keeps the area calm but not flat.
                s = (x - PANEL_WIDTH) / (w - PANEL_WIDTH)
                c = [v - s * k for v, k in zip(right, (3, 5, 8))]
            threshold = (BAYER[y % 4][x % 4] + 0.5) / 16
            px[x, y] = tuple(int(v + threshold) for v in c)

    scale = 4
    layer = Image.new("RGBA", (w * scale, h * scale), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)

    # The panel's edge: a thin cyan rule fading out toward the top and the bottom.
    for y in range(h * scale):
        t = y / (h * scale)
        a = int(90 * math.sin(math.pi * t) ** 1.5)
        d.line([(PANEL_WIDTH * scale - 2, y), (PANEL_WIDTH * scale, y)], fill=(60, 150, 190, a))

    # Faint arcs in the top-right corner, clear of the heading.
    for r in (90, 115, 140):
        box = [(640 - r) * scale, (-40 - r) * scale, (640 + r) * scale, (-40 + r) * scale]
        d.ellipse(box, outline=(70, 130, 180, 22), width=scale)

    img = Image.alpha_composite(img.convert("RGBA"),
                                layer.resize((w, h), Image.LANCZOS)).convert("RGB")
    draw_panel(img)
    return img


def chromatogram_y(x, base, peaks):
    return base - sum(hgt * math.exp(-0.5 * ((x - c) / s) ** 2) for c, hgt, s in peaks)


def draw_panel(img):
    """The product name and a chromatogram over the separation column that made it."""
    scale = 4
    w, h = PANEL_WIDTH, BACKDROP_SIZE[1]
    layer = Image.new("RGBA", (w * scale, h * scale), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)

    left, right, top, base = 24, 222, 178, 318
    # Grid of the plot, barely there.
    for gx in range(left, right + 1, 22):
        d.line([(gx * scale, top * scale), (gx * scale, base * scale)], fill=(90, 150, 200, 18),
               width=scale)
    for gy in range(base, top - 1, -20):
        d.line([(left * scale, gy * scale), (right * scale, gy * scale)],
               fill=(90, 150, 200, 18), width=scale)
    d.line([(left * scale, base * scale), (right * scale, base * scale)],
           fill=(110, 170, 210, 90), width=scale)

    peaks = [(52, 38, 4.5), (78, 92, 5.0), (104, 55, 4.0), (126, 118, 6.0), (150, 30, 3.5),
             (170, 74, 5.5), (198, 22, 4.0)]
    pts = [(x / scale, chromatogram_y(x / scale, base, peaks))
           for x in range(left * scale, right * scale + 1)]
    fill_poly = [(x * scale, y * scale) for x, y in pts] + [(right * scale, base * scale),
                                                            (left * scale, base * scale)]
    d.polygon(fill_poly, fill=(40, 160, 210, 38))

    glow = Image.new("RGBA", layer.size, (0, 0, 0, 0))
    ImageDraw.Draw(glow).line([(x * scale, y * scale) for x, y in pts],
                              fill=(60, 200, 240, 150), width=6 * scale)
    glow = glow.filter(ImageFilter.GaussianBlur(3 * scale))
    layer = Image.alpha_composite(layer, glow)
    d = ImageDraw.Draw(layer)
    d.line([(x * scale, y * scale) for x, y in pts], fill=(130, 225, 250, 255),
           width=2 * scale, joint="curve")

    # The column: bands of the separated substances where their peaks eluted.
    ct, cb = 342, 356
    d.rounded_rectangle([left * scale, ct * scale, right * scale, cb * scale],
                        radius=7 * scale, fill=(20, 45, 70, 255),
                        outline=(90, 150, 190, 140), width=scale)
    hues = [(90, 200, 240), (236, 203, 19), (120, 220, 160), (240, 120, 90), (150, 170, 250),
            (230, 150, 220), (200, 200, 200)]
    for (c, hgt, s), colour in zip(peaks, hues):
        half = max(2, int(s))
        d.rounded_rectangle([(c - half) * scale, (ct + 3) * scale, (c + half) * scale,
                             (cb - 3) * scale], radius=2 * scale,
                            fill=colour + (int(120 + hgt),))

    name = font("DejaVuSans-Bold.ttf", 40 * scale)
    d.text((left * scale, 62 * scale), "Corvane", font=name, fill=(236, 242, 248, 255))
    sub = font("DejaVuSans.ttf", 11 * scale)
    d.text((left * scale + 2 * scale, 114 * scale), "SEPARATION  SYSTEMS", font=sub,
           fill=(110, 175, 210, 230))
    d.line([(left * scale, 138 * scale), ((left + 70) * scale, 138 * scale)],
           fill=(236, 203, 19, 200), width=2 * scale)

    small = layer.resize((w, h), Image.LANCZOS)
    panel = img.crop((0, 0, w, h)).convert("RGBA")
    img.paste(Image.alpha_composite(panel, small).convert("RGB"), (0, 0))


# ---------------------------------------------------------------- display (bitmap 135)

def display_picture(back):
    w, h = 288, 65
    scale = 4
    base = back.crop((DISPLAY_AT[0], DISPLAY_AT[1], DISPLAY_AT[0] + w, DISPLAY_AT[1] + h))
    layer = Image.new("RGBA", (w * scale, h * scale), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    # The instrument's front: a dark grey bezel with the backlit display and two status LEDs.
    d.rounded_rectangle([scale, scale, (w - 1) * scale, (h - 1) * scale], radius=9 * scale,
                        fill=(52, 58, 66, 255), outline=(120, 130, 142, 255), width=2 * scale)
    d.rounded_rectangle([10 * scale, 8 * scale, 222 * scale, 57 * scale], radius=4 * scale,
                        fill=(16, 20, 24, 255))
    d.rounded_rectangle([14 * scale, 11 * scale, 218 * scale, 54 * scale], radius=3 * scale,
                        fill=(150, 200, 110, 255))
    mono = font("DejaVuSansMono-Bold.ttf", 13 * scale)
    ink = (20, 40, 20, 255)
    d.text((20 * scale, 13 * scale), "CORVANE  FW 3.2", font=mono, fill=ink)
    d.text((20 * scale, 32 * scale), "IP 192.168.1.20", font=mono, fill=ink)
    for i, colour in enumerate([(60, 230, 90), (236, 203, 19)]):
        cx, cy = 240 + i * 22, 24
        d.ellipse([(cx - 5) * scale, (cy - 5) * scale, (cx + 5) * scale, (cy + 5) * scale],
                  fill=colour + (255,), outline=(20, 20, 20, 255), width=scale)
    label = font("DejaVuSans.ttf", 8 * scale)
    d.text((233 * scale, 36 * scale), "RUN  NET", font=label, fill=(200, 205, 210, 255))
    small = layer.resize((w, h), Image.LANCZOS)
    return Image.alpha_composite(base.convert("RGBA"), small).convert("RGB")


# ---------------------------------------------------------------- warning (bitmap 136)

def warning_picture(back):
    w, h = 31, 32
    scale = 8
    base = back.crop((WARNING_AT[0], WARNING_AT[1], WARNING_AT[0] + w, WARNING_AT[1] + h))
    layer = Image.new("RGBA", (w * scale, h * scale), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    tri = [(15.5 * scale, 2.5 * scale), (29.5 * scale, 28.5 * scale), (1.5 * scale, 28.5 * scale)]
    d.polygon(tri, fill=(250, 204, 20, 255))
    d.line(tri + [tri[0]], fill=(40, 30, 5, 255), width=int(1.4 * scale), joint="curve")
    ink = (30, 26, 10, 255)
    d.rounded_rectangle([14 * scale, 10 * scale, 17 * scale, 21 * scale], radius=scale,
                        fill=ink)
    d.ellipse([14 * scale, 23 * scale, 17 * scale, 26 * scale], fill=ink)
    small = layer.resize((w, h), Image.LANCZOS)
    return Image.alpha_composite(base.convert("RGBA"), small).convert("RGB")


# ---------------------------------------------------------------- buttons (137 to 145)

def glyph_mask(kind, size, centre, radius, scale):
    """The white sign on the disc, drawn large for smooth edges."""
    m = Image.new("L", (size[0] * scale, size[1] * scale), 0)
    d = ImageDraw.Draw(m)

    def p(u, v):
        return ((centre[0] + u * radius) * scale, (centre[1] + v * radius) * scale)

    if kind in ("next", "back"):
        s = 1 if kind == "next" else -1
        d.polygon([p(-0.55 * s, -0.17), p(0.02 * s, -0.17), p(0.02 * s, -0.47), p(0.6 * s, 0),
                   p(0.02 * s, 0.47), p(0.02 * s, 0.17), p(-0.55 * s, 0.17)], fill=255)
    else:
        t, l = 0.15, 0.48
        for a in (math.pi / 4, -math.pi / 4):
            ca, sa = math.cos(a), math.sin(a)
            corners = [(-l, -t), (l, -t), (l, t), (-l, t)]
            d.polygon([p(x * ca - y * sa, x * sa + y * ca) for x, y in corners], fill=255)
    return m


def button_image(kind, state, size):
    scale = 8
    w, h = size
    cx, cy = w / 2, h / 2
    radius = 11.3
    glyph = glyph_mask(kind, size, (cx, cy), radius, scale).load()
    hi = Image.new("RGBa", (w * scale, h * scale), (0, 0, 0, 0))
    px = hi.load()
    for Y in range(h * scale):
        y = (Y + 0.5) / scale
        for X in range(w * scale):
            x = (X + 0.5) / scale
            dist = math.hypot(x - cx, y - cy)
            colour, alpha = None, 0.0
            if dist <= radius:
                colour = disc_colour((x - cx) / radius, (y - cy) / radius, dist / radius,
                                     glyph[X, Y] / 255.0, glyph[X, min(Y + scale, h * scale - 1)]
                                     / 255.0)
                alpha = 1.0
                if state == "disabled":
                    colour = greyed(colour)
                elif state == "active":
                    rim = max(0.0, (dist / radius - 0.86) / 0.14)
                    colour = mix(colour, GOLD, 0.45 * rim)
            elif state == "active" and dist <= radius + 3.2:
                # The faint golden glow of a button under the pointer.
                colour = GOLD
                alpha = 0.75 * (1 - (dist - radius) / 3.2) ** 1.4
            if colour is not None:
                px[X, Y] = tuple(int(round(c * alpha)) for c in colour) + (int(round(255 * alpha)),)
    small = hi.resize((w, h), Image.BOX).load()
    out = Image.new("RGB", (w, h))
    o = out.load()
    for y in range(h):
        for x in range(w):
            r, g, b, a = small[x, y]
            if a < 12:
                o[x, y] = KEY
                continue
            t = a / 255.0
            c = tuple(min(255, int(round(v * t + e * (1 - t)))) for v, e in zip((r, g, b), EDGE))
            if c == KEY:
                c = (c[0], c[1], c[2] + 1)
            o[x, y] = c
    return out


def disc_colour(nx, ny, d, glyph, shadow):
    """A glossy blue ball lit from the upper left, with its sign."""
    t = (ny + 1) / 2
    colour = mix((70, 155, 240), (6, 48, 140), t)
    nz = math.sqrt(max(0.0, 1 - nx * nx - ny * ny))
    light = max(0.0, -0.35 * nx - 0.55 * ny + 0.75 * nz)
    colour = tuple(int(c * (0.6 + 0.5 * light)) for c in colour)
    if d > 0.88:
        colour = mix(colour, (4, 22, 64), (d - 0.88) / 0.12)
    # Gloss: a soft light ellipse over the upper half.
    ex, ey = nx / 0.74, (ny + 0.46) / 0.42
    e = ex * ex + ey * ey
    if e < 1:
        colour = mix(colour, (255, 255, 255), 0.42 * (1 - e) * (1 - (ny + 0.88) / 0.84 * 0.6))
    colour = mix(colour, (3, 20, 60), 0.45 * shadow * (1 - glyph))
    return mix(colour, (248, 250, 253), glyph)


def greyed(c):
    lum = 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]
    g = int(60 + lum * 0.62)
    return (g, g, g + 4)


BUTTONS = {
    137: ("next", "normal", (29, 28)), 140: ("next", "disabled", (29, 28)),
    145: ("next", "active", (29, 28)),
    138: ("back", "normal", (30, 28)), 141: ("back", "disabled", (30, 28)),
    143: ("back", "active", (30, 28)),
    139: ("cancel", "normal", (29, 28)), 142: ("cancel", "disabled", (29, 28)),
    144: ("cancel", "active", (29, 28)),
}


# ---------------------------------------------------------------- icon (group 133)

def icon_rgba(size):
    """The blue disc with a white peak, as the window and task-bar icon."""
    scale = 8
    hi = Image.new("RGBA", (size * scale, size * scale), (0, 0, 0, 0))
    px = hi.load()
    c = size / 2
    radius = size / 2 - 0.5
    peak = Image.new("L", hi.size, 0)
    d = ImageDraw.Draw(peak)
    pts = []
    for i in range(0, 101):
        u = -0.62 + 1.24 * i / 100
        v = 0.4 - 0.95 * math.exp(-0.5 * (u / 0.2) ** 2) - 0.25 * math.exp(-0.5 * ((u + 0.38) / 0.08) ** 2)
        pts.append(((c + u * radius) * scale, (c + v * radius) * scale))
    d.line(pts, fill=255, width=max(scale, int(size * scale / 11)), joint="curve")
    g = peak.load()
    for Y in range(size * scale):
        for X in range(size * scale):
            x, y = (X + 0.5) / scale, (Y + 0.5) / scale
            dist = math.hypot(x - c, y - c)
            if dist <= radius:
                col = disc_colour((x - c) / radius, (y - c) / radius, dist / radius,
                                  g[X, Y] / 255.0, 0.0)
                px[X, Y] = col + (255,)
    return hi.resize((size, size), Image.LANCZOS)


def icon_entry(rgba, colours):
    """One ICO image: info header (doubled height), colour table, colour rows, mask rows."""
    size = rgba.size[0]
    bits = 4 if colours == 16 else 8
    alpha = rgba.getchannel("A")
    flat = Image.new("RGB", rgba.size, (0, 0, 0))
    flat.paste(rgba.convert("RGB"), mask=alpha.point(lambda a: 255 if a >= 128 else 0))
    pal_img = flat.quantize(colors=colours, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    palette = pal_img.getpalette()[: 3 * colours]
    palette += [0] * (3 * colours - len(palette))
    idx = pal_img.load()
    a = alpha.load()
    row_xor = ((size * bits + 31) // 32) * 4
    row_and = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(size)):  # rows bottom-up
        line = bytearray(row_xor)
        mline = bytearray(row_and)
        for x in range(size):
            v = idx[x, y]
            if bits == 8:
                line[x] = v
            else:
                line[x // 2] |= v << (4 if x % 2 == 0 else 0)
            if a[x, y] < 128:
                mline[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += mline
    table = b"".join(bytes((palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0))
                     for i in range(colours))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, len(xor) + len(mask),
                         0, 0, colours, 0)
    return header + table + bytes(xor) + bytes(mask)


def write_icon(name):
    entries = []
    for colours in (256, 16):
        for size in (32, 16):
            entries.append((size, colours, icon_entry(icon_rgba(size), colours)))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b""
    for size, colours, blob in entries:
        out += struct.pack("<BBBBHHII", size, size, colours if colours < 256 else 0, 0, 1,
                           4 if colours == 16 else 8, len(blob), offset + len(blobs))
        blobs += blob
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out + blobs)


def main():
    os.makedirs(OUT, exist_ok=True)
    back = backdrop()
    save_bmp24(back, "bmp132.bmp")
    save_bmp24(display_picture(back), "bmp135.bmp")
    save_bmp24(warning_picture(back), "bmp136.bmp")
    for rid, (kind, state, size) in BUTTONS.items():
        save_bmp24(button_image(kind, state, size), "bmp%d.bmp" % rid)
    write_icon("kestrup.ico")


if __name__ == "__main__":
    main()
